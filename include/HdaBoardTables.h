// Copyright (c) 2026, HdaSsid contributors. All rights reserved.
// SPDX-License-Identifier: BSD-2-Clause-Patent
//
// The board profile's PCI subsystem-ID tables: their size, and the tables
// its HdaSsidBoardLib carries (built in HdaSsidBoardLibrary.h).
#pragma once

#include "HdaBoardProfile.h"
#include "HdaSsidTable.h"

extern "C" {
#include <Library/HdaSsidBoardLib.h>
}

// The board profile's rows, and the terminator.
constexpr UINTN SSID_TABLE_DEVICE_ROWS = HDA_BOARD_DEVICE_ROWS;
constexpr UINTN SSID_TABLE_ENTRY_COUNT = SSID_TABLE_DEVICE_ROWS + 1;
// The counts in template arguments, so the compiler's message shows them.
template <UINTN Entries, UINTN Limit>
constexpr bool SsidTableFitsTheLookup() {
  static_assert(Entries <= Limit,
                "board profile: the default table has more entries (device rows and the terminator) than the "
                "default lookup reads (entries <= limit)");
  return Entries <= Limit;
}
static_assert(SsidTableFitsTheLookup<SSID_TABLE_ENTRY_COUNT, SSID_TABLE_SCAN_LIMIT>());

struct SSID_TABLE {
  SSID_TABLE_ENTRY Entries[SSID_TABLE_ENTRY_COUNT];
};
static_assert(sizeof(SSID_TABLE) == 16 * SSID_TABLE_ENTRY_COUNT);

// The board's reference assignment, never handed out, and one alternative
// per codec variant (SsidTable<Name>), which differs from it in the 00:1F.3
// entry only: the board's HdaSsidBoardLib carries them
// (HdaSsidBoardLibrary.h).
extern const SSID_TABLE SsidTableDefault;
#define HDA_BOARD_DECLARE_TABLE(Name, Vendor, Device) extern const SSID_TABLE SsidTable##Name;
HDA_BOARD_VARIANTS(HDA_BOARD_DECLARE_TABLE)
#undef HDA_BOARD_DECLARE_TABLE
