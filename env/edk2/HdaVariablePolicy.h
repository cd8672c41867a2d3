// EDK2's variable policy protocol from MdeModulePkg, with
// gEdkiiVariablePolicyProtocolGuid from AutoGen.
#pragma once

#include "HdaUefiBase.h"

extern "C" {
#include <Protocol/VariablePolicy.h>
}
