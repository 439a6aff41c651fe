#!/usr/bin/env python3
"""Draws the sample town of town.py as a map picture and two icons (8-bit and 4-bit palette
PNGs), and builds the sample map library from them with `velmira maplib build`, calibrated on
WGS 84 latitude/longitude with three pairs from town.py.

    make_sample_maplib.py pictures DIR            writes DIR/town.png, position.png, start.png
    make_sample_maplib.py library DIR VELMIRA     writes DIR/sample.vml from those pictures

Python 3 standard library only; deterministic (the same bytes every run).
"""
import argparse
import math
import os
import random
import struct
import subprocess
import sys
import zlib

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import town  # noqa: E402

# Map palette, in the spirit of common street-map styles.
COLOURS = [
    ("land", (242, 239, 233)),
    ("field", (238, 240, 213)),
    ("field2", (230, 236, 200)),
    ("forest", (173, 209, 158)),
    ("tree", (150, 192, 134)),
    ("park", (200, 235, 190)),
    ("meadow", (214, 238, 200)),
    ("water", (170, 211, 223)),
    ("bank", (140, 180, 200)),
    ("residential", (226, 222, 218)),
    ("industrial", (235, 219, 232)),
    ("building", (214, 204, 196)),
    ("building_edge", (190, 176, 166)),
    ("courtyard", (236, 232, 228)),
    ("street_casing", (185, 185, 185)),
    ("street", (255, 255, 255)),
    ("secondary_casing", (190, 180, 110)),
    ("secondary", (247, 250, 191)),
    ("primary_casing", (205, 150, 80)),
    ("primary", (252, 214, 164)),
    ("bridge_casing", (90, 90, 90)),
    ("tunnel_casing", (150, 130, 110)),
    ("tunnel", (255, 244, 228)),
    ("rail", (110, 110, 110)),
    ("rail_dash", (250, 250, 250)),
    ("station", (200, 180, 200)),
]
C = {name: index for index, (name, _) in enumerate(COLOURS)}


class Canvas:
    """An 8-bit indexed picture drawn by horizontal spans (fast in plain Python)."""

    def __init__(self, width, height, fill):
        self.w, self.h = width, height
        self.px = bytearray([fill]) * (width * height)
        self.solid = [bytes([c]) * width for c in range(256)]

    def span(self, y, x0, x1, c):
        x0, x1 = max(x0, 0), min(x1, self.w)
        if 0 <= y < self.h and x0 < x1:
            base = y * self.w
            self.px[base + x0:base + x1] = self.solid[c][:x1 - x0]

    def polygon(self, points, c):
        """Even-odd fill of the pixels whose centres lie inside (points in pixels)."""
        rows = {}
        n = len(points)
        for i in range(n):
            (x0, y0), (x1, y1) = points[i], points[(i + 1) % n]
            if y0 == y1:
                continue
            if y0 > y1:
                x0, y0, x1, y1 = x1, y1, x0, y0
            slope = (x1 - x0) / (y1 - y0)
            for y in range(max(0, math.ceil(y0 - 0.5)), min(self.h, math.ceil(y1 - 0.5))):
                rows.setdefault(y, []).append(x0 + (y + 0.5 - y0) * slope)
        for y, xs in rows.items():
            xs.sort()
            for a, b in zip(xs[0::2], xs[1::2]):
                self.span(y, math.ceil(a - 0.5), math.ceil(b - 0.5), c)

    def disc(self, cx, cy, r, c):
        for y in range(math.ceil(cy - r - 0.5), math.ceil(cy + r - 0.5)):
            dy = y + 0.5 - cy
            if abs(dy) < r:
                half = math.sqrt(r * r - dy * dy)
                self.span(y, math.ceil(cx - half - 0.5), math.ceil(cx + half - 0.5), c)

    def line(self, points, width, c, dash=None):
        """A polyline of the given width with round joins; dash = (on, off) in pixels."""
        r = width / 2
        for (x0, y0), (x1, y1) in zip(points, points[1:]):
            length = math.hypot(x1 - x0, y1 - y0)
            if length == 0:
                continue
            ux, uy = (x1 - x0) / length, (y1 - y0) / length
            pieces = [(0.0, length)]
            if dash:
                on, off = dash
                pieces = [(s, min(s + on, length)) for s in frange(0.0, length, on + off)]
            for s0, s1 in pieces:
                ax, ay, bx, by = x0 + ux * s0, y0 + uy * s0, x0 + ux * s1, y0 + uy * s1
                nx, ny = -uy * r, ux * r
                self.polygon([(ax + nx, ay + ny), (bx + nx, by + ny), (bx - nx, by - ny),
                              (ax - nx, ay - ny)], c)
                if not dash:
                    self.disc(ax, ay, r, c)
                    self.disc(bx, by, r, c)


def frange(start, stop, step):
    while start < stop:
        yield start
        start += step


def px(points):
    return [town.to_pixel(x, y) for x, y in points]


def metres(m):
    return m / town.METRES_PER_PIXEL


def catmull_rom(points, per_segment=16):
    """A smooth curve through the points (for the river)."""
    out = []
    pts = [points[0]] + list(points) + [points[-1]]
    for i in range(1, len(pts) - 2):
        p0, p1, p2, p3 = pts[i - 1], pts[i], pts[i + 1], pts[i + 2]
        for k in range(per_segment):
            t = k / per_segment
            t2, t3 = t * t, t * t * t
            out.append(tuple(0.5 * (2 * p1[j] + (-p0[j] + p2[j]) * t
                                    + (2 * p0[j] - 5 * p1[j] + 4 * p2[j] - p3[j]) * t2
                                    + (-p0[j] + 3 * p1[j] - 3 * p2[j] + p3[j]) * t3)
                             for j in range(2)))
    out.append(points[-1])
    return out


def wobbly(points, amplitude, seed):
    """Densifies a polygon and pushes its edge in and out a little, so natural areas do not
    look ruled. Deterministic: the offsets come from sines of the seed, not a random source."""
    out = []
    n = len(points)
    for i in range(n):
        (x0, y0), (x1, y1) = points[i], points[(i + 1) % n]
        steps = max(1, int(math.hypot(x1 - x0, y1 - y0) / 40))
        for k in range(steps):
            t = k / steps
            x, y = x0 + (x1 - x0) * t, y0 + (y1 - y0) * t
            d = amplitude * (math.sin(x * 0.013 + seed) + 0.5 * math.sin(y * 0.031 + 2 * seed))
            out.append((x + d, y - d))
    return out


def ellipse(centre, radii, steps=72):
    return [(centre[0] + radii[0] * math.cos(2 * math.pi * k / steps),
             centre[1] + radii[1] * math.sin(2 * math.pi * k / steps)) for k in range(steps)]


def rotated_rect(cx, cy, w, h, angle):
    ca, sa = math.cos(angle), math.sin(angle)
    return [(cx + ca * dx - sa * dy, cy + sa * dx + ca * dy)
            for dx, dy in ((-w / 2, -h / 2), (w / 2, -h / 2), (w / 2, h / 2), (-w / 2, h / 2))]


def draw_fields(cv):
    """Farmland patches outside the town, a checkerboard of slightly different greens."""
    size = 420
    for i, x in enumerate(range(int(-town.HALF_W), int(town.HALF_W), size)):
        for j, y in enumerate(range(int(-town.HALF_H), int(town.HALF_H), size)):
            if (i * 7 + j * 3) % 4 == 0:
                continue
            colour = C["field"] if (i + j) % 2 else C["field2"]
            cv.polygon(px([(x + 15, y + 15), (x + size - 15, y + 15), (x + size - 15, y + size - 15),
                           (x + 15, y + size - 15)]), colour)


def draw_forest(cv, polygon, seed):
    cv.polygon(px(wobbly(polygon, 25, seed)), C["forest"])
    xs = [p[0] for p in polygon]
    ys = [p[1] for p in polygon]
    inside = px(polygon)
    for i, x in enumerate(frange(min(xs), max(xs), 45)):
        for j, y in enumerate(frange(min(ys), max(ys), 45)):
            jx = 12 * math.sin(i * 1.7 + j * 0.9 + seed)
            jy = 12 * math.cos(i * 0.8 + j * 2.3 + seed)
            p = town.to_pixel(x + jx, y + jy)
            if point_in_polygon(p, inside):
                cv.disc(p[0], p[1], metres(7), C["tree"])


def point_in_polygon(p, poly):
    x, y = p
    inside = False
    for (x0, y0), (x1, y1) in zip(poly, poly[1:] + poly[:1]):
        if (y0 > y) != (y1 > y) and x < x0 + (y - y0) * (x1 - x0) / (y1 - y0):
            inside = not inside
    return inside


def draw_block(cv, x0, y0, x1, y1, style, rng):
    """One city block between streets: houses in a ring around a courtyard (old town), a
    public building on a square, or detached houses (suburb)."""
    cv.polygon(px([(x0, y0), (x1, y0), (x1, y1), (x0, y1)]), C["residential"])
    if style == "houses":
        for hx in frange(x0 + 14, x1 - 20, 28):
            for hy in frange(y0 + 14, y1 - 18, 30):
                w, h = rng.uniform(10, 16), rng.uniform(8, 12)
                cv.polygon(px(rotated_rect(hx + 6, hy + 6, w, h, 0)), C["building"])
        return
    if style == "square":
        cv.polygon(px([(x0 + 3, y0 + 3), (x1 - 3, y0 + 3), (x1 - 3, y1 - 3), (x0 + 3, y1 - 3)]),
                   C["courtyard"])
        cx, cy = (x0 + x1) / 2, (y0 + y1) / 2
        for w, h in ((70, 22), (22, 60)):  # a church: nave and transept
            cv.polygon(px(rotated_rect(cx, cy, w + 3, h + 3, 0)), C["building_edge"])
            cv.polygon(px(rotated_rect(cx, cy, w, h, 0)), C["building"])
        return
    depth = rng.uniform(14, 22)
    cv.polygon(px([(x0 + 4, y0 + 4), (x1 - 4, y0 + 4), (x1 - 4, y1 - 4), (x0 + 4, y1 - 4)]),
               C["building_edge"])
    cv.polygon(px([(x0 + 5, y0 + 5), (x1 - 5, y0 + 5), (x1 - 5, y1 - 5), (x0 + 5, y1 - 5)]),
               C["building"])
    yard = C["courtyard"] if rng.random() < 0.6 else C["meadow"]
    cv.polygon(px([(x0 + depth, y0 + depth), (x1 - depth, y0 + depth), (x1 - depth, y1 - depth),
                   (x0 + depth, y1 - depth)]), yard)
    # Party walls between the houses of the ring.
    for x in frange(x0 + rng.uniform(15, 30), x1 - 10, rng.uniform(16, 30)):
        for ya, yb in ((y0 + 4, y0 + depth), (y1 - depth, y1 - 4)):
            cv.polygon(px([(x - 0.6, ya), (x + 0.6, ya), (x + 0.6, yb), (x - 0.6, yb)]),
                       C["building_edge"])
    for y in frange(y0 + rng.uniform(15, 30), y1 - 10, rng.uniform(16, 30)):
        for xa, xb in ((x0 + 4, x0 + depth), (x1 - depth, x1 - 4)):
            cv.polygon(px([(xa, y - 0.6), (xb, y - 0.6), (xb, y + 0.6), (xa, y + 0.6)]),
                       C["building_edge"])
    if rng.random() < 0.5:  # a rear building in the yard
        cx, cy = rng.uniform(x0 + 45, x1 - 45), rng.uniform(y0 + 40, y1 - 40)
        cv.polygon(px(rotated_rect(cx, cy, rng.uniform(14, 30), rng.uniform(10, 22), 0)),
                   C["building"])


def draw_old_town(cv):
    half = town.ROAD_CLASSES["street"][1] / 2
    rng = random.Random(1)
    for i, (xa, xb) in enumerate(zip(town.GRID_X, town.GRID_X[1:])):
        for j, (ya, yb) in enumerate(zip(town.GRID_Y, town.GRID_Y[1:])):
            style = "square" if (i, j) in ((4, 6), (9, 12)) else "perimeter"
            draw_block(cv, xa + half, yb + half, xb - half, ya - half, style, rng)


def draw_suburbs(cv):
    """Detached houses: north of the old town and west of Westring."""
    half = town.ROAD_CLASSES["street"][1] / 2
    rng = random.Random(2)
    streets = []
    for x0, x1, y0, y1, bw, bh in ((-1660, 420, 1170, 2000, 208, 166),
                                   (-2540, -1660, -1170, 1050, 176, 148)):
        xs = list(frange(x0, x1 + 1, bw))
        ys = list(frange(y0, y1 + 1, bh))
        for xa, xb in zip(xs, xs[1:]):
            for ya, yb in zip(ys, ys[1:]):
                draw_block(cv, xa + half, ya + half, xb - half, yb - half, "houses", rng)
        streets += [[(x, ys[0]), (x, ys[-1])] for x in xs]
        streets += [[(xs[0], y), (xs[-1], y)] for y in ys]
    return streets


def draw_east_district(cv):
    """A newer quarter south-east of the river, its grid turned by 20 degrees."""
    angle = math.radians(20)
    ca, sa = math.cos(angle), math.sin(angle)
    origin = (1900, -900)
    half = town.ROAD_CLASSES["street"][1] / 2
    size = 150

    def place(u, v):
        return origin[0] + ca * u - sa * v, origin[1] + sa * u + ca * v

    cells = range(-4, 4)
    for i in cells:
        for j in cells:
            u0, v0 = i * size + half, j * size + half
            u1, v1 = u0 + size - 2 * half, v0 + size - 2 * half
            cv.polygon(px([place(u0, v0), place(u1, v0), place(u1, v1), place(u0, v1)]),
                       C["residential"])
            for k in range(3):
                bu = u0 + 12 + k * 44
                cv.polygon(px([place(bu, v0 + 12), place(bu + 30, v0 + 12), place(bu + 30, v1 - 12),
                               place(bu, v1 - 12)]), C["building"])
    lines = []
    for k in range(-4, 5):
        lines.append([place(k * size, -4 * size), place(k * size, 4 * size)])
        lines.append([place(-4 * size, k * size), place(4 * size, k * size)])
    return lines


def draw_industrial(cv):
    """Halls between Hauptstrasse and Brueckenstrasse, east of Parkstrasse."""
    cv.polygon(px([(1370, -110), (3072, -110), (3072, 760), (1370, 760)]), C["industrial"])
    for x, y, w, h in ((1450, 560, 260, 150), (1800, 600, 180, 120), (2100, 520, 320, 190),
                       (1500, 250, 140, 200), (1780, 300, 380, 140), (2350, 200, 200, 230),
                       (2650, 560, 300, 120), (2700, 150, 260, 180)):
        cv.polygon(px([(x, y), (x + w, y), (x + w, y - h), (x, y - h)]), C["building_edge"])
        cv.polygon(px([(x + 4, y - 4), (x + w - 4, y - 4), (x + w - 4, y - h + 4), (x + 4, y - h + 4)]),
                   C["building"])


def bridge_spans(points, river):
    """The parts of a straight east-west road that lie over the river's meadows."""
    spans = []
    (x0, y), (x1, _) = points[0], points[-1]
    for (ax, ay), (bx, by) in zip(river, river[1:]):
        if min(ay, by) <= y <= max(ay, by) and ay != by:
            xr = ax + (y - ay) * (bx - ax) / (by - ay)
            if min(x0, x1) < xr < max(x0, x1):
                spans.append([(xr - town.RIVER_WIDTH, y), (xr + town.RIVER_WIDTH, y)])
    return spans


def draw_roads(cv, river, extra_streets):
    streets = [pts for _, pts in town.grid_streets()] + extra_streets
    roads = [(cls, pts) for _, cls, pts in town.MAIN_ROADS]
    roads += [("street", pts) for pts in streets]
    tunnel_a, tunnel_b = town.TUNNEL
    # Casings first, then fills, class by class from minor to major, so junctions merge.
    order = ["street", "secondary", "primary"]
    for cls in order:
        fill, casing = town.ROAD_CLASSES[cls]
        for c, pts in roads:
            if c == cls:
                for span in bridge_spans(pts, river) if len(pts) == 2 and pts[0][1] == pts[1][1] else []:
                    cv.line(px(span), metres(casing + 8), C["bridge_casing"])
                cv.line(px(pts), metres(casing), C[cls + "_casing"])
        for c, pts in roads:
            if c == cls:
                cv.line(px(pts), metres(fill), C[cls])
    # The tunnel: the park drawn over the road again, then dashed walls and a pale road.
    fill, casing = town.ROAD_CLASSES["primary"]
    a, b = tunnel_a, tunnel_b
    cv.line(px([a, b]), metres(casing + 2), C["park"])
    for side in (-1, 1):
        off = side * casing / 2
        cv.line(px([(a[0], a[1] + off), (b[0], b[1] + off)]), metres(2.5), C["tunnel_casing"], dash=(8, 5))
    cv.line(px([a, b]), metres(fill * 0.6), C["tunnel"])
    for end in (a, b):
        cv.line(px([(end[0], end[1] - casing / 2 - 3), (end[0], end[1] + casing / 2 + 3)]), metres(4),
                C["tunnel_casing"])


def draw_railway(cv):
    cv.line(px(town.RAILWAY), metres(9), C["rail"])
    cv.line(px(town.RAILWAY), metres(4), C["rail_dash"], dash=(metres(30), metres(30)))
    cv.polygon(px([(250, -1205), (550, -1220), (550, -1190), (250, -1175)]), C["station"])


def draw_town():
    cv = Canvas(town.WIDTH, town.HEIGHT, C["land"])
    draw_fields(cv)
    for k, forest in enumerate(town.FORESTS):
        draw_forest(cv, forest, k + 1)
    draw_industrial(cv)
    draw_old_town(cv)
    extra = draw_suburbs(cv)
    extra += draw_east_district(cv)
    for park in town.SMALL_PARKS:
        cv.polygon(px(park), C["park"])
    river = catmull_rom(town.RIVER)
    cv.line(px(river), metres(town.MEADOW_WIDTH), C["meadow"])
    cv.polygon(px(wobbly(town.CITY_PARK, 12, 4)), C["park"])
    cv.polygon(px(ellipse(town.LAKE_CENTRE, (town.LAKE_RADII[0] + 6, town.LAKE_RADII[1] + 6))), C["bank"])
    cv.polygon(px(ellipse(town.LAKE_CENTRE, town.LAKE_RADII)), C["water"])
    cv.line(px(river), metres(town.RIVER_WIDTH + 6), C["bank"])
    cv.line(px(river), metres(town.RIVER_WIDTH), C["water"])
    draw_roads(cv, river, extra)
    draw_railway(cv)
    return cv


def write_png(path, width, height, palette, pixels):
    """An 8-bit palette PNG (filter 0 on every row)."""
    raw = bytearray()
    for y in range(height):
        raw += b"\0" + pixels[y * width:(y + 1) * width]

    def chunk(tag, data):
        body = tag + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)

    plte = b"".join(bytes(rgb) for rgb in palette)
    data = (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 3, 0, 0, 0))
            + chunk(b"PLTE", plte) + chunk(b"IDAT", zlib.compress(bytes(raw), 6)) + chunk(b"IEND", b""))
    with open(path, "wb") as f:
        f.write(data)


# Icons, drawn as character grids: each character stands for a palette index; the marker's
# '.' (index 0) is its transparent colour.
POSITION_ICON = {
    "palette": [(255, 0, 255), (30, 30, 60), (255, 255, 255), (40, 110, 230), (120, 170, 250)],
    "chars": ".#wbl",
}
START_ICON = {"palette": [(40, 40, 40), (255, 255, 255), (30, 30, 30), (60, 160, 70)],
              "chars": "#wkg"}


def position_icon_rows(size=25):
    """A blue dot in a white ring with a dark rim; outside the rim is transparent."""
    c = (size - 1) / 2
    rows = []
    for y in range(size):
        row = ""
        for x in range(size):
            d = math.hypot(x - c, y - c)
            if d > c + 0.3:
                row += "."
            elif d > c - 1.2:
                row += "#"
            elif d > c - 4.2:
                row += "w"
            elif math.hypot(x - c + 2, y - c + 2) < 2.5:
                row += "l"  # a highlight
            else:
                row += "b"
        rows.append(row)
    return rows


def start_icon_rows(size=21):
    """A chequered flag on a pole, on an opaque white sign with a dark frame."""
    rows = []
    for y in range(size):
        row = ""
        for x in range(size):
            if x in (0, size - 1) or y in (0, size - 1):
                row += "#"
            elif x == 5 and 3 <= y <= size - 4:
                row += "k"
            elif 6 <= x <= 16 and 3 <= y <= 10:
                row += "k" if ((x - 6) // 2 + (y - 3) // 2) % 2 else "w"
            elif 4 <= x <= 6 and y == size - 3:
                row += "g"
            else:
                row += "w"
        rows.append(row)
    return rows


def write_icon(path, rows, icon):
    pixels = bytearray(icon["chars"].index(ch) for row in rows for ch in row)
    write_png(path, len(rows[0]), len(rows), icon["palette"], pixels)


def build_library(velmira, out_dir):
    calib = ";".join("%.9f,%.9f,%d,%d" % pair for pair in town.calibration())
    cmd = [velmira, "maplib", "build", "-o", os.path.join(out_dir, "sample.vml"),
           "--map", "town", os.path.join(out_dir, "town.png"), "--datum", "1", "--calib", calib,
           "--icon", "position", os.path.join(out_dir, "position.png"), "--transparent", "0",
           "--icon", "start", os.path.join(out_dir, "start.png")]
    return subprocess.run(cmd).returncode


def write_pictures(out_dir):
    os.makedirs(out_dir, exist_ok=True)
    cv = draw_town()
    write_png(os.path.join(out_dir, "town.png"), cv.w, cv.h, [rgb for _, rgb in COLOURS], cv.px)
    write_icon(os.path.join(out_dir, "position.png"), position_icon_rows(), POSITION_ICON)
    write_icon(os.path.join(out_dir, "start.png"), start_icon_rows(), START_ICON)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("step", choices=["pictures", "library"])
    parser.add_argument("dir")
    parser.add_argument("velmira", nargs="?", help="the velmira program (library step)")
    args = parser.parse_args()
    if args.step == "pictures":
        write_pictures(args.dir)
        return 0
    if not args.velmira:
        parser.error("the library step needs the velmira program")
    return build_library(args.velmira, args.dir)


if __name__ == "__main__":
    sys.exit(main())
