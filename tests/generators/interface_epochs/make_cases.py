#!/usr/bin/env python3
"""Writes tests/data/interface_epochs.txt, the cases of system 5 (ITRF2020 at an epoch) through
the Python package and the C interface, from PROJ's cct (Debian proj-bin, PROJ 9.1.1), run in the
repository root so that data/BETA2007.gsb is the grid read. PROJ 9.1.1 has no EPSG:10586
("ITRF2020 to ETRF2000 (1)") among its operations, but runs the same time-dependent Position
Vector Helmert through geocentric GRS80 coordinates when given its parameters; the epoch is the
fourth coordinate of every point (cct reads "x y z epoch").

Each block of the file names its cct command; within a block the points have different epochs,
so that one call with an epoch per point meets them all. Line format:
  source|target|epoch|x|y|z|x expected|y expected|z expected
  source, target  names as both interfaces read them
  z               metres, "-" (in and out) where no heights are converted; 2D conversions run the
                  frame transformation at height 0
Run from anywhere: python3 tests/generators/interface_epochs/make_cases.py
"""
import os
import subprocess

ROOT = os.path.abspath(os.path.join(os.path.dirname(__file__), "..", "..", ".."))
CASES = os.path.join(ROOT, "tests", "data", "interface_epochs.txt")

# EPSG:10586 in PROJ's units: translations m, rotations arc seconds, scale ppm, rates per year.
FRAME = ("+proj=helmert +x=0.0538 +y=0.0518 +z=-0.0822 +rx=0.002106 +ry=0.01274 +rz=-0.020592 "
         "+s=0.00225 +dx=0.0001 +dy=0 +dz=-0.0017 +drx=8.1e-05 +dry=0.00049 +drz=-0.000792 "
         "+ds=0.00011 +t_epoch=2015 +convention=position_vector")
THREE_D = (f"+proj=pipeline +step +proj=cart +ellps=GRS80 +step {FRAME} "
           "+step +inv +proj=cart +ellps=GRS80")
# The 2D frame transformation: the height is kept aside, the step runs at the input's 0.
TWO_D = (f"+proj=pipeline +step +proj=push +v_3 +step +proj=cart +ellps=GRS80 +step {FRAME} "
         "+step +inv +proj=cart +ellps=GRS80 +step +proj=pop +v_3")
TO_DHDN_GK3 = (f"{TWO_D} +step +inv +proj=hgridshift +grids=data/BETA2007.gsb "
               "+step +proj=tmerc +lat_0=0 +lon_0=9 +k=1 +x_0=3500000 +y_0=0 +ellps=bessel")

# (source, target, cct arguments, points: (x, y, z or None, epoch))
GEOGRAPHIC = [(10.0, 50.0, None, 2026.9), (6.5, 47.8, None, 1990.0), (13.7, 54.2, None, 2100.0),
              (8.25, 52.1, None, 2015.0), (11.6, 48.1, None, 2024.37)]
GAUSS_KRUEGER = [(3571769.2056, 5540886.3527, None, 2026.9), (3500000.0, 5375000.0, None, 2020.0),
                 (3433000.0, 5930000.0, None, 2030.25), (3528000.0, 5675000.0, None, 1999.5)]
BLOCKS = [
    ("ITRF2020 longitude and latitude to ETRS89 (EPSG:10586 at height 0):",
     "EPSG:9990", "EPSG:4258", ["-d", "12", *TWO_D.split()], GEOGRAPHIC),
    ("ETRS89 to ITRF2020, the same pipeline inverted:",
     "EPSG:4258", "EPSG:9990", ["-d", "12", "-I", *TWO_D.split()], GEOGRAPHIC),
    ("ITRF2020 to DHDN Gauss-Krueger zone 3 (EPSG:10586 at height 0, then BeTA2007 inverse):",
     "EPSG:9990", "EPSG:31467", ["-d", "12", *TO_DHDN_GK3.split()],
     [(10.0, 50.0, None, 2026.9), (9.0, 48.5, None, 2020.0), (8.0, 53.5, None, 2030.25),
      (10.4, 51.2, None, 1999.5)]),
    ("DHDN Gauss-Krueger zone 3 to ITRF2020, the same pipeline inverted:",
     "EPSG:31467", "EPSG:9990", ["-d", "12", "-I", *TO_DHDN_GK3.split()], GAUSS_KRUEGER),
    ("ITRF2020 with ellipsoidal heights to ETRS89 with ellipsoidal heights, in three dimensions:",
     "EPSG:9989", "EPSG:4937", ["-d", "12", *THREE_D.split()],
     [(10.0, 50.0, 100.0, 2026.9), (12.0, 52.0, 350.5, 2010.0), (7.0, 49.5, -20.25, 2044.0)]),
]


def run_cct(arguments, points):
    text = "".join(f"{x!r} {y!r} {0.0 if z is None else z!r} {epoch!r}\n"
                   for x, y, z, epoch in points)
    finished = subprocess.run(["cct", *arguments], input=text, capture_output=True, text=True,
                              check=True, cwd=ROOT)
    return [line.split() for line in finished.stdout.splitlines()]


def main():
    lines = [
        "# System 5 (ITRF2020 at an epoch) through the Python package and the C interface, made",
        "# with PROJ 9.1.1 (Debian proj-bin) by tests/generators/interface_epochs/make_cases.py in",
        "# the repository root. Each block names its cct command; cct reads \"x y z epoch\" (z 0",
        "# for 2D).",
        "# source|target|epoch|x|y|z|x expected|y expected|z expected (z \"-\": no heights)",
    ]
    for title, source, target, arguments, points in BLOCKS:
        lines += ["#", f"# {title}", "# cct " + " ".join(arguments)]
        for (x, y, z, epoch), result in zip(points, run_cct(arguments, points)):
            heights = z is not None
            lines.append("|".join([source, target, repr(epoch), repr(x), repr(y),
                                   repr(z) if heights else "-", result[0], result[1],
                                   result[2] if heights else "-"]))
    with open(CASES, "w", encoding="ascii") as out:
        out.write("\n".join(lines) + "\n")


if __name__ == "__main__":
    main()
