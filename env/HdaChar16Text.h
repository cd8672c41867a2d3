// Copyright (c) 2026, HdaSsid contributors. All rights reserved.
// SPDX-License-Identifier: BSD-2-Clause-Patent
//
// A UTF-16 string (CHAR16, UEFI 2.x 2.3.1) made from ASCII text at compile
// time, for both builds of the modules: EDK2's CHAR16 is an integer type that
// no C++ string literal converts to (an L"" literal is wchar_t, 16 bits wide
// where EDK2 builds and 32 bits in a host build), so names are built, not
// written as u"".
#pragma once

#include "HdaUefiBase.h"

template <UINTN Length>
struct CHAR16_TEXT {
  CHAR16 Chars[Length];
};

template <typename CHARACTER, UINTN Length>
consteval CHAR16_TEXT<Length> Char16Text(const CHARACTER (&Ascii)[Length]) {
  CHAR16_TEXT<Length> Text{};
  for (UINTN I = 0; I < Length; ++I) {
    Text.Chars[I] = static_cast<CHAR16>(Ascii[I]);
  }
  return Text;
}
