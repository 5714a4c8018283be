#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# Runs every libFuzzer program in a build for a bounded time, starting from the checked-in seeds.
# Usage: tests/fuzz/run-fuzzers.sh BUILD_DIR [SECONDS_PER_TARGET] (default 60, or FUZZ_SECONDS).
# FUZZ_JOBS programs run side by side (default 1). New inputs go to a temporary folder, never into the seeds; a
# crash leaves its input in BUILD_DIR/fuzz-findings/<target>/ and makes the script fail; once understood, the input
# goes into tests/fuzz/regressions/<target>/, which every build replays. Prints the executions per target.
set -u
build=${1:?build directory}
seconds=${2:-${FUZZ_SECONDS:-60}}
lanes=${FUZZ_JOBS:-1}
here=$(cd "$(dirname "$0")" && pwd)
findings="$build/fuzz-findings"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Runs one target; its summary line goes to $work/<name>.summary, its exit status to $work/<name>.status.
fuzz_one() {
  name=$1
  program="$build/tests/fuzz/fuzz_$name"
  if [ ! -x "$program" ]; then
    echo "fuzz $name: no program at $program" >"$work/$name.summary"
    echo 1 >"$work/$name.status"
    return
  fi
  mkdir -p "$work/$name" "$findings/$name"
  log="$work/$name.log"
  "$program" -max_total_time="$seconds" -print_final_stats=1 -rss_limit_mb=1024 -max_len=4096 \
    -artifact_prefix="$findings/$name/" "$work/$name" "$here/corpus/$name" >"$log" 2>&1
  result=$?
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
  echo "fuzz $name: ${runs:-?} executions in ${seconds} s, exit $result" >"$work/$name.summary"
  echo "$result" >"$work/$name.status"
}

names=$(cd "$here/corpus" && ls)
lane=0
while [ "$lane" -lt "$lanes" ]; do
  (
    i=0
    for name in $names; do
      [ $((i % lanes)) -eq "$lane" ] && fuzz_one "$name"
      i=$((i + 1))
    done
  ) &
  lane=$((lane + 1))
done
wait

status=0
for name in $names; do
  cat "$work/$name.summary"
  if [ "$(cat "$work/$name.status")" -ne 0 ]; then
    status=1
    [ -f "$work/$name.log" ] && tail -n 40 "$work/$name.log" >&2
  fi
done
exit $status
