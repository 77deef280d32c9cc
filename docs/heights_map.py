#!/usr/bin/env python3
"""Draws docs/heights.png: the quasigeoid GCG2016's undulation N over Germany, and where each grid
of the official mode applies, both as PROJ 9.1.1's `cct` (Debian proj-bin) answers on a lattice of
0.02 deg -- nothing here comes from nuvex.

- N: `cct -d 6 +proj=vgridshift +grids=data/de_bkg_gcg2016.tif +multiplier=1` on the lattice with
  z = 0, so the z it gives back is N (h = H + N). Points cct refuses (outside the grid, or a cell
  without value) stay blank.
- Where a grid applies: the lattice points cct answers, outlined half a step out from them. The
  offset grids are probed by `cct -d 6 +proj=hgridshift +grids=data/FILE` (in their source datum's
  coordinates, about a hundred metres from ETRS89 ones: nothing at this scale), GCG2016 by the
  command above. EPSG:1775's area of use is the rectangle EPSG gives (50.2-54.74 N, 9.92-15.04 E).

Run by `make heights-map`, or from the repository root: /usr/bin/python3 docs/heights_map.py
"""
import pathlib
import subprocess

import matplotlib

matplotlib.use("Agg")
import matplotlib.patches as patches  # noqa: E402
import matplotlib.pyplot as plt  # noqa: E402
import numpy as np  # noqa: E402

ROOT = pathlib.Path(__file__).resolve().parent.parent
STEP = 0.02  # deg: below a pixel of the picture
WEST, EAST, SOUTH, NORTH = 3.0, 16.0, 46.8, 56.2  # holds all of GCG2016's grid
GEOID = ["+proj=vgridshift", "+grids=data/de_bkg_gcg2016.tif", "+multiplier=1"]
OFFSET_GRIDS = [("BETA2007.gsb", "BeTA2007 (built in)", "tab:red"),
                ("de_hvbg_hessen_HeTA2010.tif", "HeTA2010 (Hesse)", "tab:orange"),
                ("de_lgvl_saarland_SeTa2016.tif", "SeTa2016 (Saarland)", "tab:purple"),
                ("de_tlbg_thueringen_NTv2gridTH.tif", "NTv2gridTH (Thuringia)", "tab:brown")]
EPSG_1775_AREA = (9.92, 15.04, 50.2, 54.74)  # west, east, south, north


def lattice():
    longitudes = np.arange(WEST, EAST + STEP / 2, STEP)
    latitudes = np.arange(SOUTH, NORTH + STEP / 2, STEP)
    return np.meshgrid(longitudes, latitudes)


def cct_heights(operation, lon, lat):
    """The z cct gives for every lattice point (given z = 0); NaN where it refuses the point.

    cct writes one line per point in order: the result, or a comment naming the refused record
    (followed by a line giving the reason), so the records are counted to keep them aligned.
    """
    points = "".join(f"{x:.4f} {y:.4f} 0 0\n" for x, y in zip(lon.ravel(), lat.ravel()))
    output = subprocess.run(["cct", "-d", "6", *operation], input=points, capture_output=True,
                            text=True, check=True, cwd=ROOT).stdout
    z = np.full(lon.size, np.nan)
    record = 0
    for line in output.splitlines():
        if line.startswith("# Record"):
            refused = int(line.split()[2])
            assert refused == record, f"cct skipped to record {refused} at {record}"
            record += 1
        elif line.strip() and not line.lstrip().startswith("("):
            z[record] = float(line.split()[2])
            record += 1
    assert record == lon.size, f"cct answered {record} of {lon.size} points"
    return z.reshape(lon.shape)


def setup_axis(axis, title):
    axis.set_title(title, fontsize=10)
    axis.set_xlabel("longitude (deg E)")
    axis.set_ylabel("latitude (deg N)")
    axis.set_aspect(1.0 / np.cos(np.radians(51.0)))
    axis.set_xlim(WEST, EAST)
    axis.set_ylim(SOUTH, NORTH)
    axis.grid(True, linewidth=0.3)


def outline(axis, lon, lat, answered, colour, label):
    axis.contour(lon, lat, answered.astype(float), levels=[0.5], colors=[colour], linewidths=1.4)
    axis.plot([], [], color=colour, linewidth=1.4, label=label)  # contour sets make no legend
    # The extent answered, to set beside the nodes the file's tags give.
    rows, columns = np.nonzero(answered)
    west, east = lon[0, columns.min()], lon[0, columns.max()]
    south, north = lat[rows.min(), 0], lat[rows.max(), 0]
    print(f"{label}: {answered.sum()} points, {west:.2f}..{east:.2f} E, {south:.2f}..{north:.2f} N")


def draw_undulation(axis, figure, lon, lat, undulation):
    mesh = axis.pcolormesh(lon, lat, undulation, cmap="viridis", shading="nearest",
                           rasterized=True)
    lines = axis.contour(lon, lat, undulation, levels=np.arange(30.0, 52.0, 2.0), colors="white",
                         linewidths=0.4)
    axis.clabel(lines, fmt="%.0f", fontsize=7)
    figure.colorbar(mesh, ax=axis, shrink=0.8, label="N (m): h = H + N")
    setup_axis(axis, "GCG2016: quasigeoid undulation N (PROJ cct)")


def draw_coverage(axis, lon, lat, undulation):
    setup_axis(axis, "Where each grid applies (PROJ cct answers)")
    outline(axis, lon, lat, np.isfinite(undulation), "tab:green", "GCG2016 (built in; heights)")
    for name, label, colour in OFFSET_GRIDS:
        shifted = cct_heights(["+proj=hgridshift", f"+grids=data/{name}"], lon, lat)
        outline(axis, lon, lat, np.isfinite(shifted), colour, label)
    west, east, south, north = EPSG_1775_AREA
    axis.add_patch(patches.Rectangle((west, south), east - west, north - south, fill=False,
                                     edgecolor="tab:blue", linestyle="--", linewidth=1.4,
                                     label="EPSG:1775 area of use (system 4)"))
    axis.legend(loc="upper center", bbox_to_anchor=(0.5, -0.09), ncol=2, fontsize=8)


def main():
    lon, lat = lattice()
    undulation = cct_heights(GEOID, lon, lat)
    known = undulation[np.isfinite(undulation)]
    print(f"N: {known.size} points, {known.min():.3f} .. {known.max():.3f} m")
    figure, axes = plt.subplots(1, 2, figsize=(12, 7.2), constrained_layout=True)
    draw_undulation(axes[0], figure, lon, lat, undulation)
    draw_coverage(axes[1], lon, lat, undulation)
    figure.suptitle("Heights in the official mode: GCG2016 and the grids' coverage")
    figure.savefig(ROOT / "docs" / "heights.png", dpi=80)


if __name__ == "__main__":
    main()
