/** @file
  HdaSsidBoardLib: what a board is to the HD Audio subsystem-ID modules. Its
  codec variants, the answers HdaSsidDetectDxe records for them, and the PCI
  subsystem-ID tables HdaSsidSelectPei chooses from, all built at compile time
  from the board's profile (a header such as boards/TargetBoard.h). A
  platform's DSC chooses the board by mapping this class to the board's
  instance; an instance is its profile and two lines of C++ that include the
  profile and HdaSsidBoardLibrary.h (boards/TargetBoardLib.cpp).

  Copyright (c) 2026, HdaSsid contributors. All rights reserved.<BR>
  SPDX-License-Identifier: BSD-2-Clause-Patent
**/

#pragma once

#include <Guid/HdaSsidVariable.h>
#include <Ppi/PlatformSsidPolicy.h>

/**
  Whether a codec's answer to Get Subsystem ID is one of the board's codec
  variants (or the zero answer of a codec without a subsystem ID, where the
  board records it), and the record that stands for it.

  @param[in]  Response  The codec's answer, subsystem vendor ID in bits 31:16.
  @param[out] Stored    The record: the answer with its halves swapped.

  @retval TRUE   The answer is recognised; *Stored is set.
  @retval FALSE  It is not; *Stored is unchanged.
**/
BOOLEAN
EFIAPI
HdaRecognisedSsid (
  IN  UINT32         Response,
  OUT HDA_SSID_WORD  *Stored
  );

/**
  The SVID/SSID word the board's default table (SsidTableDefault) gives the
  HD Audio controller at 00:1F.3, read from the table as it lies in the
  image: the last such entry among at most 70, or 0 when there is none.

  @return The default table's 00:1F.3 word.
**/
HDA_SSID_WORD
EFIAPI
FindDefaultHdaSsid (
  VOID
  );

/**
  The SVID/SSID word the board's profile gives the HD Audio controller at
  00:1F.3 in its default table: the word a boot programs when the record
  selects no variant table. A constant of the profile; no table is read.

  @return The profile's default 00:1F.3 word.
**/
HDA_SSID_WORD
EFIAPI
HdaDefaultSsidWord (
  VOID
  );

/**
  The table of the board's variant whose record this is.

  @param[in]  Record     A record, as the variable holds it.
  @param[out] TableName  The table's name (SsidTable<variant>); optional.

  @return The variant's table, or NULL when the record names no variant.
**/
CONST SSID_TABLE_ENTRY *
EFIAPI
HdaVariantTable (
  IN  HDA_SSID_WORD  Record,
  OUT CONST CHAR8    **TableName  OPTIONAL
  );
