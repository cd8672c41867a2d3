#!/bin/sh
# Copyright (c) 2026, HdaSsid contributors. All rights reserved.
# SPDX-License-Identifier: BSD-2-Clause-Patent
# Runs the fuzz targets side by side for a bounded time (default 600 s each),
# starting from the committed seed corpus (copied: the committed files never
# change). Builds the "sanitize" preset first. A finding stops that fuzzer and
# leaves its reproducer in build-sanitize/fuzz-run/<target>/.
#   tests/fuzz/run_fuzzers.sh [SECONDS]
set -eu
cd "$(dirname "$0")/../.."
seconds=${1:-600}
./bootstrap.sh
cmake --preset sanitize >/dev/null
cmake --build --preset sanitize --target fuzz_probe fuzz_select fuzz_tools
status=0
for target in probe select tools; do
  work=build-sanitize/fuzz-run/$target
  rm -rf "$work" && mkdir -p "$work/corpus"
  cp tests/fuzz/corpus/$target/* "$work/corpus/"
  build-sanitize/tests/fuzz/fuzz_$target -max_total_time="$seconds" -timeout=20 -rss_limit_mb=2048 \
    -print_final_stats=1 -artifact_prefix="$work/" "$work/corpus" >"$work/log.txt" 2>&1 &
  eval "pid_$target=\$!"
done
for target in probe select tools; do
  eval "pid=\$pid_$target"
  if wait "$pid"; then result=clean; else result="FINDING (see build-sanitize/fuzz-run/$target/)"; status=1; fi
  log=build-sanitize/fuzz-run/$target/log.txt
  echo "fuzz_$target: $result"
  grep -E '^#[0-9]+' "$log" | tail -1 | sed 's/^/  last status: /'
  grep -E 'stat::number_of_executed_units|stat::average_exec_per_sec|stat::peak_rss_mb' "$log" | sed 's/^/  /'
done
exit $status
