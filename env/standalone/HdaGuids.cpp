// Copyright (c) 2026, HdaSsid contributors. All rights reserved.
// SPDX-License-Identifier: BSD-2-Clause-Patent
//
// The GUIDs that EDK2's AutoGen.c defines for a module from the packages'
// DECs, defined here from the same headers for the standalone images and the
// host tests; each image keeps the ones it uses.

#include "HdaPeiTables.h"
#include "HdaSsidRecord.h"
#include "HdaSsidTable.h"
#include "HdaUefiTables.h"
#include "HdaVariablePolicy.h"

extern "C" {
constinit EFI_GUID gHdaSsidVariableGuid = HDA_SSID_VARIABLE_GUID;
constinit EFI_GUID gPlatformSsidPolicyPpiGuid = PLATFORM_SSID_POLICY_PPI_GUID;
constinit EFI_GUID gEdkiiVariablePolicyProtocolGuid = EDKII_VARIABLE_POLICY_PROTOCOL_GUID;
constinit EFI_GUID gEfiEndOfDxeEventGroupGuid = EFI_END_OF_DXE_EVENT_GROUP_GUID;
constinit EFI_GUID gEfiHobListGuid = EFI_HOB_LIST_GUID;
constinit EFI_GUID gEfiPeiReadOnlyVariable2PpiGuid = EFI_PEI_READ_ONLY_VARIABLE2_PPI_GUID;
constinit EFI_GUID gEfiEndOfPeiSignalPpiGuid = EFI_END_OF_PEI_PPI_GUID;
}
