#!/usr/bin/env bash
# Sets up a fresh Debian 12 machine, then builds and runs every test twice: under
# AddressSanitizer + UndefinedBehaviorSanitizer, then in the Release build (whose CTest
# summary is the last thing printed).
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
bash "$here/scripts/setup-debian.sh"
jobs=$(nproc)

cmake -S "$here" -B "$here/build-asan" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DVELMIRA_SANITIZE=ON -DVELMIRA_BENCH=OFF
ninja -C "$here/build-asan"
(cd "$here/build-asan" && ASAN_OPTIONS=detect_leaks=1 ctest -j"$jobs" --output-on-failure)

cmake -S "$here" -B "$here/build" -G Ninja -DCMAKE_BUILD_TYPE=Release
ninja -C "$here/build"
cd "$here/build" && ctest -j"$jobs" --output-on-failure
