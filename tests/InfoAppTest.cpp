// The bring-up application against the bench: what it reports, and that it
// touches the controller exactly as the driver does.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "FakeUefi.h"
#include "HdaBench.h"
#include "HdaBoard.h"
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
           "vendor 0x8086 device 0x293E  command 0x06  BAR0 0xFE000004 upper 0x00000000",
           "GCTL 0x00000000 (CRST 0 on entry)  STATESTS 0x03",
           "codec 0: vendor ID 0x10EC0887, subsystem ID 0xA1941458",
           "not a known variant",
           "swapped, it is variant A194: are its IDs swapped in the profile?",
           "codec 1: vendor ID 0x10EC0897, subsystem ID 0x1458A195",
           "known: variant A195; the driver stores 0xA1951458",
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
  EXPECT_NE(Out.find("leaves the record as it is"), std::string::npos) << Out;
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

// ACPI tables as firmware lays them out: an ACPI 2.0 RSDP, an XSDT, and an
// MCFG and a FADT as the cases ask for, each with its checksum.
struct FakeAcpi {
  std::vector<std::vector<uint8_t>> Tables;
  EFI_CONFIGURATION_TABLE Entry{};

  static void Put(std::vector<uint8_t> &T, size_t At, uint64_t Value, unsigned Bytes) {
    for (unsigned I = 0; I < Bytes; ++I) {
      T[At + I] = static_cast<uint8_t>(Value >> (8 * I));
    }
  }
  static void Seal(std::vector<uint8_t> &T, size_t ChecksumAt, size_t Length) {
    uint8_t Sum = 0;
    for (size_t I = 0; I < Length; ++I) {
      Sum = static_cast<uint8_t>(Sum + (I == ChecksumAt ? 0 : T[I]));
    }
    T[ChecksumAt] = static_cast<uint8_t>(0x100 - Sum);
  }
  std::vector<uint8_t> &Table(const char *Signature, size_t Length) {
    std::vector<uint8_t> &T = Tables.emplace_back(Length, 0);
    std::memcpy(T.data(), Signature, 4);
    Put(T, 4, Length, 4);
    return T;
  }
  FakeAcpi(EFI_SYSTEM_TABLE &System, const std::vector<std::pair<uint64_t, uint8_t>> &Mcfg, uint32_t PmTmrBlk,
           uint64_t XPmTmrBlk, bool BreakFadtChecksum) {
    Tables.reserve(8);  // the XSDT holds their addresses
    std::vector<uint64_t> Entries;
    if (!Mcfg.empty()) {
      std::vector<uint8_t> &T = Table("MCFG", 44 + 16 * Mcfg.size());
      for (size_t I = 0; I < Mcfg.size(); ++I) {
        Put(T, 44 + 16 * I, Mcfg[I].first, 8);
        T[44 + 16 * I + 10] = Mcfg[I].second;  // start bus; segment 0
      }
      Seal(T, 9, T.size());
      Entries.push_back(reinterpret_cast<uint64_t>(T.data()));
    }
    if (PmTmrBlk != 0 || XPmTmrBlk != 0) {
      std::vector<uint8_t> &T = Table("FACP", 276);
      Put(T, 76, PmTmrBlk, 4);
      T[208] = XPmTmrBlk != 0 ? 1 : 0;  // system I/O space
      Put(T, 212, XPmTmrBlk, 8);
      Seal(T, 9, T.size());
      T[9] += BreakFadtChecksum;
      Entries.push_back(reinterpret_cast<uint64_t>(T.data()));
    }
    std::vector<uint8_t> &Xsdt = Table("XSDT", 36 + 8 * Entries.size());
    for (size_t I = 0; I < Entries.size(); ++I) {
      Put(Xsdt, 36 + 8 * I, Entries[I], 8);
    }
    Seal(Xsdt, 9, Xsdt.size());
    std::vector<uint8_t> &Rsdp = Tables.emplace_back(36, 0);
    std::memcpy(Rsdp.data(), "RSD PTR ", 8);
    Rsdp[15] = 2;
    Put(Rsdp, 24, reinterpret_cast<uint64_t>(Xsdt.data()), 8);
    Seal(Rsdp, 8, 20);
    Entry = {EfiGuid("8868E871-E4F1-11D3-BC22-0080C73C88E1"), Rsdp.data()};
    System.NumberOfTableEntries = 1;
    System.ConfigurationTable = &Entry;
  }
};

// One binary for any board: the ECAM window and PM timer the firmware's
// ACPI tables give win over the image's settings; what they do not give, or
// give unsoundly, falls back to the image's.
TEST(InfoApp, TakesTheBoardFromTheAcpiTables) {
  struct Case {
    const char *Name;
    std::vector<std::pair<uint64_t, uint8_t>> Mcfg;  // base, start bus
    uint32_t PmTmrBlk;
    uint64_t XPmTmrBlk;
    bool BreakFadtChecksum;
    uint64_t EcamBase;  // where the machine has them, and the app must look
    uint16_t PmTimerPort;
    const char *Report;
    bool Warns;  // ACPI names other settings than the image carries
  };
  const Case Cases[] = {
      {"q35", {{0xB0000000, 0}}, 0x608, 0, false, 0xB0000000, 0x608,
       "Board: ECAM base 0xB0000000 (ACPI MCFG), PM timer port 0x0608 (ACPI FADT)", true},
      {"X_PM_TMR_BLK wins", {{0xB0000000, 0}}, 0x408, 0x608, false, 0xB0000000, 0x608,
       "PM timer port 0x0608 (ACPI FADT)", true},
      {"only the window of bus 0", {{0xC0000000, 0x80}, {0xB0000000, 0}}, 0x608, 0, false, 0xB0000000, 0x608,
       "ECAM base 0xB0000000 (ACPI MCFG)", true},
      {"a FADT with a bad checksum", {{0xB0000000, 0}}, 0x608, 0, true, 0xB0000000, HDA_BOARD_PM_TIMER_PORT,
       "PM timer port 0x1808 (the image's setting)", true},
      {"an ECAM window off 1 MiB", {{0xB0080000, 0}}, 0, 0, false, HDA_BOARD_ECAM_BASE, HDA_BOARD_PM_TIMER_PORT,
       "Board: ECAM base 0xE0000000 (the image's setting), PM timer port 0x1808 (the image's setting)", false},
      {"the release's own settings", {{0xE0000000, 0}}, 0x1808, 0, false, 0xE0000000, 0x1808,
       "(ACPI FADT)\r\n  this release carries ECAM base 0xE0000000, PM timer port 0x1808", false},
  };
  for (const Case &C : Cases) {
    SCOPED_TRACE(C.Name);
    Bench Hw;
    FakeUefi Uefi;
    FakeAcpi Acpi(Uefi.SystemTable, C.Mcfg, C.PmTmrBlk, C.XPmTmrBlk, C.BreakFadtChecksum);
    Hw.EcamBase = C.EcamBase;
    Hw.PmTimerPort = C.PmTimerPort;
    FitBoard(Hw);
    HdaSsidInfoEntryPoint(nullptr, &Uefi.SystemTable);
    gHdaBoardSettings.PciExpressBaseAddress = HDA_BOARD_ECAM_BASE;
    gHdaBoardSettings.PmTimerPort = HDA_BOARD_PM_TIMER_PORT;
    const std::string Out = Narrow(Uefi.Console);
    EXPECT_NE(Out.find(C.Report), std::string::npos) << Out;
    EXPECT_EQ(Out.find("Warning: the driver of this release uses these only") != std::string::npos, C.Warns) << Out;
    EXPECT_NE(Out.find("known: variant A195; the driver stores 0xA1951458"), std::string::npos) << Out;
    for (const Access &A : Hw.Log) {
      EXPECT_NE(A.Where, Region::Unmapped) << A;
    }
  }
}

}  // namespace
