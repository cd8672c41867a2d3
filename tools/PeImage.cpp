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

std::optional<Image> Fail(std::string *Error, const std::string &Why) {
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
