// Checks on the firmware images the build ships, read back from the release
// folder.
#include <gtest/gtest.h>

#include "PeImage.h"

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

// /Brepro leaves one debug entry, of type REPRO (16), with no data; a CodeView
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
  EXPECT_LE(Bytes.size(), GetParam().MaxBytes);
}

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
                                   true, pecoff::kSubsystemEfiBootServiceDriver, 4096, 32, false, 1152},
                      ShippedImage{"HdaSsidInfo", HDA_RELEASE_DIR "/HdaSsidInfo.efi", pecoff::kMachineAmd64, true,
                                   pecoff::kSubsystemEfiApplication, 4096, 32, false, 3584},
                      ShippedImage{"HdaSsidSelectPei", HDA_RELEASE_DIR "/HdaSsidSelectPei.efi", pecoff::kMachineI386,
                                   false, pecoff::kSubsystemEfiBootServiceDriver, 32, 32, true, 3488},
                      ShippedImage{"HdaSsidSelectPeiX64", HDA_RELEASE_DIR "/HdaSsidSelectPeiX64.efi",
                                   pecoff::kMachineAmd64, true, pecoff::kSubsystemEfiBootServiceDriver, 32, 32, false,
                                   3488}),
    [](const auto &Info) { return std::string(Info.param.Name); });

// The OVMF system test boots the q35 builds of the driver and the bring-up
// application. They must be the shipped code with only the board's two
// settings changed: every byte that differs lies in a 32-bit field holding
// an address in the configuration space of 00:1F.3 (the board's in one image,
// q35's in the other), or in a 16- or 32-bit field holding the PM-timer port.
// The link time stamps, content hashes under /Brepro, differ too.
struct BoardPair {
  const char *Name;
  const char *Shipped;
  const char *Q35;
};
void PrintTo(const BoardPair &P, std::ostream *Out) { *Out << P.Name; }

class BoardBuildTest : public ::testing::TestWithParam<BoardPair> {};

uint32_t Le(const std::vector<uint8_t> &B, size_t At, unsigned Width) {
  uint32_t V = 0;
  for (unsigned I = 0; I < Width; ++I) {
    V |= uint32_t{B[At + I]} << (8 * I);
  }
  return V;
}

constexpr uint32_t kHdaConfigOffset = 0x1F << 15 | 3 << 12;
constexpr uint32_t kBoardConfig = HDA_BOARD_ECAM_BASE + kHdaConfigOffset;
constexpr uint32_t kQ35Config = HDA_Q35_ECAM_BASE + kHdaConfigOffset;

bool IsBoardSetting(const std::vector<uint8_t> &Shipped, const std::vector<uint8_t> &Q35, size_t At, unsigned Width) {
  if (At + Width > Shipped.size()) {
    return false;
  }
  const uint32_t S = Le(Shipped, At, Width), Q = Le(Q35, At, Width);
  return (Width == 4 && S - kBoardConfig < 0x1000 && Q == S - kBoardConfig + kQ35Config) ||
         (S == HDA_BOARD_PM_TIMER_PORT && Q == HDA_Q35_PM_TIMER_PORT);
}

TEST_P(BoardBuildTest, DiffersOnlyInTheBoardsEcamAndPmTimerPort) {
  std::string Error;
  auto Shipped = pecoff::ReadFile(GetParam().Shipped, &Error), Q35 = pecoff::ReadFile(GetParam().Q35, &Error);
  ASSERT_TRUE(Shipped && Q35) << Error;
  ASSERT_EQ(Shipped->size(), Q35->size()) << "the two builds are laid out alike";
  const auto Pe = pecoff::Parse(*Shipped, &Error);
  ASSERT_TRUE(Pe) << Error;
  std::vector<size_t> TimeStamps = {Pe->PeOffset + 8};
  const pecoff::DataDirectory Debug = Pe->Directory(pecoff::kDirectoryDebug);
  for (uint32_t Entry = 0; Entry < Debug.Size; Entry += 28) {
    TimeStamps.push_back(*Pe->FileOffset(Debug.Rva + Entry, 28) + 4);
  }
  for (const size_t At : TimeStamps) {
    std::copy_n(Shipped->begin() + At, 4, Q35->begin() + At);
  }
  size_t Settings = 0;
  for (size_t I = 0; I < Shipped->size();) {
    if ((*Shipped)[I] == (*Q35)[I]) {
      ++I;
      continue;
    }
    size_t Next = 0;
    for (const unsigned Width : {4u, 2u}) {
      for (size_t Start = I >= Width - 1 ? I - (Width - 1) : 0; Next == 0 && Start <= I; ++Start) {
        if (IsBoardSetting(*Shipped, *Q35, Start, Width)) {
          Next = Start + Width;
        }
      }
    }
    ASSERT_NE(Next, 0u) << "byte at file offset " << I << " differs and is no board setting";
    ++Settings;
    I = Next;
  }
  EXPECT_GT(Settings, 0u) << "the q35 build carries q35's settings";
}

INSTANTIATE_TEST_SUITE_P(
    Q35, BoardBuildTest,
    ::testing::Values(BoardPair{"HdaSsidDetectDxe", HDA_LINKED_DXE_IMAGE, HDA_LINKED_DXE_Q35_IMAGE},
                      BoardPair{"HdaSsidInfo", HDA_LINKED_INFO_IMAGE, HDA_LINKED_INFO_Q35_IMAGE}),
    [](const auto &Info) { return std::string(Info.param.Name); });

}  // namespace
