// Copyright (c) 2026, HdaSsid contributors. All rights reserved.
// SPDX-License-Identifier: BSD-2-Clause-Patent
//
// Checks on the firmware images the build ships, read back from the release
// folder.
#include <gtest/gtest.h>

#include "PeImage.h"
#include "SizeBars.h"

namespace {

struct ShippedImage {
  const char *Name;
  const char *Path;
  uint16_t Machine;
  bool Pe32Plus;
  uint16_t Subsystem;
  uint32_t SectionAlignment;
  uint32_t FileAlignment;
  bool NeedsRelocations;
  size_t MaxBytes;
};
void PrintTo(const ShippedImage &I, std::ostream *Out) { *Out << I.Name; }

class ImageTest : public ::testing::TestWithParam<ShippedImage> {
protected:
  void SetUp() override {
    std::string Error;
    auto Read = pecoff::ReadFile(GetParam().Path, &Error);
    ASSERT_TRUE(Read) << Error;
    Bytes = std::move(*Read);
    auto Parsed = pecoff::Parse(Bytes, &Error);
    ASSERT_TRUE(Parsed) << Error;
    Pe = std::move(*Parsed);
  }
  std::vector<uint8_t> Bytes;
  pecoff::Image Pe{};
};

TEST_P(ImageTest, IsAnEfiImageForItsMachineAndSubsystem) {
  EXPECT_EQ(Pe.Machine, GetParam().Machine);
  EXPECT_EQ(Pe.Pe32Plus, GetParam().Pe32Plus);
  EXPECT_EQ(Pe.Subsystem, GetParam().Subsystem);
  EXPECT_EQ(Pe.Directory(pecoff::kDirectoryImport).Size, 0u) << "firmware images import nothing";
}

// No debug entry at all, or only REPRO (16) ones with no data; a CodeView
// entry would carry a PDB path and make the bytes depend on the build folder.
TEST_P(ImageTest, CarriesNoDebugPaths) {
  const pecoff::DataDirectory Debug = Pe.Directory(pecoff::kDirectoryDebug);
  ASSERT_EQ(Debug.Size % 28, 0u);
  for (uint32_t Entry = 0; Entry < Debug.Size; Entry += 28) {
    const auto Offset = Pe.FileOffset(Debug.Rva + Entry, 28);
    ASSERT_TRUE(Offset);
    EXPECT_EQ(Bytes[*Offset + 12], 16) << "debug entry type";
    EXPECT_EQ(Bytes[*Offset + 16], 0) << "debug data size";
  }
}

TEST_P(ImageTest, StaysWithinItsSizeBar) { EXPECT_LE(Bytes.size(), GetParam().MaxBytes); }

TEST_P(ImageTest, SectionsAreAlignedAndNeverWritableAndExecutable) {
  EXPECT_EQ(Pe.SectionAlignment, GetParam().SectionAlignment);
  EXPECT_EQ(Pe.FileAlignment, GetParam().FileAlignment);
  for (const pecoff::Section &S : Pe.Sections) {
    SCOPED_TRACE(S.Name);
    EXPECT_EQ(S.VirtualAddress % Pe.SectionAlignment, 0u);
    EXPECT_EQ(S.RawOffset % Pe.FileAlignment, 0u);
    EXPECT_FALSE((S.Characteristics & pecoff::kSectionWrite) && (S.Characteristics & pecoff::kSectionExecute));
  }
}

// The compact layout: a bare DOS header, headers rounded up to the file
// alignment only, the first section's data right behind them; an image laid
// out to execute in place keeps every section at its RVA in the file.
TEST_P(ImageTest, HeadersAreCompact) {
  EXPECT_EQ(Pe.PeOffset, pecoff::kDosHeaderSize);
  const uint32_t Headers = Pe.OptionalHeaderOffset + (Bytes[Pe.PeOffset + 20] | Bytes[Pe.PeOffset + 21] << 8) +
                           40 * static_cast<uint32_t>(Pe.Sections.size());
  EXPECT_EQ(Pe.SizeOfHeaders, (Headers + Pe.FileAlignment - 1) / Pe.FileAlignment * Pe.FileAlignment);
  ASSERT_FALSE(Pe.Sections.empty());
  EXPECT_EQ(Pe.Sections.front().RawOffset, Pe.SizeOfHeaders);
  if (Pe.SectionAlignment == Pe.FileAlignment) {
    for (const pecoff::Section &S : Pe.Sections) {
      EXPECT_EQ(S.VirtualAddress, S.RawOffset) << S.Name;
    }
  }
}

TEST_P(ImageTest, EntryPointLiesInCode) {
  const pecoff::Section *Code = Pe.SectionAt(Pe.EntryPoint);
  ASSERT_NE(Code, nullptr);
  EXPECT_TRUE(Code->Characteristics & pecoff::kSectionExecute);
  EXPECT_LT(Pe.EntryPoint, Code->VirtualAddress + Code->VirtualSize);
}

TEST_P(ImageTest, RelocationsStayInsideTheImage) {
  EXPECT_FALSE(Pe.Characteristics & pecoff::kFileRelocsStripped) << "the loader may have to rebase it";
  if (GetParam().NeedsRelocations) {
    EXPECT_FALSE(Pe.Relocations.empty());
  }
  for (const pecoff::Relocation &R : Pe.Relocations) {
    const uint32_t Width = R.Type == 10 ? 8 : 4;  // DIR64 or HIGHLOW
    EXPECT_TRUE(R.Type == 3 || R.Type == 10) << "unexpected relocation type " << int(R.Type);
    const pecoff::Section *S = Pe.SectionAt(R.Rva);
    ASSERT_NE(S, nullptr) << "relocation at " << R.Rva;
    EXPECT_LE(R.Rva + Width, S->VirtualAddress + S->RawSize);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Shipped, ImageTest,
    ::testing::Values(ShippedImage{"HdaSsidDetectDxe", HDA_RELEASE_DIR "/HdaSsidDetectDxe.efi", pecoff::kMachineAmd64,
                                   true, pecoff::kSubsystemEfiBootServiceDriver, 4096, 32, false, size_bars::kDriver},
                      ShippedImage{"HdaSsidInfo", HDA_RELEASE_DIR "/HdaSsidInfo.efi", pecoff::kMachineAmd64, true,
                                   pecoff::kSubsystemEfiApplication, 4096, 32, false, size_bars::kApplication},
                      ShippedImage{"HdaSsidSelectPei", HDA_RELEASE_DIR "/HdaSsidSelectPei.efi", pecoff::kMachineI386,
                                   false, pecoff::kSubsystemEfiBootServiceDriver, 32, 32, true, size_bars::kPeim},
                      ShippedImage{"HdaSsidSelectPeiX64", HDA_RELEASE_DIR "/HdaSsidSelectPeiX64.efi",
                                   pecoff::kMachineAmd64, true, pecoff::kSubsystemEfiBootServiceDriver, 32, 32, false,
                                   size_bars::kPeim}),
    [](const auto &Info) { return std::string(Info.param.Name); });

}  // namespace
