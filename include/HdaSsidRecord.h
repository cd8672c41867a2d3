// Copyright (c) 2026, HdaSsid contributors. All rights reserved.
// SPDX-License-Identifier: BSD-2-Clause-Patent
//
// The stored codec subsystem ID: the one record HdaSsidDetectDxe writes at End
// of DXE and HdaSsidSelectPei reads in the next boot. Both modules take it
// from the package's header Guid/HdaSsidVariable.h (its GUID, in an EDK2
// build, from AutoGen as gHdaSsidVariableGuid); this adds what C++ needs.
#pragma once

#include "HdaUefiBase.h"

extern "C" {
#include <Guid/HdaSsidVariable.h>
}

#include "HdaChar16Text.h"

inline constexpr CHAR16_TEXT<sizeof(HDA_SSID_VARIABLE_NAME) / sizeof(HDA_SSID_VARIABLE_NAME[0])>
    HDA_SSID_VARIABLE_NAME_CHAR16 = Char16Text(HDA_SSID_VARIABLE_NAME);

constexpr HDA_SSID_WORD HdaSsidWord(UINT16 SubsystemVendorId, UINT16 SubsystemId) {
  return static_cast<HDA_SSID_WORD>(SubsystemId) << 16 | SubsystemVendorId;
}

// The codec variants a board may carry, and their records, come from its
// profile: HdaBoardProfile.h.

static_assert(sizeof(HDA_SSID_VARIABLE_NAME_CHAR16.Chars) == 11 * sizeof(CHAR16));
static_assert(HDA_SSID_VARIABLE_ATTRIBUTES == 0x7);
static_assert(HDA_SSID_RECORD_SIZE == 4);
