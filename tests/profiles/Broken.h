// Copyright (c) 2026, HdaSsid contributors. All rights reserved.
// SPDX-License-Identifier: BSD-2-Clause-Patent
//
// Profiles that must not compile, one per check of include/HdaBoardProfile.h
// and pei/SsidTable.h: HDA_BROKEN_PROFILE picks the fault (the suite's table
// in tests/CMakeLists.txt names each with the message it must stop with);
// without it the profile is sound.
#pragma once

#if HDA_BROKEN_PROFILE != 13
#define HDA_BOARD_NAME "broken test board"
#endif
#define HDA_BOARD_DEFAULT_ECAM_BASE 0xE0000000
#define HDA_BOARD_DEFAULT_PM_TIMER_PORT 0x1808
#define HDA_BOARD_RECORDS_ZERO_ANSWER 1

#define HDA_GOOD_RUNS(RUN) RUN(0x1F, 0, 1, 0x50011458) RUN(0x1F, 3, 1, 0xA0A31458)

#if HDA_BROKEN_PROFILE == 1  // no variant
#define HDA_BOARD_VARIANTS(VARIANT)
#elif HDA_BROKEN_PROFILE == 2  // an answer given whole in one field
#define HDA_BOARD_VARIANTS(VARIANT) VARIANT(A195, 0x1458A195, 0)
#elif HDA_BROKEN_PROFILE == 3  // a zero answer as a variant
#define HDA_BOARD_VARIANTS(VARIANT) VARIANT(None, 0, 0)
#elif HDA_BROKEN_PROFILE == 4  // no PCI vendor
#define HDA_BOARD_VARIANTS(VARIANT) VARIANT(A195, 0xFFFF, 0xA195)
#elif HDA_BROKEN_PROFILE == 5  // the record's layout: vendor and subsystem ID swapped
#define HDA_BOARD_VARIANTS(VARIANT) VARIANT(A195, 0xA195, 0x1458)
#elif HDA_BROKEN_PROFILE == 6  // two variants of one record
#define HDA_BOARD_VARIANTS(VARIANT) VARIANT(A195, 0x1458, 0xA195) VARIANT(Again, 0x1458, 0xA195)
#elif HDA_BROKEN_PROFILE == 7  // a record equal to the default word
#define HDA_BOARD_VARIANTS(VARIANT) VARIANT(A0A3, 0x1458, 0xA0A3)
#elif HDA_BROKEN_PROFILE == 14  // an answer given whole as the subsystem ID
#define HDA_BOARD_VARIANTS(VARIANT) VARIANT(A195, 0x1458, 0x1458A195)
#else
#define HDA_BOARD_VARIANTS(VARIANT) VARIANT(A195, 0x1458, 0xA195)
#endif

#if HDA_BROKEN_PROFILE == 8  // no such PCI device
#define HDA_BOARD_DEFAULT_RUNS(RUN) HDA_GOOD_RUNS(RUN) RUN(0x20, 0, 1, 0x50011458)
#elif HDA_BROKEN_PROFILE == 9  // two 00:1F.3 rows
#define HDA_BOARD_DEFAULT_RUNS(RUN) HDA_GOOD_RUNS(RUN) RUN(0x1F, 3, 1, 0xA0A31458)
#elif HDA_BROKEN_PROFILE == 10  // no 00:1F.3 row
#define HDA_BOARD_DEFAULT_RUNS(RUN) RUN(0x1F, 0, 1, 0x50011458)
#elif HDA_BROKEN_PROFILE == 11  // 70 rows and the terminator
#define HDA_BOARD_DEFAULT_RUNS(RUN) HDA_GOOD_RUNS(RUN) RUN(0x1C, 0, 8, 0) RUN(0x1D, 0, 8, 0) RUN(0x1B, 0, 8, 0) \
  RUN(0x1A, 0, 8, 0) RUN(0x19, 0, 8, 0) RUN(0x18, 0, 8, 0) RUN(0x17, 0, 8, 0) RUN(0x16, 0, 8, 0) RUN(0x15, 0, 4, 0)
#elif HDA_BROKEN_PROFILE == 15  // functions 7 and 8
#define HDA_BOARD_DEFAULT_RUNS(RUN) HDA_GOOD_RUNS(RUN) RUN(0x1E, 7, 2, 0x50011458)
#elif HDA_BROKEN_PROFILE == 16  // sound: 69 rows and the terminator, the most the lookup reads
#define HDA_BOARD_DEFAULT_RUNS(RUN) HDA_GOOD_RUNS(RUN) RUN(0x1C, 0, 8, 0) RUN(0x1D, 0, 8, 0) RUN(0x1B, 0, 8, 0) \
  RUN(0x1A, 0, 8, 0) RUN(0x19, 0, 8, 0) RUN(0x18, 0, 8, 0) RUN(0x17, 0, 8, 0) RUN(0x16, 0, 8, 0) RUN(0x15, 0, 3, 0)
#else
#define HDA_BOARD_DEFAULT_RUNS(RUN) HDA_GOOD_RUNS(RUN)
#endif

#if HDA_BROKEN_PROFILE == 12  // the zero-answer rule is a yes or no
#undef HDA_BOARD_RECORDS_ZERO_ANSWER
#define HDA_BOARD_RECORDS_ZERO_ANSWER 2
#endif
