# Copyright (c) 2026, HdaSsid contributors. All rights reserved.
# SPDX-License-Identifier: BSD-2-Clause-Patent
#
# cmake -DDIR=<folder> -DFILES=<name,name,...> -DSOURCE_DIR=<tree> -DHEADER=<text>
#       -DBOARD=<text> -DPROFILE_LINES=<file> -DCOMPILER=<text> -DLINKER=<text> -P WriteManifest.cmake
# Writes DIR/MANIFEST: what was built from which source revision, for which
# board (and what its profile makes of the modules: PROFILE_LINES) and with
# which toolchain, then one line per file with its size and SHA-256. The file is only rewritten when its text changes.
set(revision unknown)
find_package(Git QUIET)
if(GIT_FOUND)
  # Only the tree's own repository counts, not one that happens to enclose it.
  execute_process(COMMAND ${GIT_EXECUTABLE} rev-parse --show-toplevel WORKING_DIRECTORY ${SOURCE_DIR}
    OUTPUT_VARIABLE top OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET RESULT_VARIABLE status)
  if(status EQUAL 0 AND top STREQUAL SOURCE_DIR)
    execute_process(COMMAND ${GIT_EXECUTABLE} describe --always --dirty WORKING_DIRECTORY ${SOURCE_DIR}
      OUTPUT_VARIABLE revision OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
  endif()
endif()
string(REPLACE "," ";" FILES "${FILES}")
file(READ ${PROFILE_LINES} profile)
set(text "# ${HEADER}, source revision ${revision}\n# board: ${BOARD}\n${profile}")
string(APPEND text "# compiler: ${COMPILER}\n# linker: ${LINKER}\n# file bytes sha256\n")
foreach(name IN LISTS FILES)
  file(SIZE ${DIR}/${name} size)
  file(SHA256 ${DIR}/${name} hash)
  string(APPEND text "${name} ${size} ${hash}\n")
endforeach()
file(CONFIGURE OUTPUT ${DIR}/MANIFEST CONTENT "${text}" @ONLY)
