// The board's PCI subsystem-ID tables, built at compile time from its
// profile: the default table from the profile's runs of consecutive
// functions, and one per codec variant that differs only in the HD Audio
// controller's word.

#include "SsidTable.h"

namespace {

constexpr HDA_SSID_WORD ALL_ONES = 0xFFFFFFFF;

constexpr SSID_TABLE_ENTRY DeviceRow(UINT32 Device, UINT32 Function, HDA_SSID_WORD Word) {
  return {0, static_cast<UINT8>(Function), static_cast<UINT8>(Device), 0, 0, static_cast<UINT16>(Word),
          static_cast<UINT16>(Word >> 16), 0};
}

// The default table with HdaWord in its 00:1F.3 row.
constexpr SSID_TABLE MakeSsidTable(HDA_SSID_WORD HdaWord) {
  SSID_TABLE Table{};
  UINTN Row = 0;
  for (const HDA_DEVICE_RUN &Run : HDA_BOARD_RUNS) {
    for (UINT32 F = Run.FirstFunction; F < Run.FirstFunction + Run.Functions; ++F) {
      Table.Entries[Row++] = DeviceRow(Run.Device, F, Run.Device == 0x1F && F == 3 ? HdaWord : Run.Word);
    }
  }
  Table.Entries[Row] = {0xFF, 0xFF, 0xFF, 0xFF, 0xFFFFFFFF, 0xFFFF, 0xFFFF, 0};
  return Table;
}

constexpr bool SameEntry(const SSID_TABLE_ENTRY &A, const SSID_TABLE_ENTRY &B) {
  return SsidEntryAddressLow(A) == SsidEntryAddressLow(B) && A.ExtendedRegister == B.ExtendedRegister &&
         SsidEntryWord(A) == SsidEntryWord(B) && A.Reserved == B.Reserved;
}

// True when Alternative equals Default in every entry but the one 00:1F.3
// entry, where it carries Word.
constexpr bool DiffersOnlyInHdaRow(const SSID_TABLE &Default, const SSID_TABLE &Alternative,
                                   HDA_SSID_WORD Word) {
  UINTN HdaRows = 0;
  for (UINTN I = 0; I < SSID_TABLE_ENTRY_COUNT; ++I) {
    const SSID_TABLE_ENTRY &D = Default.Entries[I];
    const SSID_TABLE_ENTRY &A = Alternative.Entries[I];
    if (SsidEntryAddressLow(D) == HDA_SSID_PCI_ADDRESS) {
      ++HdaRows;
      if (SsidEntryAddressLow(A) != HDA_SSID_PCI_ADDRESS || SsidEntryWord(A) != Word) {
        return false;
      }
    } else if (!SameEntry(D, A)) {
      return false;
    }
  }
  return HdaRows == 1;
}

}  // namespace

constexpr SSID_TABLE SsidTableDefault = MakeSsidTable(HDA_BOARD_DEFAULT_HDA_WORD);
#define HDA_BOARD_DEFINE_TABLE(Name, Vendor, Device)                                      \
  constexpr SSID_TABLE SsidTable##Name = MakeSsidTable(HDA_SSID_VARIANT_##Name); \
  static_assert(DiffersOnlyInHdaRow(SsidTableDefault, SsidTable##Name, HDA_SSID_VARIANT_##Name));
HDA_BOARD_VARIANTS(HDA_BOARD_DEFINE_TABLE)
#undef HDA_BOARD_DEFINE_TABLE

static_assert(SsidEntryAddressLow(SsidTableDefault.Entries[HDA_BOARD_HDA_ROW]) == HDA_SSID_PCI_ADDRESS);
static_assert(FindHdaSsid(SsidTableDefault.Entries) == HDA_BOARD_DEFAULT_HDA_WORD,
              "the lookup finds the default table's 00:1F.3 word");
static_assert(SsidEntryWord(SsidTableDefault.Entries[SSID_TABLE_DEVICE_ROWS]) == ALL_ONES &&
              SsidEntryAddressLow(SsidTableDefault.Entries[SSID_TABLE_DEVICE_ROWS]) == 0xFFFFFFFF &&
              SsidTableDefault.Entries[SSID_TABLE_DEVICE_ROWS].ExtendedRegister == 0xFFFFFFFF &&
              SsidTableDefault.Entries[SSID_TABLE_DEVICE_ROWS].Reserved == 0,
              "a table ends with an all-ones terminator");

// The walk reads the table's bytes as they lie in the image: board vendors
// edit these tables in flash images, and without the empty asm the optimiser
// would fold the walk over the compile-time copy into a fixed answer.
HDA_SSID_WORD FindDefaultHdaSsid() {
  const SSID_TABLE_ENTRY *Table = SsidTableDefault.Entries;
  __asm__("" : "+r"(Table));
  return FindHdaSsid(Table);
}
