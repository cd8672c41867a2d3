// The bring-up application against the bench: what it reports, and that it
// touches the controller exactly as the driver does.
#include <gtest/gtest.h>

#include <sys/mman.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <tuple>

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
           "vendor 0x8086 device 0x293E class 0x040300  command 0x06  BAR0 0xFE000004 upper 0x00000000",
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
  EXPECT_NE(Out.find("No usable HD Audio controller"), std::string::npos) << Out;
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

// ACPI tables as firmware lays them out: an RSDP (ACPI 2.0 with an XSDT and
// an RSDT, or 1.0 with an RSDT only), and an MCFG and a FADT as a case asks
// for, each with its checksum unless the case breaks one. They lie below
// 4 GiB, where an RSDT's 32-bit entries can point.
struct AcpiShape {
  std::vector<std::tuple<uint64_t, uint16_t, uint8_t>> Mcfg;  // base, segment, start bus
  uint32_t PmTmrBlk = 0;
  uint64_t XPmTmrBlk = 0;
  uint8_t XSpace = 1;  // the GAS's address space: 1 is system I/O
  bool Acpi10 = false;     // revision 0 RSDP: no XSDT
  const char *Broken = "";  // "RSDP", "XSDT", "MCFG", "FACP": that table's checksum
  uint32_t McfgLength = 0;  // when not 0, the length the MCFG claims
  uint32_t FadtLength = 276;
};

struct FakeAcpi {
  uint8_t *Arena = nullptr;
  size_t Used = 0;
  EFI_CONFIGURATION_TABLE Entry{};
  static constexpr size_t kArena = 0x4000;

  static void Put(uint8_t *T, size_t At, uint64_t Value, unsigned Bytes) {
    for (unsigned I = 0; I < Bytes; ++I) {
      T[At + I] = static_cast<uint8_t>(Value >> (8 * I));
    }
  }
  static void Seal(uint8_t *T, size_t ChecksumAt, size_t Length, bool Break) {
    uint8_t Sum = 0;
    for (size_t I = 0; I < Length; ++I) {
      Sum = static_cast<uint8_t>(Sum + (I == ChecksumAt ? 0 : T[I]));
    }
    T[ChecksumAt] = static_cast<uint8_t>(0x100 - Sum + Break);
  }
  uint8_t *Table(const char *Signature, size_t Length, uint32_t Claimed = 0) {
    uint8_t *T = Arena + Used;
    Used += (Length + 15) / 16 * 16;
    std::memcpy(T, Signature, 4);
    Put(T, 4, Claimed != 0 ? Claimed : Length, 4);
    return T;
  }
  FakeAcpi(EFI_SYSTEM_TABLE &System, const AcpiShape &S) {
    Arena = static_cast<uint8_t *>(mmap(nullptr, kArena, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_32BIT,
                                        -1, 0));
    EXPECT_NE(Arena, MAP_FAILED);
    std::memset(Arena, 0, kArena);
    const std::string Broken = S.Broken;
    std::vector<uint64_t> Entries;
    if (!S.Mcfg.empty()) {
      const size_t Length = 44 + 16 * S.Mcfg.size();
      uint8_t *T = Table("MCFG", Length, S.McfgLength);
      for (size_t I = 0; I < S.Mcfg.size(); ++I) {
        Put(T, 44 + 16 * I, std::get<0>(S.Mcfg[I]), 8);
        Put(T, 44 + 16 * I + 8, std::get<1>(S.Mcfg[I]), 2);
        T[44 + 16 * I + 10] = std::get<2>(S.Mcfg[I]);
      }
      Seal(T, 9, Length, Broken == "MCFG");
      Entries.push_back(reinterpret_cast<uintptr_t>(T));
    }
    if (S.PmTmrBlk != 0 || S.XPmTmrBlk != 0) {
      uint8_t *T = Table("FACP", 276, S.FadtLength);
      Put(T, 76, S.PmTmrBlk, 4);
      T[208] = S.XSpace;
      Put(T, 212, S.XPmTmrBlk, 8);
      Seal(T, 9, S.FadtLength, Broken == "FACP");
      Entries.push_back(reinterpret_cast<uintptr_t>(T));
    }
    uint8_t *Rsdt = Table("RSDT", 36 + 4 * Entries.size());
    uint8_t *Xsdt = Table("XSDT", 36 + 8 * Entries.size());
    for (size_t I = 0; I < Entries.size(); ++I) {
      Put(Rsdt, 36 + 4 * I, Entries[I], 4);
      Put(Xsdt, 36 + 8 * I, Entries[I], 8);
    }
    Seal(Rsdt, 9, 36 + 4 * Entries.size(), false);
    Seal(Xsdt, 9, 36 + 8 * Entries.size(), Broken == "XSDT");
    uint8_t *Rsdp = Arena + Used;
    Used += 48;
    std::memcpy(Rsdp, "RSD PTR ", 8);
    Rsdp[15] = S.Acpi10 ? 0 : 2;
    Put(Rsdp, 16, reinterpret_cast<uintptr_t>(Rsdt), 4);
    Put(Rsdp, 24, S.Acpi10 ? 0 : reinterpret_cast<uintptr_t>(Xsdt), 8);
    Seal(Rsdp, 8, 20, Broken == "RSDP");
    Entry = {S.Acpi10 ? EfiGuid("EB9D2D30-2D88-11D3-9A16-0090273FC14D") : EfiGuid("8868E871-E4F1-11D3-BC22-0080C73C88E1"),
             Rsdp};
    System.NumberOfTableEntries = 1;
    System.ConfigurationTable = &Entry;
  }
  ~FakeAcpi() { munmap(Arena, kArena); }
};

// One binary for any board: the ECAM window and PM timer the firmware's
// ACPI tables give win over the image's settings; what they do not give, or
// give unsoundly, falls back to the image's.
TEST(InfoApp, TakesTheBoardFromTheAcpiTables) {
  struct Case {
    const char *Name;
    AcpiShape Acpi;
    uint64_t EcamBase;  // what the app must take, and where the machine has it
    uint16_t PmTimerPort;
    bool Warns;  // ACPI names other settings than the image carries
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
      {"a broken XSDT: the RSDT", {{Q35}, 0x608, 0, 1, false, "XSDT"}, 0xB0000000, 0x608, true},
      {"a broken RSDP: nothing", {{Q35}, 0x608, 0, 1, false, "RSDP"}, kEcam, kPort, false},
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
    EXPECT_EQ(Out.find("Warning: the driver of this release uses these only") != std::string::npos, C.Warns) << Out;
    EXPECT_NE(Out.find("known: variant A195; the driver stores 0xA1951458"), std::string::npos) << Out;
    for (const Access &A : Hw.Log) {
      EXPECT_NE(A.Where, Region::Unmapped) << A;
    }
  }
}

}  // namespace
