// The test bench: models of the hardware the DXE probe touches, behind the
// same HwAccess calls the firmware images inline. Every access is recorded in
// order (kind, width, address, value) and dispatched to
//   - the PCI configuration space of 00:1F.3 in the ECAM window at EcamBase,
//   - the HD Audio controller at BAR0 (decoded only while memory space is
//     enabled and the BAR lies below 4 GiB), with codecs on SDI 0-2,
//   - the ACPI PM timer at PmTimerPort.
// The machine's ECAM base and PM-timer port are its own: the driver reaches
// them only when its platform settings name them.
// Anything else is "unmapped": reads float to all ones, writes are lost.
#pragma once

#include <array>
#include <cstdint>
#include <deque>
#include <map>
#include <optional>
#include <ostream>
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
  // Nothing at 00:1F.3: every byte reads as ones.
  void Absent() { Bytes.fill(0xFF); }
  uint8_t Command() const { return Bytes[0x04]; }
  uint32_t Dword(uint32_t Offset) const;
};

struct HdaControllerModel {
  std::array<uint8_t, 0x80> Registers{};
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

  uint32_t Read(uint32_t Offset, unsigned Width);
  void Write(uint32_t Offset, unsigned Width, uint32_t Value);

private:
  uint32_t Register32(uint32_t Offset) const;
  void SetRegister32(uint32_t Offset, uint32_t Value);
  std::optional<VerbReply> Pending;
};

struct PmTimerModel {
  uint32_t Counter = 0;
  uint32_t Mask = 0x00FFFFFF;  // a 24-bit timer; 0xFFFFFFFF models TMR_VAL_EXT
  uint32_t StepPerRead = 1;    // 0: a stopped timer
  std::deque<uint32_t> ScriptedSteps;  // used before StepPerRead while any remain
  std::vector<uint32_t> StepCycle;     // then, if set, these steps over and over
  uint64_t Reads = 0;
  uint32_t Read();

private:
  size_t CyclePosition = 0;
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

  // Base of the controller's register window while it decodes, else none.
  std::optional<uint32_t> ControllerBase() const;
  std::vector<Access> Filtered(Region R) const;

private:
  Region Locate(uint64_t Address, unsigned Width, uint32_t *Offset) const;
};

}  // namespace bench
