// Copyright (c) 2026, HdaSsid contributors. All rights reserved.
// SPDX-License-Identifier: BSD-2-Clause-Patent
//
// HdaSsidInfo: the bring-up report, written to SystemTable->ConOut.
#pragma once

#include "HdaUefiTables.h"

EFI_STATUS HdaSsidInfo(EFI_SYSTEM_TABLE *SystemTable);

extern "C" EFI_STATUS EFIAPI HdaSsidInfoEntryPoint(EFI_HANDLE ImageHandle, EFI_SYSTEM_TABLE *SystemTable);
