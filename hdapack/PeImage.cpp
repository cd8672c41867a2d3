// Copyright (c) 2026, HdaSsid contributors. All rights reserved.
// SPDX-License-Identifier: BSD-2-Clause-Patent

#include "PeImage.h"

#include <algorithm>
#include <fstream>
#include <iterator>

namespace pecoff {

namespace {

class Reader {
public:
  explicit Reader(std::span<const uint8_t> Bytes) : Bytes(Bytes) {}
  bool Has(uint64_t Offset, uint64_t Size) const { return Offset + Size <= Bytes.size(); }
  uint32_t Get(uint64_t Offset, unsigned Size) const {
    uint32_t Value = 0;
    for (unsigned I = 0; I < Size; ++I) {
      Value |= uint32_t{Bytes[Offset + I]} << (8 * I);
    }
    return Value;
  }
  uint16_t U16(uint64_t Offset) const { return static_cast<uint16_t>(Get(Offset, 2)); }
  uint32_t U32(uint64_t Offset) const { return Get(Offset, 4); }
  uint64_t U64(uint64_t Offset) const { return U32(Offset) | uint64_t{U32(Offset + 4)} << 32; }

private:
  std::span<const uint8_t> Bytes;
};

std::nullopt_t Fail(std::string *Error, const std::string &Why) {
  if (Error != nullptr) {
    *Error = Why;
  }
  return std::nullopt;
}

}  // namespace

std::optional<uint64_t> Image::FileOffset(uint32_t Rva, uint32_t Size) const {
  for (const Section &S : Sections) {
    if (Rva >= S.VirtualAddress && uint64_t{Rva} + Size <= uint64_t{S.VirtualAddress} + S.RawSize) {
      return uint64_t{S.RawOffset} + (Rva - S.VirtualAddress);
    }
  }
  return std::nullopt;
}

const Section *Image::SectionAt(uint32_t Rva) const {
  for (const Section &S : Sections) {
    if (Rva >= S.VirtualAddress && Rva < S.VirtualAddress + std::max(S.VirtualSize, S.RawSize)) {
      return &S;
    }
  }
  return nullptr;
}

std::optional<Image> Parse(std::span<const uint8_t> Bytes, std::string *Error) {
  const Reader R(Bytes);
  if (!R.Has(0, 64) || R.U16(0) != 0x5A4D) {
    return Fail(Error, "not a PE/COFF image: no 'MZ' header");
  }
  Image I{};
  I.PeOffset = R.U32(0x3C);
  if (!R.Has(I.PeOffset, 24) || R.U32(I.PeOffset) != 0x00004550) {
    return Fail(Error, "not a PE/COFF image: no 'PE' signature at e_lfanew");
  }
  const uint64_t Coff = I.PeOffset + 4;
  I.Machine = R.U16(Coff);
  const uint16_t SectionCount = R.U16(Coff + 2);
  const uint16_t OptionalSize = R.U16(Coff + 16);
  I.Characteristics = R.U16(Coff + 18);
  const uint64_t Opt = Coff + 20;
  I.OptionalHeaderOffset = static_cast<uint32_t>(Opt);
  if (!R.Has(Opt, OptionalSize) || OptionalSize < 2) {
    return Fail(Error, "truncated optional header");
  }
  const uint16_t Magic = R.U16(Opt);
  if (Magic != 0x10B && Magic != 0x20B) {
    return Fail(Error, "unknown optional header magic");
  }
  I.Pe32Plus = Magic == 0x20B;
  const uint64_t DirectoriesAt = Opt + (I.Pe32Plus ? 112 : 96);
  if (OptionalSize < DirectoriesAt - Opt) {
    return Fail(Error, "optional header too small");
  }
  I.EntryPoint = R.U32(Opt + 16);
  I.ImageBase = I.Pe32Plus ? R.U64(Opt + 24) : R.U32(Opt + 28);
  I.SectionAlignment = R.U32(Opt + 32);
  I.FileAlignment = R.U32(Opt + 36);
  I.SizeOfImage = R.U32(Opt + 56);
  I.SizeOfHeaders = R.U32(Opt + 60);
  I.Subsystem = R.U16(Opt + 68);
  const uint32_t DirectoryCount = R.U32(DirectoriesAt - 4);
  if (DirectoriesAt + uint64_t{DirectoryCount} * 8 > Opt + OptionalSize) {
    return Fail(Error, "data directories overrun the optional header");
  }
  for (uint32_t D = 0; D < DirectoryCount; ++D) {
    I.Directories.push_back({R.U32(DirectoriesAt + 8 * D), R.U32(DirectoriesAt + 8 * D + 4)});
  }
  const uint64_t SectionTable = Opt + OptionalSize;
  if (!R.Has(SectionTable, uint64_t{SectionCount} * 40)) {
    return Fail(Error, "truncated section table");
  }
  for (uint16_t S = 0; S < SectionCount; ++S) {
    const uint64_t At = SectionTable + 40 * S;
    Section Sec{};
    for (unsigned C = 0; C < 8 && R.Get(At + C, 1) != 0; ++C) {
      Sec.Name.push_back(static_cast<char>(R.Get(At + C, 1)));
    }
    Sec.VirtualSize = R.U32(At + 8);
    Sec.VirtualAddress = R.U32(At + 12);
    Sec.RawSize = R.U32(At + 16);
    Sec.RawOffset = R.U32(At + 20);
    Sec.Characteristics = R.U32(At + 36);
    if (Sec.RawSize != 0 && !R.Has(Sec.RawOffset, Sec.RawSize)) {
      return Fail(Error, "section " + Sec.Name + " lies outside the file");
    }
    I.Sections.push_back(Sec);
  }
  const DataDirectory Relocs = I.Directory(kDirectoryBaseRelocation);
  if (Relocs.Size != 0) {
    const auto At = I.FileOffset(Relocs.Rva, Relocs.Size);
    if (!At) {
      return Fail(Error, "base relocations lie outside every section");
    }
    uint64_t Block = *At;
    const uint64_t End = *At + Relocs.Size;
    while (Block + 8 <= End) {
      const uint32_t Page = R.U32(Block);
      const uint32_t BlockSize = R.U32(Block + 4);
      if (BlockSize < 8 || Block + BlockSize > End || BlockSize % 2 != 0) {
        return Fail(Error, "malformed base relocation block");
      }
      for (uint64_t E = Block + 8; E < Block + BlockSize; E += 2) {
        const uint16_t Entry = R.U16(E);
        if ((Entry >> 12) != 0) {  // type 0 pads a block
          I.Relocations.push_back({Page + (Entry & 0xFFF), static_cast<uint8_t>(Entry >> 12)});
        }
      }
      Block += BlockSize;
    }
  }
  return I;
}

namespace {

void PutLe(std::vector<uint8_t> &Out, uint64_t At, uint64_t Value, unsigned Size) {
  for (unsigned B = 0; B < Size; ++B) {
    Out[At + B] = static_cast<uint8_t>(Value >> (8 * B));
  }
}

uint64_t GetLe(const std::vector<uint8_t> &In, uint64_t At, unsigned Size) {
  uint64_t Value = 0;
  for (unsigned B = 0; B < Size; ++B) {
    Value |= uint64_t{In[At + B]} << (8 * B);
  }
  return Value;
}

// Base relocation blocks (one per 4 KiB page, each padded to 4 bytes with an
// ABSOLUTE entry) for the given fix-ups.
std::vector<uint8_t> RelocationTable(std::vector<Relocation> Fixups) {
  std::sort(Fixups.begin(), Fixups.end(), [](const Relocation &A, const Relocation &B) { return A.Rva < B.Rva; });
  std::vector<uint8_t> Table;
  for (size_t First = 0; First < Fixups.size();) {
    const uint32_t Page = Fixups[First].Rva & ~0xFFFu;
    size_t End = First;
    while (End < Fixups.size() && (Fixups[End].Rva & ~0xFFFu) == Page) {
      ++End;
    }
    const size_t Entries = (End - First + 1) / 2 * 2;
    const size_t Block = Table.size();
    Table.resize(Block + 8 + 2 * Entries, 0);
    PutLe(Table, Block, Page, 4);
    PutLe(Table, Block + 4, 8 + 2 * Entries, 4);
    for (size_t E = First; E < End; ++E) {
      PutLe(Table, Block + 8 + 2 * (E - First), uint32_t{Fixups[E].Type} << 12 | (Fixups[E].Rva & 0xFFF), 2);
    }
    First = End;
  }
  return Table;
}

}  // namespace

std::optional<std::vector<uint8_t>> Compact(std::span<const uint8_t> Bytes, std::string *Error) {
  const auto Old = Parse(Bytes, Error);
  if (!Old) {
    return std::nullopt;
  }
  const Reader R(Bytes);
  const uint64_t Coff = Old->PeOffset + 4;
  const uint64_t OptionalSize = R.U16(Coff + 16);
  const uint32_t FileAlignment = Old->FileAlignment;
  const bool InPlace = Old->SectionAlignment == FileAlignment;
  // An image whose RVAs stay keeps only the data directories up to its last
  // used one: the rest are zeros the loader never needs. A count of exactly
  // 5 is avoided, as EDK2's PE loader (BasePeCoffLib) then still reads the
  // base-relocation entry, which would lie past the optional header.
  size_t Keep = Old->Directories.size();
  if (!InPlace) {
    while (Keep > 0 && Old->Directories[Keep - 1].Rva == 0 && Old->Directories[Keep - 1].Size == 0) {
      --Keep;
    }
    Keep += Keep == kDirectoryBaseRelocation;
  }
  const uint64_t NewOptionalSize = OptionalSize - 8 * (Old->Directories.size() - Keep);
  const uint64_t HeaderTail = 24 + NewOptionalSize + 40 * uint64_t{Old->Sections.size()};  // PE signature on
  if (FileAlignment == 0 || (FileAlignment & (FileAlignment - 1)) != 0 || Old->SizeOfHeaders % FileAlignment != 0) {
    return Fail(Error, "file alignment or SizeOfHeaders is not a power of two multiple");
  }
  if (R.U32(Coff + 8) != 0 || R.U32(Coff + 12) != 0) {
    return Fail(Error, "the image carries a COFF symbol table");
  }
  if (R.U32(Old->OptionalHeaderOffset + 64) != 0) {
    return Fail(Error, "the image carries a checksum");
  }
  if (Old->Directory(kDirectorySecurity).Size != 0) {
    return Fail(Error, "the image carries a certificate (its directory holds a file offset)");
  }
  const uint64_t NewHeaders = (kDosHeaderSize + HeaderTail + FileAlignment - 1) / FileAlignment * FileAlignment;
  if (Old->SizeOfHeaders < NewHeaders || Old->SizeOfHeaders > Bytes.size() ||
      Old->PeOffset + HeaderTail > Old->SizeOfHeaders) {
    return Fail(Error, "the headers do not fit in SizeOfHeaders");
  }
  const uint32_t Shift = static_cast<uint32_t>(Old->SizeOfHeaders - NewHeaders);
  const uint32_t RvaShift = InPlace ? Shift : 0;
  for (size_t S = 0; S < Old->Sections.size(); ++S) {
    const Section &Sec = Old->Sections[S];
    const uint64_t At = Old->OptionalHeaderOffset + OptionalSize + 40 * S;
    if (R.U32(At + 24) != 0 || R.U32(At + 28) != 0) {
      return Fail(Error, "section " + Sec.Name + " carries COFF relocations or line numbers");
    }
    if ((Sec.RawSize != 0 && Sec.RawOffset < Old->SizeOfHeaders) || Sec.VirtualAddress < Old->SizeOfHeaders) {
      return Fail(Error, "section " + Sec.Name + " overlaps the headers");
    }
    if (InPlace && Sec.RawSize != 0 && Sec.VirtualAddress != Sec.RawOffset) {
      return Fail(Error, "section " + Sec.Name + " does not lie at its RVA in the file, though the alignments match");
    }
  }
  if (RvaShift != 0) {
    for (unsigned D = 0; D < Old->Directories.size(); ++D) {
      if (D != kDirectoryBaseRelocation && D != kDirectoryDebug && Old->Directories[D].Size != 0) {
        return Fail(Error, "data directory " + std::to_string(D) + " holds RVAs this cannot move");
      }
    }
  }

  std::vector<uint8_t> Out(Bytes.size() - Shift, 0);
  Out[0] = 'M';
  Out[1] = 'Z';
  PutLe(Out, 0x3C, kDosHeaderSize, 4);
  const uint64_t Kept = 24 + NewOptionalSize;  // signature, COFF header, optional header with Keep directories
  std::copy_n(Bytes.begin() + Old->PeOffset, Kept, Out.begin() + kDosHeaderSize);
  std::copy_n(Bytes.begin() + Old->OptionalHeaderOffset + OptionalSize, 40 * Old->Sections.size(),
              Out.begin() + kDosHeaderSize + Kept);
  std::copy(Bytes.begin() + Old->SizeOfHeaders, Bytes.end(), Out.begin() + NewHeaders);
  const uint64_t Opt = kDosHeaderSize + 24;
  const uint64_t Directories = Opt + (Old->Pe32Plus ? 112 : 96);
  PutLe(Out, Opt + 60, NewHeaders, 4);
  PutLe(Out, kDosHeaderSize + 4 + 16, NewOptionalSize, 2);  // SizeOfOptionalHeader
  PutLe(Out, Directories - 4, Keep, 4);                     // NumberOfRvaAndSizes
  std::vector<Section> Moved = Old->Sections;
  for (size_t S = 0; S < Moved.size(); ++S) {
    Moved[S].VirtualAddress -= RvaShift;
    PutLe(Out, Opt + NewOptionalSize + 40 * S + 12, Moved[S].VirtualAddress, 4);
    if (Moved[S].RawSize != 0) {
      Moved[S].RawOffset -= Shift;
      PutLe(Out, Opt + NewOptionalSize + 40 * S + 20, Moved[S].RawOffset, 4);
    }
  }
  // File offset of Size bytes at a new RVA, inside one section's data.
  auto NewOffset = [&](uint32_t Rva, uint32_t Size) -> std::optional<uint64_t> {
    for (const Section &S : Moved) {
      if (Rva >= S.VirtualAddress && uint64_t{Rva} + Size <= uint64_t{S.VirtualAddress} + S.RawSize) {
        return uint64_t{S.RawOffset} + (Rva - S.VirtualAddress);
      }
    }
    return std::nullopt;
  };
  auto MoveRva = [&](uint64_t At) {
    if (const uint32_t Rva = static_cast<uint32_t>(GetLe(Out, At, 4)); Rva != 0) {
      PutLe(Out, At, Rva - RvaShift, 4);
    }
  };
  if (RvaShift != 0) {
    MoveRva(Opt + 16);  // AddressOfEntryPoint
    MoveRva(Opt + 20);  // BaseOfCode
    if (!Old->Pe32Plus) {
      MoveRva(Opt + 24);  // BaseOfData
    }
    PutLe(Out, Opt + 56, Old->SizeOfImage - RvaShift, 4);
    for (const unsigned D : {kDirectoryBaseRelocation, kDirectoryDebug}) {
      if (D < Old->Directories.size()) {
        MoveRva(Directories + 8 * D);
      }
    }
  }

  const DataDirectory Debug = Old->Directory(kDirectoryDebug);
  for (uint32_t Entry = 0; Entry + 28 <= Debug.Size; Entry += 28) {
    const auto At = NewOffset(Debug.Rva - RvaShift + Entry, 28);
    if (!At) {
      return Fail(Error, "the debug directory lies outside every section");
    }
    MoveRva(*At + 20);  // AddressOfRawData
    if (const uint64_t Pointer = GetLe(Out, *At + 24, 4); Pointer != 0) {
      if (Pointer < Old->SizeOfHeaders) {
        return Fail(Error, "debug data lies inside the headers");
      }
      PutLe(Out, *At + 24, Pointer - Shift, 4);
    }
  }

  if (RvaShift != 0 && !Old->Relocations.empty()) {
    // Every relocated pointer addresses a section, which moved by RvaShift.
    std::vector<Relocation> Fixups;
    for (const Relocation &Fix : Old->Relocations) {
      const unsigned Width = Fix.Type == kRelocationHighLow ? 4 : Fix.Type == kRelocationDir64 ? 8 : 0;
      const auto At = Width == 0 ? std::nullopt : NewOffset(Fix.Rva - RvaShift, Width);
      if (!At) {
        return Fail(Error, "relocation at RVA " + std::to_string(Fix.Rva) + " has an unsupported type or place");
      }
      const uint64_t Pointer = GetLe(Out, *At, Width);
      const uint64_t Target = Pointer - Old->ImageBase;
      if (Pointer < Old->ImageBase || Target < Old->SizeOfHeaders || Target >= Old->SizeOfImage) {
        return Fail(Error, "relocated pointer at RVA " + std::to_string(Fix.Rva) + " does not address a section");
      }
      PutLe(Out, *At, Pointer - RvaShift, Width);
      Fixups.push_back({Fix.Rva - RvaShift, Fix.Type});
    }
    const DataDirectory Relocs = Old->Directory(kDirectoryBaseRelocation);
    const std::vector<uint8_t> Table = RelocationTable(Fixups);
    const auto At = NewOffset(Relocs.Rva - RvaShift, Relocs.Size);
    if (!At || Table.size() > Relocs.Size) {
      return Fail(Error, "the rebuilt relocation table does not fit where the old one was");
    }
    std::fill_n(Out.begin() + *At, Relocs.Size, 0);
    std::copy(Table.begin(), Table.end(), Out.begin() + *At);
    PutLe(Out, Directories + 8 * kDirectoryBaseRelocation + 4, Table.size(), 4);
  }
  if (!Parse(Out, Error)) {
    return std::nullopt;
  }
  return Out;
}

std::optional<std::vector<uint8_t>> ReadFile(const std::string &Path, std::string *Error) {
  std::ifstream In(Path, std::ios::binary);
  if (!In) {
    if (Error != nullptr) {
      *Error = "cannot open " + Path;
    }
    return std::nullopt;
  }
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(In), {});
}

}  // namespace pecoff
