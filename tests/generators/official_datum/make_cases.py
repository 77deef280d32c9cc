#!/usr/bin/env python3
"""Writes the official datum case files tests/data/official_*.txt from PROJ's cct (Debian
proj-bin, PROJ 9.1.1). Each file's header gives the exact cct command; the points are fixed
(seeded), over the whole grid or area, on cell corners, on sub-grid edges and just outside.

Line format: grid|from|to|zone|x|y|x expected|y expected
  grid      "builtin" (BETA2007.gsb) or a file under tests/data/ntv2/
  from, to  "G1" geographic or "E1" grid of system 1..4 (grid input carries its zone)
  zone      the output zone given to the converter (0: from the longitude)
  expected  "none" where there is no path: cct refuses the point (outside the grid); an inverse
            grid shift whose result cct's forward shift refuses (cct then passes off its first
            approximation); a system 4 point outside EPSG:1775's area of use (projinfo's BBOX
            50.2..54.74 N, 9.92..15.04 E), which cct does not check.
Run from the repository root: python3 tests/generators/official_datum/make_cases.py
"""
import math
import os
import random
import sys

ROOT = os.path.abspath(os.path.join(os.path.dirname(__file__), "..", "..", ".."))
sys.path.insert(0, os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
from proj_cct import cct as run_cct  # noqa: E402  (the generators' shared runner)

DATA = os.path.join(ROOT, "tests", "data")
GRID = "BETA2007.gsb"  # found by cct in /usr/share/proj (proj-data)

EPSG1775 = ("+proj=pipeline +step +proj=axisswap +order=2,1 +step +proj=unitconvert +xy_in=deg "
            "+xy_out=rad +step +proj=push +v_3 +step +proj=cart +ellps=krass +step +proj=helmert "
            "+x=24.9 +y=-126.4 +z=-93.2 +rx=-0.063 +ry=-0.247 +rz=-0.041 +s=1.01 "
            "+convention=position_vector +step +inv +proj=cart +ellps=GRS80 +step +proj=pop +v_3 "
            "+step +proj=unitconvert +xy_in=rad +xy_out=deg +step +proj=axisswap +order=2,1")
HELMERT = ("+proj=helmert +x=24.9 +y=-126.4 +z=-93.2 +rx=-0.063 +ry=-0.247 +rz=-0.041 +s=1.01 "
           "+convention=position_vector")
GK3 = "+proj=tmerc +lat_0=0 +lon_0=9 +k=1 +x_0=3500000 +y_0=0 +ellps=bessel"
GK4_KRASS = "+proj=tmerc +lat_0=0 +lon_0=12 +k=1 +x_0=4500000 +y_0=0 +ellps=krass"
GK3_TO_UTM32 = f"+proj=pipeline +step +inv {GK3} +step +proj=hgridshift +grids={GRID} " \
               "+step +proj=utm +zone=32 +ellps=GRS80"
GK4_TO_UTM33 = f"+proj=pipeline +step +inv {GK4_KRASS} +step +proj=cart +ellps=krass " \
               f"+step {HELMERT} +step +inv +proj=cart +ellps=GRS80 " \
               "+step +proj=utm +zone=33 +ellps=GRS80"
BESSEL_TO_KRASS = f"+proj=pipeline +step +proj=hgridshift +grids={GRID} +step +proj=cart " \
                  f"+ellps=GRS80 +step +inv {HELMERT} +step +inv +proj=cart +ellps=krass"
AREA = (50.2, 54.74, 9.92, 15.04)  # south, north, west, east (deg)
GRID_EDGES = (47.0, 55.3, 5.5, 56400.0 / 3600.0)  # BETA2007.gsb (deg)


def cct(args, points):
    """Runs cct; a refused point gives None, else (x, y)."""
    return [None if r is None else r[:2] for r in run_cct(args, points)]


def in_area(lat, lon):
    return AREA[0] <= lat <= AREA[1] and AREA[2] <= lon <= AREA[3]


def grid_points(edges, steps, rng, count):
    """(lon, lat) over a grid's extent, on its cell corners, on its edges and just outside."""
    south, north, west, east = edges
    points = [(round(rng.uniform(west, east), 7), round(rng.uniform(south, north), 7))
              for _ in range(count)]
    dlat, dlon = steps
    for i, j in ((0, 0), (3, 7), (27, 30), (61, 83), (61, 0), (0, 83), (45, 12)):
        points.append((west + i * dlon, south + j * dlat))
    for t in (0.13, 0.5, 0.91):
        points += [(west + t * (east - west), south), (west + t * (east - west), north),
                   (west, south + t * (north - south)), (east, south + t * (north - south))]
    # 1e-6 deg: within cct's edge tolerance of 1e-5 (lat step + lon step); the others beyond it.
    for d in (1e-6, 4e-6, 6e-5, 0.01):
        mid_lon, mid_lat = (west + east) / 2, (south + north) / 2
        points += [(mid_lon, south - d), (mid_lon, north + d), (west - d, mid_lat),
                   (east + d, mid_lat)]
    return points


def area_points(rng, count):
    south, north, west, east = AREA
    points = [(round(rng.uniform(west, east), 7), round(rng.uniform(south, north), 7))
              for _ in range(count)]
    for t in (0.2, 0.7):
        points += [(west + t * (east - west), south), (west + t * (east - west), north),
                   (west, south + t * (north - south)), (east, south + t * (north - south))]
    for d in (1e-7, 0.01):
        points += [(12.0, south - d), (12.0, north + d), (west - d, 52.0), (east + d, 52.0)]
    return points


def fmt(v):
    return "none" if v is None else f"{v[0]:.12f}|{v[1]:.12f}"


def write(name, command, lines, maker="make_cases.py"):
    with open(os.path.join(DATA, name), "w") as f:
        f.write(f"# Official datum cases made with PROJ 9.1.1 (Debian proj-bin) by\n"
                f"# tests/generators/official_datum/{maker}:\n# {command}\n"
                "# grid|from|to|zone|x|y|x expected|y expected\n")
        for line in lines:
            f.write(line + "\n")


def swap(points):
    return [(b, a) for a, b in points]


def main():
    rng = random.Random(15)
    # Grid shift, system 1 <-> ETRS89 (system 3), both directions.
    points = grid_points(GRID_EDGES, (0.1, 1 / 6), rng, 60)
    forward = cct(f"+proj=hgridshift +grids={GRID}", points)
    write("official_grid_forward.txt", f"cct -d 12 +proj=hgridshift +grids={GRID}",
          [f"builtin|G1|G3|0|{x}|{y}|{fmt(r)}" for (x, y), r in zip(points, forward)])
    inverse = cct(f"-I +proj=hgridshift +grids={GRID}", points)
    check = cct(f"+proj=hgridshift +grids={GRID}", [r or (0.0, 0.0) for r in inverse])
    inverse = [r if r is not None and c is not None else None for r, c in zip(inverse, check)]
    write("official_grid_inverse.txt", f"cct -d 12 -I +proj=hgridshift +grids={GRID}  (results "
          "refused by the forward shift: none)",
          [f"builtin|G3|G1|0|{x}|{y}|{fmt(r)}" for (x, y), r in zip(points, inverse)])

    # EPSG:1775, system 4 <-> ETRS89, both directions (the pipeline takes latitude first).
    points = area_points(rng, 50)
    forward = cct(EPSG1775, swap(points))
    lines = []
    for (x, y), r in zip(points, forward):
        r = None if r is None or not in_area(y, x) else (r[1], r[0])
        lines.append(f"builtin|G4|G3|0|{x}|{y}|{fmt(r)}")
    write("official_helmert_forward.txt", f"cct -d 12 {EPSG1775}", lines)
    inverse = cct("-I " + EPSG1775, swap(points))
    lines = []
    for (x, y), r in zip(points, inverse):
        r = None if r is None or not in_area(r[0], r[1]) else (r[1], r[0])
        lines.append(f"builtin|G3|G4|0|{x}|{y}|{fmt(r)}")
    write("official_helmert_inverse.txt", f"cct -d 12 -I {EPSG1775}", lines)

    # Gauss-Krueger zone 3 (system 1) <-> UTM 32 (system 3), both directions.
    geo = [(round(rng.uniform(7.5, 10.5), 7), round(rng.uniform(47.3, 55.0), 7))
           for _ in range(40)]
    gk = [(round(x, 4), round(y, 4)) for x, y in cct(f"{GK3}", geo)]
    utm = cct(GK3_TO_UTM32, gk)
    write("official_gk3_utm32.txt", f"cct -d 12 {GK3_TO_UTM32}  (inputs: cct -d 12 {GK3})",
          [f"builtin|E1|E3|32|{x:.4f}|{y:.4f}|{fmt(r)}" for (x, y), r in zip(gk, utm)])
    utm = [(round(x, 4), round(y, 4)) for x, y in utm]
    back = cct("-I " + GK3_TO_UTM32, utm)
    write("official_utm32_gk3.txt", f"cct -d 12 -I {GK3_TO_UTM32}",
          [f"builtin|E3|E1|3|{x + 32e6:.4f}|{y:.4f}|{fmt(r)}" for (x, y), r in zip(utm, back)])

    # Gauss-Krueger zone 4 on Krassowsky (system 4) -> UTM 33 through EPSG:1775.
    geo = [(round(rng.uniform(12.0, 13.5), 7), round(rng.uniform(50.3, 54.6), 7))
           for _ in range(25)]
    gk = [(round(x, 4), round(y, 4)) for x, y in cct(GK4_KRASS, geo)]
    utm = cct(GK4_TO_UTM33, gk)
    write("official_gk4_utm33.txt", f"cct -d 12 {GK4_TO_UTM33}  (inputs: cct -d 12 {GK4_KRASS})",
          [f"builtin|E4|E3|33|{x:.4f}|{y:.4f}|{fmt(r)}" for (x, y), r in zip(gk, utm)])

    # System 1 -> system 4 geographic, through ETRS89.
    points = [(round(rng.uniform(10.0, 15.0), 7), round(rng.uniform(50.3, 54.6), 7))
              for _ in range(25)]
    result = cct(BESSEL_TO_KRASS, points)
    lines = []
    for (x, y), r in zip(points, result):
        r = None if r is None or not in_area(r[1], r[0]) else r
        lines.append(f"builtin|G1|G4|0|{x}|{y}|{fmt(r)}")
    write("official_bessel_krassowsky.txt", f"cct -d 12 {BESSEL_TO_KRASS}", lines)

    # The nested big-endian grid, both directions; the little-endian copy must agree.
    nested = os.path.join(DATA, "ntv2", "nested_be.gsb")
    points = grid_points((47.0, 56.0, 5.0, 16.0), (1.0, 1.0), rng, 30)
    points += [(10.0, 50.7), (9.5, 50.5), (10.25, 51.0), (9.0, 50.0), (11.0, 52.0), (13.0, 53.7),
               (12.0, 54.5), (9.75, 50.75), (10.26, 50.8), (9.49, 50.6)]
    points += [(round(rng.uniform(9.0, 11.0), 7), round(rng.uniform(50.0, 52.0), 7))
               for _ in range(20)]
    args = f"+proj=hgridshift +grids={nested}"
    shown = "+proj=hgridshift +grids=tests/data/ntv2/nested_be.gsb"
    forward = cct(args, points)
    inverse = cct("-I " + args, points)
    check = cct(args, [r or (0.0, 0.0) for r in inverse])
    inverse = [r if r is not None and c is not None else None for r, c in zip(inverse, check)]
    lines = []
    for name in ("nested_be.gsb", "nested_le.gsb"):
        lines += [f"{name}|G1|G3|0|{x}|{y}|{fmt(r)}" for (x, y), r in zip(points, forward)]
        lines += [f"{name}|G3|G1|0|{x}|{y}|{fmt(r)}" for (x, y), r in zip(points, inverse)]
    write("official_nested_grid.txt", f"cct -d 12 {shown}  and  cct -d 12 -I {shown}", lines)

    strong_child_cases()
    inverse_iteration_cases()


# The strong child grid (make_ntv2.py): constant shifts, the parent's P and the child's C (deg,
# east and north), the child's extent (deg). A point's preimages can only be p - P (valid outside
# the child) and p - C (valid inside it).
STRONG_P = (1.0 / 3600, 0.5 / 3600)
STRONG_C = (3.0 / 3600, 2.0 / 3600)
STRONG_CHILD = (50.0, 52.0, 9.0, 11.0)  # south, north, west, east
STRONG_PARENT = (47.0, 56.0, 5.0, 16.0)
MARGIN = 1e-4  # deg: candidates this near an edge are left out (edge tolerances are 2e-5 deg)


def inside(box, lon, lat, margin):
    south, north, west, east = box
    return west + margin < lon < east - margin and south + margin < lat < north - margin


def outside(box, lon, lat, margin):
    south, north, west, east = box
    return lon < west - margin or lon > east + margin or lat < south - margin or lat > north + margin


def preimages(lon, lat):
    """The points whose forward shift is (lon, lat), or None when one lies too near an edge to
    decide."""
    found = []
    x1 = (lon - STRONG_P[0], lat - STRONG_P[1])
    x2 = (lon - STRONG_C[0], lat - STRONG_C[1])
    if not (inside(STRONG_PARENT, *x1, MARGIN) and (inside(STRONG_CHILD, *x1, MARGIN) or
                                                    outside(STRONG_CHILD, *x1, MARGIN))):
        return None
    if not (inside(STRONG_CHILD, *x2, MARGIN) or outside(STRONG_CHILD, *x2, MARGIN)):
        return None
    if outside(STRONG_CHILD, *x1, MARGIN):
        found.append(x1)
    if inside(STRONG_CHILD, *x2, MARGIN):
        found.append(x2)
    return found


def strong_child_cases():
    """Forward shifts from cct; inverse shifts by construction (cct's forward shift of the
    expected point is the input): only points with one preimage, and points with none."""
    rng = random.Random(45)
    grid = os.path.join(DATA, "ntv2", "strong_child.gsb")
    shown = "tests/data/ntv2/strong_child.gsb"
    south, north, west, east = STRONG_CHILD
    points = [(round(rng.uniform(west - 0.01, east + 0.01), 7),
               round(rng.uniform(south - 0.01, north + 0.01), 7)) for _ in range(40)]
    # Within 3" of each edge, inside and outside: where the shifts' 45 m difference decides.
    for _ in range(60):
        d = rng.uniform(-3.5, 3.5) / 3600
        t = rng.uniform(0.1, 0.9)
        points += [(east + d, south + t * (north - south)), (west + d, south + t * (north - south)),
                   (west + t * (east - west), north + d), (west + t * (east - west), south + d)]
    points = [(round(x, 9), round(y, 9)) for x, y in points]
    forward = cct(f"+proj=hgridshift +grids={grid}", points)
    lines = [f"strong_child.gsb|G1|G3|0|{x}|{y}|{fmt(r)}" for (x, y), r in zip(points, forward)]
    inverse = 0
    for (x, y), r in zip(points, forward):
        found = preimages(*r)
        if found is None or len(found) != 1:
            continue  # too near an edge, or two preimages
        assert abs(found[0][0] - x) < 1e-9 and abs(found[0][1] - y) < 1e-9, (x, y, found)
        lines.append(f"strong_child.gsb|G3|G1|0|{r[0]:.12f}|{r[1]:.12f}|{x}|{y}")
        inverse += 1
    # Points no forward shift reaches (the child's image leaves a gap where its shift exceeds
    # the parent's): no path.
    gaps = 0
    while gaps < 12:
        t = rng.uniform(0.1, 0.9)
        d = rng.uniform(0.0, 2.0) / 3600
        for p in ((west + STRONG_P[0] + d, south + t * (north - south)),
                  (west + t * (east - west), south + STRONG_P[1] + d * 0.75)):
            p = (round(p[0], 9), round(p[1], 9))
            if preimages(*p) == []:
                lines.append(f"strong_child.gsb|G3|G1|0|{p[0]}|{p[1]}|none")
                gaps += 1
    assert inverse >= 150, inverse
    write("official_strong_child.txt",
          f"cct -d 12 +proj=hgridshift +grids={shown}  (G1 -> G3). G3 -> G1 by construction: the "
          "input is cct's forward shift of the expected point, kept where no other point shifts "
          "to it (the shifts are constant per sub-grid, the parent's 0.5\" N 1\" E, the "
          "child's 2\" N 3\" E); none: no point shifts to it", lines)


# The linear grid (make_ntv2.py): latitude shift s(lat) = 0.2 (lat - 50.5 deg). From the point p
# less its shift, each iteration's correction is (1 + c) c^k s(x) for the k-th iteration, c = 0.2,
# x the preimage: a point converges (correction <= 1e-12 rad) on the iteration its distance to
# 50.5 N decides.
LINEAR_SLOPE = 0.2
LINEAR_ZERO = 50.5


def inverse_iteration_cases():
    grid = os.path.join(DATA, "ntv2", "linear_shift.gsb")
    shown = "tests/data/ntv2/linear_shift.gsb"
    c = LINEAR_SLOPE
    cases = []
    for k, correction, sign, lon in ((8, 0.5e-12, 1, 10.3), (9, 0.5e-12, -1, 10.4),
                                     (10, 0.5e-12, 1, 10.5), (10, 0.4e-12, -1, 10.6),
                                     (10, 0.7e-12, 1, 10.7), (11, 0.5e-12, -1, 10.8),
                                     (12, 0.5e-12, 1, 10.2)):
        shift = sign * correction / ((1 + c) * c ** k)  # rad, at the preimage
        lat = LINEAR_ZERO + math.degrees(shift / c)
        cases.append((k, (lon, round(lat, 12))))
    forward = cct(f"+proj=hgridshift +grids={grid}", [p for _, p in cases])
    lines = []
    for (k, (x, y)), r in zip(cases, forward):
        expected = f"{x}|{y:.12f}" if k <= 10 else "none"
        lines.append(f"linear_shift.gsb|G3|G1|0|{r[0]:.12f}|{r[1]:.12f}|{expected}")
    write("official_inverse_iterations.txt",
          f"cct -d 12 +proj=hgridshift +grids={shown} of the expected points gives the inputs; "
          "by construction the inverse settles on the 8th, 9th, 10th (three points), or not within "
          "10 iterations (11th, 12th: none)", lines)


if __name__ == "__main__":
    main()
