#!/usr/bin/env bash
# Sets up a fresh Debian 12 machine, then builds and runs every test under AddressSanitizer +
# UndefinedBehaviorSanitizer, the threaded suites under ThreadSanitizer, and every test in the
# Release build (whose CTest summary is the last thing printed). The builds come from
# CMakePresets.json, which states every option (warnings are errors in all of them), so a
# folder configured before by hand or by scripts/demo.sh is set right again; a run that finds
# no tests fails.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
bash "$here/scripts/setup-debian.sh"
cd "$here"
jobs=$(nproc)

cmake --preset asan
ninja -C build-asan
ctest --preset asan -j"$jobs"

# The threaded suites once more under ThreadSanitizer.
threaded=(test_frame test_gps test_serial test_platform)
cmake --preset tsan
ninja -C build-tsan "${threaded[@]}"
for suite in "${threaded[@]}"; do
  (cd build-tsan/tests && TSAN_OPTIONS=halt_on_error=1 "./$suite" --gtest_brief=1)
done

cmake --preset release
ninja -C build
ctest --preset release -j"$jobs"
