/** @file
  The emulated board: QEMU's q35 machine with its Intel HD Audio controller
  at 00:1F.3 (smbus=off frees that slot) and one of QEMU's codecs, under
  Debian's OVMF (2022.11). Its tables give every device QEMU's own subsystem
  ID (vendor 0x1AF4, device 0x1100) by default.

  Copyright (c) 2026, HdaSsid contributors. All rights reserved.<BR>
  SPDX-License-Identifier: BSD-2-Clause-Patent
**/

#pragma once

#define HDA_BOARD_NAME "QEMU q35 (emulated board)"

// QEMU's hda-duplex, hda-output and hda-micro codecs answer 0x1AF40022,
// 0x1AF40012 and 0x1AF40032 to Get Subsystem ID (and to Get Vendor ID).
#define HDA_BOARD_VARIANTS(VARIANT) \
  VARIANT(Duplex, 0x1AF4, 0x0022)   \
  VARIANT(Output, 0x1AF4, 0x0012)   \
  VARIANT(Micro, 0x1AF4, 0x0032)

// QEMU's codecs always carry a subsystem ID: a zero answer is no variant.
#define HDA_BOARD_RECORDS_ZERO_ANSWER 0

// Host bridge, the virtio disk the tests attach, LPC, SATA, HD Audio.
#define HDA_BOARD_DEFAULT_RUNS(RUN)                                                            \
  RUN(0x00, 0, 1, 0x11001AF4) RUN(0x01, 0, 1, 0x11001AF4) RUN(0x1F, 0, 1, 0x11001AF4)           \
  RUN(0x1F, 2, 1, 0x11001AF4) RUN(0x1F, 3, 1, 0x11001AF4)

// Where Debian's OVMF (2022.11) puts q35's ECAM window and ACPI PM timer
// (OVMF from 2023-03 on moved the window to 0xE0000000).
#define HDA_BOARD_DEFAULT_ECAM_BASE 0xB0000000
#define HDA_BOARD_DEFAULT_PM_TIMER_PORT 0x608
