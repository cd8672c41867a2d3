// Copyright (c) 2026, HdaSsid contributors. All rights reserved.
// SPDX-License-Identifier: BSD-2-Clause-Patent
//
// Building blocks of PI firmware storage (PI specification volume 3):
// GUIDs, dependency expressions, sections, firmware files (FFS), firmware
// volumes, and the TE form of a PE32 image.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace pifw {

using Bytes = std::vector<uint8_t>;
using Guid = std::array<uint8_t, 16>;  // in memory (EFI_GUID) byte order

// "{8-4-4-4-12}" or without braces; nullopt when malformed.
std::optional<Guid> ParseGuid(const std::string &Text);
std::string FormatGuid(const Guid &G);

constexpr uint8_t kFileTypeRaw = 0x01;
constexpr uint8_t kFileTypeFreeform = 0x02;
constexpr uint8_t kFileTypePeim = 0x06;
constexpr uint8_t kFileTypeDriver = 0x07;
constexpr uint8_t kFileTypeApplication = 0x09;
constexpr uint8_t kFileTypePad = 0xF0;

constexpr uint8_t kSectionPe32 = 0x10;
constexpr uint8_t kSectionTe = 0x12;
constexpr uint8_t kSectionDxeDepex = 0x13;
constexpr uint8_t kSectionVersion = 0x14;
constexpr uint8_t kSectionUserInterface = 0x15;
constexpr uint8_t kSectionRaw = 0x19;
constexpr uint8_t kSectionPeiDepex = 0x1B;

constexpr uint8_t kFileAttribChecksum = 0x40;
// EFI_FILE_HEADER_CONSTRUCTION | EFI_FILE_HEADER_VALID | EFI_FILE_DATA_VALID,
// as GenFfs writes a standalone file. In a volume whose erase polarity is 1
// every state bit is stored inverted (0xF8); whoever places a file there
// applies the polarity.
constexpr uint8_t kFileStateValid = 0x07;
constexpr uint8_t StoredFileState(bool ErasePolarity1) {
  return ErasePolarity1 ? static_cast<uint8_t>(~kFileStateValid) : kFileStateValid;
}
constexpr size_t kFileHeaderSize = 24;
constexpr size_t kTeHeaderSize = 40;

// Depex opcodes (PI volume 2, "Dependency Expression Grammar").
constexpr uint8_t kDepexPush = 0x02;
constexpr uint8_t kDepexAnd = 0x03;
constexpr uint8_t kDepexTrue = 0x06;
constexpr uint8_t kDepexEnd = 0x08;

// PUSH each GUID and AND them together; TRUE when there are none.
Bytes BuildDepex(const std::vector<Guid> &AllOf);

Bytes Utf16z(const std::string &Ascii);

// A leaf section: 24-bit size and type, then the payload.
Bytes Section(uint8_t Type, std::span<const uint8_t> Payload);

// Smallest FFS data alignment (1, 16, 128, ... 64K) that covers Bytes, and
// its FFS_ATTRIB_DATA_ALIGNMENT field value.
struct FfsAlignment {
  uint32_t Bytes;
  uint8_t Field;
};
std::optional<FfsAlignment> FfsAlignmentFor(uint32_t Bytes);
uint32_t FfsDataAlignment(uint8_t Attributes);

struct FileContents {
  Guid Name;
  uint8_t Type;
  uint8_t Attributes;
  std::vector<Bytes> Sections;  // each built by Section(); laid 4-byte aligned
};
// The file with its header checksum, 0xAA data checksum and state 0x07.
Bytes BuildFile(const FileContents &Contents);

// Checks a file's header as a volume reader would; empty when sound. The
// state must be that of a valid file in either polarity (0x07 or 0xF8).
std::string CheckFile(std::span<const uint8_t> File);

struct ParsedSection {
  uint8_t Type;
  size_t Offset;  // of the payload, from the file's start
  size_t Size;    // of the payload
};
std::optional<std::vector<ParsedSection>> ParseSections(std::span<const uint8_t> File, std::string *Error);

// The TE form of a PE32/PE32+ image: the headers up to the section table
// are replaced by a 40-byte EFI_TE_IMAGE_HEADER; StrippedSize is the number
// of bytes removed, relocations are kept as they are (an image with none
// stays relocatable).
std::optional<Bytes> ConvertToTe(std::span<const uint8_t> Pe, std::string *Error);

// Where in a section's payload the image's sections must be aligned from:
// 0 for PE32, StrippedSize - 40 for TE (the loader's image base lies that
// many bytes before the TE header).
std::optional<uint32_t> ImageBaseBias(std::span<const uint8_t> Image);

// Size of a RAW section (header included, a multiple of 4) that, placed at
// file offset SectionStart right before an image's section, puts the image's
// base (Bias bytes before the image, see ImageBaseBias) on an Align-byte
// boundary from the file's data: 0 when the base is aligned without one,
// nullopt when no such section exists. Align is a power of two.
std::optional<uint32_t> XipPadSize(size_t SectionStart, uint32_t Bias, uint32_t Align);

// A volume of the FFS2 file system, erase polarity 1, in 4 KiB blocks,
// holding Files (8-byte aligned, with pad files for data alignment), each
// with its state stored for that polarity.
Bytes BuildVolume(const std::vector<Bytes> &Files);

// Appends File to a volume's file list starting at Offset (8-byte aligned,
// pad file first when its data alignment needs one), its state stored for
// the volume's erase polarity; returns the new end or nullopt when End would
// be exceeded.
std::optional<size_t> PlaceFile(Bytes &Volume, size_t Offset, size_t End, std::span<const uint8_t> File,
                                bool ErasePolarity1);

std::optional<Bytes> ReadAll(const std::string &Path, std::string *Error);
// Writes atomically: a partial file never appears under Path.
bool WriteAll(const std::string &Path, std::span<const uint8_t> Data, std::string *Error);

}  // namespace pifw
