// Copyright (c) 2026, HdaSsid contributors. All rights reserved.
// SPDX-License-Identifier: BSD-2-Clause-Patent

#include "ProbeCapture.h"

namespace {

struct CAPTURED_ACCESS {
  UINT32 Address;
  UINT32 Value;
  UINT32 Count;
  HDA_TRACE_KIND Kind;
  UINT8 Width;
};

// The worst probe, six verbs that each time out, makes some 40 distinct
// accesses once polls are merged; the guard alone makes at most five.
constexpr UINTN CAPTURE_CAPACITY = 96;

constinit CAPTURED_ACCESS gCaptured[CAPTURE_CAPACITY] = {};
constinit UINTN gCapturedCount = 0;
constinit BOOLEAN gCapturing = false;
constinit BOOLEAN gCaptureOverflowed = false;

}  // namespace

VOID HdaCaptureStart() {
  gCapturedCount = 0;
  gCaptureOverflowed = false;
  gCapturing = true;
}

VOID HdaCaptureStop() { gCapturing = false; }

extern "C" VOID HdaTraceAccess(HDA_TRACE_KIND Kind, UINT8 Width, UINTN Address, UINT32 Value) {
  if (!gCapturing) {
    return;
  }
  if (gCapturedCount != 0) {
    CAPTURED_ACCESS &Last = gCaptured[gCapturedCount - 1];
    if (Last.Kind == Kind && Last.Width == Width && Last.Address == Address && Last.Value == Value) {
      ++Last.Count;
      return;
    }
  }
  if (gCapturedCount == CAPTURE_CAPACITY) {
    gCaptureOverflowed = true;
    return;
  }
  gCaptured[gCapturedCount++] = {static_cast<UINT32>(Address), Value, 1, Kind, Width};
}

VOID HdaCapturePrint(CONSOLE_LINE &Line, UINT64 EcamBase, UINT16 PmTimerPort, const char *Board) {
  Line.Text("hda-capture begin ecam ").Hex(EcamBase, 8).Text(" pm-timer ").Hex(PmTimerPort, 4);
  Line.Text(" board \"").Text(Board).Text("\"").Print();
  UINT32 Accesses = 0;
  for (UINTN I = 0; I < gCapturedCount; ++I) {
    const CAPTURED_ACCESS &A = gCaptured[I];
    Line.Text("hda-capture ").Text(A.Kind == HdaTraceRead ? "R" : "W").Decimal(A.Width).Text(" ");
    Line.Hex(A.Address, 8).Text(" ").Hex(A.Value, A.Width / 4);
    if (A.Count > 1) {
      Line.Text(" x").Decimal(A.Count);
    }
    Line.Print();
    Accesses += A.Count;
  }
  if (gCaptureOverflowed) {
    Line.Text("hda-capture truncated after ").Decimal(Accesses).Print();
  } else {
    Line.Text("hda-capture end ").Decimal(Accesses).Print();
  }
}
