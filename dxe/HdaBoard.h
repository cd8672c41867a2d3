// Fixed platform settings of the board the driver is built for. The build
// passes the board's two values (CMake cache variables HDA_BOARD_ECAM_BASE
// and HDA_BOARD_PM_TIMER_PORT, the target board's by default); everything
// else follows from them.
#pragma once

#include "UefiBase.h"

#ifndef HDA_BOARD_ECAM_BASE
#define HDA_BOARD_ECAM_BASE 0xE0000000u
#endif
#ifndef HDA_BOARD_PM_TIMER_PORT
#define HDA_BOARD_PM_TIMER_PORT 0x1808u
#endif

constexpr UINT32 PciEcamAddress(UINT32 EcamBase, UINT32 Bus, UINT32 Device, UINT32 Function) {
  return EcamBase + (Bus << 20 | Device << 15 | Function << 12);
}

constexpr UINT32 HDA_PCI_BUS = 0x00;
constexpr UINT32 HDA_PCI_DEVICE = 0x1F;
constexpr UINT32 HDA_PCI_FUNCTION = 0x3;
constexpr UINT32 HDA_PCI_CONFIG_BASE =
    PciEcamAddress(HDA_BOARD_ECAM_BASE, HDA_PCI_BUS, HDA_PCI_DEVICE, HDA_PCI_FUNCTION);

constexpr UINT16 PM_TIMER_PORT = HDA_BOARD_PM_TIMER_PORT;

static_assert((HDA_BOARD_ECAM_BASE & 0xFFFFF) == 0, "the ECAM window starts on a 1 MiB boundary");
static_assert(HDA_BOARD_PM_TIMER_PORT <= 0xFFFC, "the PM timer's 4 bytes lie in the I/O space");
