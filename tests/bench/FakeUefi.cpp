#include "FakeUefi.h"

#include <stdexcept>

#include "HdaBench.h"
#include "RecordStore.h"

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
  FakeUefi::Current().SetVariableCalls.push_back(std::move(Call));
  return EFI_SUCCESS;
}
EFI_STATUS EFIAPI FakeOutputString(EFI_SIMPLE_TEXT_OUTPUT_PROTOCOL *, const CHAR16 *String) {
  FakeUefi::Current().Console += String;
  return EFI_SUCCESS;
}

EFI_STATUS EFIAPI FakeGetVariable(const CHAR16 *Name, const EFI_GUID *Guid, UINT32 *Attributes, UINTN *DataSize,
                                  VOID *Data) {
  return ReadStoredRecord(FakeUefi::Current().StoredRecord, Name, Guid, Attributes, DataSize, Data);
}
}  // namespace

FakeUefi::FakeUefi() {
  if (gCurrent != nullptr) {
    throw std::logic_error("only one fake UEFI at a time");
  }
  gCurrent = this;
  BootServices.CreateEventEx = FakeCreateEventEx;
  BootServices.CloseEvent = FakeCloseEvent;
  RuntimeServices.SetVariable = FakeSetVariable;
  RuntimeServices.GetVariable = FakeGetVariable;
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
