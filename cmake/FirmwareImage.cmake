# Copyright (c) 2026, HdaSsid contributors. All rights reserved.
# SPDX-License-Identifier: BSD-2-Clause-Patent
#
# hda_firmware_image(NAME ENTRY <symbol> SOURCES <files...> [DEFINES <defs...>]
#                    [OBJECTS <hda_firmware_objects libraries...>]
#                    [SUBSYSTEM efi_boot_service_driver|efi_application]
#                    [LINK_OPTIONS <lld-link options...>])
# Builds NAME.efi as a freestanding PE/COFF image for the toolchain's
# architecture. Same sources give the same bytes: the COFF time stamp is 0
# (as EDK2's GenFw writes firmware images) instead of the link time, and no
# debug directory is written at all (no CodeView entry with a PDB path, and
# none of /Brepro's REPRO entry, 28 bytes in every image).
#
# Nothing runs before an entry point (no C runtime), so a global needing a
# constructor or destructor is an error, not silently dead code. No library
# is linked (/nodefaultlib): a call the compiler might emit to memset or
# memcpy for a large clear or copy fails the link as an undefined symbol.
# Strict aliasing is off, as in EDK2 (PI passes PPIs out through VOID **).

set(HDA_FIRMWARE_COMPILE_OPTIONS
  -ffreestanding -fno-exceptions -fno-rtti -fno-stack-protector
  -fno-threadsafe-statics -mgeneral-regs-only -mno-stack-arg-probe
  -fno-asynchronous-unwind-tables -fno-unwind-tables -fno-strict-aliasing
  -ffunction-sections -fdata-sections -Oz -flto
  -Wall -Wextra -Wglobal-constructors -Wexit-time-destructors -Werror)

if(HDA_FIRMWARE_ARCH STREQUAL "X64")
  set(HDA_FIRMWARE_MACHINE_OPTIONS /machine:x64)
elseif(HDA_FIRMWARE_ARCH STREQUAL "IA32")
  set(HDA_FIRMWARE_MACHINE_OPTIONS /machine:x86 /safeseh:no)
else()
  message(FATAL_ERROR "HDA_FIRMWARE_ARCH must be X64 or IA32 (set by cmake/toolchain-uefi-*.cmake)")
endif()

# The platform settings the shipped images carry by default (the host build
# passes its HDA_PLATFORM_* cache variables); a platform patches them.
set(HDA_PLATFORM_DEFINES HDA_PLATFORM_ECAM_BASE=${HDA_PLATFORM_ECAM_BASE}u
  HDA_PLATFORM_PM_TIMER_PORT=${HDA_PLATFORM_PM_TIMER_PORT}u)
set(HDA_PROFILE_DEFINE "HDA_BOARD_PROFILE_HEADER=\"${HDA_BOARD_PROFILE_FILE}\"")

function(hda_firmware_target NAME DEFINES)
  target_include_directories(${NAME} PRIVATE
    ${PROJECT_SOURCE_DIR}/include ${PROJECT_SOURCE_DIR}/env ${PROJECT_SOURCE_DIR}/env/standalone ${PROJECT_SOURCE_DIR}/dxe
    ${CMAKE_CURRENT_SOURCE_DIR})
  target_compile_definitions(${NAME} PRIVATE ${DEFINES} ${HDA_PROFILE_DEFINE})
  target_compile_options(${NAME} PRIVATE ${HDA_FIRMWARE_COMPILE_OPTIONS})
endfunction()

# hda_firmware_objects(NAME SOURCES <files...> [DEFINES <defs...>]): sources
# compiled once for several images.
function(hda_firmware_objects NAME)
  cmake_parse_arguments(PARSE_ARGV 1 ARG "" "" "SOURCES;DEFINES")
  add_library(${NAME} OBJECT ${ARG_SOURCES})
  hda_firmware_target(${NAME} "${ARG_DEFINES}")
endfunction()

function(hda_firmware_image NAME)
  cmake_parse_arguments(PARSE_ARGV 1 ARG "" "ENTRY;SUBSYSTEM" "SOURCES;DEFINES;OBJECTS;LINK_OPTIONS")
  if(NOT ARG_SUBSYSTEM)
    set(ARG_SUBSYSTEM efi_boot_service_driver)
  endif()
  add_executable(${NAME} ${ARG_SOURCES})
  set_target_properties(${NAME} PROPERTIES SUFFIX ".efi")
  hda_firmware_target(${NAME} "${ARG_DEFINES}")
  target_link_libraries(${NAME} PRIVATE ${ARG_OBJECTS})
  target_link_options(${NAME} PRIVATE
    ${HDA_FIRMWARE_MACHINE_OPTIONS}
    /subsystem:${ARG_SUBSYSTEM} /entry:${ARG_ENTRY}
    /nodefaultlib /timestamp:0 /opt:ref /opt:icf
    ${ARG_LINK_OPTIONS})
endfunction()
