// Copyright (c) 2026, HdaSsid contributors. All rights reserved.
// SPDX-License-Identifier: BSD-2-Clause-Patent
//
// The board profile the build chose (HDA_BOARD_PROFILE, boards/<name>.h; the
// target board's by default): what the board is. From it come the variant
// records HDA_SSID_VARIANT_<Name>, the driver's recognised answers, the
// PEIM's tables and its selection. A profile that cannot work stops the
// build with a message that names the problem, the variant and the values.
#pragma once

#include "HdaSsidRecord.h"

// A board's HdaSsidBoardLib instance includes its profile before this file;
// the project's own builds name it in HDA_BOARD_PROFILE_HEADER.
#ifndef HDA_BOARD_NAME
#ifndef HDA_BOARD_PROFILE_HEADER
#error "board profile: include the board's profile first, or name it in HDA_BOARD_PROFILE_HEADER"
#endif
#include HDA_BOARD_PROFILE_HEADER
#endif

#ifndef HDA_BOARD_NAME
#error "board profile: HDA_BOARD_NAME is not defined (the board's name, a string)"
#endif
#if !defined(HDA_BOARD_DEFAULT_ECAM_BASE) || !defined(HDA_BOARD_DEFAULT_PM_TIMER_PORT)
#error "board profile: HDA_BOARD_DEFAULT_ECAM_BASE and HDA_BOARD_DEFAULT_PM_TIMER_PORT are not both defined"
#endif
// The warm reset after a codec change, when the next boot's subsystem ID
// differs from this one's: off unless the board turns it on.
#ifndef HDA_BOARD_CONVERGENCE_RESET
#define HDA_BOARD_CONVERGENCE_RESET 0
#endif
static_assert(HDA_BOARD_CONVERGENCE_RESET == 0 || HDA_BOARD_CONVERGENCE_RESET == 1,
              "board profile: HDA_BOARD_CONVERGENCE_RESET is 0 (off) or 1 (on)");

// The codec answers vendor-high (HD Audio 1.0a, 7.3.4.12); the record keeps
// PCI's vendor-low layout.
constexpr HDA_SSID_WORD HdaRecordOfAnswer(UINT32 Answer) { return Answer >> 16 | Answer << 16; }
constexpr UINT32 HdaAnswerOf(UINT32 SubsystemVendorId, UINT32 SubsystemId) {
  return SubsystemVendorId << 16 | (SubsystemId & 0xFFFF);
}

#define HDA_BOARD_VARIANT_RECORD(Name, Vendor, Device) \
  inline constexpr HDA_SSID_WORD HDA_SSID_VARIANT_##Name = HdaRecordOfAnswer(HdaAnswerOf(Vendor, Device));
HDA_BOARD_VARIANTS(HDA_BOARD_VARIANT_RECORD)
#undef HDA_BOARD_VARIANT_RECORD

struct HDA_DEVICE_RUN {
  UINT32 Device;
  UINT32 FirstFunction;
  UINT32 Functions;
  HDA_SSID_WORD Word;
};

#define HDA_BOARD_ANSWER(Name, Vendor, Device) HdaAnswerOf(Vendor, Device),
inline constexpr UINT32 HDA_BOARD_VARIANT_ANSWERS[] = {HDA_BOARD_VARIANTS(HDA_BOARD_ANSWER)};
#undef HDA_BOARD_ANSWER
#define HDA_BOARD_RUN(Device, First, Count, Word) {Device, First, Count, Word},
inline constexpr HDA_DEVICE_RUN HDA_BOARD_RUNS[] = {HDA_BOARD_DEFAULT_RUNS(HDA_BOARD_RUN)};
#undef HDA_BOARD_RUN
constexpr UINTN HDA_BOARD_VARIANT_COUNT = sizeof(HDA_BOARD_VARIANT_ANSWERS) / sizeof(UINT32);

namespace hda_board_checks {

constexpr UINTN DeviceRows() {
  UINTN Rows = 0;
  for (const HDA_DEVICE_RUN &Run : HDA_BOARD_RUNS) {
    Rows += Run.Functions;
  }
  return Rows;
}

constexpr bool IsHdaRow(const HDA_DEVICE_RUN &Run, UINT32 F) { return Run.Device == 0x1F && F == 3; }

constexpr UINTN HdaRows() {
  UINTN Count = 0;
  for (const HDA_DEVICE_RUN &Run : HDA_BOARD_RUNS) {
    for (UINT32 F = Run.FirstFunction; F < Run.FirstFunction + Run.Functions; ++F) {
      Count += IsHdaRow(Run, F);
    }
  }
  return Count;
}

// The word of the (one) 00:1F.3 row: the default assignment.
constexpr HDA_SSID_WORD DefaultHdaWord() {
  HDA_SSID_WORD Word = 0;
  for (const HDA_DEVICE_RUN &Run : HDA_BOARD_RUNS) {
    for (UINT32 F = Run.FirstFunction; F < Run.FirstFunction + Run.Functions; ++F) {
      Word = IsHdaRow(Run, F) ? Run.Word : Word;
    }
  }
  return Word;
}

constexpr UINTN HdaRowIndex() {
  UINTN Row = 0;
  for (const HDA_DEVICE_RUN &Run : HDA_BOARD_RUNS) {
    for (UINT32 F = Run.FirstFunction; F < Run.FirstFunction + Run.Functions; ++F, ++Row) {
      if (IsHdaRow(Run, F)) {
        return Row;
      }
    }
  }
  return Row;
}

constexpr UINTN VariantsWithRecord(HDA_SSID_WORD Record) {
  UINTN Count = 0;
  for (const UINT32 Answer : HDA_BOARD_VARIANT_ANSWERS) {
    Count += HdaRecordOfAnswer(Answer) == Record;
  }
  return Count;
}

// A count checked in a template argument, so the compiler's message shows
// it.
template <UINTN HdaRowCount>
constexpr bool OneHdaRow() {
  static_assert(HdaRowCount == 1,
                "board profile: the default table needs exactly one 00:1F.3 row, the HD Audio controller's "
                "(rows == 1)");
  return HdaRowCount == 1;
}

}  // namespace hda_board_checks

constexpr UINTN HDA_BOARD_DEVICE_ROWS = hda_board_checks::DeviceRows();
constexpr UINTN HDA_BOARD_HDA_ROW = hda_board_checks::HdaRowIndex();  // from 0
constexpr HDA_SSID_WORD HDA_BOARD_DEFAULT_HDA_WORD = hda_board_checks::DefaultHdaWord();

static_assert(HDA_BOARD_VARIANT_COUNT >= 1, "board profile: it names no codec variant");

// Each check names the run or variant as the profile writes it.
#define HDA_BOARD_CHECK_RUN(Device, First, Count, Word)                                                        \
  static_assert((Device) <= 0x1F && (Count) >= 1 && (First) + (Count) <= 8,                                    \
                "board profile: RUN(" #Device ", " #First ", " #Count ", " #Word ") names no PCI device: it "  \
                "needs device 0x00-0x1F, a count of 1 or more, and functions 0-7");
HDA_BOARD_DEFAULT_RUNS(HDA_BOARD_CHECK_RUN)
#undef HDA_BOARD_CHECK_RUN
static_assert(hda_board_checks::OneHdaRow<hda_board_checks::HdaRows()>());

#define HDA_BOARD_VARIANT_TEXT(Name, Vendor, Device) "board profile: variant " #Name " (" #Vendor ", " #Device ")"
#define HDA_BOARD_CHECK_VARIANT(Name, Vendor, Device)                                                            \
  static_assert((Vendor) <= 0xFFFF && (Device) <= 0xFFFF,                                                      \
                HDA_BOARD_VARIANT_TEXT(Name, Vendor, Device) ": VARIANT(name, subsystem vendor ID, subsystem "  \
                "ID) takes two 16-bit numbers, not a 32-bit answer or record");                                \
  static_assert(HdaAnswerOf(Vendor, Device) != 0,                                                              \
                HDA_BOARD_VARIANT_TEXT(Name, Vendor, Device) " answers 0, but a codec without a subsystem ID is "   \
                "no variant (HDA_BOARD_RECORDS_ZERO_ANSWER says whether the board records it, as 0)");          \
  static_assert((Vendor) != 0x0000 && (Vendor) != 0xFFFF,                                                      \
                HDA_BOARD_VARIANT_TEXT(Name, Vendor, Device) ": subsystem vendor ID 0x0000 or 0xFFFF is no PCI " \
                "vendor, give the vendor first, as HdaSsidInfo.efi's answer 0xVVVVDDDD reads");                \
  static_assert(!((Device) == (HDA_BOARD_DEFAULT_HDA_WORD & 0xFFFF) &&                                          \
                  (Vendor) != (HDA_BOARD_DEFAULT_HDA_WORD & 0xFFFF)),                                           \
                HDA_BOARD_VARIANT_TEXT(Name, Vendor, Device) ": the subsystem ID is the default table's "      \
                "00:1F.3 vendor, so the two look swapped (the record's layout, 0xDDDDVVVV), give the vendor "  \
                "first, as HdaSsidInfo.efi's answer 0xVVVVDDDD reads");                                        \
  static_assert(hda_board_checks::VariantsWithRecord(HDA_SSID_VARIANT_##Name) == 1,                             \
                HDA_BOARD_VARIANT_TEXT(Name, Vendor, Device) " gives the same record as another variant");     \
  static_assert(HDA_SSID_VARIANT_##Name != HDA_BOARD_DEFAULT_HDA_WORD,                                          \
                HDA_BOARD_VARIANT_TEXT(Name, Vendor, Device) ": its record equals the default table's "        \
                "00:1F.3 word, so it could never select its table");
HDA_BOARD_VARIANTS(HDA_BOARD_CHECK_VARIANT)
#undef HDA_BOARD_CHECK_VARIANT
#undef HDA_BOARD_VARIANT_TEXT

static_assert(HDA_BOARD_RECORDS_ZERO_ANSWER == 0 || HDA_BOARD_RECORDS_ZERO_ANSWER == 1,
              "board profile: HDA_BOARD_RECORDS_ZERO_ANSWER is 0 or 1");
