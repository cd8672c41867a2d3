// The names and GUIDs that the firmware, the packaging (cmake/Release.cmake)
// and the tools (tools/hda_ids.py) share, each defined once here. CMake and
// Python read this file as text: keep every definition on one line of the
// form  #define NAME_TEXT "value".
#pragma once

// The stored record: a UEFI variable.
#define HDA_SSID_VARIABLE_NAME_TEXT "ZelHdaSsid"
#define HDA_SSID_VARIABLE_GUID_TEXT "01368881-C4AD-4B1D-B631-D57A8EC8DB6B"

// The platform's subsystem-ID policy PPI.
#define PLATFORM_SSID_POLICY_PPI_GUID_TEXT "38965BB5-8097-40F5-B742-8CC14A649B64"

// The modules' firmware file names (EDK2 FILE_GUID).
#define HDA_DXE_FILE_GUID_TEXT "33C5156A-EE87-49AC-ADBA-659FC9CD1A38"
#define HDA_PEI_FILE_GUID_TEXT "CEBA3BA8-1036-4B18-A710-8B6A9255144A"

// The EDK2 package the release folder forms (HdaSsidPkg.dec): its GUID and
// the token space of its PCDs.
#define HDA_SSID_PKG_GUID_TEXT "E0661508-E6EC-4F04-91DC-CB20BDF2C029"
#define HDA_SSID_PKG_TOKEN_SPACE_GUID_TEXT "3199B21A-15E6-4ECF-9539-05CE1BDDCEAA"
