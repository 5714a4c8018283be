#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# Sanitizer and fuzzing pass for CI, from the repository root:
#   build-asan/  whole tree with AddressSanitizer + UndefinedBehaviorSanitizer, every test run;
#   build-tsan/  ThreadSanitizer build of the programs that hold threaded tests, the threading tests run;
#   build-fuzz/  the libFuzzer programs (clang), each run for FUZZ_SECONDS from the checked-in seeds.
# Every stage runs; the script fails at the end if any found something. Variables: STAGES (default
# "asan tsan fuzz"), FUZZ_SECONDS (default 45 per target), JOBS (default 2), TSAN_TARGETS (what the thread build
# builds, or all), TSAN_EXTRA_TESTS (a ctest name pattern for threaded tests without the threads label).
# The Ardour checks (label ardour) and the LV2 tool checks (label lv2tools) load the plug-in into an uninstrumented
# host and the Windows build does not use these compilers, so none of them runs here; tools/test.sh runs them.
set -eu
cd "$(dirname "$0")/.."
stages=${STAGES:-asan tsan fuzz}
jobs=${JOBS:-2}
fuzz_seconds=${FUZZ_SECONDS:-45}
tsan_targets=${TSAN_TARGETS:-quillmere_torture_threads iplug_base_tests vst_host_tests clap_torture_tests vst3_threads_tests}
tsan_extra=${TSAN_EXTRA_TESTS:-IPlugMutex\.|OnTwoThreads|SecondThread}
started=$(date +%s)
failed=""

stage() {
  echo "== $* ($(($(date +%s) - started)) s)"
}

wants() {
  case " $stages " in *" $1 "*) return 0 ;; *) return 1 ;; esac
}

# Light optimisation and line tables only: these builds are for finding faults, and compile time is the budget.
configure() {
  dir=$1
  shift
  cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo "-DCMAKE_C_FLAGS_RELWITHDEBINFO=-O1 -g1" \
    "-DCMAKE_CXX_FLAGS_RELWITHDEBINFO=-O1 -g1" -DQUILLMERE_BUILD_BENCH=OFF -DQUILLMERE_MINGW_CXX=OFF "$@" >/dev/null
}

export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1:strict_string_checks=1:detect_stack_use_after_return=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
export TSAN_OPTIONS="halt_on_error=1:second_deadlock_stack=1"

if wants asan; then
  stage "AddressSanitizer and UndefinedBehaviorSanitizer build"
  configure build-asan -DQUILLMERE_SANITIZE=address,undefined
  cmake --build build-asan -j "$jobs"
  stage "every test under AddressSanitizer and UndefinedBehaviorSanitizer"
  (cd build-asan && ctest --output-on-failure -j "$jobs" -LE 'ardour|lv2tools' -E '^windows\.') || failed="$failed asan"
fi

if wants tsan; then
  stage "ThreadSanitizer build"
  configure build-tsan -DQUILLMERE_SANITIZE=thread
  # shellcheck disable=SC2086
  cmake --build build-tsan -j "$jobs" --target $tsan_targets
  stage "threading tests under ThreadSanitizer"
  (cd build-tsan && ctest --output-on-failure -j "$jobs" -L threads) || failed="$failed tsan"
  if [ -n "$tsan_extra" ]; then
    (cd build-tsan && ctest --output-on-failure -j "$jobs" -LE 'threads|ardour' -R "$tsan_extra" --no-tests=ignore) ||
      failed="$failed tsan"
  fi
fi

if wants fuzz; then
  stage "fuzz programs (clang)"
  CC=clang CXX=clang++ configure build-fuzz -DQUILLMERE_SANITIZE=address,undefined -DQUILLMERE_FUZZ=ON \
    -DCMAKE_C_FLAGS=-fsanitize=fuzzer-no-link -DCMAKE_CXX_FLAGS=-fsanitize=fuzzer-no-link
  targets=$(cd tests/fuzz/corpus && for name in *; do printf ' fuzz_%s' "$name"; done)
  # shellcheck disable=SC2086
  cmake --build build-fuzz -j "$jobs" --target $targets
  stage "fuzzing, ${fuzz_seconds} s per target"
  FUZZ_JOBS=$jobs tests/fuzz/run-fuzzers.sh build-fuzz "$fuzz_seconds" || failed="$failed fuzz"
fi

if [ -n "$failed" ]; then
  stage "findings in:$failed"
  exit 1
fi
stage "sanitizer pass clean"
