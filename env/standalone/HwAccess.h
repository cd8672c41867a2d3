// The one door to hardware: 8/32-bit MMIO at a physical address, a 32-bit
// I/O-port read and PAUSE. In firmware images each is one inline instruction
// that is also a compiler barrier (a "memory" clobber, as EDK2's IoLib and
// Linux's readl/writel give theirs): the compiler neither merges, splits nor
// reorders the accesses, nor moves any other memory access or call across
// them. Uncached MMIO and port I/O are strongly ordered on x86, so the CPU
// keeps that order without fences. Host tests build the same sources with
// HDA_HW_BENCH, which routes every access to the recording models in
// tests/bench.
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
  UINT8 Value;
  __asm__ __volatile__("movb %1, %0" : "=q"(Value) : "m"(*reinterpret_cast<volatile UINT8 *>(Address)) : "memory");
  return Value;
}

inline UINT32 MmioRead32(UINTN Address) {
  UINT32 Value;
  __asm__ __volatile__("movl %1, %0" : "=r"(Value) : "m"(*reinterpret_cast<volatile UINT32 *>(Address)) : "memory");
  return Value;
}

inline VOID MmioWrite8(UINTN Address, UINT8 Value) {
  __asm__ __volatile__("movb %1, %0" : "=m"(*reinterpret_cast<volatile UINT8 *>(Address)) : "q"(Value) : "memory");
}

inline VOID MmioWrite32(UINTN Address, UINT32 Value) {
  __asm__ __volatile__("movl %1, %0" : "=m"(*reinterpret_cast<volatile UINT32 *>(Address)) : "r"(Value) : "memory");
}

inline UINT32 IoRead32(UINT16 Port) {
  UINT32 Value;
  __asm__ __volatile__("inl %w1, %0" : "=a"(Value) : "Nd"(Port) : "memory");
  return Value;
}

inline VOID CpuPause() { __asm__ __volatile__("pause" ::: "memory"); }

#endif
