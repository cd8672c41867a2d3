// Copyright (c) 2026, HdaSsid contributors. All rights reserved.
// SPDX-License-Identifier: BSD-2-Clause-Patent
//
// UEFI base types, status codes and GUIDs as the UEFI 2.x specification lays
// them out (section 2.3.1 "Data Types", appendix D "Status Codes"): the
// modules' own definitions, for the standalone build. An EDK2 build of the
// package's source modules takes MdePkg's instead (env/edk2/HdaUefiBase.h).
#pragma once

#include <stddef.h>
#include <stdint.h>

// The processor, as MdePkg's ProcessorBind.h names it.
#if defined(__x86_64__)
#define MDE_CPU_X64
#elif defined(__i386__)
#define MDE_CPU_IA32
#else
#error "the modules are built for IA32 or X64"
#endif

typedef uint8_t UINT8;
typedef uint16_t UINT16;
typedef uint32_t UINT32;
typedef uint64_t UINT64;
typedef uintptr_t UINTN;
typedef intptr_t INTN;
typedef uint8_t BOOLEAN;
typedef char16_t CHAR16;
typedef char CHAR8;
typedef void VOID;

// EDK2's argument and qualifier markers, as the package's C headers use them.
#define CONST const
#define IN
#define OUT
#define OPTIONAL

typedef UINTN EFI_STATUS;
typedef VOID *EFI_HANDLE;
typedef VOID *EFI_EVENT;
typedef UINTN EFI_TPL;

// EFIAPI is the Microsoft x64 convention on x64 and the C convention on IA32.
// The windows targets use those by default; a 64-bit host build (tests) has to
// ask for it so that modules and fake services meet as they do in firmware.
#if defined(__x86_64__) && !defined(_WIN32)
#define EFIAPI __attribute__((ms_abi))
#else
#define EFIAPI
#endif

struct EFI_GUID {
  UINT32 Data1;
  UINT16 Data2;
  UINT16 Data3;
  UINT8 Data4[8];
};
static_assert(sizeof(EFI_GUID) == 16);

#include "HdaGuidText.h"

constexpr EFI_STATUS EFI_ERROR_BIT = EFI_STATUS{1} << (sizeof(EFI_STATUS) * 8 - 1);
constexpr EFI_STATUS EfiErrorCode(EFI_STATUS Code) { return EFI_ERROR_BIT | Code; }
constexpr bool EFI_ERROR(EFI_STATUS Status) { return (Status & EFI_ERROR_BIT) != 0; }

constexpr EFI_STATUS EFI_SUCCESS = 0;
constexpr EFI_STATUS EFI_INVALID_PARAMETER = EfiErrorCode(2);
constexpr EFI_STATUS EFI_UNSUPPORTED = EfiErrorCode(3);
constexpr EFI_STATUS EFI_BUFFER_TOO_SMALL = EfiErrorCode(5);
constexpr EFI_STATUS EFI_DEVICE_ERROR = EfiErrorCode(7);
constexpr EFI_STATUS EFI_OUT_OF_RESOURCES = EfiErrorCode(9);
constexpr EFI_STATUS EFI_NOT_FOUND = EfiErrorCode(14);
constexpr EFI_STATUS EFI_TIMEOUT = EfiErrorCode(18);
constexpr EFI_STATUS EFI_SECURITY_VIOLATION = EfiErrorCode(26);
constexpr EFI_STATUS EFI_WARN_BUFFER_TOO_SMALL = 4;

// UEFI variable attributes (UEFI 2.x, 8.2 "Variable Services").
constexpr UINT32 EFI_VARIABLE_NON_VOLATILE = 0x00000001;
constexpr UINT32 EFI_VARIABLE_BOOTSERVICE_ACCESS = 0x00000002;
constexpr UINT32 EFI_VARIABLE_RUNTIME_ACCESS = 0x00000004;
// A variable written with any of these can only be changed or deleted with a
// signed payload.
constexpr UINT32 EFI_VARIABLE_AUTHENTICATED_WRITE_ACCESS = 0x00000010;
constexpr UINT32 EFI_VARIABLE_TIME_BASED_AUTHENTICATED_WRITE_ACCESS = 0x00000020;
constexpr UINT32 EFI_VARIABLE_ENHANCED_AUTHENTICATED_ACCESS = 0x00000080;
