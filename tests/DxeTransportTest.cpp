// Copyright (c) 2026, HdaSsid contributors. All rights reserved.
// SPDX-License-Identifier: BSD-2-Clause-Patent
//
// The Immediate Command handshake and the PM-timer wait.
#include <gtest/gtest.h>

#include "HdaBench.h"
#include "HdaPlatformSettings.h"
#include "HdaRegisters.h"
#include "HdaTransport.h"

using namespace bench;

namespace {

constexpr uint32_t kBase = 0xFE000000;
constexpr uint32_t kVerb = HdaCodecVerb(0, HDA_VERB_GET_VENDOR_ID);

class TransportTest : public ::testing::Test {
protected:
  TransportTest() {
    Hw.Config.Present(0x293E8086, 0x07, kBase, 0);
    Hw.Controller.AddCodec(0);
  }
  size_t Count(AccessKind Kind, uint64_t Address) const {
    size_t N = 0;
    for (const Access &A : Hw.Log) {
      N += A.Kind == Kind && A.Address == Address;
    }
    return N;
  }
  size_t StatusReads() const { return Count(AccessKind::MmioRead, kBase + HDA_REG_ICS); }
  size_t TimerReads() const { return Count(AccessKind::IoRead, HDA_PLATFORM_PM_TIMER_PORT); }
  Bench Hw;
};

TEST_F(TransportTest, CodecReadyAtFirstPollNeedsOneStatusReadAndNoDelay) {
  Hw.Controller.Codecs[0]->Answer(kVerb, 0x10EC0887);
  UINT32 Response = 0xDEAD;
  EXPECT_EQ(HdaSendVerb(kBase, kVerb, &Response), EFI_SUCCESS);
  EXPECT_EQ(Response, 0x10EC0887u);
  const std::vector<Access> Expected = {
      Write32(kBase + 0x60, kVerb),
      Write32(kBase + 0x68, 0x3),
      Read32(kBase + 0x68, 0x2),
      Read32(kBase + 0x64, 0x10EC0887),
  };
  EXPECT_EQ(Hw.Log, Expected);
}

TEST_F(TransportTest, BusyAndValidTogetherIsNotReady) {
  Hw.Controller.Codecs[0]->Answer(kVerb, 0x10EC0887);
  Hw.Controller.ScriptedStatus = {0x3};
  UINT32 Response;
  EXPECT_EQ(HdaSendVerb(kBase, kVerb, &Response), EFI_SUCCESS);
  EXPECT_EQ(StatusReads(), 2u);
  EXPECT_GT(TimerReads(), 0u) << "a failed poll is followed by a delay";
}

// Polls are counted: the answer may come at the 200th poll, not later.
TEST_F(TransportTest, GivesUpAfterTheLimitOfPolls) {
  struct Case {
    uint32_t BusyPolls;
    EFI_STATUS Status;
    uint32_t Response;
  };
  for (const Case &C : {Case{HDA_VERB_POLL_LIMIT - 1, EFI_SUCCESS, 0x10EC0887},
                        Case{HDA_VERB_POLL_LIMIT, EFI_TIMEOUT, 0}}) {
    SCOPED_TRACE(C.BusyPolls);
    Hw.Log.clear();
    Hw.Controller.Codecs[0]->Answer(kVerb, 0x10EC0887, C.BusyPolls);
    UINT32 Response = 0xDEAD;
    EXPECT_EQ(HdaSendVerb(kBase, kVerb, &Response), C.Status);
    EXPECT_EQ(Response, C.Response);
    EXPECT_EQ(StatusReads(), HDA_VERB_POLL_LIMIT);
    EXPECT_EQ(Count(AccessKind::MmioRead, kBase + HDA_REG_IRII), C.Status == EFI_SUCCESS ? 1u : 0u);
  }
}

TEST_F(TransportTest, TimeOutEndsWithTheLastDelayAndLeavesTheCommandAlone) {
  Hw.Controller.Codecs[0]->NeverAnswer(kVerb);
  UINT32 Response = 0xDEAD;
  EXPECT_EQ(HdaSendVerb(kBase, kVerb, &Response), EFI_TIMEOUT);
  EXPECT_EQ(Response, 0u);
  EXPECT_EQ(Hw.Log.back().Kind, AccessKind::IoRead) << "the 200th poll is followed by its delay";
  size_t Writes = 0;
  for (const Access &A : Hw.Log) {
    Writes += A.Kind == AccessKind::MmioWrite;
  }
  EXPECT_EQ(Writes, 2u) << "the command is not cancelled";
}

// Splits the log into waits: a wait starts with the read that sets its target,
// and reads inside a wait are separated by PAUSE.
struct Wait {
  uint32_t First;
  uint32_t Last;
  size_t Reads;
  size_t Pauses;
};
std::vector<Wait> SplitWaits(const std::vector<Access> &Log) {
  std::vector<Wait> Waits;
  bool PausedSinceRead = true;
  bool SeenRead = false;
  for (const Access &A : Log) {
    if (A.Kind == AccessKind::Pause) {
      ++Waits.back().Pauses;
      PausedSinceRead = true;
    } else if (A.Kind == AccessKind::IoRead) {
      const bool Starts = !SeenRead || (!PausedSinceRead && Waits.back().Reads > 1);
      if (Starts) {
        Waits.push_back({A.Value, A.Value, 0, 0});
      }
      Waits.back().Last = A.Value;
      ++Waits.back().Reads;
      SeenRead = true;
      PausedSinceRead = false;
    }
  }
  return Waits;
}

uint32_t Elapsed(const Wait &W) { return (W.Last - W.First) & PM_TIMER_COUNTER_MASK; }

TEST_F(TransportTest, DelayAcrossTheCounterWrapWaitsItsTicksOnly) {
  Hw.Timer.Counter = 0xFFFFF8;
  PmTimerDelay(17);
  const auto Waits = SplitWaits(Hw.Log);
  ASSERT_EQ(Waits.size(), 1u);
  EXPECT_EQ(Elapsed(Waits[0]), 18u) << "ends at the first read past the target";
  EXPECT_EQ(Waits[0].Pauses, Waits[0].Reads - 2) << "PAUSE after each read that does not end it";
}

TEST_F(TransportTest, DelayIgnoresTimerBitsAboveBit23) {
  Hw.Timer.Mask = 0xFFFFFFFF;  // a 32-bit timer
  Hw.Timer.Counter = 0xAB7FFFF8;
  PmTimerDelay(17);
  EXPECT_EQ(Hw.Timer.Counter - 0xAB7FFFF8, 19u);
}

TEST_F(TransportTest, ZeroTicksEndsOnceTheCounterHasMoved) {
  Hw.Timer.ScriptedSteps = {0, 0, 1};
  PmTimerDelay(0);
  EXPECT_EQ(TimerReads(), 4u);
  EXPECT_EQ(Hw.Log.back(), (Access{AccessKind::IoRead, 32, HDA_PLATFORM_PM_TIMER_PORT, 1}));
}

TEST_F(TransportTest, LongDelayWaitsRemainderFirstThenWholeBlocks) {
  Hw.Timer.StepPerRead = 0x40;
  PmTimerDelay(2 * PM_TIMER_BLOCK_TICKS + 0x100);
  const auto Waits = SplitWaits(Hw.Log);
  ASSERT_EQ(Waits.size(), 3u);
  const uint32_t Wanted[] = {0x100, PM_TIMER_BLOCK_TICKS, PM_TIMER_BLOCK_TICKS};
  for (size_t I = 0; I < Waits.size(); ++I) {
    SCOPED_TRACE(I);
    EXPECT_GT(Elapsed(Waits[I]), Wanted[I]);
    EXPECT_LE(Elapsed(Waits[I]), Wanted[I] + 0x40) << "each wait has a fresh target";
  }
}

TEST_F(TransportTest, StoppedTimerEndsEachWait) {
  Hw.Timer.StepPerRead = 0;
  PmTimerDelay(17);
  EXPECT_EQ(TimerReads(), 1 + PM_TIMER_STALL_READS);

  Hw.Log.clear();
  Hw.Timer.Reads = 0;
  Hw.Controller.Codecs[0]->NeverAnswer(kVerb);
  UINT32 Response;
  EXPECT_EQ(HdaSendVerb(kBase, kVerb, &Response), EFI_TIMEOUT);
  EXPECT_EQ(Hw.Timer.Reads, HDA_VERB_POLL_LIMIT * (1 + PM_TIMER_STALL_READS));
}

TEST_F(TransportTest, TimerThatSometimesStallsStillTimesTheWait) {
  // Stuck for a while between ticks, but never for the stall limit.
  for (int Tick = 0; Tick < 40; ++Tick) {
    Hw.Timer.ScriptedSteps.insert(Hw.Timer.ScriptedSteps.end(), PM_TIMER_STALL_READS - 2, 0);
    Hw.Timer.ScriptedSteps.push_back(1);
  }
  PmTimerDelay(17);
  const auto Waits = SplitWaits(Hw.Log);
  ASSERT_EQ(Waits.size(), 1u);
  EXPECT_EQ(Elapsed(Waits[0]), 18u);
}

TEST_F(TransportTest, TimerSteppingBackwardsEndsTheWait) {
  Hw.Timer.Counter = 0x1000;
  Hw.Timer.ScriptedSteps = {1, PM_TIMER_COUNTER_MASK};  // +1, then back by 1
  Hw.Timer.StepPerRead = PM_TIMER_COUNTER_MASK;
  PmTimerDelay(17);
  EXPECT_EQ(TimerReads(), 3u);
}

}  // namespace
