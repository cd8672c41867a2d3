// The board profile the build chose (HDA_BOARD_PROFILE, boards/<name>.h; the
// target board's by default): what the board is. From it come the variant
// records HDA_SSID_VARIANT_<Name>, the driver's recognised answers, the
// PEIM's tables and its selection. A profile that cannot work stops the
// build with a message that names the problem.
#pragma once

#include "HdaSsidRecord.h"

#ifndef HDA_BOARD_PROFILE_HEADER
#define HDA_BOARD_PROFILE_HEADER "TargetBoard.h"
#endif
#include HDA_BOARD_PROFILE_HEADER

// The codec answers vendor-high (HD Audio 1.0a, 7.3.4.12); the record keeps
// PCI's vendor-low layout.
constexpr HDA_SSID_WORD HdaRecordOfAnswer(UINT32 Answer) { return Answer >> 16 | Answer << 16; }

#define HDA_BOARD_VARIANT_RECORD(Name, Answer) \
  inline constexpr HDA_SSID_WORD HDA_SSID_VARIANT_##Name = HdaRecordOfAnswer(Answer);
HDA_BOARD_VARIANTS(HDA_BOARD_VARIANT_RECORD)
#undef HDA_BOARD_VARIANT_RECORD

struct HDA_DEVICE_RUN {
  UINT32 Device;
  UINT32 FirstFunction;
  UINT32 Functions;
  HDA_SSID_WORD Word;
};

#define HDA_BOARD_ANSWER(Name, Answer) Answer,
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

constexpr bool RowsAreDevices() {
  for (const HDA_DEVICE_RUN &Run : HDA_BOARD_RUNS) {
    if (Run.Device > 0x1F || Run.Functions == 0 || Run.FirstFunction + Run.Functions > 8) {
      return false;
    }
  }
  return true;
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

constexpr bool RecordsUnique() {
  for (UINTN I = 0; I < HDA_BOARD_VARIANT_COUNT; ++I) {
    for (UINTN J = I + 1; J < HDA_BOARD_VARIANT_COUNT; ++J) {
      if (HdaRecordOfAnswer(HDA_BOARD_VARIANT_ANSWERS[I]) == HdaRecordOfAnswer(HDA_BOARD_VARIANT_ANSWERS[J])) {
        return false;
      }
    }
  }
  return true;
}

constexpr bool NoVariantIsTheDefault() {
  for (const UINT32 Answer : HDA_BOARD_VARIANT_ANSWERS) {
    if (HdaRecordOfAnswer(Answer) == DefaultHdaWord()) {
      return false;
    }
  }
  return true;
}

constexpr bool NoZeroVariant() {
  for (const UINT32 Answer : HDA_BOARD_VARIANT_ANSWERS) {
    if (Answer == 0) {
      return false;
    }
  }
  return true;
}

}  // namespace hda_board_checks

constexpr UINTN HDA_BOARD_DEVICE_ROWS = hda_board_checks::DeviceRows();
constexpr UINTN HDA_BOARD_HDA_ROW = hda_board_checks::HdaRowIndex();  // from 0
constexpr HDA_SSID_WORD HDA_BOARD_DEFAULT_HDA_WORD = hda_board_checks::DefaultHdaWord();

static_assert(HDA_BOARD_VARIANT_COUNT >= 1, "board profile: it names no codec variant");
static_assert(hda_board_checks::RecordsUnique(), "board profile: two variants give the same record");
static_assert(hda_board_checks::NoZeroVariant(),
              "board profile: a variant answers 0; a codec without a subsystem ID is no variant "
              "(HDA_BOARD_RECORDS_ZERO_ANSWER says whether the board records it, as 0, selecting no table)");
static_assert(hda_board_checks::RowsAreDevices(),
              "board profile: a run names no PCI device (device above 0x1F, no function, or past function 7)");
static_assert(hda_board_checks::HdaRows() == 1,
              "board profile: the default table needs exactly one 00:1F.3 row (the HD Audio controller)");
static_assert(hda_board_checks::NoVariantIsTheDefault(),
              "board profile: a variant's record equals the default table's 00:1F.3 word, so it could never "
              "select its table");
static_assert(HDA_BOARD_RECORDS_ZERO_ANSWER == 0 || HDA_BOARD_RECORDS_ZERO_ANSWER == 1,
              "board profile: HDA_BOARD_RECORDS_ZERO_ANSWER is 0 or 1");
