// Copyright (c) 2026, HdaSsid contributors. All rights reserved.
// SPDX-License-Identifier: BSD-2-Clause-Patent
//
// The controller states docs/platform-contract.md lists, row by row, on one
// bench machine as in a boot: the driver at End of DXE, then the bring-up
// application from the shell. The driver must treat the record and the
// controller as the row says, and the application's verdict must name the
// row's item first (or hold).
#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <map>
#include <sstream>
#include <string>

#include "FakeAcpi.h"
#include "FakeUefi.h"
#include "HdaBench.h"
#include "HdaRegisters.h"
#include "HdaSsidDetectDxe.h"
#include "HdaSsidInfo.h"

using namespace bench;

namespace {

constexpr uint32_t kCfg = HDA_PLATFORM_ECAM_BASE + HDA_PCI_CONFIG_OFFSET;
constexpr uint32_t kBase = 0xFE000000;
constexpr uint32_t kA195Answer = 0x1458A195, kA195Record = 0xA1951458;
// At 3.579545 MHz: CRST reading 1 100 us after it is set, codecs 521 us
// after that (HD Audio 1.0a errata: 25 frames).
constexpr uint64_t kCrstTicks = 358, kAnnounceTicks = 1865;

void FitCodec(Bench &Hw) {
  Hw.Controller.AddCodec(0).Answer(HDA_VERB_GET_VENDOR_ID, 0x10EC0897).Answer(HDA_VERB_GET_SUBSYSTEM_ID, kA195Answer);
}
void Controller(Bench &Hw, uint32_t ClassRevision = PciConfigModel::kHdAudioClassRevision, uint32_t Bar0 = kBase) {
  Hw.Config.Present(0x293E8086, 0x06, Bar0, 0, ClassRevision);
  Hw.Config.SetDword(PCI_SUBSYSTEM_OFFSET, kA195Record);
}
void LinkUp(Bench &Hw) { Hw.Controller.SetGctl(HDA_GCTL_CRST); }
void PchLink(Bench &Hw, uint64_t CrstTicks) { Hw.Controller.Link = {true, CrstTicks, kAnnounceTicks}; }

// The rows' states, by the table's own words.
const std::map<std::string, std::function<void(Bench &)>> kStates = {
    {"HD Audio controller (class 0x040300), link out of reset, codec announced",
     [](Bench &Hw) { Controller(Hw), Hw.Controller.SetStatests(0x1), FitCodec(Hw); }},
    {"HD Audio controller with its audio DSP enabled (class 0x040100)",
     [](Bench &Hw) { Controller(Hw, 0x04010000), Hw.Controller.SetStatests(0x1), FitCodec(Hw); }},
    {"HD Audio controller, either driver may bind (class 0x040380)",
     [](Bench &Hw) { Controller(Hw, 0x04038000), Hw.Controller.SetStatests(0x1), FitCodec(Hw); }},
    {"SMBus controller (class 0x0C0500)",
     [](Bench &Hw) { Controller(Hw, 0x0C050000), Hw.Controller.SetStatests(0x1), FitCodec(Hw); }},
    {"another multimedia function (class 0x048000)",
     [](Bench &Hw) { Controller(Hw, 0x04800000), Hw.Controller.SetStatests(0x1), FitCodec(Hw); }},
    {"no device (vendor ID 0xFFFF)", [](Bench &Hw) { Hw.Config.Absent(); }},
    {"BAR0 unassigned", [](Bench &Hw) { Controller(Hw, PciConfigModel::kHdAudioClassRevision, 0), FitCodec(Hw); }},
    {"register block reads all ones (D3hot, power-gated, not decoding)",
     [](Bench &Hw) { Controller(Hw), FitCodec(Hw), Hw.Controller.AllOnes = true; }},
    {"link in reset: CRST reads 1 100 µs after it is set, codecs announce 521 µs later",
     [](Bench &Hw) { Controller(Hw), PchLink(Hw, kCrstTicks), FitCodec(Hw); }},
    {"link out of reset, codec still announcing at End of DXE",
     [](Bench &Hw) { Controller(Hw), LinkUp(Hw), Hw.Controller.LeftResetAt(0), PchLink(Hw, 0), FitCodec(Hw); }},
    {"link in reset, STATESTS bit left from an earlier boot, codec up 621 µs after CRST",
     [](Bench &Hw) { Controller(Hw), PchLink(Hw, kCrstTicks), Hw.Controller.SetStatests(0x1), FitCodec(Hw); }},
    {"link in reset, STATESTS bit left from an earlier boot, codec up 1,521 µs after CRST",
     [](Bench &Hw) { Controller(Hw), PchLink(Hw, kCrstTicks * 10), Hw.Controller.SetStatests(0x1), FitCodec(Hw); }},
    {"link out of reset, STATESTS bit left from an earlier boot, no codec there",
     [](Bench &Hw) { Controller(Hw), LinkUp(Hw), Hw.Controller.SetStatests(0x1); }},
    {"link out of reset, no codec on SDI 0-2", [](Bench &Hw) { Controller(Hw), LinkUp(Hw); }},
};

struct Row {
  std::string State, Driver, Verdict;
};

// The table under "State of 00:1F.3" in the platform contract.
std::vector<Row> ContractTable() {
  std::ifstream In(HDA_PLATFORM_CONTRACT_DOC);
  std::string Line;
  std::vector<Row> Rows;
  bool InTable = false;
  while (std::getline(In, Line)) {
    if (Line.rfind("| State of 00:1F.3 |", 0) == 0) {
      InTable = true;
      std::getline(In, Line);  // |---|---|---|
      continue;
    }
    if (InTable && Line.rfind("| ", 0) != 0) {
      break;
    }
    if (InTable) {
      std::vector<std::string> Cells;
      std::istringstream Split(Line.substr(2));
      for (std::string Cell; std::getline(Split, Cell, '|');) {
        Cells.push_back(Cell.substr(0, Cell.find_last_not_of(' ') + 1).substr(Cell.find_first_not_of(' ')));
      }
      Rows.push_back({Cells.at(0), Cells.at(1), Cells.at(2)});
    }
  }
  return Rows;
}

std::string Narrow(const std::u16string &Text) { return std::string(Text.begin(), Text.end()); }

TEST(ControllerStates, EachRowOfThePlatformContract) {
  const std::vector<Row> Rows = ContractTable();
  ASSERT_EQ(Rows.size(), kStates.size()) << "one case for each row of the table, one row for each case";
  for (const Row &R : Rows) {
    SCOPED_TRACE(R.State);
    ASSERT_EQ(kStates.count(R.State), 1u) << "no case for this row";
    Bench Hw;
    FakeUefi Uefi;
    FakeAcpi Acpi(Uefi.SystemTable, TargetBoardAcpi());
    kStates.at(R.State)(Hw);
    Uefi.StoredRecord = std::vector<uint8_t>{0x58, 0x14, 0x95, 0xA1};
    const uint8_t CommandBefore = Hw.Config.Command();

    ASSERT_EQ(HdaSsidDxeEntryPoint(nullptr, &Uefi.SystemTable), EFI_SUCCESS);
    OnEndOfDxe(Uefi.EventToCreate, nullptr);
    std::vector<Access> Writes;
    for (const Access &A : Hw.Log) {
      EXPECT_NE(A.Where, Region::Unmapped) << A;
      if (A.Kind == AccessKind::MmioWrite) {
        Writes.push_back(A);
      }
    }
    if (R.Driver.find("stores") != std::string::npos) {
      ASSERT_EQ(Uefi.SetVariableCalls.size(), 1u);
      EXPECT_EQ(Uefi.SetVariableCalls[0].Data, (std::vector<uint8_t>{0x58, 0x14, 0x95, 0xA1}));
    } else if (R.Driver.find("deletes the record") != std::string::npos) {
      ASSERT_EQ(Uefi.SetVariableCalls.size(), 1u);
      EXPECT_TRUE(Uefi.SetVariableCalls[0].Data.empty());
      EXPECT_FALSE(Uefi.StoredRecord);
    } else {
      ASSERT_NE(R.Driver.find("keeps the record"), std::string::npos) << "stores, deletes or keeps: " << R.Driver;
      EXPECT_TRUE(Uefi.SetVariableCalls.empty());
      const std::vector<Access> Allowed =
          R.Driver.find("puts it back") != std::string::npos
              ? std::vector<Access>{Write8(kCfg + PCI_COMMAND_OFFSET, 0x07),
                                    Write8(kCfg + PCI_COMMAND_OFFSET, CommandBefore)}
              : std::vector<Access>{};
      EXPECT_EQ(Writes, Allowed);
    }
    EXPECT_EQ(Hw.Config.Command(), CommandBefore) << "the command byte as found";

    HdaSsidInfoEntryPoint(nullptr, &Uefi.SystemTable);
    const std::string Out = Narrow(Uefi.Console);
    const std::string Verdict = Out.substr(Out.rfind("Verdict: "));
    if (R.Verdict == "holds") {
      EXPECT_EQ(Verdict, "Verdict: the driver's contract holds on this board\r\n") << Out;
    } else {
      ASSERT_EQ(R.Verdict.rfind("PROBLEM ", 0), 0u) << "holds, or PROBLEM and the item";
      EXPECT_EQ(Verdict.rfind("Verdict: the driver would not work here: " + R.Verdict.substr(8) + ": ", 0), 0u)
          << Out;
    }
  }
}

}  // namespace
