#!/usr/bin/env python3
"""Writes the height case files from PROJ's cct (Debian proj-bin, PROJ 9.1.1), run in the
repository root so that the grids of data/ are the ones read:

  tests/data/heights_geoid.txt     GCG2016 alone, ETRS89 ellipsoidal h <-> DHHN2016 normal H
                                   (H = h - N): a lattice over Germany, the grid's edges where
                                   they hold values, cells of which only some nodes hold one, and
                                   points outside the grid or in cells without value
  tests/data/heights_chain.txt     DHDN Gauss-Krueger zone 3 + H <-> ETRS89 UTM 32 + h (BeTA2007,
                                   then GCG2016 at the ETRS89 point), both ways
  tests/data/heights_helmert3d.txt EPSG:1775 in three dimensions (Krassowsky h <-> ETRS89 h),
                                   both ways; Krassowsky Gauss-Krueger zone 4 + H <-> ETRS89 UTM 33
                                   + h with the horizontal shift at height 0; Krassowsky h <->
                                   DHDN + H through ETRS89

Each file's header gives the exact cct commands. Line format:
  from|to|zone|x|y|z|x expected|y expected|z expected
  from, to  "E:1" grid or "G:3" geographic of system 1..4, then the height: "+h" ellipsoidal
            (system 3: GRS80, system 4: Krassowsky), "+N" DHHN2016 normal height
  zone      the output zone given to the converter (0: from the longitude); Gauss-Krueger input
            carries its zone in the easting, UTM input its zone in the easting's millions
  z         metres
  expected  "none" (one field) where cct refuses the point (outside a grid, or a cell of
            GCG2016 without value), or, on the Krassowsky side, where the point lies outside
            EPSG:1775's area of use (projinfo's BBOX 50.2..54.74 N, 9.92..15.04 E), which cct
            does not check
Run from anywhere: python3 tests/generators/heights/make_cases.py
"""
import math
import os
import random
import runpy
import sys

ROOT = os.path.abspath(os.path.join(os.path.dirname(__file__), "..", "..", ".."))
sys.path.insert(0, os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
from proj_cct import cct as run_cct  # noqa: E402  (the generators' shared runner)

DATA = os.path.join(ROOT, "tests", "data")

GEOID = "data/de_bkg_gcg2016.tif"
BETA = "data/BETA2007.gsb"
AREA = (50.2, 54.74, 9.92, 15.04)  # EPSG:1775 on the Krassowsky side: south, north, west, east

TO_ELLIPSOIDAL = f"+proj=vgridshift +grids={GEOID} +multiplier=1"  # h = H + N
TO_NORMAL = f"+proj=vgridshift +grids={GEOID} +multiplier=-1"      # H = h - N
HELMERT = ("+proj=helmert +x=24.9 +y=-126.4 +z=-93.2 +rx=-0.063 +ry=-0.247 +rz=-0.041 +s=1.01 "
           "+convention=position_vector")
GK3 = "+proj=tmerc +lat_0=0 +lon_0=9 +k=1 +x_0=3500000 +y_0=0 +ellps=bessel"
GK4_KRASS = "+proj=tmerc +lat_0=0 +lon_0=12 +k=1 +x_0=4500000 +y_0=0 +ellps=krass"
UTM32 = "+proj=utm +zone=32 +ellps=GRS80"
UTM33 = "+proj=utm +zone=33 +ellps=GRS80"

GK3_TO_UTM32 = (f"+proj=pipeline +step +inv {GK3} +step +proj=hgridshift +grids={BETA} "
                f"+step {TO_ELLIPSOIDAL} +step {UTM32}")
GK3_TO_UTM32_2D = f"+proj=pipeline +step +inv {GK3} +step +proj=hgridshift +grids={BETA} " \
                  f"+step {UTM32}"
KRASS_TO_ETRS = (f"+proj=pipeline +step +proj=cart +ellps=krass +step {HELMERT} "
                 "+step +inv +proj=cart +ellps=GRS80")
# The horizontal shift of a normal height is the one at height 0: the height waits on the stack.
AT_HEIGHT_ZERO = "+step +proj=push +v_3 +step +proj=set +v_3=0"
GK4_TO_UTM33 = (f"+proj=pipeline +step +inv {GK4_KRASS} {AT_HEIGHT_ZERO} "
                f"+step +proj=cart +ellps=krass +step {HELMERT} +step +inv +proj=cart "
                f"+ellps=GRS80 +step +proj=pop +v_3 +step {TO_ELLIPSOIDAL} +step {UTM33}")
UTM33_TO_KRASS = (f"+proj=pipeline +step +inv {UTM33} +step {TO_NORMAL} {AT_HEIGHT_ZERO} "
                  f"+step +proj=cart +ellps=GRS80 +step +inv {HELMERT} +step +inv +proj=cart "
                  "+ellps=krass +step +proj=pop +v_3")
UTM33_TO_GK4 = f"{UTM33_TO_KRASS} +step {GK4_KRASS}"
KRASS_TO_BESSEL = (f"+proj=pipeline +step +proj=cart +ellps=krass +step {HELMERT} "
                   f"+step +inv +proj=cart +ellps=GRS80 +step {TO_NORMAL} "
                   f"+step +inv +proj=hgridshift +grids={BETA}")
BESSEL_TO_KRASS = (f"+proj=pipeline +step +proj=hgridshift +grids={BETA} +step {TO_ELLIPSOIDAL} "
                   f"+step +proj=cart +ellps=GRS80 +step +inv {HELMERT} "
                   "+step +inv +proj=cart +ellps=krass")


def cct(args, points):
    """Runs cct on (x, y, z) points; a refused point (an error record, or inf out) gives None."""
    return run_cct(args, points, cwd=ROOT)


def geoid_extent():
    """The node extent of GCG2016 (west, south, east, north, dx, dy), read from the file's tags
    by the GeoTIFF generator's reader."""
    path = os.path.join(ROOT, "tests", "generators", "geotiff_grids", "make_cases.py")
    (extent,) = runpy.run_path(path)["images_of"](GEOID)
    return extent


def in_area(lon, lat):
    return AREA[0] <= lat <= AREA[1] and AREA[2] <= lon <= AREA[3]


def height(rng):
    return round(rng.uniform(-50.0, 3000.0), 4)


def fmt(v, decimals=12):
    if v is None:
        return "none"
    return f"{v[0]:.{decimals}f}|{v[1]:.{decimals}f}|{v[2]:.12f}"


def row(source, target, zone, p, expected, decimals=12):
    return f"{source}|{target}|{zone}|{p[0]!r}|{p[1]!r}|{p[2]!r}|{fmt(expected, decimals)}"


def write(name, commands, lines):
    with open(os.path.join(DATA, name), "w") as f:
        f.write("# Height cases made with PROJ 9.1.1 (Debian proj-bin) by\n"
                "# tests/generators/heights/make_cases.py, in the repository root:\n")
        for command in commands:
            f.write(f"# {command}\n")
        f.write("# from|to|zone|x|y|z|x expected|y expected|z expected\n")
        f.write("\n".join(lines) + "\n")


# ---- GCG2016 alone ------------------------------------------------------------------------------

def has_value(points):
    return [r is not None for r in cct(TO_ELLIPSOIDAL, [(x, y, 0.0) for x, y in points])]


def boundaries(pairs):
    """Bisects each (valued, valueless) pair of points to where the value ends: a cell edge."""
    pairs = list(pairs)
    for _ in range(40):
        middles = [((a[0] + b[0]) / 2, (a[1] + b[1]) / 2) for a, b in pairs]
        valued = has_value(middles)
        pairs = [(m, b) if v else (a, m) for (a, b), m, v in zip(pairs, middles, valued)]
    return [a for a, _ in pairs]


def partly_valued_cells(extent):
    """Points in cells of which only some nodes hold a value: half a cell inside the valued side
    of where the values end along a few parallels and meridians across the border. The cell
    beyond holds no value, so the two nodes the cells share hold none."""
    west, south, east, north, dx, dy = extent
    scans = [((5.6, lat), (0.05, 0.0)) for lat in (49.21, 50.37, 51.93, 53.41)]
    scans += [((15.1, lat), (-0.05, 0.0)) for lat in (50.83, 51.61)]
    scans += [((lon, 47.3), (0.0, 0.05)) for lon in (8.71, 10.13, 12.9)]
    scans += [((lon, 54.2), (0.0, 0.05)) for lon in (12.47, 14.05)]
    pairs, inward = [], []
    for (x, y), (sx, sy) in scans:
        line = [(x + k * sx, y + k * sy) for k in range(40)]
        line = [p for p in line if west < p[0] < east and south < p[1] < north]
        valued = has_value(line)
        for k in range(len(line) - 1):
            if valued[k] != valued[k + 1]:
                a, b = (line[k], line[k + 1]) if valued[k] else (line[k + 1], line[k])
                pairs.append((a, b))
                inward.append((math.copysign(dx / 2, a[0] - b[0]) if sx else 0.0,
                               math.copysign(dy / 2, a[1] - b[1]) if sy else 0.0))
    edges = boundaries(pairs)
    points = [(round(e[0] + i[0], 9), round(e[1] + i[1], 9)) for e, i in zip(edges, inward)]
    assert all(has_value(points)) and len(points) >= 12, len(points)
    return points[:24]


def edge_points(extent):
    """The grid's edges where they hold values (the east edge near 51.2 N, the west and north
    edges at the north-west corner), on the edge, just inside and beyond it; the south edge,
    which holds none."""
    west, south, east, north, dx, dy = extent
    east_lats = [lat for lat in (51.02, 51.1, 51.17, 51.25, 51.31)
                 if has_value([(east, lat)])[0]][:3]
    west_lats = [lat for lat in (55.55, 55.7, 55.85, 55.95) if has_value([(west, lat)])[0]][:3]
    north_lons = [lon for lon in (3.27, 3.3, 3.38, 3.45) if has_value([(lon, north)])[0]][:3]
    assert east_lats and west_lats and north_lons
    points = [(west, north)]
    for lat in east_lats:
        points += [(east, lat), (east - 0.3 * dx, lat), (east + 0.002, lat)]
    for lat in west_lats:
        points += [(west, lat), (west + 0.4 * dx, lat), (west - 0.002, lat)]
    for lon in north_lons:
        points += [(lon, north), (lon, north - 0.6 * dy), (lon, north + 0.002)]
    points += [(10.0, south), (10.0, south - 0.01), (13.0, south + 0.2 * dy)]
    # The edges as the file has them; the points off them need no more digits than that.
    on_edge = {west, south, east, north}
    return [tuple(v if v in on_edge else round(v, 9) for v in p) for p in points]


def geoid_cases(rng):
    extent = geoid_extent()
    # The lattice's points lie in the middle of cells (GCG2016's nodes are 0.0125 deg by 1/120
    # deg apart, from 3.25625 E and 47.2208 N); each direction takes every other point.
    lattice = [(5.5 + 0.5 * i, 47.0 + 0.5 * j) for j in range(18) for i in range(21)]
    points = {"h": [], "N": []}
    for k, (x, y) in enumerate(lattice):
        points["h" if (k + k // 21) % 2 == 0 else "N"].append((x, y, height(rng)))
    for i, (x, y) in enumerate(edge_points(extent) + partly_valued_cells(extent)):
        points["h" if i % 2 == 0 else "N"].append((x, y, height(rng)))
    # Heights far from the usual, still within the 10 km the converter takes.
    points["h"] += [(10.0, 50.0, 9900.0), (10.0, 50.0, -9900.0), (10.0, 50.0, 0.0)]
    points["N"] += [(10.0, 50.0, 9900.0), (10.0, 50.0, -9900.0), (10.0, 50.0, 100.0)]
    lines = []
    for source, target, command in (("G:3+h", "G:3+N", TO_NORMAL),
                                    ("G:3+N", "G:3+h", TO_ELLIPSOIDAL)):
        inputs = points[source[-1]]
        lines += [row(source, target, 0, p, r) for p, r in zip(inputs, cct(command, inputs))]
    at_10_50 = cct(TO_ELLIPSOIDAL, [(10.0, 50.0, 100.0)])[0][2]
    assert abs(at_10_50 - 147.8095) < 1e-4, at_10_50  # N = 47.81 m: H 100 m is h 147.81 m
    write("heights_geoid.txt", [f"cct -d 12 {TO_NORMAL}  (G:3+h -> G:3+N)",
                                f"cct -d 12 {TO_ELLIPSOIDAL}  (G:3+N -> G:3+h)"], lines)


# ---- DHDN Gauss-Krueger zone 3 + H <-> ETRS89 UTM 32 + h --------------------------------

def chain_cases(rng):
    geo = [(round(rng.uniform(6.5, 11.5), 7), round(rng.uniform(47.4, 55.0), 7), height(rng))
           for _ in range(40)]
    geo.append((10.98, 47.421, 2962.0))  # near the Zugspitze
    # Inside BeTA2007, outside GCG2016 (south of it), and in cells of GCG2016 without value.
    geo += [(9.0, 47.1, 400.0), (8.2, 47.05, 350.0), (10.0, 47.15, 1200.0), (7.0, 48.5, 150.0),
            (6.0, 51.5, 30.0)]
    gk = [(round(x, 4), round(y, 4), z) for x, y, z in cct(GK3, geo)]
    utm = cct(GK3_TO_UTM32, gk)
    lines = [row("E:1+N", "E:3+h", 32, p, r) for p, r in zip(gk, utm)]
    # Back from where the forward chain ends, or, where GCG2016 has no value, from the point's
    # horizontal position and its height as given.
    plain = cct(GK3_TO_UTM32_2D, gk)
    utm = [(round(a[0], 4), round(a[1], 4), round(a[2], 4)) if a else
           (round(b[0], 4), round(b[1], 4), p[2]) for a, b, p in zip(utm, plain, gk)]
    back = cct("-I " + GK3_TO_UTM32, utm)
    # cct's inverse grid shift passes off a first approximation where its forward shift refuses
    # the result: such results are none.
    check = cct(GK3_TO_UTM32, [r or (0.0, 0.0, 0.0) for r in back])
    back = [r if r is not None and c is not None else None for r, c in zip(back, check)]
    lines += [row("E:3+h", "E:1+N", 3, (x + 32e6, y, z), r) for (x, y, z), r in zip(utm, back)]
    write("heights_chain.txt",
          [f"cct -d 12 {GK3_TO_UTM32}  (E:1+N -> E:3+h; inputs: cct -d 12 {GK3})",
           f"cct -d 12 -I {GK3_TO_UTM32}  (E:3+h -> E:1+N; results refused by the forward "
           "pipeline: none; inputs without h: cct -d 12 " + GK3_TO_UTM32_2D + ")"], lines)


# ---- EPSG:1775 in three dimensions -------------------------------------------------------------

def area_points(rng, count):
    south, north, west, east = AREA
    points = [(round(rng.uniform(west, east), 7), round(rng.uniform(south, north), 7), height(rng))
              for _ in range(count)]
    points += [(12.0, 52.0, -50.0), (12.0, 52.0, 3000.0), (west, 51.0, 200.0), (east, 53.0, 10.0),
               (11.0, south, 500.0), (13.0, north, 0.0)]
    points += [(12.0, south - 0.01, 100.0), (12.0, north + 0.01, 100.0),
               (west - 0.01, 52.0, 100.0), (east + 0.01, 52.0, 100.0)]
    return [(round(x, 9), round(y, 9), z) for x, y, z in points]


def helmert_cases(rng):
    lines = []
    # Krassowsky h <-> ETRS89 h, the area checked on the Krassowsky side.
    points = area_points(rng, 30)
    forward = cct(KRASS_TO_ETRS, points)
    lines += [row("G:4+h", "G:3+h", 0, p, r if in_area(p[0], p[1]) else None)
              for p, r in zip(points, forward)]
    points = area_points(rng, 30)
    inverse = cct("-I " + KRASS_TO_ETRS, points)
    lines += [row("G:3+h", "G:4+h", 0, p, r if r and in_area(r[0], r[1]) else None)
              for p, r in zip(points, inverse)]

    # Krassowsky Gauss-Krueger zone 4 + H -> ETRS89 UTM 33 + h, and back.
    geo = [(round(rng.uniform(10.2, 14.8), 7), round(rng.uniform(50.3, 54.6), 7), height(rng))
           for _ in range(20)]
    geo += [(12.0, 50.1, 300.0), (14.3, 50.5, 400.0)]  # outside the area; in Czechia
    gk = [(round(x, 4), round(y, 4), z) for x, y, z in cct(GK4_KRASS, geo)]
    utm = cct(GK4_TO_UTM33, gk)
    lines += [row("E:4+N", "E:3+h", 33, p, r if in_area(g[0], g[1]) else None)
              for p, r, g in zip(gk, utm, geo)]
    utm = [(round(x, 4), round(y, 4), round(z, 4)) for x, y, z in filter(None, utm)]
    back = cct(UTM33_TO_GK4, utm)
    krass = cct(UTM33_TO_KRASS, utm)
    lines += [row("E:3+h", "E:4+N", 4, (x + 33e6, y, z), r if k and in_area(k[0], k[1]) else None)
              for (x, y, z), r, k in zip(utm, back, krass)]

    # Krassowsky h <-> DHDN + H, through ETRS89.
    points = [(round(rng.uniform(10.0, 14.9), 7), round(rng.uniform(50.3, 54.6), 7), height(rng))
              for _ in range(10)]
    bessel = cct(KRASS_TO_BESSEL, points)
    lines += [row("G:4+h", "G:1+N", 0, p, r) for p, r in zip(points, bessel)]
    points = [(round(rng.uniform(10.0, 14.9), 7), round(rng.uniform(50.3, 54.6), 7), height(rng))
              for _ in range(10)]
    krass = cct(BESSEL_TO_KRASS, points)
    lines += [row("G:1+N", "G:4+h", 0, p, r if r and in_area(r[0], r[1]) else None)
              for p, r in zip(points, krass)]
    write("heights_helmert3d.txt",
          [f"cct -d 12 {KRASS_TO_ETRS}  (G:4+h -> G:3+h)",
           f"cct -d 12 -I {KRASS_TO_ETRS}  (G:3+h -> G:4+h)",
           f"cct -d 12 {GK4_TO_UTM33}  (E:4+N -> E:3+h; inputs: cct -d 12 {GK4_KRASS})",
           f"cct -d 12 {UTM33_TO_GK4}  (E:3+h -> E:4+N; the area checked on the result of "
           f"cct -d 12 {UTM33_TO_KRASS})",
           f"cct -d 12 {KRASS_TO_BESSEL}  (G:4+h -> G:1+N)",
           f"cct -d 12 {BESSEL_TO_KRASS}  (G:1+N -> G:4+h)"], lines)


def main():
    rng = random.Random(2016)
    geoid_cases(rng)
    chain_cases(rng)
    helmert_cases(rng)


if __name__ == "__main__":
    main()
