#!/usr/bin/env python3
"""Writes src/geo/ZoneTables.cpp, the State Plane zone tables of 1927 and 1983, from the EPSG
dataset that PROJ ships (proj.db, installed by Debian's proj-data).

usage: make_zone_tables.py [path/to/proj.db] > ../ZoneTables.cpp

The zone codes, their order and the NAD27 parameter set of each 1927 zone are the library's
own; the projection parameters come from EPSG. The EPSG conversion of a zone is
10000 + zone code (1927) and 10000 + state x 100 + 30 + zone (1983), with zone code =
state x 100 + zone. A deprecated conversion is replaced by the current one of the same name.
"""
import sqlite3
import sys


def spans(text):
    """'101 102 5002-5010' -> [101, 102, 5002, ..., 5010]"""
    codes = []
    for item in text.split():
        if '-' in item:
            first, last = (int(x) for x in item.split('-'))
            codes.extend(range(first, last + 1))
        else:
            codes.append(int(item))
    return codes


ZONES_83 = spans("""101 102 5002-5010 201 202 203 301 302 401-406 501 502 503 600 700 901 902 903
1001 1002 5101-5105 1101 1102 1103 1201 1202 1301 1302 1401 1402 1501 1502 1601 1602 1701 1702
1703 1801 1802 1900 2001 2002 2111 2112 2113 2201 2202 2203 2300 2301 2302 2401 2402 2403 2500
2600 2701 2702 2703 2800 2900 3001 3002 3003 3101 3102 3103 3104 3200 3301 3302 3401 3402 3501
3502 3601 3602 3701 3702 3800 3900 4001 4002 4100 4201-4205 4301 4302 4303 4400 4501 4502 4601
4602 4701 4702 4801 4802 4803 4901-4904 5200""")

ZONES_27 = spans("""101 102 5002-5010 201 202 203 301 302 401-407 501 502 503 600 700 901 902 903
1001 1002 5101-5105 1101 1102 1103 1201 1202 1301 1302 1401 1402 1501 1502 1601 1602 1701 1702
1703 1801 1802 1900 2001 2002 2101 2102 2103 2111 2112 2113 2201 2202 2203 2301 2302 2401 2402
2403 2501 2502 2503 2601 2602 2701 2702 2703 2800 2900 3001 3002 3003 3101 3102 3103 3104 3200
3301 3302 3401 3402 3501 3502 3601 3602 3701 3702 3800 3901 3902 4001 4002 4100 4201-4205 4301
4302 4303 4400 4501 4502 4601 4602 4701 4702 4801 4802 4803 4901-4904 5201 5202""")

# The NAD27 parameter set (datum id) of each 1927 zone.
NAD27_SETS = {
    20: spans("5002-5010"),
    21: spans("""101 102 600 700 901 902 903 1001 1002 1301 1302 1601 1602 1801 1802 1900 2001
        2002 2101 2102 2103 2111 2112 2113 2800 2900 3101 3102 3103 3104 3200 3401 3402 3701
        3702 3800 3901 3902 4100 4400 4501 4502 4701 4702 5201 5202"""),
    22: spans("""301 302 501 502 503 1201 1202 1401 1402 1501 1502 1701 1702 1703 2201 2202 2203
        2301 2302 2401 2402 2403 2501 2502 2503 2601 2602 3001 3002 3003 3301 3302 3501 3502
        4001 4002 4201 4202 4203 4204 4205 4801 4802 4803 4901 4902 4903 4904"""),
    23: spans("""201 202 203 401-407 1101 1102 1103 2701 2702 2703 3601 3602 4301 4302 4303 4601
        4602 5101-5105"""),
}
NAD83 = 19

# 1983 zone 2300 has no SPCS83 conversion (Mississippi keeps its East and West zones); the
# library takes the statewide NAD83 grid of that state, Mississippi Transverse Mercator.
SUBSTITUTES_83 = {2300: 3813}

# Deprecated conversions whose current replacement carries another name. 11631 has its two
# standard parallels equal by mistake; 15303 is its correction.
RENAMED = {11631: 15303}

# The 1927 Michigan Lambert zones (2111-2113) are kept as the plain two-parallel conic: the
# current EPSG definitions scale the ellipsoid by 1.0000382, which a zone row cannot carry.

KIND_TM = 3
KIND_LCC = 5
METHOD_KIND = {9807: KIND_TM, 9802: KIND_LCC}

US_FOOT = 1200.0 / 3937.0
LENGTH_UNITS = {9001: 1.0, 9003: US_FOOT, 9002: 0.3048}


def sexagesimal(value):
    """EPSG unit 9110: DDD.MMSSsss packed in one decimal number -> degrees."""
    sign = -1.0 if value < 0 else 1.0
    text = '%.10f' % abs(value)
    whole, frac = text.split('.')
    minutes = int(frac[0:2])
    seconds = float(frac[2:4] + '.' + frac[4:])
    return sign * (int(whole) + minutes / 60.0 + seconds / 3600.0)


def angle(value, unit):
    if unit == 9110:
        return sexagesimal(value)
    if unit == 9102:
        return value
    raise SystemExit('unexpected angle unit %s' % unit)


def length(value, unit):
    if unit not in LENGTH_UNITS:
        raise SystemExit('unexpected length unit %s' % unit)
    return value * LENGTH_UNITS[unit]


def conversion(db, code):
    cur = db.execute('SELECT * FROM conversion WHERE auth_name = ? AND code = ?', ('EPSG', str(code)))
    names = [d[0] for d in cur.description]
    row = cur.fetchone()
    return dict(zip(names, row)) if row else None


def current(db, conv):
    """A deprecated conversion -> the current one of the same name and method, if any."""
    if not conv['deprecated']:
        return conv
    if int(conv['code']) in RENAMED:
        return conversion(db, RENAMED[int(conv['code'])])
    cur = db.execute('SELECT code FROM conversion WHERE auth_name = ? AND name = ? AND '
                     'method_code = ? AND deprecated = 0', ('EPSG', conv['name'], conv['method_code']))
    found = cur.fetchone()
    return conversion(db, found[0]) if found else conv


def parameters(conv):
    params = {}
    for i in range(1, 8):
        code = conv['param%d_code' % i]
        if code is not None:
            params[int(code)] = (conv['param%d_value' % i], int(conv['param%d_uom_code' % i]))
    return params


def row_of(conv, datum, zone):
    kind = METHOD_KIND.get(int(conv['method_code']))
    if kind is None:
        raise SystemExit('zone %d: unsupported method %s' % (zone, conv['method_name']))
    p = parameters(conv)
    if kind == KIND_TM:
        return dict(datum=datum, kind=kind, fe=length(*p[8806]), fn=length(*p[8807]),
                    lon0=angle(*p[8802]), lat0=angle(*p[8801]), k0=p[8805][0],
                    lat1=0.0, lat2=0.0, zone=zone)
    # Two standard parallels, the southern one first; the order does not change the projection.
    lat1, lat2 = sorted((angle(*p[8823]), angle(*p[8824])))
    return dict(datum=datum, kind=kind, fe=length(*p[8826]), fn=length(*p[8827]),
                lon0=angle(*p[8822]), lat0=angle(*p[8821]), k0=1.0, lat1=lat1, lat2=lat2,
                zone=zone)


def table(db, zones, epsg_code, datum_of, substitutes):
    rows = []
    for zone in zones:
        code = substitutes.get(zone, epsg_code(zone))
        conv = conversion(db, code)
        if conv is None:
            raise SystemExit('zone %d: no EPSG conversion %d' % (zone, code))
        conv = current(db, conv)
        rows.append((row_of(conv, datum_of(zone), zone), conv))
    return rows


def num(x):
    text = repr(float(x))
    return text[:-2] if text.endswith('.0') else text


def emit(name, rows):
    out = ['constexpr GridRow %s[] = {' % name,
           '    // datum kind  FE  FN  lambda0  phi0 (deg)  k0  phi1  phi2 (deg)  code   EPSG conversion']
    for r, conv in rows:
        out.append('    Zone(%d, %d, %s, %s, %s, %s, %s, %s, %s, %d),  // %s %s%s' % (
            r['datum'], r['kind'], num(r['fe']), num(r['fn']), num(r['lon0']), num(r['lat0']),
            num(r['k0']), num(r['lat1']), num(r['lat2']), r['zone'], conv['code'], conv['name'],
            ' (deprecated)' if conv['deprecated'] else ''))
    out.append('};')
    return '\n'.join(out)


def main():
    path = sys.argv[1] if len(sys.argv) > 1 else '/usr/share/proj/proj.db'
    db = sqlite3.connect(path)
    version = dict(db.execute('SELECT key, value FROM metadata').fetchall())
    datum27 = {z: d for d, zs in NAD27_SETS.items() for z in zs}
    rows27 = table(db, ZONES_27, lambda z: 10000 + z, lambda z: datum27[z], {})
    rows83 = table(db, ZONES_83, lambda z: 10000 + (z // 100) * 100 + 30 + z % 100,
                   lambda z: NAD83, SUBSTITUTES_83)
    assert len(rows27) == 131 and len(rows83) == 123
    print('// Generated automatically by src/geo/gen/make_zone_tables.py from the EPSG dataset in')
    print('// PROJ\'s proj.db (EPSG %s). Do not edit; run the script again.' %
          version.get('EPSG.VERSION', '?'))
    print('//')
    print('// The State Plane Coordinate System zones of 1927 and 1983 on transverse Mercator')
    print('// (kind 3) and Lambert conformal conic (kind 5). Lengths in metres (1927 US survey')
    print('// feet x 1200/3937); angles in degrees here, radians in the rows.')
    print('#include "geo/ZoneTables.h"')
    print()
    print('#include <numbers>')
    print()
    print('namespace velmira {')
    print('namespace {')
    print()
    print('constexpr GridRow Zone(int16_t datum, int16_t kind, double fe, double fn, double lambda0,')
    print('                       double phi0, double k0, double phi1, double phi2, uint16_t code) {')
    print('  constexpr double rad = std::numbers::pi / 180.0;')
    print('  return GridRow{datum, kind, fe, fn, lambda0 * rad, phi0 * rad, k0, phi1 * rad, phi2 * rad, code};')
    print('}')
    print()
    print('}  // namespace')
    print()
    print(emit('StatePlaneZones27', rows27).replace('constexpr GridRow', 'constinit const GridRow', 1))
    print()
    print(emit('StatePlaneZones83', rows83).replace('constexpr GridRow', 'constinit const GridRow', 1))
    print()
    print('static_assert(std::size(StatePlaneZones27) == %d);' % len(rows27))
    print('static_assert(std::size(StatePlaneZones83) == %d);' % len(rows83))
    print()
    print('}  // namespace velmira')


if __name__ == '__main__':
    main()
