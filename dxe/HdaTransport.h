// Copyright (c) 2026, HdaSsid contributors. All rights reserved.
// SPDX-License-Identifier: BSD-2-Clause-Patent
//
// HD Audio Immediate Command transport, paced by the ACPI PM timer.
#pragma once

#include "HdaUefiBase.h"

// Status polls per verb and PM-timer ticks between them: 200 x 17 ticks at
// 3.579545 MHz is about 0.95 ms before a codec is given up.
constexpr UINT32 HDA_VERB_POLL_LIMIT = 200;
constexpr UINT32 HDA_VERB_POLL_TICKS = 17;

// The PM timer's counter is 24 bits wide (ACPI 6.x, 4.8.3.3); a single wait
// covers at most a quarter of its range so bit 23 of Target - Now tells on
// which side of Target the counter is, across a wrap.
constexpr UINT32 PM_TIMER_COUNTER_MASK = 0x00FFFFFF;
constexpr UINT32 PM_TIMER_SIGN_BIT = 0x00800000;
constexpr UINT32 PM_TIMER_BLOCK_SHIFT = 22;
constexpr UINT32 PM_TIMER_BLOCK_TICKS = 1u << PM_TIMER_BLOCK_SHIFT;

// A running timer ticks every 279 ns: 256 port reads in a row that see the
// same count would each have to take about a nanosecond, so the timer has
// stopped (some platforms disable it) and the wait ends instead of hanging.
constexpr UINT32 PM_TIMER_STALL_READS = 256;

extern "C" {
EFI_STATUS HdaSendVerb(UINT32 Base, UINT32 Verb, UINT32 *Response);
VOID PmTimerDelay(UINT32 Ticks);
}
