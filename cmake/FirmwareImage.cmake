# hda_firmware_image(NAME ENTRY <symbol> SOURCES <files...> [DEFINES <defs...>]
#                    [SUBSYSTEM efi_boot_service_driver|efi_application]
#                    [LINK_OPTIONS <lld-link options...>])
# Builds NAME.efi as a freestanding PE/COFF image for the toolchain's
# architecture. Same sources give the same bytes: /Brepro stamps a content
# hash instead of a time, and no debug directory (with its paths) is written.

set(HDA_FIRMWARE_COMPILE_OPTIONS
  -ffreestanding -fno-exceptions -fno-rtti -fno-stack-protector
  -fno-threadsafe-statics -mgeneral-regs-only -mno-stack-arg-probe
  -fno-asynchronous-unwind-tables -fno-unwind-tables
  -ffunction-sections -fdata-sections -Oz -flto
  -Wall -Wextra -Werror)

if(HDA_FIRMWARE_ARCH STREQUAL "X64")
  set(HDA_FIRMWARE_MACHINE_OPTIONS /machine:x64)
elseif(HDA_FIRMWARE_ARCH STREQUAL "IA32")
  set(HDA_FIRMWARE_MACHINE_OPTIONS /machine:x86 /safeseh:no)
else()
  message(FATAL_ERROR "HDA_FIRMWARE_ARCH must be X64 or IA32 (set by cmake/toolchain-uefi-*.cmake)")
endif()

function(hda_firmware_image NAME)
  cmake_parse_arguments(PARSE_ARGV 1 ARG "" "ENTRY;SUBSYSTEM" "SOURCES;DEFINES;LINK_OPTIONS")
  if(NOT ARG_SUBSYSTEM)
    set(ARG_SUBSYSTEM efi_boot_service_driver)
  endif()
  add_executable(${NAME} ${ARG_SOURCES})
  set_target_properties(${NAME} PROPERTIES SUFFIX ".efi")
  target_include_directories(${NAME} PRIVATE
    ${PROJECT_SOURCE_DIR}/include ${PROJECT_SOURCE_DIR}/platform ${CMAKE_CURRENT_SOURCE_DIR})
  target_compile_definitions(${NAME} PRIVATE ${ARG_DEFINES})
  target_compile_options(${NAME} PRIVATE ${HDA_FIRMWARE_COMPILE_OPTIONS})
  target_link_options(${NAME} PRIVATE
    ${HDA_FIRMWARE_MACHINE_OPTIONS}
    /subsystem:${ARG_SUBSYSTEM} /entry:${ARG_ENTRY}
    /nodefaultlib /Brepro /opt:ref /opt:icf
    ${ARG_LINK_OPTIONS})
endfunction()
