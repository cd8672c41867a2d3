// The bring-up application against the bench: what it reports, and that it
// touches the controller exactly as the driver does.
#include <gtest/gtest.h>

#include <string>

#include "FakeUefi.h"
#include "HdaBench.h"
#include "HdaRegisters.h"
#include "HdaSsidDetectDxe.h"
#include "HdaSsidInfo.h"

using namespace bench;

namespace {

constexpr uint32_t kBase = 0xFE000000;

std::string Narrow(const std::u16string &Text) { return std::string(Text.begin(), Text.end()); }

// Every write, and every access to the controller's registers: the enable,
// the verbs and their handshakes, the restore. (The application also reads
// the configuration space for its report.)
std::vector<Access> ControllerAccesses(const Bench &Hw) {
  std::vector<Access> Out;
  for (const Access &A : Hw.Log) {
    if (A.Kind == AccessKind::MmioWrite || A.Where == Region::Controller) {
      Out.push_back(A);
    }
  }
  return Out;
}

void FitBoard(Bench &Hw) {
  Hw.Config.Present(0x293E8086, 0x06, kBase | 0x4, 0);
  Hw.Controller.SetStatests(0x3);
  Hw.Controller.AddCodec(0).Answer(HDA_VERB_GET_VENDOR_ID, 0x10EC0887).Answer(HDA_VERB_GET_SUBSYSTEM_ID, 0x10431234);
  Hw.Controller.AddCodec(1).Answer(HDA_VERB_GET_VENDOR_ID, 0x10EC0897).Answer(HDA_VERB_GET_SUBSYSTEM_ID, 0x1458A195);
}

TEST(InfoApp, ReportsEachCodecAndWhatTheDriverWouldStore) {
  Bench Hw;
  FakeUefi Uefi;
  FitBoard(Hw);
  Uefi.StoredRecord = std::vector<uint8_t>{0x58, 0x14, 0x94, 0xA1};
  EXPECT_EQ(HdaSsidInfoEntryPoint(nullptr, &Uefi.SystemTable), EFI_SUCCESS);
  const std::string Out = Narrow(Uefi.Console);
  for (const char *Expected : {
           "vendor 0x8086 device 0x293E  command 0x06  BAR0 0xFE000004 upper 0x00000000",
           "GCTL 0x00000000 (CRST 0 on entry)  STATESTS 0x03",
           "codec 0: vendor ID 0x10EC0887, subsystem ID 0x10431234",
           "not a known variant",
           "codec 1: vendor ID 0x10EC0897, subsystem ID 0x1458A195",
           "known: the driver stores 0xA1951458",
           "Controller restored: command 0x06, GCTL low byte 0x00",
           "At End of DXE the driver would store 0xA1951458",
           "Stored record ZelHdaSsid: 0xA1941458 (attributes 0x07)"}) {
    EXPECT_NE(Out.find(Expected), std::string::npos) << Expected << "\n" << Out;
  }
}

// Codec 1, the last one flagged, is the first recognised: the driver asks
// every flagged codec too, so both send the same verbs in the same order.
TEST(InfoApp, TouchesTheControllerAsTheDriverDoes) {
  std::vector<Access> FromApp, FromDriver;
  {
    Bench Hw;
    FakeUefi Uefi;
    FitBoard(Hw);
    HdaSsidInfoEntryPoint(nullptr, &Uefi.SystemTable);
    FromApp = ControllerAccesses(Hw);
  }
  {
    Bench Hw;
    FakeUefi Uefi;
    FitBoard(Hw);
    HdaSsidDxeEntryPoint(nullptr, &Uefi.SystemTable);
    OnEndOfDxe(Uefi.EventToCreate, nullptr);
    FromDriver = ControllerAccesses(Hw);
  }
  EXPECT_EQ(FromApp, FromDriver);
}

TEST(InfoApp, SaysSoWhenThereIsNoUsableController) {
  Bench Hw;
  FakeUefi Uefi;
  Hw.Config.Absent();
  HdaSsidInfoEntryPoint(nullptr, &Uefi.SystemTable);
  const std::string Out = Narrow(Uefi.Console);
  EXPECT_NE(Out.find("No usable controller"), std::string::npos) << Out;
  EXPECT_NE(Out.find("Stored record ZelHdaSsid: none"), std::string::npos) << Out;
  EXPECT_TRUE(ControllerAccesses(Hw).empty());
}

TEST(InfoApp, ReportsTimeOuts) {
  Bench Hw;
  FakeUefi Uefi;
  Hw.LogTimer = false;
  Hw.Config.Present(0x293E8086, 0x00, kBase, 0);
  Hw.Controller.SetStatests(0x4);  // flagged, but nothing answers
  HdaSsidInfoEntryPoint(nullptr, &Uefi.SystemTable);
  const std::string Out = Narrow(Uefi.Console);
  EXPECT_NE(Out.find("codec 2: vendor ID timed out; the driver skips this codec"), std::string::npos) << Out;
  EXPECT_NE(Out.find("would delete the record"), std::string::npos) << Out;
}

}  // namespace
