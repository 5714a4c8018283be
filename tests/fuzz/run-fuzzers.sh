#!/bin/sh
# Runs every libFuzzer program in a build for a bounded time, starting from the checked-in seeds.
# Usage: tests/fuzz/run-fuzzers.sh BUILD_DIR [SECONDS_PER_TARGET] (default 60, or FUZZ_SECONDS).
# New inputs go to a temporary folder, never into the seeds; a crash leaves its input in
# BUILD_DIR/fuzz-findings/<target>/ and makes the script fail. Prints the executions per target.
set -u
build=${1:?build directory}
seconds=${2:-${FUZZ_SECONDS:-60}}
here=$(cd "$(dirname "$0")" && pwd)
findings="$build/fuzz-findings"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
status=0
found=0
for seeds in "$here"/corpus/*/; do
  name=$(basename "$seeds")
  program="$build/tests/fuzz/fuzz_$name"
  if [ ! -x "$program" ]; then
    echo "fuzz $name: no program at $program" >&2
    status=1
    continue
  fi
  found=$((found + 1))
  mkdir -p "$work/$name" "$findings/$name"
  log="$work/$name.log"
  "$program" -max_total_time="$seconds" -print_final_stats=1 -rss_limit_mb=1024 -max_len=4096 \
    -artifact_prefix="$findings/$name/" "$work/$name" "$seeds" >"$log" 2>&1
  result=$?
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
  echo "fuzz $name: ${runs:-?} executions in ${seconds} s, exit $result"
  if [ "$result" -ne 0 ]; then
    status=1
    tail -n 40 "$log" >&2
  fi
done
if [ "$found" -eq 0 ]; then
  echo "no fuzz programs in $build/tests/fuzz (configure with clang and -DQUILLMERE_FUZZ=ON)" >&2
  status=1
fi
exit $status
