// Where the driver finds 00:1F.3 and the PM timer: the platform's two
// settings (HdaSettings.h: data in the standalone images, PCDs in an EDK2
// build), the PCI location, and which settings the code can use.
#pragma once

#include "HdaSettings.h"
#include "UefiBase.h"

constexpr UINT32 PciEcamOffset(UINT32 Bus, UINT32 Device, UINT32 Function) {
  return Bus << 20 | Device << 15 | Function << 12;
}

constexpr UINT32 HDA_PCI_BUS = 0x00;
constexpr UINT32 HDA_PCI_DEVICE = 0x1F;
constexpr UINT32 HDA_PCI_FUNCTION = 0x3;
constexpr UINT32 HDA_PCI_CONFIG_OFFSET = PciEcamOffset(HDA_PCI_BUS, HDA_PCI_DEVICE, HDA_PCI_FUNCTION);

// Settings the code can use: an ECAM window on a 1 MiB boundary below 4 GiB
// (so 00:1F.3's 4 KiB lie below it too, as 32-bit addresses require), and a
// PM-timer port whose 4 bytes lie in the I/O space.
constexpr BOOLEAN HdaBoardSettingsUsable(UINT64 PciExpressBaseAddress, UINT16 PmTimerPort) {
  return ((static_cast<UINT32>(PciExpressBaseAddress) & 0xFFFFF) | static_cast<UINT32>(PciExpressBaseAddress >> 32)) ==
             0 &&
         PmTimerPort <= 0xFFFC;
}
static_assert(0xFFF00000u + HDA_PCI_CONFIG_OFFSET + 0xFFF <= 0xFFFFFFFFu);

// 00:1F.3's configuration space under the board's ECAM window.
inline UINT32 HdaPciConfigBase() { return static_cast<UINT32>(HdaSettingEcamBase()) + HDA_PCI_CONFIG_OFFSET; }
inline UINT16 HdaPmTimerPort() { return HdaSettingPmTimerPort(); }
