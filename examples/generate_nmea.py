#!/usr/bin/env python3
"""Writes a realistic NMEA 0183 log, deterministic for a given seed. Two kinds of track:

- a wandering track (the default): one epoch per second with GGA, GSA, a GSV group, RMC and
  VTG (and GLL every fifth epoch), satellites rising and setting, and occasional receiver
  quirks (a lost fix, an empty field, a proprietary sentence);
- --route: the drive through the sample town of town.py (route_nmea.py does the work).

    generate_nmea.py --sentences 400 --seed 7 > wander.nmea
    generate_nmea.py --sentences 200000 --out /tmp/big.nmea
    generate_nmea.py --route --out drive.nmea

The sample logs in examples/ were made with the commands in examples/README.md.
"""
import argparse
import math
import random
import sys

EARTH_RADIUS_M = 6371000.0
KNOTS_PER_MPS = 1.0 / 0.514444


def checksummed(body):
    x = 0
    for c in body.encode("ascii"):
        x ^= c
    return "$%s*%02X\r\n" % (body, x)


def nmea_angle(value, positive, negative, degree_digits, decimals=4):
    """ddmm.mmmm (or dddmm.mmmm) and the hemisphere letter; minutes that round to 60 carry."""
    hemisphere = positive if value >= 0 else negative
    value = abs(value)
    degrees = int(value)
    minutes = round((value - degrees) * 60.0, decimals)
    if minutes >= 60.0:
        degrees, minutes = degrees + 1, 0.0
    return "%0*d%0*.*f" % (degree_digits, degrees, decimals + 3, decimals, minutes), hemisphere


class Sky:
    """Satellites on slowly turning tracks; each has a fixed orbit phase."""

    def __init__(self, rng, count):
        self.sats = []
        for prn in rng.sample(range(1, 33), count):
            self.sats.append({"prn": prn, "phase": rng.uniform(0, 2 * math.pi),
                              "rate": rng.uniform(0.0005, 0.002),
                              "azimuth": rng.uniform(0, 360), "drift": rng.uniform(-0.05, 0.05)})

    def view(self, t, rng):
        out = []
        for s in self.sats:
            elevation = 90 * math.sin(s["phase"] + s["rate"] * t)
            if elevation < 0:
                continue
            azimuth = (s["azimuth"] + s["drift"] * t) % 360
            snr = int(20 + elevation / 3 + rng.uniform(-3, 3)) if rng.random() > 0.1 else None
            out.append((s["prn"], int(elevation), int(azimuth), snr))
        return out


def epoch_sentences(t, state, sky, rng, talker):
    seconds = state["start"] + t
    hh, mm, ss = (seconds // 3600) % 24, (seconds // 60) % 60, seconds % 60
    time = "%02d%02d%02d.%02d" % (hh, mm, ss, state["centis"])
    day = state["day"] + seconds // 86400
    date = "%02d%02d%02d" % (1 + (day % 28), state["month"], state["year"] % 100)
    lat, ns = nmea_angle(state["lat"], "N", "S", 2)
    lon, ew = nmea_angle(state["lon"], "E", "W", 3)
    fix = rng.random() > 0.02  # now and then the receiver loses its fix
    view = sky.view(t, rng)
    used = [p for p, e, a, s in view if s is not None][:12]
    hdop = round(rng.uniform(0.7, 2.5), 1)
    vdop = round(rng.uniform(0.9, 3.0), 1)
    pdop = round(math.hypot(hdop, vdop), 1)
    speed_kn = state["speed"] * KNOTS_PER_MPS
    course = state["course"]
    variation = 2.7

    out = []
    out.append(checksummed("%sGGA,%s,%s,%s,%s,%s,%d,%02d,%.1f,%.1f,M,%.1f,M,," % (
        talker, time, lat, ns, lon, ew, 1 if fix else 0, len(used), hdop, state["alt"], 47.6)))
    prns = ",".join("%02d" % p for p in used) + "," * (12 - len(used))
    out.append(checksummed("%sGSA,A,%d,%s,%.1f,%.1f,%.1f" % (
        talker, 3 if fix else 1, prns, pdop, hdop, vdop)))
    groups = [view[i:i + 4] for i in range(0, len(view), 4)] or [[]]
    for n, group in enumerate(groups, 1):
        fields = "".join(",%02d,%02d,%03d,%s" % (p, e, a, "" if s is None else "%02d" % s)
                         for p, e, a, s in group)
        out.append(checksummed("GPGSV,%d,%d,%02d%s" % (len(groups), n, len(view), fields)))
    out.append(checksummed("%sRMC,%s,%s,%s,%s,%s,%s,%.1f,%.1f,%s,%.1f,%s" % (
        talker, time, "A" if fix else "V", lat, ns, lon, ew, speed_kn, course, date,
        abs(variation), "E" if variation >= 0 else "W")))
    magnetic = "" if rng.random() < 0.05 else "%.1f" % ((course - variation) % 360)
    out.append(checksummed("%sVTG,%.1f,T,%s,M,%.1f,N,%.1f,K" % (
        talker, course, magnetic, speed_kn, state["speed"] * 3.6)))
    if t % 5 == 0:
        out.append(checksummed("%sGLL,%s,%s,%s,%s,%s,%s" % (
            talker, lat, ns, lon, ew, time, "A" if fix else "V")))
    if t % 17 == 0:
        out.append(checksummed("PGRMZ,%d,f,3" % int(state["alt"] / 0.3048)))
    return out


def advance(state, rng):
    state["course"] = (state["course"] + rng.uniform(-8, 8)) % 360
    state["speed"] = min(35.0, max(0.0, state["speed"] + rng.uniform(-1, 1)))
    distance = state["speed"]
    bearing = math.radians(state["course"])
    lat = math.radians(state["lat"])
    state["lat"] += math.degrees(distance * math.cos(bearing) / EARTH_RADIUS_M)
    state["lon"] += math.degrees(distance * math.sin(bearing) / (EARTH_RADIUS_M * math.cos(lat)))
    state["lon"] = (state["lon"] + 180) % 360 - 180
    state["alt"] = max(-20.0, state["alt"] + rng.uniform(-1.5, 1.5))
    state["centis"] = rng.choice([0, 0, 0, 25, 50])


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--sentences", type=int, default=400)
    parser.add_argument("--seed", type=int, default=1)
    parser.add_argument("--lat", type=float, default=48.1173)
    parser.add_argument("--lon", type=float, default=11.5167)
    parser.add_argument("--talker", default="GP")
    parser.add_argument("--route", action="store_true",
                        help="drive the sample town's route (--seed only; the route sets the length)")
    parser.add_argument("--out", default="-")
    args = parser.parse_args()
    if args.route:
        import route_nmea
        data = "".join(route_nmea.drive_log(args.seed)).encode("latin-1")
        if args.out == "-":
            sys.stdout.buffer.write(data)
        else:
            with open(args.out, "wb") as f:
                f.write(data)
        return

    rng = random.Random(args.seed)
    state = {"lat": args.lat, "lon": args.lon, "alt": 520.0, "speed": 12.0,
             "course": rng.uniform(0, 360), "start": rng.randrange(0, 86400), "centis": 0,
             "day": rng.randrange(0, 28), "month": rng.randrange(1, 13),
             "year": rng.randrange(2020, 2026)}
    sky = Sky(rng, 14)
    out = sys.stdout if args.out == "-" else open(args.out, "w", newline="")
    written = 0
    t = 0
    while written < args.sentences:
        for line in epoch_sentences(t, state, sky, rng, args.talker):
            if written == args.sentences:
                break
            out.write(line)
            written += 1
        advance(state, rng)
        t += 1
    if out is not sys.stdout:
        out.close()


if __name__ == "__main__":
    main()
