#!/usr/bin/env python3
"""Runs every comparison of Velmira with its peers and goals in one run and prints one table.

    bench/comparisons.py BUILD-DIR [--runs N]

BUILD-DIR holds a Release build of the benchmark programs, the velmira program and PROJ's
side of the geodesy comparison (bench/run makes it). Each round runs every program once, ours
and the peer's one after the other, so that a change in the machine's load falls on both; the
table shows the median of the rounds. Benchmarks are rated by CPU time (the event-mode case,
which works on two threads, by wall time); whole programs by the CPU time of the child.

Ratios are ours over the peer's and read two ways, named in each cell and goal: "speed" is
our rate over the peer's (more is better), "time" our time over the peer's (less is better).
"""
import argparse
import json
import os
import platform
import random
import re
import resource
import shutil
import statistics
import subprocess
import sys
import tempfile
import time
from collections import defaultdict
from pathlib import Path

HERE = Path(__file__).resolve().parent
SOURCE = HERE.parent
sys.path.insert(0, str(HERE))
import compare_gpsdecode  # noqa: E402  (the agreement check of the gpsdecode comparison)

CONVERT_POINTS = 1_000_000
NMEA_SENTENCES = 200_000
GBENCH_MIN_TIME = "0.3"
TILE_BYTES = 8 * 4 * 256 * 256 * 3  # bench_raster's tile picture
IMPORT_SIDE = 16384          # the RGB GeoTIFF built beside gdal_translate
IMPORT_MEMORY_SIDE = 32768   # the GeoTIFF whose build's peak memory is measured

# --------------------------------------------------------------------------------------------
# What the table shows: one row per comparison.
#   kind "speed": rates, ratio ours / peer, goal is a minimum ratio
#   kind "time":  times, ratio ours / peer, goal is a maximum ratio
#   kind "floor":  our rate against an absolute minimum (the peer column, if any, is context)
#   kind "ceiling": our figure against an absolute maximum
# --------------------------------------------------------------------------------------------


class Row:
    def __init__(self, title, ours, peer, kind, goal=None, unit=""):
        self.title, self.ours, self.peer = title, ours, peer
        self.kind, self.goal, self.unit = kind, goal, unit


GEODESY = [
    ("WGS 84 -> UTM", "Wgs84ToUtm"),
    ("UTM -> WGS 84", "UtmToWgs84"),
    ("WGS 84 -> British National Grid", "Wgs84ToBritishNationalGrid"),
    ("British National Grid -> WGS 84", "BritishNationalGridToWgs84"),
]
KINDS = [
    ("Swiss oblique Mercator", "SwissOblique"),
    ("New Zealand Map Grid", "NewZealandMapGrid"),
    ("Lambert conic", "LambertConic"),
    ("Belgian Lambert", "LambertBelgian"),
    ("oblique stereographic", "ObliqueStereographic"),
]
VIEWS = ["640x480/zoom1.0/rot0", "640x480/zoom1.5/rot30", "640x480/zoom0.5/rot30",
         "1920x1080/zoom1.0/rot0", "1920x1080/zoom1.5/rot30", "1920x1080/zoom0.5/rot30"]


def rows():
    r = []
    for title, name in GEODESY:
        for form in ("approx", "exact"):
            r.append(Row(f"Position {title} vs PROJ tmerc {'+approx' if form == 'approx' else 'exact'}",
                         f"geo/{name}", f"proj-{form}/{name}", "speed", 1.0, "pt/s"))
    for title, name in KINDS:
        for way in ("Forward", "Inverse"):
            r.append(Row(f"{title} {way.lower()} vs PROJ", f"kinds/{name}{way}",
                         f"proj-kinds/{name}{way}", "speed", 1.0, "pt/s"))
    r.append(Row("velmira convert vs cs2cs, 1 M points to UTM", "convert/utm", "cs2cs/utm",
                 "speed", None, "pt/s"))
    r.append(Row("velmira convert vs cs2cs, 1 M points to British National Grid", "convert/bng",
                 "cs2cs/bng", "speed", None, "pt/s"))
    r.append(Row("velmira nmea vs gpsdecode -j, 200 k sentences", "nmea/velmira", "nmea/gpsdecode",
                 "speed", None, "sent/s"))
    r.append(Row("Event mode across threads (peer: same thread)", "parse/BM_ParseEvents/real_time",
                 "parse/BM_ParseEventsSameThread", "floor", 1e6, "sent/s"))
    r.append(Row("NMEA over loopback TCP vs the same sentences from memory, event mode",
                 "net/BM_TcpEvents/real_time", "parse/BM_ParseEvents/real_time", "speed", 0.8,
                 "sent/s"))
    for view in VIEWS:
        r.append(Row(f"RenderView {view} vs pixman box", f"raster/RenderView/{view}",
                     f"raster/PixmanBox4/{view}", "speed", 2.0, "Mpx/s"))
    for view in VIEWS:
        if "rot30" in view:
            r.append(Row(f"RenderView {view}, 1 thread vs pixman bilinear",
                         f"raster/RenderView/{view}", f"raster/PixmanBilinear/{view}", "speed",
                         1.0, "Mpx/s"))
            r.append(Row(f"RenderView {view}, 2 threads vs pixman bilinear (1 thread)",
                         f"raster/RenderView2/{view}/real_time", f"raster/PixmanBilinear/{view}",
                         "speed", None, "Mpx/s"))
    for view in VIEWS:
        if "rot0" in view:
            r.append(Row(f"RenderView {view} vs memcpy of the output", f"raster-ms/RenderView/{view}",
                         f"raster-ms/Memcpy/{view}", "time", 3.0, "ms"))
    r.append(Row("Tile decoding vs bare zlib", "raster-ms/Tiles/ReadTiles/8x4x24bit",
                 "raster-ms/Tiles/BareZlib/8x4x24bit", "time", 1.10, "ms"))
    r.append(Row("BitBlt SRCCOPY 1920x1080 24-bit into a window, 2 threads vs memcpy",
                 "gdi/BitBlt24To32/2/real_time", "gdi/MemcpySameBytes/real_time", "time", 1.5, "ms"))
    r.append(Row("BitBlt SRCCOPY 1920x1080 24-bit into a window, 1 thread vs memcpy",
                 "gdi/BitBlt24To32/1/real_time", "gdi/MemcpySameBytes/real_time", "time", None,
                 "ms"))
    r.append(Row("Labels of 20 characters, warm glyph cache", "gdi/Labels", None, "floor", 1e5,
                 "labels/s"))
    for size in ("640/480", "1920/1080"):
        r.append(Row(f"Viewer_OnDraw present only {size.replace('/', 'x')} vs bare BitBlt",
                     f"viewer/PresentOnly/{size}", f"viewer/BareBitBlt/{size}", "time", 1.5, "ms"))
    for size in ("640/480", "1920/1080"):
        r.append(Row(f"Viewer_OnDraw full render {size.replace('/', 'x')} vs bare Render",
                     f"viewer/FullRender/{size}/real_time", f"viewer/BareRender/{size}/real_time",
                     "time", 1.3, "ms"))
    r.append(Row("Viewer_OnDraw turned 30 deg, zoom 1.5, 1920x1080, 2 threads (peer: 1 thread)",
                 "viewer/TurnedRender/2/real_time", "viewer/TurnedRender/1/real_time", "ceiling",
                 16.7, "ms"))
    r.append(Row("Heading-up 1920x1080, zoom 1.5, +0.5 deg a frame over 4096^2, median of 60, "
                 "2 threads (peer: 1 thread)", "viewer/HeadingUp/2/iterations:2/manual_time",
                 "viewer/HeadingUp/1/iterations:2/manual_time", "ceiling", 16.7, "ms"))
    r.append(Row("Peak RSS, 1920x1080 views of a 65,536^2 map", "memory/peak", None, "ceiling", 64,
                 "MiB"))
    r.append(Row("maplib build of a 16,384^2 RGB GeoTIFF vs gdal_translate tiled DEFLATE",
                 "import/velmira", "import/gdal_translate", "time", 1.2, "s"))
    r.append(Row("Peak RSS, maplib build of a 32,768^2 RGB GeoTIFF", "import-memory/peak", None,
                 "ceiling", 256, "MiB"))
    return r


# --------------------------------------------------------------------------------------------
# Measuring.
# --------------------------------------------------------------------------------------------


class Runner:
    def __init__(self, build, work):
        self.build, self.work = Path(build), Path(work)
        self.samples = defaultdict(list)
        self.notes = []
        self.velmira = self.build / "velmira"

    def add(self, prefix, values):
        for name, value in values.items():
            self.samples[f"{prefix}/{name}"].append(value)

    def gbench(self, program, filter_=None):
        """One run of a Google Benchmark program: name -> per-iteration seconds and rates."""
        out = self.work / "gbench.json"
        command = [str(self.build / "bench" / program), f"--benchmark_min_time={GBENCH_MIN_TIME}",
                   f"--benchmark_out={out}", "--benchmark_out_format=json"]
        if filter_:
            command.append(f"--benchmark_filter={filter_}")
        subprocess.run(command, check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        scale = {"ns": 1e-9, "us": 1e-6, "ms": 1e-3, "s": 1.0}
        result = {}
        for b in json.loads(out.read_text())["benchmarks"]:
            if b.get("run_type", "iteration") != "iteration":
                continue
            real = "real_time" in b["name"] or "manual_time" in b["name"]  # wall time
            seconds = b["real_time" if real else "cpu_time"] * scale[b["time_unit"]]
            result[b["name"]] = {"seconds": seconds, "rate": b.get("items_per_second", 1 / seconds)}
        return result

    def peer_lines(self, command):
        """'<name> <rate>' lines of proj_rate and proj_kinds."""
        text = subprocess.run(command, check=True, capture_output=True, text=True).stdout
        return {name: float(rate) for name, rate in (line.split() for line in text.splitlines())}

    def child_cpu(self, command, stdin_path, stdout_path=os.devnull):
        """CPU seconds (user + system) of one run of a whole program."""
        before = resource.getrusage(resource.RUSAGE_CHILDREN)
        with open(stdin_path, "rb") as fin, open(stdout_path, "wb") as fout:
            subprocess.run(command, stdin=fin, stdout=fout, stderr=subprocess.DEVNULL, check=True)
        after = resource.getrusage(resource.RUSAGE_CHILDREN)
        return (after.ru_utime - before.ru_utime) + (after.ru_stime - before.ru_stime)

    def prepare(self):
        rng = random.Random(7)
        self.points = self.work / "points"
        with open(self.points, "w") as out:
            for _ in range(CONVERT_POINTS):
                out.write("%.9f %.9f\n" % (rng.uniform(50, 58.5), rng.uniform(-7.5, 1.5)))
        self.log = self.work / "log.nmea"
        subprocess.run([sys.executable, str(SOURCE / "examples" / "generate_nmea.py"),
                        "--sentences", str(NMEA_SENTENCES), "--seed", "11", "--out", str(self.log)],
                       check=True)
        self.import_tif = self.geotiff(IMPORT_SIDE, "import-source.tif", ["-co", "TILED=YES"])

    def geotiff(self, side, name, options):
        """An RGB GeoTIFF in UTM 32N: random 512^2 pixels enlarged bilinearly, so that it is
        smooth like a scan yet compresses no better than one."""
        seed = self.work / "seed.raw"
        if not seed.exists():
            rng = random.Random(5)
            seed.write_bytes(bytes(rng.getrandbits(8) for _ in range(512 * 512 * 3)))
            (self.work / "seed.hdr").write_text(
                "ENVI\nsamples = 512\nlines = 512\nbands = 3\nheader offset = 0\n"
                "file type = ENVI Standard\ndata type = 1\ninterleave = bip\nbyte order = 0\n")
        path = self.work / name
        subprocess.run(["gdal_translate", "-q", "-outsize", str(side), str(side), "-r", "bilinear",
                        "-a_srs", "EPSG:32632", "-a_ullr", "400000", str(5600000 + side), str(400000 + side),
                        "5600000", "-co", "BIGTIFF=IF_SAFER"] + options + [str(seed), str(path)], check=True)
        return path

    def import_round(self):
        out_vml, out_tif = self.work / "import.vml", self.work / "import.tif"
        ours = [str(self.velmira), "maplib", "build", "-q", "-o", str(out_vml), "--map", "big",
                str(self.import_tif)]
        peer = ["gdal_translate", "-q", "-of", "GTiff", "-co", "TILED=YES", "-co", "COMPRESS=DEFLATE",
                str(self.import_tif), str(out_tif)]
        self.add("import", {"velmira": self.child_cpu(ours, os.devnull)})
        self.add("import", {"gdal_translate": self.child_cpu(peer, os.devnull)})
        out_vml.unlink()
        out_tif.unlink()

    def import_memory(self):
        """Peak resident memory of one build, measured in a child of its own."""
        huge = self.geotiff(IMPORT_MEMORY_SIDE, "huge.tif", ["-co", "TILED=YES", "-co", "COMPRESS=DEFLATE"])
        out = self.work / "huge.vml"
        measure = ("import resource, subprocess, sys; subprocess.run(sys.argv[1:], check=True); "
                   "print(resource.getrusage(resource.RUSAGE_CHILDREN).ru_maxrss)")
        kib = subprocess.run([sys.executable, "-c", measure, str(self.velmira), "maplib", "build", "-q",
                              "-o", str(out), "--map", "huge", str(huge)],
                             check=True, capture_output=True, text=True).stdout
        self.add("import-memory", {"peak": int(kib) / 1024})
        out.unlink()
        huge.unlink()

    def round(self, first):
        b = self.build / "bench"
        rates = lambda results: {n: v["rate"] for n, v in results.items()}  # noqa: E731
        millis = lambda results: {n: v["seconds"] * 1e3 for n, v in results.items()}  # noqa: E731

        self.add("geo", rates(self.gbench("bench_geo_position")))
        self.add("proj-approx", self.peer_lines([str(b / "proj_rate"), "approx"]))
        self.add("proj-exact", self.peer_lines([str(b / "proj_rate"), "exact"]))
        self.add("kinds", rates(self.gbench("bench_projections")))
        self.add("proj-kinds", self.peer_lines([str(b / "proj_kinds")]))

        bng = ("+proj=tmerc +approx +lat_0=49 +lon_0=-2 +k_0=0.9996012717 +x_0=400000 "
               "+y_0=-100000 +a=6377563.396 +es=0.00667054 +towgs84=375,-111,431 +units=m").split()
        cases = {
            "utm": ([str(self.velmira), "convert", "--from", "datum=1", "--to", "datum=1,grid=1"],
                    ["+proj=utm", "+zone=30", "+approx", "+datum=WGS84"]),
            "bng": ([str(self.velmira), "convert", "--from", "datum=1", "--to", "datum=1,grid=3"],
                    bng),
        }
        for case, (ours, target) in cases.items():
            cs2cs = ["cs2cs", "-r", "-f", "%.4f", "+proj=longlat", "+datum=WGS84", "+to"] + target
            self.add("convert", {case: CONVERT_POINTS / self.child_cpu(ours, self.points)})
            self.add("cs2cs", {case: CONVERT_POINTS / self.child_cpu(cs2cs, self.points)})

        ours_out, gpsd_out = self.work / "velmira.jsonl", self.work / "gpsdecode.jsonl"
        self.add("nmea", {"velmira": NMEA_SENTENCES / self.child_cpu(
            [str(self.velmira), "nmea", "-"], self.log, ours_out)})
        self.add("nmea", {"gpsdecode": NMEA_SENTENCES / self.child_cpu(
            ["gpsdecode", "-j"], self.log, gpsd_out)})
        if first:
            checked, matched, _, _ = compare_gpsdecode.compare(self.log, ours_out, gpsd_out)
            self.notes.append(f"velmira nmea and gpsdecode agree on {matched} of {checked} "
                              "positions of the log.")

        self.add("parse", rates(self.gbench("bench_nmea_parse")))
        self.add("net", rates(self.gbench("bench_net_source")))
        raster = self.gbench("bench_raster")
        self.add("raster", {n: 1e-6 * int(n.split("/")[1].split("x")[0]) *
                            int(n.split("/")[1].split("x")[1]) / v["seconds"]
                            for n, v in raster.items() if not n.startswith("Tiles/")})
        self.add("raster-ms", millis(raster))
        gdi = self.gbench("bench_gdi")
        self.add("gdi", millis({n: v for n, v in gdi.items() if n != "Labels"}))
        self.add("gdi", {"Labels": gdi["Labels"]["rate"]})
        self.add("viewer", millis(self.gbench("bench_viewer")))
        self.import_round()

    def memory(self):
        text = subprocess.run([str(self.build / "bench" / "bench_map_render_memory")], check=True,
                              capture_output=True, text=True).stdout
        peaks = [float(p) for p in re.findall(r"peak ([0-9.]+) MiB", text)]
        if not peaks:
            sys.exit("bench_map_render_memory printed no peak:\n" + text)
        self.add("memory", {"peak": max(peaks)})
        self.import_memory()


# --------------------------------------------------------------------------------------------
# The table.
# --------------------------------------------------------------------------------------------


def figure(value, unit):
    if unit in ("ms", "MiB"):
        return f"{value:.3g} {unit}" if value < 100 else f"{value:.0f} {unit}"
    for scale, prefix in ((1e9, "G"), (1e6, "M"), (1e3, "k")):
        if value >= scale and unit != "Mpx/s":
            return f"{value / scale:.3g} {prefix} {unit}"
    return f"{value:.3g} {unit}" if value < 1000 else f"{value:.0f} {unit}"


def table_row(row, samples):
    median = lambda key: statistics.median(samples[key]) if samples.get(key) else None  # noqa
    ours, peer = median(row.ours), median(row.peer) if row.peer else None
    if ours is None or (row.peer and peer is None):
        return [row.title, "missing", "", "", "", "NO"]
    ours_text = figure(ours, row.unit)
    peer_text = figure(peer, row.unit) if peer is not None else "-"
    way = "time" if row.kind == "time" else "speed"
    ratio_text = f"{ours / peer:.2f}x {way}" if peer is not None else "-"
    if row.goal is None:
        return [row.title, ours_text, peer_text, ratio_text, "-", "-"]
    if row.kind == "speed":
        met, goal = ours / peer >= row.goal, f"speed >= {row.goal:.2f}x"
    elif row.kind == "time":
        met, goal = ours / peer <= row.goal, f"time <= {row.goal:.2f}x"
    elif row.kind == "floor":
        met, goal = ours >= row.goal, f">= {figure(row.goal, row.unit)}"
    else:
        met, goal = ours < row.goal, f"< {figure(row.goal, row.unit)}"
    return [row.title, ours_text, peer_text, ratio_text, goal, "yes" if met else "NO"]


def print_table(lines):
    header = ["comparison", "ours", "peer", "ratio", "goal", "met?"]
    widths = [max(len(str(line[i])) for line in lines + [header]) for i in range(len(header))]
    fmt = lambda cells: "| " + " | ".join(  # noqa: E731
        str(c).ljust(w) if i == 0 else str(c).rjust(w) for i, (c, w) in enumerate(zip(cells, widths))) + " |"
    print(fmt(header))
    print("|" + "|".join("-" * (w + 2) if i == 0 else "-" * (w + 1) + ":" for i, w in enumerate(widths)) + "|")
    for line in lines:
        print(fmt(line))


def machine():
    model = "unknown processor"
    try:
        for line in open("/proc/cpuinfo"):
            if line.startswith("model name"):
                model = line.split(":", 1)[1].strip()
                break
    except OSError:
        pass
    return f"{model}, {os.cpu_count()} logical CPUs, {platform.system()} {platform.release()}"


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("build")
    parser.add_argument("--runs", type=int, default=5)
    args = parser.parse_args()
    for tool in ("cs2cs", "gpsdecode", "gdal_translate"):
        if shutil.which(tool) is None:
            sys.exit(f"{tool} not found: install the packages of packages.txt")

    work = tempfile.mkdtemp(prefix="velmira-bench-")
    try:
        runner = Runner(args.build, work)
        load_before = os.getloadavg()
        started = time.monotonic()
        runner.prepare()
        for n in range(args.runs):
            print(f"round {n + 1} of {args.runs} ...", file=sys.stderr, flush=True)
            runner.round(first=n == 0)
        print("peak memory of map views ...", file=sys.stderr, flush=True)
        runner.memory()
        load_after = os.getloadavg()

        print(f"Machine: {machine()}")
        print(f"Median of {args.runs} rounds, {time.strftime('%Y-%m-%d')}, "
              f"{(time.monotonic() - started) / 60:.1f} min; load average (1 min) "
              f"{load_before[0]:.1f} before, {load_after[0]:.1f} after.")
        print()
        print_table([table_row(row, runner.samples) for row in rows()])
        print()
        for note in runner.notes:
            print(note)
        missed = sum(1 for row in rows() if table_row(row, runner.samples)[5] == "NO")
        print(f"Goals missed: {missed}.")
    finally:
        shutil.rmtree(work)


if __name__ == "__main__":
    main()
