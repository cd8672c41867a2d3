// Copyright (c) 2026, HdaSsid contributors. All rights reserved.
// SPDX-License-Identifier: BSD-2-Clause-Patent
//
// HdaSsidSelectPei's PEIM entry point.
#pragma once

#include "HdaPeiTables.h"

extern "C" EFI_STATUS EFIAPI HdaSsidPeiEntryPoint(EFI_PEI_FILE_HANDLE FileHandle,
                                                  const EFI_PEI_SERVICES **PeiServices);
