// Copyright (c) 2026, HdaSsid contributors. All rights reserved.
// SPDX-License-Identifier: BSD-2-Clause-Patent
//
// libFuzzer target: the readers and rewriters behind hdapack, on any bytes.
// The PE/COFF reader, the compaction, the TE conversion, the firmware-file
// and section readers, placing a file in a volume, and the execute-in-place
// pad must each end in a clean error or a sound result: never a crash, a
// hang or a read outside the input (AddressSanitizer watches the reads).
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <span>
#include <string>

#include "SettingsBlock.h"
#include "FirmwareFile.h"
#include "PeImage.h"

namespace {

void Check(bool Holds, const char *What) {
  if (!Holds) {
    std::fprintf(stderr, "invariant violated: %s\n", What);
    std::abort();
  }
}

void CheckImage(std::span<const uint8_t> Bytes) {
  std::string Error;
  const auto Image = pecoff::Parse(Bytes, &Error);
  if (!Image) {
    Check(!Error.empty(), "a refused image comes with a reason");
    return;
  }
  for (const pecoff::Section &S : Image->Sections) {
    Check(S.RawSize == 0 || uint64_t{S.RawOffset} + S.RawSize <= Bytes.size(), "sections lie in the file");
  }
  if (const auto Compact = pecoff::Compact(Bytes, &Error)) {
    Check(Compact->size() <= Bytes.size(), "compaction never grows an image");
    const auto Again = pecoff::Compact(*Compact, &Error);
    Check(Again && *Again == *Compact, "a compact image stays as it is");
    const auto Parsed = pecoff::Parse(*Compact, &Error);
    Check(Parsed && Parsed->PeOffset == pecoff::kDosHeaderSize, "a compact image parses, e_lfanew 0x40");
  }
  if (const auto Te = pifw::ConvertToTe(Bytes, &Error)) {
    Check(Te->size() >= pifw::kTeHeaderSize && pifw::ImageBaseBias(*Te).has_value(), "a TE image has a base");
  }
}

void CheckFirmwareFile(std::span<const uint8_t> Bytes) {
  if (!pifw::CheckFile(Bytes).empty()) {
    return;
  }
  std::string Error;
  if (const auto Sections = pifw::ParseSections(Bytes, &Error)) {
    for (const pifw::ParsedSection &S : *Sections) {
      Check(S.Offset + S.Size <= Bytes.size(), "sections lie in the file");
    }
  }
  pifw::Bytes Volume(72, 0xFF);
  const size_t End = 72 + 4096;
  if (const auto Next = pifw::PlaceFile(Volume, 72, End, Bytes, true)) {
    Check(*Next <= End && Volume.size() <= End, "a placed file stays inside the volume");
  }
}

void CheckPad(std::span<const uint8_t> Bytes) {
  if (Bytes.size() < 8) {
    return;
  }
  const size_t Start = (Bytes[0] | Bytes[1] << 8) & ~size_t{3};
  const uint32_t Bias = Bytes[2] | Bytes[3] << 8 | uint32_t{Bytes[4]} << 16;
  const uint32_t Align = 1u << (Bytes[5] % 17);
  auto Aligns = [&](size_t Pad) { return ((Start + Pad + 4 - pifw::kFileHeaderSize - Bias) & (Align - 1)) == 0; };
  if (const auto Pad = pifw::XipPadSize(Start, Bias, Align)) {
    Check(*Pad % 4 == 0 && Aligns(*Pad), "the pad is a whole section and aligns the base");
  } else if (Align <= 1024) {
    for (size_t Pad = 4; Pad <= Align + 4; Pad += 4) {
      Check(!Aligns(Pad), "a pad is refused only when none would do");
    }
  }
}

// Retargeting writes the two fields of the one block it found, in place.
void CheckRetarget(std::span<const uint8_t> Bytes) {
  std::vector<uint8_t> File(Bytes.begin(), Bytes.end());
  std::string Error;
  const settings::Settings New{0xB0000000, 0x608};
  if (!settings::Retarget(File, New, &Error)) {
    Check(!Error.empty(), "a refused retarget comes with a reason");
    Check(std::equal(File.begin(), File.end(), Bytes.begin()), "a refused retarget changes nothing");
    return;
  }
  Check(File.size() == Bytes.size(), "retargeting keeps the size");
  size_t Changed = 0;
  for (size_t I = 0; I < File.size(); ++I) {
    Changed += File[I] != Bytes[I];
  }
  Check(Changed <= 8 + 2 + 1, "only the two fields (and a data checksum) change");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *Data, size_t Size) {
  const std::span<const uint8_t> Bytes(Data, Size);
  CheckImage(Bytes);
  CheckFirmwareFile(Bytes);
  CheckPad(Bytes);
  CheckRetarget(Bytes);
  return 0;
}
