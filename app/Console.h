// Copyright (c) 2026, HdaSsid contributors. All rights reserved.
// SPDX-License-Identifier: BSD-2-Clause-Patent
//
// Line-at-a-time text output for a freestanding UEFI application: build a
// line from ASCII text and hexadecimal numbers, then print it on ConOut.
#pragma once

#include "HdaUefiTables.h"

class CONSOLE_LINE {
public:
  explicit CONSOLE_LINE(EFI_SYSTEM_TABLE *SystemTable) : SystemTable(SystemTable) {}

  CONSOLE_LINE &Text(const char *Ascii) {
    while (*Ascii != '\0') {
      Put(static_cast<CHAR16>(*Ascii++));
    }
    return *this;
  }

  // Value as "0x" and Digits hexadecimal digits.
  CONSOLE_LINE &Hex(UINT64 Value, unsigned Digits) {
    Text("0x");
    for (unsigned Digit = Digits; Digit-- > 0;) {
      Put(static_cast<CHAR16>("0123456789ABCDEF"[(Value >> (4 * Digit)) & 0xF]));
    }
    return *this;
  }

  CONSOLE_LINE &Decimal(UINT32 Value) {
    CHAR16 Digits[10];
    unsigned Count = 0;
    do {
      Digits[Count++] = static_cast<CHAR16>(u'0' + Value % 10);
      Value /= 10;
    } while (Value != 0);
    while (Count > 0) {
      Put(Digits[--Count]);
    }
    return *this;
  }

  // The line so far, from its Start-th character.
  const CHAR16 *From(UINTN Start) {
    Buffer[Length] = u'\0';
    return Buffer + (Start < Length ? Start : Length);
  }
  UINTN Size() const { return Length; }

  CONSOLE_LINE &Chars(const CHAR16 *Text) {
    while (*Text != u'\0') {
      Put(*Text++);
    }
    return *this;
  }

  // Prints the line with CR LF and starts a new one.
  VOID Print() {
    Buffer[Length++] = u'\r';
    Buffer[Length++] = u'\n';
    Buffer[Length] = u'\0';
    SystemTable->ConOut->OutputString(SystemTable->ConOut, Buffer);
    Length = 0;
  }

private:
  static constexpr UINTN Capacity = 250;  // characters before CR LF NUL
  VOID Put(CHAR16 C) {
    if (Length < Capacity) {
      Buffer[Length++] = C;
    }
  }
  EFI_SYSTEM_TABLE *SystemTable;
  UINTN Length = 0;
  CHAR16 Buffer[Capacity + 3];
};
