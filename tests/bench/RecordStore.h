// Copyright (c) 2026, HdaSsid contributors. All rights reserved.
// SPDX-License-Identifier: BSD-2-Clause-Patent
//
// A variable store holding at most the "ZelHdaSsid" record, read as UEFI's
// GetVariable and PI's read-only variable PPI read: EFI_NOT_FOUND, or the
// record's attributes (as the firmware at hand reports them) and either EFI_BUFFER_TOO_SMALL with the size
// needed or the data with its size. Shared by the DXE and PEI fakes.
#pragma once

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "HdaSsidRecord.h"

namespace bench {

// Which firmware: one that reports the attributes with EFI_BUFFER_TOO_SMALL
// too (UEFI 2.8+, EDK2), one that reports them with the data only, and one
// that never fills them in.
enum class AttributesReported { Always, WithDataOnly, Never };

inline EFI_STATUS ReadStoredRecord(const std::optional<std::vector<uint8_t>> &Record, UINT32 StoredAttributes,
                                   const CHAR16 *Name, const EFI_GUID *Guid, UINT32 *Attributes, UINTN *DataSize,
                                   VOID *Data, AttributesReported Reported = AttributesReported::Always) {
  if (!Record || std::u16string(Name) != HDA_SSID_VARIABLE_NAME_CHAR16.Chars || !(*Guid == gHdaSsidVariableGuid)) {
    return EFI_NOT_FOUND;
  }
  const bool TooSmall = *DataSize < Record->size();
  if (Attributes != nullptr && (Reported == AttributesReported::Always ||
                                (Reported == AttributesReported::WithDataOnly && !TooSmall))) {
    *Attributes = StoredAttributes;
  }
  if (TooSmall) {
    *DataSize = Record->size();
    return EFI_BUFFER_TOO_SMALL;
  }
  std::copy(Record->begin(), Record->end(), static_cast<uint8_t *>(Data));
  *DataSize = Record->size();
  return EFI_SUCCESS;
}

}  // namespace bench
