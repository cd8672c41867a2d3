// Copyright (c) 2026, HdaSsid contributors. All rights reserved.
// SPDX-License-Identifier: BSD-2-Clause-Patent
//
// The modules' UEFI base types, status codes and variable attributes from
// EDK2's MdePkg, for an EDK2 build of the package's source modules (the
// standalone build has its own: env/standalone/HdaUefiBase.h). MdePkg's
// headers carry no C++ linkage of their own.
#pragma once

extern "C" {
#include <Uefi/UefiBaseType.h>
#include <Uefi/UefiMultiPhase.h>
}

// UEFI 2.8's enhanced authenticated variables, which this MdePkg does not name.
#ifndef EFI_VARIABLE_ENHANCED_AUTHENTICATED_ACCESS
#define EFI_VARIABLE_ENHANCED_AUTHENTICATED_ACCESS 0x00000080
#endif

#ifndef offsetof
#define offsetof(Type, Member) __builtin_offsetof(Type, Member)
#endif

#include "HdaGuidText.h"
