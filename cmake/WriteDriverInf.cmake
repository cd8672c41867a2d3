# Copyright (c) 2026, HdaSsid contributors. All rights reserved.
# SPDX-License-Identifier: BSD-2-Clause-Patent
#
# cmake -DHDAPACK=<exe> -DIMAGE=<driver .efi> -DTEMPLATE=<inf.in> -DOUT=<inf>
#       -DHDA_DXE_FILE_GUID=<guid> -DHDA_VERSION_STRING=<text> -P WriteDriverInf.cmake
# Writes the driver's binary INF with a [PatchPcd] entry for each board
# setting: the value the image carries and the field's file offset, both read
# from the linked image itself, so EDK2 patches exactly those bytes.
execute_process(COMMAND ${HDAPACK} settings --in ${IMAGE}
  OUTPUT_VARIABLE settings ERROR_VARIABLE error RESULT_VARIABLE status)
if(NOT status EQUAL 0 OR NOT settings MATCHES
   "ecam-base (0x[0-9A-F]+) at (0x[0-9A-F]+)\npm-timer-port (0x[0-9A-F]+) at (0x[0-9A-F]+)\nconvergence-reset (0x[01]) at (0x[0-9A-F]+)")
  message(FATAL_ERROR "cannot read the platform settings of ${IMAGE}: ${error}${settings}")
endif()
set(HDA_ECAM_VALUE ${CMAKE_MATCH_1})
set(HDA_ECAM_OFFSET ${CMAKE_MATCH_2})
set(HDA_PM_TIMER_VALUE ${CMAKE_MATCH_3})
set(HDA_PM_TIMER_OFFSET ${CMAKE_MATCH_4})
if(CMAKE_MATCH_5 STREQUAL "0x1")
  set(HDA_CONVERGENCE_VALUE TRUE)
else()
  set(HDA_CONVERGENCE_VALUE FALSE)
endif()
set(HDA_CONVERGENCE_OFFSET ${CMAKE_MATCH_6})
configure_file(${TEMPLATE} ${OUT} @ONLY)
