// The emulated board: QEMU's q35 machine with its Intel HD Audio controller
// at 00:1F.3 (as the OVMF system test places it, smbus=off) and one of
// QEMU's codecs, under OVMF. Its tables give every device QEMU's own
// subsystem ID (vendor 0x1AF4, device 0x1100) by default.
#pragma once

#define HDA_BOARD_NAME "QEMU q35 (emulated board)"

// QEMU's hda-duplex and hda-output codecs: 0x1AF40022 and 0x1AF40012.
#define HDA_BOARD_VARIANTS(VARIANT) \
  VARIANT(Duplex, 0x1AF40022)       \
  VARIANT(Output, 0x1AF40012)

// QEMU's codecs always carry a subsystem ID: a zero answer is no variant.
#define HDA_BOARD_RECORDS_ZERO_ANSWER 0

// Host bridge, the virtio disk the tests attach, LPC, SATA, HD Audio.
#define HDA_BOARD_DEFAULT_RUNS(RUN)                                                            \
  RUN(0x00, 0, 1, 0x11001AF4) RUN(0x01, 0, 1, 0x11001AF4) RUN(0x1F, 0, 1, 0x11001AF4)           \
  RUN(0x1F, 2, 1, 0x11001AF4) RUN(0x1F, 3, 1, 0x11001AF4)
