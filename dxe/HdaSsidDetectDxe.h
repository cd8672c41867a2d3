// Copyright (c) 2026, HdaSsid contributors. All rights reserved.
// SPDX-License-Identifier: BSD-2-Clause-Patent
//
// HdaSsidDetectDxe's two entry points into the driver: the image entry point
// and its End-of-DXE notification.
#pragma once

#include "HdaUefiTables.h"

extern "C" {
EFI_STATUS EFIAPI HdaSsidDxeEntryPoint(EFI_HANDLE ImageHandle, EFI_SYSTEM_TABLE *SystemTable);
VOID EFIAPI OnEndOfDxe(EFI_EVENT Event, VOID *Context);
}
