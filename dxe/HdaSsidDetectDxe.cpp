// Copyright (c) 2026, HdaSsid contributors. All rights reserved.
// SPDX-License-Identifier: BSD-2-Clause-Patent
//
// HdaSsidDetectDxe: at End of DXE, ask the fitted HD Audio codec for its
// subsystem ID and keep it in the "ZelHdaSsid" variable for the next boot's
// PEI phase, or delete the variable when no codec gives a known answer.

#include "HdaSsidDetectDxe.h"

#include "HdaDebug.h"
#include "HdaHwAccess.h"
#include "HdaProbe.h"
#include "HdaRegisters.h"
#include "HdaSettings.h"
#include "HdaSsidRecord.h"
#include "HdaUefiTables.h"
#include "HdaVariablePolicy.h"

// Set by the entry point; constant-initialised, as nothing runs before it.
constinit static EFI_SYSTEM_TABLE *gHdaSystemTable = nullptr;
constinit static EFI_BOOT_SERVICES *gHdaBootServices = nullptr;
constinit static EFI_RUNTIME_SERVICES *gHdaRuntimeServices = nullptr;

// The only shape the record may have: 4 bytes, attributes exactly 0x7, no
// lock. The driver's own calls name the variable through this entry, so the
// name and GUID (HDA_SSID_VARIABLE_GUID, gHdaSsidVariableGuid's value) are
// stored once.
struct HDA_SSID_VARIABLE_POLICY {
  VARIABLE_POLICY_ENTRY Entry;
  CHAR16 Name[sizeof(HDA_SSID_VARIABLE_NAME_CHAR16.Chars) / sizeof(CHAR16)];
};
constexpr UINT16 HDA_SSID_POLICY_SIZE = sizeof(VARIABLE_POLICY_ENTRY) + sizeof(HDA_SSID_VARIABLE_NAME_CHAR16.Chars);
consteval HDA_SSID_VARIABLE_POLICY HdaSsidPolicy() {
  HDA_SSID_VARIABLE_POLICY Policy = {
      {VARIABLE_POLICY_ENTRY_REVISION, HDA_SSID_POLICY_SIZE, sizeof(VARIABLE_POLICY_ENTRY), HDA_SSID_VARIABLE_GUID,
       HDA_SSID_RECORD_SIZE, HDA_SSID_RECORD_SIZE, HDA_SSID_VARIABLE_ATTRIBUTES, ~static_cast<UINT32>(HDA_SSID_VARIABLE_ATTRIBUTES),
       VARIABLE_POLICY_TYPE_NO_LOCK, {0, 0, 0}},
      {}};
  for (UINTN I = 0; I < sizeof(Policy.Name) / sizeof(CHAR16); ++I) {
    Policy.Name[I] = HDA_SSID_VARIABLE_NAME_CHAR16.Chars[I];
  }
  return Policy;
}
constinit static const HDA_SSID_VARIABLE_POLICY gHdaSsidPolicy = HdaSsidPolicy();
static_assert(offsetof(HDA_SSID_VARIABLE_POLICY, Name) == sizeof(VARIABLE_POLICY_ENTRY), "the name follows the entry");

// DataSize 0 deletes the variable (UEFI 2.x, SetVariable). The record is
// written as every boot writes it; only when the store refuses that with
// EFI_INVALID_PARAMETER, as UEFI does a rewrite with other attributes than
// the stored record's (one a shell's setvar or an OS made), is the record
// deleted with no access attributes, which UEFI exempts from that rule, and
// written again. An authenticated record refuses the deletion too (it needs
// a signature), so it stays as it is, and the PEIM ignores it. Nothing here
// reads the store: no firmware has to report attributes alongside
// EFI_BUFFER_TOO_SMALL. A failed write leaves what the store holds for the
// next boot. (EDK2's services take the name, GUID and data as non-const.)
static EFI_STATUS WriteHdaSsidRecord(UINTN DataSize, const HDA_SSID_WORD *Value) {
  CHAR16 *Name = const_cast<CHAR16 *>(gHdaSsidPolicy.Name);
  EFI_GUID *Guid = const_cast<EFI_GUID *>(&gHdaSsidPolicy.Entry.Namespace);
  VOID *Data = const_cast<HDA_SSID_WORD *>(Value);
  EFI_STATUS Status;
  for (UINTN Attempt = 0;; ++Attempt) {
    Status = gHdaRuntimeServices->SetVariable(Name, Guid, HDA_SSID_VARIABLE_ATTRIBUTES, DataSize, Data);
    if (Status != EFI_INVALID_PARAMETER || Attempt != 0) {
      break;
    }
    const EFI_STATUS Deleted = gHdaRuntimeServices->SetVariable(Name, Guid, 0, 0, nullptr);
    DEBUG((DEBUG_WARN, "HdaSsidDetectDxe: a record of other attributes is there: deleted first: %r\n", Deleted));
  }
  if (DataSize != 0) {
    DEBUG((EFI_ERROR(Status) ? DEBUG_ERROR : DEBUG_INFO, "HdaSsidDetectDxe: record 0x%08X stored: %r\n", *Value,
           Status));
  } else {
    DEBUG((EFI_ERROR(Status) && Status != EFI_NOT_FOUND ? DEBUG_ERROR : DEBUG_INFO,
           "HdaSsidDetectDxe: no codec gave a known answer: record deleted: %r\n", Status));
  }
  return Status;
}

// The record this boot's PEI phase chose from: 4 bytes of the driver's
// attributes, else none (the PEIM ignores anything else). Read only with
// the convergence reset on.
static UINTN ReadHdaSsidRecord(HDA_SSID_WORD *Value) {
  UINT32 Attributes = 0;
  UINTN Size = sizeof(*Value);
  const EFI_STATUS Status = gHdaRuntimeServices->GetVariable(const_cast<CHAR16 *>(gHdaSsidPolicy.Name),
                                                             const_cast<EFI_GUID *>(&gHdaSsidPolicy.Entry.Namespace),
                                                             &Attributes, &Size, Value);
  return !EFI_ERROR(Status) && Size == HDA_SSID_RECORD_SIZE && Attributes == HDA_SSID_VARIABLE_ATTRIBUTES
             ? HDA_SSID_RECORD_SIZE
             : 0;
}

// The subsystem IDs lock early in boot, so the boot that learns a codec
// runs with the last boot's ID. With the board's convergence reset on, a
// warm reset lets the OS that follows see the learned one, on three
// conditions that make it at most one reset per change of the record: the
// ID programmed in this boot differs from the one the next boot programs
// from the record, this boot's write changed the record, and this is a
// normal boot (not recovery, a flash update or capsule processing). A
// platform that does not apply the PEIM's table thus gets one reset per
// record change, and a failed write none. Returns whether to reset.
static BOOLEAN HdaConvergenceReset(UINT32 Config, EFI_STATUS Written, UINTN Size, HDA_SSID_WORD Value,
                                   UINTN SizeBefore, HDA_SSID_WORD Before) {
  const HDA_SSID_WORD Programmed = MmioRead32(Config + PCI_SUBSYSTEM_OFFSET);
  // A recognised record other than a zero answer's is a variant's, whose
  // table carries it as the 00:1F.3 word.
  const HDA_SSID_WORD Next = Size != 0 && Value != 0 ? Value : HdaDefaultSsidWord();
  const BOOLEAN Changed = !EFI_ERROR(Written) && (Size != SizeBefore || (Size != 0 && Value != Before));
  const EFI_BOOT_MODE BootMode = HdaBootMode(gHdaSystemTable);
  const BOOLEAN Reset = Programmed != Next && Changed && BootMode == BOOT_WITH_FULL_CONFIGURATION;
  DEBUG((Reset ? DEBUG_WARN : DEBUG_INFO,
         "HdaSsidDetectDxe: subsystem ID 0x%08X this boot, 0x%08X the next; record %a; boot mode 0x%X: %a\n",
         Programmed, Next, Changed ? "changed" : "not changed", BootMode,
         Reset ? "warm reset" : "no reset"));
  return Reset;
}

extern "C" VOID EFIAPI OnEndOfDxe(EFI_EVENT Event, VOID *Context) {
  (void)Context;
  // A controller that cannot be examined (absent, another class, BAR0
  // unusable, registers not answering, settings the code cannot use) says
  // nothing about the codec: the record stays.
  const BOOLEAN Converge = HdaSettingConvergenceReset();
  HDA_SSID_WORD Before = 0;
  const UINTN SizeBefore = Converge ? ReadHdaSsidRecord(&Before) : 0;
  BOOLEAN Reset = false;
  HDA_CONTROLLER_SESSION Session;
  if (HdaControllerOpen(&Session) == HdaControllerReady) {
    HDA_SSID_WORD Value = 0;
    const UINTN Size = HdaProbeCodecs(Session.Base, Session.CodecMask, &Value);
    const EFI_STATUS Written = WriteHdaSsidRecord(Size, &Value);
    HdaControllerClose(&Session);
    Reset = Converge && HdaConvergenceReset(Session.Config, Written, Size, Value, SizeBefore, Before);
  } else {
    DEBUG((DEBUG_WARN, "HdaSsidDetectDxe: nothing examined: the record is kept\n"));
  }
  gHdaBootServices->CloseEvent(Event);
  if (Reset) {
    gHdaRuntimeServices->ResetSystem(EfiResetWarm, EFI_SUCCESS, 0, nullptr);
  }
}

extern "C" EFI_STATUS EFIAPI HdaSsidDxeEntryPoint(EFI_HANDLE ImageHandle,
                                                  EFI_SYSTEM_TABLE *SystemTable) {
  (void)ImageHandle;
  gHdaSystemTable = SystemTable;
  gHdaBootServices = SystemTable->BootServices;
  gHdaRuntimeServices = SystemTable->RuntimeServices;
  // EDK2's variable driver locks policy registration in its own End-of-DXE
  // notification. In EDK2 this driver's notification happens to run first
  // (same group and TPL, newest first), but UEFI leaves that order open, so
  // the policy is registered now. Without the protocol the record is guarded
  // by the checks above only.
  EDKII_VARIABLE_POLICY_PROTOCOL *VariablePolicy;  // read only when located
  const EFI_STATUS Located = gHdaBootServices->LocateProtocol(&gEdkiiVariablePolicyProtocolGuid, nullptr,
                                                              reinterpret_cast<VOID **>(&VariablePolicy));
  if (!EFI_ERROR(Located)) {
    const EFI_STATUS Registered = VariablePolicy->RegisterVariablePolicy(&gHdaSsidPolicy.Entry);
    DEBUG((EFI_ERROR(Registered) ? DEBUG_ERROR : DEBUG_INFO, "HdaSsidDetectDxe: variable policy for the record: %r\n",
           Registered));
  } else {
    DEBUG((DEBUG_WARN, "HdaSsidDetectDxe: no variable policy protocol (%r): the record has no policy\n", Located));
  }
  // If this fails the probe does not run this boot and the previous boot's
  // record stays; the driver has nothing else to report it to.
  EFI_EVENT Event;  // the notification gets it; nothing here reads it
  const EFI_STATUS Created = gHdaBootServices->CreateEventEx(EVT_NOTIFY_SIGNAL, TPL_CALLBACK, OnEndOfDxe, nullptr,
                                                             &gEfiEndOfDxeEventGroupGuid, &Event);
  DEBUG((EFI_ERROR(Created) ? DEBUG_ERROR : DEBUG_INFO, "HdaSsidDetectDxe: End-of-DXE notification: %r\n", Created));
  return EFI_SUCCESS;
}
