/** @file
  PLATFORM_SSID_POLICY_PPI: the platform's PCI subsystem-ID policy. The
  platform installs it with SsidTable NULL; HdaSsidSelectPei may point
  SsidTable at a table of its own image; the platform reads SsidTable after
  that PEIM has run and programs the devices' subsystem IDs from the table.

  Copyright (c) 2026, HdaSsid contributors. All rights reserved.<BR>
  SPDX-License-Identifier: BSD-2-Clause-Patent
**/

#pragma once

#define PLATFORM_SSID_POLICY_PPI_GUID \
  { 0x38965BB5, 0x8097, 0x40F5, { 0xB7, 0x42, 0x8C, 0xC1, 0x4A, 0x64, 0x9B, 0x64 } }

///
/// One row of a subsystem-ID table, 16 bytes. Bytes 0 to 7 follow
/// EFI_PCI_ROOT_BRIDGE_IO_PROTOCOL_PCI_ADDRESS; a table ends with a row whose
/// bytes 0 to 7 are all 0xFF.
///
typedef struct {
  UINT8     Register;
  UINT8     Function;
  UINT8     Device;
  UINT8     Bus;
  UINT32    ExtendedRegister;
  UINT16    SubsystemVendorId;
  UINT16    SubsystemId;
  UINT32    Reserved;
} SSID_TABLE_ENTRY;

///
/// HdaSsidSelectPei uses only SsidTable, the second pointer-sized member,
/// and writes it only while it is NULL. Members after it are the platform's.
///
typedef struct {
  UINTN                     Revision;
  CONST SSID_TABLE_ENTRY    *SsidTable;
} PLATFORM_SSID_POLICY_PPI;

extern EFI_GUID  gPlatformSsidPolicyPpiGuid;
