// Copyright (c) 2026, HdaSsid contributors. All rights reserved.
// SPDX-License-Identifier: BSD-2-Clause-Patent
//
// The driver's entry point: it only joins the End-of-DXE group.
#include <gtest/gtest.h>

#include "FakeUefi.h"
#include "HdaBench.h"
#include "HdaSsidDetectDxe.h"

using namespace bench;

namespace {

TEST(DxeEntry, RegistersForEndOfDxeAndTouchesNoHardware) {
  Bench Hw;
  FakeUefi Uefi;
  EXPECT_EQ(HdaSsidDxeEntryPoint(nullptr, &Uefi.SystemTable), EFI_SUCCESS);
  ASSERT_EQ(Uefi.CreateEventExCalls.size(), 1u);
  const CreateEventExCall &Call = Uefi.CreateEventExCalls[0];
  EXPECT_EQ(Call.Type, 0x200u);
  EXPECT_EQ(Call.NotifyTpl, 8u);
  EXPECT_EQ(Call.NotifyFunction, &OnEndOfDxe);
  EXPECT_EQ(Call.NotifyContext, nullptr);
  const EFI_GUID EndOfDxe = {0x02CE967A, 0xDD7E, 0x4FFC, {0x9E, 0xE7, 0x81, 0x0C, 0xF0, 0x47, 0x08, 0x80}};
  ASSERT_TRUE(Call.EventGroup);
  EXPECT_TRUE(*Call.EventGroup == EndOfDxe);
  EXPECT_TRUE(Call.EventOut);
  EXPECT_TRUE(Hw.Log.empty());
  EXPECT_TRUE(Uefi.SetVariableCalls.empty());
  EXPECT_TRUE(Uefi.ClosedEvents.empty());
}

// With EDK2's variable policy protocol the record's one shape is registered
// before End of DXE, when EDK2's variable driver locks registration: 4 bytes,
// attributes exactly NV+BS+RT, no lock. Without the protocol nothing is.
TEST(DxeEntry, RegistersTheRecordsVariablePolicyWhenThePlatformHasIt) {
  for (const bool HasPolicy : {true, false}) {
    SCOPED_TRACE(HasPolicy ? "with the protocol" : "without it");
    Bench Hw;
    FakeUefi Uefi;
    Uefi.HasVariablePolicy = HasPolicy;
    EXPECT_EQ(HdaSsidDxeEntryPoint(nullptr, &Uefi.SystemTable), EFI_SUCCESS);
    EXPECT_EQ(Uefi.CreateEventExCalls.size(), 1u);
    if (!HasPolicy) {
      EXPECT_TRUE(Uefi.RegisteredPolicies.empty());
      continue;
    }
    ASSERT_EQ(Uefi.RegisteredPolicies.size(), 1u);
    const std::vector<uint8_t> Expected = {
        0x00, 0x00, 0x01, 0x00, 66, 0, 44, 0,                                  // revision, size, name offset
        0x81, 0x88, 0x36, 0x01, 0xAD, 0xC4, 0x1D, 0x4B, 0xB6, 0x31, 0xD5, 0x7A,  // namespace: the
        0x8E, 0xC8, 0xDB, 0x6B,                                                //   record's GUID
        4, 0, 0, 0, 4, 0, 0, 0,                                                // 4 to 4 bytes
        0x07, 0, 0, 0, 0xF8, 0xFF, 0xFF, 0xFF,                                 // must have / can't have
        0, 0, 0, 0,                                                            // no lock
        'Z', 0, 'e', 0, 'l', 0, 'H', 0, 'd', 0, 'a', 0, 'S', 0, 's', 0, 'i', 0, 'd', 0, 0, 0};
    EXPECT_EQ(Uefi.RegisteredPolicies[0], Expected);
  }
}

TEST(DxeEntry, ReportsSuccessEvenWhenTheEventCannotBeCreated) {
  Bench Hw;
  FakeUefi Uefi;
  Uefi.CreateEventExStatus = EFI_OUT_OF_RESOURCES;
  EXPECT_EQ(HdaSsidDxeEntryPoint(nullptr, &Uefi.SystemTable), EFI_SUCCESS);
  EXPECT_EQ(Uefi.CreateEventExCalls.size(), 1u);
  EXPECT_TRUE(Hw.Log.empty());
}

}  // namespace
