/** @file
  The ZelHdaSsid variable: the codec subsystem ID that HdaSsidDetectDxe stores
  at End of DXE and HdaSsidSelectPei reads in the next boot's PEI phase. It is
  the only state the two modules share.

  Copyright (c) 2026, HdaSsid contributors. All rights reserved.<BR>
  SPDX-License-Identifier: BSD-2-Clause-Patent
**/

#pragma once

#define HDA_SSID_VARIABLE_GUID \
  { 0x01368881, 0xC4AD, 0x4B1D, { 0xB6, 0x31, 0xD5, 0x7A, 0x8E, 0xC8, 0xDB, 0x6B } }

#define HDA_SSID_VARIABLE_NAME  L"ZelHdaSsid"

#define HDA_SSID_VARIABLE_ATTRIBUTES \
  (EFI_VARIABLE_NON_VOLATILE | EFI_VARIABLE_BOOTSERVICE_ACCESS | EFI_VARIABLE_RUNTIME_ACCESS)

///
/// The variable's data, exactly HDA_SSID_RECORD_SIZE bytes when present: in
/// the layout of PCI configuration register 0x2C, subsystem vendor ID in
/// bits 15:0 and subsystem ID in bits 31:16, the layout of a table entry's
/// SubsystemVendorId and SubsystemId (Ppi/PlatformSsidPolicy.h).
///
typedef UINT32 HDA_SSID_WORD;

#define HDA_SSID_RECORD_SIZE  sizeof (HDA_SSID_WORD)

extern EFI_GUID  gHdaSsidVariableGuid;
