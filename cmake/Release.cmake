# Copyright (c) 2026, HdaSsid contributors. All rights reserved.
# SPDX-License-Identifier: BSD-2-Clause-Patent
#
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

# The GUIDs of the package's DEC and the modules' INFs.
include(${CMAKE_CURRENT_LIST_DIR}/PackageIds.cmake)
# The binary package a release folder is (not the source repository's).
set(HDA_SSID_BIN_PKG_GUID 37B8EA70-5092-45F6-BDE8-AC5F7B471B34)

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
hda_board_profile_flag(HDA_CONVERGENCE_DEFAULT "${PROFILE}" HDA_BOARD_CONVERGENCE_RESET)
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
    --guid ${EFI_PEI_READ_ONLY_VARIABLE2_PPI_GUID} --guid ${gPlatformSsidPolicyPpiGuid_TEXT}
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

# EDK2: the release folder is the binary package HdaSsidBinPkg: its DEC,
# the package's public headers, the binary INFs, and the DSC and FDF snippets
# a platform includes. The driver's INF carries its platform settings' file
# offsets, read from the image. (The source modules are the repository
# itself, HdaSsidPkg.)
set(HDA_BIN_DIR ${PROJECT_SOURCE_DIR}/bin)
set(HDA_PUBLIC_HEADERS include/Guid/HdaSsidVariable.h include/Guid/HdaSsidPkgTokenSpace.h
  include/Ppi/PlatformSsidPolicy.h)
configure_file(${HDA_BIN_DIR}/HdaSsidBinPkg.dec.in ${R}/HdaSsidBinPkg.dec @ONLY)
foreach(file IN LISTS HDA_PUBLIC_HEADERS ITEMS License.txt)
  configure_file(${PROJECT_SOURCE_DIR}/${file} ${R}/${file} COPYONLY)
endforeach()
add_custom_command(OUTPUT ${R}/HdaSsidDetectDxe.inf
  COMMAND ${CMAKE_COMMAND} -DHDAPACK=${PACK} -DIMAGE=${R}/HdaSsidDetectDxe.efi
    -DTEMPLATE=${HDA_BIN_DIR}/HdaSsidDetectDxe.inf.in -DOUT=${R}/HdaSsidDetectDxe.inf
    -DHDA_DXE_FILE_GUID=${HDA_DXE_FILE_GUID} -DHDA_VERSION_STRING=${HDA_VERSION_STRING}
    "-DHDA_BOARD_LINE=${HDA_BOARD_LINE}"
    -P ${CMAKE_CURRENT_LIST_DIR}/WriteDriverInf.cmake
  DEPENDS ${R}/HdaSsidDetectDxe.efi ${HDA_BIN_DIR}/HdaSsidDetectDxe.inf.in
    ${CMAKE_CURRENT_LIST_DIR}/WriteDriverInf.cmake hdapack
  VERBATIM)
configure_file(${HDA_BIN_DIR}/HdaSsidSelectPei.inf.in ${R}/HdaSsidSelectPei.inf @ONLY)
configure_file(${HDA_BIN_DIR}/HdaSsid.dsc.inc ${R}/HdaSsid.dsc.inc @ONLY)
configure_file(${HDA_BIN_DIR}/HdaSsidX64Pei.dsc.inc ${R}/HdaSsidX64Pei.dsc.inc @ONLY)
configure_file(${HDA_BIN_DIR}/HdaSsid.fdf.inc ${R}/HdaSsid.fdf.inc COPYONLY)

set(HDA_RELEASE_FILES
  HdaSsidDetectDxe.efi HdaSsidSelectPei.efi HdaSsidSelectPei.te HdaSsidInfo.efi
  HdaSsidSelectPeiX64.efi HdaSsidSelectPeiX64.te
  HdaSsidDetectDxe.depex HdaSsidSelectPei.depex
  HdaSsidDetectDxe.ffs HdaSsidSelectPei.ffs HdaSsidSelectPeiX64.ffs
  HdaSsidDetectDxe.inf HdaSsidSelectPei.inf HdaSsid.dsc.inc HdaSsidX64Pei.dsc.inc HdaSsid.fdf.inc
  HdaSsidBinPkg.dec ${HDA_PUBLIC_HEADERS} License.txt)
# Files an earlier version shipped must not linger where integrators copy from.
file(GLOB_RECURSE present RELATIVE ${R} ${R}/*)
list(REMOVE_ITEM present ${HDA_RELEASE_FILES} MANIFEST)
foreach(stale IN LISTS present)
  file(REMOVE ${R}/${stale})
endforeach()
file(GLOB_RECURSE folders LIST_DIRECTORIES true RELATIVE ${R} ${R}/*)
foreach(folder IN LISTS folders)
  if(IS_DIRECTORY ${R}/${folder} AND NOT "include/Guid;include/Ppi;include" MATCHES "(^|;)${folder}(;|$)")
    file(REMOVE_RECURSE ${R}/${folder})
  endif()
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
