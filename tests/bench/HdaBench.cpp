// Copyright (c) 2026, HdaSsid contributors. All rights reserved.
// SPDX-License-Identifier: BSD-2-Clause-Patent

#include "HdaBench.h"

#include <cstdio>
#include <sstream>
#include <stdexcept>

#include "HdaPlatformSettings.h"
#include "HdaHwAccess.h"

namespace bench {

namespace {
Bench *gCurrent = nullptr;
constexpr uint32_t kControllerWindow = 0x4000;  // HD Audio BAR0 size
constexpr uint32_t kGctl = 0x08, kStatests = 0x0E, kIcs = 0x68, kIrii = 0x64, kIcoi = 0x60;
constexpr uint32_t kCrst = 0x1, kIcb = 0x1, kIrv = 0x2;

constexpr uint8_t kMemorySpaceEnable = 0x2;

uint32_t Load(const uint8_t *Bytes, unsigned Width) {
  uint32_t Value = 0;
  for (unsigned I = 0; I < Width / 8; ++I) {
    Value |= uint32_t{Bytes[I]} << (8 * I);
  }
  return Value;
}

void Store(uint8_t *Bytes, unsigned Width, uint32_t Value) {
  for (unsigned I = 0; I < Width / 8; ++I) {
    Bytes[I] = static_cast<uint8_t>(Value >> (8 * I));
  }
}
}  // namespace

std::ostream &operator<<(std::ostream &Out, const Access &A) {
  static const char *const Kinds[] = {"read", "write", "in", "pause"};
  char Text[96];
  std::snprintf(Text, sizeof Text, "%s%u 0x%llx = 0x%x", Kinds[static_cast<int>(A.Kind)], A.Width,
                static_cast<unsigned long long>(A.Address), A.Value);
  return Out << Text;
}

void PciConfigModel::Present(uint32_t VendorDevice, uint8_t Command, uint32_t Bar0, uint32_t Bar0Upper,
                             uint32_t ClassRevision) {
  Bytes.fill(0);
  Store(&Bytes[0x00], 32, VendorDevice);
  Bytes[0x04] = Command;
  Store(&Bytes[0x08], 32, ClassRevision);
  Store(&Bytes[0x10], 32, Bar0);
  Store(&Bytes[0x14], 32, Bar0Upper);
}

uint32_t PciConfigModel::Dword(uint32_t Offset) const { return Load(&Bytes.at(Offset), 32); }
void PciConfigModel::SetDword(uint32_t Offset, uint32_t Value) { Store(&Bytes.at(Offset), 32, Value); }

uint32_t HdaControllerModel::Register32(uint32_t Offset) const { return Load(&Registers.at(Offset), 32); }
void HdaControllerModel::SetRegister32(uint32_t Offset, uint32_t Value) { Store(&Registers.at(Offset), 32, Value); }

bool HdaControllerModel::CrstReadsOne(uint64_t Now) const {
  if ((Registers[kGctl] & kCrst) == 0) {
    return false;
  }
  return !Link.Pch || !CrstSetAt || Now >= *CrstSetAt + Link.CrstTicks;
}

bool HdaControllerModel::CodecsReady(uint64_t Now) const {
  if ((Registers[kGctl] & kCrst) == 0) {
    return !Link.Pch;  // QEMU's codecs answer even in reset
  }
  return !Link.Pch || !CrstSetAt || Now >= *CrstSetAt + Link.CrstTicks + Link.AnnounceTicks;
}

uint32_t HdaControllerModel::Read(uint32_t Offset, unsigned Width, uint64_t Now) {
  if (AllOnes) {
    return Width == 8 ? 0xFF : Width == 16 ? 0xFFFF : 0xFFFFFFFF;
  }
  if (Link.Pch && CodecsReady(Now)) {
    for (unsigned Address = 0; Address < Codecs.size(); ++Address) {
      Registers[kStatests] |= Codecs[Address] ? 1u << Address : 0;
    }
  }
  if (Offset == kIcs && Width == 32) {
    uint32_t Status = Register32(kIcs);
    if ((Status & kIcb) != 0 && Pending && Pending->Answers && CodecsReady(Now)) {
      if (Pending->BusyPolls == 0) {
        SetRegister32(kIrii, Pending->Value);
        Status = (Status & ~kIcb) | kIrv;
        SetRegister32(kIcs, Status);
        Pending.reset();
      } else {
        --Pending->BusyPolls;
      }
    }
    if (!ScriptedStatus.empty()) {
      Status = ScriptedStatus.front();
      ScriptedStatus.pop_front();
    }
    return Status;
  }
  if (Offset == kIrii && Width == 32 && !ScriptedResponse.empty()) {
    const uint32_t Response = ScriptedResponse.front();
    ScriptedResponse.pop_front();
    return Response;
  }
  if (Offset + Width / 8 > Registers.size()) {
    return 0;
  }
  uint32_t Value = Load(&Registers[Offset], Width);
  if (Offset == kGctl && !CrstReadsOne(Now)) {
    Value &= ~kCrst;
  }
  return Value;
}

void HdaControllerModel::Write(uint32_t Offset, unsigned Width, uint32_t Value, uint64_t Now) {
  if (AllOnes) {
    return;
  }
  if (Offset == kIcs && Width == 32) {
    uint32_t Status = Register32(kIcs);
    if ((Value & kIrv) != 0) {
      Status &= ~kIrv;  // write 1 to clear
    }
    if ((Value & kIcb) != 0) {
      const uint32_t Verb = Register32(kIcoi);
      VerbsStarted.push_back(Verb);
      const unsigned Address = Verb >> 28;
      Pending = VerbReply{};  // no codec there: busy for good
      if (Address < Codecs.size() && Codecs[Address]) {
        const auto Found = Codecs[Address]->Replies.find(Verb & 0x0FFFFFFF);
        if (Found != Codecs[Address]->Replies.end()) {
          Pending = Found->second;
        }
      }
      Status |= kIcb;
    }
    SetRegister32(kIcs, Status);
    return;
  }
  if (Offset == kGctl) {
    const bool Was = (Registers[kGctl] & kCrst) != 0, Is = (Value & kCrst) != 0;
    if (Is && !Was) {
      CrstSetAt = Now;
    }
  }
  if (Offset + Width / 8 <= Registers.size()) {
    Store(&Registers[Offset], Width, Value);
  }
}

uint32_t PmTimerModel::Read() {
  const uint32_t Value = Counter & Mask;
  uint32_t Step = StepPerRead;
  if (!ScriptedSteps.empty()) {
    Step = ScriptedSteps.front();
    ScriptedSteps.pop_front();
  } else if (!StepCycle.empty()) {
    Step = StepCycle[CyclePosition++ % StepCycle.size()];
  }
  Counter = (Counter + Step) & Mask;
  Elapsed += Step;
  ++Reads;
  return Value;
}

void PmTimerModel::Advance(uint64_t Ticks) {
  Counter = static_cast<uint32_t>((Counter + Ticks) & Mask);
  Elapsed += Ticks;
}

Bench::Bench() {
  if (gCurrent != nullptr) {
    throw std::logic_error("only one bench at a time");
  }
  gCurrent = this;
}

Bench::~Bench() { gCurrent = nullptr; }

Bench &Bench::Current() {
  if (gCurrent == nullptr) {
    throw std::logic_error("hardware accessed with no bench in place");
  }
  return *gCurrent;
}

std::optional<uint32_t> Bench::ControllerBase() const {
  const uint32_t Bar0 = Config.Dword(0x10);
  const bool Bar64 = (Bar0 & 0x6) == 0x4;
  if ((Config.Command() & kMemorySpaceEnable) == 0 || (Bar64 && Config.Dword(0x14) != 0)) {
    return std::nullopt;
  }
  return Bar0 & 0xFFFFFFF0;
}

Region Bench::Locate(uint64_t Address, unsigned Width, uint32_t *Offset) const {
  const uint64_t End = Address + Width / 8;
  const uint64_t Config = EcamBase + HDA_PCI_CONFIG_OFFSET;
  if (Address >= Config && End <= Config + 4096) {
    *Offset = static_cast<uint32_t>(Address - Config);
    return Region::Config;
  }
  if (const auto Base = ControllerBase();
      Base && Address >= *Base && End <= uint64_t{*Base} + kControllerWindow) {
    *Offset = static_cast<uint32_t>(Address - *Base);
    return Region::Controller;
  }
  return Region::Unmapped;
}

uint32_t Bench::MmioRead(uint64_t Address, unsigned Width) {
  if (Replay) {
    const Access Made{AccessKind::MmioRead, Width, Address, 0, Region::None};
    const uint32_t Value = Replayed(Made).value_or(Width == 8 ? 0xFF : 0xFFFFFFFF);
    Log.push_back({AccessKind::MmioRead, Width, Address, Value, Region::None});
    return Value;
  }
  uint32_t Offset = 0;
  const Region Where = Locate(Address, Width, &Offset);
  uint32_t Value = Width == 8 ? 0xFF : 0xFFFFFFFF;
  if (Where == Region::Config) {
    Value = Load(&Config.Bytes[Offset], Width);
  } else if (Where == Region::Controller) {
    Value = Controller.Read(Offset, Width, Timer.Elapsed);
  }
  Log.push_back({AccessKind::MmioRead, Width, Address, Value, Where});
  return Value;
}

void Bench::MmioWrite(uint64_t Address, unsigned Width, uint32_t Value) {
  if (Replay) {
    Replayed({AccessKind::MmioWrite, Width, Address, Value, Region::None});
    Log.push_back({AccessKind::MmioWrite, Width, Address, Value, Region::None});
    return;
  }
  uint32_t Offset = 0;
  const Region Where = Locate(Address, Width, &Offset);
  Log.push_back({AccessKind::MmioWrite, Width, Address, Value, Where});
  if (Where == Region::Config) {
    Store(&Config.Bytes[Offset], Width, Value);
  } else if (Where == Region::Controller) {
    Controller.Write(Offset, Width, Value, Timer.Elapsed);
  }
}

uint32_t Bench::IoRead32(uint16_t Port) {
  const bool IsTimer = Port == PmTimerPort;
  const uint32_t Value = IsTimer ? Timer.Read() : 0xFFFFFFFF;
  if (LogTimer || !IsTimer) {
    Log.push_back({AccessKind::IoRead, 32, Port, Value, IsTimer ? Region::PmTimer : Region::Unmapped});
  }
  return Value;
}

void Bench::Pause() {
  if (LogTimer) {
    Log.push_back({AccessKind::Pause, 0, 0, 0, Region::None});
  }
}

void Bench::Stall(uint64_t Microseconds) { Timer.Advance((Microseconds * Timer.Hz + 999999) / 1000000); }

void Bench::ReplayCapture(std::vector<std::pair<Access, uint32_t>> AccessesAndCounts) {
  Replay.emplace();
  Replay->Expected = std::move(AccessesAndCounts);
}

// A read is answered with the captured value; a write must write the
// captured one. Once the code has left the capture, reads float.
std::optional<uint32_t> Bench::Replayed(const Access &Made) {
  ReplayState &R = *Replay;
  ++R.Made;
  if (!R.Mismatch.empty()) {
    return std::nullopt;
  }
  std::ostringstream Where;
  if (R.Next == R.Expected.size()) {
    Where << "MMIO access " << R.Made << " (" << Made << ") comes after the capture's last";
    R.Mismatch = Where.str();
    return std::nullopt;
  }
  const Access &Captured = R.Expected[R.Next].first;
  const bool Same = Made.Kind == Captured.Kind && Made.Width == Captured.Width && Made.Address == Captured.Address &&
                    (Made.Kind == AccessKind::MmioRead || Made.Value == Captured.Value);
  if (!Same) {
    Access Shown = Made;
    if (Made.Kind == AccessKind::MmioRead) {
      Shown.Value = Captured.Value;
    }
    Where << "MMIO access " << R.Made << " is " << Shown << ", the capture's is " << Captured;
    R.Mismatch = Where.str();
    return std::nullopt;
  }
  if (++R.UsedOfNext == R.Expected[R.Next].second) {
    ++R.Next;
    R.UsedOfNext = 0;
  }
  return Captured.Value;
}

std::string Bench::ReplayVerdict() const {
  if (!Replay) {
    return "no capture was replayed";
  }
  if (!Replay->Mismatch.empty()) {
    return Replay->Mismatch;
  }
  if (Replay->Next != Replay->Expected.size()) {
    std::ostringstream Where;
    Where << "the code stopped after " << Replay->Made << " MMIO accesses; the capture goes on with "
          << Replay->Expected[Replay->Next].first;
    return Where.str();
  }
  return "";
}

std::vector<Access> Bench::Filtered(Region R) const {
  std::vector<Access> Out;
  for (const Access &A : Log) {
    if (A.Where == R) {
      Out.push_back(A);
    }
  }
  return Out;
}

}  // namespace bench

// The HwAccess entry points of bench builds (HDA_HW_BENCH).
namespace hda_hw {
UINT8 MmioRead8(UINTN Address) { return static_cast<UINT8>(bench::Bench::Current().MmioRead(Address, 8)); }
UINT32 MmioRead32(UINTN Address) { return bench::Bench::Current().MmioRead(Address, 32); }
VOID MmioWrite8(UINTN Address, UINT8 Value) { bench::Bench::Current().MmioWrite(Address, 8, Value); }
VOID MmioWrite32(UINTN Address, UINT32 Value) { bench::Bench::Current().MmioWrite(Address, 32, Value); }
UINT32 IoRead32(UINT16 Port) { return bench::Bench::Current().IoRead32(Port); }
VOID CpuPause() { bench::Bench::Current().Pause(); }
}  // namespace hda_hw
