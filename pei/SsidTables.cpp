// The board's PCI subsystem-ID tables. The rows are written once, as runs of
// consecutive functions; the three tables are built from them at compile
// time and differ only in the HD Audio controller's word.

#include "SsidTable.h"

namespace {

constexpr HDA_SSID_WORD ALL_ONES = 0xFFFFFFFF;
constexpr HDA_SSID_WORD HDA_SSID_DEFAULT = HdaSsidWord(0x1458, 0xA0A3);
constexpr UINT8 HDA_ROW = 0xFF;  // marks the 00:1F.3 run's word as the table's own

struct DEVICE_RUN {
  UINT8 Device;
  UINT8 FirstFunction;
  UINT8 Functions;
  HDA_SSID_WORD Word;
  UINT8 Mark = 0;
};

// Bus 0 throughout, in the order the platform expects them.
constexpr DEVICE_RUN kDeviceRuns[] = {
    {0x1F, 0, 1, 0x50011458}, {0x13, 0, 1, 0x50001458}, {0x14, 0, 1, 0x50071458},
    {0x14, 1, 1, 0x50001458}, {0x12, 0, 1, 0x88881458}, {0x15, 0, 4, ALL_ONES},
    {0x16, 0, 1, 0x1C3A1458}, {0x16, 1, 1, ALL_ONES},   {0x16, 4, 1, ALL_ONES},
    {0x16, 2, 2, ALL_ONES},   {0x17, 0, 1, 0xB0051458}, {0x16, 3, 1, ALL_ONES},
    {0x19, 1, 1, ALL_ONES},   {0x19, 0, 1, ALL_ONES},   {0x1C, 0, 8, 0x50011458},
    {0x1D, 0, 8, 0x50011458}, {0x1B, 0, 8, 0x50011458}, {0x1E, 0, 4, ALL_ONES},
    {0x1A, 0, 1, ALL_ONES},   {0x14, 5, 1, ALL_ONES},   {0x14, 3, 1, 0x50011458},
    {0x1F, 1, 1, 0x50001458}, {0x1F, 2, 1, 0x50011458}, {0x1F, 3, 1, 0, HDA_ROW},
    {0x1F, 4, 1, 0x50011458}, {0x1F, 5, 1, ALL_ONES},   {0x1F, 6, 1, 0x50011458},
};

constexpr SSID_TABLE_ENTRY DeviceRow(UINT8 Device, UINT8 Function, HDA_SSID_WORD Word) {
  return {0, Function, Device, 0, 0, static_cast<UINT16>(Word), static_cast<UINT16>(Word >> 16), 0};
}

constexpr SSID_TABLE MakeSsidTable(HDA_SSID_WORD HdaWord) {
  SSID_TABLE Table{};
  UINTN Row = 0;
  for (const DEVICE_RUN &Run : kDeviceRuns) {
    for (UINT8 F = 0; F < Run.Functions; ++F) {
      // Writing past the table stops compilation: no run can be lost.
      Table.Entries[Row++] =
          DeviceRow(Run.Device, Run.FirstFunction + F, Run.Mark == HDA_ROW ? HdaWord : Run.Word);
    }
  }
  Table.Entries[Row] = {0xFF, 0xFF, 0xFF, 0xFF, 0xFFFFFFFF, 0xFFFF, 0xFFFF, 0};
  return Table;
}

constexpr UINTN CountDeviceRows() {
  UINTN Rows = 0;
  for (const DEVICE_RUN &Run : kDeviceRuns) {
    Rows += Run.Functions;
  }
  return Rows;
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

constexpr SSID_TABLE SsidTableDefault = MakeSsidTable(HDA_SSID_DEFAULT);
constexpr SSID_TABLE SsidTableA194 = MakeSsidTable(HDA_SSID_VARIANT_A194);
constexpr SSID_TABLE SsidTableA195 = MakeSsidTable(HDA_SSID_VARIANT_A195);

static_assert(CountDeviceRows() == SSID_TABLE_DEVICE_ROWS);
static_assert(SsidEntryAddressLow(SsidTableDefault.Entries[51]) == HDA_SSID_PCI_ADDRESS,
              "the HD Audio controller is row 52");
static_assert(FindHdaSsid(SsidTableDefault.Entries) == 0xA0A31458);
static_assert(DiffersOnlyInHdaRow(SsidTableDefault, SsidTableA194, 0xA1941458));
static_assert(DiffersOnlyInHdaRow(SsidTableDefault, SsidTableA195, 0xA1951458));
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
