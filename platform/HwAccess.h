// The one door to hardware: 8/32-bit MMIO at a physical address, a 32-bit
// I/O-port read and PAUSE. Firmware images get inlined volatile accesses and
// inline instructions, one access per call, never merged, split or reordered
// against each other. Host tests build the same sources with HDA_HW_BENCH,
// which routes every access to the recording models in tests/bench.
#pragma once

#include "UefiBase.h"

#if defined(HDA_HW_BENCH)

extern "C" {
UINT8 MmioRead8(UINTN Address);
UINT32 MmioRead32(UINTN Address);
VOID MmioWrite8(UINTN Address, UINT8 Value);
VOID MmioWrite32(UINTN Address, UINT32 Value);
UINT32 IoRead32(UINT16 Port);
VOID CpuPause();
}

#else

inline UINT8 MmioRead8(UINTN Address) {
  return *reinterpret_cast<volatile UINT8 *>(Address);
}

inline UINT32 MmioRead32(UINTN Address) {
  return *reinterpret_cast<volatile UINT32 *>(Address);
}

inline VOID MmioWrite8(UINTN Address, UINT8 Value) {
  *reinterpret_cast<volatile UINT8 *>(Address) = Value;
}

inline VOID MmioWrite32(UINTN Address, UINT32 Value) {
  *reinterpret_cast<volatile UINT32 *>(Address) = Value;
}

inline UINT32 IoRead32(UINT16 Port) {
  UINT32 Value;
  __asm__ __volatile__("inl %w1, %0" : "=a"(Value) : "Nd"(Port));
  return Value;
}

inline VOID CpuPause() { __asm__ __volatile__("pause" ::: "memory"); }

#endif
