// Copyright (c) 2026, HdaSsid contributors. All rights reserved.
// SPDX-License-Identifier: BSD-2-Clause-Patent
//
// HdaSsidSelectPei: early in each boot, point the platform's subsystem-ID
// policy at the table for the codec the previous boot's End-of-DXE probe
// found, unless the default already fits or a table was already chosen.
// The board's tables come from its HdaSsidBoardLib.

#include "HdaSsidSelectPei.h"

#include "HdaDebug.h"
#include "HdaSsidRecord.h"
#include "HdaSsidTable.h"

extern "C" {
#include <Library/HdaSsidBoardLib.h>
}

extern "C" EFI_STATUS EFIAPI HdaSsidPeiEntryPoint(EFI_PEI_FILE_HANDLE FileHandle,
                                                  const EFI_PEI_SERVICES **PeiServices) {
  (void)FileHandle;
  EFI_PEI_READ_ONLY_VARIABLE2_PPI *VariablePpi = nullptr;
  EFI_STATUS Status = (*PeiServices)->LocatePpi(PeiServices, &gEfiPeiReadOnlyVariable2PpiGuid, 0,
                                                nullptr, reinterpret_cast<VOID **>(&VariablePpi));
  if (EFI_ERROR(Status)) {
    DEBUG((DEBUG_WARN, "HdaSsidSelectPei: no read-only variable PPI: %r\n", Status));
    return Status;
  }

  // Preset, so a shorter record from another writer cannot leave stack
  // contents in the bytes it does not fill.
  HDA_SSID_WORD Stored = 0;
  UINTN DataSize = sizeof(Stored);
  UINT32 Attributes = 0;
  Status = VariablePpi->GetVariable(VariablePpi, HDA_SSID_VARIABLE_NAME_CHAR16.Chars, &gHdaSsidVariableGuid,
                                    &Attributes, &DataSize, &Stored);
  if (EFI_ERROR(Status)) {
    DEBUG((DEBUG_INFO, "HdaSsidSelectPei: no record read: %r\n", Status));
    return Status;
  }
  DEBUG((DEBUG_INFO, "HdaSsidSelectPei: record 0x%08X, attributes 0x%X, %u bytes\n", Stored, Attributes,
         static_cast<UINT32>(DataSize)));
  // Only HdaSsidDetectDxe's record counts: one written with other
  // attributes (by a shell's setvar, or an OS, or another driver) is treated
  // as no record at all, with the status an absent one gives.
  if (Attributes != HDA_SSID_VARIABLE_ATTRIBUTES) {
    DEBUG((DEBUG_WARN, "HdaSsidSelectPei: not the driver's record (attributes 0x%X): ignored\n", Attributes));
    return EFI_NOT_FOUND;
  }

  PLATFORM_SSID_POLICY_PPI *Policy = nullptr;
  Status = (*PeiServices)->LocatePpi(PeiServices, &gPlatformSsidPolicyPpiGuid, 0, nullptr,
                                     reinterpret_cast<VOID **>(&Policy));
  if (EFI_ERROR(Status)) {
    DEBUG((DEBUG_WARN, "HdaSsidSelectPei: no subsystem-ID policy PPI: %r\n", Status));
    return Status;
  }

  if (Stored == FindDefaultHdaSsid() || Policy->SsidTable != nullptr) {
    DEBUG((DEBUG_INFO, "HdaSsidSelectPei: nothing chosen: %a\n",
           Policy->SsidTable != nullptr ? "a table was already chosen" : "the record is the default table's word"));
    return Status;
  }
  const CHAR8 *TableName = nullptr;
  const SSID_TABLE_ENTRY *Table = HdaVariantTable(Stored, &TableName);
  if (Table != nullptr) {
    Policy->SsidTable = Table;
    DEBUG((DEBUG_INFO, "HdaSsidSelectPei: %a chosen\n", TableName));
  } else {
    DEBUG((DEBUG_INFO, "HdaSsidSelectPei: the record names no variant: nothing chosen\n"));
  }
  return Status;
}
