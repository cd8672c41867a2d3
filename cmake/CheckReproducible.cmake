# Copyright (c) 2026, HdaSsid contributors. All rights reserved.
# SPDX-License-Identifier: BSD-2-Clause-Patent
#
# cmake -DSOURCE_DIR=<tree> -DWORK_DIR=<scratch> [-DEXTRA_ARGS=<-Dname=value|...>]
#       -P CheckReproducible.cmake
# Builds the release folder from clean twice, from two copies of the sources
# in different folders, and fails unless every file is the same, byte for
# byte. Then edits only two headers in the first copy and fails unless the
# incremental build relinks both firmware images: a build that missed a
# header dependency would ship stale bytes.
file(REMOVE_RECURSE ${WORK_DIR})
string(REPLACE "|" ";" EXTRA_ARGS "${EXTRA_ARGS}")
file(GLOB entries RELATIVE ${SOURCE_DIR} ${SOURCE_DIR}/*)
list(FILTER entries EXCLUDE REGEX "^(build.*|\\.git)$")

function(release_build name out_var)
  execute_process(COMMAND ${CMAKE_COMMAND} --build ${WORK_DIR}/${name}/build
    OUTPUT_VARIABLE output ERROR_VARIABLE output RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "the ${name} build failed:\n${output}")
  endif()
  set(${out_var} "${output}" PARENT_SCOPE)
endfunction()

foreach(name IN ITEMS first second)
  foreach(entry IN LISTS entries)
    file(COPY ${SOURCE_DIR}/${entry} DESTINATION ${WORK_DIR}/${name}/src)
  endforeach()
  execute_process(
    COMMAND ${CMAKE_COMMAND} -S ${WORK_DIR}/${name}/src -B ${WORK_DIR}/${name}/build -G Ninja
      -DCMAKE_BUILD_TYPE=Release -DHDA_RELEASE_ONLY=ON ${EXTRA_ARGS}
    OUTPUT_QUIET RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "configuring the ${name} build failed")
  endif()
  release_build(${name} output)
  file(GLOB_RECURSE files_${name} RELATIVE ${WORK_DIR}/${name}/build/release ${WORK_DIR}/${name}/build/release/*)
  list(SORT files_${name})
endforeach()

# compare_release_folders([<file>...]): every release file but the ones named
# the same in both builds.
function(compare_release_folders)
  if(NOT files_first STREQUAL files_second)
    message(FATAL_ERROR "the builds shipped different files:\n${files_first}\n${files_second}")
  endif()
  set(names ${files_first})
  if(ARGN)
    list(REMOVE_ITEM names ${ARGN})
  endif()
  foreach(name IN LISTS names)
    file(SHA256 ${WORK_DIR}/first/build/release/${name} first)
    file(SHA256 ${WORK_DIR}/second/build/release/${name} second)
    if(NOT first STREQUAL second)
      message(FATAL_ERROR "${name} differs between two builds of the same sources")
    endif()
  endforeach()
endfunction()
compare_release_folders()
list(LENGTH files_first count)
message(STATUS "${count} release files identical across two clean builds in different folders")

# A comment changes no byte, but each header is included by one image only.
foreach(header IN ITEMS pei/HdaSsidSelectPei.h dxe/HdaRegisters.h)
  file(APPEND ${WORK_DIR}/first/src/${header} "// edited\n")
endforeach()
release_build(first output)
foreach(image IN ITEMS pei/HdaSsidSelectPei.efi dxe/HdaSsidDetectDxe.efi)
  if(NOT output MATCHES "Linking CXX executable ${image}")
    message(FATAL_ERROR "a header-only edit did not rebuild ${image}:\n${output}")
  endif()
endforeach()
# The release carries no sources: every file of it, MANIFEST too, is as
# before the edit.
compare_release_folders()
message(STATUS "a header-only edit relinked both images; the release is unchanged")
file(REMOVE_RECURSE ${WORK_DIR})
