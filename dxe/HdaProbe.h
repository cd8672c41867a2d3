// Copyright (c) 2026, HdaSsid contributors. All rights reserved.
// SPDX-License-Identifier: BSD-2-Clause-Patent
//
// The steps of the End-of-DXE probe on the controller at 00:1F.3, shared by
// the driver and the bring-up application so both touch the hardware alike.
#pragma once

#include "HdaSsidRecord.h"
#include "HdaUefiBase.h"
#include "HdaUefiTables.h"

// The board's recognition of codec answers (HdaRecognisedSsid).
extern "C" {
#include <Library/HdaSsidBoardLib.h>
}

// What HdaControllerOpen changed and HdaControllerClose puts back.
struct HDA_CONTROLLER_SESSION {
  UINT32 Config;  // 00:1F.3's configuration space
  UINT8 SavedCommand;
  UINT32 Base;
  UINT32 SavedGctl;
  UINT8 CodecMask;  // STATESTS as sampled right after CRST was set
};

// What HdaControllerOpen found at 00:1F.3. Only HdaControllerReady leaves
// anything changed (and HdaControllerClose to call); in every other state
// the controller is as it was found and the record must stay: a controller
// that cannot be examined says nothing about the codec.
enum HDA_CONTROLLER_STATE : UINT8 {
  HdaControllerReady,         // enabled, CRST set, STATESTS sampled
  HdaSettingsUnusable,        // nothing accessed at all
  HdaNoDevice,                // vendor ID 0xFFFF
  HdaNotHdAudio,              // another class (an SMBus controller, say)
  HdaBar0Unusable,            // 0, or registers not all below 4 GiB
  HdaRegistersNotAnswering,   // GCTL all ones: the command byte was put back
};

// First checks, touching nothing, that the platform settings are usable
// (else nothing at all is accessed), that 00:1F.3 answers (vendor ID not
// 0xFFFF) and is an HD Audio controller (class 0x04, subclass 0x03, or 0x01
// with the audio DSP enabled), and that BAR0 is neither 0 nor all ones with
// the registers the probe uses below 4 GiB (a 64-bit BAR's upper dword 0, no
// 32-bit wrap past the top). Then enables decoding and bus mastering; a
// register block that reads all ones gets its command byte back and no
// write. Otherwise takes the controller out of reset and samples STATESTS
// once.
HDA_CONTROLLER_STATE HdaControllerOpen(HDA_CONTROLLER_SESSION *Session);

// Restores GCTL's low byte, then the command register: the reverse order.
VOID HdaControllerClose(const HDA_CONTROLLER_SESSION *Session);

// Sends the codec at Codec (0 to 2) the vendor-ID verb, which only proves
// that it answers, and, when it did, the subsystem-ID verb: the one query of
// the driver and the bring-up application. Returns how many of the two verbs
// were answered (0, 1 or 2); *VendorId and *SubsystemId hold those answers.
UINT32 HdaQueryCodec(UINT32 Base, UINT32 Codec, UINT32 *VendorId, UINT32 *SubsystemId);

// Asks the codecs flagged in CodecMask (addresses 0 to 2) for their subsystem
// ID, in ascending order, until one gives a recognised answer; returns the
// record size to write: 4 with *Stored set for that answer, 0 when there is
// none.
UINTN HdaProbeCodecs(UINT32 Base, UINT8 CodecMask, HDA_SSID_WORD *Stored);

// The boot mode PEI decided on, from the HOB list's handoff table (PI
// volume 3), which the system configuration table names; a list that is not
// there, or does not start with the handoff table, reads as recovery, a
// mode in which nothing is done that could wait.
EFI_BOOT_MODE HdaBootMode(const EFI_SYSTEM_TABLE *SystemTable);
