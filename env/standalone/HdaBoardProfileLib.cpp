// Copyright (c) 2026, HdaSsid contributors. All rights reserved.
// SPDX-License-Identifier: BSD-2-Clause-Patent
//
// The HdaSsidBoardLib of the board profile the build names in
// HDA_BOARD_PROFILE_HEADER: the board of the standalone images and the host
// tests. (An EDK2 platform maps the library class to its board's instance,
// boards/<Board>.inf.)
#include "HdaSsidBoardLibrary.h"
