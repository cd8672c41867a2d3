// Copyright (c) 2026, HdaSsid contributors. All rights reserved.
// SPDX-License-Identifier: BSD-2-Clause-Patent
//
// PCI subsystem-ID tables in the format the platform programs the PCH
// devices from (SSID_TABLE_ENTRY, the package's Ppi/PlatformSsidPolicy.h):
// 16-byte entries ended by an all-ones address. A board's own tables are in
// HdaBoardTables.h. The platform's policy PPI is NULL until a table is chosen, then
// points at the table the platform programs the devices' subsystem IDs from;
// HdaSsidSelectPei relies on its second pointer-sized member alone.
#pragma once

#include "HdaSsidRecord.h"
#include "HdaUefiBase.h"

extern "C" {
#include <Ppi/PlatformSsidPolicy.h>
}

// Bytes 0-7 follow EFI_PCI_ROOT_BRIDGE_IO_PROTOCOL_PCI_ADDRESS (UEFI 2.x,
// 14.2); bytes 8-11 read as one UINT32 are an HDA_SSID_WORD.
static_assert(sizeof(SSID_TABLE_ENTRY) == 16);
static_assert(offsetof(SSID_TABLE_ENTRY, Register) == 0 && offsetof(SSID_TABLE_ENTRY, Function) == 1 &&
              offsetof(SSID_TABLE_ENTRY, Device) == 2 && offsetof(SSID_TABLE_ENTRY, Bus) == 3);
static_assert(offsetof(SSID_TABLE_ENTRY, ExtendedRegister) == 4);
static_assert(offsetof(SSID_TABLE_ENTRY, SubsystemVendorId) == 8);
static_assert(offsetof(SSID_TABLE_ENTRY, SubsystemId) == 10);
static_assert(offsetof(SSID_TABLE_ENTRY, Reserved) == 12);

// Bytes 0-3 of an entry read as a UINT32: Bus << 24 | Device << 16 |
// Function << 8 | Register. The HD Audio controller is 00:1F.3.
constexpr UINT32 HDA_SSID_PCI_ADDRESS = 0x001F0300;
constexpr UINT32 SSID_TABLE_TERMINATOR = 0xFFFFFFFF;

// The lookup reads at most this many entries, whatever a table holds.
constexpr UINTN SSID_TABLE_SCAN_LIMIT = 70;

constexpr UINT32 SsidEntryAddressLow(const SSID_TABLE_ENTRY &E) {
  return static_cast<UINT32>(E.Bus) << 24 | static_cast<UINT32>(E.Device) << 16 |
         static_cast<UINT32>(E.Function) << 8 | E.Register;
}

constexpr HDA_SSID_WORD SsidEntryWord(const SSID_TABLE_ENTRY &E) {
  return HdaSsidWord(E.SubsystemVendorId, E.SubsystemId);
}

// The SVID/SSID word a table gives 00:1F.3: the last such entry before the
// terminator among the first SSID_TABLE_SCAN_LIMIT entries, or 0 when none.
constexpr HDA_SSID_WORD FindHdaSsid(const SSID_TABLE_ENTRY *Table) {
  HDA_SSID_WORD Result = 0;
  for (UINTN Index = 0; Index < SSID_TABLE_SCAN_LIMIT; ++Index) {
    const SSID_TABLE_ENTRY &Entry = Table[Index];
    const UINT32 Low = SsidEntryAddressLow(Entry);
    const UINT32 High = Entry.ExtendedRegister;
    if ((Low & High) == SSID_TABLE_TERMINATOR) {
      break;
    }
    if (Low == HDA_SSID_PCI_ADDRESS && High == 0) {
      Result = SsidEntryWord(Entry);  // a later entry overrides an earlier one
    }
  }
  return Result;
}

#if defined(MDE_CPU_IA32)
static_assert(offsetof(PLATFORM_SSID_POLICY_PPI, SsidTable) == 4);
#elif defined(MDE_CPU_X64)
static_assert(offsetof(PLATFORM_SSID_POLICY_PPI, SsidTable) == 8);
#else
#error "the PEIM is built for IA32 or X64 PEI"
#endif
