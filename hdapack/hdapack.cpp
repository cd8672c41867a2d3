// Copyright (c) 2026, HdaSsid contributors. All rights reserved.
// SPDX-License-Identifier: BSD-2-Clause-Patent
//
// hdapack: packages firmware images the way firmware engineers consume them:
// the compact PE layout, the TE form, dependency expressions, firmware
// files, volumes, and a driver's platform settings (kUsage below lists the
// commands; `hdapack --help` prints it). Every output is written whole or
// not at all; errors say what was wrong.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "SettingsBlock.h"
#include "FirmwareFile.h"
#include "PeImage.h"

namespace {

using pifw::Bytes;

struct Options {
  std::map<std::string, std::vector<std::string>> Named;
  std::vector<std::string> Positional;
  std::string Get(const std::string &Name, const std::string &Default = "") const {
    const auto Found = Named.find(Name);
    return Found == Named.end() ? Default : Found->second.back();
  }
};

[[noreturn]] void Fail(const std::string &Why) {
  std::fprintf(stderr, "hdapack: %s\n", Why.c_str());
  std::exit(1);
}

std::string Require(const Options &O, const std::string &Name) {
  const std::string Value = O.Get(Name);
  if (Value.empty()) {
    Fail("missing --" + Name);
  }
  return Value;
}

Bytes Read(const std::string &Path) {
  std::string Error;
  auto Data = pifw::ReadAll(Path, &Error);
  if (!Data) {
    Fail(Error);
  }
  return *Data;
}

void Write(const std::string &Path, const Bytes &Data) {
  std::string Error;
  if (!pifw::WriteAll(Path, Data, &Error)) {
    Fail(Error);
  }
}

pifw::Guid GuidOption(const std::string &Text) {
  const auto G = pifw::ParseGuid(Text);
  if (!G) {
    Fail("not a GUID: " + Text);
  }
  return *G;
}

// An image must parse as PE/COFF (or be the TE form of one) before it is
// wrapped: a truncated or foreign file gives an error, never a firmware file.
void CheckImage(const Bytes &Image, const std::string &Path) {
  std::string Error;
  if (Image.size() >= 2 && Image[0] == 'V' && Image[1] == 'Z') {
    if (Image.size() < pifw::kTeHeaderSize || !pifw::ImageBaseBias(Image)) {
      Fail(Path + ": malformed TE image");
    }
    return;
  }
  if (!pecoff::Parse(Image, &Error)) {
    Fail(Path + ": " + Error);
  }
}

void MakeCompact(const Options &O) {
  const std::string In = Require(O, "in");
  std::string Error;
  const auto Compact = pecoff::Compact(Read(In), &Error);
  if (!Compact) {
    Fail(In + ": " + Error);
  }
  Write(Require(O, "out"), *Compact);
}

void MakeTe(const Options &O) {
  const std::string In = Require(O, "in");
  const Bytes Pe = Read(In);
  std::string Error;
  const auto Te = pifw::ConvertToTe(Pe, &Error);
  if (!Te) {
    Fail(In + ": " + Error);
  }
  Write(Require(O, "out"), *Te);
}

void MakeDepex(const Options &O) {
  std::vector<pifw::Guid> Guids;
  if (const auto Found = O.Named.find("guid"); Found != O.Named.end()) {
    for (const std::string &Text : Found->second) {
      Guids.push_back(GuidOption(Text));
    }
  }
  Write(Require(O, "out"), pifw::BuildDepex(Guids));
}

void MakeFfs(const Options &O) {
  static const std::map<std::string, uint8_t> Types = {
      {"peim", pifw::kFileTypePeim}, {"driver", pifw::kFileTypeDriver},
      {"application", pifw::kFileTypeApplication}};
  const auto Type = Types.find(Require(O, "type"));
  if (Type == Types.end()) {
    Fail("--type must be peim, driver or application");
  }
  const std::string ImagePath = Require(O, "image");
  const Bytes Image = Read(ImagePath);
  CheckImage(Image, ImagePath);
  const bool Te = Image[0] == 'V';

  pifw::FileContents Contents{GuidOption(Require(O, "guid")), Type->second, 0, {}};
  size_t Offset = pifw::kFileHeaderSize;  // where the next section starts
  auto Add = [&](Bytes Section) {
    Offset = (Offset + 3) / 4 * 4 + Section.size();
    Contents.Sections.push_back(std::move(Section));
  };
  if (const std::string Depex = O.Get("depex"); !Depex.empty()) {
    if (Type->second == pifw::kFileTypeApplication) {
      Fail("applications carry no dependency expression");
    }
    Add(pifw::Section(Type->second == pifw::kFileTypePeim ? pifw::kSectionPeiDepex : pifw::kSectionDxeDepex,
                      Read(Depex)));
  }
  if (const uint32_t Align = std::stoul(O.Get("xip-align", "0")); Align > 1) {
    // The image's base (for TE, StrippedSize - 40 bytes before its header)
    // must land on Align relative to the file's data; a RAW section pads.
    const auto Alignment = pifw::FfsAlignmentFor(Align);
    if (!Alignment || (Align & (Align - 1)) != 0) {
      Fail("--xip-align must be a power of two up to 64K");
    }
    Contents.Attributes = static_cast<uint8_t>(Alignment->Field << 3);
    const uint32_t Bias = *pifw::ImageBaseBias(Image);
    const auto Pad = pifw::XipPadSize((Offset + 3) / 4 * 4, Bias, Align);
    if (!Pad) {
      Fail(ImagePath + ": no pad section can put the image base (" + std::to_string(Bias) +
           " bytes before the image) on a " + std::to_string(Align) + "-byte boundary");
    }
    if (*Pad != 0) {
      Add(pifw::Section(pifw::kSectionRaw, Bytes(*Pad - 4, 0)));
    }
  }
  Add(pifw::Section(Te ? pifw::kSectionTe : pifw::kSectionPe32, Image));
  Add(pifw::Section(pifw::kSectionUserInterface, pifw::Utf16z(Require(O, "name"))));
  Bytes Version(2);
  const unsigned long Build = std::stoul(O.Get("build", "0"));
  Version[0] = static_cast<uint8_t>(Build);
  Version[1] = static_cast<uint8_t>(Build >> 8);
  const Bytes Text = pifw::Utf16z(O.Get("version", "1.0"));
  Version.insert(Version.end(), Text.begin(), Text.end());
  Add(pifw::Section(pifw::kSectionVersion, Version));
  Write(Require(O, "out"), pifw::BuildFile(Contents));
}

void MakeVolume(const Options &O) {
  std::vector<Bytes> Files;
  for (const std::string &Path : O.Positional) {
    Bytes File = Read(Path);
    if (const std::string Why = pifw::CheckFile(File); !Why.empty()) {
      Fail(Path + ": " + Why);
    }
    Files.push_back(std::move(File));
  }
  Write(Require(O, "out"), pifw::BuildVolume(Files));
}

void ShowSettings(const Options &O) {
  const std::string In = Require(O, "in");
  Bytes File = Read(In);
  std::string Error;
  size_t ImageAt = 0;
  const auto Block = settings::FindInFile(File, &ImageAt, &Error);
  if (!Block) {
    Fail(In + ": " + Error);
  }
  // Offsets in the image, as an INF's [PatchPcd] gives them; for a firmware
  // file also where they lie in the file.
  const auto Where = [&](size_t Offset) {
    char Text[64];
    std::snprintf(Text, sizeof Text, ImageAt == 0 ? "0x%zX" : "0x%zX in the PE32 image (0x%zX in the file)", Offset,
                  ImageAt + Offset);
    return std::string(Text);
  };
  std::printf("ecam-base 0x%llX at %s\npm-timer-port 0x%X at %s\nconvergence-reset 0x%X at %s\n",
              static_cast<unsigned long long>(Block->Values.EcamBase), Where(Block->EcamOffset).c_str(),
              Block->Values.PmTimerPort, Where(Block->PmTimerPortOffset).c_str(), Block->Values.ConvergenceReset,
              Where(Block->ConvergenceResetOffset).c_str());
}

uint64_t NumberOption(const Options &O, const std::string &Name) {
  const std::string Text = Require(O, Name);
  size_t End = 0;
  const unsigned long long Value = std::stoull(Text, &End, 0);
  if (End != Text.size()) {
    Fail("--" + Name + " is not a number: " + Text);
  }
  return Value;
}

void Retarget(const Options &O) {
  const std::string In = Require(O, "in");
  const uint64_t Ecam = NumberOption(O, "ecam-base"), Port = NumberOption(O, "pm-timer-port");
  if (const std::string Why = settings::Unusable(Ecam, Port); !Why.empty()) {
    Fail(Why);
  }
  int Converge = -1;  // as the image has it
  if (const std::string Given = O.Get("convergence-reset"); !Given.empty()) {
    if (Given != "on" && Given != "off") {
      Fail("--convergence-reset is on or off, not " + Given);
    }
    Converge = Given == "on" ? 1 : 0;
  }
  Bytes File = Read(In);
  std::string Error;
  if (!settings::Retarget(File, {Ecam, static_cast<uint16_t>(Port), Converge}, &Error)) {
    Fail(In + ": " + Error);
  }
  Write(Require(O, "out"), File);
}

}  // namespace

const char kUsage[] =
    "usage: hdapack COMMAND [options]\n"
    "  compact  --in IMAGE.efi --out IMAGE.efi        the compact PE layout (bare DOS header, headers\n"
    "                                                 rounded to the file alignment)\n"
    "  te       --in IMAGE.efi --out IMAGE.te         the TE form of a PE32/PE32+ image\n"
    "  depex    --out FILE.depex [--guid GUID]...     PUSH each GUID, AND them (no GUID: TRUE)\n"
    "  ffs      --out FILE.ffs --type peim|driver|application --guid FILE_GUID --image IMAGE.efi|IMAGE.te\n"
    "           [--depex FILE.depex] --name NAME [--version TEXT] [--build N] [--xip-align BYTES]\n"
    "  volume   --out FILE.fv FILE.ffs...             a minimal FFS2 volume holding the files\n"
    "  settings --in IMAGE.efi|FILE.ffs               the platform settings a driver carries, and where\n"
    "  retarget --in IMAGE.efi|FILE.ffs --out ... --ecam-base ADDRESS --pm-timer-port PORT\n"
    "           [--convergence-reset on|off]\n"
    "                                                 a copy with other platform settings\n"
    "Every output is written whole or not at all.\n";

int main(int Argc, char **Argv) {
  if (Argc == 2 && (std::string(Argv[1]) == "--help" || std::string(Argv[1]) == "-h" ||
                    std::string(Argv[1]) == "help")) {
    std::fputs(kUsage, stdout);
    return 0;
  }
  if (Argc < 2) {
    std::fputs(kUsage, stderr);
    return 1;
  }
  Options O;
  for (int I = 2; I < Argc; ++I) {
    const std::string Arg = Argv[I];
    if (Arg.rfind("--", 0) == 0) {
      if (I + 1 >= Argc) {
        Fail("option " + Arg + " needs a value");
      }
      O.Named[Arg.substr(2)].push_back(Argv[++I]);
    } else {
      O.Positional.push_back(Arg);
    }
  }
  const std::string Command = Argv[1];
  try {
    if (Command == "compact") {
      MakeCompact(O);
    } else if (Command == "te") {
      MakeTe(O);
    } else if (Command == "depex") {
      MakeDepex(O);
    } else if (Command == "ffs") {
      MakeFfs(O);
    } else if (Command == "volume") {
      MakeVolume(O);
    } else if (Command == "settings" || Command == "board") {  // board: its name before 1.1
      ShowSettings(O);
    } else if (Command == "retarget") {
      Retarget(O);
    } else {
      Fail("unknown command " + Command + " (hdapack --help lists them)");
    }
  } catch (const std::exception &E) {
    Fail(std::string("bad option value: ") + E.what());
  }
  return 0;
}
