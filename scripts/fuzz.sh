#!/usr/bin/env bash
# Builds the fuzz targets with clang (libFuzzer, AddressSanitizer and UndefinedBehaviorSanitizer;
# the "fuzz" preset, in build-fuzz/) and runs each for SECONDS (30 by default) from its
# committed corpus, as many at once as there are processors. New inputs go to a scratch folder,
# so the committed corpora stay as they are; a crash, leak or time-out leaves its input in
# build-fuzz/findings/ and fails the run (it then belongs in fuzz/corpus/ as a regression case).
#
#   scripts/fuzz.sh [SECONDS]
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
cd "$here"
seconds=${1:-30}
targets=(parser sentences position maplib picture gpx)
cmake --preset fuzz >/dev/null
ninja -C build-fuzz "${targets[@]/#/fuzz_}"
rm -rf build-fuzz/scratch
mkdir -p build-fuzz/findings

run() {
  local target=$1 log=build-fuzz/$1.log
  mkdir -p "build-fuzz/scratch/$target"
  if ! "build-fuzz/fuzz/fuzz_$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
      -print_final_stats=1 -artifact_prefix="build-fuzz/findings/$target-" \
      "build-fuzz/scratch/$target" "fuzz/corpus/$target" >"$log" 2>&1; then
    tail -40 "$log"
    echo "fuzz_$target failed; its input is in build-fuzz/findings/"
    return 1
  fi
  echo "fuzz_$target: $(grep -o 'number_of_executed_units: [0-9]*' "$log" | cut -d' ' -f2) inputs" \
    "in $seconds s, no finding"
}
export -f run
export seconds
printf '%s\n' "${targets[@]}" | xargs -P "$(nproc)" -I{} bash -c 'run {}'
