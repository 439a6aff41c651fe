#!/usr/bin/env bash
# Sets up a fresh Debian 12 machine, builds Velmira and runs the demo on the bundled data.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
bash "$here/scripts/setup-debian.sh"
cmake -S "$here" -B "$here/build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DVELMIRA_TESTS=OFF -DVELMIRA_BENCH=OFF
ninja -C "$here/build" velmira_cli
"$here/build/velmira" demo
