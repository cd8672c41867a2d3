// Copyright (c) 2026, HdaSsid contributors. All rights reserved.
// SPDX-License-Identifier: BSD-2-Clause-Patent
//
// Debug output of the standalone images: none. DEBUG ((Level, Format, ...))
// is EDK2's form (MdePkg/Include/Library/DebugLib.h); here, as in an EDK2
// RELEASE build, it compiles to nothing, though its arguments stay checked
// and referenced. An EDK2 DEBUG build prints through the platform's
// DebugLib (env/edk2/HdaDebug.h).
#pragma once

#include "HdaUefiBase.h"

constexpr UINTN DEBUG_WARN = 0x00000002;
constexpr UINTN DEBUG_INFO = 0x00000040;
constexpr UINTN DEBUG_ERROR = 0x80000000;

template <typename... Arguments>
constexpr VOID HdaDebugDiscard(UINTN, const char *, const Arguments &...) {}

#define DEBUG(Expression)        \
  do {                           \
    if (false) {                 \
      HdaDebugDiscard Expression; \
    }                            \
  } while (false)
