// Copyright (c) 2026, HdaSsid contributors. All rights reserved.
// SPDX-License-Identifier: BSD-2-Clause-Patent
//
// The PEI services and PPIs this firmware uses, as the PI specification
// (volume 1, "PEI Services Table", "PEIM-to-PEIM Interfaces") lays them out.
// Members that are never called are opaque pointer slots, so every used
// member sits at the offset the PI specification gives.
#pragma once

#include "HdaUefiTables.h"

typedef VOID *EFI_PEI_FILE_HANDLE;
struct EFI_PEI_SERVICES;
struct EFI_PEI_NOTIFY_DESCRIPTOR;

constexpr UINTN EFI_PEI_PPI_DESCRIPTOR_PPI = 0x00000010;
constexpr UINTN EFI_PEI_PPI_DESCRIPTOR_NOTIFY_CALLBACK = 0x00000020;
constexpr UINTN EFI_PEI_PPI_DESCRIPTOR_TERMINATE_LIST = 0x80000000;

struct EFI_PEI_PPI_DESCRIPTOR {
  UINTN Flags;
  const EFI_GUID *Guid;
  VOID *Ppi;
};

typedef EFI_STATUS(EFIAPI *EFI_PEIM_NOTIFY_ENTRY_POINT)(const EFI_PEI_SERVICES **PeiServices,
                                                         EFI_PEI_NOTIFY_DESCRIPTOR *NotifyDescriptor,
                                                         VOID *Ppi);

struct EFI_PEI_NOTIFY_DESCRIPTOR {
  UINTN Flags;
  const EFI_GUID *Guid;
  EFI_PEIM_NOTIFY_ENTRY_POINT Notify;
};

typedef EFI_STATUS(EFIAPI *EFI_PEI_INSTALL_PPI)(const EFI_PEI_SERVICES **PeiServices,
                                                 const EFI_PEI_PPI_DESCRIPTOR *PpiList);
typedef EFI_STATUS(EFIAPI *EFI_PEI_LOCATE_PPI)(const EFI_PEI_SERVICES **PeiServices,
                                                const EFI_GUID *Guid, UINTN Instance,
                                                EFI_PEI_PPI_DESCRIPTOR **PpiDescriptor,
                                                VOID **Ppi);
typedef EFI_STATUS(EFIAPI *EFI_PEI_NOTIFY_PPI)(const EFI_PEI_SERVICES **PeiServices,
                                                const EFI_PEI_NOTIFY_DESCRIPTOR *NotifyList);

struct EFI_PEI_SERVICES {
  EFI_TABLE_HEADER Hdr;
  EFI_PEI_INSTALL_PPI InstallPpi;
  VOID *ReInstallPpi;
  EFI_PEI_LOCATE_PPI LocatePpi;
  EFI_PEI_NOTIFY_PPI NotifyPpi;
};

struct EFI_PEI_READ_ONLY_VARIABLE2_PPI;
typedef EFI_STATUS(EFIAPI *EFI_PEI_GET_VARIABLE2)(const EFI_PEI_READ_ONLY_VARIABLE2_PPI *This,
                                                   const CHAR16 *VariableName,
                                                   const EFI_GUID *VariableGuid,
                                                   UINT32 *Attributes, UINTN *DataSize,
                                                   VOID *Data);

struct EFI_PEI_READ_ONLY_VARIABLE2_PPI {
  EFI_PEI_GET_VARIABLE2 GetVariable;
  VOID *NextVariableName;
};

// The PPIs' GUIDs under MdePkg's names, with the globals EDK2's AutoGen
// defines for them (here HdaGuids.cpp). The end-of-PEI PPI is installed when
// PEI hands over to DXE.
#define EFI_PEI_READ_ONLY_VARIABLE2_PPI_GUID \
  { 0x2AB86EF5, 0xECB5, 0x4134, { 0xB5, 0x56, 0x38, 0x54, 0xCA, 0x1F, 0xE1, 0xB4 } }
#define EFI_END_OF_PEI_PPI_GUID \
  { 0x605EA650, 0xC65C, 0x42E1, { 0xBA, 0x80, 0x91, 0xA5, 0x2A, 0xB6, 0x18, 0xC6 } }
extern "C" EFI_GUID gEfiPeiReadOnlyVariable2PpiGuid;
extern "C" EFI_GUID gEfiEndOfPeiSignalPpiGuid;

// Offsets from the PI specification's definitions, for IA32 and X64 PEI:
// EFI_PEI_SERVICES begins with a 24-byte EFI_TABLE_HEADER followed by
// pointer-sized services in the order InstallPpi, ReInstallPpi, LocatePpi,
// NotifyPpi; a PPI descriptor is Flags, Guid, Ppi; the variable PPI's first
// member is GetVariable. tools/edk2_check.py checks the LocatePpi and
// GetVariable numbers against EDK2's MdePkg headers.
#if defined(MDE_CPU_IA32)
static_assert(offsetof(EFI_PEI_SERVICES, InstallPpi) == 0x18);
static_assert(offsetof(EFI_PEI_SERVICES, LocatePpi) == 0x20);
static_assert(offsetof(EFI_PEI_SERVICES, NotifyPpi) == 0x24);
static_assert(sizeof(EFI_PEI_PPI_DESCRIPTOR) == 12);
static_assert(sizeof(EFI_PEI_NOTIFY_DESCRIPTOR) == 12);
#elif defined(MDE_CPU_X64)
static_assert(offsetof(EFI_PEI_SERVICES, InstallPpi) == 0x18);
static_assert(offsetof(EFI_PEI_SERVICES, LocatePpi) == 0x28);
static_assert(offsetof(EFI_PEI_SERVICES, NotifyPpi) == 0x30);
static_assert(sizeof(EFI_PEI_PPI_DESCRIPTOR) == 24);
static_assert(sizeof(EFI_PEI_NOTIFY_DESCRIPTOR) == 24);
#endif
static_assert(offsetof(EFI_PEI_READ_ONLY_VARIABLE2_PPI, GetVariable) == 0);
