# Copyright (c) 2026, HdaSsid contributors. All rights reserved.
# SPDX-License-Identifier: BSD-2-Clause-Patent
#
# The GUIDs the packaging needs, read from where EDK2 reads them: the
# package's DEC (HdaSsidPkg.dec at the top of the tree) and the modules' INFs.
# Sets, for each DEC GUID name <g...Guid>, <g...Guid>_C (its C initializer)
# and <g...Guid>_TEXT (registry form), HDA_SSID_PKG_GUID, HDA_DXE_FILE_GUID
# and HDA_PEI_FILE_GUID.

# hda_dec_guid(<name> <initializer>): <name>_C and <name>_TEXT in the caller.
function(hda_dec_guid NAME INITIALIZER)
  string(REGEX MATCHALL "0[xX][0-9A-Fa-f]+" parts "${INITIALIZER}")
  list(LENGTH parts count)
  if(NOT count EQUAL 11)
    message(FATAL_ERROR "HdaSsidPkg.dec: ${NAME} is not a GUID initializer: ${INITIALIZER}")
  endif()
  set(text "")
  set(index 0)
  foreach(part IN LISTS parts)
    string(TOUPPER "${part}" part)
    string(SUBSTRING "${part}" 2 -1 digits)
    set(width 2)
    if(index EQUAL 0)
      set(width 8)
    elseif(index LESS 3)
      set(width 4)
    endif()
    string(LENGTH "${digits}" length)
    while(length LESS width)
      string(PREPEND digits "0")
      math(EXPR length "${length} + 1")
    endwhile()
    if(index EQUAL 1 OR index EQUAL 2 OR index EQUAL 3 OR index EQUAL 5)
      string(APPEND text "-")
    endif()
    string(APPEND text "${digits}")
    math(EXPR index "${index} + 1")
  endforeach()
  set(${NAME}_C "${INITIALIZER}" PARENT_SCOPE)
  set(${NAME}_TEXT "${text}" PARENT_SCOPE)
endfunction()

set(HDA_PACKAGE_DEC ${PROJECT_SOURCE_DIR}/HdaSsidPkg.dec)
set(HDA_DXE_INF ${PROJECT_SOURCE_DIR}/dxe/HdaSsidDetectDxe.inf)
set(HDA_PEI_INF ${PROJECT_SOURCE_DIR}/pei/HdaSsidSelectPei.inf)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${HDA_PACKAGE_DEC} ${HDA_DXE_INF} ${HDA_PEI_INF})

file(STRINGS ${HDA_PACKAGE_DEC} dec_guids REGEX "^[ \t]*g[A-Za-z0-9]+Guid[ \t]*=[ \t]*{")
foreach(line IN LISTS dec_guids)
  string(REGEX MATCH "^[ \t]*(g[A-Za-z0-9]+Guid)[ \t]*=[ \t]*({[^}]*}[^}]*})[ \t\r]*$" found "${line}")
  hda_dec_guid(${CMAKE_MATCH_1} "${CMAKE_MATCH_2}")
endforeach()

# hda_defines_value(<var> <file> <key>): the value of KEY = value in a
# metadata file's [Defines].
function(hda_defines_value VAR FILE KEY)
  file(STRINGS ${FILE} lines REGEX "^[ \t]*${KEY}[ \t]*=")
  if(NOT lines MATCHES "=[ \t]*([^ \t\r#]+)")
    message(FATAL_ERROR "${FILE} gives no ${KEY}")
  endif()
  set(${VAR} "${CMAKE_MATCH_1}" PARENT_SCOPE)
endfunction()
hda_defines_value(HDA_SSID_PKG_GUID ${HDA_PACKAGE_DEC} PACKAGE_GUID)
hda_defines_value(HDA_DXE_FILE_GUID ${HDA_DXE_INF} FILE_GUID)
hda_defines_value(HDA_PEI_FILE_GUID ${HDA_PEI_INF} FILE_GUID)
