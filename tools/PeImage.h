// A strict reader of the PE/COFF images this project builds (per Microsoft's
// PE/COFF format): headers, sections, data directories, base relocations,
// every offset checked against the file before use.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace pecoff {

constexpr uint16_t kMachineI386 = 0x014C;
constexpr uint16_t kMachineAmd64 = 0x8664;
constexpr uint16_t kSubsystemEfiBootServiceDriver = 11;
constexpr uint16_t kSubsystemEfiApplication = 10;
constexpr uint16_t kFileRelocsStripped = 0x0001;
constexpr uint32_t kSectionCode = 0x00000020;
constexpr uint32_t kSectionExecute = 0x20000000;
constexpr uint32_t kSectionRead = 0x40000000;
constexpr uint32_t kSectionWrite = 0x80000000;
constexpr unsigned kDirectoryImport = 1;
constexpr unsigned kDirectoryBaseRelocation = 5;
constexpr unsigned kDirectoryDebug = 6;

struct Section {
  std::string Name;
  uint32_t VirtualAddress;
  uint32_t VirtualSize;
  uint32_t RawOffset;
  uint32_t RawSize;
  uint32_t Characteristics;
};

struct DataDirectory {
  uint32_t Rva;
  uint32_t Size;
};

struct Relocation {
  uint32_t Rva;  // where the fix-up applies
  uint8_t Type;  // IMAGE_REL_BASED_*
};

struct Image {
  uint32_t PeOffset;  // e_lfanew
  bool Pe32Plus;
  uint16_t Machine;
  uint16_t Characteristics;
  uint16_t Subsystem;
  uint32_t EntryPoint;
  uint64_t ImageBase;
  uint32_t SectionAlignment;
  uint32_t FileAlignment;
  uint32_t SizeOfImage;
  uint32_t SizeOfHeaders;
  uint32_t OptionalHeaderOffset;
  std::vector<DataDirectory> Directories;
  std::vector<Section> Sections;
  std::vector<Relocation> Relocations;

  DataDirectory Directory(unsigned Index) const {
    return Index < Directories.size() ? Directories[Index] : DataDirectory{0, 0};
  }
  const Section *SectionAt(uint32_t Rva) const;
  // File offset of Size bytes at Rva, when they lie in one section's raw data.
  std::optional<uint64_t> FileOffset(uint32_t Rva, uint32_t Size) const;
};

// Parses Bytes as a PE32 or PE32+ image; on failure returns nullopt and says
// why in *Error.
std::optional<Image> Parse(std::span<const uint8_t> Bytes, std::string *Error);

std::optional<std::vector<uint8_t>> ReadFile(const std::string &Path, std::string *Error);

}  // namespace pecoff
