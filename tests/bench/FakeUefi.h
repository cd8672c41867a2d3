// Copyright (c) 2026, HdaSsid contributors. All rights reserved.
// SPDX-License-Identifier: BSD-2-Clause-Patent
//
// A system table whose boot and runtime services record their calls, for the
// DXE driver's host tests. The services use the EFIAPI (Microsoft x64)
// convention, as firmware's do. A SetVariable call also notes how many
// hardware accesses the bench had logged by then, so tests can place it in
// the access sequence, and acts on the store as UEFI's does: an existing
// record is rewritten only with its own attributes or deleted with none, and
// an authenticated one cannot be changed without a signature. EDK2's
// variable policy protocol can be offered; it records what is registered.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "HdaSsidRecord.h"
#include "RecordStore.h"
#include "HdaUefiTables.h"

namespace bench {

struct CreateEventExCall {
  UINT32 Type;
  EFI_TPL NotifyTpl;
  EFI_EVENT_NOTIFY NotifyFunction;
  const VOID *NotifyContext;
  std::optional<EFI_GUID> EventGroup;
  bool EventOut;  // a place to return the event was given
};

struct SetVariableCall {
  std::u16string Name;
  std::optional<EFI_GUID> Guid;
  UINT32 Attributes;
  std::vector<uint8_t> Data;  // DataSize bytes
  bool DataPointerGiven;
  size_t HardwareAccessesBefore;
};

class FakeUefi {
public:
  FakeUefi();
  ~FakeUefi();
  FakeUefi(const FakeUefi &) = delete;
  FakeUefi &operator=(const FakeUefi &) = delete;

  EFI_SYSTEM_TABLE SystemTable{};
  EFI_BOOT_SERVICES BootServices{};
  EFI_RUNTIME_SERVICES RuntimeServices{};
  EFI_SIMPLE_TEXT_OUTPUT_PROTOCOL ConOut{};

  std::u16string Console;  // everything written to ConOut
  uint64_t StalledMicroseconds = 0;  // by Stall, which also runs the bench's clock
  // The store's "ZelHdaSsid" record and its attributes, or none.
  std::optional<std::vector<uint8_t>> StoredRecord;
  UINT32 StoredAttributes = HDA_SSID_VARIABLE_ATTRIBUTES;
  AttributesReported Reported = AttributesReported::Always;  // by GetVariable
  EFI_STATUS RefuseWrites = EFI_SUCCESS;  // when an error: what a write with data gets (a full store)
  bool HasVariablePolicy = false;
  std::vector<std::vector<uint8_t>> RegisteredPolicies;  // each entry's Size bytes

  EFI_STATUS CreateEventExStatus = EFI_SUCCESS;
  EFI_EVENT EventToCreate = reinterpret_cast<EFI_EVENT>(0xE7E7);
  std::vector<CreateEventExCall> CreateEventExCalls;
  std::vector<EFI_EVENT> ClosedEvents;
  std::vector<SetVariableCall> SetVariableCalls;
  size_t GetVariableCalls = 0;
  std::vector<EFI_RESET_TYPE> Resets;  // ResetSystem's requests, which return here
  // The HOB list's handoff table, the system table's one configuration
  // table: the boot mode PEI handed over.
  EFI_HOB_HANDOFF_INFO_TABLE Handoff{{EFI_HOB_TYPE_HANDOFF, 56, 0}, 9, BOOT_WITH_FULL_CONFIGURATION};
  EFI_CONFIGURATION_TABLE HobList{};

  static FakeUefi &Current();
};

}  // namespace bench
