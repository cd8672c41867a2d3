// Copyright (c) 2026, HdaSsid contributors. All rights reserved.
// SPDX-License-Identifier: BSD-2-Clause-Patent
//
// Test-only platform PEIM for the emulated board. It stands in for the
// board's platform code: installs PLATFORM_SSID_POLICY_PPI with SsidTable
// NULL and, when PEI ends, reports on QEMU's debug console (port 0x402) what
// SsidTable points at, so the system test can see HdaSsidSelectPei's choice.
// It assumes nothing of the board profile: one build serves every board.

#include "HdaPeiTables.h"
#include "HdaSsidTable.h"

namespace {

constexpr UINT16 kDebugConsolePort = 0x402;

void Put(char C) { __asm__ __volatile__("outb %b0, %w1" : : "a"(C), "Nd"(kDebugConsolePort)); }

void Print(const char *Text) {
  while (*Text != '\0') {
    Put(*Text++);
  }
}

void PrintHex(UINT32 Value) {
  for (int Shift = 28; Shift >= 0; Shift -= 4) {
    Put("0123456789ABCDEF"[(Value >> Shift) & 0xF]);
  }
}

void PrintDecimal(UINT32 Value) {
  if (Value >= 10) {
    PrintDecimal(Value / 10);
  }
  Put(static_cast<char>('0' + Value % 10));
}

// CRC-32 (IEEE 802.3, as zlib computes it), bit by bit: no table to keep.
UINT32 Crc32(const UINT8 *Data, UINTN Size) {
  UINT32 Crc = 0xFFFFFFFF;
  for (UINTN I = 0; I < Size; ++I) {
    Crc ^= Data[I];
    for (int Bit = 0; Bit < 8; ++Bit) {
      Crc = (Crc >> 1) ^ (0xEDB88320 & (0u - (Crc & 1)));
    }
  }
  return ~Crc;
}

constinit PLATFORM_SSID_POLICY_PPI gPolicy = {1, nullptr};

// Reads the chosen table as the platform would, whatever board it is for:
// up to its terminator (at most SSID_TABLE_SCAN_LIMIT entries), with the
// 00:1F.3 row's word, the entry count and the CRC of every entry read.
EFI_STATUS EFIAPI OnEndOfPei(const EFI_PEI_SERVICES **, EFI_PEI_NOTIFY_DESCRIPTOR *, VOID *) {
  const SSID_TABLE_ENTRY *Table = gPolicy.SsidTable;
  Print("HdaSsidPolicy: SsidTable=");
  if (Table == nullptr) {
    Print("NULL\n");
    return EFI_SUCCESS;
  }
  UINT32 HdaWord = 0;
  UINTN Entries = 0;
  bool Terminated = false;
  while (Entries < SSID_TABLE_SCAN_LIMIT && !Terminated) {
    const SSID_TABLE_ENTRY &Entry = Table[Entries++];
    Terminated = SsidEntryAddressLow(Entry) == 0xFFFFFFFF && Entry.ExtendedRegister == 0xFFFFFFFF &&
                 SsidEntryWord(Entry) == 0xFFFFFFFF;
    if (SsidEntryAddressLow(Entry) == HDA_SSID_PCI_ADDRESS && Entry.ExtendedRegister == 0) {
      HdaWord = SsidEntryWord(Entry);
    }
  }
  Print("set hda=");
  PrintHex(HDA_SSID_PCI_ADDRESS);
  Print(":");
  PrintHex(HdaWord);
  Print(" entries=");
  PrintDecimal(static_cast<UINT32>(Entries));
  Print(Terminated ? " terminator=ok crc32=" : " terminator=missing crc32=");
  PrintHex(Crc32(reinterpret_cast<const UINT8 *>(Table), Entries * sizeof(SSID_TABLE_ENTRY)));
  Print("\n");
  return EFI_SUCCESS;
}

constinit EFI_PEI_PPI_DESCRIPTOR gPolicyDescriptor = {
    EFI_PEI_PPI_DESCRIPTOR_PPI | EFI_PEI_PPI_DESCRIPTOR_TERMINATE_LIST, &gPlatformSsidPolicyPpiGuid, &gPolicy};

constinit EFI_PEI_NOTIFY_DESCRIPTOR gEndOfPeiNotify = {
    EFI_PEI_PPI_DESCRIPTOR_NOTIFY_CALLBACK | EFI_PEI_PPI_DESCRIPTOR_TERMINATE_LIST,
    &gEfiEndOfPeiSignalPpiGuid, OnEndOfPei};

}  // namespace

extern "C" EFI_STATUS EFIAPI PlatformStubPeiEntryPoint(EFI_PEI_FILE_HANDLE, const EFI_PEI_SERVICES **PeiServices) {
  Print("HdaSsidPolicy: installed, SsidTable=NULL\n");
  (*PeiServices)->NotifyPpi(PeiServices, &gEndOfPeiNotify);
  return (*PeiServices)->InstallPpi(PeiServices, &gPolicyDescriptor);
}
