#!/usr/bin/env bash
# Sets up a fresh Debian 12 machine, then builds and runs every test under AddressSanitizer +
# UndefinedBehaviorSanitizer, the threaded suites under ThreadSanitizer, each fuzz target for a
# bounded time from its committed corpus (clang's libFuzzer, with both sanitizers), and every
# test in the Release build, the minute-long serial soak included (whose CTest summary is the
# last thing printed). The builds come from CMakePresets.json, which states every option
# (warnings are errors in all of them), so a folder configured before by hand or by
# scripts/demo.sh is set right again; a run that finds no tests fails.
#
# VELMIRA_FUZZ_SECONDS sets each fuzz target's time (30 by default; 0 skips fuzzing).
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
bash "$here/scripts/setup-debian.sh"
cd "$here"
jobs=$(nproc)
fuzz_seconds=${VELMIRA_FUZZ_SECONDS:-30}
started=$SECONDS
phase() { printf '\n== %s (at %d s)\n' "$1" $((SECONDS - started)); }

phase "AddressSanitizer + UndefinedBehaviorSanitizer: every test"
cmake --preset asan
ninja -C build-asan
ctest --preset asan -j"$jobs"

phase "ThreadSanitizer: the threaded suites"
threaded=(test_frame test_gps test_serial test_platform test_net test_maps test_gdi)
cmake --preset tsan
ninja -C build-tsan "${threaded[@]}"
for suite in "${threaded[@]}"; do
  (cd build-tsan/tests && TSAN_OPTIONS=halt_on_error=1 "./$suite" --gtest_brief=1)
done

if [ "$fuzz_seconds" -gt 0 ]; then
  phase "libFuzzer: each target for $fuzz_seconds s from its corpus"
  bash scripts/fuzz.sh "$fuzz_seconds"
fi

phase "Release: every test, the serial soak included"
cmake --preset release
ninja -C build
ctest --preset release -j"$jobs"
