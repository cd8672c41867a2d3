// Copyright (c) 2026, HdaSsid contributors. All rights reserved.
// SPDX-License-Identifier: BSD-2-Clause-Patent
//
// The release folder: firmware files, dependency expressions, the TE PEIM.
#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <tuple>

#include "SettingsBlock.h"
#include "FirmwareFile.h"
#include "PeImage.h"
#include "SizeBars.h"

namespace {

namespace fs = std::filesystem;
using pifw::Bytes;

const fs::path kRelease = HDA_RELEASE_DIR;

Bytes Load(const fs::path &Path) {
  std::string Error;
  auto Data = pifw::ReadAll(Path.string(), &Error);
  EXPECT_TRUE(Data) << Error;
  return Data.value_or(Bytes{});
}

uint32_t Le(const Bytes &B, size_t At, unsigned Size) {
  uint32_t V = 0;
  for (unsigned I = 0; I < Size; ++I) {
    V |= uint32_t{B.at(At + I)} << (8 * I);
  }
  return V;
}

// Runs a command; returns its exit status and what it printed.
std::pair<int, std::string> RunCommand(const std::string &Command) {
  std::string Output;
  FILE *Pipe = popen((Command + " 2>&1").c_str(), "r");
  char Buffer[512];
  while (Pipe != nullptr && fgets(Buffer, sizeof Buffer, Pipe) != nullptr) {
    Output += Buffer;
  }
  const int Status = Pipe != nullptr ? pclose(Pipe) : -1;
  return {Status, Output};
}

struct ShippedFile {
  const char *Stem;  // of the .ffs file
  const char *Module;
  uint8_t Type;
  const char *Guid;
  std::vector<uint8_t> SectionTypes;
  const char *Image;
};
void PrintTo(const ShippedFile &F, std::ostream *Out) { *Out << F.Stem; }

class FirmwareFileTest : public ::testing::TestWithParam<ShippedFile> {
protected:
  void SetUp() override {
    File = Load(kRelease / (std::string(GetParam().Stem) + ".ffs"));
    std::string Error;
    auto Parsed = pifw::ParseSections(File, &Error);
    ASSERT_TRUE(Parsed) << Error;
    Sections = *Parsed;
  }
  Bytes Payload(const pifw::ParsedSection &S) const {
    return Bytes(File.begin() + S.Offset, File.begin() + S.Offset + S.Size);
  }
  Bytes File;
  std::vector<pifw::ParsedSection> Sections;
};

TEST_P(FirmwareFileTest, HeaderIsSoundAndNamesTheModule) {
  const ShippedFile &F = GetParam();
  EXPECT_EQ(pifw::CheckFile(File), "");
  EXPECT_EQ(pifw::FormatGuid(*reinterpret_cast<const pifw::Guid *>(File.data())), F.Guid);
  EXPECT_EQ(File[18], F.Type);
  EXPECT_EQ(File[17], 0xAA);
  EXPECT_EQ(File[23], 0x07) << "a standalone file's state as GenFfs writes it";
  EXPECT_EQ(Le(File, 20, 3), File.size());
}

TEST_P(FirmwareFileTest, SectionsCarryDepexImageNameAndVersion) {
  const ShippedFile &F = GetParam();
  std::vector<uint8_t> Types;
  for (const pifw::ParsedSection &S : Sections) {
    Types.push_back(File[S.Offset - 1]);
    EXPECT_EQ((S.Offset - 4) % 4, 0u) << "sections are 4-byte aligned";
  }
  ASSERT_EQ(Types, F.SectionTypes);
  const Bytes Depex = Payload(Sections.front());
  EXPECT_EQ(Depex, Load(kRelease / (std::string(F.Module) + ".depex")));
  const auto Image = std::find_if(Sections.begin(), Sections.end(), [&](const auto &S) {
    return File[S.Offset - 1] == pifw::kSectionPe32 || File[S.Offset - 1] == pifw::kSectionTe;
  });
  EXPECT_EQ(Payload(*Image), Load(kRelease / F.Image)) << "the image is carried byte for byte";
  EXPECT_EQ(Payload(Sections[Sections.size() - 2]), pifw::Utf16z(F.Module));
  Bytes Version = {HDA_BUILD_NUMBER & 0xFF, HDA_BUILD_NUMBER >> 8};
  const Bytes Text = pifw::Utf16z(HDA_VERSION);
  Version.insert(Version.end(), Text.begin(), Text.end());
  EXPECT_EQ(Payload(Sections.back()), Version);
  // What the file adds to the image: its header, each section's header and
  // payload with up to 3 bytes of alignment, the alignment pad (a RAW
  // section) under the 128 bytes it aligns to. The VERSION text is as long
  // as the profile's name makes it.
  size_t Added = 24 + 4 + 3;
  for (const pifw::ParsedSection &S : Sections) {
    if (&S != &*Image) {
      Added += 4 + Payload(S).size() + 3;
    }
    if (File[S.Offset - 1] == pifw::kSectionRaw) {
      EXPECT_LT(Payload(S).size(), 128u) << "the alignment pad";
    }
  }
  EXPECT_LE(File.size() - Payload(*Image).size(), Added) << "what the firmware file adds";
}

INSTANTIATE_TEST_SUITE_P(
    Release, FirmwareFileTest,
    ::testing::Values(ShippedFile{"HdaSsidDetectDxe", "HdaSsidDetectDxe", pifw::kFileTypeDriver,
                                  "33C5156A-EE87-49AC-ADBA-659FC9CD1A38",
                                  {pifw::kSectionDxeDepex, pifw::kSectionPe32, pifw::kSectionUserInterface,
                                   pifw::kSectionVersion},
                                  "HdaSsidDetectDxe.efi"},
                      ShippedFile{"HdaSsidSelectPei", "HdaSsidSelectPei", pifw::kFileTypePeim,
                                  "CEBA3BA8-1036-4B18-A710-8B6A9255144A",
                                  {pifw::kSectionPeiDepex, pifw::kSectionRaw,
                                   HDA_PEIM_AS_TE ? pifw::kSectionTe : pifw::kSectionPe32,
                                   pifw::kSectionUserInterface, pifw::kSectionVersion},
                                  HDA_PEIM_AS_TE ? "HdaSsidSelectPei.te" : "HdaSsidSelectPei.efi"},
                      ShippedFile{"HdaSsidSelectPeiX64", "HdaSsidSelectPei", pifw::kFileTypePeim,
                                  "CEBA3BA8-1036-4B18-A710-8B6A9255144A",
                                  {pifw::kSectionPeiDepex, pifw::kSectionRaw,
                                   HDA_PEIM_AS_TE ? pifw::kSectionTe : pifw::kSectionPe32,
                                   pifw::kSectionUserInterface, pifw::kSectionVersion},
                                  HDA_PEIM_AS_TE ? "HdaSsidSelectPeiX64.te" : "HdaSsidSelectPeiX64.efi"}),
    [](const auto &Info) { return std::string(Info.param.Stem); });

// Golden bytes: PUSH <GUID> for each, AND, END (PI volume 2 depex grammar).
TEST(Depex, ExpressionsAreTheGoldenBytes) {
  const Bytes Driver = {
      0x02, 0xE2, 0x68, 0x56, 0x1E, 0x81, 0x84, 0xD4, 0x11, 0xBC, 0xF1, 0x00, 0x80, 0xC7, 0x3C, 0x88, 0x81,
      0x02, 0x18, 0xF8, 0x41, 0x64, 0x62, 0x63, 0x44, 0x4E, 0xB5, 0x70, 0x7D, 0xBA, 0x31, 0xDD, 0x24, 0x53,
      0x03, 0x08};
  const Bytes Peim = {
      0x02, 0xF5, 0x6E, 0xB8, 0x2A, 0xB5, 0xEC, 0x34, 0x41, 0xB5, 0x56, 0x38, 0x54, 0xCA, 0x1F, 0xE1, 0xB4,
      0x02, 0xB5, 0x5B, 0x96, 0x38, 0x97, 0x80, 0xF5, 0x40, 0xB7, 0x42, 0x8C, 0xC1, 0x4A, 0x64, 0x9B, 0x64,
      0x03, 0x08};
  EXPECT_EQ(Load(kRelease / "HdaSsidDetectDxe.depex"), Driver);
  EXPECT_EQ(Load(kRelease / "HdaSsidSelectPei.depex"), Peim);
  EXPECT_EQ(pifw::BuildDepex({}), (Bytes{0x06, 0x08})) << "no dependency is TRUE";
}

// The PEIM's image base (for TE, StrippedSize - 40 bytes before its header)
// sits on its 32-byte section alignment from the file's data, and the file
// asks a volume for data alignment that covers it.
TEST(PeimFile, ImageBaseIsAlignedForExecuteInPlace) {
  for (const char *Name : {"HdaSsidSelectPei.ffs", "HdaSsidSelectPeiX64.ffs"}) {
    SCOPED_TRACE(Name);
    const Bytes File = Load(kRelease / Name);
    std::string Error;
    const auto Sections = pifw::ParseSections(File, &Error);
    ASSERT_TRUE(Sections) << Error;
    EXPECT_GE(pifw::FfsDataAlignment(File[19]), 32u);
    for (const pifw::ParsedSection &S : *Sections) {
      const uint8_t Type = File[S.Offset - 1];
      if (Type == pifw::kSectionTe || Type == pifw::kSectionPe32) {
        const auto Bias = pifw::ImageBaseBias(std::span(File).subspan(S.Offset, S.Size));
        ASSERT_TRUE(Bias);
        EXPECT_EQ((S.Offset - pifw::kFileHeaderSize - *Bias) % 32, 0u);
      }
    }
  }
}

// An image as the PI loader sees it: its sections, linked base and
// relocations, from a PE32/PE32+ image or a TE image (whose section data
// lies StrippedSize - 40 bytes lower in the file than the PE offsets say).
struct LoadView {
  struct Part {
    uint32_t Va, VirtualSize, RawSize, Raw;
  };
  std::vector<Part> Sections;
  uint64_t LinkedBase = 0;
  uint32_t FileShift = 0;
  pecoff::DataDirectory Relocs{};
};

LoadView View(const Bytes &Image) {
  LoadView V;
  size_t Table = 0;
  unsigned Count = 0;
  if (Image.at(0) == 'V') {
    V.FileShift = Le(Image, 6, 2) - 40;
    Count = Image[4];
    Table = 40;
    V.LinkedBase = Le(Image, 16, 4) | uint64_t{Le(Image, 20, 4)} << 32;
    V.Relocs = {Le(Image, 24, 4), Le(Image, 28, 4)};
  } else {
    std::string Error;
    const auto Pe = pecoff::Parse(Image, &Error);
    EXPECT_TRUE(Pe) << Error;
    Count = Pe->Sections.size();
    Table = Pe->OptionalHeaderOffset + Le(Image, Pe->PeOffset + 20, 2);
    V.LinkedBase = Pe->ImageBase;
    V.Relocs = Pe->Directory(pecoff::kDirectoryBaseRelocation);
  }
  for (unsigned S = 0; S < Count; ++S) {
    const size_t At = Table + 40 * S;
    V.Sections.push_back({Le(Image, At + 12, 4), Le(Image, At + 8, 4), Le(Image, At + 16, 4), Le(Image, At + 20, 4)});
  }
  return V;
}

// The fix-ups of a loaded image: (RVA, type) of each HIGHLOW or DIR64.
std::vector<std::pair<uint32_t, uint32_t>> Fixups(const Bytes &Memory, const LoadView &V) {
  std::vector<std::pair<uint32_t, uint32_t>> Out;
  for (uint32_t Block = V.Relocs.Rva; Block < V.Relocs.Rva + V.Relocs.Size;) {
    const uint32_t Page = Le(Memory, Block, 4), Size = Le(Memory, Block + 4, 4);
    for (uint32_t E = Block + 8; E < Block + Size; E += 2) {
      const uint32_t Entry = Le(Memory, E, 2);
      if (Entry >> 12 != pecoff::kRelocationAbsolute) {
        Out.push_back({Page + (Entry & 0xFFF), Entry >> 12});
      }
    }
    Block += Size;
  }
  return Out;
}

// Loads the sections at their RVAs and relocates the image to Base.
Bytes LoadAt(const Bytes &Image, const LoadView &V, uint64_t Base) {
  uint32_t End = 0;
  for (const LoadView::Part &S : V.Sections) {
    End = std::max(End, S.Va + std::max(S.VirtualSize, S.RawSize));
  }
  Bytes Memory(End, 0);
  for (const LoadView::Part &S : V.Sections) {
    std::copy_n(Image.begin() + (S.Raw - V.FileShift), S.RawSize, Memory.begin() + S.Va);
  }
  const uint64_t Delta = Base - V.LinkedBase;
  for (const auto &[Rva, Type] : Fixups(Memory, V)) {
    const unsigned Width = Type == pecoff::kRelocationDir64 ? 8 : 4;
    uint64_t Value = 0;
    std::memcpy(&Value, &Memory[Rva], Width);
    Value += Delta;
    std::memcpy(&Memory[Rva], &Value, Width);
  }
  return Memory;
}

// Each shipped image against the one it is made from: loaded and relocated
// as the PI loader does, every section holds the same code and data. An
// image laid out to execute in place has its sections moved down by as much
// as its headers shrank, so it is loaded that much higher, to the same
// absolute addresses; its relocation table then lists the same fix-ups,
// moved down as well.
struct ImagePair {
  const char *Name;
  const char *Reference;
  const char *Shipped;
  size_t MaxBytes;
};
void PrintTo(const ImagePair &P, std::ostream *Out) { *Out << P.Name; }

class ShippedImageTest : public ::testing::TestWithParam<ImagePair> {};

TEST_P(ShippedImageTest, CarriesTheSameCodeAndDataAfterRelocation) {
  const Bytes Reference = Load(GetParam().Reference), Shipped = Load(GetParam().Shipped);
  EXPECT_LE(Shipped.size(), GetParam().MaxBytes);
  const LoadView Ref = View(Reference), Ship = View(Shipped);
  ASSERT_EQ(Ref.Sections.size(), Ship.Sections.size());
  if (Shipped[0] == 'V') {
    EXPECT_NE(Ship.Relocs.Rva, 0u) << "an empty relocation directory would make the TE image read as stripped";
  }
  const uint32_t Shift = Ref.Sections[0].Va - Ship.Sections[0].Va;
  for (const uint64_t Base : {uint64_t{0xFFF80000}, uint64_t{0x00830000}}) {
    const Bytes A = LoadAt(Reference, Ref, Base), B = LoadAt(Shipped, Ship, Base + Shift);
    for (size_t S = 0; S < Ref.Sections.size(); ++S) {
      const LoadView::Part &R = Ref.Sections[S], &P = Ship.Sections[S];
      ASSERT_EQ(R.Va - P.Va, Shift) << "every section moves alike";
      ASSERT_EQ(R.RawSize, P.RawSize);
      if (Ref.Relocs.Size != 0 && R.Va <= Ref.Relocs.Rva && Ref.Relocs.Rva < R.Va + R.RawSize) {
        continue;  // the relocation table: compared as fix-ups below
      }
      EXPECT_TRUE(std::equal(A.begin() + R.Va, A.begin() + R.Va + R.RawSize, B.begin() + P.Va))
          << "section " << S << " at base " << Base;
    }
  }
  auto Moved = Fixups(LoadAt(Reference, Ref, Ref.LinkedBase), Ref);
  for (auto &Fix : Moved) {
    Fix.first -= Shift;
  }
  EXPECT_EQ(Fixups(LoadAt(Shipped, Ship, Ship.LinkedBase), Ship), Moved);
}

INSTANTIATE_TEST_SUITE_P(
    Release, ShippedImageTest,
    ::testing::Values(ImagePair{"DriverFromLinker", HDA_LINKED_DXE_IMAGE, HDA_RELEASE_DIR "/HdaSsidDetectDxe.efi",
                                size_bars::kDriver},
                      ImagePair{"PeimFromLinker", HDA_LINKED_PEI_IMAGE, HDA_RELEASE_DIR "/HdaSsidSelectPei.efi",
                                size_bars::kPeim},
                      ImagePair{"PeimTeFromPe32", HDA_RELEASE_DIR "/HdaSsidSelectPei.efi",
                                HDA_RELEASE_DIR "/HdaSsidSelectPei.te", size_bars::kPeimTe},
                      ImagePair{"PeimX64FromLinker", HDA_LINKED_PEI_X64_IMAGE,
                                HDA_RELEASE_DIR "/HdaSsidSelectPeiX64.efi", size_bars::kPeim},
                      ImagePair{"PeimX64TeFromPe32", HDA_RELEASE_DIR "/HdaSsidSelectPeiX64.efi",
                                HDA_RELEASE_DIR "/HdaSsidSelectPeiX64.te", size_bars::kPeimTe}),
    [](const auto &Info) { return std::string(Info.param.Name); });

// Inputs hdapack cannot package end in a message and no output, never in a
// hang: a TE image whose image base lies 2 bytes off any 4-byte boundary
// cannot be aligned for execute in place by a pad section.
TEST(Hdapack, RefusesWhatItCannotPackageAndWritesNothing) {
  const fs::path Dir = fs::path(HDA_TEST_SCRATCH) / "malformed";
  fs::remove_all(Dir);
  fs::create_directories(Dir);
  const Bytes Pe = Load(kRelease / "HdaSsidDetectDxe.efi");
  Bytes OddBias = Load(kRelease / "HdaSsidSelectPei.te");
  OddBias.at(6) += 2;  // StrippedSize
  const std::tuple<const char *, Bytes, const char *> Inputs[] = {
      {"truncated.efi", Bytes(Pe.begin(), Pe.begin() + 200), "--type driver"},
      {"text.efi", Bytes{'h', 'e', 'l', 'l', 'o'}, "--type driver"},
      {"odd-bias.te", OddBias, "--type peim --xip-align 32"},
  };
  for (const auto &[Name, Content, Options] : Inputs) {
    std::ofstream(Dir / Name, std::ios::binary).write(reinterpret_cast<const char *>(Content.data()),
                                                       static_cast<std::streamsize>(Content.size()));
    const fs::path Out = Dir / (std::string(Name) + ".ffs");
    const auto [Status, Output] =
        RunCommand(std::string(HDA_HDAPACK) + " ffs " + Options + " --guid 33C5156A-EE87-49AC-ADBA-659FC9CD1A38" +
                   " --name X --image " + (Dir / Name).string() + " --out " + Out.string());
    EXPECT_NE(Status, 0) << Name;
    EXPECT_NE(Output.find("hdapack: "), std::string::npos) << Output;
    EXPECT_FALSE(fs::exists(Out)) << Name;
    const auto [TeStatus, TeOutput] = RunCommand(std::string(HDA_HDAPACK) + " te --in " + (Dir / Name).string() +
                                          " --out " + (Dir / "x.te").string());
    EXPECT_NE(TeStatus, 0) << TeOutput;
    EXPECT_FALSE(fs::exists(Dir / "x.te"));
  }
}

std::string ReadText(const fs::path &Path) {
  std::ifstream In(Path);
  return std::string((std::istreambuf_iterator<char>(In)), {});
}

void Save(const fs::path &Path, const Bytes &Data) {
  std::ofstream(Path, std::ios::binary).write(reinterpret_cast<const char *>(Data.data()),
                                              static_cast<std::streamsize>(Data.size()));
}

// A copy of a firmware file that carries a data checksum (FFS_ATTRIB_CHECKSUM),
// as other tools may write one: the data's checksum and the header's redone.
Bytes WithDataChecksum(Bytes File) {
  File[19] |= pifw::kFileAttribChecksum;
  uint8_t Sum = 0;
  for (size_t I = pifw::kFileHeaderSize; I < File.size(); ++I) {
    Sum = static_cast<uint8_t>(Sum + File[I]);
  }
  File[17] = static_cast<uint8_t>(0x100 - Sum);
  File[16] = 0;
  Sum = 0;
  for (size_t I = 0; I < pifw::kFileHeaderSize; ++I) {
    Sum = static_cast<uint8_t>(Sum + (I == 17 || I == 23 ? 0 : File[I]));
  }
  File[16] = static_cast<uint8_t>(0x100 - Sum);
  return File;
}

// A platform's platform settings go into a copy of a shipped image or firmware
// file: the two fields change and not one byte more (but a data checksum the
// file carries), the file stays sound, and the copy reads back with the new
// values. What the driver could not use, and anything without settings, is
// refused with nothing written.
TEST(Retarget, WritesOnlyTheBoardSettings) {
  const fs::path Dir = fs::path(HDA_TEST_SCRATCH) / "retarget";
  fs::remove_all(Dir);
  fs::create_directories(Dir);
  Save(Dir / "Checksummed.ffs", WithDataChecksum(Load(kRelease / "HdaSsidDetectDxe.ffs")));
  // An ECAM field whose upper half is not 0: all 64 bits are written.
  Bytes UpperHalf = Load(kRelease / "HdaSsidDetectDxe.efi");
  std::string FindError;
  const auto Shipped = settings::Find(UpperHalf, &FindError);
  ASSERT_TRUE(Shipped) << FindError;
  UpperHalf[Shipped->EcamOffset + 4] = 0x01;
  Save(Dir / "UpperHalf.efi", UpperHalf);
  // A second signature makes the block ambiguous.
  Bytes TwoSignatures = Load(kRelease / "HdaSsidDetectDxe.efi");
  const char Signature[] = "HDABOARD";
  std::copy_n(Signature, 8, TwoSignatures.end() - 8);
  Save(Dir / "TwoSignatures.efi", TwoSignatures);
  const fs::path Inputs[] = {kRelease / "HdaSsidDetectDxe.efi", kRelease / "HdaSsidDetectDxe.ffs",
                             kRelease / "HdaSsidInfo.efi", Dir / "Checksummed.ffs", Dir / "UpperHalf.efi"};
  for (const fs::path &In : Inputs) {
    SCOPED_TRACE(In.filename().string());
    const fs::path Out = Dir / ("out-" + In.filename().string());
    const auto [Status, Output] = RunCommand(std::string(HDA_HDAPACK) + " retarget --in " + In.string() + " --out " +
                                             Out.string() + " --ecam-base 0xC0000000 --pm-timer-port 0x408");
    ASSERT_EQ(Status, 0) << Output;
    const Bytes Before = Load(In), After = Load(Out);
    ASSERT_EQ(Before.size(), After.size());
    const bool IsFile = Before[0] != 'M';
    size_t ImageAt = 0;
    if (IsFile) {
      EXPECT_EQ(pifw::CheckFile(After), "");
      std::string Error;
      const auto Sections = pifw::ParseSections(After, &Error);
      ASSERT_TRUE(Sections) << Error;
      for (const pifw::ParsedSection &S : *Sections) {
        ImageAt = S.Type == pifw::kSectionPe32 ? S.Offset : ImageAt;
      }
      if ((After[19] & pifw::kFileAttribChecksum) != 0) {
        uint8_t Sum = After[17];
        for (size_t I = pifw::kFileHeaderSize; I < After.size(); ++I) {
          Sum = static_cast<uint8_t>(Sum + After[I]);
        }
        EXPECT_EQ(Sum, 0) << "the data checksum holds for the new bytes";
      }
    }
    std::string Error;
    const auto Block = settings::Find(std::span(After).subspan(ImageAt), &Error);
    ASSERT_TRUE(Block) << Error;
    EXPECT_EQ(Block->Values.EcamBase, 0xC0000000u);
    EXPECT_EQ(Block->Values.PmTimerPort, 0x408u);
    if (IsFile) {
      // hdapack settings names where the fields lie in the file as well.
      const auto [ShowStatus, Shown] = RunCommand(std::string(HDA_HDAPACK) + " settings --in " + Out.string());
      ASSERT_EQ(ShowStatus, 0) << Shown;
      char Expected[96];
      std::snprintf(Expected, sizeof Expected, "ecam-base 0xC0000000 at 0x%zX in the PE32 image (0x%zX in the file)",
                    Block->EcamOffset, ImageAt + Block->EcamOffset);
      EXPECT_NE(Shown.find(Expected), std::string::npos) << Shown;
    }
    for (size_t I = 0; I < Before.size(); ++I) {
      const size_t InImage = I - ImageAt;
      const bool InField = I >= ImageAt && ((InImage >= Block->EcamOffset && InImage < Block->EcamOffset + 8) ||
                                            (InImage >= Block->PmTimerPortOffset && InImage < Block->PmTimerPortOffset + 2));
      const bool Checksum = IsFile && I == 17 && (Before[19] & pifw::kFileAttribChecksum) != 0;
      if (!InField && !Checksum) {
        ASSERT_EQ(Before[I], After[I]) << "byte " << I << " changed";
      }
    }
  }
  const std::tuple<fs::path, const char *, const char *> Refused[] = {
      {Dir / "TwoSignatures.efi", "--ecam-base 0xB0000000 --pm-timer-port 0x608", "more than one"},
      {"HdaSsidDetectDxe.efi", "--ecam-base 0 --pm-timer-port 0x608", "ECAM base"},
      {"HdaSsidDetectDxe.ffs", "--ecam-base 0xB0080000 --pm-timer-port 0x608", "ECAM base"},
      {"HdaSsidDetectDxe.efi", "--ecam-base 0x100000000 --pm-timer-port 0x608", "ECAM base"},
      {"HdaSsidDetectDxe.ffs", "--ecam-base 0xB0000000 --pm-timer-port 0", "PM-timer port"},
      {"HdaSsidDetectDxe.efi", "--ecam-base 0xB0000000 --pm-timer-port 0x609", "PM-timer port"},
      {"HdaSsidDetectDxe.efi", "--ecam-base 0xB0000000 --pm-timer-port 0x10004", "PM-timer port"},
      {"HdaSsidSelectPei.efi", "--ecam-base 0xB0000000 --pm-timer-port 0x608", "no platform settings"},
      {"HdaSsidSelectPei.ffs", "--ecam-base 0xB0000000 --pm-timer-port 0x608", "no PE32 section"},
  };
  for (const auto &[Name, Options, Why] : Refused) {
    SCOPED_TRACE(Name.string() + " " + Options);
    const fs::path Out = Dir / "refused";
    const auto [Status, Output] = RunCommand(std::string(HDA_HDAPACK) + " retarget --in " + (kRelease / Name).string() +
                                             " --out " + Out.string() + " " + Options);
    EXPECT_NE(Status, 0);
    EXPECT_NE(Output.find("hdapack: "), std::string::npos) << Output;
    EXPECT_NE(Output.find(Why), std::string::npos) << Output;
    EXPECT_FALSE(fs::exists(Out));
  }
}

// EDK2 patches the bytes the INF's [PatchPcd] entries name: in the shipped
// image each offset holds the value the entry and the package's DEC give.
TEST(DriverInf, PatchPcdOffsetsHoldTheDefaultsInTheShippedImage) {
  const std::string Inf = ReadText(kRelease / "HdaSsidDetectDxe.inf");
  const std::string Dec = ReadText(kRelease / "HdaSsidBinPkg.dec");
  const Bytes Image = Load(kRelease / "HdaSsidDetectDxe.efi");
  std::string Error;
  const auto Block = settings::Find(Image, &Error);
  ASSERT_TRUE(Block) << Error;
  const struct {
    const char *Pcd;
    unsigned Bytes;
    size_t Offset;
  } Fields[] = {{"gHdaSsidPkgTokenSpaceGuid.PcdHdaSsidPciExpressBaseAddress", 8, Block->EcamOffset},
                {"gHdaSsidPkgTokenSpaceGuid.PcdHdaSsidAcpiPmTimerPort", 2, Block->PmTimerPortOffset}};
  for (const auto &F : Fields) {
    SCOPED_TRACE(F.Pcd);
    const size_t Entry = Inf.find(std::string(F.Pcd) + "|");
    ASSERT_NE(Entry, std::string::npos) << Inf;
    unsigned long long Value = 0, Offset = 0;
    ASSERT_EQ(std::sscanf(Inf.c_str() + Entry + std::strlen(F.Pcd), "|%llx|%llx", &Value, &Offset), 2);
    EXPECT_EQ(Offset, F.Offset);
    uint64_t InImage = 0;
    for (unsigned I = 0; I < F.Bytes; ++I) {
      InImage |= uint64_t{Image.at(Offset + I)} << (8 * I);
    }
    EXPECT_EQ(InImage, Value);
    const size_t Declared = Dec.find(std::string(F.Pcd) + "|");
    ASSERT_NE(Declared, std::string::npos) << Dec;
    EXPECT_EQ(std::strtoull(Dec.c_str() + Declared + std::strlen(F.Pcd) + 1, nullptr, 0), Value);
  }
}

// An independent parser: UEFIExtract (Debian's uefitool-cli) reads both
// firmware files from a volume and must not complain. It always notes that
// a lone volume has no volume top file; nothing else may be printed.
TEST(UefiExtract, ReadsTheFirmwareFilesWithoutComplaint) {
  const fs::path Dir = fs::path(HDA_TEST_SCRATCH) / "uefiextract";
  fs::remove_all(Dir);
  fs::create_directories(Dir);
  const fs::path Volume = Dir / "release.fv";
  const auto [PackStatus, PackOutput] =
      RunCommand(std::string(HDA_HDAPACK) + " volume --out " + Volume.string() + " " +
          (kRelease / "HdaSsidDetectDxe.ffs").string() + " " + (kRelease / "HdaSsidSelectPei.ffs").string());
  ASSERT_EQ(PackStatus, 0) << PackOutput;
  const auto [Status, Output] = RunCommand("cd " + Dir.string() + " && UEFIExtract release.fv report");
  ASSERT_EQ(Status, 0) << Output;
  std::string Unexpected;
  std::istringstream Lines(Output);
  for (std::string Line; std::getline(Lines, Line);) {
    if (Line.find("Volume Top File") == std::string::npos) {
      Unexpected += Line + "\n";
    }
  }
  EXPECT_EQ(Unexpected, "");
  std::ifstream ReportFile(Dir / "release.fv.report.txt");
  const std::string Report((std::istreambuf_iterator<char>(ReportFile)), {});
  for (const char *Expected :
       {"DXE driver            |", "33C5156A-EE87-49AC-ADBA-659FC9CD1A38 | HdaSsidDetectDxe",
        "PEI module            |", "CEBA3BA8-1036-4B18-A710-8B6A9255144A | HdaSsidSelectPei",
        "DXE dependency section", "PEI dependency section", "PE32 image section",
        HDA_PEIM_AS_TE ? "TE image section" : "PE32 image section", "UI section", "Version section"}) {
    EXPECT_NE(Report.find(Expected), std::string::npos) << Expected << "\n" << Report;
  }
}

}  // namespace
