"""The sample town: its streets, river, parks and the drive through it, in one place.

Both the map picture (make_sample_maplib.py) and the NMEA log (generate_nmea.py --route) are
made from these definitions, so the roads the car drives are the roads drawn under its track.

Coordinates are local metres: x east and y north of the picture's centre. The picture is an
equirectangular view of that area: local metres map linearly to pixels, and to latitude and
longitude through the WGS 84 radii of curvature at the centre. That mapping is affine, so
three calibration pairs describe the picture exactly on latitude/longitude.
"""
import math

# Centre of the picture (a fictional town on a Munich-like site, UTM zone 32).
CENTRE_LAT = 48.1290
CENTRE_LON = 11.5560

WIDTH, HEIGHT = 4096, 3072      # pixels
METRES_PER_PIXEL = 1.5
HALF_W = WIDTH * METRES_PER_PIXEL / 2    # 3072 m
HALF_H = HEIGHT * METRES_PER_PIXEL / 2   # 2304 m

# WGS 84 meridian and prime-vertical radii of curvature at the centre latitude.
_A = 6378137.0
_E2 = 0.00669437999014
_S = math.sin(math.radians(CENTRE_LAT)) ** 2
_M = _A * (1 - _E2) / (1 - _E2 * _S) ** 1.5
_N = _A / math.sqrt(1 - _E2 * _S)
METRES_PER_DEG_LAT = _M * math.pi / 180
METRES_PER_DEG_LON = _N * math.cos(math.radians(CENTRE_LAT)) * math.pi / 180


def to_latlon(x, y):
    return CENTRE_LAT + y / METRES_PER_DEG_LAT, CENTRE_LON + x / METRES_PER_DEG_LON


def to_pixel(x, y):
    """Continuous picture coordinates: pixel (i, j) covers [i, i+1) x [j, j+1)."""
    return (x + HALF_W) / METRES_PER_PIXEL, (HALF_H - y) / METRES_PER_PIXEL


def calibration():
    """Three (lat, lon, x, y) pairs, pixels of the picture, far apart and not in a line."""
    pairs = []
    for px, py in ((256, 256), (3840, 384), (640, 2816)):
        x = px * METRES_PER_PIXEL - HALF_W
        y = HALF_H - py * METRES_PER_PIXEL
        lat, lon = to_latlon(x, y)
        pairs.append((lat, lon, px, py))
    return pairs


# Road classes: fill width and casing width in metres (drawn a little wider than the
# carriageway, as maps do, so streets stay visible when the view is zoomed out).
ROAD_CLASSES = {
    "primary": (22.0, 29.0),
    "secondary": (17.0, 23.0),
    "street": (11.0, 15.0),
}

# The old town: a street grid of 160 m x 130 m blocks.
GRID_X = [-1660 + 160 * i for i in range(14)]     # -1660 .. 420
GRID_Y = [1170 - 130 * j for j in range(19)]      # 1170 .. -1170

# River centre line (north to south) and its width.
RIVER = [(760, 2400), (650, 1900), (780, 1400), (660, 900), (700, 400), (600, -100),
         (720, -600), (900, -1100), (820, -1600), (950, -2400)]
RIVER_WIDTH = 70.0
MEADOW_WIDTH = 190.0

# Main roads: (name, class, points).
MAIN_ROADS = [
    ("Hauptstrasse", "primary", [(-HALF_W, -130), (HALF_W, -130)]),
    ("Nordallee", "primary", [(-700, HALF_H), (-700, -HALF_H)]),
    ("Brueckenstrasse", "primary", [(-1660, 780), (HALF_W, 780)]),
    ("Parkstrasse", "secondary", [(1340, HALF_H), (1340, -HALF_H)]),
    ("Westring", "secondary", [(-1660, HALF_H), (-1660, -HALF_H)]),
    ("Landstrasse", "secondary", [(-HALF_W, 1500), (-2400, 1350), (-1660, 1170)]),
    ("Suedweg", "secondary", [(-1660, -1170), (-900, -1500), (400, -1700), (1340, -1650)]),
]

# The tunnel of Brueckenstrasse under the park hill (x range on y = 780).
TUNNEL = ((990.0, 780.0), (1290.0, 780.0))

# Railway through the south of the town.
RAILWAY = [(-HALF_W, -1480), (-1000, -1330), (400, -1250), (1500, -1560), (HALF_W, -1980)]

# Parks, forests and water bodies as polygons.
CITY_PARK = [(800, 1500), (1300, 1500), (1300, 200), (860, 190), (820, 700)]
LAKE_CENTRE, LAKE_RADII = (1070, 1150), (150, 95)
FORESTS = [
    [(1400, 850), (3072, 850), (3072, 2304), (1500, 2304), (1420, 1800)],
    [(-3072, 2304), (-2200, 2304), (-2000, 1900), (-2350, 1600), (-3072, 1700)],
    [(-3072, -300), (-2600, -200), (-2300, -700), (-2500, -1200), (-3072, -1300)],
]
SMALL_PARKS = [
    [(-1180, 370), (-900, 370), (-900, 130), (-1180, 130)],     # a square in the old town
    [(-540, -800), (-260, -800), (-260, -1040), (-540, -1040)],
]

# The drive: waypoints on the road centre lines, the speed limit (km/h) of the leg that
# starts at each waypoint, and the seconds the car stands at a waypoint (traffic lights).
ROUTE = [
    # x, y, limit of the leg that starts here, seconds standing here
    (-1340, -780, 30, 0),     # start: a side street of the old town
    (-1340, -130, 50, 0),     # right into Hauptstrasse
    (-700, -130, 50, 38),     # red light at Nordallee, then left
    (-700, 780, 70, 0),       # right into Brueckenstrasse: bridge, tunnel under the park
    (1340, 780, 60, 0),       # right into Parkstrasse
    (1340, -130, 50, 0),      # right into Hauptstrasse, back over the river
    (100, -130, 40, 0),       # left into a side street
    (100, -650, 30, 0),       # right
    (-140, -650, 0, 0),       # park
]


def grid_streets():
    """The old town's street grid as (class, points); rows and columns that main roads
    already use are left out."""
    streets = []
    for x in GRID_X:
        if x not in (-1660, -700):
            streets.append(("street", [(x, GRID_Y[0]), (x, GRID_Y[-1])]))
    for y in GRID_Y:
        if y not in (-130, 780):
            streets.append(("street", [(GRID_X[0], y), (GRID_X[-1], y)]))
    return streets


def point_segment_distance(p, a, b):
    ax, ay = a
    bx, by = b
    dx, dy = bx - ax, by - ay
    length2 = dx * dx + dy * dy
    t = 0.0 if length2 == 0 else max(0.0, min(1.0, ((p[0] - ax) * dx + (p[1] - ay) * dy) / length2))
    return math.hypot(p[0] - ax - t * dx, p[1] - ay - t * dy)


def in_tunnel(p):
    return point_segment_distance(p, *TUNNEL) < 12.0
