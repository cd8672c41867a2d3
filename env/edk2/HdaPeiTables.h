// Copyright (c) 2026, HdaSsid contributors. All rights reserved.
// SPDX-License-Identifier: BSD-2-Clause-Patent
//
// The PEI services and the read-only variable PPI from EDK2's MdePkg (PI
// volume 1), with gEfiPeiReadOnlyVariable2PpiGuid.
#pragma once

#include "HdaUefiBase.h"

extern "C" {
#include <PiPei.h>
#include <Ppi/ReadOnlyVariable2.h>
}
