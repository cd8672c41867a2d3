// Copyright (c) 2026, HdaSsid contributors. All rights reserved.
// SPDX-License-Identifier: BSD-2-Clause-Patent
//
// The bring-up application against the bench: what it reports, that its dry
// run is the driver's probe access for access, and that it reads the board's
// settings from ACPI.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <tuple>

#include "Capture.h"
#include "FakeAcpi.h"
#include "FakeUefi.h"
#include "HdaBench.h"
#include "HdaPlatformSettings.h"
#include "HdaRegisters.h"
#include "HdaSsidDetectDxe.h"
#include "HdaSsidInfo.h"

using namespace bench;

namespace {

constexpr uint32_t kBase = 0xFE000000;

std::string Narrow(const std::u16string &Text) { return std::string(Text.begin(), Text.end()); }

// Every MMIO access, in order.
std::vector<Access> MmioAccesses(const std::vector<Access> &Log) {
  std::vector<Access> Out;
  for (const Access &A : Log) {
    if (A.Kind == AccessKind::MmioRead || A.Kind == AccessKind::MmioWrite) {
      Out.push_back(A);
    }
  }
  return Out;
}

void FitBoard(Bench &Hw) {
  Hw.Config.Present(0x293E8086, 0x06, kBase | 0x4, 0);
  Hw.Controller.SetStatests(0x3);
  Hw.Controller.AddCodec(0).Answer(HDA_VERB_GET_VENDOR_ID, 0x10EC0887).Answer(HDA_VERB_GET_SUBSYSTEM_ID, 0xA1941458);
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
           "Board profile: target board",
           "vendor 0x8086 device 0x293E class 0x040300  command 0x06  BAR0 0xFE000004 upper 0x00000000",
           "GCTL 0x00000000 (CRST 0 on entry)  STATESTS 0x03 right after setting CRST",
           "Controller restored: command 0x06, GCTL low byte 0x00",
           "At End of DXE the driver would store 0xA1951458",
           "hda-capture begin ecam 0xE0000000 pm-timer 0x1808 board \"target board\"",
           "CRST read 1 after 0 us; STATESTS 0x03 521 us later",
           "codec 0: vendor ID 0x10EC0887, subsystem ID 0xA1941458",
           "not a known variant",
           "swapped, it is variant A194: are its IDs swapped in the profile?",
           "codec 1: vendor ID 0x10EC0897, subsystem ID 0x1458A195",
           "known: variant A195; the driver stores 0xA1951458",
           "Stored record ZelHdaSsid: 0xA1941458 (attributes 0x07)",
           "Convergence reset: off; subsystem ID 0x00000000 this boot, 0xA1941458 the next; boot mode 0x00: the "
           "driver would not reset (off)",
           "  ok       PM timer: 35797 ticks in 10 ms of Stall: 3.58 MHz"}) {
    EXPECT_NE(Out.find(Expected), std::string::npos) << Expected << "\n" << Out;
  }
  EXPECT_NE(Out.rfind("\r\nVerdict: "), std::string::npos) << Out;
  EXPECT_EQ(Out.substr(Out.rfind("\r\nVerdict: ") + 2).find("\r\n") + 2, Out.size() - Out.rfind("\r\nVerdict: ") - 2)
      << "the verdict is the last line";
}

// The capture the application prints is the driver's probe, access for
// access: codec 0 is not recognised, so both go on to codec 1.
// With the convergence reset on: what the driver would do in a
// full-configuration boot and in a recovery boot.
TEST(InfoApp, ShowsWhatTheConvergenceResetWouldDo) {
  gHdaPlatformSettings.ConvergenceReset = 1;
  for (const auto &[BootMode, Would] :
       {std::pair{BOOT_WITH_FULL_CONFIGURATION, "boot mode 0x00: the driver would reset once, in a boot that changed"},
        std::pair{BOOT_IN_RECOVERY_MODE, "boot mode 0x20: the driver would not reset (not a full-configuration"}}) {
    Bench Hw;
    FakeUefi Uefi;
    FitBoard(Hw);
    Uefi.Handoff.BootMode = BootMode;
    Uefi.StoredRecord = std::vector<uint8_t>{0x58, 0x14, 0x94, 0xA1};
    HdaSsidInfoEntryPoint(nullptr, &Uefi.SystemTable);
    EXPECT_NE(Narrow(Uefi.Console).find(Would), std::string::npos) << Narrow(Uefi.Console);
  }
  gHdaPlatformSettings.ConvergenceReset = 0;
}

TEST(InfoApp, ItsCaptureIsTheDriversProbe) {
  std::vector<Access> FromDriver;
  {
    Bench Hw;
    FakeUefi Uefi;
    FitBoard(Hw);
    HdaSsidDxeEntryPoint(nullptr, &Uefi.SystemTable);
    OnEndOfDxe(Uefi.EventToCreate, nullptr);
    FromDriver = MmioAccesses(Hw.Log);
  }
  Bench Hw;
  FakeUefi Uefi;
  FitBoard(Hw);
  HdaSsidInfoEntryPoint(nullptr, &Uefi.SystemTable);
  const Capture Captured = ParseCapture(Narrow(Uefi.Console));
  ASSERT_EQ(Captured.Problem, "");
  std::vector<Access> FromCapture;
  for (const auto &[A, Count] : Captured.Accesses) {
    FromCapture.insert(FromCapture.end(), Count, A);
  }
  EXPECT_EQ(FromCapture, FromDriver);
  EXPECT_EQ(Captured.EcamBase, HDA_PLATFORM_ECAM_BASE);
  EXPECT_EQ(Captured.PmTimerPort, HDA_PLATFORM_PM_TIMER_PORT);
  EXPECT_EQ(Captured.Board, "target board");
}

TEST(InfoApp, SaysSoWhenThereIsNoUsableController) {
  Bench Hw;
  FakeUefi Uefi;
  Hw.Config.Absent();
  HdaSsidInfoEntryPoint(nullptr, &Uefi.SystemTable);
  const std::string Out = Narrow(Uefi.Console);
  EXPECT_NE(Out.find("No usable HD Audio controller"), std::string::npos) << Out;
  EXPECT_NE(Out.find("leaves the record as it is"), std::string::npos) << Out;
  EXPECT_NE(Out.find("Stored record ZelHdaSsid: none"), std::string::npos) << Out;
  for (const Access &A : Hw.Log) {
    EXPECT_NE(A.Kind, AccessKind::MmioWrite) << A;
  }
}

// The PM timer's rate, timed against the boot services' Stall: only the ACPI
// timer's 3.58 MHz passes; the 8254's 1.19 MHz or an HPET's 14.3 MHz at the
// port would not pace the driver's waits right.
TEST(InfoApp, TimesThePmTimerAgainstStall) {
  struct Case {
    uint64_t Hz;
    uint32_t StepPerRead;
    const char *Item;
  };
  for (const Case &C : {Case{3579545, 1, "  ok       PM timer: 35797 ticks in 10 ms of Stall: 3.58 MHz"},
                        Case{0, 0, "  PROBLEM  PM timer: stopped (port 0x1808 read the same across 10 ms)"},
                        Case{1193182, 1, "  PROBLEM  PM timer: 11933 ticks in 10 ms of Stall, not about 35795"},
                        Case{14318180, 1, "  PROBLEM  PM timer: 143183 ticks in 10 ms of Stall, not about 35795"}}) {
    SCOPED_TRACE(C.Hz);
    Bench Hw;
    FakeUefi Uefi;
    Hw.LogTimer = false;
    Hw.Timer.Hz = C.Hz;
    Hw.Timer.StepPerRead = C.StepPerRead;
    FitBoard(Hw);
    HdaSsidInfoEntryPoint(nullptr, &Uefi.SystemTable);
    const std::string Out = Narrow(Uefi.Console);
    EXPECT_NE(Out.find(C.Item), std::string::npos) << Out;
  }
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

// One binary for any board: the ECAM window and PM timer the firmware's
// ACPI tables give win over the image's settings; what they do not give, or
// give unsoundly, falls back to the image's.
TEST(InfoApp, TakesTheBoardFromTheAcpiTables) {
  struct Case {
    const char *Name;
    AcpiShape Acpi;
    uint64_t EcamBase;  // what the app must take, and where the machine has it
    uint16_t PmTimerPort;
    bool Warns;  // ACPI names other settings than the image carries, or none
    bool AcpiGivesTheImages = false;  // both sources agree
  };
  constexpr uint64_t kEcam = HDA_PLATFORM_ECAM_BASE;
  constexpr uint16_t kPort = HDA_PLATFORM_PM_TIMER_PORT;
  const std::tuple<uint64_t, uint16_t, uint8_t> Q35 = {0xB0000000, 0, 0};
  const Case Cases[] = {
      {"q35", {{Q35}, 0x608}, 0xB0000000, 0x608, true},
      {"X_PM_TMR_BLK wins", {{Q35}, 0x408, 0x608}, 0xB0000000, 0x608, true},
      {"X_PM_TMR_BLK in memory space is no port", {{Q35}, 0x408, 0x608, 0}, 0xB0000000, 0x408, true},
      {"only the window from bus 0", {{{0xC0000000, 0, 0x80}, Q35}, 0x608}, 0xB0000000, 0x608, true},
      {"only segment 0's window", {{{0xC0000000, 1, 0}, Q35}, 0x608}, 0xB0000000, 0x608, true},
      {"ACPI 1.0: the RSDT", {{Q35}, 0x608, 0, 1, true}, 0xB0000000, 0x608, true},
      {"ACPI 2.0: the XSDT, not an RSDT that differs", {{Q35}, 0x608, 0, 1, false, "", 0, 276, true}, 0xB0000000,
       0x608, true},
      {"a broken XSDT: the RSDT", {{Q35}, 0x608, 0, 1, false, "XSDT"}, 0xB0000000, 0x608, true},
      {"a broken RSDP: nothing", {{Q35}, 0x608, 0, 1, false, "RSDP"}, kEcam, kPort, true},
      {"a broken MCFG", {{Q35}, 0x608, 0, 1, false, "MCFG"}, kEcam, 0x608, true},
      {"a broken FADT", {{Q35}, 0x608, 0, 1, false, "FACP"}, 0xB0000000, kPort, true},
      {"an MCFG shorter than its header", {{Q35}, 0x608, 0, 1, false, "", 30}, kEcam, 0x608, true},
      {"a FADT too short for PM_TMR_BLK", {{Q35}, 0x608, 0, 1, false, "", 0, 72}, 0xB0000000, kPort, true},
      {"an ECAM window off 1 MiB", {{{0xB0080000, 0, 0}}, 0x608}, kEcam, 0x608, true},
      {"an ECAM window at 0", {{{0, 0, 0}}, 0x608}, kEcam, 0x608, true},
      {"a PM timer port off 4 bytes", {{Q35}, 0x609}, 0xB0000000, kPort, true},
      {"the release's own settings", {{{kEcam, 0, 0}}, kPort}, kEcam, kPort, false, true},
  };
  for (const Case &C : Cases) {
    SCOPED_TRACE(C.Name);
    Bench Hw;
    FakeUefi Uefi;
    FakeAcpi Acpi(Uefi.SystemTable, C.Acpi);
    Hw.EcamBase = C.EcamBase;
    Hw.PmTimerPort = C.PmTimerPort;
    FitBoard(Hw);
    HdaSsidInfoEntryPoint(nullptr, &Uefi.SystemTable);
    gHdaPlatformSettings.PciExpressBaseAddress = HDA_PLATFORM_ECAM_BASE;
    gHdaPlatformSettings.PmTimerPort = HDA_PLATFORM_PM_TIMER_PORT;
    const std::string Out = Narrow(Uefi.Console);
    char Report[160];
    std::snprintf(Report, sizeof Report, "Board: ECAM base 0x%08llX (%s), PM timer port 0x%04X (%s)",
                  static_cast<unsigned long long>(C.EcamBase),
                  C.EcamBase == kEcam && !C.AcpiGivesTheImages ? "the image's setting" : "ACPI MCFG", C.PmTimerPort,
                  C.PmTimerPort == kPort && !C.AcpiGivesTheImages ? "the image's setting" : "ACPI FADT");
    EXPECT_NE(Out.find(Report), std::string::npos) << Report << "\n" << Out;
    EXPECT_EQ(Out.find("  PROBLEM  settings: ") != std::string::npos, C.Warns) << Out;
    EXPECT_NE(Out.find("known: variant A195; the driver stores 0xA1951458"), std::string::npos) << Out;
    for (const Access &A : Hw.Log) {
      EXPECT_NE(A.Where, Region::Unmapped) << A;
    }
  }
}

}  // namespace
