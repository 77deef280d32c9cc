#!/usr/bin/env python3
"""Writes the ITRF2020 (system 5) case files from PROJ's cct (Debian proj-bin, PROJ 9.1.1), run
in the repository root so that data/BETA2007.gsb is the grid read. PROJ 9.1.1 has no EPSG:10586
("ITRF2020 to ETRF2000 (1)") among its operations, but runs the same time-dependent Position
Vector Helmert through geocentric GRS80 coordinates when given its parameters; the epoch is the
fourth coordinate of every point.

  tests/data/itrf2020_etrs89.txt  EPSG:10586 alone: a lattice over Germany (6..15 E, 47..55 N,
                                  1 deg) at the epochs 2015.0, 2020.5, 2026.9 and 2035.0, from
                                  ITRF2020 to ETRS89 and back (every other point each way, the
                                  other way at the next epoch) at height 0; a few points with
                                  ellipsoidal heights up to 3000 m, converted in three dimensions
  tests/data/itrf2020_chain.txt   ITRF2020 UTM 32 -> DHDN Gauss-Krueger zone 3 (EPSG:10586 at
                                  height 0, then BeTA2007 inverse) and back, at three epochs;
                                  ITRF2020 geographic -> DHDN Gauss-Krueger zone 3;
                                  ITRF2020 UTM 33 -> Krassowsky Gauss-Krueger 3 deg zone 5
                                  (EPSG:10586 and EPSG:1775 inverse, each at height 0) and back

Each file's header gives the exact cct commands. Line format:
  from|to|zone|epoch|x|y|z|x expected|y expected|z expected
  from, to  "E:1" grid or "G:3" geographic of system 1..5; "+h" after both: ellipsoidal heights
            (GRS80) converted in three dimensions
  zone      the output zone given to the converter (0: from the longitude); Gauss-Krueger input
            carries its zone in the easting, UTM input its zone in the easting's millions
  epoch     decimal year of the point
  z         metres; "-" where no heights are converted (both z fields)
  expected  "none" (one field) where cct refuses the point (outside BeTA2007), or, on the
            Krassowsky side, where the point lies outside EPSG:1775's area of use (projinfo's
            BBOX 50.2..54.74 N, 9.92..15.04 E), which cct does not check
Run from anywhere: python3 tests/generators/itrf2020/make_cases.py
"""
import math
import os
import random
import sys

ROOT = os.path.abspath(os.path.join(os.path.dirname(__file__), "..", "..", ".."))
sys.path.insert(0, os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
from proj_cct import cct as run_cct  # noqa: E402  (the generators' shared runner)

DATA = os.path.join(ROOT, "tests", "data")

BETA = "data/BETA2007.gsb"
AREA = (50.2, 54.74, 9.92, 15.04)  # EPSG:1775 on the Krassowsky side: south, north, west, east
EPOCHS = (2015.0, 2020.5, 2026.9, 2035.0)

# EPSG:10586 in PROJ's units: translations m, rotations arc seconds, scale ppm, rates per year.
FRAME = ("+proj=helmert +x=0.0538 +y=0.0518 +z=-0.0822 +rx=0.002106 +ry=0.01274 +rz=-0.020592 "
         "+s=0.00225 +dx=0.0001 +dy=0 +dz=-0.0017 +drx=8.1e-05 +dry=0.00049 +drz=-0.000792 "
         "+ds=0.00011 +t_epoch=2015 +convention=position_vector")
HELMERT = ("+proj=helmert +x=24.9 +y=-126.4 +z=-93.2 +rx=-0.063 +ry=-0.247 +rz=-0.041 +s=1.01 "
           "+convention=position_vector")
GK3 = "+proj=tmerc +lat_0=0 +lon_0=9 +k=1 +x_0=3500000 +y_0=0 +ellps=bessel"
GK5_KRASS = "+proj=tmerc +lat_0=0 +lon_0=15 +k=1 +x_0=5500000 +y_0=0 +ellps=krass"
UTM32 = "+proj=utm +zone=32 +ellps=GRS80"
UTM33 = "+proj=utm +zone=33 +ellps=GRS80"

ITRF_TO_ETRS = (f"+proj=pipeline +step +proj=cart +ellps=GRS80 +step {FRAME} "
                "+step +inv +proj=cart +ellps=GRS80")
ITRF_STEP = f"+step +proj=cart +ellps=GRS80 +step {FRAME} +step +inv +proj=cart +ellps=GRS80"
# Each seven-parameter step of a horizontal chain runs at height 0 on its input side.
AT_HEIGHT_ZERO = "+step +proj=set +v_3=0"
UTM32_TO_GK3 = (f"+proj=pipeline +step +inv {UTM32} {AT_HEIGHT_ZERO} {ITRF_STEP} "
                f"+step +inv +proj=hgridshift +grids={BETA} +step {GK3}")
GEO_TO_GK3 = (f"+proj=pipeline {AT_HEIGHT_ZERO} {ITRF_STEP} "
              f"+step +inv +proj=hgridshift +grids={BETA} +step {GK3}")
UTM33_TO_KRASS = (f"+proj=pipeline +step +inv {UTM33} {AT_HEIGHT_ZERO} {ITRF_STEP} "
                  f"{AT_HEIGHT_ZERO} +step +proj=cart +ellps=GRS80 +step +inv {HELMERT} "
                  "+step +inv +proj=cart +ellps=krass")
UTM33_TO_GK5 = f"{UTM33_TO_KRASS} +step {GK5_KRASS}"
GK5_TO_UTM33 = (f"+proj=pipeline +step +inv {GK5_KRASS} {AT_HEIGHT_ZERO} "
                f"+step +proj=cart +ellps=krass +step {HELMERT} +step +inv +proj=cart +ellps=GRS80 "
                f"{AT_HEIGHT_ZERO} +step +proj=cart +ellps=GRS80 +step +inv {FRAME} "
                f"+step +inv +proj=cart +ellps=GRS80 +step {UTM33}")


def cct(args, points):
    """Runs cct on (x, y, z, epoch) points; a refused point (an error record, or inf out) gives
    None, else (x, y, z)."""
    return run_cct(args, points, cwd=ROOT)


def in_area(lon, lat):
    return AREA[0] <= lat <= AREA[1] and AREA[2] <= lon <= AREA[3]


def fmt(v, heights):
    if v is None:
        return "none"
    return f"{v[0]:.12f}|{v[1]:.12f}|" + (f"{v[2]:.12f}" if heights else "-")


def row(source, target, zone, p, expected):
    """p: (x, y, z, epoch); z is written where the sides carry heights."""
    heights = source.endswith("+h")
    z = repr(p[2]) if heights else "-"
    return (f"{source}|{target}|{zone}|{p[3]!r}|{p[0]!r}|{p[1]!r}|{z}|"
            f"{fmt(expected, heights)}")


def write(name, commands, lines):
    with open(os.path.join(DATA, name), "w") as f:
        f.write("# ITRF2020 cases made with PROJ 9.1.1 (Debian proj-bin) by\n"
                "# tests/generators/itrf2020/make_cases.py, in the repository root; cct reads\n"
                "# x y z epoch:\n")
        for command in commands:
            f.write(f"# {command}\n")
        f.write("# from|to|zone|epoch|x|y|z|x expected|y expected|z expected\n")
        f.write("\n".join(lines) + "\n")


def shift_metres(lon, lat, moved):
    """Length (m) of the shift from (lon, lat) to moved on GRS80, by the radii of curvature at
    the point: exact to far below a millimetre for a shift of a metre."""
    a, f = 6378137.0, 1 / 298.257222101
    e2 = f * (2 - f)
    phi = math.radians(lat)
    w = math.sqrt(1 - e2 * math.sin(phi) ** 2)
    meridian, prime = a * (1 - e2) / w ** 3, a / w
    east = math.radians(moved[0] - lon) * prime * math.cos(phi)
    north = math.radians(moved[1] - lat) * meridian
    return math.hypot(east, north)


# ---- EPSG:10586 alone ---------------------------------------------------------------------------

def frame_cases(rng):
    lattice = [(float(lon), float(lat)) for lat in range(47, 56) for lon in range(6, 16)]
    lines = []
    for e, epoch in enumerate(EPOCHS):
        forward = [(x, y, 0.0, epoch) for k, (x, y) in enumerate(lattice) if (k + e) % 2 == 0]
        inverse = [(x, y, 0.0, epoch) for k, (x, y) in enumerate(lattice) if (k + e) % 2 == 1]
        lines += [row("G:5", "G:3", 0, p, r) for p, r in zip(forward, cct(ITRF_TO_ETRS, forward))]
        lines += [row("G:3", "G:5", 0, p, r)
                  for p, r in zip(inverse, cct("-I " + ITRF_TO_ETRS, inverse))]
    # In three dimensions: heights from the sea to the Alps, and the epochs' extremes.
    spatial = [(round(rng.uniform(6.0, 15.0), 7), round(rng.uniform(47.0, 55.0), 7),
                round(rng.uniform(0.0, 3000.0), 4), rng.choice(EPOCHS)) for _ in range(12)]
    spatial += [(10.0, 50.0, 0.0, 2026.9), (10.0, 50.0, 3000.0, 2026.9),
                (12.0, 48.0, 1500.0, 1990.0), (12.0, 48.0, 1500.0, 2100.0)]
    lines += [row("G:5+h", "G:3+h", 0, p, r) for p, r in zip(spatial, cct(ITRF_TO_ETRS, spatial))]
    back = [(x, y, z, t) for (x, y, z), (_, _, _, t) in
            zip(cct(ITRF_TO_ETRS, spatial[:8]), spatial[:8])]
    back = [(round(x, 9), round(y, 9), round(z, 4), t) for x, y, z, t in back]
    lines += [row("G:3+h", "G:5+h", 0, p, r) for p, r in zip(back, cct("-I " + ITRF_TO_ETRS, back))]
    # The figures the library is described with: at 2026.9 ITRF2020 lies some 0.94 m from ETRS89
    # in Hamburg and 0.99 m in Munich.
    cities = [(9.993, 53.551, 0.0, 2026.9), (11.576, 48.137, 0.0, 2026.9)]
    shifts = [shift_metres(p[0], p[1], r) for p, r in zip(cities, cct(ITRF_TO_ETRS, cities))]
    assert abs(shifts[0] - 0.94) < 0.005 and abs(shifts[1] - 0.99) < 0.005, shifts
    print(f"shifts at 2026.9: Hamburg {shifts[0]:.4f} m, Munich {shifts[1]:.4f} m")
    write("itrf2020_etrs89.txt",
          [f"cct -d 12 {ITRF_TO_ETRS}  (G:5 -> G:3 with z 0, z out unused; G:5+h -> G:3+h)",
           f"cct -d 12 -I {ITRF_TO_ETRS}  (G:3 -> G:5 with z 0, z out unused; G:3+h -> G:5+h)"],
          lines)


# ---- Chains through ETRS89 ---------------------------------------------------------------------

def bessel_chain(rng):
    """ITRF2020 UTM 32 <-> DHDN Gauss-Krueger zone 3, and ITRF2020 geographic -> DHDN."""
    geo = [(round(rng.uniform(6.0, 12.0), 7), round(rng.uniform(47.3, 55.0), 7))
           for _ in range(20)]
    geo += [(7.0, 46.3), (8.0, 56.2)]  # south and north of BeTA2007
    utm = [(round(x, 4), round(y, 4)) for x, y, _ in cct(UTM32, [(x, y, 0.0, 0.0) for x, y in geo])]
    lines, back_inputs = [], []
    for epoch in EPOCHS[1:]:
        points = [(x, y, 0.0, epoch) for x, y in utm]
        gk = cct(UTM32_TO_GK3, points)
        # cct's inverse grid shift passes off a first approximation where its forward shift
        # refuses the result: such results are none.
        check = cct("-I " + UTM32_TO_GK3, [(r[0], r[1], 0.0, epoch) if r else (0.0, 0.0, 0.0, epoch)
                                            for r in gk])
        gk = [r if r is not None and c is not None else None for r, c in zip(gk, check)]
        lines += [row("E:5", "E:1", 3, (x + 32e6, y, z, t), r)
                  for (x, y, z, t), r in zip(points, gk)]
        back_inputs += [(round(r[0], 4), round(r[1], 4), 0.0, epoch) for r in gk if r]
    back = cct("-I " + UTM32_TO_GK3, back_inputs)
    lines += [row("E:1", "E:5", 32, p, r) for p, r in zip(back_inputs, back)]
    geo = [(round(rng.uniform(6.0, 13.0), 7), round(rng.uniform(47.3, 55.0), 7), 0.0, 2026.9)
           for _ in range(15)]
    lines += [row("G:5", "E:1", 3, p, r) for p, r in zip(geo, cct(GEO_TO_GK3, geo))]
    return lines


def krassowsky_chain(rng):
    """ITRF2020 UTM 33 <-> Krassowsky Gauss-Krueger 3 deg zone 5, EPSG:1775's area checked on
    the Krassowsky side."""
    geo = [(round(rng.uniform(12.3, 15.0), 7), round(rng.uniform(50.25, 54.7), 7))
           for _ in range(15)]
    geo += [(14.3, 50.05), (14.0, 54.9), (15.3, 51.0)]  # Czechia, the Baltic Sea, Poland
    utm = [(round(x, 4), round(y, 4)) for x, y, _ in cct(UTM33, [(x, y, 0.0, 0.0) for x, y in geo])]
    lines, back_inputs = [], []
    for epoch in (2020.5, 2035.0):
        points = [(x, y, 0.0, epoch) for x, y in utm]
        gk = cct(UTM33_TO_GK5, points)
        krass = cct(UTM33_TO_KRASS, points)
        gk = [r if in_area(k[0], k[1]) else None for r, k in zip(gk, krass)]
        lines += [row("E:5", "E:4", 5, (x + 33e6, y, z, t), r)
                  for (x, y, z, t), r in zip(points, gk)]
        back_inputs += [(round(x, 4), round(y, 4), 0.0, epoch)
                        for x, y, _ in cct(GK5_KRASS, [(x, y, 0.0, 0.0) for x, y in geo])]
    back = cct(GK5_TO_UTM33, back_inputs)
    krass = cct(f"-I {GK5_KRASS}", back_inputs)
    lines += [row("E:4", "E:5", 33, p, r if in_area(k[0], k[1]) else None)
              for p, r, k in zip(back_inputs, back, krass)]
    return lines


def chain_cases(rng):
    lines = bessel_chain(rng) + krassowsky_chain(rng)
    write("itrf2020_chain.txt",
          [f"cct -d 12 {UTM32_TO_GK3}  (E:5 -> E:1; inputs: cct -d 12 {UTM32}; results the "
           "inverse refuses: none)",
           f"cct -d 12 -I {UTM32_TO_GK3}  (E:1 -> E:5)",
           f"cct -d 12 {GEO_TO_GK3}  (G:5 -> E:1)",
           f"cct -d 12 {UTM33_TO_GK5}  (E:5 -> E:4; the area checked on the result of "
           f"cct -d 12 {UTM33_TO_KRASS})",
           f"cct -d 12 {GK5_TO_UTM33}  (E:4 -> E:5; inputs: cct -d 12 {GK5_KRASS}; the area "
           f"checked on the input by cct -d 12 -I {GK5_KRASS})"], lines)


def main():
    rng = random.Random(2020)
    frame_cases(rng)
    chain_cases(rng)


if __name__ == "__main__":
    main()
