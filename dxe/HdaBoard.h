// The board's two platform settings, carried as data in the image so that a
// platform sets them at integration without rebuilding: EDK2's build patches
// them as PatchableInModule PCDs of the binary module (the INF's [PatchPcd]
// gives each field's file offset), and `hdapack retarget` writes them for
// other tools. The build's HDA_BOARD_* values (the target board's by default)
// are what the shipped images carry.
#pragma once

#include "UefiBase.h"

#ifndef HDA_BOARD_ECAM_BASE
#define HDA_BOARD_ECAM_BASE 0xE0000000u
#endif
#ifndef HDA_BOARD_PM_TIMER_PORT
#define HDA_BOARD_PM_TIMER_PORT 0x1808u
#endif

// Tools find the block by its signature; the fields keep their offsets.
struct HDA_BOARD_SETTINGS {
  UINT8 Signature[8];
  UINT64 PciExpressBaseAddress;  // gHdaSsidPkgTokenSpaceGuid.PcdHdaSsidPciExpressBaseAddress
  UINT16 PmTimerPort;            // gHdaSsidPkgTokenSpaceGuid.PcdHdaSsidAcpiPmTimerPort (PM1_TMR)
  UINT16 Reserved[3];
};
inline constexpr char HDA_BOARD_SETTINGS_SIGNATURE[] = "HDABOARD";
constexpr UINTN HDA_BOARD_ECAM_FIELD_OFFSET = 8;
constexpr UINTN HDA_BOARD_PM_TIMER_FIELD_OFFSET = 16;
static_assert(sizeof(HDA_BOARD_SETTINGS) == 24);
static_assert(offsetof(HDA_BOARD_SETTINGS, PciExpressBaseAddress) == HDA_BOARD_ECAM_FIELD_OFFSET);
static_assert(offsetof(HDA_BOARD_SETTINGS, PmTimerPort) == HDA_BOARD_PM_TIMER_FIELD_OFFSET);

// Volatile, as EDK2 declares a PatchableInModule PCD: every use reads the
// image's bytes, so the compiler never folds a value into the code. Only the
// bring-up application writes it, with what it found in the ACPI tables.
extern "C" volatile HDA_BOARD_SETTINGS gHdaBoardSettings;

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
static_assert(HdaBoardSettingsUsable(HDA_BOARD_ECAM_BASE, HDA_BOARD_PM_TIMER_PORT),
              "HDA_BOARD_ECAM_BASE must be 1 MiB aligned below 4 GiB, HDA_BOARD_PM_TIMER_PORT at most 0xFFFC");
static_assert(0xFFF00000u + HDA_PCI_CONFIG_OFFSET + 0xFFF <= 0xFFFFFFFFu);

// 00:1F.3's configuration space under the board's ECAM window.
inline UINT32 HdaPciConfigBase() {
  return static_cast<UINT32>(gHdaBoardSettings.PciExpressBaseAddress) + HDA_PCI_CONFIG_OFFSET;
}
inline UINT16 HdaPmTimerPort() { return gHdaBoardSettings.PmTimerPort; }
