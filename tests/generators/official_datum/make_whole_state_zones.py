#!/usr/bin/env python3
"""Makes tests/data/official_whole_state_zones.txt: official conversions into and out of the
zone a state keeps for its whole territory, farther than 3 deg from the zone's central meridian
(Bavaria and Saxony-Anhalt in UTM 32 up to 13.8 deg E, Mecklenburg-Vorpommern in UTM 33 down to
10.6 deg E, Germany-wide data sets in one zone), made with PROJ 9.1.1 (Debian proj-bin) by cct.
PROJ's tmerc and utm are its exact (Poder/Engsager) algorithm."""
import os
import random

from make_cases import DATA, GK3, GRID, cct, fmt, write

GK4 = "+proj=tmerc +lat_0=0 +lon_0=12 +k=1 +x_0=4500000 +y_0=0 +ellps=bessel"
UTM32 = "+proj=utm +zone=32 +ellps=GRS80"
UTM33 = "+proj=utm +zone=33 +ellps=GRS80"
GK3_TO_UTM33 = f"+proj=pipeline +step +inv {GK3} +step +proj=hgridshift +grids={GRID} +step {UTM33}"
GK4_TO_UTM32 = f"+proj=pipeline +step +inv {GK4} +step +proj=hgridshift +grids={GRID} +step {UTM32}"
# Passau, Berlin and Goerlitz (ETRS89, deg): the farthest of Bavaria, Germany's capital and its
# easternmost town, all written in UTM 32.
CITIES = [(13.4667, 48.5667), (13.4050, 52.5200), (14.9870, 51.1530)]


def main():
    rng = random.Random(22)
    lines = []
    # DHDN Gauss-Krueger zone 3 -> ETRS89 UTM 33 (4 to 5 deg west of 15 deg E).
    geo = [(round(rng.uniform(10.0, 11.0), 7), round(rng.uniform(50.5, 54.5), 7)) for _ in range(12)]
    gk = [(round(x, 4), round(y, 4)) for x, y in cct(GK3, geo)]
    lines += [f"builtin|E1|E3|33|{x:.4f}|{y:.4f}|{fmt(r)}" for (x, y), r in zip(gk, cct(GK3_TO_UTM33, gk))]
    # DHDN Gauss-Krueger zone 4 -> ETRS89 UTM 32 (3.5 to 4.8 deg east of 9 deg E), and back.
    geo = [(round(rng.uniform(12.5, 13.8), 7), round(rng.uniform(47.6, 54.5), 7)) for _ in range(12)]
    gk = [(round(x, 4), round(y, 4)) for x, y in cct(GK4, geo)]
    utm = cct(GK4_TO_UTM32, gk)
    lines += [f"builtin|E1|E3|32|{x:.4f}|{y:.4f}|{fmt(r)}" for (x, y), r in zip(gk, utm)]
    utm = [(round(x, 4), round(y, 4)) for x, y in utm]
    lines += [f"builtin|E3|E1|4|{x + 32e6:.4f}|{y:.4f}|{fmt(r)}"
              for (x, y), r in zip(utm, cct("-I " + GK4_TO_UTM32, utm))]
    # The cities in EPSG:25832, both ways.
    grid = cct(UTM32, CITIES)
    lines += [f"builtin|G3|E3|32|{x}|{y}|{fmt(r)}" for (x, y), r in zip(CITIES, grid)]
    grid = [(round(x, 4), round(y, 4)) for x, y in grid]
    lines += [f"builtin|E3|G3|0|{x + 32e6:.4f}|{y:.4f}|{fmt(r)}"
              for (x, y), r in zip(grid, cct("-I " + UTM32, grid))]
    write("official_whole_state_zones.txt",
          f"cct -d 12 {GK3_TO_UTM33} ; cct -d 12 {GK4_TO_UTM32} (and -I) ; cct -d 12 {UTM32} "
          f"(and -I)  (inputs: cct -d 12 {GK3} and {GK4})", lines, "make_whole_state_zones.py")


if __name__ == "__main__":
    main()
