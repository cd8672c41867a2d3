// Copyright (c) 2026, HdaSsid contributors. All rights reserved.
// SPDX-License-Identifier: BSD-2-Clause-Patent

#include "FirmwareFile.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>

#include "PeImage.h"

namespace pifw {

namespace {

void Put(Bytes &Out, size_t At, uint64_t Value, unsigned Size) {
  for (unsigned I = 0; I < Size; ++I) {
    Out[At + I] = static_cast<uint8_t>(Value >> (8 * I));
  }
}

uint32_t Get(std::span<const uint8_t> In, size_t At, unsigned Size) {
  uint32_t Value = 0;
  for (unsigned I = 0; I < Size; ++I) {
    Value |= uint32_t{In[At + I]} << (8 * I);
  }
  return Value;
}

size_t AlignUp(size_t Value, size_t Alignment) { return (Value + Alignment - 1) / Alignment * Alignment; }

uint8_t HeaderChecksum(std::span<const uint8_t> Header) {
  uint8_t Sum = 0;
  for (size_t I = 0; I < kFileHeaderSize; ++I) {
    if (I != 17 && I != 23) {  // the file checksum and State count as 0
      Sum = static_cast<uint8_t>(Sum + Header[I]);
    }
  }
  return Sum;
}

constexpr uint32_t kFfsAlignments[] = {1, 16, 128, 512, 1024, 4096, 32768, 65536};

}  // namespace

std::optional<Guid> ParseGuid(const std::string &Text) {
  std::string Hex;
  std::string Body = Text;
  if (Body.size() == 38 && Body.front() == '{' && Body.back() == '}') {
    Body = Body.substr(1, 36);
  }
  if (Body.size() != 36 || Body[8] != '-' || Body[13] != '-' || Body[18] != '-' || Body[23] != '-') {
    return std::nullopt;
  }
  for (size_t I = 0; I < Body.size(); ++I) {
    if (I == 8 || I == 13 || I == 18 || I == 23) {
      continue;
    }
    if (!std::isxdigit(static_cast<unsigned char>(Body[I]))) {
      return std::nullopt;
    }
    Hex.push_back(Body[I]);
  }
  uint8_t Raw[16];
  for (size_t I = 0; I < 16; ++I) {
    Raw[I] = static_cast<uint8_t>(std::stoul(Hex.substr(2 * I, 2), nullptr, 16));
  }
  // Data1, Data2 and Data3 are little-endian in memory; Data4 is bytes.
  return Guid{Raw[3], Raw[2], Raw[1], Raw[0], Raw[5], Raw[4], Raw[7], Raw[6],
              Raw[8], Raw[9], Raw[10], Raw[11], Raw[12], Raw[13], Raw[14], Raw[15]};
}

std::string FormatGuid(const Guid &G) {
  char Text[40];
  std::snprintf(Text, sizeof Text, "%02X%02X%02X%02X-%02X%02X-%02X%02X-%02X%02X-%02X%02X%02X%02X%02X%02X",
                G[3], G[2], G[1], G[0], G[5], G[4], G[7], G[6], G[8], G[9], G[10], G[11], G[12], G[13],
                G[14], G[15]);
  return Text;
}

Bytes BuildDepex(const std::vector<Guid> &AllOf) {
  Bytes Out;
  if (AllOf.empty()) {
    Out.push_back(kDepexTrue);
  }
  for (size_t I = 0; I < AllOf.size(); ++I) {
    Out.push_back(kDepexPush);
    Out.insert(Out.end(), AllOf[I].begin(), AllOf[I].end());
    if (I > 0) {
      Out.push_back(kDepexAnd);
    }
  }
  Out.push_back(kDepexEnd);
  return Out;
}

Bytes Utf16z(const std::string &Ascii) {
  Bytes Out;
  for (char C : Ascii) {
    Out.push_back(static_cast<uint8_t>(C));
    Out.push_back(0);
  }
  Out.push_back(0);
  Out.push_back(0);
  return Out;
}

Bytes Section(uint8_t Type, std::span<const uint8_t> Payload) {
  const size_t Size = 4 + Payload.size();
  Bytes Out(Size);
  Put(Out, 0, Size, 3);
  Out[3] = Type;
  std::copy(Payload.begin(), Payload.end(), Out.begin() + 4);
  return Out;
}

std::optional<FfsAlignment> FfsAlignmentFor(uint32_t Bytes) {
  for (uint8_t Field = 0; Field < 8; ++Field) {
    if (kFfsAlignments[Field] >= Bytes) {
      return FfsAlignment{kFfsAlignments[Field], Field};
    }
  }
  return std::nullopt;
}

uint32_t FfsDataAlignment(uint8_t Attributes) { return kFfsAlignments[(Attributes >> 3) & 0x7]; }

Bytes BuildFile(const FileContents &Contents) {
  Bytes Out(kFileHeaderSize);
  for (const Bytes &S : Contents.Sections) {
    Out.resize(AlignUp(Out.size(), 4), 0);
    Out.insert(Out.end(), S.begin(), S.end());
  }
  std::copy(Contents.Name.begin(), Contents.Name.end(), Out.begin());
  Out[18] = Contents.Type;
  Out[19] = Contents.Attributes;
  Put(Out, 20, Out.size(), 3);
  Out[16] = static_cast<uint8_t>(0x100 - HeaderChecksum(Out));
  Out[17] = 0xAA;  // no data checksum
  Out[23] = kFileStateValid;
  return Out;
}

std::string CheckFile(std::span<const uint8_t> File) {
  if (File.size() < kFileHeaderSize) {
    return "shorter than a file header";
  }
  const uint32_t Size = Get(File, 20, 3);
  if (Size < kFileHeaderSize || Size > File.size()) {
    return "file size field out of range";
  }
  if (HeaderChecksum(File) != 0) {
    return "header checksum does not sum to 0";
  }
  if ((File[19] & kFileAttribChecksum) == 0 && File[17] != 0xAA) {
    return "file checksum is not 0xAA";
  }
  if (File[23] != StoredFileState(false) && File[23] != StoredFileState(true)) {
    return "state is neither 0x07 (a valid file, as GenFfs writes it) nor 0xF8 (the same in an erase-polarity-1 "
           "volume)";
  }
  return {};
}

std::optional<std::vector<ParsedSection>> ParseSections(std::span<const uint8_t> File, std::string *Error) {
  if (const std::string Why = CheckFile(File); !Why.empty()) {
    *Error = Why;
    return std::nullopt;
  }
  const size_t End = Get(File, 20, 3);
  std::vector<ParsedSection> Out;
  for (size_t At = kFileHeaderSize; At < End; At = AlignUp(At, 4)) {
    if (At + 4 > End) {
      *Error = "truncated section header";
      return std::nullopt;
    }
    const uint32_t Size = Get(File, At, 3);
    if (Size < 4 || At + Size > End) {
      *Error = "section size out of range";
      return std::nullopt;
    }
    Out.push_back({File[At + 3], At + 4, Size - 4});
    At += Size;
  }
  return Out;
}

std::optional<Bytes> ConvertToTe(std::span<const uint8_t> Pe, std::string *Error) {
  const auto Image = pecoff::Parse(Pe, Error);
  if (!Image) {
    return std::nullopt;
  }
  const uint32_t OptionalSize = Get(Pe, Image->PeOffset + 4 + 16, 2);
  const uint32_t Stripped = Image->OptionalHeaderOffset + OptionalSize;
  if (Stripped > 0xFFFF || Image->Sections.size() > 0xFF || Image->Subsystem > 0xFF) {
    *Error = "image headers do not fit a TE header";
    return std::nullopt;
  }
  for (const pecoff::Section &S : Image->Sections) {
    if (S.RawSize != 0 && S.RawOffset < Stripped + 40 * Image->Sections.size()) {
      *Error = "section data overlaps the headers";
      return std::nullopt;
    }
  }
  Bytes Te(kTeHeaderSize);
  Te[0] = 'V';
  Te[1] = 'Z';
  Put(Te, 2, Image->Machine, 2);
  Te[4] = static_cast<uint8_t>(Image->Sections.size());
  Te[5] = static_cast<uint8_t>(Image->Subsystem);
  Put(Te, 6, Stripped, 2);
  Put(Te, 8, Image->EntryPoint, 4);
  Put(Te, 12, Get(Pe, Image->OptionalHeaderOffset + 20, 4), 4);  // BaseOfCode
  Put(Te, 16, Image->ImageBase, 8);
  pecoff::DataDirectory Relocs = Image->Directory(pecoff::kDirectoryBaseRelocation);
  const pecoff::DataDirectory Debug = Image->Directory(pecoff::kDirectoryDebug);
  if (Relocs.Rva == 0 && Relocs.Size == 0 && (Image->Characteristics & pecoff::kFileRelocsStripped) == 0) {
    // A TE header has no "relocations stripped" flag: loaders read an empty
    // relocation directory as stripped and refuse to load the image anywhere
    // but its linked base. An image that needs no fix-ups (x64 code that is
    // all RIP-relative) says it is relocatable with a non-zero RVA and size
    // 0, as EDK2's GenFw writes it.
    Relocs.Rva = Image->SizeOfImage - 8;
  }
  Put(Te, 24, Relocs.Rva, 4);
  Put(Te, 28, Relocs.Size, 4);
  Put(Te, 32, Debug.Rva, 4);
  Put(Te, 36, Debug.Size, 4);
  Te.insert(Te.end(), Pe.begin() + Stripped, Pe.end());
  return Te;
}

std::optional<uint32_t> ImageBaseBias(std::span<const uint8_t> Image) {
  if (Image.size() >= kTeHeaderSize && Image[0] == 'V' && Image[1] == 'Z') {
    const uint32_t Stripped = Get(Image, 6, 2);
    return Stripped >= kTeHeaderSize ? std::optional<uint32_t>(Stripped - kTeHeaderSize) : std::nullopt;
  }
  if (Image.size() >= 2 && Image[0] == 'M' && Image[1] == 'Z') {
    return 0;
  }
  return std::nullopt;
}

std::optional<uint32_t> XipPadSize(size_t SectionStart, uint32_t Bias, uint32_t Align) {
  // Offset of the image base from the file's data without a pad, modulo
  // Align (unsigned wrap-around keeps the residue, Align being a power of 2).
  const size_t Misalignment = (SectionStart + 4 - kFileHeaderSize - Bias) & (Align - 1);
  if (Misalignment == 0) {
    return 0;
  }
  const size_t Pad = Align - Misalignment;  // the smallest pad, modulo Align
  if (Pad % 4 != 0) {
    return std::nullopt;  // sections are 4-byte aligned: no size of pad lands there
  }
  return static_cast<uint32_t>(Pad);
}

std::optional<size_t> PlaceFile(Bytes &Volume, size_t Offset, size_t End, std::span<const uint8_t> File,
                                bool ErasePolarity1) {
  const uint8_t Erased = ErasePolarity1 ? 0xFF : 0x00;
  Offset = AlignUp(Offset, 8);
  const uint32_t Alignment = FfsDataAlignment(File[19]);
  if ((Offset + kFileHeaderSize) % Alignment != 0) {
    size_t Pad = kFileHeaderSize;
    while ((Offset + Pad + kFileHeaderSize) % Alignment != 0) {
      Pad += 8;
    }
    if (Offset + Pad + File.size() > End) {
      return std::nullopt;
    }
    Guid PadName;
    PadName.fill(0xFF);
    Bytes PadFile = BuildFile({PadName, kFileTypePad, 0, {}});
    PadFile.resize(Pad, Erased);
    Put(PadFile, 20, Pad, 3);
    PadFile[16] = 0;
    PadFile[16] = static_cast<uint8_t>(0x100 - HeaderChecksum(PadFile));
    PadFile[23] = StoredFileState(ErasePolarity1);
    if (Volume.size() < Offset + Pad) {
      Volume.resize(Offset + Pad, Erased);
    }
    std::copy(PadFile.begin(), PadFile.end(), Volume.begin() + Offset);
    Offset += Pad;
  }
  if (Offset + File.size() > End) {
    return std::nullopt;
  }
  if (Volume.size() < Offset + File.size()) {
    Volume.resize(Offset + File.size(), Erased);
  }
  std::copy(File.begin(), File.end(), Volume.begin() + Offset);
  Volume[Offset + 23] = StoredFileState(ErasePolarity1);
  return Offset + File.size();
}

Bytes BuildVolume(const std::vector<Bytes> &Files) {
  constexpr size_t kHeaderLength = 72;  // 56 bytes and a block map of one entry and its terminator
  constexpr uint32_t kBlockSize = 4096;
  Bytes Volume(kHeaderLength, 0);
  size_t End = kHeaderLength;
  for (const Bytes &File : Files) {
    End = *PlaceFile(Volume, End, SIZE_MAX, File, true);
  }
  Volume.resize(AlignUp(std::max<size_t>(End, 1), kBlockSize), 0xFF);
  const Guid Ffs2 = *ParseGuid("8C8CE578-8A3D-4F1C-9935-896185C32DD3");
  std::copy(Ffs2.begin(), Ffs2.end(), Volume.begin() + 16);
  Put(Volume, 32, Volume.size(), 8);
  Volume[40] = '_';
  Volume[41] = 'F';
  Volume[42] = 'V';
  Volume[43] = 'H';
  // Read/write capable and enabled, memory mapped, erase polarity 1,
  // 128-byte alignment (EFI_FVB2_ALIGNMENT_128) for the files inside.
  Put(Volume, 44, 0x0007FEFF, 4);
  Put(Volume, 48, kHeaderLength, 2);
  Volume[55] = 2;  // revision
  Put(Volume, 56, Volume.size() / kBlockSize, 4);
  Put(Volume, 60, kBlockSize, 4);
  uint16_t Sum = 0;
  for (size_t I = 0; I < kHeaderLength; I += 2) {
    Sum = static_cast<uint16_t>(Sum + Get(Volume, I, 2));
  }
  Put(Volume, 50, static_cast<uint16_t>(0x10000 - Sum), 2);
  return Volume;
}

std::optional<Bytes> ReadAll(const std::string &Path, std::string *Error) {
  std::ifstream In(Path, std::ios::binary);
  if (!In) {
    *Error = "cannot read " + Path;
    return std::nullopt;
  }
  return Bytes(std::istreambuf_iterator<char>(In), {});
}

bool WriteAll(const std::string &Path, std::span<const uint8_t> Data, std::string *Error) {
  const std::string Temporary = Path + ".partial";
  {
    std::ofstream Out(Temporary, std::ios::binary | std::ios::trunc);
    Out.write(reinterpret_cast<const char *>(Data.data()), static_cast<std::streamsize>(Data.size()));
    if (!Out) {
      *Error = "cannot write " + Temporary;
      std::remove(Temporary.c_str());
      return false;
    }
  }
  if (std::rename(Temporary.c_str(), Path.c_str()) != 0) {
    *Error = "cannot rename " + Temporary + " to " + Path;
    std::remove(Temporary.c_str());
    return false;
  }
  return true;
}

}  // namespace pifw
