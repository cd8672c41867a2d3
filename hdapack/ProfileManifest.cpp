// Copyright (c) 2026, HdaSsid contributors. All rights reserved.
// SPDX-License-Identifier: BSD-2-Clause-Patent
//
// hda_profile_manifest: what a board profile makes of the modules, for the
// release MANIFEST: the zero-answer rule, the default table and, for each
// codec variant, its answer, its record and its table, each table with the
// CRC-32 of its bytes (zlib's) as the PEIM carries them and every row. Built once per
// profile, from the PEIM's own table sources; tools and tests that boot a
// release take a board's names and expectations from these lines.
#include <cstdio>

#include "HdaBoardProfile.h"
#include "HdaBoardTables.h"

namespace {

UINT32 Crc32(const SSID_TABLE &Table) {
  const auto *Data = reinterpret_cast<const UINT8 *>(&Table);
  UINT32 Crc = 0xFFFFFFFF;
  for (UINTN I = 0; I < sizeof(Table); ++I) {
    Crc ^= Data[I];
    for (int Bit = 0; Bit < 8; ++Bit) {
      Crc = (Crc >> 1) ^ (0xEDB88320 & (0u - (Crc & 1)));
    }
  }
  return ~Crc;
}

// Every row but the terminator: bus:device.function and the SVID/SSID word
// (register 0x2C's layout), so a porter can check each against the board.
void PrintRows(const SSID_TABLE &Table) {
  for (const SSID_TABLE_ENTRY &Entry : Table.Entries) {
    if (Entry.Bus == 0xFF) {
      break;
    }
    std::printf("#   %02X:%02X.%u word 0x%08X\n", static_cast<unsigned>(Entry.Bus), static_cast<unsigned>(Entry.Device),
                static_cast<unsigned>(Entry.Function),
                static_cast<unsigned>(Entry.SubsystemVendorId | static_cast<UINT32>(Entry.SubsystemId) << 16));
  }
}

}  // namespace

int main() {
  std::printf("# zero answer: %s\n", HDA_BOARD_RECORDS_ZERO_ANSWER ? "recorded as 0x00000000 (selects no table)"
                                                                    : "not a variant (the record is deleted)");
  std::printf("# convergence reset: %s by default (PcdHdaSsidConvergenceReset)\n",
              HDA_BOARD_CONVERGENCE_RESET ? "on" : "off");
  std::printf("# table SsidTableDefault: %u entries, 00:1F.3 word 0x%08X, crc32 0x%08X\n",
              static_cast<unsigned>(SSID_TABLE_ENTRY_COUNT), static_cast<unsigned>(FindHdaSsid(SsidTableDefault.Entries)),
              static_cast<unsigned>(Crc32(SsidTableDefault)));
  PrintRows(SsidTableDefault);
#define HDA_MANIFEST_VARIANT(Name, Vendor, Device)                                                         \
  std::printf("# variant " #Name ": answer 0x%08X, record 0x%08X, table SsidTable" #Name ", crc32 0x%08X\n", \
              static_cast<unsigned>(HdaAnswerOf(Vendor, Device)), static_cast<unsigned>(HDA_SSID_VARIANT_##Name),  \
              static_cast<unsigned>(Crc32(SsidTable##Name)));                                          \
  PrintRows(SsidTable##Name);
  HDA_BOARD_VARIANTS(HDA_MANIFEST_VARIANT)
#undef HDA_MANIFEST_VARIANT
  return 0;
}
