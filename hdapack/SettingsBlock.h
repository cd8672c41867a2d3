// Copyright (c) 2026, HdaSsid contributors. All rights reserved.
// SPDX-License-Identifier: BSD-2-Clause-Patent
//
// The board-settings block of a shipped driver or bring-up application: the
// ECAM base and the PM-timer port the image carries as data (its layout is
// env/standalone/HdaSettings.h's HDA_PLATFORM_SETTINGS), found by its signature in a PE32+
// image, or in the PE32 section of a firmware file, and rewritten there as
// EDK2's build patches a binary module's PatchableInModule PCDs: the field's
// bytes and nothing else.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace settings {

struct Settings {
  uint64_t EcamBase;
  uint16_t PmTimerPort;
  int ConvergenceReset = -1;  // 0 or 1; -1 (Retarget): as the image has it
};

struct Located {
  Settings Values;
  size_t EcamOffset;         // file offsets of the fields, in the image
  size_t PmTimerPortOffset;  // (for a firmware file: in its PE32 section's image)
  size_t ConvergenceResetOffset;
};

// Why the driver would refuse these settings, or empty when it can use them:
// an ECAM base on a 1 MiB boundary below 4 GiB, a port whose 4 bytes lie in
// the I/O space.
std::string Unusable(uint64_t EcamBase, uint64_t PmTimerPort);

// The block in a PE/COFF image: exactly one signature, inside one section's
// raw data.
std::optional<Located> Find(std::span<const uint8_t> Image, std::string *Error);

// The block in a PE/COFF image or in the PE32 image of a firmware file;
// *ImageAt is where that image starts in File (0 for an image).
std::optional<Located> FindInFile(std::span<uint8_t> File, size_t *ImageAt, std::string *Error);

// Rewrites the settings of a PE/COFF image or of the PE32 image in a
// firmware file, in place; a firmware file that carries a data checksum gets
// it recomputed. Refuses settings the driver could not use.
bool Retarget(std::vector<uint8_t> &File, const Settings &New, std::string *Error);

}  // namespace settings
