// Copyright (c) 2026, HdaSsid contributors. All rights reserved.
// SPDX-License-Identifier: BSD-2-Clause-Patent

#include "SettingsBlock.h"

#include <algorithm>
#include <cstring>

#include "FirmwareFile.h"
#include "HdaPlatformSettings.h"
#include "PeImage.h"

namespace settings {
namespace {

uint64_t Le(std::span<const uint8_t> In, size_t At, unsigned Size) {
  uint64_t Value = 0;
  for (unsigned I = 0; I < Size; ++I) {
    Value |= uint64_t{In[At + I]} << (8 * I);
  }
  return Value;
}

void PutLe(std::span<uint8_t> Out, size_t At, uint64_t Value, unsigned Size) {
  for (unsigned I = 0; I < Size; ++I) {
    Out[At + I] = static_cast<uint8_t>(Value >> (8 * I));
  }
}

constexpr size_t kSignatureSize = sizeof(HDA_PLATFORM_SETTINGS_SIGNATURE) - 1;

// The PE32 section's payload of a firmware file, or the whole input when it
// is an image.
std::optional<std::span<uint8_t>> ImageIn(std::span<uint8_t> File, bool *IsFirmwareFile, std::string *Error) {
  *IsFirmwareFile = !(File.size() >= 2 && File[0] == 'M' && File[1] == 'Z');
  if (!*IsFirmwareFile) {
    return File;
  }
  const auto Sections = pifw::ParseSections(File, Error);
  if (!Sections) {
    *Error = "neither a PE/COFF image nor a sound firmware file: " + *Error;
    return std::nullopt;
  }
  const auto Pe32 = std::find_if(Sections->begin(), Sections->end(),
                                 [](const pifw::ParsedSection &S) { return S.Type == pifw::kSectionPe32; });
  if (Pe32 == Sections->end()) {
    *Error = "the firmware file has no PE32 section";
    return std::nullopt;
  }
  return File.subspan(Pe32->Offset, Pe32->Size);
}

}  // namespace

std::string Unusable(uint64_t EcamBase, uint64_t PmTimerPort) {
  if (!HdaEcamBaseUsable(EcamBase)) {
    return "the driver cannot use this ECAM base: it must be a window on a 1 MiB boundary below 4 GiB, not 0";
  }
  if (PmTimerPort > 0xFFFF || !HdaPmTimerPortUsable(static_cast<uint16_t>(PmTimerPort))) {
    return "the driver cannot use this PM-timer port: it must be a 4-byte aligned I/O port, not 0";
  }
  return {};
}

std::optional<Located> Find(std::span<const uint8_t> Image, std::string *Error) {
  const auto Pe = pecoff::Parse(Image, Error);
  if (!Pe) {
    return std::nullopt;
  }
  const auto Signature = reinterpret_cast<const uint8_t *>(HDA_PLATFORM_SETTINGS_SIGNATURE);
  std::optional<size_t> Block;
  for (auto At = Image.begin();
       (At = std::search(At, Image.end(), Signature, Signature + kSignatureSize)) != Image.end(); ++At) {
    if (Block) {
      *Error = "the image carries more than one board-settings signature";
      return std::nullopt;
    }
    Block = static_cast<size_t>(At - Image.begin());
  }
  if (!Block) {
    *Error = "the image carries no platform settings (not a driver or application of this project)";
    return std::nullopt;
  }
  const bool InSection = std::any_of(Pe->Sections.begin(), Pe->Sections.end(), [&](const pecoff::Section &S) {
    return *Block >= S.RawOffset && *Block + sizeof(HDA_PLATFORM_SETTINGS) <= uint64_t{S.RawOffset} + S.RawSize;
  });
  if (!InSection) {
    *Error = "the board-settings block does not lie in a section's data";
    return std::nullopt;
  }
  const size_t Ecam = *Block + HDA_PLATFORM_ECAM_FIELD_OFFSET, Port = *Block + HDA_PLATFORM_PM_TIMER_FIELD_OFFSET;
  const size_t Converge = *Block + HDA_PLATFORM_CONVERGENCE_RESET_FIELD_OFFSET;
  return Located{{Le(Image, Ecam, 8), static_cast<uint16_t>(Le(Image, Port, 2)), Image[Converge] != 0 ? 1 : 0},
                 Ecam, Port, Converge};
}

std::optional<Located> FindInFile(std::span<uint8_t> File, size_t *ImageAt, std::string *Error) {
  bool IsFirmwareFile = false;
  const auto Image = ImageIn(File, &IsFirmwareFile, Error);
  if (!Image) {
    return std::nullopt;
  }
  *ImageAt = static_cast<size_t>(Image->data() - File.data());
  return Find(*Image, Error);
}

bool Retarget(std::vector<uint8_t> &File, const Settings &New, std::string *Error) {
  if (*Error = Unusable(New.EcamBase, New.PmTimerPort); !Error->empty()) {
    return false;
  }
  bool IsFirmwareFile = false;
  const auto Image = ImageIn(File, &IsFirmwareFile, Error);
  if (!Image) {
    return false;
  }
  const auto Block = Find(*Image, Error);
  if (!Block) {
    return false;
  }
  PutLe(*Image, Block->EcamOffset, New.EcamBase, 8);
  PutLe(*Image, Block->PmTimerPortOffset, New.PmTimerPort, 2);
  if (New.ConvergenceReset >= 0) {
    (*Image)[Block->ConvergenceResetOffset] = static_cast<uint8_t>(New.ConvergenceReset != 0);
  }
  if (IsFirmwareFile && (File[19] & pifw::kFileAttribChecksum) != 0) {
    const size_t Size = Le(File, 20, 3);
    uint8_t Sum = 0;
    for (size_t I = pifw::kFileHeaderSize; I < Size; ++I) {
      Sum = static_cast<uint8_t>(Sum + File[I]);
    }
    File[17] = static_cast<uint8_t>(0x100 - Sum);
  }
  return true;
}

}  // namespace settings
