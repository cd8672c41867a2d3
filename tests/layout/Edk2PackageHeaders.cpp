// Copyright (c) 2026, HdaSsid contributors. All rights reserved.
// SPDX-License-Identifier: BSD-2-Clause-Patent
//
// HdaSsidPkg's public C headers (include/Guid, include/Ppi), compiled with
// just enough of EDK2's base types to stand, as a C module includes them:
// their GUIDs, layouts and constants, kept in a unit of their own because
// the names collide with the standalone build's definitions.
#include <cstddef>
#include <cstdint>

#include "Edk2PackageHeaders.h"

namespace {
typedef uint8_t UINT8;
typedef uint16_t UINT16;
typedef uint32_t UINT32;
typedef uint64_t UINT64;
typedef uintptr_t UINTN;
typedef char16_t CHAR16;
struct EFI_GUID {
  UINT32 Data1;
  UINT16 Data2;
  UINT16 Data3;
  UINT8 Data4[8];
};
#define CONST const
#define EFI_VARIABLE_NON_VOLATILE 0x00000001
#define EFI_VARIABLE_BOOTSERVICE_ACCESS 0x00000002
#define EFI_VARIABLE_RUNTIME_ACCESS 0x00000004
// Built with -fshort-wchar, as EDK2 builds: L"" is UTF-16.
static_assert(sizeof(wchar_t) == 2);
extern "C" {
#include "Guid/HdaSsidPkgTokenSpace.h"
#include "Guid/HdaSsidVariable.h"
#include "Ppi/PlatformSsidPolicy.h"
}

constexpr EFI_GUID kVariable = HDA_SSID_VARIABLE_GUID, kPolicy = PLATFORM_SSID_POLICY_PPI_GUID,
                   kTokenSpace = HDA_SSID_PKG_TOKEN_SPACE_GUID;
constexpr wchar_t kName[] = HDA_SSID_VARIABLE_NAME;
}  // namespace

const Edk2PackageLayout kEdk2PackageLayout = {
    reinterpret_cast<const uint8_t *>(&kVariable),
    reinterpret_cast<const uint8_t *>(&kPolicy),
    reinterpret_cast<const uint8_t *>(&kTokenSpace),
    kName,
    sizeof(kName),
    HDA_SSID_VARIABLE_ATTRIBUTES,
    HDA_SSID_RECORD_SIZE,
    sizeof(SSID_TABLE_ENTRY),
    offsetof(SSID_TABLE_ENTRY, Bus),
    offsetof(SSID_TABLE_ENTRY, ExtendedRegister),
    offsetof(SSID_TABLE_ENTRY, SubsystemVendorId),
    offsetof(SSID_TABLE_ENTRY, SubsystemId),
    offsetof(SSID_TABLE_ENTRY, Reserved),
    offsetof(PLATFORM_SSID_POLICY_PPI, SsidTable),
};
