// Copyright (c) 2026, HdaSsid contributors. All rights reserved.
// SPDX-License-Identifier: BSD-2-Clause-Patent

#include "AcpiBoard.h"

namespace {

// {8868E871-E4F1-11D3-BC22-0080C73C88E1} and {EB9D2D30-2D88-11D3-9A16-0090273FC14D}, UEFI 2.x, 4.6.
constexpr EFI_GUID ACPI_20_TABLE_GUID = EfiGuid("8868E871-E4F1-11D3-BC22-0080C73C88E1");
constexpr EFI_GUID ACPI_10_TABLE_GUID = EfiGuid("EB9D2D30-2D88-11D3-9A16-0090273FC14D");

constexpr UINT32 ACPI_HEADER_SIZE = 36;
constexpr UINT32 ACPI_TABLE_MAX_SIZE = 0x100000;  // far above any MCFG or FADT
constexpr UINT32 MCFG_ENTRIES_OFFSET = 44;
constexpr UINT32 MCFG_ENTRY_SIZE = 16;
constexpr UINT32 FADT_PM_TMR_BLK = 76;
constexpr UINT32 FADT_X_PM_TMR_BLK = 208;  // a Generic Address Structure, 12 bytes
constexpr UINT8 ACPI_ADDRESS_SPACE_IO = 1;

UINT64 Read(const UINT8 *At, unsigned Bytes) {
  UINT64 Value = 0;
  for (unsigned I = Bytes; I-- > 0;) {
    Value = Value << 8 | At[I];
  }
  return Value;
}

BOOLEAN SameGuid(const EFI_GUID &A, const EFI_GUID &B) {
  const UINT8 *X = reinterpret_cast<const UINT8 *>(&A), *Y = reinterpret_cast<const UINT8 *>(&B);
  for (unsigned I = 0; I < sizeof(EFI_GUID); ++I) {
    if (X[I] != Y[I]) {
      return false;
    }
  }
  return true;
}

BOOLEAN HasSignature(const UINT8 *At, const char *Signature, unsigned Bytes) {
  for (unsigned I = 0; I < Bytes; ++I) {
    if (At[I] != static_cast<UINT8>(Signature[I])) {
      return false;
    }
  }
  return true;
}

BOOLEAN SumsToZero(const UINT8 *At, UINT32 Bytes) {
  UINT8 Sum = 0;
  for (UINT32 I = 0; I < Bytes; ++I) {
    Sum = static_cast<UINT8>(Sum + At[I]);
  }
  return Sum == 0;
}

// The table at Address, when it has this signature and is sound; its length.
const UINT8 *Table(UINT64 Address, const char *Signature, UINT32 *Length) {
  const UINT8 *At = reinterpret_cast<const UINT8 *>(static_cast<UINTN>(Address));
  if (At == nullptr || !HasSignature(At, Signature, 4)) {
    return nullptr;
  }
  *Length = static_cast<UINT32>(Read(At + 4, 4));
  if (*Length < ACPI_HEADER_SIZE || *Length > ACPI_TABLE_MAX_SIZE || !SumsToZero(At, *Length)) {
    return nullptr;
  }
  return At;
}

VOID TakeMcfg(const UINT8 *Mcfg, UINT32 Length, ACPI_BOARD_SETTINGS *Found) {
  for (UINT32 At = MCFG_ENTRIES_OFFSET; At + MCFG_ENTRY_SIZE <= Length; At += MCFG_ENTRY_SIZE) {
    const UINT64 Base = Read(Mcfg + At, 8);
    const UINT16 Segment = static_cast<UINT16>(Read(Mcfg + At + 8, 2));
    if (Segment == 0 && Mcfg[At + 10] == 0) {  // segment 0 from bus 0: 00:1F.3's window
      Found->HasEcamBase = true;
      Found->EcamBase = Base;
      return;
    }
  }
}

VOID TakeFadt(const UINT8 *Fadt, UINT32 Length, ACPI_BOARD_SETTINGS *Found) {
  UINT64 Port = 0;
  if (Length >= FADT_X_PM_TMR_BLK + 12 && Fadt[FADT_X_PM_TMR_BLK] == ACPI_ADDRESS_SPACE_IO) {
    Port = Read(Fadt + FADT_X_PM_TMR_BLK + 4, 8);
  }
  if (Port == 0 && Length >= FADT_PM_TMR_BLK + 4) {
    Port = Read(Fadt + FADT_PM_TMR_BLK, 4);
  }
  if (Port != 0 && Port <= 0xFFFF) {
    Found->HasPmTimerPort = true;
    Found->PmTimerPort = static_cast<UINT16>(Port);
  }
}

}  // namespace

VOID FindAcpiBoardSettings(const EFI_SYSTEM_TABLE *SystemTable, ACPI_BOARD_SETTINGS *Found) {
  *Found = {};
  const UINT8 *Rsdp = nullptr;
  for (unsigned Pass = 0; Pass < 2; ++Pass) {  // ACPI 2.0 first
    const EFI_GUID &Wanted = Pass == 0 ? ACPI_20_TABLE_GUID : ACPI_10_TABLE_GUID;
    for (UINTN I = 0; Rsdp == nullptr && I < SystemTable->NumberOfTableEntries; ++I) {
      if (SameGuid(SystemTable->ConfigurationTable[I].VendorGuid, Wanted)) {
        Rsdp = static_cast<const UINT8 *>(SystemTable->ConfigurationTable[I].VendorTable);
      }
    }
  }
  if (Rsdp == nullptr || !HasSignature(Rsdp, "RSD PTR ", 8) || !SumsToZero(Rsdp, 20)) {
    return;
  }
  // ACPI 2.0 and later: the XSDT's 64-bit entries; else the RSDT's 32-bit ones.
  UINT32 Length = 0;
  UINT32 EntrySize = 8;
  const UINT8 *Root = Rsdp[15] >= 2 ? Table(Read(Rsdp + 24, 8), "XSDT", &Length) : nullptr;
  if (Root == nullptr) {
    EntrySize = 4;
    Root = Table(Read(Rsdp + 16, 4), "RSDT", &Length);
  }
  if (Root == nullptr) {
    return;
  }
  for (UINT32 At = ACPI_HEADER_SIZE; At + EntrySize <= Length; At += EntrySize) {
    const UINT64 Address = Read(Root + At, EntrySize);
    UINT32 TableLength = 0;
    if (const UINT8 *Mcfg = Table(Address, "MCFG", &TableLength); Mcfg != nullptr && !Found->HasEcamBase) {
      TakeMcfg(Mcfg, TableLength, Found);
    } else if (const UINT8 *Fadt = Table(Address, "FACP", &TableLength); Fadt != nullptr && !Found->HasPmTimerPort) {
      TakeFadt(Fadt, TableLength, Found);
    }
  }
}
