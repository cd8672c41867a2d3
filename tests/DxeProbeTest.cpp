// Copyright (c) 2026, HdaSsid contributors. All rights reserved.
// SPDX-License-Identifier: BSD-2-Clause-Patent
//
// The End-of-DXE probe: which codec answer is recorded, the exact register
// sequence, the restore, and the guards against a missing controller.
#include <gtest/gtest.h>

#include <cstring>

#include "FakeUefi.h"
#include "HdaBench.h"
#include "HdaPlatformSettings.h"
#include "HdaRegisters.h"
#include "HdaSsidDetectDxe.h"
#include "HdaSsidRecord.h"
#include "HdaTransport.h"

using namespace bench;

namespace {

constexpr uint32_t kCfg = HDA_PLATFORM_ECAM_BASE + HDA_PCI_CONFIG_OFFSET;
constexpr uint32_t kBase = 0xFE000000;
constexpr uint32_t kVendorVerb = HDA_VERB_GET_VENDOR_ID;
constexpr uint32_t kSsidVerb = HDA_VERB_GET_SUBSYSTEM_ID;
constexpr uint32_t kCodecA195 = 0x1458A195;
constexpr uint32_t kCodecA194 = 0x1458A194;
constexpr uint32_t kCodecOther = 0x10431234;

// A codec that answers both verbs at once unless told otherwise.
CodecModel &FitCodec(Bench &Hw, unsigned Address, uint32_t SsidAnswer) {
  return Hw.Controller.AddCodec(Address).Answer(kVendorVerb, 0x10EC0887).Answer(kSsidVerb, SsidAnswer);
}

class ProbeTest : public ::testing::Test {
protected:
  ProbeTest() { Hw.Config.Present(0x293E8086, 0x06, kBase | 0x4, 0); }

  CodecModel &Codec(unsigned Address, uint32_t SsidAnswer) { return FitCodec(Hw, Address, SsidAnswer); }

  // Loads the driver and signals End of DXE, as the DXE core would.
  void RunProbe() {
    ASSERT_EQ(HdaSsidDxeEntryPoint(nullptr, &Uefi.SystemTable), EFI_SUCCESS);
    ASSERT_EQ(Uefi.CreateEventExCalls.size(), 1u);
    const CreateEventExCall &Call = Uefi.CreateEventExCalls[0];
    Call.NotifyFunction(Uefi.EventToCreate, const_cast<VOID *>(Call.NotifyContext));
    ASSERT_EQ(Uefi.ClosedEvents, std::vector<EFI_EVENT>{Uefi.EventToCreate});
  }

  // The record the store holds after End of DXE: its value, or nullopt.
  std::optional<uint32_t> Record() const {
    if (!Uefi.StoredRecord) {
      return std::nullopt;
    }
    EXPECT_EQ(Uefi.StoredRecord->size(), 4u);
    EXPECT_EQ(Uefi.StoredAttributes, 0x7u);
    uint32_t Value = 0;
    std::memcpy(&Value, Uefi.StoredRecord->data(), sizeof Value);
    return Value;
  }

  std::vector<Access> Writes() const {
    std::vector<Access> Out;
    for (const Access &A : Hw.Log) {
      if (A.Kind == AccessKind::MmioWrite) {
        Out.push_back(A);
      }
    }
    return Out;
  }

  Bench Hw;
  FakeUefi Uefi;
};

// Alike for Intel's controller in each of its modes: without its audio DSP
// (0x040300), with it (0x040100), either driver may bind (0x040380).
TEST(ProbeSequence, TypicalRoadInEveryControllerMode) {
  for (const uint32_t ClassRevision : {0x04030002u, 0x04010000u, 0x04038000u}) {
    SCOPED_TRACE(::testing::Message() << "class revision 0x" << std::hex << ClassRevision);
    Bench Hw;
    FakeUefi Uefi;
    Hw.Config.Present(0x293E8086, 0x06, kBase | 0x4, 0, ClassRevision);
    Hw.Controller.SetStatests(0x1);
    FitCodec(Hw, 0, kCodecA195);
    HdaSsidDxeEntryPoint(nullptr, &Uefi.SystemTable);
    OnEndOfDxe(Uefi.EventToCreate, nullptr);
    const std::vector<Access> Expected = {
        Read32(kCfg + 0x00, 0x293E8086),     // guard: device present,
        Read32(kCfg + 0x08, ClassRevision),  //   an HD Audio controller,
        Read32(kCfg + 0x10, kBase | 0x4),    //   BAR0 assigned,
        Read32(kCfg + 0x14, 0),              //   64-bit BAR below 4 GiB
        Read8(kCfg + 0x04, 0x06),
        Write8(kCfg + 0x04, 0x07),
        Read32(kCfg + 0x10, kBase | 0x4),
        Read32(kBase + 0x08, 0x0),
        Write32(kBase + 0x08, 0x1),
        Read8(kBase + 0x0E, 0x1),
        Write32(kBase + 0x60, 0x000F0000),
        Write32(kBase + 0x68, 0x3),
        Read32(kBase + 0x68, 0x2),
        Read32(kBase + 0x64, 0x10EC0887),
        Write32(kBase + 0x60, 0x001F2000),
        Write32(kBase + 0x68, 0x3),
        Read32(kBase + 0x68, 0x2),
        Read32(kBase + 0x64, kCodecA195),
        Write8(kBase + 0x08, 0x00),  // after the record is written
        Write8(kCfg + 0x04, 0x06),
    };
    EXPECT_EQ(Hw.Log, Expected);
    ASSERT_EQ(Uefi.SetVariableCalls.size(), 1u) << "one write a boot for the driver's own record";
    EXPECT_EQ(Uefi.SetVariableCalls[0].Data, (std::vector<uint8_t>{0x58, 0x14, 0x95, 0xA1}));
    EXPECT_EQ(Uefi.SetVariableCalls[0].HardwareAccessesBefore, Expected.size() - 2);
  }
}

// What the store held before End of DXE: a record of the driver's own shape
// is rewritten with one SetVariable; one with other attributes, which makes
// that call fail, is deleted (with no access attributes, as UEFI allows
// whatever the stored ones) and written again; an authenticated one refuses
// the deletion, which needs a signature, and stays. Alike on a firmware that
// reports a record's attributes with EFI_BUFFER_TOO_SMALL and on one that
// does not: the driver never reads the store.
TEST(ProbeRecord, ReplacesWhatItCanAndLeavesWhatItCannot) {
  struct Case {
    const char *Name;
    std::optional<std::vector<uint8_t>> Before;
    uint32_t BeforeAttributes;
    uint32_t CodecAnswer;
    std::vector<std::pair<uint32_t, size_t>> Calls;  // attributes, data size
    std::optional<uint32_t> After;
    uint32_t AfterAttributes;
    EFI_STATUS RefuseWrites = EFI_SUCCESS;
  };
  const std::vector<uint8_t> A194 = {0x58, 0x14, 0x94, 0xA1};
  const Case Cases[] = {
      {"no record", std::nullopt, 0, kCodecA195, {{7, 4}}, 0xA1951458, 7},
      {"its own record", A194, 7, kCodecA195, {{7, 4}}, 0xA1951458, 7},
      {"its own attributes, longer", std::vector<uint8_t>(8, 0), 7, kCodecA195, {{7, 4}}, 0xA1951458, 7},
      {"a shell's NV+BS record", A194, 3, kCodecA195, {{7, 4}, {0, 0}, {7, 4}}, 0xA1951458, 7},
      {"a shell's record, no codec known", A194, 3, kCodecOther, {{7, 0}, {0, 0}, {7, 0}}, std::nullopt, 0},
      {"authenticated, from the OS", A194, 0x27, kCodecA195, {{7, 4}, {0, 0}, {7, 4}}, 0xA1941458, 0x27},
      // Only another writer's attributes make the driver delete: a full
      // store's refusal leaves the last record for the next boot.
      {"a full store", A194, 7, kCodecA195, {{7, 4}}, 0xA1941458, 7, EFI_OUT_OF_RESOURCES},
  };
  for (const auto Reported : {AttributesReported::Always, AttributesReported::WithDataOnly})
  for (const Case &C : Cases) {
    SCOPED_TRACE(C.Name);
    SCOPED_TRACE(Reported == AttributesReported::Always ? "attributes with EFI_BUFFER_TOO_SMALL" : "with data only");
    Bench Hw;
    FakeUefi Uefi;
    Uefi.Reported = Reported;
    Uefi.RefuseWrites = C.RefuseWrites;
    Hw.Config.Present(0x293E8086, 0x06, kBase, 0);
    Hw.Controller.SetStatests(0x1);
    FitCodec(Hw, 0, C.CodecAnswer);
    Uefi.StoredRecord = C.Before;
    Uefi.StoredAttributes = C.BeforeAttributes;
    HdaSsidDxeEntryPoint(nullptr, &Uefi.SystemTable);
    OnEndOfDxe(Uefi.EventToCreate, nullptr);
    std::vector<std::pair<uint32_t, size_t>> Calls;
    for (const SetVariableCall &Call : Uefi.SetVariableCalls) {
      Calls.emplace_back(Call.Attributes, Call.Data.size());
    }
    EXPECT_EQ(Calls, C.Calls);
    ASSERT_EQ(Uefi.StoredRecord.has_value(), C.After.has_value());
    if (C.After) {
      uint32_t Value = 0;
      std::memcpy(&Value, Uefi.StoredRecord->data(), 4);
      EXPECT_EQ(Value, *C.After);
      EXPECT_EQ(Uefi.StoredAttributes, C.AfterAttributes);
    }
    EXPECT_EQ(Hw.Config.Command(), 0x06) << "the controller is restored either way";
  }
}

struct CodecCase {
  const char *Name;
  uint16_t Statests;
  void (*Fit)(Bench &);
  std::optional<uint32_t> Record;
  std::vector<uint32_t> Verbs;
};
void PrintTo(const CodecCase &C, std::ostream *Out) { *Out << C.Name; }

class ProbeChoiceTest : public ProbeTest, public ::testing::WithParamInterface<CodecCase> {};

TEST_P(ProbeChoiceTest, RecordsFirstRecognisedAnswer) {
  const CodecCase &C = GetParam();
  Hw.Controller.SetStatests(C.Statests);
  C.Fit(Hw);
  RunProbe();
  EXPECT_EQ(Record(), C.Record);
  EXPECT_EQ(Hw.Controller.VerbsStarted, C.Verbs);
  for (const Access &A : Hw.Log) {
    EXPECT_NE(A.Where, Region::Unmapped) << A;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Codecs, ProbeChoiceTest,
    ::testing::Values(
        CodecCase{"NoCodecFlagged", 0x0, [](Bench &) {}, std::nullopt, {}},
        CodecCase{"OnlyBit3AndUpFlagged", 0xFFF8,
                  [](Bench &Hw) { FitCodec(Hw, 0, kCodecA195); }, std::nullopt, {}},
        CodecCase{"UnrecognisedThenA194", 0x3,
                  [](Bench &Hw) {
                    FitCodec(Hw, 0, kCodecOther);
                    FitCodec(Hw, 1, kCodecA194);
                  },
                  0xA1941458, {0x000F0000, 0x001F2000, 0x100F0000, 0x101F2000}},
        CodecCase{"FirstRecognisedEndsTheScan", 0x5,
                  [](Bench &Hw) {
                    FitCodec(Hw, 0, kCodecA194);
                    FitCodec(Hw, 2, kCodecA195);
                  },
                  0xA1941458, {0x000F0000, 0x001F2000}},
        CodecCase{"ZeroAnswerIsRecordedAndEndsTheScan", 0x3,
                  [](Bench &Hw) {
                    FitCodec(Hw, 0, 0);
                    FitCodec(Hw, 1, kCodecA195);
                  },
                  0x00000000, {0x000F0000, 0x001F2000}},
        CodecCase{"VendorTimeOutSkipsTheCodec", 0x3,
                  [](Bench &Hw) {
                    FitCodec(Hw, 0, kCodecA194).NeverAnswer(kVendorVerb);
                    FitCodec(Hw, 1, kCodecA195);
                  },
                  0xA1951458, {0x000F0000, 0x100F0000, 0x101F2000}},
        CodecCase{"SubsystemTimeOutSkipsTheCodec", 0x3,
                  [](Bench &Hw) {
                    FitCodec(Hw, 0, kCodecA194).NeverAnswer(kSsidVerb);
                    FitCodec(Hw, 1, kCodecA195);
                  },
                  0xA1951458, {0x000F0000, 0x001F2000, 0x100F0000, 0x101F2000}},
        CodecCase{"SlowCodecStillCounts", 0x4,
                  [](Bench &Hw) {
                    FitCodec(Hw, 2, kCodecA195).Answer(kSsidVerb, kCodecA195, 150);
                  },
                  0xA1951458, {0x200F0000, 0x201F2000}},
        CodecCase{"FlaggedButSilentAndUnrecognised", 0x7,
                  [](Bench &Hw) { FitCodec(Hw, 2, kCodecOther); }, std::nullopt,
                  {0x000F0000, 0x100F0000, 0x200F0000, 0x201F2000}}),
    [](const auto &Info) { return std::string(Info.param.Name); });

TEST_F(ProbeTest, RecordIsTheNamedNonVolatileVariable) {
  Hw.Controller.SetStatests(0x1);
  Codec(0, kCodecA195);
  RunProbe();
  const SetVariableCall &Call = Uefi.SetVariableCalls[0];
  EXPECT_EQ(Call.Name, u"ZelHdaSsid");
  ASSERT_TRUE(Call.Guid);
  const uint8_t GuidBytes[16] = {0x81, 0x88, 0x36, 0x01, 0xAD, 0xC4, 0x1D, 0x4B,
                                 0xB6, 0x31, 0xD5, 0x7A, 0x8E, 0xC8, 0xDB, 0x6B};
  EXPECT_EQ(std::memcmp(&*Call.Guid, GuidBytes, 16), 0);
  EXPECT_EQ(Call.Attributes, 0x7u);
  EXPECT_EQ(Call.Data, (std::vector<uint8_t>{0x58, 0x14, 0x95, 0xA1}));
}

TEST_F(ProbeTest, NoRecognisedCodecDeletesTheRecord) {
  Hw.Controller.SetStatests(0x1);
  Codec(0, kCodecOther);
  RunProbe();
  const SetVariableCall &Call = Uefi.SetVariableCalls[0];
  EXPECT_EQ(Call.Name, u"ZelHdaSsid");
  EXPECT_EQ(Call.Attributes, 0x7u);
  EXPECT_TRUE(Call.Data.empty()) << "deleted with DataSize 0, not written with zeros";
}

// What the probe changed is put back in the reverse order: GCTL's low byte
// (one byte write), then the command byte.
TEST(ProbeRestore, RestoresControllerAsFound) {
  struct Case {
    uint8_t Command;
    uint32_t Gctl;
  };
  for (const Case &C : {Case{0x06, 0x00000000}, Case{0x00, 0x00000100}, Case{0x07, 0x00000001}}) {
    SCOPED_TRACE(::testing::Message() << "command " << int(C.Command) << " GCTL " << C.Gctl);
    Bench Hw;  // a fresh machine each time
    FakeUefi Uefi;
    Hw.Config.Present(0x293E8086, C.Command, kBase, 0);
    Hw.Controller.SetGctl(C.Gctl);
    Hw.Controller.SetStatests(0x1);
    Hw.Controller.AddCodec(0).Answer(kVendorVerb, 1).Answer(kSsidVerb, kCodecA194);
    HdaSsidDxeEntryPoint(nullptr, &Uefi.SystemTable);
    OnEndOfDxe(Uefi.EventToCreate, nullptr);

    EXPECT_EQ(Hw.Config.Command(), C.Command);
    EXPECT_EQ(Hw.Controller.Gctl(), C.Gctl);
    std::vector<Access> Writes;
    for (const Access &A : Hw.Log) {
      if (A.Kind == AccessKind::MmioWrite && A.Address != kBase + 0x60 && A.Address != kBase + 0x68) {
        Writes.push_back(A);
      }
    }
    const std::vector<Access> Expected = {
        Write8(kCfg + 0x04, 0x07), Write32(kBase + 0x08, C.Gctl | 1),
        Write8(kBase + 0x08, C.Gctl & 0xFF), Write8(kCfg + 0x04, C.Command)};
    EXPECT_EQ(Writes, Expected);
  }
}

struct GuardCase {
  const char *Name;
  uint32_t VendorDevice;
  uint32_t Bar0;
  uint32_t Bar0Upper;
  bool Usable;
  size_t ConfigReads;  // before the verdict
  // The platform settings patched into the image; the machine is built alike.
  uint64_t EcamBase = HDA_PLATFORM_ECAM_BASE;
  uint16_t PmTimerPort = HDA_PLATFORM_PM_TIMER_PORT;
  uint32_t ClassRevision = PciConfigModel::kHdAudioClassRevision;
};
void PrintTo(const GuardCase &C, std::ostream *Out) { *Out << C.Name; }

class GuardTest : public ProbeTest, public ::testing::WithParamInterface<GuardCase> {
protected:
  void TearDown() override {
    gHdaPlatformSettings.PciExpressBaseAddress = HDA_PLATFORM_ECAM_BASE;
    gHdaPlatformSettings.PmTimerPort = HDA_PLATFORM_PM_TIMER_PORT;
  }
};

// A controller that cannot be examined says nothing about the codec: the
// record the previous boot left stays as it is.
TEST_P(GuardTest, TouchesNothingWithoutAUsableController) {
  const GuardCase &C = GetParam();
  Uefi.StoredRecord = std::vector<uint8_t>{0x58, 0x14, 0x94, 0xA1};
  gHdaPlatformSettings.PciExpressBaseAddress = C.EcamBase;
  gHdaPlatformSettings.PmTimerPort = C.PmTimerPort;
  Hw.EcamBase = C.EcamBase;
  Hw.PmTimerPort = C.PmTimerPort;
  Hw.Config.Present(C.VendorDevice, 0x00, C.Bar0, C.Bar0Upper, C.ClassRevision);
  Hw.Controller.SetStatests(0x1);
  Codec(0, kCodecA195);
  RunProbe();
  if (C.Usable) {
    EXPECT_EQ(Record(), 0xA1951458u);
    EXPECT_EQ(Hw.Config.Command(), 0x00);
    return;
  }
  EXPECT_EQ(Record(), 0xA1941458u) << "the record is kept";
  EXPECT_TRUE(Uefi.SetVariableCalls.empty());
  EXPECT_TRUE(Writes().empty());
  ASSERT_EQ(Hw.Log.size(), C.ConfigReads);
  for (const Access &A : Hw.Log) {
    EXPECT_EQ(A.Where, Region::Config) << A;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Controllers, GuardTest,
    ::testing::Values(GuardCase{"NoDevice", 0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF, false, 1},
                      GuardCase{"VendorAllOnes", 0x1234FFFF, kBase, 0, false, 1},
                      GuardCase{"BarUnassigned", 0x293E8086, 0x00000000, 0, false, 3},
                      GuardCase{"Bar64Unassigned", 0x293E8086, 0x0000000C, 0, false, 3},
                      GuardCase{"BarAllOnes", 0x293E8086, 0xFFFFFFFF, 0xFFFFFFFF, false, 3},
                      GuardCase{"Bar64Above4G", 0x293E8086, kBase | 0x4, 0x1, false, 4},
                      GuardCase{"RegistersWouldWrapPast4G", 0x293E8086, 0xFFFFFFA0, 0, false, 3},
                      // Another function at 00:1F.3 with a plausible BAR0 (the
                      // controller states in ControllerStatesTest.cpp have
                      // more): a USB controller, whose subclass is HD Audio's
                      // (0x0C03), and a class read as all ones.
                      GuardCase{"UsbController", 0x293E8086, kBase, 0, false, 2, HDA_PLATFORM_ECAM_BASE,
                                HDA_PLATFORM_PM_TIMER_PORT, 0x0C033000},
                      GuardCase{"ClassAllOnes", 0x293E8086, kBase, 0, false, 2, HDA_PLATFORM_ECAM_BASE,
                                HDA_PLATFORM_PM_TIMER_PORT, 0xFFFFFFFF},
                      GuardCase{"RegistersEndJustBelow4G", 0x293E8086, 0xFFFFFF90, 0, true, 0},
                      GuardCase{"Bar32UpperNotRead", 0x293E8086, kBase, 0xFFFFFFFF, true, 0},
                      GuardCase{"Bar64Below4G", 0x293E8086, kBase | 0xC, 0, true, 0},
                      GuardCase{"EcamOffA1MiBBoundary", 0x293E8086, kBase, 0, false, 0, 0xE0080000},
                      GuardCase{"EcamAbove4G", 0x293E8086, kBase, 0, false, 0, 0x100000000},
                      GuardCase{"PmTimerPortPastTheIoSpace", 0x293E8086, kBase, 0, false, 0,
                                HDA_PLATFORM_ECAM_BASE, 0xFFFD},
                      GuardCase{"PmTimerPortOnlyWordAligned", 0x293E8086, kBase, 0, false, 0,
                                HDA_PLATFORM_ECAM_BASE, 0x60A},
                      // Unset settings: RAM at 0xFB000 could pass for a device.
                      GuardCase{"SettingsUnset", 0x293E8086, kBase, 0, false, 0, 0, 0},
                      GuardCase{"EcamUnset", 0x293E8086, kBase, 0, false, 0, 0, HDA_PLATFORM_PM_TIMER_PORT},
                      GuardCase{"PmTimerPortUnset", 0x293E8086, kBase, 0, false, 0, HDA_PLATFORM_ECAM_BASE, 0},
                      GuardCase{"PmTimerPortUnaligned", 0x293E8086, kBase, 0, false, 0, HDA_PLATFORM_ECAM_BASE, 0x609},
                      GuardCase{"SiblingBoardSettings", 0x293E8086, kBase, 0, true, 0, 0xB0000000, 0x608},
                      GuardCase{"HighestUsableSettings", 0x293E8086, kBase, 0, true, 0, 0xFFF00000, 0xFFFC}),
    [](const auto &Info) { return std::string(Info.param.Name); });

// The probe's time budget, as the README's table states it. The running
// timer advances one tick per read (the finest a wait can see it move); a
// stopped timer ends each wait after the stall limit.
TEST(ProbeTiming, WorstCaseTableHolds) {
  struct Row {
    const char *Name;
    uint16_t Statests;
    int VendorBusyPolls;  // polls before the vendor-ID answer; -1: none
    bool SubsystemAnswers;
    uint32_t StepPerRead;
    size_t Verbs;
    uint64_t TimerReads;
  };
  const Row Rows[] = {
      {"typical road", 0x1, 0, true, 1, 2, 0},
      {"three codecs time out", 0x7, -1, false, 1, 3, 3 * 200 * 19},
      // Each codec answers the vendor-ID verb at the 200th poll and never the
      // subsystem-ID verb: the most waits the probe can make.
      {"worst case", 0x7, 199, false, 1, 6, 3 * (199 + 200) * 19},
      {"stopped timer, three codecs time out", 0x7, -1, false, 0, 3, 3 * 200 * 257},
      {"stopped timer, worst case", 0x7, 199, false, 0, 6, 3 * (199 + 200) * 257},
  };
  for (const Row &R : Rows) {
    SCOPED_TRACE(R.Name);
    Bench Hw;
    FakeUefi Uefi;
    Hw.LogTimer = false;
    Hw.Timer.StepPerRead = R.StepPerRead;
    Hw.Config.Present(0x293E8086, 0x00, kBase, 0);
    Hw.Controller.SetStatests(R.Statests);
    for (unsigned Address = 0; Address < 3; ++Address) {
      CodecModel &Codec = Hw.Controller.AddCodec(Address);
      if (R.VendorBusyPolls >= 0) {
        Codec.Answer(kVendorVerb, 0x10EC0887, static_cast<uint32_t>(R.VendorBusyPolls));
      }
      if (R.SubsystemAnswers) {
        Codec.Answer(kSsidVerb, kCodecA195);
      }
    }
    HdaSsidDxeEntryPoint(nullptr, &Uefi.SystemTable);
    OnEndOfDxe(Uefi.EventToCreate, nullptr);
    EXPECT_EQ(Hw.Controller.VerbsStarted.size(), R.Verbs);
    EXPECT_EQ(Hw.Timer.Reads, R.TimerReads);
    EXPECT_EQ(Uefi.ClosedEvents.size(), 1u) << "the probe ended";
  }
}

}  // namespace
