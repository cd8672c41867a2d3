// Copyright (c) 2026, HdaSsid contributors. All rights reserved.
// SPDX-License-Identifier: BSD-2-Clause-Patent
//
// A board with one codec variant, no zero answer recorded, and a short table.
#pragma once
#define HDA_BOARD_NAME "one-variant test board"
#define HDA_BOARD_VARIANTS(VARIANT) VARIANT(Only, 0x10EC, 0x1234)
#define HDA_BOARD_RECORDS_ZERO_ANSWER 0
#define HDA_BOARD_DEFAULT_RUNS(RUN) RUN(0x00, 0, 1, 0x00011AF4) RUN(0x1F, 0, 4, 0x00021AF4)
#define HDA_BOARD_DEFAULT_ECAM_BASE 0xE0000000
#define HDA_BOARD_DEFAULT_PM_TIMER_PORT 0x1808
