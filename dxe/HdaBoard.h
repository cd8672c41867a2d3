// Fixed platform settings of the board the driver is built for. A board
// profile may override the two build-time values (-DHDA_BOARD_ECAM_BASE=...,
// -DHDA_BOARD_PM_TIMER_PORT=...); everything else follows from them.
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
