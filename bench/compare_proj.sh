#!/bin/sh
# Compares the geodesy throughput with PROJ in the same run:
#   in process: bench_geo_position (Position exports) and bench_projections (each projection
#   kind) against proj_trans_generic;
#   whole process: velmira convert against cs2cs on a million points.
# usage: bench/compare_proj.sh [build-dir]    (needs PROJ: cs2cs, proj.h, libproj)
set -eu
here=$(cd "$(dirname "$0")" && pwd)
build=${1:-$here/../build}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

cc -O2 -o "$work/proj_rate" "$here/proj_rate.c" -lproj -lm

echo "== in process, points per second (same 4096 points over Great Britain) =="
"$build/bench/bench_geo_position" --benchmark_min_time=0.5 --benchmark_format=json 2>/dev/null |
  python3 -c 'import json,sys; [print(b["name"], round(b["items_per_second"])) for b in json.load(sys.stdin)["benchmarks"]]' > "$work/ours"
"$work/proj_rate" approx > "$work/proj_approx"
"$work/proj_rate" exact > "$work/proj_exact"
printf "%-28s %14s %14s %8s %14s %8s\n" case velmira proj-approx ratio proj-exact ratio
sort "$work/ours" > "$work/a"; sort "$work/proj_approx" > "$work/b"; sort "$work/proj_exact" > "$work/c"
join "$work/a" "$work/b" | join - "$work/c" |
  awk '{ printf "%-28s %14.0f %14.0f %8.2f %14.0f %8.2f\n", $1, $2, $3, $2 / $3, $4, $2 / $4 }'

echo
echo "== in process, points per second per projection kind (4096 points over each grid, no datum shift) =="
cc -O2 -o "$work/proj_kinds" "$here/proj_kinds.c" -lproj -lm
"$build/bench/bench_projections" --benchmark_min_time=0.5 --benchmark_format=json 2>/dev/null |
  python3 -c 'import json,sys; [print(b["name"], round(b["items_per_second"])) for b in json.load(sys.stdin)["benchmarks"]]' |
  sort > "$work/kinds_ours"
"$work/proj_kinds" | sort > "$work/kinds_proj"
printf "%-34s %14s %14s %8s\n" case velmira proj ratio
join -a 1 "$work/kinds_ours" "$work/kinds_proj" |
  awk '{ if (NF == 3) printf "%-34s %14.0f %14.0f %8.2f\n", $1, $2, $3, $2 / $3;
         else printf "%-34s %14.0f %14s %8s\n", $1, $2, "-", "-" }'

echo
echo "== whole process, a million points (lat lon on WGS 84 over Great Britain) =="
python3 - "$work/points" <<'PY'
import random, sys
rng = random.Random(7)
with open(sys.argv[1], 'w') as out:
    for _ in range(1000000):
        out.write('%.9f %.9f\n' % (rng.uniform(50, 58.5), rng.uniform(-7.5, 1.5)))
PY
seconds() {  # runs "$@" < points > /dev/null and prints the elapsed seconds
  python3 - "$work/points" "$@" <<'PY'
import subprocess, sys, time
with open(sys.argv[1]) as points:
    start = time.perf_counter()
    subprocess.run(sys.argv[2:], stdin=points, stdout=subprocess.DEVNULL, check=True)
    print('%.3f' % (time.perf_counter() - start))
PY
}
bng="+proj=tmerc +approx +lat_0=49 +lon_0=-2 +k_0=0.9996012717 +x_0=400000 +y_0=-100000 +a=6377563.396 +es=0.00667054 +towgs84=375,-111,431 +units=m"
v_utm=$(seconds "$build/velmira" convert --from datum=1 --to datum=1,grid=1)
c_utm=$(seconds cs2cs -r -f %.4f +proj=longlat +datum=WGS84 +to +proj=utm +zone=30 +approx +datum=WGS84)
v_bng=$(seconds "$build/velmira" convert --from datum=1 --to datum=1,grid=3)
c_bng=$(seconds cs2cs -r -f %.4f +proj=longlat +datum=WGS84 +to $bng)
printf "%-28s %10s %10s %8s\n" case velmira-s cs2cs-s speedup
awk -v v="$v_utm" -v c="$c_utm" 'BEGIN { printf "%-28s %10s %10s %8.2f\n", "Wgs84ToUtm", v, c, c / v }'
awk -v v="$v_bng" -v c="$c_bng" 'BEGIN { printf "%-28s %10s %10s %8.2f\n", "Wgs84ToBritishNationalGrid", v, c, c / v }'
