// Copyright (c) 2026, HdaSsid contributors. All rights reserved.
// SPDX-License-Identifier: BSD-2-Clause-Patent
//
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
constexpr unsigned kDirectorySecurity = 4;
constexpr unsigned kDirectoryBaseRelocation = 5;
constexpr unsigned kDirectoryDebug = 6;
constexpr uint8_t kRelocationAbsolute = 0;
constexpr uint8_t kRelocationHighLow = 3;
constexpr uint8_t kRelocationDir64 = 10;
constexpr uint32_t kDosHeaderSize = 64;

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

// The image in the compact layout firmware build tools write (EDK2's GenFw
// does the same): a bare 64-byte DOS header with e_lfanew 0x40 and no stub
// program, SizeOfHeaders rounded up to the file alignment only, and the
// section data moved down behind it, every file offset adjusted.
//
// An image whose section alignment equals its file alignment is laid out to
// execute in place: each section's RVA equals its file offset, and a loader
// may run it where it lies. Its RVAs move down with the data, so the entry
// point, the data directories, the debug entries and every relocated pointer
// move with them and the relocation table is rebuilt; the code is assumed
// not to address its own headers, which no longer sit where they did. Other
// images keep their RVAs. An image this cannot rewrite soundly (symbols, a
// checksum, a certificate, directories beyond relocations and debug in an
// image whose RVAs move, relocation types other than HIGHLOW and DIR64) is
// refused with the reason in *Error.
std::optional<std::vector<uint8_t>> Compact(std::span<const uint8_t> Bytes, std::string *Error);

std::optional<std::vector<uint8_t>> ReadFile(const std::string &Path, std::string *Error);

}  // namespace pecoff
