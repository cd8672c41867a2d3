// Copyright (c) 2026, HdaSsid contributors. All rights reserved.
// SPDX-License-Identifier: BSD-2-Clause-Patent
//
// EDK2's variable policy protocol from MdeModulePkg, with
// gEdkiiVariablePolicyProtocolGuid from AutoGen.
#pragma once

#include "HdaUefiBase.h"

extern "C" {
#include <Protocol/VariablePolicy.h>
}
