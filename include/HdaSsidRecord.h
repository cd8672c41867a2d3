// The stored codec subsystem ID: the one record HdaSsidDetectDxe writes at End
// of DXE and HdaSsidSelectPei reads in the next boot. Both modules build it
// from this definition only.
#pragma once

#include "UefiBase.h"

#include "Char16Text.h"
#include "HdaSsidIds.h"

inline constexpr CHAR16_TEXT<sizeof(HDA_SSID_VARIABLE_NAME_TEXT)> HDA_SSID_VARIABLE_NAME_CHARS =
    Char16Text(HDA_SSID_VARIABLE_NAME_TEXT);
inline constexpr const CHAR16 (&HDA_SSID_VARIABLE_NAME)[sizeof(HDA_SSID_VARIABLE_NAME_TEXT)] =
    HDA_SSID_VARIABLE_NAME_CHARS.Chars;
inline constexpr EFI_GUID HDA_SSID_VARIABLE_GUID = EfiGuid(HDA_SSID_VARIABLE_GUID_TEXT);

constexpr UINT32 HDA_SSID_VARIABLE_ATTRIBUTES = EFI_VARIABLE_NON_VOLATILE |
                                                EFI_VARIABLE_BOOTSERVICE_ACCESS |
                                                EFI_VARIABLE_RUNTIME_ACCESS;

// The record's value: one little-endian UINT32 in the layout of PCI config
// register 0x2C, subsystem vendor ID in bits 15:0, subsystem ID in bits 31:16.
typedef UINT32 HDA_SSID_WORD;
constexpr UINTN HDA_SSID_RECORD_SIZE = sizeof(HDA_SSID_WORD);

constexpr HDA_SSID_WORD HdaSsidWord(UINT16 SubsystemVendorId, UINT16 SubsystemId) {
  return static_cast<HDA_SSID_WORD>(SubsystemId) << 16 | SubsystemVendorId;
}

// The codec variants a board may carry, and their records, come from its
// profile: HdaBoardProfile.h.

static_assert(sizeof(HDA_SSID_VARIABLE_NAME) == 11 * sizeof(CHAR16));
static_assert(HDA_SSID_VARIABLE_ATTRIBUTES == 0x7);
