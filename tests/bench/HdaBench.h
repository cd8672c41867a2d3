// Copyright (c) 2026, HdaSsid contributors. All rights reserved.
// SPDX-License-Identifier: BSD-2-Clause-Patent
//
// The test bench: models of the hardware the DXE probe touches, behind the
// same HwAccess calls the firmware images inline. Every access is recorded in
// order (kind, width, address, value) and dispatched to
//   - the PCI configuration space of 00:1F.3 in the ECAM window at EcamBase,
//   - the HD Audio controller at BAR0 (decoded only while memory space is
//     enabled and the BAR lies below 4 GiB), with codecs on SDI 0-2, as QEMU's
//     ich9-intel-hda behaves or, switched, as a PCH's does,
//   - the ACPI PM timer at PmTimerPort, which is also the bench's clock.
// The machine's ECAM base and PM-timer port are its own: the driver reaches
// them only when its platform settings name them.
// Anything else is "unmapped": reads float to all ones, writes are lost.
// A capture from a board (HdaSsidInfo.efi's dry run) can stand in for the
// configuration space and the controller: reads are answered from it, and
// each access is compared with the captured one.
#pragma once

#include <array>
#include <cstdint>
#include <deque>
#include <map>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "HdaPlatformSettings.h"

namespace bench {

enum class AccessKind : uint8_t { MmioRead, MmioWrite, IoRead, Pause };
enum class Region : uint8_t { None, Config, Controller, PmTimer, Unmapped };

struct Access {
  AccessKind Kind;
  unsigned Width;  // bits; 0 for Pause
  uint64_t Address;
  uint32_t Value;
  Region Where = Region::None;  // what decoded it at the time; not compared
  bool operator==(const Access &O) const {
    return Kind == O.Kind && Width == O.Width && Address == O.Address && Value == O.Value;
  }
};
std::ostream &operator<<(std::ostream &Out, const Access &A);

inline Access Read8(uint64_t Address, uint32_t Value) { return {AccessKind::MmioRead, 8, Address, Value}; }
inline Access Read32(uint64_t Address, uint32_t Value) { return {AccessKind::MmioRead, 32, Address, Value}; }
inline Access Write8(uint64_t Address, uint32_t Value) { return {AccessKind::MmioWrite, 8, Address, Value}; }
inline Access Write32(uint64_t Address, uint32_t Value) { return {AccessKind::MmioWrite, 32, Address, Value}; }

// How a codec answers one verb: after BusyPolls status reads that still show
// busy, or never (the command stays busy, as with no codec at that address).
struct VerbReply {
  bool Answers = false;
  uint32_t Value = 0;
  uint32_t BusyPolls = 0;
};

struct CodecModel {
  std::map<uint32_t, VerbReply> Replies;  // by verb word without the codec address
  CodecModel &Answer(uint32_t Verb, uint32_t Value, uint32_t BusyPolls = 0) {
    Replies[Verb] = {true, Value, BusyPolls};
    return *this;
  }
  CodecModel &NeverAnswer(uint32_t Verb) {
    Replies[Verb] = {};
    return *this;
  }
};

struct PciConfigModel {
  std::array<uint8_t, 4096> Bytes;
  PciConfigModel() { Present(0x293E8086, 0x00, 0xFE000004, 0); }
  // A device at 00:1F.3 with the given vendor/device word, command byte,
  // BAR0 and class code/revision (an HD Audio controller's by default).
  void Present(uint32_t VendorDevice, uint8_t Command, uint32_t Bar0, uint32_t Bar0Upper,
               uint32_t ClassRevision = kHdAudioClassRevision);
  static constexpr uint32_t kHdAudioClassRevision = 0x04030002;
  uint32_t ClassRevision() const { return Dword(0x08); }
  void SetDword(uint32_t Offset, uint32_t Value);
  // Nothing at 00:1F.3: every byte reads as ones.
  void Absent() { Bytes.fill(0xFF); }
  uint8_t Command() const { return Bytes[0x04]; }
  uint32_t Dword(uint32_t Offset) const;
};

// How the HD Audio link leaves reset. QEMU's model (Pch false): CRST reads
// back at once and STATESTS reads as set (SetStatests). A PCH's (Pch true):
// CRST reads 1 only CrstTicks after it is set, and the fitted codecs flag
// their STATESTS bits, and answer verbs, only AnnounceTicks after that (HD
// Audio 1.0a, 4.3: at least 521 us); bits already set stay set, as bits left
// from an earlier boot do (STATESTS is sticky, and nothing here clears it).
// A controller with CRST set on entry has been out of reset for long.
struct LinkTiming {
  bool Pch = false;
  uint64_t CrstTicks = 0;
  uint64_t AnnounceTicks = 0;
};

struct HdaControllerModel {
  std::array<uint8_t, 0x80> Registers{};
  LinkTiming Link;
  // The register block reads all ones and takes no write (D3hot,
  // power-gated, memory space not decoded).
  bool AllOnes = false;
  std::array<std::optional<CodecModel>, 3> Codecs;  // SDI 0 to 2
  // Values that replace the model's own for the next reads of the Immediate
  // Command status and response registers (odd hardware, fuzzing).
  std::deque<uint32_t> ScriptedStatus;
  std::deque<uint32_t> ScriptedResponse;
  std::vector<uint32_t> VerbsStarted;  // command words, in order

  uint32_t Gctl() const { return Register32(0x08); }
  void SetGctl(uint32_t Value) { SetRegister32(0x08, Value); }
  void SetStatests(uint16_t Value) { Registers[0x0E] = Value & 0xFF; Registers[0x0F] = Value >> 8; }
  CodecModel &AddCodec(unsigned Address) { return Codecs.at(Address).emplace(); }
  // CRST was set at this time (the platform took the link out of reset
  // just before), rather than long ago.
  void LeftResetAt(uint64_t Ticks) { CrstSetAt = Ticks; }

  // Now: the bench's clock, in PM-timer ticks.
  uint32_t Read(uint32_t Offset, unsigned Width, uint64_t Now);
  void Write(uint32_t Offset, unsigned Width, uint32_t Value, uint64_t Now);

private:
  uint32_t Register32(uint32_t Offset) const;
  void SetRegister32(uint32_t Offset, uint32_t Value);
  bool CrstReadsOne(uint64_t Now) const;
  bool CodecsReady(uint64_t Now) const;
  std::optional<VerbReply> Pending;
  std::optional<uint64_t> CrstSetAt;  // when CRST was last set by a write
};

struct PmTimerModel {
  uint32_t Counter = 0;
  uint32_t Mask = 0x00FFFFFF;  // a 24-bit timer; 0xFFFFFFFF models TMR_VAL_EXT
  uint32_t StepPerRead = 1;    // 0: a stopped timer
  uint64_t Hz = 3579545;       // how fast it runs while the firmware stalls (0: stopped)
  std::deque<uint32_t> ScriptedSteps;  // used before StepPerRead while any remain
  std::vector<uint32_t> StepCycle;     // then, if set, these steps over and over
  uint64_t Reads = 0;
  uint64_t Elapsed = 0;  // ticks since the bench was made: the bench's clock
  uint32_t Read();
  void Advance(uint64_t Ticks);

private:
  size_t CyclePosition = 0;
};

// Where a replay stands: the capture's accesses, each with its count.
struct ReplayState {
  std::vector<std::pair<Access, uint32_t>> Expected;
  size_t Next = 0;
  uint32_t UsedOfNext = 0;
  size_t Made = 0;
  std::string Mismatch;
};

class Bench {
public:
  Bench();
  ~Bench();
  Bench(const Bench &) = delete;
  Bench &operator=(const Bench &) = delete;

  static Bench &Current();

  uint64_t EcamBase = HDA_PLATFORM_ECAM_BASE;
  uint16_t PmTimerPort = HDA_PLATFORM_PM_TIMER_PORT;
  PciConfigModel Config;
  HdaControllerModel Controller;
  PmTimerModel Timer;
  std::vector<Access> Log;
  bool LogTimer = true;  // timer reads and PAUSEs; off keeps long runs lean

  uint32_t MmioRead(uint64_t Address, unsigned Width);
  void MmioWrite(uint64_t Address, unsigned Width, uint32_t Value);
  uint32_t IoRead32(uint16_t Port);
  void Pause();
  // The boot services' Stall: time passes, the PM timer runs on.
  void Stall(uint64_t Microseconds);

  // Replays a capture: from now on the configuration space and the
  // controller are the capture's, each access compared with the next one
  // captured. ReplayVerdict() is empty when the code made exactly the
  // captured accesses, else says where it first left them.
  void ReplayCapture(std::vector<std::pair<Access, uint32_t>> AccessesAndCounts);
  std::string ReplayVerdict() const;

  // Base of the controller's register window while it decodes, else none.
  std::optional<uint32_t> ControllerBase() const;
  std::vector<Access> Filtered(Region R) const;

private:
  Region Locate(uint64_t Address, unsigned Width, uint32_t *Offset) const;
  std::optional<uint32_t> Replayed(const Access &Made);
  std::optional<ReplayState> Replay;
};

}  // namespace bench
