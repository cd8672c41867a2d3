# The release folder: images, the TE form of the PEIM, dependency expressions,
# firmware files, EDK2 binary INFs with the platform snippets, and a manifest.

option(HDA_PEIM_AS_TE "Carry the PEIM as a TE image in its firmware file (else as PE32)" ON)
set(HDA_RELEASE_DIR ${PROJECT_BINARY_DIR}/release)
set(HDA_VERSION_STRING ${PROJECT_VERSION})

# Each module's own firmware file GUID.
set(HDA_DXE_FILE_GUID 33C5156A-EE87-49AC-ADBA-659FC9CD1A38)
set(HDA_PEI_FILE_GUID CEBA3BA8-1036-4B18-A710-8B6A9255144A)
# What the modules wait for (see "Putting the modules into a firmware image").
set(EFI_VARIABLE_ARCH_PROTOCOL_GUID 1E5668E2-8481-11D4-BCF1-0080C73C8881)
set(EFI_VARIABLE_WRITE_ARCH_PROTOCOL_GUID 6441F818-6362-4E44-B570-7DBA31DD2453)
set(EFI_PEI_READ_ONLY_VARIABLE2_PPI_GUID 2AB86EF5-ECB5-4134-B556-3854CA1FE1B4)
set(PLATFORM_SSID_POLICY_PPI_GUID 38965BB5-8097-40F5-B742-8CC14A649B64)

set(R ${HDA_RELEASE_DIR})
set(PACK $<TARGET_FILE:hdapack>)
file(MAKE_DIRECTORY ${R})

# The linker's images in the compact layout: lld-link pads the headers to 512
# bytes and writes a DOS stub program, which firmware has no use for.
foreach(shipped IN ITEMS "HdaSsidDetectDxe;${HDA_DXE_IMAGE};firmware-x64"
                         "HdaSsidSelectPei;${HDA_PEI_IMAGE};firmware-ia32"
                         "HdaSsidSelectPeiX64;${HDA_PEI_X64_IMAGE};firmware-x64"
                         "HdaSsidInfo;${HDA_INFO_IMAGE};firmware-x64")
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
    --name HdaSsidDetectDxe --version ${HDA_VERSION_STRING}
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
      --name HdaSsidSelectPei --version ${HDA_VERSION_STRING} --xip-align 32
    DEPENDS ${image} ${R}/HdaSsidSelectPei.depex hdapack)
endforeach()

# EDK2: binary INFs, and the DSC and FDF snippets a platform includes.
set(HDA_EDK2_DIR ${PROJECT_SOURCE_DIR}/edk2)
configure_file(${HDA_EDK2_DIR}/HdaSsidDetectDxe.inf.in ${R}/HdaSsidDetectDxe.inf @ONLY)
configure_file(${HDA_EDK2_DIR}/HdaSsidSelectPei.inf.in ${R}/HdaSsidSelectPei.inf @ONLY)
configure_file(${HDA_EDK2_DIR}/HdaSsid.dsc.inc ${R}/HdaSsid.dsc.inc COPYONLY)
configure_file(${HDA_EDK2_DIR}/HdaSsidX64Pei.dsc.inc ${R}/HdaSsidX64Pei.dsc.inc COPYONLY)
configure_file(${HDA_EDK2_DIR}/HdaSsid.fdf.inc ${R}/HdaSsid.fdf.inc COPYONLY)

set(HDA_RELEASE_FILES
  HdaSsidDetectDxe.efi HdaSsidSelectPei.efi HdaSsidSelectPei.te HdaSsidInfo.efi
  HdaSsidSelectPeiX64.efi HdaSsidSelectPeiX64.te
  HdaSsidDetectDxe.depex HdaSsidSelectPei.depex
  HdaSsidDetectDxe.ffs HdaSsidSelectPei.ffs HdaSsidSelectPeiX64.ffs
  HdaSsidDetectDxe.inf HdaSsidSelectPei.inf HdaSsid.dsc.inc HdaSsidX64Pei.dsc.inc HdaSsid.fdf.inc)
list(TRANSFORM HDA_RELEASE_FILES PREPEND ${R}/ OUTPUT_VARIABLE HDA_RELEASE_PATHS)
list(JOIN HDA_RELEASE_FILES "," HDA_RELEASE_NAMES)
add_custom_command(OUTPUT ${R}/MANIFEST
  COMMAND ${CMAKE_COMMAND} -DDIR=${R} -DFILES=${HDA_RELEASE_NAMES}
    -P ${CMAKE_CURRENT_LIST_DIR}/WriteManifest.cmake
  DEPENDS ${HDA_RELEASE_PATHS} ${CMAKE_CURRENT_LIST_DIR}/WriteManifest.cmake)
add_custom_target(release ALL DEPENDS ${R}/MANIFEST)
