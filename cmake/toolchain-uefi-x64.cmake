# Copyright (c) 2026, HdaSsid contributors. All rights reserved.
# SPDX-License-Identifier: BSD-2-Clause-Patent
#
# Cross build of x64 UEFI/PI images: Microsoft-ABI COFF objects (EFIAPI is
# the Microsoft x64 convention), no red zone (interrupts may use the stack).
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(HDA_FIRMWARE_ARCH X64)
set(HDA_FIRMWARE_TARGET x86_64-unknown-windows)
set(HDA_FIRMWARE_TARGET_FLAGS -mno-red-zone)
include(${CMAKE_CURRENT_LIST_DIR}/toolchain-uefi-common.cmake)
