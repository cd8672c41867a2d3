// EDK2's variable policy protocol (MdeModulePkg/Include/Protocol/
// VariablePolicy.h, protocol revision 0x20000, entry revision 0x10000): the
// variable driver's SetVariable refuses a write that breaks a registered
// policy. Only RegisterVariablePolicy is called; the other members are kept
// as slots so it sits at its offset.
#pragma once

#include "UefiBase.h"

inline constexpr EFI_GUID EDKII_VARIABLE_POLICY_PROTOCOL_GUID = EfiGuid("81D1675C-86F6-48DF-BD95-9A6E4F0925C3");
constexpr UINT32 VARIABLE_POLICY_ENTRY_REVISION = 0x00010000;
constexpr UINT8 VARIABLE_POLICY_TYPE_NO_LOCK = 0;

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
static_assert(sizeof(VARIABLE_POLICY_ENTRY) == 44);
static_assert(offsetof(VARIABLE_POLICY_ENTRY, Namespace) == 8 && offsetof(VARIABLE_POLICY_ENTRY, MinSize) == 24 &&
              offsetof(VARIABLE_POLICY_ENTRY, LockPolicyType) == 40);

typedef EFI_STATUS(EFIAPI *REGISTER_VARIABLE_POLICY)(const VARIABLE_POLICY_ENTRY *PolicyEntry);

struct EDKII_VARIABLE_POLICY_PROTOCOL {
  UINT64 Revision;
  VOID *DisableVariablePolicy;
  VOID *IsVariablePolicyEnabled;
  REGISTER_VARIABLE_POLICY RegisterVariablePolicy;
};
#if defined(__x86_64__)
static_assert(offsetof(EDKII_VARIABLE_POLICY_PROTOCOL, RegisterVariablePolicy) == 0x18);
#endif
