// Copyright (c) 2026, HdaSsid contributors. All rights reserved.
// SPDX-License-Identifier: BSD-2-Clause-Patent
//
// The UEFI system table and services from EDK2's MdePkg (UEFI 2.x, chapter
// 4), and the End-of-DXE event group's GUID, gEfiEndOfDxeEventGroupGuid.
#pragma once

#include "HdaUefiBase.h"

extern "C" {
#include <Uefi.h>
#include <Guid/EventGroup.h>
}
