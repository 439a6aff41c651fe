#!/usr/bin/env python3
"""`velmira nmea` beside gpsd's `gpsdecode -j` on the same generated log, in the same run.

Generates a log of --sentences sentences (200,000 by default) with examples/generate_nmea.py
into a temporary directory, runs each program --runs times on it (best wall time counts),
prints sentences per second and the ratio, and then compares what both decoded: every gpsd
TPV report with a position is matched by time of day with a velmira FIX, and latitude,
longitude and altitude must agree to the printed precision.

    bench/compare_gpsdecode.py --velmira build/velmira [--gpsdecode /usr/bin/gpsdecode]

gpsdecode comes with Debian's gpsd-clients package.
"""
import argparse
import json
import os
import shutil
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
SOURCE = os.path.dirname(HERE)


def best_time(command, stdin_path, stdout_path, runs):
    best = None
    for _ in range(runs):
        with open(stdin_path, "rb") as fin, open(stdout_path, "wb") as fout:
            start = time.perf_counter()
            subprocess.run(command, stdin=fin, stdout=fout, stderr=subprocess.DEVNULL, check=True)
            elapsed = time.perf_counter() - start
        best = elapsed if best is None else min(best, elapsed)
    return best


def time_key(hour, minute, second, ms):
    return (hour, minute, second, ms)


def times_with_fix(log):
    """Times of day at which the log's own sentences report a fix (GGA quality not 0, RMC or
    GLL status A). gpsd keeps reporting the last position through a lost fix; those epochs
    are left out of the comparison."""
    valid = set()
    with open(log, encoding="latin-1") as f:
        for line in f:
            fields = line.split("*")[0].split(",")
            kind = fields[0][3:]
            if kind == "GGA" and len(fields) > 6 and fields[6] != "0":
                clock = fields[1]
            elif kind == "RMC" and len(fields) > 2 and fields[2] == "A":
                clock = fields[1]
            elif kind == "GLL" and len(fields) > 6 and fields[6] == "A":
                clock = fields[5]
            else:
                continue
            t = float(clock)
            whole = int(t)
            valid.add(time_key(whole // 10000, whole // 100 % 100, whole % 100,
                               int(round((t - whole) * 1000))))
    return valid


def compare(log, velmira_out, gpsd_out):
    valid = times_with_fix(log)
    skipped = 0
    fixes = {}
    with open(velmira_out) as f:
        for line in f:
            event = json.loads(line)
            if event["class"] != "FIX":
                continue
            key = time_key(event["hour"], event["minute"], event["second"], event["ms"])
            # Prefer the GGA fix of an epoch: it carries the altitude.
            if event["type"] == 3 or key not in fixes:
                fixes[key] = event
    checked = matched = 0
    mismatches = []
    with open(gpsd_out) as f:
        for line in f:
            try:
                report = json.loads(line)
            except ValueError:
                continue
            if report.get("class") != "TPV" or report.get("mode", 0) < 2 or "time" not in report:
                continue
            if "lat" not in report:
                continue
            clock = report["time"][11:23]  # hh:mm:ss.sss
            key = time_key(int(clock[0:2]), int(clock[3:5]), int(clock[6:8]), int(clock[9:12]))
            if key not in valid:
                skipped += 1
                continue
            ours = fixes.get(key)
            checked += 1
            if ours is None:
                mismatches.append(("no FIX at", clock))
                continue
            same = (abs(ours["lat"] - report["lat"]) < 0.5e-9 + 1e-12 and
                    abs(ours["lon"] - report["lon"]) < 0.5e-9 + 1e-12)
            if ours["type"] == 3 and "altMSL" in report:
                same = same and abs(ours["alt"] - report["altMSL"]) < 0.00051
            if same:
                matched += 1
            else:
                mismatches.append((clock, ours, report))
    return checked, matched, mismatches, skipped


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--velmira", default=os.path.join(SOURCE, "build", "velmira"))
    parser.add_argument("--gpsdecode", default=shutil.which("gpsdecode"))
    parser.add_argument("--sentences", type=int, default=200000)
    parser.add_argument("--seed", type=int, default=11)
    parser.add_argument("--runs", type=int, default=3)
    args = parser.parse_args()
    if not args.gpsdecode or not os.path.exists(args.gpsdecode):
        sys.exit("gpsdecode not found (Debian package gpsd-clients); give --gpsdecode PATH")

    work = tempfile.mkdtemp(prefix="velmira-bench-")
    try:
        log = os.path.join(work, "log.nmea")
        subprocess.run([sys.executable, os.path.join(SOURCE, "examples", "generate_nmea.py"),
                        "--sentences", str(args.sentences), "--seed", str(args.seed),
                        "--out", log], check=True)
        ours_out = os.path.join(work, "velmira.jsonl")
        gpsd_out = os.path.join(work, "gpsdecode.jsonl")
        ours = best_time([args.velmira, "nmea", "-"], log, ours_out, args.runs)
        gpsd = best_time([args.gpsdecode, "-j"], log, gpsd_out, args.runs)
        n = args.sentences
        print("log: %d sentences, %d bytes" % (n, os.path.getsize(log)))
        print("velmira nmea   %8.3f s  %10.0f sentences/s" % (ours, n / ours))
        print("gpsdecode -j   %8.3f s  %10.0f sentences/s" % (gpsd, n / gpsd))
        print("ratio (gpsdecode time / velmira time): %.2f" % (gpsd / ours))

        checked, matched, mismatches, skipped = compare(log, ours_out, gpsd_out)
        print("positions compared: %d, agreeing: %d (%d gpsd reports during a lost fix left out)"
              % (checked, matched, skipped))
        for m in mismatches[:10]:
            print("  differs:", m)
        return 0 if checked > 0 and matched == checked else 1
    finally:
        shutil.rmtree(work)


if __name__ == "__main__":
    sys.exit(main())
