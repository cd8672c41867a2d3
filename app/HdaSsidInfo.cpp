// HdaSsidInfo: a UEFI Shell application for board bring-up. It shows what
// HdaSsidDetectDxe sees on this board: the HD Audio controller at 00:1F.3,
// the codecs flagged in STATESTS, each codec's vendor-ID and subsystem-ID
// answers, what the driver would store, and the stored record. It uses the
// driver's own probe steps, so it enables, probes and restores the
// controller exactly as the driver does. It takes the board's ECAM base and
// PM-timer port from the firmware's ACPI tables where they are given there,
// else the settings patched into its image, so one binary serves any board.

#include "HdaSsidInfo.h"

#include "AcpiBoard.h"
#include "Console.h"
#include "HdaPlatformSettings.h"
#include "HdaBoardProfile.h"
#include "HdaProbe.h"
#include "HdaRegisters.h"
#include "HdaSsidRecord.h"
#include "HwAccess.h"

namespace {

// The profile's variant a recognised answer is, by name; "" for none (the
// zero answer).
const char *VariantName(UINT32 Answer) {
#define HDA_VARIANT_NAME(Name, Vendor, Device) \
  if (Answer == HdaAnswerOf(Vendor, Device)) {   \
    return #Name;                                \
  }
  HDA_BOARD_VARIANTS(HDA_VARIANT_NAME)
#undef HDA_VARIANT_NAME
  return "";
}

// ACPI's values where it gives usable ones, else the image's; beside them
// what the release carries, since that is where the driver looks unless the
// platform sets its PCDs (or hdapack retarget does).
VOID ChooseBoardSettings(CONSOLE_LINE &Line, const EFI_SYSTEM_TABLE *SystemTable) {
  const UINT64 BuiltEcam = gHdaPlatformSettings.PciExpressBaseAddress;
  const UINT16 BuiltPort = gHdaPlatformSettings.PmTimerPort;
  ACPI_BOARD_SETTINGS Acpi;
  FindAcpiBoardSettings(SystemTable, &Acpi);
  const BOOLEAN UseEcam = Acpi.HasEcamBase && HdaEcamBaseUsable(Acpi.EcamBase);
  const BOOLEAN UsePort = Acpi.HasPmTimerPort && HdaPmTimerPortUsable(Acpi.PmTimerPort);
  if (UseEcam) {
    gHdaPlatformSettings.PciExpressBaseAddress = Acpi.EcamBase;
  }
  if (UsePort) {
    gHdaPlatformSettings.PmTimerPort = Acpi.PmTimerPort;
  }
  Line.Text("Board: ECAM base ").Hex(gHdaPlatformSettings.PciExpressBaseAddress, 8);
  Line.Text(UseEcam ? " (ACPI MCFG)" : " (the image's setting)");
  Line.Text(", PM timer port ").Hex(gHdaPlatformSettings.PmTimerPort, 4);
  Line.Text(UsePort ? " (ACPI FADT)" : " (the image's setting)").Print();
  Line.Text("  this release carries ECAM base ").Hex(BuiltEcam, 8).Text(", PM timer port ").Hex(BuiltPort, 4).Print();
  if (gHdaPlatformSettings.PciExpressBaseAddress != BuiltEcam || gHdaPlatformSettings.PmTimerPort != BuiltPort) {
    Line.Text("Warning: the driver of this release uses these only where the platform sets its PCDs so").Print();
  }
}

VOID ShowConfiguration(CONSOLE_LINE &Line) {
  const UINT32 Config = HdaPciConfigBase();
  Line.Text("HD Audio controller 00:1F.3, configuration space at ").Hex(Config, 8).Print();
  const UINT32 VendorDevice = MmioRead32(Config + PCI_VENDOR_DEVICE_OFFSET);
  const UINT32 ClassRevision = MmioRead32(Config + PCI_CLASS_REVISION_OFFSET);
  const UINT8 Command = MmioRead8(Config + PCI_COMMAND_OFFSET);
  const UINT32 Bar0 = MmioRead32(Config + PCI_BAR0_OFFSET);
  Line.Text("  vendor ").Hex(VendorDevice & 0xFFFF, 4).Text(" device ").Hex(VendorDevice >> 16, 4);
  Line.Text(" class ").Hex(ClassRevision >> 8, 6);
  Line.Text("  command ").Hex(Command, 2).Text("  BAR0 ").Hex(Bar0, 8);
  if ((Bar0 & PCI_BAR_MEMORY_TYPE_MASK) == PCI_BAR_MEMORY_TYPE_64) {
    Line.Text(" upper ").Hex(MmioRead32(Config + PCI_BAR0_UPPER_OFFSET), 8);
  }
  Line.Print();
}

// The driver's own query; returns the record value the driver would store
// for this codec, when its answer is recognised.
BOOLEAN ShowCodec(CONSOLE_LINE &Line, UINT32 Base, UINT32 Codec, HDA_SSID_WORD *Stored) {
  UINT32 VendorId;
  UINT32 SubsystemId;
  const UINT32 Answered = HdaQueryCodec(Base, Codec, &VendorId, &SubsystemId);
  Line.Text("  codec ").Decimal(Codec).Text(": vendor ID ");
  if (Answered == 0) {
    Line.Text("timed out; the driver skips this codec").Print();
    return false;
  }
  Line.Hex(VendorId, 8).Text(", subsystem ID ");
  if (Answered == 1) {
    Line.Text("timed out; the driver skips this codec").Print();
    return false;
  }
  Line.Hex(SubsystemId, 8).Print();
  if (!HdaRecognisedSsid(SubsystemId, Stored)) {
    Line.Text("    not a known variant: the driver goes on to the next codec").Print();
    // A profile that gave a variant in the record's layout (halves swapped)
    // is recognisable here, on the board.
    HDA_SSID_WORD Swapped;
    if (SubsystemId != 0 && HdaRecognisedSsid(HdaRecordOfAnswer(SubsystemId), &Swapped)) {
      Line.Text("    swapped, it is variant ").Text(VariantName(HdaRecordOfAnswer(SubsystemId)));
      Line.Text(": are its IDs swapped in the profile?").Print();
    }
    return false;
  }
  const char *Variant = VariantName(SubsystemId);
  Line.Text("    known: ").Text(*Variant != '\0' ? "variant " : "no subsystem ID programmed").Text(Variant);
  Line.Text("; the driver stores ").Hex(*Stored, 8).Print();
  return true;
}

VOID ShowRecord(CONSOLE_LINE &Line, EFI_SYSTEM_TABLE *SystemTable) {
  UINT8 Data[8];
  UINTN Size = sizeof(Data);
  UINT32 Attributes = 0;
  const EFI_STATUS Status = SystemTable->RuntimeServices->GetVariable(
      HDA_SSID_VARIABLE_NAME, &HDA_SSID_VARIABLE_GUID, &Attributes, &Size, Data);
  Line.Text("Stored record ZelHdaSsid: ");
  if (Status == EFI_NOT_FOUND) {
    Line.Text("none").Print();
  } else if (EFI_ERROR(Status)) {
    Line.Text("cannot be read, status ").Hex(Status, 16).Print();
  } else if (Size != HDA_SSID_RECORD_SIZE) {
    Line.Text("unexpected size of ").Decimal(static_cast<UINT32>(Size)).Text(" bytes").Print();
  } else {
    const UINT32 Value = Data[0] | Data[1] << 8 | Data[2] << 16 | static_cast<UINT32>(Data[3]) << 24;
    Line.Hex(Value, 8).Text(" (attributes ").Hex(Attributes, 2).Text(")").Print();
  }
}

}  // namespace

EFI_STATUS HdaSsidInfo(EFI_SYSTEM_TABLE *SystemTable) {
  CONSOLE_LINE Line(SystemTable);
  Line.Text("Board profile: " HDA_BOARD_NAME).Print();
  ChooseBoardSettings(Line, SystemTable);
  ShowConfiguration(Line);
  HDA_CONTROLLER_SESSION Session;
  if (!HdaControllerOpen(&Session)) {
    Line.Text("No usable HD Audio controller: the driver touches nothing and leaves the record as it is.").Print();
    ShowRecord(Line, SystemTable);
    return EFI_SUCCESS;
  }
  Line.Text("  GCTL ").Hex(Session.SavedGctl, 8).Text(" (CRST ").Decimal(Session.SavedGctl & HDA_GCTL_CRST);
  Line.Text(" on entry)  STATESTS ").Hex(Session.CodecMask, 2).Text(" right after setting CRST").Print();
  HDA_SSID_WORD Chosen = 0;
  BOOLEAN Found = false;
  for (UINT32 Codec = 0; Codec < HDA_PROBED_CODECS; ++Codec) {
    if ((Session.CodecMask & (1u << Codec)) == 0) {
      continue;
    }
    HDA_SSID_WORD Stored = 0;
    if (ShowCodec(Line, Session.Base, Codec, &Stored) && !Found) {
      Found = true;
      Chosen = Stored;
    }
  }
  HdaControllerClose(&Session);
  Line.Text("Controller restored: command ").Hex(Session.SavedCommand, 2);
  Line.Text(", GCTL low byte ").Hex(Session.SavedGctl & 0xFF, 2).Print();
  if (Found) {
    Line.Text("At End of DXE the driver would store ").Hex(Chosen, 8).Print();
  } else {
    Line.Text("At End of DXE the driver would delete the record (no known answer)").Print();
  }
  ShowRecord(Line, SystemTable);
  return EFI_SUCCESS;
}

extern "C" EFI_STATUS EFIAPI HdaSsidInfoEntryPoint(EFI_HANDLE ImageHandle, EFI_SYSTEM_TABLE *SystemTable) {
  (void)ImageHandle;
  return HdaSsidInfo(SystemTable);
}
