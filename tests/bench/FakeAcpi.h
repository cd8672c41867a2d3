// Copyright (c) 2026, HdaSsid contributors. All rights reserved.
// SPDX-License-Identifier: BSD-2-Clause-Patent
//
// ACPI tables as firmware lays them out, for the bring-up application's
// tests: an RSDP (ACPI 2.0 with an XSDT and an RSDT, or 1.0 with an RSDT
// only), and an MCFG and a FADT as a case asks for, each with its checksum
// unless the case breaks one. They lie below 4 GiB, where an RSDT's 32-bit
// entries can point.
#pragma once

#include <gtest/gtest.h>
#include <sys/mman.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <tuple>
#include <vector>

#include "HdaSettings.h"
#include "HdaUefiTables.h"

namespace bench {

struct AcpiShape {
  std::vector<std::tuple<uint64_t, uint16_t, uint8_t>> Mcfg;  // base, segment, start bus
  uint32_t PmTmrBlk = 0;
  uint64_t XPmTmrBlk = 0;
  uint8_t XSpace = 1;  // the GAS's address space: 1 is system I/O
  bool Acpi10 = false;     // revision 0 RSDP: no XSDT
  const char *Broken = "";  // "RSDP", "XSDT", "MCFG", "FACP": that table's checksum
  uint32_t McfgLength = 0;  // when not 0, the length the MCFG claims
  uint32_t FadtLength = 276;
  bool StaleRsdt = false;  // the RSDT names an MCFG of its own, with a window at 0xC0000000
};

struct FakeAcpi {
  uint8_t *Arena = nullptr;
  size_t Used = 0;
  EFI_CONFIGURATION_TABLE Tables[2]{};  // the RSDP's, then the one the system table had
  static constexpr size_t kArena = 0x4000;

  static void Put(uint8_t *T, size_t At, uint64_t Value, unsigned Bytes) {
    for (unsigned I = 0; I < Bytes; ++I) {
      T[At + I] = static_cast<uint8_t>(Value >> (8 * I));
    }
  }
  static void Seal(uint8_t *T, size_t ChecksumAt, size_t Length, bool Break) {
    uint8_t Sum = 0;
    for (size_t I = 0; I < Length; ++I) {
      Sum = static_cast<uint8_t>(Sum + (I == ChecksumAt ? 0 : T[I]));
    }
    T[ChecksumAt] = static_cast<uint8_t>(0x100 - Sum + Break);
  }
  uint8_t *Table(const char *Signature, size_t Length, uint32_t Claimed = 0) {
    uint8_t *T = Arena + Used;
    Used += (Length + 15) / 16 * 16;
    std::memcpy(T, Signature, 4);
    Put(T, 4, Claimed != 0 ? Claimed : Length, 4);
    return T;
  }
  FakeAcpi(EFI_SYSTEM_TABLE &System, const AcpiShape &S) {
    Arena = static_cast<uint8_t *>(mmap(nullptr, kArena, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_32BIT,
                                        -1, 0));
    EXPECT_NE(Arena, MAP_FAILED);
    std::memset(Arena, 0, kArena);
    const std::string Broken = S.Broken;
    std::vector<uint64_t> Entries;
    if (!S.Mcfg.empty()) {
      const size_t Length = 44 + 16 * S.Mcfg.size();
      uint8_t *T = Table("MCFG", Length, S.McfgLength);
      for (size_t I = 0; I < S.Mcfg.size(); ++I) {
        Put(T, 44 + 16 * I, std::get<0>(S.Mcfg[I]), 8);
        Put(T, 44 + 16 * I + 8, std::get<1>(S.Mcfg[I]), 2);
        T[44 + 16 * I + 10] = std::get<2>(S.Mcfg[I]);
      }
      Seal(T, 9, Length, Broken == "MCFG");
      Entries.push_back(reinterpret_cast<uintptr_t>(T));
    }
    if (S.PmTmrBlk != 0 || S.XPmTmrBlk != 0) {
      uint8_t *T = Table("FACP", 276, S.FadtLength);
      Put(T, 76, S.PmTmrBlk, 4);
      T[208] = S.XSpace;
      Put(T, 212, S.XPmTmrBlk, 8);
      Seal(T, 9, S.FadtLength, Broken == "FACP");
      Entries.push_back(reinterpret_cast<uintptr_t>(T));
    }
    std::vector<uint64_t> RsdtEntries = Entries;
    if (S.StaleRsdt && !S.Mcfg.empty()) {
      uint8_t *T = Table("MCFG", 60);
      Put(T, 44, 0xC0000000, 8);
      Seal(T, 9, 60, false);
      RsdtEntries[0] = reinterpret_cast<uintptr_t>(T);
    }
    uint8_t *Rsdt = Table("RSDT", 36 + 4 * Entries.size());
    uint8_t *Xsdt = Table("XSDT", 36 + 8 * Entries.size());
    for (size_t I = 0; I < Entries.size(); ++I) {
      Put(Rsdt, 36 + 4 * I, RsdtEntries[I], 4);
      Put(Xsdt, 36 + 8 * I, Entries[I], 8);
    }
    Seal(Rsdt, 9, 36 + 4 * Entries.size(), false);
    Seal(Xsdt, 9, 36 + 8 * Entries.size(), Broken == "XSDT");
    uint8_t *Rsdp = Arena + Used;
    Used += 48;
    std::memcpy(Rsdp, "RSD PTR ", 8);
    Rsdp[15] = S.Acpi10 ? 0 : 2;
    Put(Rsdp, 16, reinterpret_cast<uintptr_t>(Rsdt), 4);
    Put(Rsdp, 24, S.Acpi10 ? 0 : reinterpret_cast<uintptr_t>(Xsdt), 8);
    Seal(Rsdp, 8, 20, Broken == "RSDP");
    Tables[0] = {S.Acpi10 ? EfiGuid("EB9D2D30-2D88-11D3-9A16-0090273FC14D")
                           : EfiGuid("8868E871-E4F1-11D3-BC22-0080C73C88E1"),
                  Rsdp};
    if (System.NumberOfTableEntries != 0) {
      Tables[1] = System.ConfigurationTable[0];
    }
    System.NumberOfTableEntries = System.NumberOfTableEntries != 0 ? 2 : 1;
    System.ConfigurationTable = Tables;
  }
  ~FakeAcpi() { munmap(Arena, kArena); }
};

// The target board's settings, as its firmware's ACPI tables would give them.
inline AcpiShape TargetBoardAcpi() { return {{{HDA_PLATFORM_ECAM_BASE, 0, 0}}, HDA_PLATFORM_PM_TIMER_PORT}; }

}  // namespace bench
