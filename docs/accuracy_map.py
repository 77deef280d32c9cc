#!/usr/bin/env python3
"""Draws docs/accuracy.png and fills the table of docs/accuracy.md: how far the polynomial datum
shift is from the official one, system 1 -> 3 and system 4 -> 3, over a lattice of 0.05 deg.

Both come from the library itself (the Python package): a point counts where both datum shifts
convert it, i.e. inside the polynomials' regions of validity (which trace Germany's outline) and
inside the BeTA2007 grid or EPSG:1775's area of use. Run by `make accuracy-map`, or:
PYTHONPATH=build/dev/python /usr/bin/python3 docs/accuracy_map.py
"""
import pathlib
import re

import matplotlib

matplotlib.use("Agg")
import matplotlib.pyplot as plt  # noqa: E402
import numpy as np  # noqa: E402

import nuvex  # noqa: E402

DOCS = pathlib.Path(__file__).resolve().parent
STEP = 0.05  # deg
METRES_PER_DEGREE = 111320.0
ROUTES = [("G:1", "System 1 (Bessel / DHDN) -> 3 (ETRS89): BeTA2007 grid"),
          ("G:4", "System 4 (Krassowsky / Pulkovo 42/83) -> 3: EPSG:1775")]


def differences(source):
    lon, lat = np.meshgrid(np.arange(5.0, 16.0 + STEP / 2, STEP),
                           np.arange(47.0, 55.5 + STEP / 2, STEP))
    poly = nuvex.Transformer(source, "G:3").transform(lon, lat)
    official = nuvex.Transformer(source, "G:3", datum="official").transform(lon, lat)
    both = (poly[3] == 0) & (official[3] == 0)
    east = (poly[0] - official[0]) * METRES_PER_DEGREE * np.cos(np.radians(lat))
    north = (poly[1] - official[1]) * METRES_PER_DEGREE
    distance = np.where(both, np.hypot(east, north), np.nan)
    return lon, lat, distance


def main():
    figure, axes = plt.subplots(1, 2, figsize=(12, 6.5), constrained_layout=True)
    rows = []
    for axis, (source, title) in zip(axes, ROUTES):
        lon, lat, distance = differences(source)
        values = distance[np.isfinite(distance)]
        rows.append((title, values.size, values.mean(), np.percentile(values, 95), values.max()))
        mesh = axis.pcolormesh(lon, lat, distance, cmap="viridis", vmin=0.0, vmax=2.0,
                               shading="nearest")
        axis.set_title(title, fontsize=10)
        axis.set_xlabel("longitude (deg E)")
        axis.set_ylabel("latitude (deg N)")
        axis.set_aspect(1.0 / np.cos(np.radians(51.0)))
        axis.set_xlim(5.0, 16.0)
        axis.set_ylim(47.0, 55.5)
        axis.grid(True, linewidth=0.3)
    figure.colorbar(mesh, ax=axes, shrink=0.8, label="polynomial - official (m)")
    figure.suptitle("nuvex: the polynomial datum shift against the official transformations")
    figure.savefig(DOCS / "accuracy.png", dpi=80)

    table = ["| route | points | mean | 95% | max |", "|---|---:|---:|---:|---:|"]
    for title, count, mean, p95, most in rows:
        table.append(f"| {title} | {count} | {mean:.2f} m | {p95:.2f} m | {most:.2f} m |")
    page = DOCS / "accuracy.md"
    text = page.read_text()
    text = re.sub(r"(<!-- table -->\n).*?(<!-- end of table -->)",
                  lambda m: m.group(1) + "\n".join(table) + "\n" + m.group(2), text, flags=re.S)
    page.write_text(text)
    print("\n".join(table))


if __name__ == "__main__":
    main()
