// Copyright (c) 2026, HdaSsid contributors. All rights reserved.
// SPDX-License-Identifier: BSD-2-Clause-Patent
//
// A capture: the MMIO accesses of HdaSsidInfo.efi's dry run of the driver's
// probe, in order, as lines the host bench reads back and replays against the
// driver (tests/CaptureReplayTest.cpp), so that a board's behaviour becomes a
// test. Repeats of one access (the Immediate Command status polls) are kept
// as one line with a count.
//
//   hda-capture begin ecam 0xB0000000 pm-timer 0x0608 board "QEMU q35 (emulated board)"
//   hda-capture R32 0xB00FB000 0x293E8086
//   hda-capture W8 0xB00FB004 0x07
//   hda-capture R32 0x80000068 0x00000001 x199
//   hda-capture end 24
#pragma once

#include "Console.h"
#include "HdaHwAccess.h"
#include "HdaUefiBase.h"

// Starts a capture, forgetting any earlier one; accesses are kept until
// HdaCaptureStop.
VOID HdaCaptureStart();
VOID HdaCaptureStop();

// Prints the capture with the platform settings and board it was taken with;
// a capture that did not fit says so in its last line, which the bench then
// refuses.
VOID HdaCapturePrint(CONSOLE_LINE &Line, UINT64 EcamBase, UINT16 PmTimerPort, const char *Board);
