#!/usr/bin/env python3
"""Makes the PROJ reference data of the geodesy tests: geo/tm_reference.txt and
geo/datum_reference.txt (cs2cs, cct), and the projection files under proj/ (proj, projinfo).
Needs PROJ 9 (Debian proj-bin and proj-data); the tests themselves never need PROJ.

usage: python3 make_reference.py   (run from anywhere; rewrites the files beside it)

Every conversion is described to PROJ with the library's own figures, read from its ellipsoid,
datum and grid tables (src/geo/Datum.cpp, Grid.cpp): the ellipsoid as a and e^2 (+a, +es), the
seven shift parameters as +towgs84 or a Helmert step (rotations in arc-seconds,
position-vector convention, scale in ppm) and the projection parameters of the grid row.
+proj=tmerc +approx is the same Snyder series the library uses. State Plane zones take their
projection parameters from PROJ's EPSG dataset (projinfo), not from the library's zone tables.
Points are drawn with fixed seeds over each grid's area, so reruns give the same files.
"""
import math
import os
import random
import re
import subprocess

HERE = os.path.dirname(os.path.abspath(__file__))
SRC = os.path.join(HERE, '..', '..', 'src', 'geo')
ARCSEC_PER_RADIAN = 180 * 3600 / math.pi
BAND = 3.5  # degrees from the central meridian within which the inverse is compared too


def read(name):
    with open(os.path.join(SRC, name)) as f:
        return f.read()


def library_tables():
    """Datum id -> ((a, e^2), dx, dy, dz, rx, ry, rz, ds) and grid id -> the grid row's nine
    figures as written in the source, so PROJ definitions carry them digit for digit."""
    text = read('Datum.cpp')
    by_index = {int(i): (float(a), float(es))
                for a, es, i in re.findall(r'\{([\d.]+), ([\d.]+)\},\s*// (\d+)', text)}
    names = {n: int(i) for n, i in re.findall(r'(\w+) = (\d+)', text)}
    table = text[text.index('Datums[] = {'):]
    datums = [(by_index[names.get(e, 0)], *map(float, p.split(',')))
              for e, p in re.findall(r'\{(\w+), \{([^}]*)\}\}', table[:table.index('};')])]
    grids = {int(i): [v.strip() for v in row.split(',')]
             for row, i in re.findall(r'Row\(([^)]*)\),?\s*// (\d+)', read('Grid.cpp'))}
    return datums, grids


DATUMS, GRIDS = library_tables()

# A rough area of use per datum (lat min, lat max, lon min, lon max) for the shift tests.
DATUM_AREAS = {
    1: (-80, 80, -180, 180), 2: (35, 71, -10, 30), 3: (50, 58.5, -7.5, 1.5),
    4: (45.8, 47.8, 6, 10.5), 5: (55.3, 69, 11, 24), 6: (51.5, 55.3, -10.5, -6),
    7: (59.8, 70, 20, 31.5), 8: (49.4, 50.2, 5.7, 6.55), 9: (-80, 80, -180, 180),
    10: (-44, -10, 112, 154), 11: (-44, -10, 112, 154), 12: (46.4, 49, 9.5, 17.2),
    13: (-47.5, -34, 166, 179), 14: (-47.5, -34, 166, 179), 15: (41.3, 51.1, -5, 9.6),
    16: (49.5, 51.5, 2.5, 6.4), 17: (35, 71, -10, 30), 18: (47.3, 55, 5.9, 15),
    19: (25, 49, -125, -67), 20: (51, 71, -170, -130), 21: (25, 47, -90, -67),
    22: (25, 49, -125, -67), 23: (31, 49, -125, -102), 24: (50.8, 53.5, 3.4, 7.2),
    25: (36.6, 47.1, 6.6, 18.5), 26: (58, 71, 5, 31), 27: (54.5, 58, 8, 15),
}
# The area the points of each transverse Mercator grid are spread over.
EUROPE, US = (35, 71, -10, 30), (25, 49, -125, -67)
IRELAND, AUSTRALIA = (51.5, 55.3, -10.5, -6), (-44, -10, 112, 154)
TM_AREAS = {
    1: (0, 80, -180, 180), 2: (-80, 0, -180, 180), 3: (50, 58.5, -7.5, 1.5), 4: IRELAND,
    5: IRELAND, 6: (55.3, 69, 11, 24), 9: (59.8, 70, 19.5, 22.5), 10: (59.8, 70, 21, 27),
    11: (59.8, 70, 24, 30), 12: (61, 70, 28.5, 31.5), 13: EUROPE, 14: (49.4, 50.2, 5.7, 6.55),
    15: AUSTRALIA, 16: AUSTRALIA, 17: (46.4, 49, 9.5, 11.8), 18: (46.4, 49, 11.8, 14.8),
    19: (46.4, 49, 14.8, 17.2), 20: (-47.5, -34, 166, 179), 28: EUROPE, 29: (47.3, 55, 5.9, 15),
    32: US, 33: US, 35: (37, 47.1, 6.6, 12), 36: (36.6, 47, 12, 18.5), 37: (58, 62, 4.5, 7.5),
    38: (58, 64, 6.5, 10), 39: (58, 65, 9, 12.5), 40: (63, 68, 11.5, 15), 41: (66, 70, 15, 18.5),
    42: (68, 71, 19, 22.5), 43: (68, 71, 23, 27), 44: (69, 71, 27, 31), 47: (54.5, 58, 8, 15),
}
GRID_3 = 29  # Gauss-Krueger 3-degree; the 6-degree zoned grids are the UTM rows

# A sample of State Plane zones on transverse Mercator: grid, zone code, datum id and the EPSG
# projected CRS of the zone (1983 zone 2300 is the library's Mississippi Transverse Mercator).
STATE_PLANE = [
    (30, 101, 21, 26729), (30, 5002, 20, 26732), (30, 201, 23, 26748), (30, 1201, 22, 26771),
    (30, 2101, 21, 5623), (30, 3101, 21, 32015), (30, 5101, 23, 3561), (31, 101, 19, 2759),
    (31, 5002, 19, 3469), (31, 201, 19, 2761), (31, 1201, 19, 2790), (31, 3101, 19, 2828),
    (31, 5101, 19, 2782), (31, 2300, 19, 3814),
]

# proj/ files of grid rows: name, grid, area (lat min, lat max, lon min, lon max), points.
FRANCE = (41.3, 51.1, -5.1, 9.6)
GRID_FILES = [
    ('grid07_swiss_lv03', 7, (45.8, 47.8, 5.95, 10.5), 60),
    ('grid08_swiss_lv95', 8, (45.8, 47.8, 5.95, 10.5), 60),
    ('grid21_nzmg', 21, (-47.4, -34.4, 166.4, 178.6), 80),
    ('grid22_belgian_lambert72', 22, (49.5, 51.5, 2.55, 6.4), 60),
    ('grid23_lambert_1', 23, (48.1, 51.1, -4.8, 8.2), 60),
    ('grid24_lambert_2', 24, (45.4, 48.2, -5.0, 8.0), 60),
    ('grid25_lambert_3', 25, (42.2, 45.5, -2.0, 7.7), 60),
    ('grid26_lambert_4', 26, (41.3, 43.1, 8.5, 9.6), 40),
    ('grid27_lambert_93', 27, FRANCE, 80),
    ('grid34_dutch_rd', 34, (50.75, 53.55, 3.35, 7.25), 60),
    ('grid45_lambert_2_extended', 45, FRANCE, 80),
    ('grid46_conic_45_49_ntf', 46, FRANCE, 80),
]
# State Plane Lambert zones shown in the zone tables' telling rows, with their EPSG figures.
SPCS_FILES = [
    ('spcs27_0407', 20, '+lat_0=34.1333333333 +lon_0=-118.3333333333 +lat_1=33.8666666667 '
     '+lat_2=34.4166666667 +x_0=1276106.4505969 +y_0=1268253.00685801',
     (33.6, 34.9, -118.95, -117.6), 30),
    ('spcs27_5010', 20, '+lat_0=51 +lon_0=-176 +lat_1=51.8333333333 +lat_2=53.8333333333 '
     '+x_0=914401.82880366 +y_0=0', (51.2, 54.4, 172.0, 196.0), 40),
    ('spcs83_0401', 19, '+lat_0=39.3333333333 +lon_0=-122 +lat_1=40 +lat_2=41.6666666667 '
     '+x_0=2000000 +y_0=500000', (39.5, 42.1, -124.5, -119.9), 30),
    ('spcs83_2111', 19, '+lat_0=44.7833333333 +lon_0=-87 +lat_1=45.4833333333 '
     '+lat_2=47.0833333333 +x_0=8000000 +y_0=0', (45.0, 47.6, -90.5, -83.3), 30),
]
# UTM zone 32 on the ED50 ellipsoid: the step before the System 34 polynomials.
PLACES = [('Jylland_56N_9E', 56.0, 9.0), ('Aarhus', 56.1572, 10.2107), ('Aalborg', 57.0488, 9.9217),
          ('Esbjerg', 55.4765, 8.4594), ('Viborg', 56.4532, 9.4020), ('Skagen', 57.7209, 10.5839),
          ('Copenhagen', 55.6761, 12.5683), ('Roskilde', 55.6415, 12.0803),
          ('Naestved', 55.2299, 11.7609), ('Holbaek', 55.7175, 11.7128),
          ('South_54N_9E', 54.0, 9.0), ('South_54N_12E', 54.0, 12.0)]


def ell(datum):
    a, es = DATUMS[datum][0]
    return '+a=%r +es=%r' % (a, es)


def towgs84(datum):
    _, dx, dy, dz, rx, ry, rz, ds = DATUMS[datum]
    rot = [r * ARCSEC_PER_RADIAN for r in (rx, ry, rz)]
    return '+towgs84=%r,%r,%r,%r,%r,%r,%r' % (dx, dy, dz, rot[0], rot[1], rot[2], ds * 1e6)


def geographic(datum):
    return ['+proj=longlat'] + ell(datum).split() + [towgs84(datum), '+no_defs']


def run(args, lines):
    return subprocess.run(args, input='\n'.join(lines) + '\n', capture_output=True, text=True,
                          check=True).stdout.split('\n')[:len(lines)]


def run_cs2cs(source, target, lines):
    out = run(['cs2cs', '-f', '%.10f'] + source + ['+to'] + target, lines)
    return [[float(v) for v in line.split()] for line in out]


def tmerc(datum, fe, fn, lon0, lat0, k0):
    return (['+proj=tmerc', '+approx', '+lat_0=%r' % lat0, '+lon_0=%r' % lon0, '+k_0=%r' % k0,
             '+x_0=%r' % fe, '+y_0=%r' % fn] + ell(datum).split() + [towgs84(datum), '+units=m',
                                                                      '+no_defs'])


def state_plane_tmerc(crs, datum):
    proj = subprocess.run(['projinfo', '-o', 'PROJ', '-q', 'EPSG:%s' % crs], capture_output=True,
                          text=True, check=True).stdout.split()
    keep = [p for p in proj if p.split('=')[0] in ('+proj', '+lat_0', '+lon_0', '+k', '+k_0',
                                                     '+x_0', '+y_0')]
    assert '+proj=tmerc' in keep, (crs, proj)
    params = dict(p[1:].split('=') for p in keep if '=' in p)
    k0 = float(params.get('k', params.get('k_0', 1)))
    return ([p for p in keep if not p.startswith('+k')] + ['+k_0=%r' % k0, '+approx'] +
            ell(datum).split() + [towgs84(datum), '+units=m', '+no_defs'],
            float(params['lon_0']), float(params['lat_0']))


def sample_points(rng, area, count):
    lat0, lat1, lon0, lon1 = area
    return [(rng.uniform(lat0, lat1), rng.uniform(lon0, lon1), rng.uniform(0, 500))
            for _ in range(count)]


def write_tm_case(out, grid, zone, target, central, points):
    forward = run_cs2cs(geographic(1), target, ['%r %r %r' % (x, y, h) for y, x, h in points])
    inverse = run_cs2cs(target, geographic(1), ['%.10f %.10f 0' % (e, n) for e, n, _ in forward])
    # A projected CRS made from a PROJ string is two-dimensional: the inverse gives no height.
    for (lat, lon, h), (e, n, _), (ilon, ilat, _) in zip(points, forward, inverse):
        band = 1 if abs(lon - central) <= BAND else 0
        out.write('%d %d %.10f %.10f %.4f %.6f %.6f %d %.12f %.12f\n' %
                  (grid, zone, lat, lon, h, e, n, band, ilat, ilon))


def tm_reference(rng):
    with open(os.path.join(HERE, 'geo', 'tm_reference.txt'), 'w') as out:
        version = subprocess.run(['cs2cs'], capture_output=True, text=True).stderr.split(',')[0]
        out.write('# Made by make_reference.py with PROJ cs2cs %s, +proj=tmerc +approx.\n' %
                  version.strip())
        out.write('# grid zone lat lon h(WGS 84) easting northing band lat lon(WGS 84 from '
                  'easting northing)\n')
        out.write('# zone: the zone of the point (State Plane: the zone code); band 1: within '
                  '%.1f degrees of the central meridian\n' % BAND)
        for grid, area in sorted(TM_AREAS.items()):
            datum, _, fe, fn, lon0, lat0, k0 = map(float, GRIDS[grid][:7])
            zoned = lon0 == 3 and k0 == 0.9996  # the UTM rows: zones of 6 degrees
            points = sample_points(rng, area, 400 if zoned or grid == GRID_3 else 24)
            groups = {}
            for lat, lon, h in points:
                zone = int(math.floor(lon / 6)) + 31 if zoned else \
                    int(math.floor(lon / 3)) if grid == GRID_3 else 0
                groups.setdefault(zone, []).append((lat, lon, h))
            for zone, group in sorted(groups.items()):
                central = (zone - 31) * 6 + 3 if zoned else zone * 3 if grid == GRID_3 else lon0
                group = group[:6] if zoned or grid == GRID_3 else group
                write_tm_case(out, grid, zone, tmerc(int(datum), fe, fn, central, lat0, k0),
                              central, group)
        for grid, zone, datum, crs in STATE_PLANE:
            target, lon0, lat0 = state_plane_tmerc(crs, datum)
            area = (lat0 + 0.3, lat0 + 3, lon0 - 1.5, lon0 + 1.5)
            write_tm_case(out, grid, zone, target, lon0, sample_points(rng, area, 12))


def cartesian(datum):
    return ['+step', '+proj=cart'] + ell(datum).split()


def helmert(datum):
    _, dx, dy, dz, rx, ry, rz, ds = DATUMS[datum]
    rot = [r * ARCSEC_PER_RADIAN for r in (rx, ry, rz)]
    return ['+step', '+proj=helmert', '+x=%r' % dx, '+y=%r' % dy, '+z=%r' % dz,
            '+rx=%r' % rot[0], '+ry=%r' % rot[1], '+rz=%r' % rot[2], '+s=%r' % (ds * 1e6),
            '+convention=position_vector']


def datum_reference(rng):
    # cs2cs passes the height of a two-dimensional CRS through unchanged, so the shifts are
    # run as explicit cct pipelines: geodetic -> Cartesian -> Helmert -> geodetic, in 3D.
    with open(os.path.join(HERE, 'geo', 'datum_reference.txt'), 'w') as out:
        out.write('# Made by make_reference.py with PROJ cct pipelines (cart, helmert with '
                  'convention=position_vector, the library\'s figures).\n')
        out.write('# datum direction lat lon h -> lat lon h; direction 1: from the datum to '
                  'WGS 84, -1: from WGS 84 to the datum\n')
        for datum in range(2, 28):
            points = sample_points(rng, DATUM_AREAS[datum], 10)
            lines = ['%r %r %r 0' % (lon, lat, h) for lat, lon, h in points]
            to_wgs = cartesian(datum) + helmert(datum) + ['+step', '+inv'] + cartesian(1)[1:]
            from_wgs = cartesian(1) + ['+step', '+inv'] + helmert(datum)[1:] + \
                ['+step', '+inv'] + cartesian(datum)[1:]
            for direction, pipeline in ((1, to_wgs), (-1, from_wgs)):
                out_lines = run(['cct', '-d', '12', '+proj=pipeline'] + pipeline, lines)
                for (lat, lon, h), line in zip(points, out_lines):
                    rlon, rlat, rh = map(float, line.split()[:3])
                    out.write('%d %d %.10f %.10f %.4f %.12f %.12f %.6f\n' %
                              (datum, direction, lat, lon, h, rlat, rlon, rh))


def belgian_lon0(lon0, lat1, lat2, datum):
    """The Belgian variant subtracts a fixed angle from theta = n (lon - lon0); PROJ's lcc has
    no such term, but the same result comes from moving lon0 east by that angle over the cone
    constant n, which depends only on the published parallels and the ellipsoid."""
    es = DATUMS[datum][0][1]
    e = math.sqrt(es)

    def t(p):
        return math.tan(math.pi / 4 - p / 2) / ((1 - e * math.sin(p)) /
                                                (1 + e * math.sin(p))) ** (e / 2)

    def m(p):
        return math.cos(p) / math.sqrt(1 - es * math.sin(p) ** 2)

    p1, p2 = math.radians(lat1), math.radians(lat2)
    n = (math.log(m(p1)) - math.log(m(p2))) / (math.log(t(p1)) - math.log(t(p2)))
    return lon0 + math.degrees(0.0001420431363598774 / n)


def grid_definition(grid):
    datum, kind, fe, fn, lon0, lat0, k0, lat1, lat2 = GRIDS[grid]
    origin = '+lat_0=%s +lon_0=%s' % (lat0, lon0)
    if kind == '2':
        return '+proj=somerc %s +k_0=%s +x_0=%s +y_0=%s %s' % (origin, k0, fe, fn, ell(int(datum)))
    if kind == '8':
        return '+proj=sterea %s +k=%s +x_0=%s +y_0=%s %s' % (origin, k0, fe, fn, ell(int(datum)))
    if kind == '4':  # the row holds no parameters: they are the projection's own
        return '+proj=nzmg +lat_0=-41 +lon_0=173 +x_0=2510000 +y_0=6023150 ' + ell(int(datum))
    if kind == '6':
        lon0 = repr(belgian_lon0(float(lon0), float(lat1), float(lat2), int(datum)))
    return '+proj=lcc +lat_0=%s +lon_0=%s +lat_1=%s +lat_2=%s +x_0=%s +y_0=%s %s' % (
        lat0, lon0, lat1, lat2, fe, fn, ell(int(datum)))


def run_proj(definition, lonlat):
    out = run(['proj', '-f', '%.5f'] + definition.split(), ['%s %s' % p for p in lonlat])
    return [line.split() for line in out]


def wrap(lon):
    return lon - 360.0 if lon > 180.0 else lon


def random_points(rng, lat0, lat1, lon0, lon1, count):
    return [('%.9f' % wrap(rng.uniform(lon0, lon1)), '%.9f' % rng.uniform(lat0, lat1))
            for _ in range(count)]


def write_proj_file(name, definition, points, columns, rows_prefix=''):
    with open(os.path.join(HERE, 'proj', name + '.txt'), 'w') as f:
        f.write('# proj -f %%.5f %s\n# made by make_reference.py; %s\n' % (definition, columns))
        for (lon, lat), (e, n) in zip(points, run_proj(definition, points)):
            f.write('%s%s %s %s %s\n' % (rows_prefix, lat, lon, e, n))


def lambert_zones():
    """(grid, zone code, datum, EPSG conversion) of every Lambert row of the zone tables; the
    conversion code is the one each row's comment names. Only that mapping is read from the
    table: the projection parameters come from PROJ's EPSG dataset."""
    zones, grid = [], 30
    for line in read('ZoneTables.cpp').splitlines():
        if 'StatePlaneZones83' in line and '[]' in line:
            grid = 31
        if 'Zone(' not in line or '//' not in line:
            continue
        args = line.split('Zone(')[1].split(')')[0].split(',')
        if int(args[1]) == 5:
            zones.append((grid, int(args[-1]), int(args[0]), line.split('//')[1].split()[0]))
    return zones


def projection_files():
    columns = 'latitude_deg longitude_deg easting_m northing_m'
    rng = random.Random(20240417)
    for name, grid, area, count in GRID_FILES:
        write_proj_file(name, grid_definition(grid), random_points(rng, *area, count), columns)
    for name, datum, definition, area, count in SPCS_FILES:
        definition = '+proj=lcc %s %s' % (definition, ell(datum))
        write_proj_file(name, definition, random_points(rng, *area, count), columns)
    utm32 = '+proj=utm +zone=32 ' + ell(16)
    rows = run_proj(utm32, [(lon, lat) for _, lat, lon in PLACES])
    with open(os.path.join(HERE, 'proj', 'utm32_ed50_places.txt'), 'w') as f:
        f.write('# proj -f %%.5f %s\n# made by make_reference.py; name %s\n' % (utm32, columns))
        for (name, lat, lon), (e, n) in zip(PLACES, rows):
            f.write('%s %s %s %s %s\n' % (name, lat, lon, e, n))
    # A few points over each Lambert State Plane zone of both tables, against the zone's EPSG
    # conversion on the zone datum's ellipsoid.
    rng = random.Random(1983)
    with open(os.path.join(HERE, 'proj', 'spcs_lambert_all.txt'), 'w') as f:
        f.write('# every Lambert row of both State Plane tables: proj -f %%.5f <EPSG conversion> '
                '+a +es\n# made by make_reference.py; grid zone %s\n' % columns)
        for grid, zone, datum, code in lambert_zones():
            out = subprocess.run(['projinfo', '-k', 'operation', 'EPSG:' + code, '-o', 'PROJ',
                                  '-q'], capture_output=True, text=True, check=True).stdout
            definition = ' '.join([w for w in out.split() if not w.startswith('+units=') and
                                   w != '+no_defs'] + [ell(datum)])
            params = dict(w[1:].split('=') for w in definition.split() if '=' in w)
            lat1, lat2, lon0 = (float(params[k]) for k in ('lat_1', 'lat_2', 'lon_0'))
            points = random_points(rng, min(lat1, lat2) - 0.6, max(lat1, lat2) + 0.6, lon0 - 2.5,
                                   lon0 + 2.5, 6)
            f.write('# %d %d EPSG:%s %s\n' % (grid, zone, code, definition))
            for (lon, lat), (e, n) in zip(points, run_proj(definition, points)):
                f.write('%d %d %s %s %s %s\n' % (grid, zone, lat, lon, e, n))


if __name__ == '__main__':
    rng = random.Random(20240611)
    tm_reference(rng)
    datum_reference(rng)
    projection_files()
