// Copyright (c) 2026, HdaSsid contributors. All rights reserved.
// SPDX-License-Identifier: BSD-2-Clause-Patent
//
// The driver's platform settings in an EDK2 build: the platform's own
// ECAM window (MdePkg's PcdPciExpressBaseAddress, which its PciExpressLib
// reaches configuration space through with the same accesses) and
// HdaSsidPkg's PM-timer port and convergence reset, of whatever PCD type the
// platform declares them (FixedAtBuild, PatchableInModule, Dynamic).
#pragma once

#include "HdaUefiBase.h"

extern "C" {
#include <Library/PcdLib.h>
}

inline UINT64 HdaSettingEcamBase() { return PcdGet64(PcdPciExpressBaseAddress); }
inline UINT16 HdaSettingPmTimerPort() { return PcdGet16(PcdHdaSsidAcpiPmTimerPort); }
inline BOOLEAN HdaSettingConvergenceReset() { return PcdGetBool(PcdHdaSsidConvergenceReset); }
