// The platform's subsystem-ID policy PPI: installed and consumed by the
// board's platform code. HdaSsidSelectPei only relies on its second
// pointer-sized member, SsidTable: NULL until a table is chosen, then the
// table the platform programs the PCH devices' subsystem IDs from.
#pragma once

#include "HdaSsidIds.h"
#include "SsidTable.h"
#include "UefiBase.h"

inline constexpr EFI_GUID PLATFORM_SSID_POLICY_PPI_GUID = EfiGuid(PLATFORM_SSID_POLICY_PPI_GUID_TEXT);

struct PLATFORM_SSID_POLICY_PPI {
  UINTN Revision;  // platform-defined; not used here
  const SSID_TABLE_ENTRY *SsidTable;
};

#if defined(__i386__)
static_assert(offsetof(PLATFORM_SSID_POLICY_PPI, SsidTable) == 4);
#elif defined(__x86_64__)
static_assert(offsetof(PLATFORM_SSID_POLICY_PPI, SsidTable) == 8);
#endif
