// Copyright (c) 2026, HdaSsid contributors. All rights reserved.
// SPDX-License-Identifier: BSD-2-Clause-Patent
//
// Offsets and sizes taken from Debian's gnu-efi headers, kept in a unit of
// their own because its names collide with our definitions.
extern "C" {
#include <efi.h>
}
#include <cstddef>

#include "GnuEfiOffsets.h"

const GnuEfiLayout kGnuEfiLayout = {
    offsetof(EFI_SYSTEM_TABLE, ConOut),
    offsetof(SIMPLE_TEXT_OUTPUT_INTERFACE, OutputString),
    offsetof(EFI_SYSTEM_TABLE, RuntimeServices),
    offsetof(EFI_SYSTEM_TABLE, BootServices),
    offsetof(EFI_SYSTEM_TABLE, NumberOfTableEntries),
    offsetof(EFI_SYSTEM_TABLE, ConfigurationTable),
    sizeof(EFI_CONFIGURATION_TABLE),
    offsetof(EFI_BOOT_SERVICES, CloseEvent),
    offsetof(EFI_BOOT_SERVICES, Stall),
    offsetof(EFI_BOOT_SERVICES, LocateProtocol),
    offsetof(EFI_BOOT_SERVICES, CreateEventEx),
    offsetof(EFI_RUNTIME_SERVICES, SetVariable),
    offsetof(EFI_RUNTIME_SERVICES, GetVariable),
    sizeof(EFI_TABLE_HEADER),
    sizeof(EFI_GUID),
    offsetof(EFI_GUID, Data2),
    offsetof(EFI_GUID, Data3),
    offsetof(EFI_GUID, Data4),
    EFI_TIMEOUT,
    EFI_NOT_FOUND,
    EFI_BUFFER_TOO_SMALL,
    EVT_NOTIFY_SIGNAL,
    TPL_CALLBACK,
    EFI_VARIABLE_NON_VOLATILE | EFI_VARIABLE_BOOTSERVICE_ACCESS | EFI_VARIABLE_RUNTIME_ACCESS,
};
