// Copyright (c) 2026, HdaSsid contributors. All rights reserved.
// SPDX-License-Identifier: BSD-2-Clause-Patent
//
// GUIDs written in their registry form and compared, for both builds of the
// modules (standalone and EDK2): needs EFI_GUID and the UINT types first.
#pragma once

namespace efi_guid_text {
void Malformed();  // not constexpr: reaching it stops compilation

consteval UINT32 Hex(const char *Text, unsigned Digits) {
  UINT32 Value = 0;
  for (unsigned I = 0; I < Digits; ++I) {
    const char C = Text[I];
    const UINT32 Digit = C >= '0' && C <= '9'   ? C - '0'
                         : C >= 'A' && C <= 'F' ? C - 'A' + 10
                         : C >= 'a' && C <= 'f' ? C - 'a' + 10
                                                : 16;
    if (Digit == 16) {
      Malformed();
    }
    Value = Value << 4 | Digit;
  }
  return Value;
}
}  // namespace efi_guid_text

// An EFI_GUID from its registry form, "xxxxxxxx-xxxx-xxxx-xxxx-xxxxxxxxxxxx",
// at compile time; a malformed text does not compile.
consteval EFI_GUID EfiGuid(const char (&Text)[37]) {
  using efi_guid_text::Hex;
  if (Text[8] != '-' || Text[13] != '-' || Text[18] != '-' || Text[23] != '-') {
    efi_guid_text::Malformed();
  }
  return {Hex(Text, 8),
          static_cast<UINT16>(Hex(Text + 9, 4)),
          static_cast<UINT16>(Hex(Text + 14, 4)),
          {static_cast<UINT8>(Hex(Text + 19, 2)), static_cast<UINT8>(Hex(Text + 21, 2)),
           static_cast<UINT8>(Hex(Text + 24, 2)), static_cast<UINT8>(Hex(Text + 26, 2)),
           static_cast<UINT8>(Hex(Text + 28, 2)), static_cast<UINT8>(Hex(Text + 30, 2)),
           static_cast<UINT8>(Hex(Text + 32, 2)), static_cast<UINT8>(Hex(Text + 34, 2))}};
}

constexpr bool operator==(const EFI_GUID &A, const EFI_GUID &B) {
  if (A.Data1 != B.Data1 || A.Data2 != B.Data2 || A.Data3 != B.Data3) {
    return false;
  }
  for (UINTN I = 0; I < 8; ++I) {
    if (A.Data4[I] != B.Data4[I]) {
      return false;
    }
  }
  return true;
}

