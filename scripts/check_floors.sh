#!/bin/bash
# Fails when a source under src/ includes a header of a higher floor, or of the floor beside
# it: tools > api > view > maps and gps (side by side) > geo > frame > platform.
# Usage: scripts/check_floors.sh [source root]
set -u
root=${1:-$(dirname "$0")/..}
declare -A rank=([platform]=0 [frame]=1 [geo]=2 [maps]=3 [gps]=3 [view]=4 [api]=5)
status=0
while IFS= read -r line; do
  file=${line%%:*}
  from=${file#"$root/src/"}
  from=${from%%/*}
  to=$(sed -n 's/.*#include "\([a-z]*\)\/.*/\1/p' <<<"$line")
  [[ -z ${rank[$to]:-} || -z ${rank[$from]:-} || $to == "$from" ]] && continue
  if ((rank[$to] >= rank[$from])); then
    echo "upward include: $line"
    status=1
  fi
done < <(grep -rn '^#include "[a-z]*/' "$root/src")
exit $status
