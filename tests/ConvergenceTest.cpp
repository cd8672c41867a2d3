// Copyright (c) 2026, HdaSsid contributors. All rights reserved.
// SPDX-License-Identifier: BSD-2-Clause-Patent
//
// The driver's opt-in convergence reset over boots of a board: each boot
// the PEIM chooses from the stored record, the platform programs 00:1F.3's
// subsystem ID (0x2C) from the chosen table, or from its default table when
// it ignores the PEIM's choice, and the driver probes at End of DXE; a warm
// reset it requests starts the next boot. The target board's profile.
#include <gtest/gtest.h>

#include <cstring>
#include <optional>

#include "FakePei.h"
#include "FakeUefi.h"
#include "HdaBench.h"
#include "HdaRegisters.h"
#include "HdaSettings.h"
#include "HdaSsidDetectDxe.h"
#include "HdaSsidSelectPei.h"
#include "HdaSsidTable.h"

using namespace bench;

namespace {

constexpr uint32_t kDefaultWord = 0xA0A31458;
constexpr uint32_t kA194Answer = 0x1458A194, kA194Record = 0xA1941458;

struct Case {
  const char *Name;
  bool On;
  bool PlatformApplies;
  std::optional<uint32_t> StoredBefore;
  std::optional<uint32_t> Answer;  // codec 0's subsystem ID, or no codec
  EFI_STATUS RefuseWrites = EFI_SUCCESS;
  EFI_BOOT_MODE BootMode = BOOT_WITH_FULL_CONFIGURATION;
  // What must happen: how many warm resets before a boot that requests
  // none, and the ID that boot programmed.
  unsigned Resets;
  uint32_t Converged;
};

struct Outcome {
  unsigned Resets = 0;
  unsigned Boots = 0;
  uint32_t Programmed = 0;
  size_t GetVariableCalls = 0;
  bool SubsystemRead = false;
};

Outcome BootUntilSettled(const Case &C) {
  Bench Hw;
  FakeUefi Uefi;
  Uefi.Handoff.BootMode = C.BootMode;
  Uefi.RefuseWrites = C.RefuseWrites;
  if (C.StoredBefore) {
    uint32_t Value = *C.StoredBefore;
    Uefi.StoredRecord = std::vector<uint8_t>(4);
    std::memcpy(Uefi.StoredRecord->data(), &Value, 4);
  }
  gHdaPlatformSettings.ConvergenceReset = C.On;
  Outcome O;
  // At most one more boot than resets allowed: a loop shows as a third.
  for (O.Boots = 1; O.Boots <= 3; ++O.Boots) {
    Hw.Log.clear();
    Hw.Controller = {};
    Hw.Config.Present(0x293E8086, 0x06, 0xFE000000, 0);
    Hw.Controller.SetStatests(C.Answer ? 0x1 : 0x0);
    if (C.Answer) {
      Hw.Controller.AddCodec(0).Answer(HDA_VERB_GET_VENDOR_ID, 0x10EC0887).Answer(HDA_VERB_GET_SUBSYSTEM_ID, *C.Answer);
    }
    FakePei Pei;
    Pei.Record = Uefi.StoredRecord;
    Pei.RecordAttributes = Uefi.StoredAttributes;
    HdaSsidPeiEntryPoint(nullptr, Pei.PeiServices());  // EFI_NOT_FOUND without a record
    O.Programmed = C.PlatformApplies && Pei.Policy.SsidTable != nullptr ? FindHdaSsid(Pei.Policy.SsidTable)
                                                                        : kDefaultWord;
    Hw.Config.SetDword(PCI_SUBSYSTEM_OFFSET, O.Programmed);
    Uefi.CreateEventExCalls.clear();
    Uefi.ClosedEvents.clear();
    const size_t ResetsBefore = Uefi.Resets.size();
    EXPECT_EQ(HdaSsidDxeEntryPoint(nullptr, &Uefi.SystemTable), EFI_SUCCESS);
    const CreateEventExCall &Call = Uefi.CreateEventExCalls.at(0);
    Call.NotifyFunction(Uefi.EventToCreate, const_cast<VOID *>(Call.NotifyContext));
    EXPECT_EQ(Uefi.ClosedEvents.size(), 1u) << "the event is closed before any reset";
    for (const Access &A : Hw.Log) {
      O.SubsystemRead |= A.Where == Region::Config && (A.Address & 0xFFF) == PCI_SUBSYSTEM_OFFSET;
    }
    if (Uefi.Resets.size() == ResetsBefore) {
      break;
    }
    EXPECT_EQ(Uefi.Resets.back(), EfiResetWarm);
    ++O.Resets;
  }
  O.GetVariableCalls = Uefi.GetVariableCalls;
  gHdaPlatformSettings.ConvergenceReset = 0;
  return O;
}

TEST(ConvergenceReset, AtMostOneWarmResetPerChangeOfTheRecordAndNeverALoop) {
  const Case Cases[] = {
      {"a new codec: converged after exactly one reset", true, true, std::nullopt, kA194Answer, EFI_SUCCESS,
       BOOT_WITH_FULL_CONFIGURATION, 1, kA194Record},
      {"a codec taken out: the deleted record converges too", true, true, kA194Record, std::nullopt, EFI_SUCCESS,
       BOOT_WITH_FULL_CONFIGURATION, 1, kDefaultWord},
      {"off: no reset", false, true, std::nullopt, kA194Answer, EFI_SUCCESS, BOOT_WITH_FULL_CONFIGURATION, 0,
       kDefaultWord},
      {"an unchanged record: no reset", true, true, kA194Record, kA194Answer, EFI_SUCCESS,
       BOOT_WITH_FULL_CONFIGURATION, 0, kA194Record},
      {"an unchanged record the platform does not apply: no reset", true, false, kA194Record, kA194Answer,
       EFI_SUCCESS, BOOT_WITH_FULL_CONFIGURATION, 0, kDefaultWord},
      {"a zero answer: the next boot's ID is this one's, no reset", true, true, std::nullopt, 0, EFI_SUCCESS,
       BOOT_WITH_FULL_CONFIGURATION, 0, kDefaultWord},
      {"the write fails: no reset", true, true, std::nullopt, kA194Answer, EFI_OUT_OF_RESOURCES,
       BOOT_WITH_FULL_CONFIGURATION, 0, kDefaultWord},
      {"a recovery boot: no reset", true, true, std::nullopt, kA194Answer, EFI_SUCCESS, BOOT_IN_RECOVERY_MODE, 0,
       kDefaultWord},
      {"a flash update (capsule) boot: no reset", true, true, std::nullopt, kA194Answer, EFI_SUCCESS,
       BOOT_ON_FLASH_UPDATE, 0, kDefaultWord},
      {"a platform that ignores the table: one reset, then none", true, false, std::nullopt, kA194Answer,
       EFI_SUCCESS, BOOT_WITH_FULL_CONFIGURATION, 1, kDefaultWord},
  };
  for (const Case &C : Cases) {
    SCOPED_TRACE(C.Name);
    const Outcome O = BootUntilSettled(C);
    EXPECT_EQ(O.Resets, C.Resets);
    EXPECT_EQ(O.Boots, C.Resets + 1);
    EXPECT_EQ(O.Programmed, C.Converged);
    if (!C.On) {
      EXPECT_EQ(O.GetVariableCalls, 0u) << "off, the driver reads no variable";
      EXPECT_FALSE(O.SubsystemRead) << "off, the driver does not read 0x2C";
    }
  }
}

}  // namespace
