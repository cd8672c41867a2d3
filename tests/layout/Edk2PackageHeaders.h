// Copyright (c) 2026, HdaSsid contributors. All rights reserved.
// SPDX-License-Identifier: BSD-2-Clause-Patent

#pragma once
#include <cstddef>
#include <cstdint>

struct Edk2PackageLayout {
  const uint8_t *VariableGuid;  // 16 bytes each, as EFI_GUID lies in memory
  const uint8_t *PolicyPpiGuid;
  const uint8_t *TokenSpaceGuid;
  const void *VariableName;  // UTF-16
  size_t VariableNameSize;
  uint32_t VariableAttributes;
  size_t RecordSize;
  size_t EntrySize;
  size_t EntryBus;
  size_t EntryExtendedRegister;
  size_t EntrySubsystemVendorId;
  size_t EntrySubsystemId;
  size_t EntryReserved;
  size_t PolicySsidTable;
};

extern const Edk2PackageLayout kEdk2PackageLayout;
