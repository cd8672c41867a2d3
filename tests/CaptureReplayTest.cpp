// Copyright (c) 2026, HdaSsid contributors. All rights reserved.
// SPDX-License-Identifier: BSD-2-Clause-Patent
//
// Captures from boards replayed through the driver: the dry run that
// HdaSsidInfo.efi printed on a board (tests/captures/*.txt, whole reports or
// their hda-capture lines) answers the driver's reads, and the driver built
// for that board must make exactly the captured accesses. Captures of other
// boards are named, not replayed: this binary is built for one.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "Capture.h"
#include "FakeUefi.h"
#include "HdaBoardProfile.h"
#include "HdaBench.h"
#include "HdaSsidDetectDxe.h"
#include "HdaSettings.h"

using namespace bench;

namespace {

struct CaptureFile {
  std::string Name;
  Capture Captured;
};

// This board's captures; the others are reported.
std::vector<CaptureFile> ThisBoardsCaptures() {
  std::vector<CaptureFile> Found;
  std::vector<std::filesystem::path> Paths;
  for (const auto &Entry : std::filesystem::directory_iterator(HDA_CAPTURES_DIR)) {
    if (Entry.path().extension() == ".txt") {
      Paths.push_back(Entry.path());
    }
  }
  std::sort(Paths.begin(), Paths.end());
  for (const auto &Path : Paths) {
    Capture C = ParseCapture(ReadReport(Path.string()));
    EXPECT_EQ(C.Problem, "") << Path;
    if (C.Board == HDA_BOARD_NAME) {
      Found.push_back({Path.filename().string(), std::move(C)});
    } else {
      std::printf("%s: a capture of board \"%s\", not replayed by this board's test\n",
                  Path.filename().string().c_str(), C.Board.c_str());
    }
  }
  return Found;
}

// The driver loaded and its End-of-DXE probe run, on the captured machine
// with the captured settings: where it first left the capture, or "".
std::string ReplayThroughTheDriver(const Capture &C) {
  Bench Hw;
  FakeUefi Uefi;
  Hw.LogTimer = false;
  gHdaPlatformSettings.PciExpressBaseAddress = C.EcamBase;
  gHdaPlatformSettings.PmTimerPort = C.PmTimerPort;
  Hw.PmTimerPort = C.PmTimerPort;
  Hw.ReplayCapture(C.Accesses);
  HdaSsidDxeEntryPoint(nullptr, &Uefi.SystemTable);
  OnEndOfDxe(Uefi.EventToCreate, nullptr);
  gHdaPlatformSettings.PciExpressBaseAddress = HDA_PLATFORM_ECAM_BASE;
  gHdaPlatformSettings.PmTimerPort = HDA_PLATFORM_PM_TIMER_PORT;
  return Hw.ReplayVerdict();
}

TEST(Captures, EachCaptureOfThisBoardReplaysThroughTheDriver) {
  const std::vector<CaptureFile> Captures = ThisBoardsCaptures();
  if (Captures.empty()) {
    GTEST_SKIP() << "no capture of board \"" << HDA_BOARD_NAME << "\" in " << HDA_CAPTURES_DIR;
  }
  for (const CaptureFile &F : Captures) {
    EXPECT_EQ(ReplayThroughTheDriver(F.Captured), "") << F.Name;
  }
}

// A replay that passed whatever the driver did would prove nothing: one
// access changed in a capture must fail it.
TEST(Captures, OneAccessChangedFailsTheReplay) {
  const std::vector<CaptureFile> Captures = ThisBoardsCaptures();
  if (Captures.empty()) {
    GTEST_SKIP() << "no capture of board \"" << HDA_BOARD_NAME << "\" in " << HDA_CAPTURES_DIR;
  }
  using Accesses = std::vector<std::pair<Access, uint32_t>>;
  struct Change {
    const char *What;
    void (*Apply)(Accesses &);
  };
  const Change Changes[] = {
      {"the last write's value",
       [](Accesses &A) {
         std::find_if(A.rbegin(), A.rend(), [](const auto &P) { return P.first.Kind == AccessKind::MmioWrite; })
             ->first.Value ^= 0x1;
       }},
      {"the first read's address", [](Accesses &A) { A.front().first.Address += 4; }},
      {"the first access's width", [](Accesses &A) { A.front().first.Width = 8; }},
      {"the last access left out", [](Accesses &A) { A.pop_back(); }},
      {"one access more at the end", [](Accesses &A) { A.push_back(A.back()); }},
  };
  for (const CaptureFile &F : Captures) {
    for (const Change &C : Changes) {
      Capture Changed = F.Captured;
      C.Apply(Changed.Accesses);
      EXPECT_NE(ReplayThroughTheDriver(Changed), "") << F.Name << ", " << C.What;
    }
  }
}

}  // namespace
