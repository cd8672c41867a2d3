// Copyright (c) 2026, HdaSsid contributors. All rights reserved.
// SPDX-License-Identifier: BSD-2-Clause-Patent

#include "HdaTransport.h"

#include "HdaPlatformSettings.h"
#include "HdaRegisters.h"
#include "HdaHwAccess.h"

// One wait of at most PM_TIMER_BLOCK_TICKS. Ends when the counter has moved
// past Target; also ends when the counter cannot be timed against: stuck for
// PM_TIMER_STALL_READS reads, or seen stepping backwards, which a running
// timer read at least once per 2^23 ticks never does.
static VOID PmTimerWait(UINT32 Wait) {
  const UINT16 Port = HdaPmTimerPort();
  UINT32 Previous = IoRead32(Port) & PM_TIMER_COUNTER_MASK;
  const UINT32 Target = Previous + Wait;
  UINT32 UnchangedReads = 0;
  for (;;) {
    const UINT32 Now = IoRead32(Port);
    if (((Target - Now) & PM_TIMER_SIGN_BIT) != 0) {
      return;
    }
    const UINT32 Step = (Now - Previous) & PM_TIMER_COUNTER_MASK;
    if (Step == 0) {
      if (++UnchangedReads >= PM_TIMER_STALL_READS) {
        return;
      }
    } else if ((Step & PM_TIMER_SIGN_BIT) != 0) {
      return;
    } else {
      UnchangedReads = 0;
    }
    Previous = Now;
    CpuPause();
  }
}

extern "C" VOID PmTimerDelay(UINT32 Ticks) {
  UINT32 Blocks = Ticks >> PM_TIMER_BLOCK_SHIFT;
  PmTimerWait(Ticks & (PM_TIMER_BLOCK_TICKS - 1));
  while (Blocks-- != 0) {
    PmTimerWait(PM_TIMER_BLOCK_TICKS);
  }
}

// HD Audio 1.0a, 3.4.3: Immediate Command interface. The busy bit is not
// tested before a command is issued, and a command that times out is left
// in flight; the next command overwrites it.
extern "C" EFI_STATUS HdaSendVerb(UINT32 Base, UINT32 Verb, UINT32 *Response) {
  MmioWrite32(Base + HDA_REG_ICOI, Verb);
  *Response = 0;
  MmioWrite32(Base + HDA_REG_ICS, HDA_ICS_ICB | HDA_ICS_IRV);
  for (UINT32 Poll = 0; Poll < HDA_VERB_POLL_LIMIT; ++Poll) {
    if ((MmioRead32(Base + HDA_REG_ICS) & (HDA_ICS_ICB | HDA_ICS_IRV)) == HDA_ICS_IRV) {
      *Response = MmioRead32(Base + HDA_REG_IRII);
      return EFI_SUCCESS;
    }
    PmTimerDelay(HDA_VERB_POLL_TICKS);
  }
  return EFI_TIMEOUT;
}
