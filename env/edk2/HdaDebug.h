// Copyright (c) 2026, HdaSsid contributors. All rights reserved.
// SPDX-License-Identifier: BSD-2-Clause-Patent
//
// Debug output in an EDK2 build: the platform's DebugLib. A RELEASE build
// compiles the messages out (MDEPKG_NDEBUG), as every module's.
#pragma once

#include "HdaUefiBase.h"

extern "C" {
#include <Library/DebugLib.h>
}
