// Copyright (c) 2026, HdaSsid contributors. All rights reserved.
// SPDX-License-Identifier: BSD-2-Clause-Patent
//
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

#include "HdaUefiBase.h"

// The accesses themselves.
namespace hda_hw {

#if defined(HDA_HW_BENCH)

UINT8 MmioRead8(UINTN Address);
UINT32 MmioRead32(UINTN Address);
VOID MmioWrite8(UINTN Address, UINT8 Value);
VOID MmioWrite32(UINTN Address, UINT32 Value);
UINT32 IoRead32(UINT16 Port);
VOID CpuPause();

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

}  // namespace hda_hw

#if defined(HDA_HW_TRACE)

// The bring-up application's copy of the probe (HDA_HW_TRACE) also hands
// every MMIO access, once made, to the application, which keeps those of
// its dry run as a capture (app/ProbeCapture.h). Port reads and PAUSE are not
// captured: they pace the probe but do not change what it does.
enum HDA_TRACE_KIND : UINT8 { HdaTraceRead, HdaTraceWrite };
extern "C" VOID HdaTraceAccess(HDA_TRACE_KIND Kind, UINT8 Width, UINTN Address, UINT32 Value);

inline UINT8 MmioRead8(UINTN Address) {
  const UINT8 Value = hda_hw::MmioRead8(Address);
  HdaTraceAccess(HdaTraceRead, 8, Address, Value);
  return Value;
}
inline UINT32 MmioRead32(UINTN Address) {
  const UINT32 Value = hda_hw::MmioRead32(Address);
  HdaTraceAccess(HdaTraceRead, 32, Address, Value);
  return Value;
}
inline VOID MmioWrite8(UINTN Address, UINT8 Value) {
  hda_hw::MmioWrite8(Address, Value);
  HdaTraceAccess(HdaTraceWrite, 8, Address, Value);
}
inline VOID MmioWrite32(UINTN Address, UINT32 Value) {
  hda_hw::MmioWrite32(Address, Value);
  HdaTraceAccess(HdaTraceWrite, 32, Address, Value);
}
using hda_hw::CpuPause;
using hda_hw::IoRead32;

#else

using hda_hw::CpuPause;
using hda_hw::IoRead32;
using hda_hw::MmioRead32;
using hda_hw::MmioRead8;
using hda_hw::MmioWrite32;
using hda_hw::MmioWrite8;

#endif
