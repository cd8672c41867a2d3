// Copyright (c) 2026, HdaSsid contributors. All rights reserved.
// SPDX-License-Identifier: BSD-2-Clause-Patent
//
// The parts of the UEFI system table, boot services and runtime services that
// this firmware calls (UEFI 2.x, chapter 4 "EFI System Table"). Members that
// are never called are kept as opaque pointer slots so every used member sits
// at the offset the UEFI specification gives; tests/layout checks these
// offsets against Debian's gnu-efi headers.
#pragma once

#include "HdaUefiBase.h"

struct EFI_TABLE_HEADER {
  UINT64 Signature;
  UINT32 Revision;
  UINT32 HeaderSize;
  UINT32 CRC32;
  UINT32 Reserved;
};

constexpr UINT32 EVT_NOTIFY_SIGNAL = 0x00000200;
constexpr EFI_TPL TPL_CALLBACK = 8;

typedef VOID(EFIAPI *EFI_EVENT_NOTIFY)(EFI_EVENT Event, VOID *Context);
typedef EFI_STATUS(EFIAPI *EFI_CREATE_EVENT_EX)(UINT32 Type, EFI_TPL NotifyTpl,
                                                EFI_EVENT_NOTIFY NotifyFunction,
                                                const VOID *NotifyContext,
                                                const EFI_GUID *EventGroup,
                                                EFI_EVENT *Event);
typedef EFI_STATUS(EFIAPI *EFI_CLOSE_EVENT)(EFI_EVENT Event);
typedef EFI_STATUS(EFIAPI *EFI_STALL)(UINTN Microseconds);
typedef EFI_STATUS(EFIAPI *EFI_LOCATE_PROTOCOL)(const EFI_GUID *Protocol, VOID *Registration, VOID **Interface);
typedef EFI_STATUS(EFIAPI *EFI_SET_VARIABLE)(const CHAR16 *VariableName,
                                             const EFI_GUID *VendorGuid,
                                             UINT32 Attributes, UINTN DataSize,
                                             const VOID *Data);
typedef EFI_STATUS(EFIAPI *EFI_GET_VARIABLE)(const CHAR16 *VariableName,
                                             const EFI_GUID *VendorGuid,
                                             UINT32 *Attributes, UINTN *DataSize,
                                             VOID *Data);

struct EFI_SIMPLE_TEXT_OUTPUT_PROTOCOL;
typedef EFI_STATUS(EFIAPI *EFI_TEXT_STRING)(EFI_SIMPLE_TEXT_OUTPUT_PROTOCOL *This, const CHAR16 *String);

struct EFI_SIMPLE_TEXT_OUTPUT_PROTOCOL {
  VOID *Reset;
  EFI_TEXT_STRING OutputString;
};

struct EFI_BOOT_SERVICES {
  EFI_TABLE_HEADER Hdr;
  VOID *RaiseTplToSignalEvent[11];  // RaiseTPL .. SignalEvent
  EFI_CLOSE_EVENT CloseEvent;
  VOID *CheckEventToGetNextMonotonicCount[16];  // CheckEvent .. GetNextMonotonicCount
  EFI_STALL Stall;
  VOID *SetWatchdogTimerToLocateHandleBuffer[8];  // SetWatchdogTimer .. LocateHandleBuffer
  EFI_LOCATE_PROTOCOL LocateProtocol;
  VOID *InstallMultipleToSetMem[5];  // InstallMultipleProtocolInterfaces .. SetMem
  EFI_CREATE_EVENT_EX CreateEventEx;
};

enum EFI_RESET_TYPE : UINT32 { EfiResetCold, EfiResetWarm, EfiResetShutdown, EfiResetPlatformSpecific };
typedef VOID(EFIAPI *EFI_RESET_SYSTEM)(EFI_RESET_TYPE ResetType, EFI_STATUS ResetStatus, UINTN DataSize,
                                       VOID *ResetData);

struct EFI_RUNTIME_SERVICES {
  EFI_TABLE_HEADER Hdr;
  VOID *GetTimeToConvertPointer[6];  // GetTime .. ConvertPointer
  EFI_GET_VARIABLE GetVariable;
  VOID *GetNextVariableName;
  EFI_SET_VARIABLE SetVariable;
  VOID *GetNextHighMonotonicCount;
  EFI_RESET_SYSTEM ResetSystem;
};

struct EFI_CONFIGURATION_TABLE {
  EFI_GUID VendorGuid;
  VOID *VendorTable;
};

struct EFI_SYSTEM_TABLE {
  EFI_TABLE_HEADER Hdr;
  CHAR16 *FirmwareVendor;
  UINT32 FirmwareRevision;
  EFI_HANDLE ConsoleInHandle;
  VOID *ConIn;
  EFI_HANDLE ConsoleOutHandle;
  EFI_SIMPLE_TEXT_OUTPUT_PROTOCOL *ConOut;
  EFI_HANDLE StandardErrorHandle;
  VOID *StdErr;
  EFI_RUNTIME_SERVICES *RuntimeServices;
  EFI_BOOT_SERVICES *BootServices;
  UINTN NumberOfTableEntries;
  EFI_CONFIGURATION_TABLE *ConfigurationTable;
};

// PI 1.2+ volume 2, "End of DXE Event", with the global EDK2's AutoGen
// defines for it (here HdaGuids.cpp).
#define EFI_END_OF_DXE_EVENT_GROUP_GUID \
  { 0x02CE967A, 0xDD7E, 0x4FFC, { 0x9E, 0xE7, 0x81, 0x0C, 0xF0, 0x47, 0x08, 0x80 } }
extern "C" EFI_GUID gEfiEndOfDxeEventGroupGuid;

// PI 1.8 volume 3: the HOB list, which DXE finds in the system
// configuration table, begins with the phase handoff table that carries
// the boot mode PEI decided on.
#define EFI_HOB_LIST_GUID \
  { 0x7739F24C, 0x93D7, 0x11D4, { 0x9A, 0x3A, 0x00, 0x90, 0x27, 0x3F, 0xC1, 0x4D } }
extern "C" EFI_GUID gEfiHobListGuid;
typedef UINT32 EFI_BOOT_MODE;
constexpr EFI_BOOT_MODE BOOT_WITH_FULL_CONFIGURATION = 0x00;
constexpr EFI_BOOT_MODE BOOT_ON_FLASH_UPDATE = 0x12;
constexpr EFI_BOOT_MODE BOOT_IN_RECOVERY_MODE = 0x20;
constexpr UINT16 EFI_HOB_TYPE_HANDOFF = 0x0001;
struct EFI_HOB_GENERIC_HEADER {
  UINT16 HobType;
  UINT16 HobLength;
  UINT32 Reserved;
};
struct EFI_HOB_HANDOFF_INFO_TABLE {
  EFI_HOB_GENERIC_HEADER Header;
  UINT32 Version;
  EFI_BOOT_MODE BootMode;
};

#if defined(MDE_CPU_X64)
// UEFI 2.x offsets on x64; a slip here would call the wrong service.
static_assert(offsetof(EFI_SYSTEM_TABLE, ConOut) == 0x40);
static_assert(offsetof(EFI_SIMPLE_TEXT_OUTPUT_PROTOCOL, OutputString) == 0x08);
static_assert(offsetof(EFI_SYSTEM_TABLE, RuntimeServices) == 0x58);
static_assert(offsetof(EFI_SYSTEM_TABLE, BootServices) == 0x60);
static_assert(offsetof(EFI_SYSTEM_TABLE, ConfigurationTable) == 0x70);
static_assert(offsetof(EFI_BOOT_SERVICES, CloseEvent) == 0x70);
static_assert(offsetof(EFI_BOOT_SERVICES, Stall) == 0xF8);
static_assert(offsetof(EFI_BOOT_SERVICES, LocateProtocol) == 0x140);
static_assert(offsetof(EFI_BOOT_SERVICES, CreateEventEx) == 0x170);
static_assert(offsetof(EFI_RUNTIME_SERVICES, SetVariable) == 0x58);
#endif
