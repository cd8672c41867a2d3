// Copyright (c) 2026, HdaSsid contributors. All rights reserved.
// SPDX-License-Identifier: BSD-2-Clause-Patent

#include "HdaProbe.h"

#include "HdaPlatformSettings.h"
#include "HdaDebug.h"
#include "HdaRegisters.h"
#include "HdaTransport.h"
#include "HdaHwAccess.h"

// Without these checks settings patched to values the code cannot use would
// address memory outside any configuration space, an absent device (all
// ones) or an unassigned BAR would send the probe's writes to address 0 or to
// the top of the boot flash, and a BAR in the last bytes below 4 GiB would
// wrap the 32-bit register addresses round to low memory.
// HdaControllerReady when the controller can be used; *Config is then
// 00:1F.3's configuration space.
static HDA_CONTROLLER_STATE HdaControllerIsUsable(UINT32 *Config) {
  const UINT64 EcamBase = HdaSettingEcamBase();
  const UINT16 PmTimerPort = HdaSettingPmTimerPort();
  if (!HdaPlatformSettingsUsable(EcamBase, PmTimerPort)) {
    DEBUG((DEBUG_ERROR, "HdaSsidDetectDxe: settings unusable (ECAM base 0x%lX, PM timer port 0x%X): nothing touched\n",
           EcamBase, PmTimerPort));
    return HdaSettingsUnusable;
  }
  *Config = static_cast<UINT32>(EcamBase) + HDA_PCI_CONFIG_OFFSET;
  const UINT32 VendorDevice = MmioRead32(*Config + PCI_VENDOR_DEVICE_OFFSET);
  if ((VendorDevice & 0xFFFF) == PCI_VENDOR_ID_NONE) {
    DEBUG((DEBUG_WARN, "HdaSsidDetectDxe: no device at 00:1F.3 (configuration space 0x%08X): nothing touched\n",
           *Config));
    return HdaNoDevice;
  }
  // Another function there (older chipsets put SMBus at 00:1F.3), or a
  // wrong ECAM base that lands on some device, gets no HD Audio write.
  const UINT32 ClassRevision = MmioRead32(*Config + PCI_CLASS_REVISION_OFFSET);
  if (!PciClassIsHdAudio(ClassRevision)) {
    DEBUG((DEBUG_WARN, "HdaSsidDetectDxe: 00:1F.3 (device 0x%08X) is class 0x%06X, not HD Audio: nothing touched\n",
           VendorDevice, ClassRevision >> 8));
    return HdaNotHdAudio;
  }
  const UINT32 Bar0 = MmioRead32(*Config + PCI_BAR0_OFFSET);
  const UINT32 Address = Bar0 & PCI_BAR_MEMORY_ADDRESS_MASK;
  if (Address == 0 || Address > 0xFFFFFFFFu - HDA_REG_LAST_USED) {
    DEBUG((DEBUG_WARN, "HdaSsidDetectDxe: 00:1F.3 (device 0x%08X) BAR0 0x%08X unusable: nothing touched\n",
           VendorDevice, Bar0));
    return HdaBar0Unusable;
  }
  if ((Bar0 & PCI_BAR_MEMORY_TYPE_MASK) == PCI_BAR_MEMORY_TYPE_64) {
    const UINT32 Upper = MmioRead32(*Config + PCI_BAR0_UPPER_OFFSET);
    if (Upper != 0) {
      DEBUG((DEBUG_WARN, "HdaSsidDetectDxe: 00:1F.3 BAR0 above 4 GiB (0x%08X%08X): nothing touched\n", Upper, Bar0));
      return HdaBar0Unusable;
    }
  }
  DEBUG((DEBUG_INFO, "HdaSsidDetectDxe: 00:1F.3 device 0x%08X, class 0x%06X, BAR0 0x%08X\n", VendorDevice,
         ClassRevision >> 8, Bar0));
  return HdaControllerReady;
}

HDA_CONTROLLER_STATE HdaControllerOpen(HDA_CONTROLLER_SESSION *Session) {
  UINT32 Config;
  const HDA_CONTROLLER_STATE State = HdaControllerIsUsable(&Config);
  if (State != HdaControllerReady) {
    return State;
  }
  Session->Config = Config;
  Session->SavedCommand = MmioRead8(Config + PCI_COMMAND_OFFSET);
  MmioWrite8(Config + PCI_COMMAND_OFFSET, PCI_COMMAND_IO_MEMORY_BUS_MASTER);
  Session->Base = MmioRead32(Config + PCI_BAR0_OFFSET) & PCI_BAR_MEMORY_ADDRESS_MASK;
  Session->SavedGctl = MmioRead32(Session->Base + HDA_REG_GCTL);
  if (Session->SavedGctl == HDA_REGISTERS_NOT_ANSWERING) {
    MmioWrite8(Config + PCI_COMMAND_OFFSET, Session->SavedCommand);
    DEBUG((DEBUG_WARN, "HdaSsidDetectDxe: registers at 0x%08X read all ones: command 0x%02X put back\n",
           Session->Base, Session->SavedCommand));
    return HdaRegistersNotAnswering;
  }
  MmioWrite32(Session->Base + HDA_REG_GCTL, Session->SavedGctl | HDA_GCTL_CRST);
  // Sampled once, straight away: codecs that have not announced themselves
  // by now are not probed on this board.
  Session->CodecMask = MmioRead8(Session->Base + HDA_REG_STATESTS);
  DEBUG((DEBUG_INFO, "HdaSsidDetectDxe: command 0x%02X, GCTL 0x%08X on entry, STATESTS 0x%02X\n",
         Session->SavedCommand, Session->SavedGctl, Session->CodecMask));
  return HdaControllerReady;
}

VOID HdaControllerClose(const HDA_CONTROLLER_SESSION *Session) {
  MmioWrite8(Session->Base + HDA_REG_GCTL, static_cast<UINT8>(Session->SavedGctl));
  MmioWrite8(Session->Config + PCI_COMMAND_OFFSET, Session->SavedCommand);
}

UINT32 HdaQueryCodec(UINT32 Base, UINT32 Codec, UINT32 *VendorId, UINT32 *SubsystemId) {
  if (EFI_ERROR(HdaSendVerb(Base, HdaCodecVerb(Codec, HDA_VERB_GET_VENDOR_ID), VendorId))) {
    return 0;
  }
  if (EFI_ERROR(HdaSendVerb(Base, HdaCodecVerb(Codec, HDA_VERB_GET_SUBSYSTEM_ID), SubsystemId))) {
    return 1;
  }
  return 2;
}

UINTN HdaProbeCodecs(UINT32 Base, UINT8 CodecMask, HDA_SSID_WORD *Stored) {
  for (UINT32 Codec = 0; Codec < HDA_PROBED_CODECS; ++Codec) {
    if ((CodecMask & (1u << Codec)) == 0) {
      continue;
    }
    UINT32 VendorId;
    UINT32 SubsystemId;
    const UINT32 Answered = HdaQueryCodec(Base, Codec, &VendorId, &SubsystemId);
    if (Answered < 2) {
      DEBUG((DEBUG_WARN, "HdaSsidDetectDxe: codec %u timed out on the %a verb\n", Codec,
             Answered == 0 ? "vendor-ID" : "subsystem-ID"));
      continue;
    }
    const BOOLEAN Known = HdaRecognisedSsid(SubsystemId, Stored);
    DEBUG((DEBUG_INFO, "HdaSsidDetectDxe: codec %u: vendor ID 0x%08X, subsystem ID 0x%08X, %a\n", Codec, VendorId,
           SubsystemId, Known ? "known" : "not a known variant"));
    if (Known) {
      return HDA_SSID_RECORD_SIZE;
    }
  }
  return 0;
}

EFI_BOOT_MODE HdaBootMode(const EFI_SYSTEM_TABLE *SystemTable) {
  for (UINTN I = 0; I < SystemTable->NumberOfTableEntries; ++I) {
    const EFI_CONFIGURATION_TABLE &Table = SystemTable->ConfigurationTable[I];
    if (Table.VendorGuid == gEfiHobListGuid) {
      const auto *Handoff = static_cast<const EFI_HOB_HANDOFF_INFO_TABLE *>(Table.VendorTable);
      return Handoff->Header.HobType == EFI_HOB_TYPE_HANDOFF ? Handoff->BootMode : BOOT_IN_RECOVERY_MODE;
    }
  }
  return BOOT_IN_RECOVERY_MODE;
}
