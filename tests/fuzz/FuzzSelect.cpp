// Copyright (c) 2026, HdaSsid contributors. All rights reserved.
// SPDX-License-Identifier: BSD-2-Clause-Patent
//
// libFuzzer target: the PEIM's table selection against any variable store
// (record of any size and content, any status), PPIs present or not with any
// status, and any starting policy pointer. A reference model of the entry
// point's rules gives the expected status and pointer. The fake store writes
// every byte of a record that fits the size the PEIM declares, so a buffer
// smaller than declared shows up under AddressSanitizer; the declared size is
// checked to be the 4 bytes of Stored as well.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "FakePei.h"
#include "HdaSsidSelectPei.h"
#include "HdaBoardTables.h"

using namespace bench;

namespace {

void Check(bool Holds, const char *What) {
  if (!Holds) {
    std::fprintf(stderr, "invariant violated: %s\n", What);
    std::abort();
  }
}

EFI_STATUS PickStatus(FuzzedDataProvider &In) {
  static const EFI_STATUS Statuses[] = {EFI_SUCCESS, EFI_NOT_FOUND, EFI_BUFFER_TOO_SMALL, EFI_DEVICE_ERROR,
                                        EFI_WARN_BUFFER_TOO_SMALL, 1, EFI_INVALID_PARAMETER};
  return In.ConsumeBool() ? Statuses[In.ConsumeIntegralInRange<size_t>(0, 6)] : In.ConsumeIntegral<EFI_STATUS>();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *Data, size_t Size) {
  FuzzedDataProvider In(Data, Size);
  FakePei Pei;
  Pei.VariablePpiInstalled = In.ConsumeBool() || In.ConsumeBool();
  Pei.VariableLocateStatus = In.ConsumeBool() ? EFI_SUCCESS : PickStatus(In);
  Pei.PolicyInstalled = In.ConsumeBool() || In.ConsumeBool();
  Pei.PolicyLocateStatus = In.ConsumeBool() ? EFI_SUCCESS : PickStatus(In);
  if (In.ConsumeBool()) {
    Pei.StatusOverride = PickStatus(In);
  }
  const SSID_TABLE_ENTRY *const Start =
      In.ConsumeBool() ? nullptr : reinterpret_cast<const SSID_TABLE_ENTRY *>(In.ConsumeIntegral<uintptr_t>());
  const UINTN Revision = In.ConsumeIntegral<UINTN>();
  Pei.Policy.Revision = Revision;
  Pei.Policy.SsidTable = Start;
  if (In.ConsumeBool()) {
    static const uint32_t Known[] = {0xA1951458, 0xA1941458, 0xA0A31458, 0};
    if (In.ConsumeBool()) {
      const uint32_t Value = Known[In.ConsumeIntegralInRange<size_t>(0, 3)];
      Pei.Record = std::vector<uint8_t>(4);
      std::memcpy(Pei.Record->data(), &Value, 4);
    } else {
      Pei.Record = In.ConsumeBytes<uint8_t>(In.ConsumeIntegralInRange<size_t>(0, 4096));
    }
    Pei.RecordAttributes = In.ConsumeBool() ? HDA_SSID_VARIABLE_ATTRIBUTES : In.ConsumeIntegral<uint32_t>();
  }

  const EFI_STATUS Status = HdaSsidPeiEntryPoint(nullptr, Pei.PeiServices());

  // The reference: each failing step's status comes back unchanged.
  EFI_STATUS Expected;
  const SSID_TABLE_ENTRY *ExpectedTable = Start;
  uint32_t Stored = 0;
  const EFI_STATUS VariableLocate = Pei.VariablePpiInstalled ? Pei.VariableLocateStatus : EFI_NOT_FOUND;
  const EFI_STATUS Read = !Pei.Record ? EFI_NOT_FOUND
                          : Pei.Record->size() > 4 ? EFI_BUFFER_TOO_SMALL
                                                    : Pei.StatusOverride.value_or(EFI_SUCCESS);
  const EFI_STATUS PolicyLocate = Pei.PolicyInstalled ? Pei.PolicyLocateStatus : EFI_NOT_FOUND;
  if (EFI_ERROR(VariableLocate)) {
    Expected = VariableLocate;
  } else if (EFI_ERROR(Read)) {
    Expected = Read;
  } else if (Pei.RecordAttributes != HDA_SSID_VARIABLE_ATTRIBUTES) {
    Expected = EFI_NOT_FOUND;  // a record of another writer reads as none
  } else if (!Pei.PolicyInstalled || EFI_ERROR(PolicyLocate)) {
    Expected = PolicyLocate;
  } else {
    Expected = PolicyLocate;
    for (size_t I = 0; I < Pei.Record->size(); ++I) {
      Stored |= uint32_t{(*Pei.Record)[I]} << (8 * I);
    }
    if (Stored != 0xA0A31458 && Start == nullptr) {
      ExpectedTable = Stored == 0xA1941458 ? SsidTableA194.Entries
                      : Stored == 0xA1951458 ? SsidTableA195.Entries
                                             : nullptr;
    }
  }
  Check(Status == Expected, "the failing step's status, or the policy lookup's, is returned unchanged");
  Check(Pei.Policy.SsidTable == ExpectedTable, "the policy pointer is left alone or set to an alternative table");
  Check(Pei.Policy.SsidTable == Start || Pei.Policy.SsidTable == SsidTableA194.Entries ||
            Pei.Policy.SsidTable == SsidTableA195.Entries,
        "only an alternative table is ever handed out");
  Check(Pei.Policy.Revision == Revision, "nothing else in the PPI changes");
  for (const PeiCall &Call : Pei.Calls) {
    if (Call.What == PeiCall::GetVariable) {
      Check(Call.DataSizeIn == 4, "GetVariable is offered exactly the 4-byte buffer");
    }
  }
  return 0;
}
