// Our UEFI definitions against Debian's gnu-efi headers: a wrong offset here
// would pass every other test, since they share our header.
#include <gtest/gtest.h>

#include "GnuEfiOffsets.h"
#include "HdaSsidRecord.h"
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
