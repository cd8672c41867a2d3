// Copyright (c) 2026, HdaSsid contributors. All rights reserved.
// SPDX-License-Identifier: BSD-2-Clause-Patent
//
// HdaSsidInfo: a UEFI Shell application for board bring-up. It shows what
// HdaSsidDetectDxe sees on this board and says whether the board meets the
// driver's contract, item by item, ending in one verdict line. It takes the
// board's ECAM base and PM-timer port from the firmware's ACPI tables where
// they are given there, else the settings patched into its image, so one
// binary serves any board.
//
// It runs the driver's own probe code twice. First a dry run, exactly the
// driver's accesses without the record write, which it prints as a capture
// the host bench can replay. Then its own look: it waits for CRST to read 1
// and for the 521 us in which codecs announce themselves (HD Audio 1.0a
// errata; Linux's snd_hdac_bus_reset_link and coreboot's azalia_device.c
// wait as long), reads STATESTS again and asks every codec flagged then.
// The driver itself never waits: a codec that shows only after the wait is
// one the driver would miss. Each session enables and restores the
// controller as the driver does.

#include "HdaSsidInfo.h"

#include "AcpiBoard.h"
#include "Console.h"
#include "HdaBoardProfile.h"
#include "HdaPlatformSettings.h"
#include "HdaProbe.h"
#include "HdaRegisters.h"
#include "HdaSsidRecord.h"
#include "HdaHwAccess.h"
#include "ProbeCapture.h"

namespace {

constexpr UINT32 HDA_CODEC_ANNOUNCE_MICROSECONDS = 521;  // 25 frames of 20.83 us
constexpr UINT32 HDA_CRST_TIMEOUT_MICROSECONDS = 100000;  // as long as Linux waits
constexpr UINT32 HDA_CRST_POLL_MICROSECONDS = 50;
// The PM timer runs at 3.579545 MHz (ACPI 6.x, 4.8.3.3): 35,795 ticks in
// 10 ms. Stall waits at least as long as asked, and longer when the firmware
// is slow to return (an emulator), so the shortest of three is taken and a
// timer may count up to twice that; a wrong port or clock is off by far more.
constexpr UINT32 PM_TIMER_CHECK_MICROSECONDS = 10000;
constexpr UINT32 PM_TIMER_CHECKS = 3;
constexpr UINT32 PM_TIMER_TICKS_PER_CHECK = 35795;
constexpr UINT32 PM_TIMER_FEWEST_TICKS = PM_TIMER_TICKS_PER_CHECK - PM_TIMER_TICKS_PER_CHECK / 10;
constexpr UINT32 PM_TIMER_MOST_TICKS = 2 * PM_TIMER_TICKS_PER_CHECK;
constexpr UINT8 HDA_PROBED_CODEC_MASK = (1u << HDA_PROBED_CODECS) - 1;

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

// The table a record makes the next boot's PEIM choose, by name, or nullptr
// when it chooses none (the platform's default table stays).
const char *TableChosenFor(HDA_SSID_WORD Record) {
  if (Record == HDA_BOARD_DEFAULT_HDA_WORD) {
    return nullptr;
  }
#define HDA_VARIANT_TABLE(Name, Vendor, Device) \
  if (Record == HDA_SSID_VARIANT_##Name) {      \
    return "SsidTable" #Name;                   \
  }
  HDA_BOARD_VARIANTS(HDA_VARIANT_TABLE)
#undef HDA_VARIANT_TABLE
  return nullptr;
}

// Everything the report saw, for the contract's items.
struct FINDINGS {
  ACPI_BOARD_SETTINGS Acpi;
  UINT64 BuiltEcam;
  UINT16 BuiltPort;
  BOOLEAN ConfigRead;  // the settings allowed reading 00:1F.3's configuration space
  UINT32 VendorDevice;
  UINT32 ClassRevision;
  UINT32 Bar0;
  UINT32 Subsystem;
  HDA_CONTROLLER_STATE State;  // the dry run's
  HDA_CONTROLLER_SESSION DryRun;
  BOOLEAN LookedAfterWindow;
  BOOLEAN CrstReadOne;
  UINT32 CrstMicroseconds;
  UINT8 WindowStatests;
  UINT8 WindowAnswered;  // the codecs flagged then that answered both verbs
  UINTN WindowStoredSize;  // what the driver would store had it waited too
  HDA_SSID_WORD WindowStored;
  UINTN DryRunSize;  // what the dry run would store
  HDA_SSID_WORD DryRunStored;
  UINT32 PmTimerTicks;
  EFI_STATUS RecordStatus;
  UINTN RecordSize;
  UINT32 RecordAttributes;
  HDA_SSID_WORD Record;
};

// ACPI's values where it gives usable ones, else the image's; beside them
// what the release carries, since that is where the driver looks unless the
// platform sets its PCDs (or hdapack retarget does).
VOID ChooseBoardSettings(CONSOLE_LINE &Line, const EFI_SYSTEM_TABLE *SystemTable, FINDINGS &F) {
  F.BuiltEcam = gHdaPlatformSettings.PciExpressBaseAddress;
  F.BuiltPort = gHdaPlatformSettings.PmTimerPort;
  FindAcpiBoardSettings(SystemTable, &F.Acpi);
  const BOOLEAN UseEcam = F.Acpi.HasEcamBase && HdaEcamBaseUsable(F.Acpi.EcamBase);
  const BOOLEAN UsePort = F.Acpi.HasPmTimerPort && HdaPmTimerPortUsable(F.Acpi.PmTimerPort);
  if (UseEcam) {
    gHdaPlatformSettings.PciExpressBaseAddress = F.Acpi.EcamBase;
  }
  if (UsePort) {
    gHdaPlatformSettings.PmTimerPort = F.Acpi.PmTimerPort;
  }
  Line.Text("Board: ECAM base ").Hex(gHdaPlatformSettings.PciExpressBaseAddress, 8);
  Line.Text(UseEcam ? " (ACPI MCFG)" : " (the image's setting)");
  Line.Text(", PM timer port ").Hex(gHdaPlatformSettings.PmTimerPort, 4);
  Line.Text(UsePort ? " (ACPI FADT)" : " (the image's setting)").Print();
  Line.Text("  this release carries ECAM base ").Hex(F.BuiltEcam, 8).Text(", PM timer port ").Hex(F.BuiltPort, 4);
  Line.Print();
}

VOID ShowConfiguration(CONSOLE_LINE &Line, FINDINGS &F) {
  const UINT32 Config = HdaPciConfigBase();
  Line.Text("HD Audio controller 00:1F.3, configuration space at ").Hex(Config, 8).Print();
  F.ConfigRead = HdaEcamBaseUsable(HdaSettingEcamBase());
  if (!F.ConfigRead) {
    Line.Text("  not read: the ECAM base is not one the driver can use").Print();
    return;
  }
  F.VendorDevice = MmioRead32(Config + PCI_VENDOR_DEVICE_OFFSET);
  F.ClassRevision = MmioRead32(Config + PCI_CLASS_REVISION_OFFSET);
  const UINT8 Command = MmioRead8(Config + PCI_COMMAND_OFFSET);
  F.Bar0 = MmioRead32(Config + PCI_BAR0_OFFSET);
  Line.Text("  vendor ").Hex(F.VendorDevice & 0xFFFF, 4).Text(" device ").Hex(F.VendorDevice >> 16, 4);
  Line.Text(" class ").Hex(F.ClassRevision >> 8, 6);
  Line.Text("  command ").Hex(Command, 2).Text("  BAR0 ").Hex(F.Bar0, 8);
  if ((F.Bar0 & PCI_BAR_MEMORY_TYPE_MASK) == PCI_BAR_MEMORY_TYPE_64) {
    Line.Text(" upper ").Hex(MmioRead32(Config + PCI_BAR0_UPPER_OFFSET), 8);
  }
  Line.Print();
  F.Subsystem = MmioRead32(Config + PCI_SUBSYSTEM_OFFSET);
  Line.Text("  subsystem vendor and ID programmed this boot (0x2C): ").Hex(F.Subsystem, 8).Print();
}

// The driver's probe without the record write: HdaSsidDetectDxe's own
// accesses, captured.
VOID DryRun(CONSOLE_LINE &Line, FINDINGS &F) {
  Line.Text("The driver's probe, dry run:").Print();
  HdaCaptureStart();
  F.State = HdaControllerOpen(&F.DryRun);
  if (F.State == HdaControllerReady) {
    F.DryRunSize = HdaProbeCodecs(F.DryRun.Base, F.DryRun.CodecMask, &F.DryRunStored);
    HdaControllerClose(&F.DryRun);
  }
  HdaCaptureStop();
  if (F.State != HdaControllerReady) {
    Line.Text("  No usable HD Audio controller: the driver ");
    Line.Text(F.State == HdaRegistersNotAnswering ? "puts the command byte back, " : "touches nothing, ");
    Line.Text("and leaves the record as it is.").Print();
  } else {
    Line.Text("  GCTL ").Hex(F.DryRun.SavedGctl, 8).Text(" (CRST ").Decimal(F.DryRun.SavedGctl & HDA_GCTL_CRST);
    Line.Text(" on entry)  STATESTS ").Hex(F.DryRun.CodecMask, 2).Text(" right after setting CRST").Print();
    Line.Text("  Controller restored: command ").Hex(F.DryRun.SavedCommand, 2);
    Line.Text(", GCTL low byte ").Hex(F.DryRun.SavedGctl & 0xFF, 2).Print();
    if (F.DryRunSize != 0) {
      Line.Text("  At End of DXE the driver would store ").Hex(F.DryRunStored, 8).Print();
    } else {
      Line.Text("  At End of DXE the driver would delete the record (no known answer)").Print();
    }
  }
  HdaCapturePrint(Line, HdaSettingEcamBase(), HdaSettingPmTimerPort(), HDA_BOARD_NAME);
}

// The driver's own query; what the driver makes of the answer. True when
// the codec answered both verbs; *Known when the answer is one the driver
// records, *Stored then its record.
BOOLEAN ShowCodec(CONSOLE_LINE &Line, UINT32 Base, UINT32 Codec, BOOLEAN *Known, HDA_SSID_WORD *Stored) {
  *Known = false;
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
    return true;
  }
  const char *Variant = VariantName(SubsystemId);
  Line.Text("    known: ").Text(*Variant != '\0' ? "variant " : "no subsystem ID programmed").Text(Variant);
  Line.Text("; the driver stores ").Hex(*Stored, 8).Print();
  *Known = true;
  return true;
}

// What the driver does not wait for: CRST reading 1, then the codecs'
// announcements; then every codec flagged, asked as the driver asks.
VOID LookAfterTheWindow(CONSOLE_LINE &Line, EFI_SYSTEM_TABLE *SystemTable, FINDINGS &F) {
  HDA_CONTROLLER_SESSION Session;
  if (F.State != HdaControllerReady || HdaControllerOpen(&Session) != HdaControllerReady) {
    return;
  }
  F.LookedAfterWindow = true;
  for (;;) {
    F.CrstReadOne = (MmioRead32(Session.Base + HDA_REG_GCTL) & HDA_GCTL_CRST) != 0;
    if (F.CrstReadOne || F.CrstMicroseconds >= HDA_CRST_TIMEOUT_MICROSECONDS) {
      break;
    }
    SystemTable->BootServices->Stall(HDA_CRST_POLL_MICROSECONDS);
    F.CrstMicroseconds += HDA_CRST_POLL_MICROSECONDS;
  }
  if (F.CrstReadOne) {
    SystemTable->BootServices->Stall(HDA_CODEC_ANNOUNCE_MICROSECONDS);
  }
  F.WindowStatests = MmioRead8(Session.Base + HDA_REG_STATESTS);
  Line.Text("After the wait the driver does not make:").Print();
  if (F.CrstReadOne) {
    Line.Text("  CRST read 1 after ").Decimal(F.CrstMicroseconds).Text(" us; STATESTS ").Hex(F.WindowStatests, 2);
    Line.Text(" 521 us later").Print();
  } else {
    Line.Text("  CRST did not read 1 within 100 ms; STATESTS ").Hex(F.WindowStatests, 2).Print();
  }
  for (UINT32 Codec = 0; Codec < HDA_PROBED_CODECS; ++Codec) {
    BOOLEAN Known;
    HDA_SSID_WORD Stored;
    if ((F.WindowStatests & (1u << Codec)) != 0 && ShowCodec(Line, Session.Base, Codec, &Known, &Stored)) {
      F.WindowAnswered |= static_cast<UINT8>(1u << Codec);
      if (Known && F.WindowStoredSize == 0) {
        F.WindowStoredSize = HDA_SSID_RECORD_SIZE;
        F.WindowStored = Stored;
      }
    }
  }
  HdaControllerClose(&Session);
}

VOID ReadRecord(CONSOLE_LINE &Line, EFI_SYSTEM_TABLE *SystemTable, FINDINGS &F) {
  UINT8 Data[8];
  F.RecordSize = sizeof(Data);
  F.RecordAttributes = 0;
  F.RecordStatus = SystemTable->RuntimeServices->GetVariable(HDA_SSID_VARIABLE_NAME_CHAR16.Chars, &gHdaSsidVariableGuid,
                                                             &F.RecordAttributes, &F.RecordSize, Data);
  Line.Text("Stored record ZelHdaSsid: ");
  if (F.RecordStatus == EFI_NOT_FOUND) {
    Line.Text("none").Print();
  } else if (EFI_ERROR(F.RecordStatus)) {
    Line.Text("cannot be read, status ").Hex(F.RecordStatus, 16).Print();
  } else if (F.RecordSize != HDA_SSID_RECORD_SIZE) {
    Line.Text("unexpected size of ").Decimal(static_cast<UINT32>(F.RecordSize)).Text(" bytes").Print();
  } else {
    F.Record = Data[0] | Data[1] << 8 | Data[2] << 16 | static_cast<UINT32>(Data[3]) << 24;
    Line.Hex(F.Record, 8).Text(" (attributes ").Hex(F.RecordAttributes, 2).Text(")").Print();
  }
}

// The word the next boot's PEIM gives 00:1F.3 from the record: its
// variant table's, or the default table's when it chooses none.
HDA_SSID_WORD NextBootsWord(const FINDINGS &F, const char **Table) {
  const BOOLEAN DriversRecord = !EFI_ERROR(F.RecordStatus) && F.RecordSize == HDA_SSID_RECORD_SIZE &&
                                F.RecordAttributes == HDA_SSID_VARIABLE_ATTRIBUTES;
  *Table = DriversRecord ? TableChosenFor(F.Record) : nullptr;
  return *Table != nullptr ? F.Record : HDA_BOARD_DEFAULT_HDA_WORD;
}

// What the driver's convergence reset would make of this boot: its setting
// (this image's, set as the driver's), the word programmed now and the one
// the next boot programs, and the boot mode.
VOID ShowConvergence(CONSOLE_LINE &Line, EFI_SYSTEM_TABLE *SystemTable, const FINDINGS &F) {
  const char *Table;
  const HDA_SSID_WORD Next = NextBootsWord(F, &Table);
  const EFI_BOOT_MODE BootMode = HdaBootMode(SystemTable);
  Line.Text("Convergence reset: ").Text(HdaSettingConvergenceReset() ? "on" : "off");
  Line.Text("; subsystem ID ").Hex(F.Subsystem, 8).Text(" this boot, ").Hex(Next, 8).Text(" the next; boot mode ");
  Line.Hex(BootMode, 2).Text(": the driver ");
  if (!HdaSettingConvergenceReset()) {
    Line.Text("would not reset (off)");
  } else if (!F.ConfigRead || F.State == HdaNoDevice || F.Subsystem == Next) {
    Line.Text("would not reset (the words agree)");
  } else if (BootMode != BOOT_WITH_FULL_CONFIGURATION) {
    Line.Text("would not reset (not a full-configuration boot)");
  } else {
    Line.Text("would reset once, in a boot that changed the record");
  }
  Line.Print();
}

// The fewest PM-timer ticks across a 10 ms Stall of the boot services, of
// three; the counter's 24 bits.
VOID MeasurePmTimer(EFI_SYSTEM_TABLE *SystemTable, FINDINGS &F) {
  const UINT16 Port = HdaPmTimerPort();
  if (!HdaPmTimerPortUsable(Port)) {
    return;
  }
  for (UINT32 Check = 0; Check < PM_TIMER_CHECKS; ++Check) {
    const UINT32 Before = IoRead32(Port);
    SystemTable->BootServices->Stall(PM_TIMER_CHECK_MICROSECONDS);
    const UINT32 Ticks = (IoRead32(Port) - Before) & 0x00FFFFFF;
    F.PmTimerTicks = Check == 0 || Ticks < F.PmTimerTicks ? Ticks : F.PmTimerTicks;
  }
}

// The contract's items, one line each, and the verdict from the first
// problem.
class CONTRACT {
public:
  explicit CONTRACT(CONSOLE_LINE &Line) : Line(Line) { Line.Text("Contract of the driver on this board:").Print(); }

  CONSOLE_LINE &Item(BOOLEAN Ok, const char *Name) {
    Pending = Ok;
    Line.Text(Ok ? "  ok       " : "  PROBLEM  ");
    Start = Line.Size();
    return Line.Text(Name).Text(": ");
  }

  VOID End() {
    if (!Pending && !Problem) {
      Problem = true;
      const CHAR16 *Text = Line.From(Start);
      UINTN I = 0;
      for (; Text[I] != u'\0' && I + 1 < sizeof(FirstProblem) / sizeof(CHAR16); ++I) {
        FirstProblem[I] = Text[I];
      }
      FirstProblem[I] = u'\0';
    }
    Line.Print();
  }

  VOID Verdict() {
    if (Problem) {
      Line.Text("Verdict: the driver would not work here: ").Chars(FirstProblem).Print();
    } else {
      Line.Text("Verdict: the driver's contract holds on this board").Print();
    }
  }

  CONSOLE_LINE &Line;

private:
  UINTN Start = 0;
  BOOLEAN Pending = true;
  BOOLEAN Problem = false;
  CHAR16 FirstProblem[200] = {};
};

// ACPI's MCFG and FADT name the window and timer the firmware itself uses;
// the driver uses the release's unless the platform sets its PCDs.
VOID CheckSettings(CONTRACT &C, const FINDINGS &F) {
  if (!F.Acpi.HasEcamBase || !F.Acpi.HasPmTimerPort) {
    C.Item(false, "settings").Text("ACPI gives no ").Text(F.Acpi.HasEcamBase ? "PM timer port (FADT)" : "ECAM window (MCFG)");
    C.Line.Text(", so the release's cannot be checked");
  } else if (F.Acpi.EcamBase != F.BuiltEcam || F.Acpi.PmTimerPort != F.BuiltPort) {
    C.Item(false, "settings").Text("ACPI gives ECAM base ").Hex(F.Acpi.EcamBase, 8).Text(" and PM timer port ");
    C.Line.Hex(F.Acpi.PmTimerPort, 4).Text(", the release carries ").Hex(F.BuiltEcam, 8).Text(" and ");
    C.Line.Hex(F.BuiltPort, 4).Text(": the platform must set the driver's PCDs");
  } else if (!HdaPlatformSettingsUsable(F.BuiltEcam, F.BuiltPort)) {
    C.Item(false, "settings").Text("ECAM base ").Hex(F.BuiltEcam, 8).Text(" and PM timer port ").Hex(F.BuiltPort, 4);
    C.Line.Text(" are not ones the driver can use");
  } else {
    C.Item(true, "settings").Text("ECAM base ").Hex(F.BuiltEcam, 8).Text(" and PM timer port ").Hex(F.BuiltPort, 4);
    C.Line.Text(", the release's, as ACPI gives them");
  }
  C.End();
}

// What the driver's guard found, in the order it looks.
VOID CheckController(CONTRACT &C, const FINDINGS &F) {
  const UINT32 Class = F.ClassRevision >> 8;
  if (F.State == HdaSettingsUnusable || F.State == HdaNoDevice) {
    C.Item(false, "device").Text(F.State == HdaNoDevice ? "none at 00:1F.3 (vendor ID 0xFFFF)" : "not looked for");
  } else if (F.State == HdaNotHdAudio) {
    C.Item(false, "device").Text("00:1F.3 is class ").Hex(Class, 6).Text(", not HD Audio (0x0403xx, or 0x0401xx)");
  } else {
    C.Item(true, "device").Text("vendor ").Hex(F.VendorDevice & 0xFFFF, 4).Text(" device ");
    C.Line.Hex(F.VendorDevice >> 16, 4).Text(", class ").Hex(Class, 6);
    C.Line.Text((Class >> 8) == 0x0403 ? ": HD Audio" : ": HD Audio with its audio DSP enabled");
    C.Line.Text((Class & 0xFF) == 0x80 ? " (either driver may bind)" : "");
  }
  C.End();
  const BOOLEAN BarLookedAt =
      F.State == HdaControllerReady || F.State == HdaBar0Unusable || F.State == HdaRegistersNotAnswering;
  if (!BarLookedAt) {
    C.Item(false, "BAR0").Text("not checked: no HD Audio controller");
  } else if (F.State == HdaBar0Unusable) {
    C.Item(false, "BAR0").Hex(F.Bar0, 8).Text(" is unassigned, or its registers do not lie below 4 GiB");
  } else {
    C.Item(true, "BAR0").Hex(F.Bar0, 8).Text(", the registers below 4 GiB");
  }
  C.End();
  if (F.State == HdaRegistersNotAnswering) {
    C.Item(false, "registers").Text("read all ones (GCTL 0xFFFFFFFF): D3hot, power-gated or not decoding memory; ");
    C.Line.Text("the driver keeps the record");
  } else if (F.State != HdaControllerReady) {
    C.Item(false, "registers").Text("not checked: no usable BAR0");
  } else {
    C.Item(true, "registers").Text("answer (GCTL ").Hex(F.DryRun.SavedGctl, 8).Text(" on entry)");
  }
  C.End();
}

// The link: CRST on entry, and what STATESTS shows at the driver's single
// sample against what it shows once codecs have had their 521 us.
VOID CheckLink(CONTRACT &C, const FINDINGS &F) {
  const UINT8 Sample = F.DryRun.CodecMask & HDA_PROBED_CODEC_MASK;
  const UINT8 Window = F.WindowStatests & HDA_PROBED_CODEC_MASK;
  const UINT8 Missed = Window & static_cast<UINT8>(~Sample);
  if (F.State != HdaControllerReady || !F.LookedAfterWindow) {
    C.Item(false, "CRST").Text("not checked: no usable controller");
  } else if ((F.DryRun.SavedGctl & HDA_GCTL_CRST) != 0) {
    C.Item(true, "CRST").Text("1 on entry: the link is out of reset");
  } else if (!F.CrstReadOne) {
    C.Item(false, "CRST").Text("0 on entry, and it did not read 1 within 100 ms of being set");
  } else if (Missed != 0) {
    C.Item(false, "CRST").Text("0 on entry: the link is in reset at End of DXE, and its codecs announce after the ");
    C.Line.Text("driver's single sample");
  } else {
    C.Item(true, "CRST").Text("0 on entry; the driver sets it, and read 1 after ").Decimal(F.CrstMicroseconds);
    C.Line.Text(" us");
  }
  C.End();
  if (F.State != HdaControllerReady || !F.LookedAfterWindow) {
    C.Item(false, "STATESTS").Text("not checked: no usable controller");
  } else if (Missed != 0) {
    C.Item(false, "STATESTS").Hex(Sample, 2).Text(" at the driver's single sample, ").Hex(Window, 2);
    C.Line.Text(" after 521 us: the driver would miss codecs ").Hex(Missed, 2);
  } else if (F.DryRunSize != F.WindowStoredSize || F.DryRunStored != F.WindowStored) {
    C.Item(false, "STATESTS").Hex(Sample, 2).Text(" at the driver's single sample, but its codecs answer it only ");
    C.Line.Text("later: the driver would ").Text(F.DryRunSize != 0 ? "store another record" : "delete the record");
  } else if (Window == 0) {
    C.Item(false, "STATESTS").Text("no codec on SDI 0-2, even after 521 us (").Hex(F.WindowStatests, 2);
    C.Line.Text("): the driver would delete the record");
  } else if (F.WindowAnswered == 0) {
    C.Item(false, "STATESTS").Hex(Window, 2).Text(", but no codec flagged answers (bits left from before?): ");
    C.Line.Text("the driver would delete the record");
  } else {
    C.Item(true, "STATESTS").Hex(Sample, 2).Text(" at the driver's single sample, as after 521 us");
  }
  C.End();
}

VOID CheckPmTimer(CONTRACT &C, const FINDINGS &F) {
  const UINT32 Ticks = F.PmTimerTicks;
  if (!HdaPmTimerPortUsable(HdaPmTimerPort())) {
    C.Item(false, "PM timer").Text("port ").Hex(HdaPmTimerPort(), 4).Text(" is not one the driver can use");
  } else if (Ticks == 0) {
    C.Item(false, "PM timer").Text("stopped (port ").Hex(HdaPmTimerPort(), 4);
    C.Line.Text(" read the same across 10 ms): every codec would time out");
  } else if (Ticks < PM_TIMER_FEWEST_TICKS || Ticks >= PM_TIMER_MOST_TICKS) {
    C.Item(false, "PM timer").Decimal(Ticks).Text(" ticks in 10 ms of Stall, not about ");
    C.Line.Decimal(PM_TIMER_TICKS_PER_CHECK).Text(" (3.58 MHz): the driver's time-outs would be off");
  } else {
    C.Item(true, "PM timer").Decimal(Ticks).Text(" ticks in 10 ms of Stall: 3.58 MHz");
  }
  C.End();
}

// What 00:1F.3 was given this boot against what the record makes the next
// boot's PEIM choose (nothing chosen: the default table's word).
VOID CheckSubsystemAndRecord(CONTRACT &C, const FINDINGS &F) {
  const char *Table;
  const HDA_SSID_WORD Next = NextBootsWord(F, &Table);
  if (!F.ConfigRead || F.State == HdaNoDevice) {
    C.Item(false, "subsystem ID").Text("not checked: no device at 00:1F.3");
  } else if (F.Subsystem != Next) {
    C.Item(false, "subsystem ID").Hex(F.Subsystem, 8).Text(" this boot, the record makes the next boot's ");
    C.Line.Hex(Next, 8).Text(" (").Text(Table != nullptr ? Table : "SsidTableDefault");
    C.Line.Text("): this boot changed the record, or the platform does not apply the PEIM's table");
  } else {
    C.Item(true, "subsystem ID").Hex(F.Subsystem, 8).Text(" this boot, as the record makes the next boot's (");
    C.Line.Text(Table != nullptr ? Table : "SsidTableDefault").Text(")");
  }
  C.End();
  if (F.RecordStatus == EFI_NOT_FOUND) {
    C.Item(true, "record").Text("none: the next boot chooses no table");
  } else if (EFI_ERROR(F.RecordStatus)) {
    C.Item(false, "record").Text("cannot be read, status ").Hex(F.RecordStatus, 16);
  } else if (F.RecordSize != HDA_SSID_RECORD_SIZE) {
    C.Item(false, "record").Decimal(static_cast<UINT32>(F.RecordSize)).Text(" bytes, not the driver's 4");
  } else if (F.RecordAttributes != HDA_SSID_VARIABLE_ATTRIBUTES) {
    C.Item(false, "record").Text("attributes ").Hex(F.RecordAttributes, 2);
    C.Line.Text(", not the driver's 0x07: another writer's, which the PEIM ignores");
  } else {
    C.Item(true, "record").Hex(F.Record, 8).Text(", with the driver's attributes 0x07");
  }
  C.End();
}

}  // namespace

EFI_STATUS HdaSsidInfo(EFI_SYSTEM_TABLE *SystemTable) {
  CONSOLE_LINE Line(SystemTable);
  FINDINGS F = {};
  Line.Text("Board profile: " HDA_BOARD_NAME).Print();
  ChooseBoardSettings(Line, SystemTable, F);
  ShowConfiguration(Line, F);
  DryRun(Line, F);
  LookAfterTheWindow(Line, SystemTable, F);
  ReadRecord(Line, SystemTable, F);
  ShowConvergence(Line, SystemTable, F);
  MeasurePmTimer(SystemTable, F);
  CONTRACT Contract(Line);
  CheckSettings(Contract, F);
  CheckController(Contract, F);
  CheckLink(Contract, F);
  CheckPmTimer(Contract, F);
  CheckSubsystemAndRecord(Contract, F);
  Contract.Verdict();
  return EFI_SUCCESS;
}

extern "C" EFI_STATUS EFIAPI HdaSsidInfoEntryPoint(EFI_HANDLE ImageHandle, EFI_SYSTEM_TABLE *SystemTable) {
  (void)ImageHandle;
  return HdaSsidInfo(SystemTable);
}
