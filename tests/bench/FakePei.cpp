// Copyright (c) 2026, HdaSsid contributors. All rights reserved.
// SPDX-License-Identifier: BSD-2-Clause-Patent

#include "FakePei.h"

#include <stdexcept>

#include "RecordStore.h"

namespace bench {

namespace {
FakePei *gCurrent = nullptr;

EFI_STATUS EFIAPI FakeLocatePpi(const EFI_PEI_SERVICES **, const EFI_GUID *Guid, UINTN Instance,
                                EFI_PEI_PPI_DESCRIPTOR **Descriptor, VOID **Ppi) {
  FakePei &Pei = FakePei::Current();
  PeiCall Call{PeiCall::LocatePpi, *Guid};
  Call.Instance = Instance;
  Call.DescriptorRequested = Descriptor != nullptr;
  Pei.Calls.push_back(Call);
  if (Instance == 0 && *Guid == gEfiPeiReadOnlyVariable2PpiGuid && Pei.VariablePpiInstalled) {
    *Ppi = &Pei.VariablePpi;
    return Pei.VariableLocateStatus;
  }
  if (Instance == 0 && *Guid == gPlatformSsidPolicyPpiGuid && Pei.PolicyInstalled) {
    *Ppi = &Pei.Policy;
    return Pei.PolicyLocateStatus;
  }
  return EFI_NOT_FOUND;
}

EFI_STATUS EFIAPI FakeGetVariable(const EFI_PEI_READ_ONLY_VARIABLE2_PPI *, const CHAR16 *Name,
                                  const EFI_GUID *Guid, UINT32 *Attributes, UINTN *DataSize,
                                  VOID *Data) {
  FakePei &Pei = FakePei::Current();
  PeiCall Call{PeiCall::GetVariable, *Guid};
  Call.VariableName = Name;
  Call.AttributesRequested = Attributes != nullptr;
  Call.DataSizeIn = *DataSize;
  const auto *Buffer = static_cast<const uint8_t *>(Data);
  Call.BufferBefore.assign(Buffer, Buffer + *DataSize);
  Pei.Calls.push_back(Call);

  const EFI_STATUS Status = ReadStoredRecord(Pei.Record, Pei.RecordAttributes, Name, Guid, Attributes, DataSize, Data,
                                            Pei.Reported);
  return EFI_ERROR(Status) ? Status : Pei.StatusOverride.value_or(Status);
}
}  // namespace

FakePei::FakePei() {
  if (gCurrent != nullptr) {
    throw std::logic_error("only one fake PEI at a time");
  }
  gCurrent = this;
  Services.LocatePpi = FakeLocatePpi;
  VariablePpi.GetVariable = FakeGetVariable;
}

FakePei::~FakePei() { gCurrent = nullptr; }

FakePei &FakePei::Current() {
  if (gCurrent == nullptr) {
    throw std::logic_error("a PEI service was called with no fake in place");
  }
  return *gCurrent;
}

}  // namespace bench
