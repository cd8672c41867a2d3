// Copyright (c) 2026, HdaSsid contributors. All rights reserved.
// SPDX-License-Identifier: BSD-2-Clause-Patent
//
// The platform settings as the firmware's ACPI tables describe them: the ECAM
// window of segment 0 from MCFG (PCI Firmware 3.x, 4.1.2) and the PM timer
// from the FADT (ACPI 6.x, 5.2.9). Each table is checked (signature, length,
// checksum) before it is believed.
#pragma once

#include "HdaUefiTables.h"

struct ACPI_BOARD_SETTINGS {
  BOOLEAN HasEcamBase;
  UINT64 EcamBase;  // the window's bus 0
  BOOLEAN HasPmTimerPort;
  UINT16 PmTimerPort;
};

// Looks in the system table's ACPI 2.0 (else 1.0) RSDP; what is not found,
// or is not sound, is left as not found.
VOID FindAcpiBoardSettings(const EFI_SYSTEM_TABLE *SystemTable, ACPI_BOARD_SETTINGS *Found);
