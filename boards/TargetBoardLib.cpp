// Copyright (c) 2026, HdaSsid contributors. All rights reserved.
// SPDX-License-Identifier: BSD-2-Clause-Patent
//
// HdaSsidBoardLib for the target board: its profile, then what every board's
// library builds from one.
#include "TargetBoard.h"
#include "HdaSsidBoardLibrary.h"
