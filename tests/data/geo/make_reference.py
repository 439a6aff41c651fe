#!/usr/bin/env python3
"""Makes the PROJ reference data of the geodesy tests. Needs PROJ's cs2cs and projinfo (Debian
proj-bin) and proj.db (proj-data); the tests themselves never need PROJ.

usage: make_reference.py   (writes tm_reference.txt and datum_reference.txt beside itself;
                            needs cs2cs, cct and projinfo)

Every conversion is described to PROJ with the library's own figures: the ellipsoid as a and
e^2 (+a, +es), the seven shift parameters as +towgs84 (rotations in arc-seconds,
position-vector convention, scale in ppm) and the projection parameters of the grid row.
+proj=tmerc +approx is the same Snyder series the library uses. State Plane zones take their
projection parameters from projinfo's PROJ string of the EPSG projected CRS.
"""
import math
import os
import random
import sqlite3
import subprocess

HERE = os.path.dirname(os.path.abspath(__file__))
ARCSEC_PER_RADIAN = 180 * 3600 / math.pi

ELLIPSOIDS = {
    'Airy 1830': (6377563.396, 0.00667054), 'Airy modified': (6377340.189, 0.00667054015),
    'Australian National': (6378160.0, 0.006694541855),
    'Bessel 1841': (6377397.155, 0.006674372230614), 'Clarke 1866': (6378206.4, 0.006768658),
    'GRS 80': (6378137.0, 0.006694380023011), 'International 1924': (6378388.0, 0.006722670022),
    'WGS 72': (6378135.0, 0.00669431778), 'WGS 84': (6378137.0, 0.006694379990197),
    'Clarke 1880 (IGN)': (6378249.2, 0.00680348764), 'Bessel modified': (6377492.018, 0.006674373),
}

# id: ellipsoid, dx, dy, dz (m), rx, ry, rz (rad), ds (fraction): the library's datum table.
DATUMS = {
    1: ('WGS 84', 0, 0, 0, 0, 0, 0, 0),
    2: ('GRS 80', 0, 0, 0, 0, 0, 0, 0),
    3: ('Airy 1830', 375.0, -111.0, 431.0, 0, 0, 0, 0),
    4: ('Bessel 1841', 674.374, 15.056, 405.346, 0, 0, 0, 0),
    5: ('Bessel 1841', 414.1055246174, 41.3265500042, 603.0582474221, -4.14572099457242e-06, 1.03813997378438e-05, -3.40471549964131e-05, 0),
    6: ('Airy modified', 482.53, -130.596, 564.557, -5.05175855716137e-06, -1.03750127757441e-06, -3.05917432780117e-06, 8.15e-06),
    7: ('International 1924', -90.7, -106.1, -119.2, 1.982887955738e-05, 1.05689382481879e-06, -5.09054365165013e-06, 1.37e-06),
    8: ('International 1924', -192.986, 13.673, -39.309, -1.98725127886799e-06, -1.42205548943049e-05, 1.30322765619054e-05, 4.3e-07),
    9: ('WGS 72', 0, 0, 4.5, 0, 0, 2.68586779334683e-06, 2.19e-07),
    10: ('Australian National', -116.0, -50.47, 141.69, 1.11507146655193e-06, 1.89077335632719e-06, 1.6677590630168e-06, 9.83e-08),
    11: ('GRS 80', 0, 0, 0, 0, 0, 0, 0),
    12: ('Bessel 1841', 577.326, 90.129, 463.919, 2.49029395438724e-05, 7.14712328691678e-06, 2.56805806883721e-05, 2.4232e-06),
    13: ('International 1924', 59.47, -5.04, 187.44, 2.27862430121482e-06, -4.84813681109536e-07, 4.96449209456165e-06, -4.5993e-06),
    14: ('GRS 80', 0, 0, 0, 0, 0, 0, 0),
    15: ('Clarke 1880 (IGN)', -168.0, -60.0, 320.0, 0, 0, 0, 0),
    16: ('International 1924', -99.1, 53.3, -112.5, 2.03136932384896e-06, -4.02395355320915e-06, 9.13873788891475e-06, -1e-06),
    17: ('International 1924', -89.5, -93.8, -123.1, 0, 0, -7.56309342530876e-07, 1.2e-06),
    18: ('Bessel 1841', 582.0, 105.0, 414.0, 5.04206228353917e-06, 1.69684788388338e-06, -1.49322613781737e-05, 8.3e-06),
    19: ('GRS 80', 0, 0, 0, 0, 0, 0, 0),
    20: ('Clarke 1866', -5.0, 135.0, 172.0, 0, 0, 0, 0),
    21: ('Clarke 1866', -9.0, 161.0, 179.0, 0, 0, 0, 0),
    22: ('Clarke 1866', -8.0, 160.0, 176.0, 0, 0, 0, 0),
    23: ('Clarke 1866', -8.0, 159.0, 175.0, 0, 0, 0, 0),
    24: ('Bessel 1841', 565.0, 49.9, 465.8, -1.982887955738e-06, 1.74532925199433e-06, -9.06116769993723e-06, 4.08e-06),
    25: ('International 1924', -104.1, -49.1, -9.9, 4.70754084357359e-06, -1.41420150779652e-05, 3.46156968312209e-06, -1.168e-05),
    26: ('Bessel modified', 278.3, 93.0, 474.5, 3.82469513027313e-05, 2.42406840554768e-07, -3.20461843213403e-05, 6.21e-06),
    27: ('International 1924', -81.0703, -89.3603, -115.7526, 2.35076457696392e-06, 1.18100612718283e-07, 2.00329861171271e-06, -5.40645e-07),
}

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

# Transverse Mercator grids of the grid table: datum, FE, FN, lon0, lat0, k0 (degrees), and
# the area the test points are spread over (lat min, lat max, lon min, lon max).
TM_GRIDS = {
    1: (1, 500000, 0, 3, 0, 0.9996, (0, 80, -180, 180)),
    2: (1, 500000, 10000000, 3, 0, 0.9996, (-80, 0, -180, 180)),
    3: (3, 400000, -100000, -2, 49, 0.9996012717, (50, 58.5, -7.5, 1.5)),
    4: (6, 200000, 250000, -8, 53.5, 1.000035, (51.5, 55.3, -10.5, -6)),
    5: (2, 600000, 750000, -8, 53.5, 0.99982, (51.5, 55.3, -10.5, -6)),
    6: (5, 1500000, 0, 15.8082777778, 0, 1, (55.3, 69, 11, 24)),
    9: (7, 1500000, 0, 21, 0, 1, (59.8, 70, 19.5, 22.5)),
    10: (7, 2500000, 0, 24, 0, 1, (59.8, 70, 21, 27)),
    11: (7, 3500000, 0, 27, 0, 1, (59.8, 70, 24, 30)),
    12: (7, 4500000, 0, 30, 0, 1, (61, 70, 28.5, 31.5)),
    13: (2, 500000, 0, 3, 0, 0.9996, (35, 71, -10, 30)),
    14: (8, 80000, 100000, 6.1666666667, 49.8333333333, 1, (49.4, 50.2, 5.7, 6.55)),
    15: (10, 500000, 10000000, 3, 0, 0.9996, (-44, -10, 112, 154)),
    16: (11, 500000, 10000000, 3, 0, 0.9996, (-44, -10, 112, 154)),
    17: (12, 150000, -5000000, 10.3333333333, 0, 1, (46.4, 49, 9.5, 11.8)),
    18: (12, 450000, -5000000, 13.3333333333, 0, 1, (46.4, 49, 11.8, 14.8)),
    19: (12, 750000, -5000000, 16.3333333333, 0, 1, (46.4, 49, 14.8, 17.2)),
    20: (14, 1600000, 10000000, 173, 0, 0.9996, (-47.5, -34, 166, 179)),
    28: (17, 500000, 0, 3, 0, 0.9996, (35, 71, -10, 30)),
    29: (18, 500000, 0, 0, 0, 1, (47.3, 55, 5.9, 15)),
    32: (22, 500000, 0, 3, 0, 0.9996, (25, 49, -125, -67)),
    33: (19, 500000, 0, 3, 0, 0.9996, (25, 49, -125, -67)),
    35: (25, 1500000, 0, 9, 0, 0.9996, (37, 47.1, 6.6, 12)),
    36: (25, 2520000, 0, 15, 0, 0.9996, (36.6, 47, 12, 18.5)),
    37: (26, 0, 0, 6.05625, 58, 1, (58, 62, 4.5, 7.5)),
    38: (26, 0, 0, 8.3895833333, 58, 1, (58, 64, 6.5, 10)),
    39: (26, 0, 0, 10.7229166667, 58, 1, (58, 65, 9, 12.5)),
    40: (26, 0, 0, 13.2229166667, 58, 1, (63, 68, 11.5, 15)),
    41: (26, 0, 0, 16.8895833333, 58, 1, (66, 70, 15, 18.5)),
    42: (26, 0, 0, 20.8895833333, 58, 1, (68, 71, 19, 22.5)),
    43: (26, 0, 0, 24.8895833333, 58, 1, (68, 71, 23, 27)),
    44: (26, 0, 0, 29.05625, 58, 1, (69, 71, 27, 31)),
    47: (27, 500000, 0, 3, 0, 0.9996, (54.5, 58, 8, 15)),
}
ZONED_6 = {1, 2, 13, 15, 16, 28, 32, 33, 47}
GRID_3 = 29

# A sample of State Plane zones on transverse Mercator: (grid, zone code, datum id).
STATE_PLANE = [
    (30, 101, 21), (30, 5002, 20), (30, 201, 23), (30, 1201, 22), (30, 2101, 21),
    (30, 3101, 21), (30, 5101, 23),
    (31, 101, 19), (31, 5002, 19), (31, 201, 19), (31, 1201, 19), (31, 3101, 19),
    (31, 5101, 19), (31, 2300, 19),
]
# Projected CRS behind the zone codes, found by their EPSG conversion codes (1983 zone 2300
# is the library's Mississippi Transverse Mercator).
SP_CONVERSION = {30: lambda z: 10000 + z, 31: lambda z: 10000 + (z // 100) * 100 + 30 + z % 100}
SP_SUBSTITUTE = {(31, 2300): 3813}

BAND = 3.5  # degrees from the central meridian within which the inverse is compared too


def ellipsoid_args(datum):
    a, es = ELLIPSOIDS[DATUMS[datum][0]]
    return ['+a=%r' % a, '+es=%r' % es]


def towgs84(datum):
    _, dx, dy, dz, rx, ry, rz, ds = DATUMS[datum]
    rot = [r * ARCSEC_PER_RADIAN for r in (rx, ry, rz)]
    return '+towgs84=%r,%r,%r,%r,%r,%r,%r' % (dx, dy, dz, rot[0], rot[1], rot[2], ds * 1e6)


def geographic(datum):
    return ['+proj=longlat'] + ellipsoid_args(datum) + [towgs84(datum), '+no_defs']


def run_cs2cs(source, target, lines, fmt='%.10f'):
    args = ['cs2cs', '-f', fmt] + source + ['+to'] + target
    out = subprocess.run(args, input='\n'.join(lines) + '\n', capture_output=True, text=True,
                         check=True).stdout.split('\n')
    rows = []
    for line in out[:len(lines)]:
        rows.append([float(v) for v in line.split()])
    return rows


def tmerc(datum, fe, fn, lon0, lat0, k0):
    return (['+proj=tmerc', '+approx', '+lat_0=%r' % lat0, '+lon_0=%r' % lon0, '+k_0=%r' % k0,
             '+x_0=%r' % fe, '+y_0=%r' % fn] + ellipsoid_args(datum) + [towgs84(datum), '+units=m',
                                                                          '+no_defs'])


def state_plane_tmerc(db, grid, zone, datum):
    code = SP_SUBSTITUTE.get((grid, zone), SP_CONVERSION[grid](zone))
    name = db.execute("SELECT name FROM conversion WHERE auth_name='EPSG' AND code=? AND deprecated=0",
                      (str(code),)).fetchone()
    if name is None:
        # The current conversion of a deprecated code carries the same name.
        old = db.execute("SELECT name FROM conversion WHERE auth_name='EPSG' AND code=?",
                         (str(code),)).fetchone()[0]
        code = db.execute("SELECT code FROM conversion WHERE auth_name='EPSG' AND name=? AND "
                          "deprecated=0", (old,)).fetchone()[0]
    crs = db.execute("SELECT code FROM projected_crs WHERE conversion_auth_name='EPSG' AND "
                     "conversion_code=? AND deprecated=0", (str(code),)).fetchone()[0]
    proj = subprocess.run(['projinfo', '-o', 'PROJ', '-q', 'EPSG:%s' % crs], capture_output=True,
                          text=True, check=True).stdout.split()
    keep = [p for p in proj if p.split('=')[0] in ('+proj', '+lat_0', '+lon_0', '+k', '+k_0',
                                                     '+x_0', '+y_0')]
    assert '+proj=tmerc' in keep, (zone, proj)
    params = dict(p[1:].split('=') for p in keep if '=' in p)
    k0 = float(params.get('k', params.get('k_0', 1)))
    return ([p for p in keep if not p.startswith('+k')] + ['+k_0=%r' % k0, '+approx'] +
            ellipsoid_args(datum) + [towgs84(datum), '+units=m', '+no_defs'],
            float(params['lon_0']), float(params['lat_0']), crs)


def sample_points(rng, area, count):
    lat0, lat1, lon0, lon1 = area
    return [(rng.uniform(lat0, lat1), rng.uniform(lon0, lon1), rng.uniform(0, 500))
            for _ in range(count)]


def write_tm_case(out, grid, zone, target, central, points):
    forward = run_cs2cs(geographic(1), target, ['%r %r %r' % (lon, lat, h) for lat, lon, h in points])
    inverse = run_cs2cs(target, geographic(1), ['%.10f %.10f 0' % (e, n) for e, n, _ in forward])
    # A projected CRS made from a PROJ string is two-dimensional: the inverse gives no height.
    for (lat, lon, h), (e, n, _), (ilon, ilat, _) in zip(points, forward, inverse):
        band = 1 if abs(lon - central) <= BAND else 0
        out.write('%d %d %.10f %.10f %.4f %.6f %.6f %d %.12f %.12f\n' %
                  (grid, zone, lat, lon, h, e, n, band, ilat, ilon))


def tm_reference(rng):
    db = sqlite3.connect('/usr/share/proj/proj.db')
    path = os.path.join(HERE, 'tm_reference.txt')
    with open(path, 'w') as out:
        version = subprocess.run(['cs2cs'], capture_output=True, text=True).stderr.split(',')[0]
        out.write('# Made by make_reference.py with PROJ cs2cs %s, +proj=tmerc +approx.\n' %
                  version.strip())
        out.write('# grid zone lat lon h(WGS 84) easting northing band lat lon(WGS 84 from '
                  'easting northing)\n')
        out.write('# zone: the zone of the point (State Plane: the zone code); band 1: within '
                  '%.1f degrees of the central meridian\n' % BAND)
        for grid, (datum, fe, fn, lon0, lat0, k0, area) in sorted(TM_GRIDS.items()):
            points = sample_points(rng, area, 400 if grid in ZONED_6 | {GRID_3} else 24)
            groups = {}
            for lat, lon, h in points:
                if grid in ZONED_6:
                    zone = int(math.floor(lon / 6)) + 31
                    groups.setdefault(zone, []).append((lat, lon, h))
                elif grid == GRID_3:
                    zone = int(math.floor(lon / 3))
                    groups.setdefault(zone, []).append((lat, lon, h))
                else:
                    groups.setdefault(0, []).append((lat, lon, h))
            for zone, group in sorted(groups.items()):
                if grid in ZONED_6:
                    central = (zone - 31) * 6 + 3
                elif grid == GRID_3:
                    central = zone * 3
                else:
                    central = lon0
                group = group[:6] if grid in ZONED_6 | {GRID_3} else group
                write_tm_case(out, grid, zone, tmerc(datum, fe, fn, central, lat0, k0), central,
                              group)
        for grid, zone, datum in STATE_PLANE:
            target, lon0, lat0, _ = state_plane_tmerc(db, grid, zone, datum)
            area = (lat0 + 0.3, lat0 + 3, lon0 - 1.5, lon0 + 1.5)
            write_tm_case(out, grid, zone, target, lon0, sample_points(rng, area, 12))


def cartesian(datum):
    return ['+step', '+proj=cart'] + ellipsoid_args(datum)


def helmert(datum):
    _, dx, dy, dz, rx, ry, rz, ds = DATUMS[datum]
    rot = [r * ARCSEC_PER_RADIAN for r in (rx, ry, rz)]
    return ['+step', '+proj=helmert', '+x=%r' % dx, '+y=%r' % dy, '+z=%r' % dz,
            '+rx=%r' % rot[0], '+ry=%r' % rot[1], '+rz=%r' % rot[2], '+s=%r' % (ds * 1e6),
            '+convention=position_vector']


def run_cct(pipeline, lines):
    out = subprocess.run(['cct', '-d', '12', '+proj=pipeline'] + pipeline,
                         input='\n'.join(lines) + '\n', capture_output=True, text=True,
                         check=True).stdout.split('\n')
    return [[float(v) for v in line.split()[:3]] for line in out[:len(lines)]]


def datum_reference(rng):
    # cs2cs passes the height of a two-dimensional CRS through unchanged, so the shifts are
    # run as explicit cct pipelines: geodetic -> Cartesian -> Helmert -> geodetic, in 3D.
    path = os.path.join(HERE, 'datum_reference.txt')
    with open(path, 'w') as out:
        out.write('# Made by make_reference.py with PROJ cct pipelines (cart, helmert with '
                  'convention=position_vector, the library\'s figures).\n')
        out.write('# datum direction lat lon h -> lat lon h; direction 1: from the datum to '
                  'WGS 84, -1: from WGS 84 to the datum\n')
        for datum in range(2, 28):
            points = sample_points(rng, DATUM_AREAS[datum], 10)
            lines = ['%r %r %r 0' % (lon, lat, h) for lat, lon, h in points]
            to_wgs = cartesian(datum) + helmert(datum) + ['+step', '+inv', '+proj=cart'] + \
                ellipsoid_args(1)
            from_wgs = cartesian(1) + ['+step', '+inv'] + helmert(datum)[1:] + \
                ['+step', '+inv', '+proj=cart'] + ellipsoid_args(datum)
            for direction, pipeline in ((1, to_wgs), (-1, from_wgs)):
                for (lat, lon, h), (rlon, rlat, rh) in zip(points, run_cct(pipeline, lines)):
                    out.write('%d %d %.10f %.10f %.4f %.12f %.12f %.6f\n' %
                              (datum, direction, lat, lon, h, rlat, rlon, rh))


if __name__ == '__main__':
    rng = random.Random(20240611)
    tm_reference(rng)
    datum_reference(rng)
