/** @file
  The target board: the codecs it may carry, the PCI subsystem-ID tables
  that follow from them, and where its platform puts the two things the
  driver needs. include/HdaBoardProfile.h checks this at compile time and
  builds the records, the recognition and the tables from it.

  Copyright (c) 2026, HdaSsid contributors. All rights reserved.<BR>
  SPDX-License-Identifier: BSD-2-Clause-Patent
**/

#pragma once

#define HDA_BOARD_NAME "target board"

// VARIANT(Name, subsystem vendor ID, subsystem ID): the codec's answer to Get
// Subsystem ID carries the vendor in its high half (0x1458A195, as
// HdaSsidInfo.efi prints it); the record and the tables keep PCI's layout,
// vendor low (HDA_SSID_VARIANT_A195 = 0xA1951458). The table SsidTable<Name>
// is the default one with that record in the 00:1F.3 row. Recognition and
// selection try the variants in this order.
#define HDA_BOARD_VARIANTS(VARIANT) \
  VARIANT(A194, 0x1458, 0xA194)     \
  VARIANT(A195, 0x1458, 0xA195)

// A codec with no subsystem ID programmed answers 0: recorded as 0, which
// selects no table.
#define HDA_BOARD_RECORDS_ZERO_ANSWER 1

// The default table, SsidTableDefault: RUN(device, first function, count,
// SVID/SSID word), bus 0, in the order the platform expects them. The 00:1F.3
// row's word is the default the PEIM compares a record with.
#define HDA_BOARD_DEFAULT_RUNS(RUN)                                                             \
  RUN(0x1F, 0, 1, 0x50011458) RUN(0x13, 0, 1, 0x50001458) RUN(0x14, 0, 1, 0x50071458)           \
  RUN(0x14, 1, 1, 0x50001458) RUN(0x12, 0, 1, 0x88881458) RUN(0x15, 0, 4, 0xFFFFFFFF)           \
  RUN(0x16, 0, 1, 0x1C3A1458) RUN(0x16, 1, 1, 0xFFFFFFFF) RUN(0x16, 4, 1, 0xFFFFFFFF)           \
  RUN(0x16, 2, 2, 0xFFFFFFFF) RUN(0x17, 0, 1, 0xB0051458) RUN(0x16, 3, 1, 0xFFFFFFFF)           \
  RUN(0x19, 1, 1, 0xFFFFFFFF) RUN(0x19, 0, 1, 0xFFFFFFFF) RUN(0x1C, 0, 8, 0x50011458)           \
  RUN(0x1D, 0, 8, 0x50011458) RUN(0x1B, 0, 8, 0x50011458) RUN(0x1E, 0, 4, 0xFFFFFFFF)           \
  RUN(0x1A, 0, 1, 0xFFFFFFFF) RUN(0x14, 5, 1, 0xFFFFFFFF) RUN(0x14, 3, 1, 0x50011458)           \
  RUN(0x1F, 1, 1, 0x50001458) RUN(0x1F, 2, 1, 0x50011458) RUN(0x1F, 3, 1, 0xA0A31458)           \
  RUN(0x1F, 4, 1, 0x50011458) RUN(0x1F, 5, 1, 0xFFFFFFFF) RUN(0x1F, 6, 1, 0x50011458)

// The driver's settings as this board's platform has them: the ECAM window
// of PCI bus 0 (the platform's PcdPciExpressBaseAddress, or ACPI MCFG) and
// the ACPI PM timer's I/O port (the FADT's PM_TMR_BLK). They are the defaults
// the release carries; a platform still sets them at integration. One
// hexadecimal number each (the build reads these two lines).
#define HDA_BOARD_DEFAULT_ECAM_BASE 0xE0000000
#define HDA_BOARD_DEFAULT_PM_TIMER_PORT 0x1808
