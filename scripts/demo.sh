#!/usr/bin/env bash
# Sets up a fresh Debian 12 machine, builds the velmira program and the sample map library
# (drawn from examples/town.py and built by the program), and runs the demo on them: a table of
# the sample drive's fixes, and out/demo.png with its track on the map. It shares build/ and
# its settings (the "release" preset, every option stated) with scripts/test.sh, so the two run
# in either order without undoing each other's work.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
bash "$here/scripts/setup-debian.sh"
cd "$here"
cmake --preset release
ninja -C build velmira_cli sample_maplib
build/velmira demo
