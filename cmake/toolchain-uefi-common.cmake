# Copyright (c) 2026, HdaSsid contributors. All rights reserved.
# SPDX-License-Identifier: BSD-2-Clause-Patent
#
# Shared part of the firmware cross builds: clang emitting COFF objects for
# HDA_FIRMWARE_TARGET, linked by lld-link, no C library and no default
# libraries. The compiler and linker are the host build's choice
# (HDA_FIRMWARE_CXX, HDA_FIRMWARE_LINKER).
set(CMAKE_SYSTEM_NAME Generic)
if(NOT HDA_FIRMWARE_CXX)
  set(HDA_FIRMWARE_CXX clang++)
endif()
if(NOT HDA_FIRMWARE_LINKER)
  set(HDA_FIRMWARE_LINKER lld-link)
endif()
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES HDA_FIRMWARE_CXX HDA_FIRMWARE_LINKER)
set(CMAKE_CXX_COMPILER ${HDA_FIRMWARE_CXX})
# CMAKE_CXX_COMPILER_TARGET alone is not applied for Generic: pass --target.
set(CMAKE_CXX_FLAGS_INIT "--target=${HDA_FIRMWARE_TARGET} ${HDA_FIRMWARE_TARGET_FLAGS}")
set(CMAKE_TRY_COMPILE_TARGET_TYPE STATIC_LIBRARY)
set(CMAKE_CXX_LINK_EXECUTABLE "${HDA_FIRMWARE_LINKER} /nologo <LINK_FLAGS> <OBJECTS> /out:<TARGET>")
# Generic sets no depfile flags; without them Ninja records no header
# dependencies and a header-only edit would leave stale images.
set(CMAKE_DEPFILE_FLAGS_CXX "-MD -MT <DEP_TARGET> -MF <DEP_FILE>")
set(CMAKE_CXX_DEPFILE_FORMAT gcc)
