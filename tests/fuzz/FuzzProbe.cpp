// Copyright (c) 2026, HdaSsid contributors. All rights reserved.
// SPDX-License-Identifier: BSD-2-Clause-Patent
//
// libFuzzer target: the End-of-DXE probe against hardware in any state the
// fuzzer's bytes describe (configuration space, GCTL, STATESTS, every status
// and response read, codec behaviours, PM timer start and steps). After each
// run it checks that nothing escaped the device, nothing hung, the controller
// was put back and exactly one valid record write happened.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "FakeUefi.h"
#include "HdaBench.h"
#include "HdaPlatformSettings.h"
#include "HdaRegisters.h"
#include "HdaSsidDetectDxe.h"
#include "HdaSsidRecord.h"
#include "HdaTransport.h"

using namespace bench;

namespace {

// Each wait: the target read, at most 18 forward steps past 17 ticks, and
// fewer than PM_TIMER_STALL_READS unchanged reads around each of them.
constexpr uint64_t kReadsPerWait = 1 + 18 + 19 * uint64_t{PM_TIMER_STALL_READS};
constexpr uint64_t kTimerReadBound = 6 * HDA_VERB_POLL_LIMIT * kReadsPerWait;

[[noreturn]] void Violated(const char *What) {
  std::fprintf(stderr, "invariant violated: %s\n", What);
  std::abort();
}

void Check(bool Holds, const char *What) {
  if (!Holds) {
    Violated(What);
  }
}

uint32_t PickVerbReply(FuzzedDataProvider &In, CodecModel &Codec, uint32_t Verb) {
  switch (In.ConsumeIntegralInRange<int>(0, 2)) {
  case 0:
    Codec.NeverAnswer(Verb);
    return 0;
  case 1: {
    // Bias toward the answers that matter.
    static const uint32_t Known[] = {0x1458A195, 0x1458A194, 0, 0x1AF40022};
    const uint32_t Value = In.ConsumeBool() ? Known[In.ConsumeIntegralInRange<int>(0, 3)] : In.ConsumeIntegral<uint32_t>();
    Codec.Answer(Verb, Value, In.ConsumeIntegralInRange<uint32_t>(0, 3));
    return Value;
  }
  default:
    Codec.Answer(Verb, In.ConsumeIntegral<uint32_t>(), In.ConsumeIntegralInRange<uint32_t>(0, 250));
    return 0;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *Data, size_t Size) {
  FuzzedDataProvider In(Data, Size);
  Bench Hw;
  FakeUefi Uefi;
  Hw.LogTimer = false;

  const uint32_t VendorDevice = In.ConsumeBool() ? 0x293E8086 : In.ConsumeIntegral<uint32_t>();
  const uint8_t Command = In.ConsumeIntegral<uint8_t>();
  const uint32_t Bar0 = In.ConsumeBool() ? (0xFE000000 | In.ConsumeIntegralInRange<uint32_t>(0, 15))
                                         : In.ConsumeIntegral<uint32_t>();
  const uint32_t Bar0Upper = In.ConsumeBool() ? 0 : In.ConsumeIntegral<uint32_t>();
  // Intel's controller in its three modes (no DSP, DSP, either), or any class.
  static const uint32_t Modes[] = {PciConfigModel::kHdAudioClassRevision, 0x04010000, 0x04038000};
  const uint32_t ClassRevision =
      In.ConsumeBool() ? Modes[In.ConsumeIntegralInRange<int>(0, 2)] : In.ConsumeIntegral<uint32_t>();
  Hw.Config.Present(VendorDevice, Command, Bar0, Bar0Upper, ClassRevision);
  // The platform settings: the image's, or unset ones.
  const int Settings = In.ConsumeIntegralInRange<int>(0, 3);
  gHdaPlatformSettings.PciExpressBaseAddress = Settings == 1 || Settings == 3 ? 0 : HDA_PLATFORM_ECAM_BASE;
  gHdaPlatformSettings.PmTimerPort = Settings == 2 || Settings == 3 ? 0 : HDA_PLATFORM_PM_TIMER_PORT;
  Hw.EcamBase = gHdaPlatformSettings.PciExpressBaseAddress;
  Hw.PmTimerPort = gHdaPlatformSettings.PmTimerPort;
  const uint32_t Gctl = In.ConsumeIntegral<uint32_t>();
  Hw.Controller.SetGctl(Gctl);
  Hw.Controller.SetStatests(In.ConsumeIntegral<uint16_t>());
  // QEMU's link or a PCH's, and a register block that may not answer.
  Hw.Controller.Link = {In.ConsumeBool(), In.ConsumeIntegralInRange<uint64_t>(0, 8000),
                        In.ConsumeIntegralInRange<uint64_t>(0, 8000)};
  Hw.Controller.AllOnes = In.ConsumeIntegralInRange<int>(0, 7) == 0;
  for (unsigned Address = 0; Address < 3; ++Address) {
    if (In.ConsumeBool()) {
      CodecModel &Codec = Hw.Controller.AddCodec(Address);
      PickVerbReply(In, Codec, HDA_VERB_GET_VENDOR_ID);
      PickVerbReply(In, Codec, HDA_VERB_GET_SUBSYSTEM_ID);
    }
  }
  for (unsigned Count = In.ConsumeIntegralInRange<unsigned>(0, 8); Count-- > 0;) {
    Hw.Controller.ScriptedStatus.push_back(In.ConsumeIntegral<uint32_t>());
  }
  for (unsigned Count = In.ConsumeIntegralInRange<unsigned>(0, 4); Count-- > 0;) {
    Hw.Controller.ScriptedResponse.push_back(In.ConsumeIntegral<uint32_t>());
  }
  Hw.Timer.Mask = In.ConsumeBool() ? 0x00FFFFFF : 0xFFFFFFFF;
  Hw.Timer.Counter = In.ConsumeIntegral<uint32_t>() & Hw.Timer.Mask;
  // Steps repeat in a cycle, so the timer keeps its character for good.
  std::vector<uint32_t> Steps;
  for (unsigned Count = In.ConsumeIntegralInRange<unsigned>(1, 8); Count-- > 0;) {
    Steps.push_back(In.ConsumeBool() ? In.ConsumeIntegralInRange<uint32_t>(0, 8) : In.ConsumeIntegral<uint32_t>());
  }
  Hw.Timer.StepPerRead = 0;
  Hw.Timer.StepCycle = Steps;
  // What the store held: nothing, the driver's own record, or anyone's.
  if (In.ConsumeBool()) {
    Uefi.StoredRecord = In.ConsumeBytes<uint8_t>(In.ConsumeIntegralInRange<size_t>(1, 16));
    Uefi.StoredAttributes = In.ConsumeBool() ? 0x7 : In.ConsumeIntegral<uint32_t>();
  }
  const auto RecordBefore = Uefi.StoredRecord;
  const uint32_t AttributesBefore = Uefi.StoredAttributes;
  const bool Foreign = RecordBefore && AttributesBefore != 0x7;
  const bool Authenticated = Foreign && (AttributesBefore & 0xB0) != 0;

  const uint32_t Subclass = ClassRevision >> 16 & 0xFF;
  const bool Examined = Settings == 0 && (VendorDevice & 0xFFFF) != 0xFFFF && ClassRevision >> 24 == 0x04 &&
                        (Subclass == 0x03 || Subclass == 0x01) && (Bar0 & 0xFFFFFFF0) != 0 &&
                        (Bar0 & 0xFFFFFFF0) <= 0xFFFFFFFF - HDA_REG_LAST_USED &&
                        !((Bar0 & 0x6) == 0x4 && Bar0Upper != 0);
  // Registers that read all ones (not answering) get the command byte back
  // and nothing else.
  const bool Answers = !Hw.Controller.AllOnes && Gctl != 0xFFFFFFFF;
  const bool Usable = Examined && Answers;

  HdaSsidDxeEntryPoint(nullptr, &Uefi.SystemTable);
  Check(Uefi.CreateEventExCalls.size() == 1, "one CreateEventEx");
  OnEndOfDxe(Uefi.EventToCreate, nullptr);

  // Everything stayed on the device's configuration space, its registers and the PM timer.
  for (const Access &A : Hw.Log) {
    if (A.Where != Region::Config && A.Where != Region::Controller && A.Where != Region::PmTimer) {
      std::fprintf(stderr, "stray access: read/write %u bits at 0x%llx\n", A.Width,
                   static_cast<unsigned long long>(A.Address));
      Violated("every access inside the device or the PM timer");
    }
  }
  Check(Hw.Timer.Reads <= kTimerReadBound, "timer reads bounded (no hang)");
  Check(Hw.Controller.VerbsStarted.size() <= 6, "at most six verbs");

  std::vector<Access> Writes;
  for (const Access &A : Hw.Log) {
    if (A.Kind == AccessKind::MmioWrite) {
      Writes.push_back(A);
    }
  }
  if (!Examined) {
    Check(Writes.empty(), "no write when the guards say the controller is unusable");
  } else if (!Answers) {
    const std::vector<Access> EnableAndRestore = {Write8(HdaPciConfigBase() + 4, 0x07),
                                                   Write8(HdaPciConfigBase() + 4, Command)};
    Check(Writes == EnableAndRestore, "only the command byte and its restore when the registers read all ones");
  } else {
    const uint32_t Base = Bar0 & 0xFFFFFFF0;
    Check(Writes.size() >= 4, "enable, CRST, and two restores");
    Check(Writes[0] == Write8(HdaPciConfigBase() + 4, 0x07), "command enabled first");
    Check(Writes[1] == Write32(Base + HDA_REG_GCTL, Gctl | 1), "CRST set second");
    Check(Writes[Writes.size() - 2] == Write8(Base + HDA_REG_GCTL, Gctl & 0xFF), "GCTL low byte restored");
    Check(Writes.back() == Write8(HdaPciConfigBase() + 4, Command), "command restored last");
    Check(Hw.Config.Command() == Command, "command byte as found");
    Check((Hw.Controller.Gctl() & 0xFF) == (Gctl & 0xFF), "GCTL low byte as found");
  }

  for (const SetVariableCall &Call : Uefi.SetVariableCalls) {
    Check(Call.Name == u"ZelHdaSsid" && Call.Guid && *Call.Guid == gHdaSsidVariableGuid, "the record's name, GUID");
  }
  if (!Usable) {
    Check(Uefi.SetVariableCalls.empty(), "no write without a usable controller");
    Check(Uefi.StoredRecord == RecordBefore && Uefi.StoredAttributes == AttributesBefore, "the record is kept");
  } else {
    // Another's record refuses the write; it is deleted with no access
    // attributes and the write made again.
    Check(Uefi.SetVariableCalls.size() == (Foreign ? 3u : 1u), "one write, or write, delete and write again");
    if (Foreign) {
      const SetVariableCall &Delete = Uefi.SetVariableCalls[1];
      Check(Delete.Attributes == 0 && Delete.Data.empty(), "another's record deleted with no access attributes");
      Check(Uefi.SetVariableCalls[0].Data == Uefi.SetVariableCalls[2].Data, "the same write made again");
    }
    if (Authenticated) {
      Check(Uefi.StoredRecord == RecordBefore && Uefi.StoredAttributes == AttributesBefore,
            "an authenticated record stays");
    }
    const SetVariableCall &Call = Uefi.SetVariableCalls.back();
    Check(Call.Attributes == 0x7, "the record's attributes");
    if (!Call.Data.empty()) {
      uint32_t Value = 0;
      Check(Call.Data.size() == 4, "a 4-byte record");
      std::memcpy(&Value, Call.Data.data(), 4);
      Check(Value == 0xA1951458 || Value == 0xA1941458 || Value == 0, "a recognised value");
    }
    Check(Authenticated || !Uefi.StoredRecord || (Uefi.StoredRecord->size() == 4 && Uefi.StoredAttributes == 0x7),
          "the store ends with the driver's record or none");
  }
  Check(Uefi.ClosedEvents.size() == 1 && Uefi.ClosedEvents[0] == Uefi.EventToCreate, "exactly one CloseEvent");
  gHdaPlatformSettings.PciExpressBaseAddress = HDA_PLATFORM_ECAM_BASE;
  gHdaPlatformSettings.PmTimerPort = HDA_PLATFORM_PM_TIMER_PORT;
  return 0;
}
