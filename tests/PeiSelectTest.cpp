// Copyright (c) 2026, HdaSsid contributors. All rights reserved.
// SPDX-License-Identifier: BSD-2-Clause-Patent
//
// The subsystem-ID table lookup and the PEIM's table selection.
#include <gtest/gtest.h>

#include <cstring>

#include "FakePei.h"
#include "HdaSsidSelectPei.h"
#include "HdaBoardTables.h"

using namespace bench;

namespace {

SSID_TABLE_ENTRY Row(UINT8 Device, UINT8 Function, HDA_SSID_WORD Word, UINT32 Extended = 0) {
  return {0, Function, Device, 0, Extended, static_cast<UINT16>(Word), static_cast<UINT16>(Word >> 16), 0};
}
const SSID_TABLE_ENTRY kTerminator = {0xFF, 0xFF, 0xFF, 0xFF, 0xFFFFFFFF, 0xFFFF, 0xFFFF, 0};
const SSID_TABLE_ENTRY kFiller = Row(0x1C, 0, 0x50011458);

TEST(SsidTableLookup, BuiltInDefaultGivesTheBoardsHdaWord) {
  EXPECT_EQ(FindDefaultHdaSsid(), 0xA0A31458u);
  EXPECT_EQ(FindHdaSsid(SsidTableA194.Entries), 0xA1941458u);
  EXPECT_EQ(FindHdaSsid(SsidTableA195.Entries), 0xA1951458u);
}

TEST(SsidTableLookup, CraftedTables) {
  struct Case {
    const char *Name;
    std::vector<SSID_TABLE_ENTRY> Table;
    HDA_SSID_WORD Expected;
  };
  const Case Cases[] = {
      {"later 00:1F.3 entry wins", {Row(0x1F, 3, 0x11111458), kFiller, Row(0x1F, 3, 0x22221458), kTerminator}, 0x22221458},
      {"no 00:1F.3 entry", {kFiller, Row(0x1F, 2, 0x11111458), kTerminator}, 0},
      {"extended register set is another register", {Row(0x1F, 3, 0x11111458, 0x100), kTerminator}, 0},
      {"entries after the terminator are not read", {kTerminator, Row(0x1F, 3, 0x11111458)}, 0},
      {"an all-ones low word alone is no terminator",
       {{0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0, 0}, Row(0x1F, 3, 0x11111458), kTerminator}, 0x11111458},
  };
  for (const Case &C : Cases) {
    EXPECT_EQ(FindHdaSsid(C.Table.data()), C.Expected) << C.Name;
  }
}

// A table with no terminator is read for 70 entries and not one more (the
// vector is exactly that long: AddressSanitizer would report a read past it).
TEST(SsidTableLookup, ReadsAtMostSeventyEntries) {
  constexpr size_t kLimit = 70;  // the documented bound, not the constant it checks
  std::vector<SSID_TABLE_ENTRY> Table(kLimit, kFiller);
  Table.back() = Row(0x1F, 3, 0x33331458);
  EXPECT_EQ(FindHdaSsid(Table.data()), 0x33331458u) << "the 70th entry is read";

  std::vector<SSID_TABLE_ENTRY> Longer(kLimit + 10, kFiller);
  Longer[kLimit] = Row(0x1F, 3, 0x33331458);
  Longer.back() = kTerminator;
  EXPECT_EQ(FindHdaSsid(Longer.data()), 0u) << "the 71st entry is not";
}

std::vector<uint8_t> Bytes(uint32_t Value) {
  std::vector<uint8_t> Out(4);
  std::memcpy(Out.data(), &Value, 4);
  return Out;
}

const SSID_TABLE_ENTRY *const kChosenElsewhere = reinterpret_cast<const SSID_TABLE_ENTRY *>(0x1000);

struct SelectCase {
  const char *Name;
  std::optional<std::vector<uint8_t>> Record;
  const SSID_TABLE_ENTRY *PolicyBefore;
  EFI_STATUS Status;
  const SSID_TABLE_ENTRY *PolicyAfter;
  UINT32 Attributes = HDA_SSID_VARIABLE_ATTRIBUTES;  // the stored record's
  AttributesReported Reported = AttributesReported::Always;
};
void PrintTo(const SelectCase &C, std::ostream *Out) { *Out << C.Name; }

class SelectTest : public ::testing::TestWithParam<SelectCase> {
protected:
  FakePei Pei;
};

TEST_P(SelectTest, ChoosesTheTableForTheStoredCodec) {
  const SelectCase &C = GetParam();
  Pei.Record = C.Record;
  Pei.RecordAttributes = C.Attributes;
  Pei.Reported = C.Reported;
  Pei.Policy.Revision = 0x5A5A;
  Pei.Policy.SsidTable = C.PolicyBefore;
  EXPECT_EQ(HdaSsidPeiEntryPoint(nullptr, Pei.PeiServices()), C.Status);
  EXPECT_EQ(Pei.Policy.SsidTable, C.PolicyAfter);
  EXPECT_EQ(Pei.Policy.Revision, 0x5A5Au) << "nothing else in the PPI is written";
}

INSTANTIATE_TEST_SUITE_P(
    Records, SelectTest,
    ::testing::Values(
        SelectCase{"NoRecord", std::nullopt, nullptr, EFI_NOT_FOUND, nullptr},
        SelectCase{"EqualsDefault", Bytes(0xA0A31458), nullptr, EFI_SUCCESS, nullptr},
        SelectCase{"A195", Bytes(0xA1951458), nullptr, EFI_SUCCESS, SsidTableA195.Entries},
        SelectCase{"A194", Bytes(0xA1941458), nullptr, EFI_SUCCESS, SsidTableA194.Entries},
        SelectCase{"A194ButTableAlreadyChosen", Bytes(0xA1941458), kChosenElsewhere, EFI_SUCCESS,
                   kChosenElsewhere},
        SelectCase{"Zero", Bytes(0), nullptr, EFI_SUCCESS, nullptr},
        SelectCase{"UnknownCodec", Bytes(0x12345678), nullptr, EFI_SUCCESS, nullptr},
        SelectCase{"LongerRecord", std::vector<uint8_t>{0x58, 0x14, 0x95, 0xA1, 0}, nullptr,
                   EFI_BUFFER_TOO_SMALL, nullptr},
        SelectCase{"ShorterRecord", std::vector<uint8_t>{0x58, 0x14}, nullptr, EFI_SUCCESS, nullptr},
        // Only a record HdaSsidDetectDxe could have written counts; any other
        // reads as no record.
        SelectCase{"ShellsNvBsRecord", Bytes(0xA1951458), nullptr, EFI_NOT_FOUND, nullptr, 0x3},
        SelectCase{"AuthenticatedRecord", Bytes(0xA1941458), nullptr, EFI_NOT_FOUND, nullptr, 0x27},
        // A variable service that leaves the attributes unreported cannot
        // vouch for the record: it counts as none, and nothing is chosen.
        SelectCase{"AttributesNotReported", Bytes(0xA1951458), nullptr, EFI_NOT_FOUND, nullptr,
                   HDA_SSID_VARIABLE_ATTRIBUTES, AttributesReported::Never}),
    [](const auto &Info) { return std::string(Info.param.Name); });

TEST(PeiSelect, CallsLocateReadLocateInOrderWithTheRecordsArguments) {
  FakePei Pei;
  Pei.Record = Bytes(0xA1951458);
  ASSERT_EQ(HdaSsidPeiEntryPoint(nullptr, Pei.PeiServices()), EFI_SUCCESS);
  ASSERT_EQ(Pei.Calls.size(), 3u);
  EXPECT_EQ(Pei.Calls[0].What, PeiCall::LocatePpi);
  EXPECT_TRUE(Pei.Calls[0].Guid == gEfiPeiReadOnlyVariable2PpiGuid);
  EXPECT_EQ(Pei.Calls[1].What, PeiCall::GetVariable);
  EXPECT_EQ(Pei.Calls[1].VariableName, u"ZelHdaSsid");
  EXPECT_TRUE(Pei.Calls[1].Guid == gHdaSsidVariableGuid);
  EXPECT_TRUE(Pei.Calls[1].AttributesRequested);
  EXPECT_EQ(Pei.Calls[1].DataSizeIn, 4u);
  EXPECT_EQ(Pei.Calls[1].BufferBefore, Bytes(0)) << "the value is preset to 0 before the read";
  EXPECT_EQ(Pei.Calls[2].What, PeiCall::LocatePpi);
  EXPECT_TRUE(Pei.Calls[2].Guid == gPlatformSsidPolicyPpiGuid);
  for (const PeiCall &Call : {Pei.Calls[0], Pei.Calls[2]}) {
    EXPECT_EQ(Call.Instance, 0u);
    EXPECT_FALSE(Call.DescriptorRequested);
  }
}

TEST(PeiSelect, MissingPpiEndsTheWorkWithItsStatus) {
  {
    FakePei Pei;
    Pei.VariablePpiInstalled = false;
    Pei.Record = Bytes(0xA1951458);
    EXPECT_EQ(HdaSsidPeiEntryPoint(nullptr, Pei.PeiServices()), EFI_NOT_FOUND);
    EXPECT_EQ(Pei.Calls.size(), 1u) << "nothing is read";
    EXPECT_EQ(Pei.Policy.SsidTable, nullptr);
  }
  {
    FakePei Pei;
    Pei.PolicyInstalled = false;
    Pei.Record = Bytes(0xA1951458);
    EXPECT_EQ(HdaSsidPeiEntryPoint(nullptr, Pei.PeiServices()), EFI_NOT_FOUND);
    EXPECT_EQ(Pei.Policy.SsidTable, nullptr);
  }
  {
    FakePei Pei;
    Pei.VariableLocateStatus = EFI_DEVICE_ERROR;  // found, but failing
    Pei.Record = Bytes(0xA1951458);
    EXPECT_EQ(HdaSsidPeiEntryPoint(nullptr, Pei.PeiServices()), EFI_DEVICE_ERROR);
    EXPECT_EQ(Pei.Calls.size(), 1u);
  }
}

// A warning is a success: the work goes on and the policy lookup's status is
// what the entry point returns.
TEST(PeiSelect, WarningsCountAsSuccess) {
  FakePei Pei;
  Pei.Record = Bytes(0xA1941458);
  Pei.VariableLocateStatus = EFI_WARN_BUFFER_TOO_SMALL;
  Pei.StatusOverride = EFI_WARN_BUFFER_TOO_SMALL;
  Pei.PolicyLocateStatus = 1;  // EFI_WARN_UNKNOWN_GLYPH
  EXPECT_EQ(HdaSsidPeiEntryPoint(nullptr, Pei.PeiServices()), 1u);
  EXPECT_EQ(Pei.Policy.SsidTable, SsidTableA194.Entries);
}

}  // namespace
