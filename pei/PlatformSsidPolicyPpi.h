// The platform's subsystem-ID policy PPI: installed and consumed by the
// board's platform code. HdaSsidSelectPei only relies on its second
// pointer-sized member, SsidTable: NULL until a table is chosen, then the
// table the platform programs the PCH devices' subsystem IDs from.
#pragma once

#include "SsidTable.h"
#include "UefiBase.h"

// {38965BB5-8097-40F5-B742-8CC14A649B64}
inline constexpr EFI_GUID PLATFORM_SSID_POLICY_PPI_GUID = {
    0x38965BB5, 0x8097, 0x40F5, {0xB7, 0x42, 0x8C, 0xC1, 0x4A, 0x64, 0x9B, 0x64}};

struct PLATFORM_SSID_POLICY_PPI {
  UINTN Revision;  // platform-defined; not used here
  const SSID_TABLE_ENTRY *SsidTable;
};

#if defined(__i386__)
static_assert(offsetof(PLATFORM_SSID_POLICY_PPI, SsidTable) == 4);
#elif defined(__x86_64__)
static_assert(offsetof(PLATFORM_SSID_POLICY_PPI, SsidTable) == 8);
#endif
