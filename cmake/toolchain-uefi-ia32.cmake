# Copyright (c) 2026, HdaSsid contributors. All rights reserved.
# SPDX-License-Identifier: BSD-2-Clause-Patent
#
# Cross build of IA32 PI images: COFF objects with the C calling convention
# (EFIAPI on IA32).
set(CMAKE_SYSTEM_PROCESSOR x86)
set(HDA_FIRMWARE_ARCH IA32)
set(HDA_FIRMWARE_TARGET i686-unknown-windows)
set(HDA_FIRMWARE_TARGET_FLAGS "")
include(${CMAKE_CURRENT_LIST_DIR}/toolchain-uefi-common.cmake)
