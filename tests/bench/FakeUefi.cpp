// Copyright (c) 2026, HdaSsid contributors. All rights reserved.
// SPDX-License-Identifier: BSD-2-Clause-Patent

#include "FakeUefi.h"

#include <stdexcept>

#include "HdaBench.h"
#include "RecordStore.h"
#include "HdaVariablePolicy.h"

namespace bench {

namespace {
FakeUefi *gCurrent = nullptr;

size_t HardwareAccessesSoFar() {
  try {
    return Bench::Current().Log.size();
  } catch (const std::logic_error &) {
    return 0;
  }
}

EFI_STATUS EFIAPI FakeCreateEventEx(UINT32 Type, EFI_TPL NotifyTpl, EFI_EVENT_NOTIFY NotifyFunction,
                                    const VOID *NotifyContext, const EFI_GUID *EventGroup,
                                    EFI_EVENT *Event) {
  FakeUefi &Uefi = FakeUefi::Current();
  Uefi.CreateEventExCalls.push_back(
      {Type, NotifyTpl, NotifyFunction, NotifyContext,
       EventGroup ? std::optional<EFI_GUID>(*EventGroup) : std::nullopt, Event != nullptr});
  if (Event != nullptr && !EFI_ERROR(Uefi.CreateEventExStatus)) {
    *Event = Uefi.EventToCreate;
  }
  return Uefi.CreateEventExStatus;
}

EFI_STATUS EFIAPI FakeCloseEvent(EFI_EVENT Event) {
  FakeUefi::Current().ClosedEvents.push_back(Event);
  return EFI_SUCCESS;
}

EFI_STATUS EFIAPI FakeSetVariable(const CHAR16 *Name, const EFI_GUID *Guid, UINT32 Attributes,
                                  UINTN DataSize, const VOID *Data) {
  SetVariableCall Call{};
  if (Name != nullptr) {
    Call.Name = Name;
  }
  if (Guid != nullptr) {
    Call.Guid = *Guid;
  }
  Call.Attributes = Attributes;
  Call.DataPointerGiven = Data != nullptr;
  if (Data != nullptr) {
    const auto *Bytes = static_cast<const uint8_t *>(Data);
    Call.Data.assign(Bytes, Bytes + DataSize);
  }
  Call.HardwareAccessesBefore = HardwareAccessesSoFar();
  FakeUefi &Uefi = FakeUefi::Current();
  Uefi.SetVariableCalls.push_back(std::move(Call));
  if (Name == nullptr || Guid == nullptr || std::u16string(Name) != HDA_SSID_VARIABLE_NAME_CHAR16.Chars ||
      !(*Guid == gHdaSsidVariableGuid)) {
    return EFI_INVALID_PARAMETER;  // the driver names no other variable
  }
  constexpr UINT32 Authenticated = EFI_VARIABLE_AUTHENTICATED_WRITE_ACCESS |
                                   EFI_VARIABLE_TIME_BASED_AUTHENTICATED_WRITE_ACCESS |
                                   EFI_VARIABLE_ENHANCED_AUTHENTICATED_ACCESS;
  const bool Delete = DataSize == 0 || (Attributes & (EFI_VARIABLE_BOOTSERVICE_ACCESS | EFI_VARIABLE_RUNTIME_ACCESS)) == 0;
  if (!Delete && EFI_ERROR(Uefi.RefuseWrites)) {
    return Uefi.RefuseWrites;
  }
  if (Uefi.StoredRecord) {
    if (Attributes != 0 && Attributes != Uefi.StoredAttributes) {
      return EFI_INVALID_PARAMETER;
    }
    if ((Uefi.StoredAttributes & Authenticated) != 0) {
      return EFI_SECURITY_VIOLATION;
    }
  }
  if (Delete) {
    if (!Uefi.StoredRecord) {
      return EFI_NOT_FOUND;
    }
    Uefi.StoredRecord.reset();
    return EFI_SUCCESS;
  }
  const auto *Bytes = static_cast<const uint8_t *>(Data);
  Uefi.StoredRecord = std::vector<uint8_t>(Bytes, Bytes + DataSize);
  Uefi.StoredAttributes = Attributes;
  return EFI_SUCCESS;
}

EFI_STATUS EFIAPI FakeRegisterVariablePolicy(const VARIABLE_POLICY_ENTRY *Entry) {
  const auto *Bytes = reinterpret_cast<const uint8_t *>(Entry);
  FakeUefi::Current().RegisteredPolicies.emplace_back(Bytes, Bytes + Entry->Size);
  return EFI_SUCCESS;
}

EDKII_VARIABLE_POLICY_PROTOCOL gFakeVariablePolicy = {0x20000, nullptr, nullptr, FakeRegisterVariablePolicy};

EFI_STATUS EFIAPI FakeLocateProtocol(const EFI_GUID *Protocol, VOID *, VOID **Interface) {
  if (FakeUefi::Current().HasVariablePolicy && *Protocol == gEdkiiVariablePolicyProtocolGuid) {
    *Interface = &gFakeVariablePolicy;
    return EFI_SUCCESS;
  }
  return EFI_NOT_FOUND;
}
EFI_STATUS EFIAPI FakeStall(UINTN Microseconds) {
  FakeUefi::Current().StalledMicroseconds += Microseconds;
  Bench::Current().Stall(Microseconds);
  return EFI_SUCCESS;
}

EFI_STATUS EFIAPI FakeOutputString(EFI_SIMPLE_TEXT_OUTPUT_PROTOCOL *, const CHAR16 *String) {
  FakeUefi::Current().Console += String;
  return EFI_SUCCESS;
}

EFI_STATUS EFIAPI FakeGetVariable(const CHAR16 *Name, const EFI_GUID *Guid, UINT32 *Attributes, UINTN *DataSize,
                                  VOID *Data) {
  FakeUefi &Uefi = FakeUefi::Current();
  ++Uefi.GetVariableCalls;
  return ReadStoredRecord(Uefi.StoredRecord, Uefi.StoredAttributes, Name, Guid, Attributes, DataSize, Data,
                          Uefi.Reported);
}

VOID EFIAPI FakeResetSystem(EFI_RESET_TYPE ResetType, EFI_STATUS, UINTN, VOID *) {
  FakeUefi::Current().Resets.push_back(ResetType);
}
}  // namespace

FakeUefi::FakeUefi() {
  if (gCurrent != nullptr) {
    throw std::logic_error("only one fake UEFI at a time");
  }
  gCurrent = this;
  BootServices.CreateEventEx = FakeCreateEventEx;
  BootServices.CloseEvent = FakeCloseEvent;
  BootServices.LocateProtocol = FakeLocateProtocol;
  BootServices.Stall = FakeStall;
  RuntimeServices.SetVariable = FakeSetVariable;
  RuntimeServices.GetVariable = FakeGetVariable;
  RuntimeServices.ResetSystem = FakeResetSystem;
  HobList = {gEfiHobListGuid, &Handoff};
  SystemTable.NumberOfTableEntries = 1;
  SystemTable.ConfigurationTable = &HobList;
  ConOut.OutputString = FakeOutputString;
  SystemTable.ConOut = &ConOut;
  SystemTable.BootServices = &BootServices;
  SystemTable.RuntimeServices = &RuntimeServices;
}

FakeUefi::~FakeUefi() { gCurrent = nullptr; }

FakeUefi &FakeUefi::Current() {
  if (gCurrent == nullptr) {
    throw std::logic_error("a UEFI service was called with no fake in place");
  }
  return *gCurrent;
}

}  // namespace bench
