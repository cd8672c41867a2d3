// Copyright (c) 2026, HdaSsid contributors. All rights reserved.
// SPDX-License-Identifier: BSD-2-Clause-Patent
//
// How large the configured board's shipped images may be: the target
// board's sizes, and for other profiles what their tables and variants add.
// A bar that follows the profile keeps catching growth of the code itself
// whichever board is configured.
#pragma once

#include <cstddef>

#include "HdaBoardProfile.h"
#include "HdaBoardTables.h"

namespace size_bars {

constexpr size_t kExtraVariants = HDA_BOARD_VARIANT_COUNT > 2 ? HDA_BOARD_VARIANT_COUNT - 2 : 0;
constexpr size_t kTables = sizeof(SSID_TABLE) * (HDA_BOARD_VARIANT_COUNT + 1);

// The driver's recognition of other than the target board's two answers and
// zero takes one more 32-byte file-alignment unit, however many there are.
// 1,248 bytes without the opt-in convergence reset, whose read of the
// previous record, boot-mode lookup in the HOB list, read of 0x2C, decision
// and reset call add 448.
constexpr size_t kDriver = 1696 + (HDA_TEST_TARGET_BOARD ? 0 : 32);
// The PEIM's code (800 bytes) and its tables; each variant past two adds a
// comparison.
constexpr size_t kPeim = 800 + kTables + 32 * kExtraVariants;
// The TE form drops 272 bytes of PE headers.
constexpr size_t kPeimTe = kPeim - 272;
// The application names each variant, and shows what the convergence reset
// would do.
constexpr size_t kApplication = 13728 + 192 * kExtraVariants;

static_assert(!HDA_TEST_TARGET_BOARD || (kDriver == 1696 && kPeim == 3488 && kPeimTe == 3216),
              "the target board's bars are its sizes");

}  // namespace size_bars
