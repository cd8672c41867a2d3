// Copyright (c) 2026, HdaSsid contributors. All rights reserved.
// SPDX-License-Identifier: BSD-2-Clause-Patent
//
// Our UEFI definitions against Debian's gnu-efi headers: a wrong offset here
// would pass every other test, since they share our header.
#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <fstream>
#include <iterator>
#include <regex>
#include <string>
#include <vector>

#include "Edk2PackageHeaders.h"
#include "GnuEfiOffsets.h"
#include "HdaSsidRecord.h"
#include "HdaSsidTable.h"
#include "HdaUefiTables.h"

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

// The package's C headers, compiled as an EDK2 C module sees them (L"" as
// UTF-16), give what the DEC states for AutoGen (each GUID is stated in both,
// as EDK2 packages do), the variable as UEFI names it, and the table and PPI
// layouts the platform relies on.
std::array<uint8_t, 16> DecGuid(const std::string &Dec, const std::string &Name) {
  const std::regex Line("\\n[ \\t]*" + Name + "[ \\t]*=[ \\t]*\\{([^\\n]*)\\}");
  std::smatch Found;
  std::array<uint8_t, 16> Bytes{};
  if (!std::regex_search(Dec, Found, Line)) {
    ADD_FAILURE() << Name << " is not in the DEC";
    return Bytes;
  }
  std::vector<uint32_t> Parts;
  const std::string Text = Found[1];
  const std::regex Number("0[xX][0-9A-Fa-f]+");
  for (auto It = std::sregex_iterator(Text.begin(), Text.end(), Number); It != std::sregex_iterator(); ++It) {
    Parts.push_back(static_cast<uint32_t>(std::stoul(It->str(), nullptr, 16)));
  }
  EXPECT_EQ(Parts.size(), 11u) << Name;
  Parts.resize(11);
  const EFI_GUID Guid = {Parts[0], static_cast<UINT16>(Parts[1]), static_cast<UINT16>(Parts[2]),
                         {static_cast<UINT8>(Parts[3]), static_cast<UINT8>(Parts[4]), static_cast<UINT8>(Parts[5]),
                          static_cast<UINT8>(Parts[6]), static_cast<UINT8>(Parts[7]), static_cast<UINT8>(Parts[8]),
                          static_cast<UINT8>(Parts[9]), static_cast<UINT8>(Parts[10])}};
  std::memcpy(Bytes.data(), &Guid, 16);
  return Bytes;
}

std::array<uint8_t, 16> Bytes16(const uint8_t *At) {
  std::array<uint8_t, 16> Bytes;
  std::memcpy(Bytes.data(), At, 16);
  return Bytes;
}

TEST(Edk2PackageHeaders, AgreeWithTheDecAndTheLayouts) {
  const Edk2PackageLayout &C = kEdk2PackageLayout;
  std::ifstream In(HDA_PACKAGE_DEC);
  const std::string Dec((std::istreambuf_iterator<char>(In)), std::istreambuf_iterator<char>());
  EXPECT_EQ(Bytes16(C.VariableGuid), DecGuid(Dec, "gHdaSsidVariableGuid"));
  EXPECT_EQ(Bytes16(C.PolicyPpiGuid), DecGuid(Dec, "gPlatformSsidPolicyPpiGuid"));
  EXPECT_EQ(Bytes16(C.TokenSpaceGuid), DecGuid(Dec, "gHdaSsidPkgTokenSpaceGuid"));
  // {01368881-C4AD-4B1D-B631-D57A8EC8DB6B} as UEFI lays a GUID in memory.
  const std::array<uint8_t, 16> Variable = {0x81, 0x88, 0x36, 0x01, 0xAD, 0xC4, 0x1D, 0x4B,
                                            0xB6, 0x31, 0xD5, 0x7A, 0x8E, 0xC8, 0xDB, 0x6B};
  EXPECT_EQ(Bytes16(C.VariableGuid), Variable);
  ASSERT_EQ(C.VariableNameSize, sizeof(u"ZelHdaSsid"));
  EXPECT_EQ(std::memcmp(C.VariableName, u"ZelHdaSsid", sizeof(u"ZelHdaSsid")), 0);
  EXPECT_EQ(C.VariableAttributes, 0x7u);
  EXPECT_EQ(C.RecordSize, 4u);
  EXPECT_EQ(C.EntrySize, 16u);
  EXPECT_EQ(C.EntryBus, 3u);
  EXPECT_EQ(C.EntryExtendedRegister, 4u);
  EXPECT_EQ(C.EntrySubsystemVendorId, 8u);
  EXPECT_EQ(C.EntrySubsystemId, 10u);
  EXPECT_EQ(C.EntryReserved, 12u);
  EXPECT_EQ(C.PolicySsidTable, sizeof(void *)) << "the second pointer-sized member";
}
