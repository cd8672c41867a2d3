// HdaSsidDetectDxe: at End of DXE, ask the fitted HD Audio codec for its
// subsystem ID and keep it in the "ZelHdaSsid" variable for the next boot's
// PEI phase, or delete the variable when no codec gives a known answer.

#include "HdaSsidDetectDxe.h"

#include "HdaProbe.h"
#include "HdaSsidRecord.h"
#include "UefiTables.h"

// Set by the entry point; constant-initialised, as nothing runs before it.
constinit static EFI_BOOT_SERVICES *gHdaBootServices = nullptr;
constinit static EFI_RUNTIME_SERVICES *gHdaRuntimeServices = nullptr;

// DataSize 0 deletes the variable (UEFI 2.x, SetVariable). The status is not
// examined: a failed write leaves what the store holds for the next boot.
static VOID WriteHdaSsidRecord(UINTN DataSize, const HDA_SSID_WORD *Value) {
  gHdaRuntimeServices->SetVariable(HDA_SSID_VARIABLE_NAME, &HDA_SSID_VARIABLE_GUID,
                                   HDA_SSID_VARIABLE_ATTRIBUTES, DataSize, Value);
}

extern "C" VOID EFIAPI OnEndOfDxe(EFI_EVENT Event, VOID *Context) {
  (void)Context;
  HDA_SSID_WORD Value = 0;
  UINTN Size = 0;  // no controller to ask, or no codec recognised: delete
  HDA_CONTROLLER_SESSION Session;
  const BOOLEAN Usable = HdaControllerIsUsable();
  if (Usable) {
    HdaControllerOpen(&Session);
    Size = HdaProbeCodecs(Session.Base, Session.CodecMask, &Value);
  }
  WriteHdaSsidRecord(Size, &Value);
  if (Usable) {
    HdaControllerClose(&Session);
  }
  gHdaBootServices->CloseEvent(Event);
}

extern "C" EFI_STATUS EFIAPI HdaSsidDxeEntryPoint(EFI_HANDLE ImageHandle,
                                                  EFI_SYSTEM_TABLE *SystemTable) {
  (void)ImageHandle;
  gHdaBootServices = SystemTable->BootServices;
  gHdaRuntimeServices = SystemTable->RuntimeServices;
  // If this fails the probe does not run this boot and the previous boot's
  // record stays; the driver has nothing else to report it to.
  EFI_EVENT Event = nullptr;
  gHdaBootServices->CreateEventEx(EVT_NOTIFY_SIGNAL, TPL_CALLBACK, OnEndOfDxe, nullptr,
                                  &EFI_END_OF_DXE_EVENT_GROUP_GUID, &Event);
  return EFI_SUCCESS;
}
