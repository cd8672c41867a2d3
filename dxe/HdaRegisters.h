// Copyright (c) 2026, HdaSsid contributors. All rights reserved.
// SPDX-License-Identifier: BSD-2-Clause-Patent
//
// Register names of the PCI configuration header (PCI Local Bus 3.0, 6.2) and
// of the HD Audio controller (HD Audio 1.0a, 3.3 and 3.4.3), and the codec
// verbs the probe sends (HD Audio 1.0a, 7.3).
#pragma once

#include "HdaUefiBase.h"

// PCI configuration space offsets and bits.
constexpr UINT32 PCI_VENDOR_DEVICE_OFFSET = 0x00;
constexpr UINT32 PCI_COMMAND_OFFSET = 0x04;
constexpr UINT32 PCI_CLASS_REVISION_OFFSET = 0x08;  // revision, programming interface, subclass, class
constexpr UINT32 PCI_BAR0_OFFSET = 0x10;
constexpr UINT32 PCI_BAR0_UPPER_OFFSET = 0x14;
constexpr UINT16 PCI_VENDOR_ID_NONE = 0xFFFF;
constexpr UINT32 PCI_SUBSYSTEM_OFFSET = 0x2C;  // subsystem vendor ID, subsystem ID
// Base class 0x04 (multimedia), subclass 0x03 (HD Audio): PCI Code and ID
// Assignment 1.x, 1.5. Intel's controller reports subclass 0x01 (audio)
// while its audio DSP is enabled, with programming interface 0x00 (0x040100)
// or 0x80 (0x040380, either driver may bind); its HD Audio registers at
// BAR0 are the same in every mode (Linux sound/hda/intel-dsp-config.c).
constexpr UINT8 PCI_CLASS_MULTIMEDIA = 0x04;
constexpr UINT8 PCI_SUBCLASS_HD_AUDIO = 0x03;
constexpr UINT8 PCI_SUBCLASS_AUDIO = 0x01;
constexpr bool PciClassIsHdAudio(UINT32 ClassRevision) {
  const UINT8 Class = static_cast<UINT8>(ClassRevision >> 24);
  const UINT8 Subclass = static_cast<UINT8>(ClassRevision >> 16);
  return Class == PCI_CLASS_MULTIMEDIA && (Subclass == PCI_SUBCLASS_HD_AUDIO || Subclass == PCI_SUBCLASS_AUDIO);
}
constexpr UINT8 PCI_COMMAND_IO_MEMORY_BUS_MASTER = 0x07;
constexpr UINT32 PCI_BAR_MEMORY_ADDRESS_MASK = 0xFFFFFFF0;
constexpr UINT32 PCI_BAR_MEMORY_TYPE_MASK = 0x6;
constexpr UINT32 PCI_BAR_MEMORY_TYPE_64 = 0x4;

// HD Audio controller registers, offsets from BAR0.
constexpr UINT32 HDA_REG_GCTL = 0x08;
constexpr UINT32 HDA_REG_STATESTS = 0x0E;
constexpr UINT32 HDA_REG_ICOI = 0x60;  // Immediate Command Output Interface
constexpr UINT32 HDA_REG_IRII = 0x64;  // Immediate Response Input Interface
constexpr UINT32 HDA_REG_ICS = 0x68;   // Immediate Command Status
constexpr UINT32 HDA_GCTL_CRST = 0x1;
// No register of a controller that decodes reads all ones (GCTL's bits 31:9
// are reserved as 0): the block is not answering (D3hot, power-gated, memory
// space not decoded).
constexpr UINT32 HDA_REGISTERS_NOT_ANSWERING = 0xFFFFFFFF;
constexpr UINT32 HDA_ICS_ICB = 0x1;  // Immediate Command Busy
constexpr UINT32 HDA_ICS_IRV = 0x2;  // Immediate Result Valid, write 1 to clear
// Highest register byte the probe touches: the last byte of ICS.
constexpr UINT32 HDA_REG_LAST_USED = HDA_REG_ICS + 3;

// Codec addresses probed: SDI 0 to 2.
constexpr UINT32 HDA_PROBED_CODECS = 3;

// Get Parameter (0xF00) Vendor ID of the root node, and Get Subsystem ID
// (0xF20) of node 0x01; the codec address goes in bits 31:28.
constexpr UINT32 HDA_VERB_GET_VENDOR_ID = 0x000F0000;
constexpr UINT32 HDA_VERB_GET_SUBSYSTEM_ID = 0x001F2000;
constexpr UINT32 HdaCodecVerb(UINT32 CodecAddress, UINT32 Verb) {
  return CodecAddress << 28 | Verb;
}
