// Copyright (c) 2026, HdaSsid contributors. All rights reserved.
// SPDX-License-Identifier: BSD-2-Clause-Patent
//
// HdaSsidBoardLib for QEMU's q35 machine under OVMF, the emulated board: its profile, then what every board's
// library builds from one.
#include "QemuQ35.h"
#include "HdaSsidBoardLibrary.h"
