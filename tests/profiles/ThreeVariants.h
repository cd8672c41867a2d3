// Copyright (c) 2026, HdaSsid contributors. All rights reserved.
// SPDX-License-Identifier: BSD-2-Clause-Patent
//
// A ported board, as a porter writes one: q35's layout with three codec
// variants (QEMU's hda-micro, hda-duplex and hda-output, listed in an order
// that is not sorted), the zero answer recorded, a 12-row table of its own,
// and settings of its own that the emulation proof has to retarget. The
// suite builds and tests it by the README's porting commands.
#pragma once

#define HDA_BOARD_NAME "three-variant test board"

#define HDA_BOARD_VARIANTS(VARIANT) \
  VARIANT(Micro, 0x1AF4, 0x0032)    \
  VARIANT(Duplex, 0x1AF4, 0x0022)   \
  VARIANT(Output, 0x1AF4, 0x0012)

#define HDA_BOARD_RECORDS_ZERO_ANSWER 1

#define HDA_BOARD_DEFAULT_RUNS(RUN)                                                            \
  RUN(0x00, 0, 1, 0x10001AF4) RUN(0x01, 0, 1, 0x10011AF4) RUN(0x1C, 0, 4, 0xFFFFFFFF)           \
  RUN(0x1F, 0, 4, 0x10021AF4) RUN(0x1F, 5, 2, 0xFFFFFFFF)

#define HDA_BOARD_DEFAULT_ECAM_BASE 0xC0000000
#define HDA_BOARD_DEFAULT_PM_TIMER_PORT 0x408
