# The release folders, one per board profile built (release/ for the board
# configured, release-q35/ for the emulated one): images, the TE form of the
# PEIM, dependency expressions, firmware files, the EDK2 package HdaSsidPkg
# with its binary INFs and platform snippets, and a manifest.

option(HDA_PEIM_AS_TE "Carry the PEIM as a TE image in its firmware file (else as PE32)" ON)
set(HDA_RELEASE_DIR ${PROJECT_BINARY_DIR}/release)

# What the modules wait for (see "Dependency expressions" in docs/integration.md):
# PI's architectural protocols and PPI, and the platform's policy PPI.
set(EFI_VARIABLE_ARCH_PROTOCOL_GUID 1E5668E2-8481-11D4-BCF1-0080C73C8881)
set(EFI_VARIABLE_WRITE_ARCH_PROTOCOL_GUID 6441F818-6362-4E44-B570-7DBA31DD2453)
set(EFI_PEI_READ_ONLY_VARIABLE2_PPI_GUID 2AB86EF5-ECB5-4134-B556-3854CA1FE1B4)

# The names and GUIDs the firmware shares with the packaging, from their one
# definition: HDA_SSID_VARIABLE_GUID, HDA_DXE_FILE_GUID, ...
set(HDA_IDS_HEADER ${PROJECT_SOURCE_DIR}/include/HdaSsidIds.h)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${HDA_IDS_HEADER})
file(STRINGS ${HDA_IDS_HEADER} ids REGEX "^#define [A-Z0-9_]+_TEXT \"[^\"]*\"$")
foreach(line IN LISTS ids)
  string(REGEX REPLACE "^#define ([A-Z0-9_]+)_TEXT \"([^\"]*)\"$" "\\1;\\2" pair "${line}")
  list(GET pair 0 name)
  list(GET pair 1 value)
  set(${name} ${value})
endforeach()

# A GUID as a C initializer, for the EDK2 package's DEC and headers.
function(hda_guid_initializer name)
  string(REPLACE "-" "" hex "${${name}}")
  string(LENGTH "${${name}}" length)
  string(LENGTH "${hex}" hex_length)
  if(NOT length EQUAL 36 OR NOT hex_length EQUAL 32 OR NOT hex MATCHES "^[0-9A-Fa-f]+$")
    message(FATAL_ERROR "${name} is not a GUID: ${${name}}")
  endif()
  string(SUBSTRING "${hex}" 0 8 data1)
  string(SUBSTRING "${hex}" 8 4 data2)
  string(SUBSTRING "${hex}" 12 4 data3)
  set(bytes "")
  foreach(at RANGE 16 30 2)
    string(SUBSTRING "${hex}" ${at} 2 byte)
    list(APPEND bytes "0x${byte}")
  endforeach()
  list(JOIN bytes ", " bytes)
  set(${name}_C "{ 0x${data1}, 0x${data2}, 0x${data3}, { ${bytes} }}" PARENT_SCOPE)
endfunction()
foreach(guid IN ITEMS HDA_SSID_VARIABLE_GUID PLATFORM_SSID_POLICY_PPI_GUID HDA_SSID_PKG_TOKEN_SPACE_GUID)
  hda_guid_initializer(${guid})
endforeach()

set(PACK $<TARGET_FILE:hdapack>)

# hda_release(TARGET DIR TREE PROFILE ECAM PORT MANIFEST_TOOL): the release
# folder DIR of the firmware trees TREE-x64 and TREE-ia32, built for the board
# profile PROFILE (a file) with the platform settings ECAM and PORT as defaults,
# written by the target TARGET. Every file says which board it is for: the
# VERSION sections and the INFs' VERSION_STRING carry the profile's name
# (the project version, "+", the profile file's name), the INF and DEC
# headers and MANIFEST the board's.
function(hda_release TARGET R TREE PROFILE HDA_PLATFORM_ECAM_BASE HDA_PLATFORM_PM_TIMER_PORT MANIFEST_TOOL)
hda_board_profile_name(HDA_BOARD_NAME "${PROFILE}")
hda_board_profile_id(HDA_BOARD_ID "${PROFILE}")
set(HDA_VERSION_STRING "${PROJECT_VERSION}+${HDA_BOARD_ID}")
set(HDA_PACKAGE_VERSION ${PROJECT_VERSION})
set(HDA_BOARD_LINE "Built for board profile ${HDA_BOARD_ID} (${HDA_BOARD_NAME})")
set(B ${PROJECT_BINARY_DIR}/${TREE})
set(HDA_DXE_IMAGE ${B}-x64/dxe/HdaSsidDetectDxe.efi)
set(HDA_PEI_IMAGE ${B}-ia32/pei/HdaSsidSelectPei.efi)
set(HDA_PEI_X64_IMAGE ${B}-x64/pei/HdaSsidSelectPei.efi)
set(HDA_INFO_IMAGE ${B}-x64/app/HdaSsidInfo.efi)
file(MAKE_DIRECTORY ${R})

# The linker's images in the compact layout: lld-link pads the headers to 512
# bytes and writes a DOS stub program, which firmware has no use for.
foreach(shipped IN ITEMS "HdaSsidDetectDxe;${HDA_DXE_IMAGE};${TREE}-x64"
                         "HdaSsidSelectPei;${HDA_PEI_IMAGE};${TREE}-ia32"
                         "HdaSsidSelectPeiX64;${HDA_PEI_X64_IMAGE};${TREE}-x64"
                         "HdaSsidInfo;${HDA_INFO_IMAGE};${TREE}-x64")
  list(GET shipped 0 name)
  list(GET shipped 1 linked)
  list(GET shipped 2 tree)
  add_custom_command(OUTPUT ${R}/${name}.efi
    COMMAND ${PACK} compact --in ${linked} --out ${R}/${name}.efi
    DEPENDS ${linked} ${tree} hdapack)
endforeach()

add_custom_command(OUTPUT ${R}/HdaSsidDetectDxe.depex
  COMMAND ${PACK} depex --out ${R}/HdaSsidDetectDxe.depex
    --guid ${EFI_VARIABLE_ARCH_PROTOCOL_GUID} --guid ${EFI_VARIABLE_WRITE_ARCH_PROTOCOL_GUID}
  DEPENDS hdapack)
add_custom_command(OUTPUT ${R}/HdaSsidSelectPei.depex
  COMMAND ${PACK} depex --out ${R}/HdaSsidSelectPei.depex
    --guid ${EFI_PEI_READ_ONLY_VARIABLE2_PPI_GUID} --guid ${PLATFORM_SSID_POLICY_PPI_GUID}
  DEPENDS hdapack)

add_custom_command(OUTPUT ${R}/HdaSsidDetectDxe.ffs
  COMMAND ${PACK} ffs --out ${R}/HdaSsidDetectDxe.ffs --type driver --guid ${HDA_DXE_FILE_GUID}
    --image ${R}/HdaSsidDetectDxe.efi --depex ${R}/HdaSsidDetectDxe.depex
    --name HdaSsidDetectDxe --version ${HDA_VERSION_STRING} --build ${HDA_BUILD_NUMBER_USED}
  DEPENDS ${R}/HdaSsidDetectDxe.efi ${R}/HdaSsidDetectDxe.depex hdapack)

# The PEIM, for IA32 PEI and for X64 PEI: its TE form and its firmware file.
# It may execute in place, so its image base must sit on its 32-byte section
# alignment inside the volume.
foreach(peim IN ITEMS HdaSsidSelectPei HdaSsidSelectPeiX64)
  add_custom_command(OUTPUT ${R}/${peim}.te
    COMMAND ${PACK} te --in ${R}/${peim}.efi --out ${R}/${peim}.te
    DEPENDS ${R}/${peim}.efi hdapack)
  if(HDA_PEIM_AS_TE)
    set(image ${R}/${peim}.te)
  else()
    set(image ${R}/${peim}.efi)
  endif()
  add_custom_command(OUTPUT ${R}/${peim}.ffs
    COMMAND ${PACK} ffs --out ${R}/${peim}.ffs --type peim --guid ${HDA_PEI_FILE_GUID}
      --image ${image} --depex ${R}/HdaSsidSelectPei.depex
      --name HdaSsidSelectPei --version ${HDA_VERSION_STRING} --build ${HDA_BUILD_NUMBER_USED} --xip-align 32
    DEPENDS ${image} ${R}/HdaSsidSelectPei.depex hdapack)
endforeach()

# EDK2: the release folder is the package HdaSsidPkg: its DEC and headers,
# the binary INFs, and the DSC and FDF snippets a platform includes. The
# driver's INF carries its platform settings' file offsets, read from the image.
set(HDA_EDK2_DIR ${PROJECT_SOURCE_DIR}/edk2)
set(HDA_EDK2_HEADERS Include/Guid/HdaSsidVariable.h Include/Guid/HdaSsidPkgTokenSpace.h
  Include/Ppi/PlatformSsidPolicy.h)
configure_file(${HDA_EDK2_DIR}/HdaSsidPkg.dec.in ${R}/HdaSsidPkg.dec @ONLY)
foreach(header IN LISTS HDA_EDK2_HEADERS)
  configure_file(${HDA_EDK2_DIR}/${header}.in ${R}/${header} @ONLY)
endforeach()
add_custom_command(OUTPUT ${R}/HdaSsidDetectDxe.inf
  COMMAND ${CMAKE_COMMAND} -DHDAPACK=${PACK} -DIMAGE=${R}/HdaSsidDetectDxe.efi
    -DTEMPLATE=${HDA_EDK2_DIR}/HdaSsidDetectDxe.inf.in -DOUT=${R}/HdaSsidDetectDxe.inf
    -DHDA_DXE_FILE_GUID=${HDA_DXE_FILE_GUID} -DHDA_VERSION_STRING=${HDA_VERSION_STRING}
    "-DHDA_BOARD_LINE=${HDA_BOARD_LINE}"
    -P ${CMAKE_CURRENT_LIST_DIR}/WriteDriverInf.cmake
  DEPENDS ${R}/HdaSsidDetectDxe.efi ${HDA_EDK2_DIR}/HdaSsidDetectDxe.inf.in
    ${CMAKE_CURRENT_LIST_DIR}/WriteDriverInf.cmake hdapack
  VERBATIM)
configure_file(${HDA_EDK2_DIR}/HdaSsidSelectPei.inf.in ${R}/HdaSsidSelectPei.inf @ONLY)
configure_file(${HDA_EDK2_DIR}/HdaSsid.dsc.inc ${R}/HdaSsid.dsc.inc @ONLY)
configure_file(${HDA_EDK2_DIR}/HdaSsidX64Pei.dsc.inc ${R}/HdaSsidX64Pei.dsc.inc @ONLY)
configure_file(${HDA_EDK2_DIR}/HdaSsid.fdf.inc ${R}/HdaSsid.fdf.inc COPYONLY)
configure_file(${HDA_EDK2_DIR}/HdaSsidSource.dsc.inc ${R}/HdaSsidSource.dsc.inc @ONLY)
configure_file(${HDA_EDK2_DIR}/HdaSsidSourceX64Pei.dsc.inc ${R}/HdaSsidSourceX64Pei.dsc.inc @ONLY)

# The source modules: INFs that EDK2 builds with the platform's toolchain and
# libraries from Source/, a copy of the very files the images are built from
# (the EDK2 half of env/ instead of the standalone one), and the board's
# profile, which Source/boards/HdaPackageBoard.h names.
set(HDA_PACKAGE_SOURCES
  include/HdaSsidIds.h include/HdaSsidRecord.h include/HdaBoardProfile.h
  env/EfiGuidText.h env/Char16Text.h env/VariablePolicy.h
  env/edk2/UefiBase.h env/edk2/UefiTables.h env/edk2/PeiTables.h env/edk2/HwAccess.h env/edk2/HdaDebug.h
  env/edk2/PlatformSettings.h
  dxe/HdaSsidDetectDxe.cpp dxe/HdaSsidDetectDxe.h dxe/HdaProbe.cpp dxe/HdaProbe.h dxe/HdaTransport.cpp
  dxe/HdaTransport.h dxe/HdaRegisters.h dxe/HdaPlatformSettings.h
  pei/HdaSsidSelectPei.cpp pei/HdaSsidSelectPei.h pei/SsidTables.cpp pei/SsidTable.h pei/PlatformSsidPolicyPpi.h)
set(HDA_SOURCE_FILES)
foreach(file IN LISTS HDA_PACKAGE_SOURCES)
  add_custom_command(OUTPUT ${R}/Source/${file}
    COMMAND ${CMAKE_COMMAND} -E copy ${PROJECT_SOURCE_DIR}/${file} ${R}/Source/${file}
    DEPENDS ${PROJECT_SOURCE_DIR}/${file})
  list(APPEND HDA_SOURCE_FILES Source/${file})
endforeach()
add_custom_command(OUTPUT ${R}/Source/boards/${HDA_BOARD_ID}.h
  COMMAND ${CMAKE_COMMAND} -E copy ${PROFILE} ${R}/Source/boards/${HDA_BOARD_ID}.h
  DEPENDS ${PROFILE})
file(CONFIGURE OUTPUT ${R}/Source/boards/HdaPackageBoard.h
  CONTENT "// The board profile this package was built for, beside this file.\n#include \"${HDA_BOARD_ID}.h\"\n")
list(APPEND HDA_SOURCE_FILES Source/boards/${HDA_BOARD_ID}.h Source/boards/HdaPackageBoard.h)
set(HDA_DXE_SOURCE_LINES "")
set(HDA_PEI_SOURCE_LINES "")
foreach(file IN LISTS HDA_PACKAGE_SOURCES)
  if(file MATCHES "^(dxe|include|env)/")
    string(APPEND HDA_DXE_SOURCE_LINES "  ../Source/${file}\n")
  endif()
  if(file MATCHES "^(pei|include|env)/" AND NOT file MATCHES "(HwAccess|PlatformSettings|UefiTables)\\.h$")
    string(APPEND HDA_PEI_SOURCE_LINES "  ../Source/${file}\n")
  endif()
endforeach()
string(APPEND HDA_DXE_SOURCE_LINES "  ../Source/boards/${HDA_BOARD_ID}.h\n  ../Source/boards/HdaPackageBoard.h")
string(APPEND HDA_PEI_SOURCE_LINES "  ../Source/boards/${HDA_BOARD_ID}.h\n  ../Source/boards/HdaPackageBoard.h")
# What C++ needs of EDK2's GCC-family toolchains (GCC, CLANGDWARF): C++20
# (without it consteval and constinit do not compile), and no exceptions
# (without it GCC adds unwind tables, .eh_frame_hdr, to the driver). Nothing
# else changes the images: -fno-rtti and -fno-threadsafe-statics leave them
# byte for byte the same, and code that would need them (a polymorphic
# class, a local static with a constructor) fails to link for want of the
# C++ runtime instead. Only the .cpp rule reads CXX_FLAGS; AutoGen.c, which
# is C, would refuse C++ options in CC_FLAGS.
set(HDA_CXX_BUILD_OPTIONS "  GCC:*_*_*_CXX_FLAGS = -std=c++20 -fno-exceptions")
configure_file(${HDA_EDK2_DIR}/HdaSsidDetectDxe/HdaSsidDetectDxe.inf.in ${R}/HdaSsidDetectDxe/HdaSsidDetectDxe.inf @ONLY)
configure_file(${HDA_EDK2_DIR}/HdaSsidSelectPei/HdaSsidSelectPei.inf.in ${R}/HdaSsidSelectPei/HdaSsidSelectPei.inf @ONLY)

set(HDA_RELEASE_FILES
  HdaSsidDetectDxe.efi HdaSsidSelectPei.efi HdaSsidSelectPei.te HdaSsidInfo.efi
  HdaSsidSelectPeiX64.efi HdaSsidSelectPeiX64.te
  HdaSsidDetectDxe.depex HdaSsidSelectPei.depex
  HdaSsidDetectDxe.ffs HdaSsidSelectPei.ffs HdaSsidSelectPeiX64.ffs
  HdaSsidDetectDxe.inf HdaSsidSelectPei.inf HdaSsid.dsc.inc HdaSsidX64Pei.dsc.inc HdaSsid.fdf.inc
  HdaSsidPkg.dec ${HDA_EDK2_HEADERS}
  HdaSsidSource.dsc.inc HdaSsidSourceX64Pei.dsc.inc
  HdaSsidDetectDxe/HdaSsidDetectDxe.inf HdaSsidSelectPei/HdaSsidSelectPei.inf ${HDA_SOURCE_FILES})
# Files an earlier version shipped must not linger where integrators copy from.
file(GLOB_RECURSE present RELATIVE ${R} ${R}/*)
list(REMOVE_ITEM present ${HDA_RELEASE_FILES} MANIFEST)
foreach(stale IN LISTS present)
  file(REMOVE ${R}/${stale})
endforeach()
list(TRANSFORM HDA_RELEASE_FILES PREPEND ${R}/ OUTPUT_VARIABLE HDA_RELEASE_PATHS)
list(JOIN HDA_RELEASE_FILES "," HDA_RELEASE_NAMES)
# What the profile makes of the modules (variants, records, tables), for the
# MANIFEST.
add_custom_command(OUTPUT ${B}-profile.txt
  COMMAND ${MANIFEST_TOOL} > ${B}-profile.txt
  DEPENDS ${MANIFEST_TOOL})
# The manifest also names the source revision, which can change without any
# file changing, so it is rewritten (when its text differs) on every build.
add_custom_target(${TARGET} ALL
  COMMAND ${CMAKE_COMMAND} -DDIR=${R} -DFILES=${HDA_RELEASE_NAMES} -DSOURCE_DIR=${PROJECT_SOURCE_DIR}
    "-DHEADER=HdaSsid ${PROJECT_VERSION}, build ${HDA_BUILD_NUMBER_USED}"
    "-DBOARD=${HDA_BOARD_NAME} (profile ${HDA_BOARD_ID}), settings the driver carries by default: ECAM base ${HDA_PLATFORM_ECAM_BASE}, ACPI PM timer port ${HDA_PLATFORM_PM_TIMER_PORT}"
    -DPROFILE_LINES=${B}-profile.txt
    "-DCOMPILER=${HDA_FIRMWARE_CXX_VERSION}" "-DLINKER=${HDA_FIRMWARE_LINKER_VERSION}"
    -P ${CMAKE_CURRENT_LIST_DIR}/WriteManifest.cmake
  DEPENDS ${HDA_RELEASE_PATHS} ${B}-profile.txt ${CMAKE_CURRENT_LIST_DIR}/WriteManifest.cmake
  BYPRODUCTS ${R}/MANIFEST
  COMMENT "Writing ${TARGET}/MANIFEST"
  VERBATIM)
endfunction()

hda_release(release ${HDA_RELEASE_DIR} firmware ${HDA_BOARD_PROFILE_FILE} ${HDA_PLATFORM_ECAM_BASE_USED}
  ${HDA_PLATFORM_PM_TIMER_PORT_USED} hda_profile_manifest)
# The emulated board, QEMU q35 under Debian's OVMF (2022.11), from its own
# profile.
hda_release(release-q35 ${HDA_RELEASE_Q35_DIR} firmware-q35 ${HDA_Q35_PROFILE_FILE} ${HDA_Q35_ECAM_BASE}
  ${HDA_Q35_PM_TIMER_PORT} hda_profile_manifest_q35)
