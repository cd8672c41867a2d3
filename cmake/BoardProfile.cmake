# Copyright (c) 2026, HdaSsid contributors. All rights reserved.
# SPDX-License-Identifier: BSD-2-Clause-Patent
#
# Board profiles (boards/<name>.h): where one is, the settings it gives, and
# whether it compiles. A profile's checks are static assertions in
# include/HdaBoardProfile.h and pei/SsidTable.h; hda_check_board_profile runs
# them once, before anything else is built, so a profile that cannot work
# stops the configure step with its own messages and not with follow-on
# errors of every tree that would compile it.
#
# As a script, the same checks (the suite runs them on profiles and settings
# that must fail):
#   cmake -DPROFILE=<file> -DCXX=<compiler> -DSOURCE_DIR=<tree> [-DDEFINES=-D...] -P cmake/BoardProfile.cmake
#   cmake -DECAM=<base> -DPORT=<port> -P cmake/BoardProfile.cmake

# hda_find_board_profile(<var> <name-or-path>): the profile's absolute path,
# from a name in boards/ (with or without .h) or a path: absolute, or
# relative to the source tree or to the folder cmake was started in.
function(hda_find_board_profile VAR NAME_OR_PATH)
  set(candidates)
  if(IS_ABSOLUTE "${NAME_OR_PATH}")
    list(APPEND candidates "${NAME_OR_PATH}")
  else()
    string(REGEX REPLACE "\\.h$" "" stem "${NAME_OR_PATH}")
    list(APPEND candidates "${PROJECT_SOURCE_DIR}/boards/${stem}.h" "${PROJECT_SOURCE_DIR}/${NAME_OR_PATH}")
    if(DEFINED ENV{PWD})
      list(APPEND candidates "$ENV{PWD}/${NAME_OR_PATH}")
    endif()
  endif()
  foreach(candidate IN LISTS candidates)
    if(EXISTS "${candidate}" AND NOT IS_DIRECTORY "${candidate}")
      get_filename_component(found "${candidate}" REALPATH)
      set(${VAR} "${found}" PARENT_SCOPE)
      return()
    endif()
  endforeach()
  list(JOIN candidates ", " tried)
  message(FATAL_ERROR "HDA_BOARD_PROFILE=${NAME_OR_PATH}: no board profile there (looked for ${tried}); "
    "give a name in boards/ (TargetBoard, QemuQ35, ...) or a path to a profile header")
endfunction()

# hda_board_profile_setting(<var> <file> <macro>): the hexadecimal number the
# profile defines <macro> to, on a line of its own.
function(hda_board_profile_setting VAR FILE MACRO)
  file(STRINGS "${FILE}" lines REGEX "^[ \t]*#[ \t]*define[ \t]+${MACRO}[ \t]")
  list(LENGTH lines count)
  if(NOT count EQUAL 1 OR NOT lines MATCHES "define[ \t]+${MACRO}[ \t]+(0x[0-9A-Fa-f]+)[uU]?[ \t\r]*(//.*|/\\*.*)?$")
    message(FATAL_ERROR "board profile ${FILE}: give the board's default setting on one line as\n"
      "  #define ${MACRO} 0x...\n(the build reads it from there; found ${count} such lines)")
  endif()
  set(${VAR} "${CMAKE_MATCH_1}" PARENT_SCOPE)
endfunction()

# hda_board_profile_name(<var> <file>): HDA_BOARD_NAME's string.
function(hda_board_profile_name VAR FILE)
  file(STRINGS "${FILE}" lines REGEX "^[ \t]*#[ \t]*define[ \t]+HDA_BOARD_NAME[ \t]+\"[^\"]*\"")
  if(NOT lines MATCHES "\"([^\"]*)\"")
    message(FATAL_ERROR "board profile ${FILE}: give the board's name on one line as\n"
      "  #define HDA_BOARD_NAME \"...\"")
  endif()
  set(${VAR} "${CMAKE_MATCH_1}" PARENT_SCOPE)
endfunction()

# hda_board_profile_id(<var> <file>): the profile's file name without .h, as
# the release's version strings carry it.
function(hda_board_profile_id VAR FILE)
  get_filename_component(id "${FILE}" NAME_WE)
  string(REGEX REPLACE "[^A-Za-z0-9._-]" "_" id "${id}")
  set(${VAR} "${id}" PARENT_SCOPE)
endfunction()

# hda_check_platform_settings(<what> <ECAM base> <PM-timer port>): two
# hexadecimal numbers the driver can use, or a message naming <what>.
function(hda_check_platform_settings WHAT ECAM PORT)
  if(NOT ECAM MATCHES "^0x[0-9A-Fa-f]+$" OR NOT PORT MATCHES "^0x[0-9A-Fa-f]+$")
    message(FATAL_ERROR "${WHAT}: the ECAM base and the PM-timer port are hexadecimal numbers written 0x... "
      "(given: ${ECAM}, ${PORT})")
  endif()
  math(EXPR ecam_low_bits "${ECAM} & 0xFFFFF")
  math(EXPR ecam_high_bits "${ECAM} >> 32")
  math(EXPR port_low_bits "${PORT} & 0x3")
  math(EXPR ecam_decimal "${ECAM} + 0")
  math(EXPR port_decimal "${PORT} + 0")
  math(EXPR port_high_bits "(${PORT} + 3) >> 16")
  if(ecam_decimal EQUAL 0 OR NOT ecam_low_bits EQUAL 0 OR NOT ecam_high_bits EQUAL 0 OR port_decimal EQUAL 0
     OR NOT port_low_bits EQUAL 0 OR NOT port_high_bits EQUAL 0)
    message(FATAL_ERROR "${WHAT}: the ECAM base (${ECAM}) must be a window on a 1 MiB boundary below 4 GiB, "
      "and the PM-timer port (${PORT}) a 4-byte aligned I/O port; neither can be 0")
  endif()
endfunction()

# hda_check_board_profile(<file> <compiler> <source tree>): compiles what the
# profile feeds (the tables, the recognition) for the host; stops with the
# profile's messages when it does not compile.
function(hda_check_board_profile FILE CXX SOURCE)
  execute_process(
    COMMAND ${CXX} -std=c++20 -fsyntax-only -I${SOURCE}/include -I${SOURCE}/env -I${SOURCE}/env/standalone
      "-DHDA_BOARD_PROFILE_HEADER=\"${FILE}\"" ${ARGN} ${SOURCE}/env/standalone/HdaBoardProfileLib.cpp
    RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE out)
  if(status EQUAL 0)
    return()
  endif()
  # The profile's own messages, once each (both files include them), and the
  # values the compiler shows for them (clang in the message line, gcc in a
  # note after it).
  string(REPLACE ";" "," out "${out}")
  string(REPLACE "\n" ";" lines "${out}")
  set(shown "")
  set(pending "")
  foreach(line IN LISTS lines "error: (end)")
    if(line MATCHES "note: the comparison reduces to [^(]*\\((.*)\\)" AND NOT pending STREQUAL "")
      string(APPEND pending " (${CMAKE_MATCH_1})")
    elseif(line MATCHES "error:")
      if(NOT pending STREQUAL "")
        string(FIND "${shown}" "  ${pending}\n" seen)
        if(seen EQUAL -1)
          string(APPEND shown "  ${pending}\n")
        endif()
      endif()
      set(pending "")
      if(line MATCHES "board profile:")
        string(REGEX REPLACE "^.*(board profile:)" "\\1" pending "${line}")
        string(REGEX REPLACE "\"$" "" pending "${pending}")
        # Only a requirement that shows numbers, not the profile's own text.
        if(line MATCHES "requirement '([0-9UL <=>!=&|()+-]*)'")
          string(REGEX REPLACE "([0-9])U?L*" "\\1" values "${CMAKE_MATCH_1}")
          string(APPEND pending " (${values})")
        endif()
      endif()
    endif()
  endforeach()
  if(shown STREQUAL "")
    set(shown "${out}")
  endif()
  message(FATAL_ERROR "board profile ${FILE} does not compile:\n${shown}")
endfunction()

if(CMAKE_SCRIPT_MODE_FILE STREQUAL CMAKE_CURRENT_LIST_FILE)
  if(DEFINED ECAM)
    hda_check_platform_settings("settings" ${ECAM} ${PORT})
    message("settings ${ECAM}, ${PORT}: usable")
  else()
    hda_check_board_profile("${PROFILE}" "${CXX}" "${SOURCE_DIR}" ${DEFINES})
    message("board profile ${PROFILE}: compiles")
  endif()
endif()
