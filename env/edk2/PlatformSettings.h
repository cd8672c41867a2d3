// The driver's two platform settings in an EDK2 build: HdaSsidPkg's PCDs,
// of whatever type the platform declares them (FixedAtBuild,
// PatchableInModule, Dynamic).
#pragma once

#include "UefiBase.h"

extern "C" {
#include <Library/PcdLib.h>
}

inline UINT64 HdaSettingEcamBase() { return PcdGet64(PcdHdaSsidPciExpressBaseAddress); }
inline UINT16 HdaSettingPmTimerPort() { return PcdGet16(PcdHdaSsidAcpiPmTimerPort); }
