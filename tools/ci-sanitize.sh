#!/bin/sh
# Sanitizer and fuzzing pass for CI, from the repository root:
#   build-asan/  whole tree with AddressSanitizer + UndefinedBehaviorSanitizer, every test run;
#   build-tsan/  whole tree with ThreadSanitizer, the threading tests run (label threads);
#   build-fuzz/  the libFuzzer programs (clang), each run for FUZZ_SECONDS from the checked-in seeds.
# Fails on any finding. Variables: FUZZ_SECONDS (default 30 per target), JOBS (default 2), TSAN_TARGETS (what
# the thread build builds: the programs holding threaded tests, or all), and TSAN_EXTRA_TESTS, a ctest name
# pattern for threaded tests that carry no threads label yet.
# The Ardour checks (label ardour) load the plug-in into an uninstrumented host and the Windows build does not use
# these compilers, so neither runs here; tools/test.sh runs them.
set -eu
cd "$(dirname "$0")/.."
jobs=${JOBS:-2}
fuzz_seconds=${FUZZ_SECONDS:-30}
tsan_targets=${TSAN_TARGETS:-quillmere_torture_threads iplug_base_tests vst_host_tests}
tsan_extra=${TSAN_EXTRA_TESTS:-IPlugMutex\.|OnTwoThreads|SecondThread}
common="-DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUILLMERE_BUILD_BENCH=OFF -DQUILLMERE_MINGW_CXX=OFF"
started=$(date +%s)

stage() {
  echo "== $* ($(($(date +%s) - started)) s)"
}

export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1:strict_string_checks=1:detect_stack_use_after_return=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
export TSAN_OPTIONS="halt_on_error=1:second_deadlock_stack=1"

stage "AddressSanitizer and UndefinedBehaviorSanitizer build"
cmake -S . -B build-asan $common -DQUILLMERE_SANITIZE=address,undefined >/dev/null
cmake --build build-asan -j "$jobs"
stage "every test under AddressSanitizer and UndefinedBehaviorSanitizer"
(cd build-asan && ctest --output-on-failure -j "$jobs" -LE ardour -E '^windows\.')

stage "ThreadSanitizer build"
cmake -S . -B build-tsan $common -DQUILLMERE_SANITIZE=thread >/dev/null
# shellcheck disable=SC2086
cmake --build build-tsan -j "$jobs" --target $tsan_targets
stage "threading tests under ThreadSanitizer"
(cd build-tsan && ctest --output-on-failure -j "$jobs" -L threads)
if [ -n "$tsan_extra" ]; then
  (cd build-tsan && ctest --output-on-failure -j "$jobs" -LE 'threads|ardour' -R "$tsan_extra" --no-tests=ignore)
fi

stage "fuzz programs (clang)"
CC=clang CXX=clang++ cmake -S . -B build-fuzz $common -DQUILLMERE_SANITIZE=address,undefined -DQUILLMERE_FUZZ=ON \
  -DCMAKE_C_FLAGS=-fsanitize=fuzzer-no-link -DCMAKE_CXX_FLAGS=-fsanitize=fuzzer-no-link >/dev/null
targets=$(cd tests/fuzz/corpus && for name in *; do printf ' fuzz_%s' "$name"; done)
# shellcheck disable=SC2086
cmake --build build-fuzz -j "$jobs" --target $targets
stage "fuzzing, ${fuzz_seconds} s per target"
FUZZ_JOBS=$jobs tests/fuzz/run-fuzzers.sh build-fuzz "$fuzz_seconds"

stage "sanitizer pass clean"
