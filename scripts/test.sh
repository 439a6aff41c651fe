#!/usr/bin/env bash
# Sets up a fresh Debian 12 machine, then builds and runs every test under AddressSanitizer +
# UndefinedBehaviorSanitizer, the threaded suites under ThreadSanitizer, and every test in the
# Release build (whose CTest summary is the last thing printed).
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
bash "$here/scripts/setup-debian.sh"
jobs=$(nproc)

cmake -S "$here" -B "$here/build-asan" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DVELMIRA_SANITIZE=ON -DVELMIRA_BENCH=OFF
ninja -C "$here/build-asan"
(cd "$here/build-asan" && ASAN_OPTIONS=detect_leaks=1 ctest -j"$jobs" --output-on-failure)

# The threaded suites once more under ThreadSanitizer.
cmake -S "$here" -B "$here/build-tsan" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELMIRA_TSAN=ON -DVELMIRA_BENCH=OFF
ninja -C "$here/build-tsan" test_frame test_gps test_serial test_platform
for suite in test_frame test_gps test_serial test_platform; do
  (cd "$here/build-tsan/tests" && TSAN_OPTIONS=halt_on_error=1 "./$suite" --gtest_brief=1)
done

cmake -S "$here" -B "$here/build" -G Ninja -DCMAKE_BUILD_TYPE=Release
ninja -C "$here/build"
cd "$here/build" && ctest -j"$jobs" --output-on-failure
