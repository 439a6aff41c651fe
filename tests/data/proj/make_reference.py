#!/usr/bin/env python3
"""Makes the projection reference files in this folder with PROJ's `proj` program.

Usage: python3 make_reference.py          (run from anywhere; needs proj-bin, PROJ 9)

Each output file starts with comment lines that give the exact PROJ definition used, then
one point per line:  latitude_deg longitude_deg easting_m northing_m
The latitude/longitude text is the input handed to PROJ; easting/northing are PROJ's output.
Points are drawn with a fixed seed over each grid's area, so reruns give the same files.
Ellipsoids are given as +a/+es with the datum table's figures, so the comparison is made on
exactly the same ellipsoid without any datum shift.
"""
import math
import os
import random
import subprocess

HERE = os.path.dirname(os.path.abspath(__file__))

ELLIPSOIDS = {  # a, e^2 as in the datum table
    "bessel": (6377397.155, 0.006674372230614),
    "intl": (6378388.0, 0.006722670022),
    "clarke1880ign": (6378249.2, 0.00680348764),
    "grs80": (6378137.0, 0.006694380023011),
    "clarke1866": (6378206.4, 0.006768658),
}


def ell(name):
    a, es = ELLIPSOIDS[name]
    return f"+a={a!r} +es={es!r}"


def belgian_lon0(lon0, lat1, lat2, name):
    """The Belgian variant subtracts a fixed angle from theta = n (lon - lon0); PROJ's lcc has
    no such term, but the same result comes from moving lon0 east by that angle over the cone
    constant n, which depends only on the published parallels and the ellipsoid."""
    a, es = ELLIPSOIDS[name]
    e = math.sqrt(es)

    def t(p):
        return math.tan(math.pi / 4 - p / 2) / ((1 - e * math.sin(p)) / (1 + e * math.sin(p))) ** (e / 2)

    def m(p):
        return math.cos(p) / math.sqrt(1 - es * math.sin(p) ** 2)

    p1, p2 = math.radians(lat1), math.radians(lat2)
    n = (math.log(m(p1)) - math.log(m(p2))) / (math.log(t(p1)) - math.log(t(p2)))
    return lon0 + math.degrees(0.0001420431363598774 / n)


def lcc(lat0, lon0, lat1, lat2, fe, fn, name):
    return (f"+proj=lcc +lat_0={lat0!r} +lon_0={lon0!r} +lat_1={lat1!r} +lat_2={lat2!r} "
            f"+x_0={fe!r} +y_0={fn!r} {ell(name)}")


SWISS = "+proj=somerc +lat_0=46.9524055556 +lon_0=7.4395833333 +k_0=1 {} " + ell("bessel")
FRANCE = (41.3, 51.1, -5.1, 9.6)

# file name, PROJ definition, area (lat min, lat max, lon min, lon max), point count
GRIDS = [
    ("grid07_swiss_lv03.txt", SWISS.format("+x_0=600000 +y_0=200000"), (45.8, 47.8, 5.95, 10.5), 60),
    ("grid08_swiss_lv95.txt", SWISS.format("+x_0=2600000 +y_0=1200000"), (45.8, 47.8, 5.95, 10.5), 60),
    ("grid21_nzmg.txt", "+proj=nzmg +lat_0=-41 +lon_0=173 +x_0=2510000 +y_0=6023150 " + ell("intl"),
     (-47.4, -34.4, 166.4, 178.6), 80),
    ("grid22_belgian_lambert72.txt",
     lcc(90, belgian_lon0(4.3569397222, 49.8333333333, 51.1666666667, "intl"), 49.8333333333,
         51.1666666667, 150000.01, 5400088.44, "intl"), (49.5, 51.5, 2.55, 6.4), 60),
    ("grid23_lambert_1.txt", lcc(49.5, 2.3372291667, 48.5985227778, 50.3959116667, 600000, 200000,
                                 "clarke1880ign"), (48.1, 51.1, -4.8, 8.2), 60),
    ("grid24_lambert_2.txt", lcc(46.8, 2.3372291667, 45.8989188889, 47.6960144444, 600000, 200000,
                                 "clarke1880ign"), (45.4, 48.2, -5.0, 8.0), 60),
    ("grid25_lambert_3.txt", lcc(44.1, 2.3372291667, 43.1992913889, 44.9960938889, 600000, 200000,
                                 "clarke1880ign"), (42.2, 45.5, -2.0, 7.7), 60),
    ("grid26_lambert_4.txt", lcc(42.165, 2.3372291667, 41.5603877778, 42.7676633333, 234.358,
                                 185861.369, "clarke1880ign"), (41.3, 43.1, 8.5, 9.6), 40),
    ("grid27_lambert_93.txt", lcc(46.5, 3, 44, 49, 700000, 6600000, "grs80"), FRANCE, 80),
    ("grid34_dutch_rd.txt", "+proj=sterea +lat_0=52.1561605556 +lon_0=5.3876388889 +k=0.9999079 "
     "+x_0=155000 +y_0=463000 " + ell("bessel"), (50.75, 53.55, 3.35, 7.25), 60),
    ("grid45_lambert_2_extended.txt", lcc(46.8, 2.3372291667, 45.8989188889, 47.6960144444, 600000,
                                          2200000, "clarke1880ign"), FRANCE, 80),
    ("grid46_conic_45_49_ntf.txt", lcc(47, 2.3372291667, 45, 49, 600000, 600000, "clarke1880ign"),
     FRANCE, 80),
    # State Plane Lambert zones shown in the zone tables' telling rows.
    ("spcs27_0407.txt", lcc(34.1333333333, -118.3333333333, 33.8666666667, 34.4166666667,
                            1276106.4505969, 1268253.00685801, "clarke1866"),
     (33.6, 34.9, -118.95, -117.6), 30),
    ("spcs27_5010.txt", lcc(51, -176, 51.8333333333, 53.8333333333, 914401.82880366, 0,
                            "clarke1866"), (51.2, 54.4, 172.0, 196.0), 40),
    ("spcs83_0401.txt", lcc(39.3333333333, -122, 40, 41.6666666667, 2000000, 500000, "grs80"),
     (39.5, 42.1, -124.5, -119.9), 30),
    ("spcs83_2111.txt", lcc(44.7833333333, -87, 45.4833333333, 47.0833333333, 8000000, 0, "grs80"),
     (45.0, 47.6, -90.5, -83.3), 30),
]

# UTM zone 32 on the ED50 ellipsoid: the step before the System 34 polynomials.
UTM32 = "+proj=utm +zone=32 " + ell("intl")
PLACES = [  # name, latitude, longitude (degrees)
    ("Jylland_56N_9E", 56.0, 9.0),
    ("Aarhus", 56.1572, 10.2107),
    ("Aalborg", 57.0488, 9.9217),
    ("Esbjerg", 55.4765, 8.4594),
    ("Viborg", 56.4532, 9.4020),
    ("Skagen", 57.7209, 10.5839),
    ("Copenhagen", 55.6761, 12.5683),
    ("Roskilde", 55.6415, 12.0803),
    ("Naestved", 55.2299, 11.7609),
    ("Holbaek", 55.7175, 11.7128),
    ("South_54N_9E", 54.0, 9.0),
    ("South_54N_12E", 54.0, 12.0),
]


def run_proj(definition, lonlat):
    text = "".join(f"{lon} {lat}\n" for lon, lat in lonlat)
    out = subprocess.run(["proj", "-f", "%.5f"] + definition.split(), input=text,
                         capture_output=True, text=True, check=True).stdout
    return [line.split() for line in out.splitlines()]


def wrap(lon):
    return lon - 360.0 if lon > 180.0 else lon


def make_grid(name, definition, area, count, rng):
    lat0, lat1, lon0, lon1 = area
    points = [(f"{wrap(rng.uniform(lon0, lon1)):.9f}", f"{rng.uniform(lat0, lat1):.9f}")
              for _ in range(count)]
    rows = run_proj(definition, points)
    with open(os.path.join(HERE, name), "w") as f:
        f.write(f"# proj -f %.5f {definition}\n")
        f.write("# made by make_reference.py; latitude_deg longitude_deg easting_m northing_m\n")
        for (lon, lat), (e, n) in zip(points, rows):
            f.write(f"{lat} {lon} {e} {n}\n")


def make_places():
    rows = run_proj(UTM32, [(lon, lat) for _, lat, lon in PLACES])
    with open(os.path.join(HERE, "utm32_ed50_places.txt"), "w") as f:
        f.write(f"# proj -f %.5f {UTM32}\n")
        f.write("# made by make_reference.py; name latitude_deg longitude_deg easting_m northing_m\n")
        for (name, lat, lon), (e, n) in zip(PLACES, rows):
            f.write(f"{name} {lat} {lon} {e} {n}\n")


ZONE_TABLES = os.path.join(HERE, "..", "..", "..", "src", "geo", "ZoneTables.cpp")
NAD27_ELLIPSOID = {19: "grs80", 20: "clarke1866", 21: "clarke1866", 22: "clarke1866",
                   23: "clarke1866"}


def lambert_zones():
    """(grid, zone code, datum, EPSG conversion) of every Lambert row of the zone tables; the
    conversion code is the one each row's comment names. Only that mapping is read from the
    table: the projection parameters come from PROJ's EPSG dataset."""
    zones, grid = [], 30
    with open(ZONE_TABLES) as f:
        for line in f:
            if "StatePlaneZones83" in line and "[]" in line:
                grid = 31
            if "Zone(" not in line or "//" not in line:
                continue
            args = line.split("Zone(")[1].split(")")[0].split(",")
            if int(args[1]) != 5:
                continue
            zones.append((grid, int(args[-1]), int(args[0]), line.split("//")[1].split()[0]))
    return zones


def epsg_conversion(code):
    out = subprocess.run(["projinfo", "-k", "operation", f"EPSG:{code}", "-o", "PROJ", "-q"],
                         capture_output=True, text=True, check=True).stdout
    words = [w for w in out.split() if not w.startswith("+units=") and w != "+no_defs"]
    return " ".join(words)


def make_state_plane(rng):
    """A few points over each Lambert State Plane zone of both tables, against the zone's EPSG
    conversion on the zone datum's ellipsoid."""
    with open(os.path.join(HERE, "spcs_lambert_all.txt"), "w") as f:
        f.write("# every Lambert row of both State Plane tables: proj -f %.5f <EPSG conversion> +a +es\n")
        f.write("# made by make_reference.py; grid zone latitude_deg longitude_deg easting_m northing_m\n")
        for grid, zone, datum, code in lambert_zones():
            definition = epsg_conversion(code) + " " + ell(NAD27_ELLIPSOID[datum])
            params = dict(w[1:].split("=") for w in definition.split() if "=" in w)
            lat1, lat2 = float(params["lat_1"]), float(params["lat_2"])
            lon0 = float(params["lon_0"])
            points = [(f"{wrap(rng.uniform(lon0 - 2.5, lon0 + 2.5)):.9f}",
                       f"{rng.uniform(min(lat1, lat2) - 0.6, max(lat1, lat2) + 0.6):.9f}")
                      for _ in range(6)]
            f.write(f"# {grid} {zone} EPSG:{code} {definition}\n")
            for (lon, lat), (e, n) in zip(points, run_proj(definition, points)):
                f.write(f"{grid} {zone} {lat} {lon} {e} {n}\n")


def main():
    rng = random.Random(20240417)
    for name, definition, area, count in GRIDS:
        make_grid(name, definition, area, count, rng)
    make_places()
    make_state_plane(random.Random(1983))


if __name__ == "__main__":
    main()
