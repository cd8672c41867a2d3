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
#   cmake -DFIND=<name-or-path> -DSOURCE_DIR=<tree> -P cmake/BoardProfile.cmake

# hda_find_board_profile(<var> <name-or-path>): the profile's absolute path.
# One rule: a value without a slash is a name, boards/<name>.h (with or
# without .h); a value with a slash is a path, absolute or relative to the
# folder cmake was started in, else to the source tree. Where a value could
# mean two different files (a name that is also a file in the folder cmake
# was started in; a relative path that exists under both folders), it stops
# and names both.
function(hda_find_board_profile VAR NAME_OR_PATH)
  set(candidates)
  if(IS_ABSOLUTE "${NAME_OR_PATH}")
    list(APPEND candidates "${NAME_OR_PATH}")
  elseif(NOT NAME_OR_PATH MATCHES "/")
    string(REGEX REPLACE "\\.h$" "" stem "${NAME_OR_PATH}")
    list(APPEND candidates "${PROJECT_SOURCE_DIR}/boards/${stem}.h")
    if(DEFINED ENV{PWD} AND NAME_OR_PATH MATCHES "\\.h$")
      list(APPEND candidates "$ENV{PWD}/${NAME_OR_PATH}")
    endif()
  else()
    if(DEFINED ENV{PWD})
      list(APPEND candidates "$ENV{PWD}/${NAME_OR_PATH}")
    endif()
    list(APPEND candidates "${PROJECT_SOURCE_DIR}/${NAME_OR_PATH}")
  endif()
  set(found)
  foreach(candidate IN LISTS candidates)
    if(EXISTS "${candidate}" AND NOT IS_DIRECTORY "${candidate}")
      get_filename_component(real "${candidate}" REALPATH)
      list(APPEND found "${real}")
    endif()
  endforeach()
  list(REMOVE_DUPLICATES found)
  list(LENGTH found count)
  if(count EQUAL 1)
    set(${VAR} "${found}" PARENT_SCOPE)
    return()
  endif()
  if(count GREATER 1)
    list(JOIN found " and " both)
    message(FATAL_ERROR "HDA_BOARD_PROFILE=${NAME_OR_PATH} could mean two profiles: ${both}; give the one you "
      "mean as an absolute path")
  endif()
  list(JOIN candidates ", " tried)
  message(FATAL_ERROR "HDA_BOARD_PROFILE=${NAME_OR_PATH}: no board profile there (looked for ${tried}); "
    "give a name in boards/ (TargetBoard, QemuQ35, ...) or a path to a profile header")
endfunction()

# hda_board_profile_setting(<var> <file> <macro>): the hexadecimal number the
# profile defines <macro> to, on a line of its own.
function(hda_board_profile_setting VAR FILE MACRO)
  file(STRINGS "${FILE}" lines REGEX "^[ \t]*#[ \t]*define[ \t]+${MACRO}[ \t]")
  list(LENGTH lines count)
  set(form "  #define ${MACRO} 0x...\n(the build reads it from there")
  if(count EQUAL 0)
    message(FATAL_ERROR "board profile ${FILE}: ${MACRO} is not defined; give the board's default setting on one "
      "line as\n${form})")
  elseif(count GREATER 1)
    message(FATAL_ERROR "board profile ${FILE}: ${MACRO} is defined on ${count} lines; give it once, as\n${form})")
  elseif(NOT lines MATCHES "define[ \t]+${MACRO}[ \t]+(0x[0-9A-Fa-f]+)[uU]?[ \t\r]*(//.*|/\\*.*)?$")
    string(STRIP "${lines}" line)
    set(hint "")
    if(line MATCHES "define[ \t]+${MACRO}[ \t]+([0-9]+)[uU]?[ \t\r]*(//.*|/\\*.*)?$")
      math(EXPR hex "${CMAKE_MATCH_1}" OUTPUT_FORMAT HEXADECIMAL)
      string(TOUPPER "${hex}" hex)
      string(REPLACE "0X" "0x" hex "${hex}")
      set(hint "; ${CMAKE_MATCH_1} is decimal, write ${hex}")
    endif()
    message(FATAL_ERROR "board profile ${FILE}: ${MACRO} is not one hexadecimal number: \"${line}\"${hint}; "
      "give it as\n${form})")
  endif()
  set(${VAR} "${CMAKE_MATCH_1}" PARENT_SCOPE)
endfunction()

# hda_board_profile_flag(<var> <file> <macro>): TRUE when the profile
# defines <macro> to 1, else FALSE (the compile-time check refuses any value
# but 0 and 1).
function(hda_board_profile_flag VAR FILE MACRO)
  file(STRINGS "${FILE}" lines REGEX "^[ \t]*#[ \t]*define[ \t]+${MACRO}[ \t]+1([ \t\r]|$)")
  if(lines)
    set(${VAR} TRUE PARENT_SCOPE)
  else()
    set(${VAR} FALSE PARENT_SCOPE)
  endif()
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
# hexadecimal numbers the driver can use, or a message naming <what> and
# each value that is wrong, and why.
function(hda_check_platform_settings WHAT ECAM PORT)
  set(problems)
  if(NOT ECAM MATCHES "^0x[0-9A-Fa-f]+$")
    list(APPEND problems "the ECAM base ${ECAM} is not a hexadecimal number written 0x...")
  else()
    math(EXPR low_bits "${ECAM} & 0xFFFFF")
    math(EXPR high_bits "${ECAM} >> 32")
    math(EXPR value "${ECAM} + 0")
    if(value EQUAL 0)
      list(APPEND problems "the ECAM base is 0, which is no window")
    elseif(NOT high_bits EQUAL 0)
      list(APPEND problems "the ECAM base ${ECAM} lies above 4 GiB, where the driver reaches no window")
    elseif(NOT low_bits EQUAL 0)
      list(APPEND problems "the ECAM base ${ECAM} is not on a 1 MiB boundary")
    endif()
  endif()
  if(NOT PORT MATCHES "^0x[0-9A-Fa-f]+$")
    list(APPEND problems "the PM-timer port ${PORT} is not a hexadecimal number written 0x...")
  else()
    math(EXPR low_bits "${PORT} & 0x3")
    math(EXPR value "${PORT} + 0")
    if(value EQUAL 0)
      list(APPEND problems "the PM-timer port is 0, which is no port")
    elseif(value GREATER 0xFFFC)
      list(APPEND problems "the PM-timer port ${PORT} is beyond the last 4-byte I/O port, 0xFFFC")
    elseif(NOT low_bits EQUAL 0)
      list(APPEND problems "the PM-timer port ${PORT} is not 4-byte aligned")
    endif()
  endif()
  if(problems)
    list(JOIN problems "; " text)
    message(FATAL_ERROR "${WHAT}: ${text} (the ECAM base must be a window on a 1 MiB boundary below 4 GiB, "
      "the PM-timer port a 4-byte aligned I/O port; neither can be 0)")
  endif()
endfunction()

# hda_warn_target_settings(<profile> <ECAM base> <PM-timer port> <target's ECAM> <target's port>):
# a warning when a profile other than the target board's carries the target
# board's settings as they are: most likely copied with the profile and not
# yet checked against the board's firmware.
function(hda_warn_target_settings PROFILE ECAM PORT TARGET_ECAM TARGET_PORT)
  math(EXPR ecam "${ECAM} + 0")
  math(EXPR port "${PORT} + 0")
  math(EXPR target_ecam "${TARGET_ECAM} + 0")
  math(EXPR target_port "${TARGET_PORT} + 0")
  if(ecam EQUAL target_ecam AND port EQUAL target_port)
    message(WARNING "board profile ${PROFILE} carries the target board's platform settings as they are (ECAM "
      "base ${ECAM}, PM-timer port ${PORT}). If they were copied with the profile, check them against this "
      "board's firmware: the ECAM base is the base address of the ACPI MCFG table's entry for segment 0, bus 0; "
      "the PM-timer port is the FADT's PM_TMR_BLK (X_PM_TMR_BLK); HdaSsidInfo.efi prints both in its first "
      "lines. A driver with the wrong ones writes no record on the board.")
  endif()
endfunction()

# hda_hex_numbers(<var> <text>): the text with each number (a compiler's
# rendering of a failed requirement: decimal, maybe with U or L suffixes)
# in hexadecimal, as the profile writes its IDs. Counts below 0x100 stay
# decimal.
function(hda_hex_numbers VAR TEXT)
  set(out "")
  while(TEXT MATCHES "^([^0-9]*)([0-9]+)[uUlL]*(.*)$")
    set(before "${CMAKE_MATCH_1}")
    set(number "${CMAKE_MATCH_2}")
    set(TEXT "${CMAKE_MATCH_3}")
    if(number GREATER 255)
      math(EXPR number "${number}" OUTPUT_FORMAT HEXADECIMAL)
      string(TOUPPER "${number}" number)
      string(REPLACE "0X" "0x" number "${number}")
    endif()
    string(APPEND out "${before}${number}")
  endwhile()
  set(${VAR} "${out}${TEXT}" PARENT_SCOPE)
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
  foreach(line IN LISTS lines ITEMS "error: (end)")
    if(line MATCHES "note: the comparison reduces to [^(]*\\((.*)\\)" AND NOT pending STREQUAL "")
      hda_hex_numbers(values "${CMAKE_MATCH_1}")
      string(APPEND pending " (${values})")
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
          hda_hex_numbers(values "${CMAKE_MATCH_1}")
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
  if(DEFINED FIND)
    set(PROJECT_SOURCE_DIR "${SOURCE_DIR}")
    hda_find_board_profile(found "${FIND}")
    message("board profile ${FIND}: ${found}")
  elseif(DEFINED ECAM)
    hda_check_platform_settings("settings" ${ECAM} ${PORT})
    message("settings ${ECAM}, ${PORT}: usable")
  else()
    hda_check_board_profile("${PROFILE}" "${CXX}" "${SOURCE_DIR}" ${DEFINES})
    message("board profile ${PROFILE}: compiles")
  endif()
endif()
