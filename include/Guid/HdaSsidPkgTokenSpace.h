/** @file
  Token space of HdaSsidPkg's PCDs.

  Copyright (c) 2026, HdaSsid contributors. All rights reserved.<BR>
  SPDX-License-Identifier: BSD-2-Clause-Patent
**/

#pragma once

#define HDA_SSID_PKG_TOKEN_SPACE_GUID \
  { 0x3199B21A, 0x15E6, 0x4ECF, { 0x95, 0x39, 0x05, 0xCE, 0x1B, 0xDD, 0xCE, 0xAA } }

extern EFI_GUID  gHdaSsidPkgTokenSpaceGuid;
