// Copyright (c) 2026, HdaSsid contributors. All rights reserved.
// SPDX-License-Identifier: BSD-2-Clause-Patent
//
// The UEFI system table and services from EDK2's MdePkg (UEFI 2.x, chapter
// 4), the End-of-DXE event group's GUID, gEfiEndOfDxeEventGroupGuid, and
// the HOB list's (PI volume 3), with the boot mode in its handoff table.
#pragma once

#include "HdaUefiBase.h"

extern "C" {
#include <Uefi.h>
#include <Pi/PiMultiPhase.h>
#include <Guid/EventGroup.h>
#include <Guid/HobList.h>
}
