#!/usr/bin/env bash
# Sets up a fresh Debian 12 machine, builds the velmira program and runs its demo on the
# bundled data. It shares build/ and its settings (the "release" preset, every option stated)
# with scripts/test.sh, so the two run in either order without undoing each other's work.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
bash "$here/scripts/setup-debian.sh"
cd "$here"
cmake --preset release
ninja -C build velmira_cli
build/velmira demo
