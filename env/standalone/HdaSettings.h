// Copyright (c) 2026, HdaSsid contributors. All rights reserved.
// SPDX-License-Identifier: BSD-2-Clause-Patent
//
// The driver's platform settings in the standalone images, carried as
// data so that a platform sets them at integration without rebuilding:
// EDK2's build patches them as PatchableInModule PCDs of the binary module
// (the INF's [PatchPcd] gives each field's file offset), and `hdapack
// retarget` writes them for other tools. The build's HDA_PLATFORM_* values (the
// profile's by default) are what the shipped images carry. An EDK2 build of
// the source modules reads the PCDs instead (env/edk2/HdaSettings.h).
#pragma once

#include "HdaUefiBase.h"

#ifndef HDA_PLATFORM_ECAM_BASE
#define HDA_PLATFORM_ECAM_BASE 0xE0000000u
#endif
#ifndef HDA_PLATFORM_PM_TIMER_PORT
#define HDA_PLATFORM_PM_TIMER_PORT 0x1808u
#endif

// Tools find the block by its signature; the fields keep their offsets.
struct HDA_PLATFORM_SETTINGS {
  UINT8 Signature[8];
  UINT64 PciExpressBaseAddress;  // gHdaSsidPkgTokenSpaceGuid.PcdHdaSsidPciExpressBaseAddress
  UINT16 PmTimerPort;            // gHdaSsidPkgTokenSpaceGuid.PcdHdaSsidAcpiPmTimerPort (PM1_TMR)
  UINT8 ConvergenceReset;        // gHdaSsidPkgTokenSpaceGuid.PcdHdaSsidConvergenceReset (BOOLEAN)
  UINT8 Reserved[5];
};
// The signature reads "board" from before these were called platform
// settings; shipped images and tools know the block by it.
inline constexpr char HDA_PLATFORM_SETTINGS_SIGNATURE[] = "HDABOARD";
constexpr UINTN HDA_PLATFORM_ECAM_FIELD_OFFSET = 8;
constexpr UINTN HDA_PLATFORM_PM_TIMER_FIELD_OFFSET = 16;
constexpr UINTN HDA_PLATFORM_CONVERGENCE_RESET_FIELD_OFFSET = 18;
static_assert(sizeof(HDA_PLATFORM_SETTINGS) == 24);
static_assert(offsetof(HDA_PLATFORM_SETTINGS, PciExpressBaseAddress) == HDA_PLATFORM_ECAM_FIELD_OFFSET);
static_assert(offsetof(HDA_PLATFORM_SETTINGS, PmTimerPort) == HDA_PLATFORM_PM_TIMER_FIELD_OFFSET);
static_assert(offsetof(HDA_PLATFORM_SETTINGS, ConvergenceReset) == HDA_PLATFORM_CONVERGENCE_RESET_FIELD_OFFSET);

// Volatile, as EDK2 declares a PatchableInModule PCD: every use reads the
// image's bytes, so the compiler never folds a value into the code. Only the
// bring-up application writes it, with what it found in the ACPI tables.
extern "C" volatile HDA_PLATFORM_SETTINGS gHdaPlatformSettings;

static_assert(HDA_PLATFORM_ECAM_BASE != 0 &&
                  ((HDA_PLATFORM_ECAM_BASE & 0xFFFFF) | (static_cast<UINT64>(HDA_PLATFORM_ECAM_BASE) >> 32)) == 0 &&
                  HDA_PLATFORM_PM_TIMER_PORT != 0 && (HDA_PLATFORM_PM_TIMER_PORT & 0x3) == 0 &&
                  HDA_PLATFORM_PM_TIMER_PORT <= 0xFFFC,
              "HDA_PLATFORM_ECAM_BASE must be a 1 MiB aligned window below 4 GiB, HDA_PLATFORM_PM_TIMER_PORT a 4-byte "
              "aligned port, neither 0");

inline UINT64 HdaSettingEcamBase() { return gHdaPlatformSettings.PciExpressBaseAddress; }
inline UINT16 HdaSettingPmTimerPort() { return gHdaPlatformSettings.PmTimerPort; }
inline BOOLEAN HdaSettingConvergenceReset() { return gHdaPlatformSettings.ConvergenceReset != 0; }
