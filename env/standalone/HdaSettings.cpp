// Copyright (c) 2026, HdaSsid contributors. All rights reserved.
// SPDX-License-Identifier: BSD-2-Clause-Patent

#include "HdaSettings.h"

#include "HdaBoardProfile.h"  // HDA_BOARD_CONVERGENCE_RESET

constinit volatile HDA_PLATFORM_SETTINGS gHdaPlatformSettings = {
    {'H', 'D', 'A', 'B', 'O', 'A', 'R', 'D'}, HDA_PLATFORM_ECAM_BASE, HDA_PLATFORM_PM_TIMER_PORT,
    HDA_BOARD_CONVERGENCE_RESET, {0, 0, 0, 0, 0}};
