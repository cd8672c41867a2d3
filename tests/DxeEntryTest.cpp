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

TEST(DxeEntry, ReportsSuccessEvenWhenTheEventCannotBeCreated) {
  Bench Hw;
  FakeUefi Uefi;
  Uefi.CreateEventExStatus = EFI_OUT_OF_RESOURCES;
  EXPECT_EQ(HdaSsidDxeEntryPoint(nullptr, &Uefi.SystemTable), EFI_SUCCESS);
  EXPECT_EQ(Uefi.CreateEventExCalls.size(), 1u);
  EXPECT_TRUE(Hw.Log.empty());
}

}  // namespace
