// Copyright (c) 2026, HdaSsid contributors. All rights reserved.
// SPDX-License-Identifier: BSD-2-Clause-Patent
//
// The rules a board profile gives the modules, checked for whichever profile
// this test is built with (the target board's, one variant, three): each
// variant's answer is recognised and stored as its record, each record
// selects its own table in the profile's order, and nothing else does.
#include <gtest/gtest.h>

#include "FakePei.h"
#include "HdaBoardProfile.h"
#include "HdaProbe.h"
#include "HdaSsidSelectPei.h"
#include "HdaBoardTables.h"

using namespace bench;

namespace {

struct Variant {
  const char *Name;
  UINT32 Answer;
  HDA_SSID_WORD Record;
  const SSID_TABLE *Table;
};
#define HDA_TEST_VARIANT(Name, Vendor, Device) {#Name, (Vendor) << 16 | (Device), HDA_SSID_VARIANT_##Name, &SsidTable##Name},
const Variant kVariants[] = {HDA_BOARD_VARIANTS(HDA_TEST_VARIANT)};
#undef HDA_TEST_VARIANT

std::vector<uint8_t> Bytes(uint32_t Value) {
  return {uint8_t(Value), uint8_t(Value >> 8), uint8_t(Value >> 16), uint8_t(Value >> 24)};
}

const SSID_TABLE_ENTRY *Select(uint32_t Record, const SSID_TABLE_ENTRY *Before = nullptr) {
  FakePei Pei;
  Pei.Record = Bytes(Record);
  Pei.Policy.SsidTable = Before;
  EXPECT_EQ(HdaSsidPeiEntryPoint(nullptr, Pei.PeiServices()), EFI_SUCCESS);
  return Pei.Policy.SsidTable;
}

TEST(BoardProfile, EachVariantIsRecordedAndSelectsItsOwnTable) {
  ASSERT_EQ(std::size(kVariants), HDA_BOARD_VARIANT_COUNT);
  for (const Variant &V : kVariants) {
    SCOPED_TRACE(V.Name);
    HDA_SSID_WORD Stored = 0;
    ASSERT_TRUE(HdaRecognisedSsid(V.Answer, &Stored));
    EXPECT_EQ(Stored, (V.Answer >> 16) | (V.Answer << 16)) << "the answer's halves swapped";
    EXPECT_EQ(Stored, V.Record);
    EXPECT_EQ(Select(V.Record), V.Table->Entries);
    EXPECT_EQ(FindHdaSsid(V.Table->Entries), V.Record);
    const SSID_TABLE_ENTRY *const Chosen = reinterpret_cast<const SSID_TABLE_ENTRY *>(0x1000);
    EXPECT_EQ(Select(V.Record, Chosen), Chosen) << "a table already chosen is never replaced";
  }
}

TEST(BoardProfile, NothingElseIsRecordedOrSelected) {
  HDA_SSID_WORD Stored = 0x5A5A5A5A;
  EXPECT_FALSE(HdaRecognisedSsid(0x12345678, &Stored));
  EXPECT_EQ(HdaRecognisedSsid(0, &Stored), HDA_BOARD_RECORDS_ZERO_ANSWER == 1);
  EXPECT_EQ(Select(FindHdaSsid(SsidTableDefault.Entries)), nullptr) << "the default record";
  EXPECT_EQ(Select(0x12345678), nullptr);
  EXPECT_EQ(Select(0), nullptr);
  EXPECT_EQ(FindDefaultHdaSsid(), HDA_BOARD_DEFAULT_HDA_WORD);
}

}  // namespace
