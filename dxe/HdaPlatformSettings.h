// Copyright (c) 2026, HdaSsid contributors. All rights reserved.
// SPDX-License-Identifier: BSD-2-Clause-Patent
//
// Where the driver finds 00:1F.3 and the PM timer: the platform's two
// settings (HdaSettings.h: data in the standalone images, PCDs in an EDK2
// build), the PCI location, and which settings the code can use.
#pragma once

#include "HdaSettings.h"
#include "HdaUefiBase.h"

constexpr UINT32 PciEcamOffset(UINT32 Bus, UINT32 Device, UINT32 Function) {
  return Bus << 20 | Device << 15 | Function << 12;
}

constexpr UINT32 HDA_PCI_BUS = 0x00;
constexpr UINT32 HDA_PCI_DEVICE = 0x1F;
constexpr UINT32 HDA_PCI_FUNCTION = 0x3;
constexpr UINT32 HDA_PCI_CONFIG_OFFSET = PciEcamOffset(HDA_PCI_BUS, HDA_PCI_DEVICE, HDA_PCI_FUNCTION);

// Settings the code can use. An ECAM window lies on a 1 MiB boundary (one
// bus) below 4 GiB, so 00:1F.3's 4 KiB lie below it too, as 32-bit addresses
// require; 0 is no window at all (an unset setting), and the first
// megabyte holds RAM and legacy ROM. The PM timer (ACPI 6.x, 4.8.3.3) is a
// 32-bit register on a 4-byte boundary; port 0 is the legacy DMA
// controller, an unset setting.
constexpr BOOLEAN HdaEcamBaseUsable(UINT64 PciExpressBaseAddress) {
  return PciExpressBaseAddress != 0 && (PciExpressBaseAddress & 0xFFFFF) == 0 && (PciExpressBaseAddress >> 32) == 0;
}
constexpr BOOLEAN HdaPmTimerPortUsable(UINT16 PmTimerPort) {
  return PmTimerPort != 0 && (PmTimerPort & 0x3) == 0;
}
constexpr BOOLEAN HdaPlatformSettingsUsable(UINT64 PciExpressBaseAddress, UINT16 PmTimerPort) {
  return HdaEcamBaseUsable(PciExpressBaseAddress) && HdaPmTimerPortUsable(PmTimerPort);
}
static_assert(0xFFF00000u + HDA_PCI_CONFIG_OFFSET + 0xFFF <= 0xFFFFFFFFu);

// 00:1F.3's configuration space under the board's ECAM window.
inline UINT32 HdaPciConfigBase() { return static_cast<UINT32>(HdaSettingEcamBase()) + HDA_PCI_CONFIG_OFFSET; }
inline UINT16 HdaPmTimerPort() { return HdaSettingPmTimerPort(); }
