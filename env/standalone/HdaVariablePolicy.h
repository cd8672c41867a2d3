// Copyright (c) 2026, HdaSsid contributors. All rights reserved.
// SPDX-License-Identifier: BSD-2-Clause-Patent
//
// EDK2's variable policy protocol, as MdeModulePkg's
// Include/Protocol/VariablePolicy.h defines it (protocol revision 0x20000,
// entry revision 0x10000), under the same names: the variable driver's
// SetVariable refuses a write that breaks a registered policy. Only
// RegisterVariablePolicy is called; the members before it are kept as slots
// so it sits at its offset. An EDK2 build takes MdeModulePkg's header
// (env/edk2/HdaVariablePolicy.h); OvmfFromSource compiles the layout checks
// below against it.
#pragma once

#include "HdaUefiBase.h"

#define EDKII_VARIABLE_POLICY_PROTOCOL_GUID \
  { 0x81D1675C, 0x86F6, 0x48DF, { 0xBD, 0x95, 0x9A, 0x6E, 0x4F, 0x09, 0x25, 0xC3 } }
#define VARIABLE_POLICY_ENTRY_REVISION 0x00010000
#define VARIABLE_POLICY_TYPE_NO_LOCK 0

// Packed in EDK2; every member already lies on its natural boundary. The
// variable's name follows the entry, at OffsetToName.
struct VARIABLE_POLICY_ENTRY {
  UINT32 Version;
  UINT16 Size;
  UINT16 OffsetToName;
  EFI_GUID Namespace;
  UINT32 MinSize;
  UINT32 MaxSize;
  UINT32 AttributesMustHave;
  UINT32 AttributesCantHave;
  UINT8 LockPolicyType;
  UINT8 Padding[3];
};

typedef EFI_STATUS(EFIAPI *REGISTER_VARIABLE_POLICY)(const VARIABLE_POLICY_ENTRY *PolicyEntry);

struct EDKII_VARIABLE_POLICY_PROTOCOL {
  UINT64 Revision;
  VOID *DisableVariablePolicy;
  VOID *IsVariablePolicyEnabled;
  REGISTER_VARIABLE_POLICY RegisterVariablePolicy;
};

static_assert(sizeof(VARIABLE_POLICY_ENTRY) == 44);
static_assert(offsetof(VARIABLE_POLICY_ENTRY, Namespace) == 8 && offsetof(VARIABLE_POLICY_ENTRY, MinSize) == 24 &&
              offsetof(VARIABLE_POLICY_ENTRY, LockPolicyType) == 40);
#if defined(MDE_CPU_X64)
static_assert(offsetof(EDKII_VARIABLE_POLICY_PROTOCOL, RegisterVariablePolicy) == 0x18);
#elif defined(MDE_CPU_IA32)
static_assert(offsetof(EDKII_VARIABLE_POLICY_PROTOCOL, RegisterVariablePolicy) == 0x10);
#endif

extern "C" EFI_GUID gEdkiiVariablePolicyProtocolGuid;
