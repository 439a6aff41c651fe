"""The NMEA log of a car driving the route of town.py, as a 1 Hz receiver reports it.

The car: a path along the road centre lines with rounded corners, a speed profile that keeps
to each leg's limit, slows for corners, brakes and accelerates smoothly, stands at the red
light and at both ends. The receiver: twelve satellites on slow tracks (one setting, one
rising), some of the low ones hidden by the old town's houses, none in the tunnel; dilution
of precision worked out from the geometry and signals of the satellites used; a slowly
wandering position error, larger for a while after the fix is regained; the fix lost while
starting up and in the tunnel. Sentences come in the order many receivers use: RMC, VTG,
GGA, GSA, the GSV group, GLL, each ended by CR LF. A few lines are damaged on purpose, as
serial links do: a wrong checksum, a line cut short, a line cut short and run into the next
sentence, bytes of noise.
"""
import math
import random

import town
from generate_nmea import checksummed, nmea_angle

START_SECONDS = 7 * 3600 + 41 * 60 + 52   # 07:41:52 UTC
DATE = "140524"                            # 14 May 2024
VARIATION_EAST = 3.4                       # magnetic variation, degrees
GEOID_SEPARATION = 47.4

ACCELERATION = 1.5       # m/s^2, a calm driver
DECELERATION = 1.8
CORNER_RADIUS = 11.0     # m, the curve a car takes at a street corner
LATERAL_ACCELERATION = 2.2
STAND_AT_START = 14      # s with the engine running before the car moves
STAND_AT_END = 15
ELEVATION_MASK = 5.0     # degrees
KNOTS_PER_MPS = 1.0 / 0.514444

# Satellites: PRN, elevation and azimuth at the start (degrees), their change per minute.
SKY = [
    (2, 64.0, 48.0, 0.35, 1.2), (5, 38.0, 296.0, -0.45, 0.4), (7, 22.0, 152.0, 0.5, -0.3),
    (9, 7.2, 18.0, -0.28, 0.2), (13, 51.0, 212.0, 0.2, -0.8), (15, 30.0, 90.0, -0.3, 0.5),
    (18, 16.0, 250.0, 0.4, 0.2), (20, 73.0, 130.0, -0.25, 2.1), (24, 11.0, 330.0, 0.3, -0.2),
    (26, 42.0, 20.0, 0.1, 0.6), (29, 2.5, 205.0, 0.42, 0.1), (30, 27.0, 70.0, -0.2, 0.3),
]

# Damaged lines: epoch -> what happens to which sentence of that epoch.
DAMAGE = {
    95: ("GGA", "checksum"),
    180: ("GSV", "cut"),
    262: ("RMC", "noise line"),
    341: ("RMC", "cut into next"),
    470: ("GGA", "noise before"),
    566: ("GLL", "checksum"),
    623: ("GGA", "cut into next"),
}


# --- the car ---------------------------------------------------------------------------------

def rounded_path():
    """Points every metre along the route, corners rounded, with the speed limit (m/s) at each
    point; the points where the car must stop carry their standing time."""
    wps = town.ROUTE
    points = []  # (x, y, limit, stand)

    def straight(a, b, limit):
        length = math.hypot(b[0] - a[0], b[1] - a[1])
        n = max(1, int(length))
        for k in range(n):
            t = k / n
            # Drivers keep a little under the limit and drift by a few km/h.
            cruise = limit * (0.93 + 0.05 * math.sin(len(points) / 160.0))
            points.append((a[0] + (b[0] - a[0]) * t, a[1] + (b[1] - a[1]) * t, cruise, 0))

    corner_speed = math.sqrt(LATERAL_ACCELERATION * CORNER_RADIUS)
    start = wps[0][:2]
    for i in range(1, len(wps)):
        limit = wps[i - 1][2] / 3.6
        b = wps[i][:2]
        if i == len(wps) - 1 or wps[i][3] > 0:
            straight(start, b, limit)
            points.append((b[0], b[1], 0.0, wps[i][3]))
            start = b
            continue
        c = wps[i + 1][:2]
        ux, uy = unit(start, b)
        vx, vy = unit(b, c)
        turn = math.acos(max(-1.0, min(1.0, ux * vx + uy * vy)))
        cut = CORNER_RADIUS * math.tan(turn / 2)
        entry = (b[0] - ux * cut, b[1] - uy * cut)
        leave = (b[0] + vx * cut, b[1] + vy * cut)
        straight(start, entry, limit)
        steps = max(2, int(CORNER_RADIUS * turn))
        for k in range(steps):  # a quadratic curve with the corner as control point
            t = k / steps
            x = (1 - t) ** 2 * entry[0] + 2 * t * (1 - t) * b[0] + t * t * leave[0]
            y = (1 - t) ** 2 * entry[1] + 2 * t * (1 - t) * b[1] + t * t * leave[1]
            points.append((x, y, min(limit, corner_speed), 0))
        start = leave
    return points


def unit(a, b):
    length = math.hypot(b[0] - a[0], b[1] - a[1])
    return (b[0] - a[0]) / length, (b[1] - a[1]) / length


def speed_profile(points):
    """Fastest speeds that keep every limit with the given acceleration and braking."""
    n = len(points)
    ds = [math.hypot(points[i + 1][0] - points[i][0], points[i + 1][1] - points[i][1])
          for i in range(n - 1)]
    v = [p[2] for p in points]
    v[0] = 0.0
    for i in range(n - 1):
        v[i + 1] = min(v[i + 1], math.sqrt(v[i] ** 2 + 2 * ACCELERATION * ds[i]))
    for i in range(n - 2, -1, -1):
        v[i] = min(v[i], math.sqrt(v[i + 1] ** 2 + 2 * DECELERATION * ds[i]))
    return ds, v


def car_states():
    """(x, y, speed m/s, course degrees) at every whole second from engine start to stop."""
    points = rounded_path()
    ds, v = speed_profile(points)
    # Time at each point; a stop adds its standing time after the car reaches it.
    times = [float(STAND_AT_START)]
    for i in range(len(points) - 1):
        mean = (v[i] + v[i + 1]) / 2
        times.append(times[-1] + points[i][3] + (ds[i] / mean if mean > 0 else 0.0))
    end = times[-1] + STAND_AT_END
    states = []
    i = 0
    course = bearing(points[0], points[1])
    for t in range(int(end) + 1):
        while i < len(points) - 2 and times[i + 1] <= t:
            i += 1
        if t < times[0]:
            x, y, speed = points[0][0], points[0][1], 0.0
        elif t >= times[-1]:
            x, y, speed = points[-1][0], points[-1][1], 0.0
        else:
            # Within [times[i], times[i + 1]]: the car may be standing at point i first.
            moving_from = times[i] + points[i][3]
            if t <= moving_from:
                f = 0.0
            else:
                f = (t - moving_from) / (times[i + 1] - moving_from)
            x = points[i][0] + (points[i + 1][0] - points[i][0]) * f
            y = points[i][1] + (points[i + 1][1] - points[i][1]) * f
            speed = (v[i] + (v[i + 1] - v[i]) * f) if t > moving_from else 0.0
        if speed > 0.5:
            course = bearing(points[i], points[i + 1])
        states.append((x, y, speed, course))
    return states


def bearing(a, b):
    return math.degrees(math.atan2(b[0] - a[0], b[1] - a[1])) % 360


# --- the receiver ----------------------------------------------------------------------------

def in_old_town(x, y):
    return town.GRID_X[0] <= x <= town.GRID_X[-1] and town.GRID_Y[-1] <= y <= town.GRID_Y[0]


def dops(sats):
    """HDOP, VDOP, PDOP of the satellites used: the inverse of GᵀWG, G holding a row of east,
    north and up direction cosines and 1 per satellite, W weighting each by its signal as
    receivers do (so the values move a little from second to second)."""
    g = []
    weights = [10 ** ((snr - 38) / 20.0) for _, _, _, snr in sats]
    mean = sum(weights) / len(weights)
    for (_, el, az, _), w in zip(sats, weights):
        e, a = math.radians(el), math.radians(az)
        g.append(((math.cos(e) * math.sin(a), math.cos(e) * math.cos(a), math.sin(e), 1.0), w / mean))
    m = [[sum(w * r[i] * r[j] for r, w in g) for j in range(4)] for i in range(4)]
    q = invert4(m)
    hdop = math.sqrt(q[0][0] + q[1][1])
    vdop = math.sqrt(q[2][2])
    return hdop, vdop, math.sqrt(hdop * hdop + vdop * vdop)


def invert4(m):
    """Gauss-Jordan with partial pivoting; the matrix is symmetric positive definite here."""
    n = 4
    a = [row[:] + [1.0 if i == j else 0.0 for j in range(n)] for i, row in enumerate(m)]
    for col in range(n):
        pivot = max(range(col, n), key=lambda r: abs(a[r][col]))
        a[col], a[pivot] = a[pivot], a[col]
        p = a[col][col]
        a[col] = [x / p for x in a[col]]
        for r in range(n):
            if r != col:
                f = a[r][col]
                a[r] = [x - f * y for x, y in zip(a[r], a[col])]
    return [row[n:] for row in a]


class Receiver:
    def __init__(self, seed):
        self.rng = random.Random(seed)
        self.error = [0.0, 0.0, 0.0]       # slowly wandering east, north, up error in metres
        self.extra = 0.0                   # additional error after the fix was regained
        self.extra_direction = 0.0
        self.tracked_since = {}            # prn -> first second it is received again
        self.last_fix = -2

    def sky(self, t):
        """Satellites above the mask: (prn, elevation, azimuth)."""
        out = []
        for prn, el, az, del_, daz in SKY:
            e = el + del_ * t / 60
            if e >= ELEVATION_MASK:
                out.append((prn, e, (az + daz * t / 60) % 360))
        return out

    def signals(self, t, x, y):
        """SNR of every satellite in view, None where the receiver does not hear it."""
        tunnel = town.in_tunnel((x, y))
        view = []
        for prn, el, az in self.sky(t):
            hidden = tunnel or t < 4
            if in_old_town(x, y) and el < 25:
                # Houses hide low satellites along some streets, for ten seconds at a time.
                hidden = hidden or random.Random(prn * 1000 + t // 10).random() < 0.45
            if hidden:
                self.tracked_since.pop(prn, None)
                snr = None
            else:
                since = self.tracked_since.setdefault(prn, t + self.rng.randint(0, 3))
                snr = None if t < since else int(19 + el * 0.32 + self.rng.uniform(-3, 3))
            view.append((prn, int(round(el)), int(round(az)) % 360, snr))
        return view

    def epoch(self, t, x, y):
        """What the receiver reports for this second: fix flag, used satellites, DOPs, view,
        and the measured position (east, north, up errors added)."""
        view = self.signals(t, x, y)
        used = sorted((s for s in view if s[3] is not None and s[3] >= 20),
                      key=lambda s: -s[3])[:12]
        if len(used) < 4:
            return False, used, (99.99, 99.99, 99.99), view, (x, y, 0.0)
        if self.last_fix < t - 1:
            # A regained fix starts off by several metres in some direction and settles.
            self.extra = 9.0
            self.extra_direction = self.rng.uniform(0, 2 * math.pi)
        self.last_fix = t
        hdop, vdop, pdop = dops(used)
        decay = math.exp(-1 / 45)
        for k in range(3):
            self.error[k] = decay * self.error[k] + math.sqrt(1 - decay * decay) * self.rng.gauss(0, 1.4)
        self.extra *= 0.8
        ex = (self.error[0] + self.rng.gauss(0, 0.3)) * hdop / 1.2 + self.extra * math.cos(self.extra_direction)
        ey = (self.error[1] + self.rng.gauss(0, 0.3)) * hdop / 1.2 + self.extra * math.sin(self.extra_direction)
        ez = (self.error[2] * 1.6 + self.rng.gauss(0, 0.5)) * vdop / 1.6
        return True, used, (hdop, vdop, pdop), view, (x + ex, y + ey, ez)


def ground_height(x, y):
    """Height above sea level of the sample town's ground, metres: a gentle plain sloping
    to the river."""
    return 516.0 + 4.0 * math.sin(x / 900.0) + 3.0 * math.cos(y / 700.0) + abs(x - 700) * 0.002


def epoch_sentences(t, state, receiver, rng):
    x, y, speed, course = state
    fix, used, (hdop, vdop, pdop), view, (mx, my, mz) = receiver.epoch(t, x, y)
    seconds = START_SECONDS + t
    time = "%02d%02d%02d.00" % (seconds // 3600, seconds // 60 % 60, seconds % 60)
    lat, lon = town.to_latlon(mx, my)
    lat_text, ns = nmea_angle(lat, "N", "S", 2, 5)
    lon_text, ew = nmea_angle(lon, "E", "W", 3, 5)
    measured = max(0.0, speed + rng.gauss(0, 0.04))
    knots = measured * KNOTS_PER_MPS
    cog = (course + rng.gauss(0, 0.4)) % 360
    out = []
    if fix:
        out.append(("RMC", "GPRMC,%s,A,%s,%s,%s,%s,%.3f,%.2f,%s,%.1f,E,A" % (
            time, lat_text, ns, lon_text, ew, knots, cog, DATE, VARIATION_EAST)))
        out.append(("VTG", "GPVTG,%.2f,T,%.2f,M,%.3f,N,%.3f,K,A" % (
            cog, (cog - VARIATION_EAST) % 360, knots, measured * 3.6)))
        out.append(("GGA", "GPGGA,%s,%s,%s,%s,%s,1,%02d,%.2f,%.1f,M,%.1f,M,," % (
            time, lat_text, ns, lon_text, ew, len(used), hdop,
            ground_height(x, y) + 1.2 + mz, GEOID_SEPARATION)))
    else:
        out.append(("RMC", "GPRMC,%s,V,,,,,,,%s,,,N" % (time, DATE)))
        out.append(("VTG", "GPVTG,,,,,,,,,N"))
        out.append(("GGA", "GPGGA,%s,,,,,0,00,99.99,,,,,," % time))
    prns = [("%02d" % s[0]) for s in used] + [""] * (12 - len(used))
    out.append(("GSA", "GPGSA,A,%d,%s,%.2f,%.2f,%.2f" % (3 if fix else 1, ",".join(prns), pdop, hdop, vdop)))
    groups = [view[i:i + 4] for i in range(0, len(view), 4)] or [[]]
    for n, group in enumerate(groups, 1):
        fields = "".join(",%02d,%02d,%03d,%s" % (p, e, a, "" if s is None else "%02d" % s)
                         for p, e, a, s in group)
        out.append(("GSV", "GPGSV,%d,%d,%02d%s" % (len(groups), n, len(view), fields)))
    if fix:
        out.append(("GLL", "GPGLL,%s,%s,%s,%s,%s,A,A" % (lat_text, ns, lon_text, ew, time)))
    else:
        out.append(("GLL", "GPGLL,,,,,%s,V,N" % time))
    return [(kind, checksummed(body)) for kind, body in out]


def noise(rng, n):
    """Bytes a link at the wrong rate or a loose plug gives: no "$", CR or LF among them."""
    alphabet = [c for c in range(1, 256) if c not in (0x24, 0x0D, 0x0A)]
    return "".join(chr(rng.choice(alphabet)) for _ in range(n))


def damage(lines, epoch, rng):
    """Applies the damage planned for this epoch to one of its (kind, line) pairs."""
    kind, how = DAMAGE[epoch]
    index = next(i for i, (k, _) in enumerate(lines) if k == kind)
    line = lines[index][1]
    if how == "checksum":
        body, digits = line[:-4], line[-4:-2]
        lines[index] = (kind, body + "%02X" % (int(digits, 16) ^ 0x5A) + "\r\n")
    elif how == "cut":
        lines[index] = (kind, line[:len(line) // 2] + "\r\n")
    elif how == "cut into next":
        lines[index] = (kind, line[:len(line) * 2 // 3])
    elif how == "noise line":
        lines.insert(index, ("noise", noise(rng, 40) + "\r\n"))
    elif how == "noise before":
        lines[index] = (kind, noise(rng, 12) + line)


def drive_log(seed):
    """The whole log as lines of text (characters 0-255 stand for bytes)."""
    rng = random.Random(seed)
    receiver = Receiver(seed)
    out = []
    for t, state in enumerate(car_states()):
        lines = epoch_sentences(t, state, receiver, rng)
        if t in DAMAGE:
            damage(lines, t, rng)
        out += [line for _, line in lines]
    return out
