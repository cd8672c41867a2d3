// Copyright (c) 2026, HdaSsid contributors. All rights reserved.
// SPDX-License-Identifier: BSD-2-Clause-Patent
//
// PEI services, a read-only variable PPI over a one-record store, and the
// platform's policy PPI, all recording their calls in one ordered log.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "HdaPeiTables.h"
#include "RecordStore.h"
#include "HdaSsidTable.h"

namespace bench {

struct PeiCall {
  enum Kind { LocatePpi, GetVariable } What;
  EFI_GUID Guid;  // the PPI located, or the variable's vendor GUID
  UINTN Instance = 0;
  bool DescriptorRequested = false;
  std::u16string VariableName{};
  bool AttributesRequested = false;
  UINTN DataSizeIn = 0;
  std::vector<uint8_t> BufferBefore{};  // the caller's buffer as handed over
};

class FakePei {
public:
  FakePei();
  ~FakePei();
  FakePei(const FakePei &) = delete;
  FakePei &operator=(const FakePei &) = delete;

  const EFI_PEI_SERVICES **PeiServices() { return &ServicesPointer; }

  // Which PPIs are installed, and the status LocatePpi gives for them
  // (a warning is a success with news).
  bool VariablePpiInstalled = true;
  EFI_STATUS VariableLocateStatus = EFI_SUCCESS;
  bool PolicyInstalled = true;
  EFI_STATUS PolicyLocateStatus = EFI_SUCCESS;

  // The variable store: the record's bytes, or nothing. GetVariable behaves
  // as PI's does: EFI_NOT_FOUND, EFI_BUFFER_TOO_SMALL (with the size needed)
  // or the data; StatusOverride replaces the status of a successful read.
  std::optional<std::vector<uint8_t>> Record;
  UINT32 RecordAttributes = HDA_SSID_VARIABLE_ATTRIBUTES;
  AttributesReported Reported = AttributesReported::Always;
  std::optional<EFI_STATUS> StatusOverride;

  PLATFORM_SSID_POLICY_PPI Policy{};
  std::vector<PeiCall> Calls;

  static FakePei &Current();

  EFI_PEI_SERVICES Services{};
  EFI_PEI_READ_ONLY_VARIABLE2_PPI VariablePpi{};

private:
  const EFI_PEI_SERVICES *ServicesPointer = &Services;
};

}  // namespace bench
