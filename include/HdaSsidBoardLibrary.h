// Copyright (c) 2026, HdaSsid contributors. All rights reserved.
// SPDX-License-Identifier: BSD-2-Clause-Patent
//
// The HdaSsidBoardLib functions, built at compile time from the board profile
// included before this file (or named in HDA_BOARD_PROFILE_HEADER): the
// driver's recognition of the board's codec answers, and the PEIM's tables,
// one default table from the profile's runs of consecutive functions and one
// per codec variant that differs from it only in the HD Audio controller's
// word. A board's library instance is one source file that includes its
// profile and then this file, once.
#pragma once

#include "HdaBoardProfile.h"
#include "HdaBoardTables.h"

extern "C" {
#include <Library/HdaSsidBoardLib.h>
}

namespace hda_board_library {

constexpr HDA_SSID_WORD ALL_ONES = 0xFFFFFFFF;

constexpr SSID_TABLE_ENTRY DeviceRow(UINT32 Device, UINT32 Function, HDA_SSID_WORD Word) {
  return {0, static_cast<UINT8>(Function), static_cast<UINT8>(Device), 0, 0, static_cast<UINT16>(Word),
          static_cast<UINT16>(Word >> 16), 0};
}

// The default table with HdaWord in its 00:1F.3 row.
constexpr SSID_TABLE MakeSsidTable(HDA_SSID_WORD HdaWord) {
  SSID_TABLE Table{};
  UINTN Row = 0;
  for (const HDA_DEVICE_RUN &Run : HDA_BOARD_RUNS) {
    for (UINT32 F = Run.FirstFunction; F < Run.FirstFunction + Run.Functions; ++F) {
      Table.Entries[Row++] = DeviceRow(Run.Device, F, Run.Device == 0x1F && F == 3 ? HdaWord : Run.Word);
    }
  }
  Table.Entries[Row] = {0xFF, 0xFF, 0xFF, 0xFF, 0xFFFFFFFF, 0xFFFF, 0xFFFF, 0};
  return Table;
}

constexpr bool SameEntry(const SSID_TABLE_ENTRY &A, const SSID_TABLE_ENTRY &B) {
  return SsidEntryAddressLow(A) == SsidEntryAddressLow(B) && A.ExtendedRegister == B.ExtendedRegister &&
         SsidEntryWord(A) == SsidEntryWord(B) && A.Reserved == B.Reserved;
}

// True when Alternative equals Default in every entry but the one 00:1F.3
// entry, where it carries Word.
constexpr bool DiffersOnlyInHdaRow(const SSID_TABLE &Default, const SSID_TABLE &Alternative, HDA_SSID_WORD Word) {
  UINTN HdaRows = 0;
  for (UINTN I = 0; I < SSID_TABLE_ENTRY_COUNT; ++I) {
    const SSID_TABLE_ENTRY &D = Default.Entries[I];
    const SSID_TABLE_ENTRY &A = Alternative.Entries[I];
    if (SsidEntryAddressLow(D) == HDA_SSID_PCI_ADDRESS) {
      ++HdaRows;
      if (SsidEntryAddressLow(A) != HDA_SSID_PCI_ADDRESS || SsidEntryWord(A) != Word) {
        return false;
      }
    } else if (!SameEntry(D, A)) {
      return false;
    }
  }
  return HdaRows == 1;
}

constexpr SSID_TABLE DEFAULT_TABLE = MakeSsidTable(HDA_BOARD_DEFAULT_HDA_WORD);
static_assert(SsidEntryAddressLow(DEFAULT_TABLE.Entries[HDA_BOARD_HDA_ROW]) == HDA_SSID_PCI_ADDRESS);
static_assert(FindHdaSsid(DEFAULT_TABLE.Entries) == HDA_BOARD_DEFAULT_HDA_WORD,
              "the lookup finds the default table's 00:1F.3 word");
static_assert(SsidEntryWord(DEFAULT_TABLE.Entries[SSID_TABLE_DEVICE_ROWS]) == ALL_ONES &&
                  SsidEntryAddressLow(DEFAULT_TABLE.Entries[SSID_TABLE_DEVICE_ROWS]) == 0xFFFFFFFF &&
                  DEFAULT_TABLE.Entries[SSID_TABLE_DEVICE_ROWS].ExtendedRegister == 0xFFFFFFFF &&
                  DEFAULT_TABLE.Entries[SSID_TABLE_DEVICE_ROWS].Reserved == 0,
              "a table ends with an all-ones terminator");

}  // namespace hda_board_library

// Constant-initialised read-only data; const objects declared extern before
// (HdaSsidTable.h), so they keep external linkage under every compiler.
constinit const SSID_TABLE SsidTableDefault = hda_board_library::DEFAULT_TABLE;
#define HDA_BOARD_DEFINE_TABLE(Name, Vendor, Device)                                                        \
  static_assert(hda_board_library::DiffersOnlyInHdaRow(                                                     \
      hda_board_library::DEFAULT_TABLE, hda_board_library::MakeSsidTable(HDA_SSID_VARIANT_##Name),          \
      HDA_SSID_VARIANT_##Name));                                                                            \
  constinit const SSID_TABLE SsidTable##Name = hda_board_library::MakeSsidTable(HDA_SSID_VARIANT_##Name);
HDA_BOARD_VARIANTS(HDA_BOARD_DEFINE_TABLE)
#undef HDA_BOARD_DEFINE_TABLE

// The board profile's variants, and the zero answer where the board records
// it (a codec with no subsystem ID programmed; stored as 0).
extern "C" BOOLEAN EFIAPI HdaRecognisedSsid(UINT32 Response, HDA_SSID_WORD *Stored) {
  switch (Response) {
#define HDA_RECOGNISED_ANSWER(Name, Vendor, Device) case HdaAnswerOf(Vendor, Device):
    HDA_BOARD_VARIANTS(HDA_RECOGNISED_ANSWER)
#undef HDA_RECOGNISED_ANSWER
#if HDA_BOARD_RECORDS_ZERO_ANSWER
  case 0:
#endif
    *Stored = HdaRecordOfAnswer(Response);
    return true;
  default:
    return false;
  }
}

// The walk reads the table's bytes as they lie in the image: board vendors
// edit these tables in flash images, and an optimiser that saw the table
// through the pointer would fold the walk over the compile-time copy into a
// fixed answer; the volatile pointer keeps it from seeing that far.
extern "C" HDA_SSID_WORD EFIAPI FindDefaultHdaSsid(VOID) {
  const SSID_TABLE_ENTRY *volatile Table = SsidTableDefault.Entries;
  return FindHdaSsid(Table);
}

// The profile's word, a constant: the driver's view of what the PEIM's
// default table programs, without carrying the table.
extern "C" HDA_SSID_WORD EFIAPI HdaDefaultSsidWord(VOID) { return HDA_BOARD_DEFAULT_HDA_WORD; }

// The board profile's variants in order; a record of none selects nothing.
extern "C" const SSID_TABLE_ENTRY *EFIAPI HdaVariantTable(HDA_SSID_WORD Record, const CHAR8 **TableName) {
#define HDA_VARIANT_TABLE(Name, Vendor, Device) \
  if (Record == HDA_SSID_VARIANT_##Name) {      \
    if (TableName != nullptr) {                 \
      *TableName = "SsidTable" #Name;           \
    }                                           \
    return SsidTable##Name.Entries;             \
  }
  HDA_BOARD_VARIANTS(HDA_VARIANT_TABLE)
#undef HDA_VARIANT_TABLE
  return nullptr;
}
