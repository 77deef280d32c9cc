#!/usr/bin/env python3
"""Draws docs/itrf2020.png: how far ITRF2020 coordinates lie from ETRS89 ones over Germany at the
epoch 2026.9, and how that grows with the epoch, as PROJ 9.1.1's `cct` (Debian proj-bin) gives
EPSG:10586 (ITRF2020 to ETRF2000) -- nothing here comes from nuvex.

- cct -d 12 with the pipeline below (the one tests/data/cli_epochs.txt names) takes each point of
  a 0.05 deg lattice, as ITRF2020 longitude and latitude at height 0 with the epoch as fourth
  coordinate, to ETRS89; ITRF2020 - ETRS89 is turned into metres east and north with GRS80's
  radii of curvature at the point (exact to far below a millimetre at these sizes).
- Right: the length of the difference at a few places for epochs from 1990 to 2100.

Run by `make itrf2020-map`, or from the repository root: /usr/bin/python3 docs/itrf2020_map.py
"""
import math
import pathlib
import subprocess

import matplotlib

matplotlib.use("Agg")
import matplotlib.pyplot as plt  # noqa: E402
import numpy as np  # noqa: E402

ROOT = pathlib.Path(__file__).resolve().parent.parent
EPOCH = 2026.9
STEP = 0.05  # deg
ARROW_STEP = 1.0  # deg
WEST, EAST, SOUTH, NORTH = 5.5, 15.5, 47.0, 55.5
HELMERT = ["+proj=helmert", "+x=0.0538", "+y=0.0518", "+z=-0.0822", "+rx=0.002106",
           "+ry=0.01274", "+rz=-0.020592", "+s=0.00225", "+dx=0.0001", "+dy=0", "+dz=-0.0017",
           "+drx=8.1e-05", "+dry=0.00049", "+drz=-0.000792", "+ds=0.00011", "+t_epoch=2015",
           "+convention=position_vector"]
PIPELINE = ["+proj=pipeline", "+step", "+proj=push", "+v_3", "+step", "+proj=cart",
            "+ellps=GRS80", "+step", *HELMERT, "+step", "+inv", "+proj=cart", "+ellps=GRS80",
            "+step", "+proj=pop", "+v_3"]
GRS80_A = 6378137.0
GRS80_F = 1 / 298.257222101
PLACES = {"Berlin": (13.40, 52.52), "Hamburg": (9.99, 53.55), "Cologne": (6.96, 50.94),
          "Munich": (11.58, 48.14), "Goettingen": (9.94, 51.53)}


def itrf2020_minus_etrs89(lon, lat, epoch):
    """Metres east and north of ITRF2020 from ETRS89 for points given in ITRF2020 at the epoch."""
    epochs = np.broadcast_to(epoch, lon.shape).ravel()
    points = "".join(f"{x:.6f} {y:.6f} 0 {t:.6f}\n"
                     for x, y, t in zip(lon.ravel(), lat.ravel(), epochs))
    output = subprocess.run(["cct", "-d", "12", *PIPELINE], input=points, capture_output=True,
                            text=True, check=True, cwd=ROOT).stdout
    rows = np.array([[float(v) for v in line.split()[:2]] for line in output.splitlines()
                     if line.strip()])
    assert rows.shape == (lon.size, 2), "cct answered every point"
    etrs_lon, etrs_lat = rows[:, 0].reshape(lon.shape), rows[:, 1].reshape(lon.shape)
    phi = np.radians(lat)
    e2 = GRS80_F * (2 - GRS80_F)
    w = np.sqrt(1 - e2 * np.sin(phi) ** 2)
    prime = GRS80_A / w  # N: prime vertical radius
    meridian = GRS80_A * (1 - e2) / w ** 3  # M
    east = np.radians(lon - etrs_lon) * prime * np.cos(phi)
    north = np.radians(lat - etrs_lat) * meridian
    return east, north


def draw_map(axis, figure):
    lon, lat = np.meshgrid(np.arange(WEST, EAST + STEP / 2, STEP),
                           np.arange(SOUTH, NORTH + STEP / 2, STEP))
    east, north = itrf2020_minus_etrs89(lon, lat, EPOCH)
    length = np.hypot(east, north)
    print(f"{EPOCH}: {length.min():.4f} .. {length.max():.4f} m, east {east.min():.4f} .. "
          f"{east.max():.4f}, north {north.min():.4f} .. {north.max():.4f}")
    mesh = axis.pcolormesh(lon, lat, length, cmap="viridis", shading="nearest", rasterized=True)
    lines = axis.contour(lon, lat, length, levels=np.arange(0.80, 1.10, 0.01), colors="white",
                         linewidths=0.4)
    axis.clabel(lines, fmt="%.2f", fontsize=7)
    figure.colorbar(mesh, ax=axis, shrink=0.8, label="|ITRF2020 - ETRS89| (m), horizontal")
    alon, alat = np.meshgrid(np.arange(6.0, 15.01, ARROW_STEP), np.arange(47.5, 55.01, ARROW_STEP))
    aeast, anorth = itrf2020_minus_etrs89(alon, alat, EPOCH)
    arrows = axis.quiver(alon, alat, aeast, anorth, color="white", scale=8, width=0.004)
    axis.quiverkey(arrows, 0.82, 0.04, 1.0, "1 m", labelcolor="white", coordinates="axes")
    for name, (x, y) in PLACES.items():
        axis.plot(x, y, "o", color="black", markersize=3)
        axis.annotate(name, (x, y), xytext=(3, 3), textcoords="offset points", fontsize=7)
    axis.set_title(f"ITRF2020 - ETRS89 at {EPOCH} (EPSG:10586, PROJ cct)", fontsize=10)
    axis.set_xlabel("longitude (deg E)")
    axis.set_ylabel("latitude (deg N)")
    axis.set_aspect(1.0 / math.cos(math.radians(51.0)))
    axis.set_xlim(WEST, EAST)
    axis.set_ylim(SOUTH, NORTH)
    axis.grid(True, linewidth=0.3)


def draw_epochs(axis):
    epochs = np.arange(1990.0, 2100.01, 1.0)
    for name, (x, y) in PLACES.items():
        lon, lat = np.full(epochs.shape, x), np.full(epochs.shape, y)
        east, north = itrf2020_minus_etrs89(lon, lat, epochs)
        length = np.hypot(east, north)
        axis.plot(epochs, length, label=name, linewidth=1.2)
        rate = (length[-1] - length[0]) / (epochs[-1] - epochs[0])
        print(f"{name}: {length[0]:.4f} m at 1990, {length[-1]:.4f} m at 2100, "
              f"{rate * 1000:.1f} mm/a")
    axis.axvline(EPOCH, color="grey", linestyle="--", linewidth=0.8)
    axis.set_title("|ITRF2020 - ETRS89| by epoch (1990 to 2100)", fontsize=10)
    axis.set_xlabel("epoch (decimal year)")
    axis.set_ylabel("m")
    axis.grid(True, linewidth=0.3)
    axis.legend(fontsize=8)


def main():
    figure, axes = plt.subplots(1, 2, figsize=(12, 6.2), constrained_layout=True,
                                gridspec_kw={"width_ratios": [1.25, 1]})
    draw_map(axes[0], figure)
    draw_epochs(axes[1])
    figure.suptitle("System 5: ITRF2020 against ETRS89, horizontal difference of one point's "
                    "coordinates")
    figure.savefig(ROOT / "docs" / "itrf2020.png", dpi=80)


if __name__ == "__main__":
    main()
