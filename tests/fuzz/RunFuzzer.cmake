# Copyright (c) 2026, HdaSsid contributors. All rights reserved.
# SPDX-License-Identifier: BSD-2-Clause-Patent
#
# cmake -DFUZZER=<exe> -DCORPUS=<seed dir> -DWORK=<dir> -DSECONDS=<n> -P RunFuzzer.cmake
# Runs a fuzzer for SECONDS from a copy of the seed corpus with a fixed seed.
file(REMOVE_RECURSE ${WORK})
file(COPY ${CORPUS}/ DESTINATION ${WORK}/corpus)
execute_process(
  COMMAND ${FUZZER} -seed=1 -max_total_time=${SECONDS} -timeout=20 -rss_limit_mb=2048
    -artifact_prefix=${WORK}/ ${WORK}/corpus
  RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "${FUZZER} found a fault (status ${status}); reproducer in ${WORK}/")
endif()
