# cmake -DSOURCE_DIR=<tree> -DWORK_DIR=<scratch> -P CheckReproducible.cmake
# Builds the release folder twice from clean, in two different folders, and
# fails unless every file is the same, byte for byte.
file(REMOVE_RECURSE ${WORK_DIR})
foreach(build IN ITEMS first second)
  execute_process(
    COMMAND ${CMAKE_COMMAND} -S ${SOURCE_DIR} -B ${WORK_DIR}/${build} -G Ninja
      -DCMAKE_BUILD_TYPE=Release -DHDA_RELEASE_ONLY=ON
    OUTPUT_QUIET RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "configuring the ${build} build failed")
  endif()
  execute_process(COMMAND ${CMAKE_COMMAND} --build ${WORK_DIR}/${build}
    OUTPUT_VARIABLE output ERROR_VARIABLE output RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "the ${build} build failed:\n${output}")
  endif()
  file(GLOB_RECURSE files_${build} RELATIVE ${WORK_DIR}/${build}/release ${WORK_DIR}/${build}/release/*)
  list(SORT files_${build})
endforeach()
if(NOT files_first STREQUAL files_second)
  message(FATAL_ERROR "the builds shipped different files:\n${files_first}\n${files_second}")
endif()
foreach(name IN LISTS files_first)
  file(SHA256 ${WORK_DIR}/first/release/${name} first)
  file(SHA256 ${WORK_DIR}/second/release/${name} second)
  if(NOT first STREQUAL second)
    message(FATAL_ERROR "${name} differs between two builds of the same sources")
  endif()
endforeach()
list(LENGTH files_first count)
message(STATUS "${count} release files identical across two clean builds")
file(REMOVE_RECURSE ${WORK_DIR})
