// Our UEFI definitions against Debian's gnu-efi headers: a wrong offset here
// would pass every other test, since they share our header.
#include <gtest/gtest.h>

#include <cstring>

#include "Edk2PackageHeaders.h"
#include "GnuEfiOffsets.h"
#include "HdaSsidRecord.h"
#include "PlatformSsidPolicyPpi.h"
#include "UefiTables.h"

TEST(UefiLayout, ServiceTableOffsetsMatchGnuEfi) {
  const GnuEfiLayout &Ref = kGnuEfiLayout;
  EXPECT_EQ(offsetof(EFI_SYSTEM_TABLE, ConOut), Ref.SystemTableConOut);
  EXPECT_EQ(offsetof(EFI_SIMPLE_TEXT_OUTPUT_PROTOCOL, OutputString), Ref.TextOutputOutputString);
  EXPECT_EQ(offsetof(EFI_SYSTEM_TABLE, RuntimeServices), Ref.SystemTableRuntimeServices);
  EXPECT_EQ(offsetof(EFI_SYSTEM_TABLE, BootServices), Ref.SystemTableBootServices);
  EXPECT_EQ(offsetof(EFI_SYSTEM_TABLE, NumberOfTableEntries), Ref.SystemTableNumberOfTableEntries);
  EXPECT_EQ(offsetof(EFI_SYSTEM_TABLE, ConfigurationTable), Ref.SystemTableConfigurationTable);
  EXPECT_EQ(sizeof(EFI_CONFIGURATION_TABLE), Ref.ConfigurationTableSize);
  EXPECT_EQ(offsetof(EFI_BOOT_SERVICES, CloseEvent), Ref.BootServicesCloseEvent);
  EXPECT_EQ(offsetof(EFI_BOOT_SERVICES, Stall), Ref.BootServicesStall);
  EXPECT_EQ(offsetof(EFI_BOOT_SERVICES, LocateProtocol), Ref.BootServicesLocateProtocol);
  EXPECT_EQ(offsetof(EFI_BOOT_SERVICES, CreateEventEx), Ref.BootServicesCreateEventEx);
  EXPECT_EQ(offsetof(EFI_RUNTIME_SERVICES, SetVariable), Ref.RuntimeServicesSetVariable);
  EXPECT_EQ(offsetof(EFI_RUNTIME_SERVICES, GetVariable), Ref.RuntimeServicesGetVariable);
  EXPECT_EQ(sizeof(EFI_TABLE_HEADER), Ref.TableHeaderSize);
}

TEST(UefiLayout, GuidLayoutMatchesGnuEfi) {
  const GnuEfiLayout &Ref = kGnuEfiLayout;
  EXPECT_EQ(sizeof(EFI_GUID), Ref.GuidSize);
  EXPECT_EQ(offsetof(EFI_GUID, Data2), Ref.GuidData2);
  EXPECT_EQ(offsetof(EFI_GUID, Data3), Ref.GuidData3);
  EXPECT_EQ(offsetof(EFI_GUID, Data4), Ref.GuidData4);
}

TEST(UefiLayout, ConstantsMatchGnuEfi) {
  const GnuEfiLayout &Ref = kGnuEfiLayout;
  EXPECT_EQ(EFI_TIMEOUT, Ref.StatusTimeout);
  EXPECT_EQ(EFI_NOT_FOUND, Ref.StatusNotFound);
  EXPECT_EQ(EFI_BUFFER_TOO_SMALL, Ref.StatusBufferTooSmall);
  EXPECT_EQ(EVT_NOTIFY_SIGNAL, Ref.EventNotifySignal);
  EXPECT_EQ(TPL_CALLBACK, Ref.TplCallback);
  EXPECT_EQ(HDA_SSID_VARIABLE_ATTRIBUTES, Ref.VariableNvBsRt);
}

// The C headers HdaSsidPkg gives a platform say what the modules do: the
// same GUIDs, variable, record and layouts as our own definitions.
TEST(Edk2PackageHeaders, AgreeWithTheModulesDefinitions) {
  const Edk2PackageLayout &C = kEdk2PackageLayout;
  const EFI_GUID TokenSpace = EfiGuid(HDA_SSID_PKG_TOKEN_SPACE_GUID_TEXT);
  EXPECT_EQ(std::memcmp(C.VariableGuid, &HDA_SSID_VARIABLE_GUID, 16), 0);
  EXPECT_EQ(std::memcmp(C.PolicyPpiGuid, &PLATFORM_SSID_POLICY_PPI_GUID, 16), 0);
  EXPECT_EQ(std::memcmp(C.TokenSpaceGuid, &TokenSpace, 16), 0);
  ASSERT_EQ(C.VariableNameSize, sizeof(HDA_SSID_VARIABLE_NAME));
  EXPECT_EQ(std::memcmp(C.VariableName, HDA_SSID_VARIABLE_NAME, sizeof(HDA_SSID_VARIABLE_NAME)), 0);
  EXPECT_EQ(C.VariableAttributes, HDA_SSID_VARIABLE_ATTRIBUTES);
  EXPECT_EQ(C.RecordSize, HDA_SSID_RECORD_SIZE);
  EXPECT_EQ(C.EntrySize, sizeof(SSID_TABLE_ENTRY));
  EXPECT_EQ(C.EntryBus, offsetof(SSID_TABLE_ENTRY, Bus));
  EXPECT_EQ(C.EntryExtendedRegister, offsetof(SSID_TABLE_ENTRY, ExtendedRegister));
  EXPECT_EQ(C.EntrySubsystemVendorId, offsetof(SSID_TABLE_ENTRY, SubsystemVendorId));
  EXPECT_EQ(C.EntrySubsystemId, offsetof(SSID_TABLE_ENTRY, SubsystemId));
  EXPECT_EQ(C.EntryReserved, offsetof(SSID_TABLE_ENTRY, Reserved));
  EXPECT_EQ(C.PolicySsidTable, offsetof(PLATFORM_SSID_POLICY_PPI, SsidTable));
}
