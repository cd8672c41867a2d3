// Copyright (c) 2026, HdaSsid contributors. All rights reserved.
// SPDX-License-Identifier: BSD-2-Clause-Patent
//
// The one door to hardware in an EDK2 build: the platform's IoLib instance
// (MmioRead8/32, MmioWrite8/32, IoRead32) and BaseLib's CpuPause, the very
// names the standalone build's one-instruction accessors carry. A
// platform's IoLib may filter or trace the accesses; the sequence the
// modules make is the same.
#pragma once

#include "HdaUefiBase.h"

extern "C" {
#include <Library/BaseLib.h>
#include <Library/IoLib.h>
}
