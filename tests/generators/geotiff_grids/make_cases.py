#!/usr/bin/env python3
"""Writes the GeoTIFF grid cases from PROJ's cct (Debian proj-bin, PROJ 9.1.1):

  tests/data/geotiff_grid_shifts.txt  hgridshift forward and inverse on the state grids and
                                      BeTA2007 in data/ and on the synthetic grids below
  tests/data/geotiff_geoid.txt        vgridshift (+multiplier=1) on data/de_bkg_gcg2016.tif and
                                      on the synthetic geoid_area.tif

and the synthetic grids tests/data/geotiff/*.tif, which exercise what the published grids do not
(written here, byte by byte, with Python's struct and zlib):

  area_float64_be.tif   pixel-is-area, 64-bit floats, big-endian, one strip, uncompressed,
                        longitude offsets positive west
  nested_tiled.tif      two images (a coarse grid and a finer one inside it), 16 x 16 tiles,
                        Deflate, separate planes, pixel-is-point, offsets in degrees
  strips_contig.tif     pixel-is-point, 32-bit floats, 3 rows per strip, Deflate, samples
                        interleaved, an accuracy band first (bands found by their names)
  geoid_area.tif        a geoid grid without holes, pixel-is-area, one tile
  geoid_lzw.tif         the same undulations in strips of 4 rows, LZW-compressed

Each case file's header gives the exact cct commands. Shift line format (as official_*.txt):
  grid|from|to|zone|x|y|x expected|y expected
  grid      the grid file, relative to the repository root
  from, to  G1 -> G3 forward, G3 -> G1 inverse; zone 0
  expected  "none" where cct refuses the point (outside the grid), or, inverse, where cct's
            forward shift refuses the inverse's result (cct then passes off a first
            approximation)
Geoid line format: grid|longitude|latitude|undulation (m) or none
Run from anywhere: python3 tests/generators/geotiff_grids/make_cases.py
"""
import math
import os
import random
import struct
import sys
import zlib

ROOT = os.path.abspath(os.path.join(os.path.dirname(__file__), "..", "..", ".."))
sys.path.insert(0, os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
from proj_cct import cct as run_cct  # noqa: E402  (the generators' shared runner)

DATA = os.path.join(ROOT, "tests", "data")
SYNTHETIC = os.path.join(DATA, "geotiff")

STATE_GRIDS = ["de_adv_BETA2007.tif", "de_hvbg_hessen_HeTA2010.tif",
               "de_lgvl_saarland_SeTa2016.tif", "de_tlbg_thueringen_NTv2gridTH.tif"]
GEOID = "de_bkg_gcg2016.tif"

# ---------------------------------------------------------------------------------------------
# A small TIFF writer: one IFD per image, the values of every tag after the IFDs, image data last.

SHORT, LONG, DOUBLE, ASCII = 3, 4, 12, 2
TYPE_SIZE = {SHORT: 2, LONG: 4, DOUBLE: 8, ASCII: 1}
TYPE_CHAR = {SHORT: "H", LONG: "I", DOUBLE: "d"}


def metadata_xml(items):
    body = "".join(
        f'  <Item name="{n}"' + (f' sample="{s}"' if s is not None else "") +
        (f' role="{r}"' if r else "") + f">{v}</Item>\n" for n, s, r, v in items)
    return "<GDALMetadata>\n" + body + "</GDALMetadata>\n"


def lzw_compress(data):
    """TIFF's LZW (compression 5): codes of 9 to 12 bits, most significant bit first, widened
    one code early as TIFF readers expect, the table cleared before it overflows."""
    clear, end = 256, 257
    out, buffer, filled = bytearray(), 0, 0

    def put(code, width):
        nonlocal buffer, filled
        buffer = (buffer << width) | code
        filled += width
        while filled >= 8:
            filled -= 8
            out.append((buffer >> filled) & 0xFF)
        buffer &= (1 << filled) - 1

    def fresh():
        return {bytes([i]): i for i in range(256)}, 258, 9

    table, next_code, width = fresh()
    put(clear, width)
    current = b""
    for byte in data:
        extended = current + bytes([byte])
        if extended in table:
            current = extended
            continue
        put(table[current], width)
        table[extended] = next_code
        next_code += 1
        if next_code == 4094:  # full: start again
            put(clear, width)
            table, next_code, width = fresh()
        elif next_code == (1 << width) - 1:
            width += 1
        current = bytes([byte])
    if current:
        put(table[current], width)
        next_code += 1
        if next_code == (1 << width) - 1 and width < 12:
            width += 1
    put(end, width)
    if filled:
        out.append((buffer << (8 - filled)) & 0xFF)
    return bytes(out)


def tiff_bytes(images, big_endian=False):
    """images: dicts with width, height, bands (list of row-major lists, rows from the north),
    bits (32/64), planar (1 contig, 2 separate), tile (None or (w, h)), rows_per_strip,
    deflate, tie (I, J, X, Y), scale (sx, sy), raster (1 area, 2 point, None absent),
    geokeys_crs, metadata (list of items or None), nodata (text or None)."""
    e = ">" if big_endian else "<"
    out = bytearray(b"MM\x00\x2a" if big_endian else b"II\x2a\x00")
    out += struct.pack(e + "I", 0)  # first IFD offset, patched below


    def encode_block(values, bits):
        raw = struct.pack(e + ("f" if bits == 32 else "d") * len(values), *values)
        return raw

    ifd_plans = []
    for img in images:
        w, h, bands, bits = img["width"], img["height"], img["bands"], img["bits"]
        spp = len(bands)
        planar = img.get("planar", 1)
        blocks = []  # encoded blocks in TIFF order
        if img.get("tile"):
            tw, th = img["tile"]
            across, down = -(-w // tw), -(-h // th)
            planes = range(spp) if planar == 2 else [None]
            for plane in planes:
                for ty in range(down):
                    for tx in range(across):
                        vals = []
                        for r in range(th):
                            for c in range(tw):
                                y, x = ty * th + r, tx * tw + c
                                inside = y < h and x < w
                                if plane is None:
                                    vals += [b[y * w + x] if inside else 0.0 for b in bands]
                                else:
                                    vals.append(bands[plane][y * w + x] if inside else 0.0)
                        blocks.append(encode_block(vals, bits))
        else:
            rps = img.get("rows_per_strip", h)
            planes = range(spp) if planar == 2 else [None]
            for plane in planes:
                for top in range(0, h, rps):
                    vals = []
                    for y in range(top, min(h, top + rps)):
                        for x in range(w):
                            if plane is None:
                                vals += [b[y * w + x] for b in bands]
                            else:
                                vals.append(bands[plane][y * w + x])
                    blocks.append(encode_block(vals, bits))
        compression = 1
        if img.get("deflate"):
            blocks = [zlib.compress(b, 9) for b in blocks]
            compression = 8
        elif img.get("lzw"):
            blocks = [lzw_compress(b) for b in blocks]
            compression = 5
        tags = {256: (LONG, [w]), 257: (LONG, [h]), 258: (SHORT, [bits] * spp),
                259: (SHORT, [compression]), 262: (SHORT, [1]),
                277: (SHORT, [spp]), 284: (SHORT, [planar]), 339: (SHORT, [3] * spp),
                33550: (DOUBLE, list(img["scale"]) + [0.0]),
                33922: (DOUBLE, [img["tie"][0], img["tie"][1], 0.0, img["tie"][2],
                                 img["tie"][3], 0.0])}
        if spp > 1:
            tags[338] = (SHORT, [0] * (spp - 1))
        keys = [(1024, 0, 1, 2)]
        if img.get("raster") is not None:
            keys.append((1025, 0, 1, img["raster"]))
        if img.get("geokeys_crs"):
            keys.append((2048, 0, 1, img["geokeys_crs"]))
        tags[34735] = (SHORT, [1, 1, 1, len(keys)] + [v for k in keys for v in k])
        if img.get("nodata") is not None:
            tags[42113] = (ASCII, list(img["nodata"].encode() + b"\0"))
        if img.get("metadata") is not None:
            tags[42112] = (ASCII, list(metadata_xml(img["metadata"]).encode() + b"\0"))
        if img.get("tile"):
            tags[322] = (LONG, [img["tile"][0]])
            tags[323] = (LONG, [img["tile"][1]])
            tags[324] = (LONG, [0] * len(blocks))  # offsets, patched
            tags[325] = (LONG, [len(b) for b in blocks])
        else:
            tags[278] = (LONG, [img.get("rows_per_strip", h)])
            tags[273] = (LONG, [0] * len(blocks))
            tags[279] = (LONG, [len(b) for b in blocks])
        ifd_plans.append((tags, blocks))

    # Layout: IFDs one after another, then tag values, then image blocks.
    ifd_offsets, pos = [], len(out)
    for tags, _ in ifd_plans:
        ifd_offsets.append(pos)
        pos += 2 + 12 * len(tags) + 4
    value_pos = pos
    # Sizes of out-of-line values.
    value_offsets = []
    for tags, _ in ifd_plans:
        offs = {}
        for tag in sorted(tags):
            typ, vals = tags[tag]
            size = TYPE_SIZE[typ] * len(vals)
            if size > 4:
                offs[tag] = value_pos
                value_pos += size + (size & 1)
        value_offsets.append(offs)
    data_pos = value_pos
    block_offsets = []
    for _, blocks in ifd_plans:
        offs = []
        for b in blocks:
            offs.append(data_pos)
            data_pos += len(b)
        block_offsets.append(offs)
    # Patch offsets.
    for (tags, _), offs in zip(ifd_plans, block_offsets):
        key = 324 if 324 in tags else 273
        tags[key] = (LONG, offs)
    struct.pack_into(e + "I", out, 4, ifd_offsets[0])
    values = bytearray()
    for n, (tags, _) in enumerate(ifd_plans):
        out += struct.pack(e + "H", len(tags))
        for tag in sorted(tags):
            typ, vals = tags[tag]
            size = TYPE_SIZE[typ] * len(vals)
            packed = bytes(vals) if typ == ASCII else struct.pack(
                e + TYPE_CHAR[typ] * len(vals), *vals)
            entry = struct.pack(e + "HHI", tag, typ, len(vals))
            if size <= 4:
                entry += packed + b"\0" * (4 - size)
            else:
                entry += struct.pack(e + "I", value_offsets[n][tag])
                values += packed + (b"\0" if size & 1 else b"")
            out += entry
        nxt = ifd_offsets[n + 1] if n + 1 < len(ifd_offsets) else 0
        out += struct.pack(e + "I", nxt)
    out += values
    for _, blocks in ifd_plans:
        for b in blocks:
            out += b
    return bytes(out)


def horizontal_metadata(lat_sample, lon_sample, unit, positive, extra=()):
    items = [("grid_name", None, None, "SYNTHETIC"), ("target_crs_epsg_code", None, None, "4258"),
             ("TYPE", None, None, "HORIZONTAL_OFFSET")]
    items += [("UNITTYPE", lat_sample, "unittype", unit),
              ("DESCRIPTION", lat_sample, "description", "latitude_offset"),
              ("positive_value", lon_sample, None, positive),
              ("UNITTYPE", lon_sample, "unittype", unit),
              ("DESCRIPTION", lon_sample, "description", "longitude_offset")]
    return items + list(extra)


def smooth(rng, w, h, base, spread):
    """A smooth field with some noise (values rows from the north)."""
    a, b, c = rng.uniform(-1, 1), rng.uniform(-1, 1), rng.uniform(0, 6)
    return [base + spread * (a * x / w + b * y / h + 0.3 * math.sin(c + 0.7 * x + 0.4 * y))
            + rng.uniform(-0.01, 0.01) * spread for y in range(h) for x in range(w)]


def write_synthetic(rng):
    os.makedirs(SYNTHETIC, exist_ok=True)
    grids = {}
    # Pixel-is-area: the tie point is the top left corner of the top left pixel, the first node
    # half a pixel inside. Longitudes positive west.
    w, h = 9, 7
    lat = smooth(rng, w, h, 3.6, 0.3)
    lon = smooth(rng, w, h, -5.6, 0.4)  # east-positive shift -5.6" stored positive west
    img = dict(width=w, height=h, bands=[lat, [-v for v in lon]], bits=64, planar=1,
               tie=(0, 0, 9.0, 51.0), scale=(0.25, 0.2), raster=1, geokeys_crs=4314,
               metadata=horizontal_metadata(0, 1, "arc-second", "west"))
    grids["area_float64_be.tif"] = tiff_bytes([img], big_endian=True)
    # Two images: a coarse parent and a child nested inside, in degrees.
    w, h = 20, 18
    parent = dict(width=w, height=h, bands=[[v / 3600 for v in smooth(rng, w, h, 3.0, 0.5)],
                                            [v / 3600 for v in smooth(rng, w, h, -4.0, 0.5)]],
                  bits=32, planar=2, tile=(16, 16), deflate=True,
                  tie=(0, 0, 6.0, 53.5), scale=(0.5, 0.4), raster=2, geokeys_crs=4314,
                  metadata=horizontal_metadata(0, 1, "degree", "east"))
    w, h = 21, 19
    child = dict(width=w, height=h, bands=[[v / 3600 for v in smooth(rng, w, h, 3.3, 0.3)],
                                           [v / 3600 for v in smooth(rng, w, h, -4.4, 0.3)]],
                 bits=32, planar=2, tile=(16, 16), deflate=True,
                 tie=(0, 0, 8.0, 51.5), scale=(0.1, 0.05), raster=2, geokeys_crs=None,
                 metadata=[("grid_name", None, None, "CHILD"),
                           ("parent_grid_name", None, None, "SYNTHETIC")] +
                 horizontal_metadata(0, 1, "degree", "east")[2:])
    grids["nested_tiled.tif"] = tiff_bytes([parent, child])
    # Interleaved samples, the accuracy band first.
    w, h = 11, 10
    accuracy = [0.01] * (w * h)
    lat = smooth(rng, w, h, 3.5, 0.2)
    lon = smooth(rng, w, h, -5.0, 0.2)
    img = dict(width=w, height=h, bands=[accuracy, lon, lat], bits=32, planar=1,
               rows_per_strip=3, deflate=True, tie=(2, 1, 12.0, 50.0), scale=(0.2, 0.1),
               raster=2, geokeys_crs=4314,
               metadata=horizontal_metadata(2, 1, "arc-second", "east",
                                            [("DESCRIPTION", 0, "description",
                                              "latitude_offset_accuracy")]))
    grids["strips_contig.tif"] = tiff_bytes([img])
    # A geoid grid without holes, pixel-is-area, tiled: its edges hold values.
    w, h = 12, 10
    img = dict(width=w, height=h, bands=[smooth(rng, w, h, 45.0, 3.0)], bits=32, planar=1,
               tile=(16, 16), tie=(0, 0, 7.0, 52.0), scale=(0.5, 0.25), raster=1,
               metadata=[("TYPE", None, None, "VERTICAL_OFFSET_GEOGRAPHIC_TO_VERTICAL"),
                         ("UNITTYPE", 0, "unittype", "metre"),
                         ("DESCRIPTION", 0, "description", "geoid_undulation")])
    grids["geoid_area.tif"] = tiff_bytes([img])
    # The same undulations in strips, LZW-compressed.
    strips = dict(img, tile=None, rows_per_strip=4, lzw=True)
    grids["geoid_lzw.tif"] = tiff_bytes([strips])
    for name, data in grids.items():
        with open(os.path.join(SYNTHETIC, name), "wb") as f:
            f.write(data)
    return ["tests/data/geotiff/" + name for name in grids]


# ---------------------------------------------------------------------------------------------

def cct(args, points):
    """Runs cct; a refused point gives None."""
    return run_cct(args, points, cwd=ROOT)


def images_of(path):
    """Extents (deg) and steps of a TIFF's images, read from its tags: (west, south, east,
    north, dx, dy) of the nodes."""
    d = open(os.path.join(ROOT, path), "rb").read()
    e = "<" if d[:2] == b"II" else ">"
    size = {1: 1, 2: 1, 3: 2, 4: 4, 12: 8}
    char = {3: "H", 4: "I", 12: "d"}
    off = struct.unpack(e + "I", d[4:8])[0]
    out = []
    while off:
        n = struct.unpack(e + "H", d[off:off + 2])[0]
        tags = {}
        for i in range(n):
            tag, typ, cnt = struct.unpack(e + "HHI", d[off + 2 + 12 * i:off + 10 + 12 * i])
            sz = size.get(typ, 1) * cnt
            vo = off + 10 + 12 * i if sz <= 4 else struct.unpack(
                e + "I", d[off + 10 + 12 * i:off + 14 + 12 * i])[0]
            if typ in char:
                tags[tag] = struct.unpack(e + char[typ] * cnt, d[vo:vo + sz])
        w, h = tags[256][0], tags[257][0]
        sx, sy = tags[33550][:2]
        tie = tags[33922]
        keys = tags.get(34735, (1, 1, 1, 0))
        raster = 1
        for k in range(keys[3]):
            if keys[4 + 4 * k] == 1025:
                raster = keys[7 + 4 * k]
        half = 0.5 if raster == 1 else 0.0
        west = tie[3] + (half - tie[0]) * sx
        north = tie[4] - (half - tie[1]) * sy
        out.append((west, north - (h - 1) * sy, west + (w - 1) * sx, north, sx, sy))
        off = struct.unpack(e + "I", d[off + 2 + 12 * n:off + 6 + 12 * n])[0]
    return out


def lattice(extent, rng, count):
    """(lon, lat): a lattice over the extent, nodes, random points, edges and just outside."""
    west, south, east, north, dx, dy = extent
    points = []
    for i in range(7):
        for j in range(7):
            points.append((west + (east - west) * (i + 0.37) / 7.3,
                           south + (north - south) * (j + 0.61) / 7.4))
    points += [(west + 3 * dx, south + 2 * dy), (east - dx, north - 2 * dy), (west, south),
               (east, north), (west, north), (east, south)]
    points += [(round(rng.uniform(west, east), 7), round(rng.uniform(south, north), 7))
               for _ in range(15)]
    mid_lon, mid_lat = (west + east) / 2, (south + north) / 2
    tolerance = (dx + dy) * 1e-5
    for d in (0.5 * tolerance, 3 * tolerance, 0.01, 0.3):
        points += [(mid_lon, south - d), (mid_lon, north + d), (west - d, mid_lat),
                   (east + d, mid_lat)]
    return points


def fmt(v):
    return "none" if v is None else f"{v[0]:.12f}|{v[1]:.12f}"


def shift_cases(grid, rng):
    points = []
    for extent in images_of(grid):
        points += lattice(extent, rng, 15)
    args = ["+proj=hgridshift", f"+grids={grid}"]
    forward = cct(args, points)
    inverse = cct(["-I"] + args, points)
    check = cct(args, [r[:2] if r else (0.0, 0.0) for r in inverse])
    inverse = [r if r is not None and c is not None else None for r, c in zip(inverse, check)]
    # Where cct's inverse is no preimage under its own forward shift (at the edge of a nested
    # image cct keeps iterating on the image it found first), the preimage by iterating cct's
    # forward shift from there: g <- g - (forward(g) - p).
    stray = [i for i, (p, r, c) in enumerate(zip(points, inverse, check))
             if r is not None and max(abs(c[0] - p[0]), abs(c[1] - p[1])) > 1e-10]
    guesses = {i: inverse[i][:2] for i in stray}
    for _ in range(20):
        if not guesses:
            break
        moved = cct(args, list(guesses.values()))
        for (i, g), f in zip(list(guesses.items()), moved):
            p = points[i]
            if f is None:
                inverse[i] = None
                del guesses[i]
                continue
            d = (f[0] - p[0], f[1] - p[1])
            guesses[i] = (g[0] - d[0], g[1] - d[1])
            if max(abs(d[0]), abs(d[1])) < 1e-12:
                inverse[i] = guesses.pop(i)
    for i in guesses:
        inverse[i] = None
    lines = [f"{grid}|G1|G3|0|{x!r}|{y!r}|{fmt(r)}" for (x, y), r in zip(points, forward)]
    lines += [f"{grid}|G3|G1|0|{x!r}|{y!r}|{fmt(r)}" for (x, y), r in zip(points, inverse)]
    return lines


def geoid_cases(rng, grid):
    (west, south, east, north, dx, dy), = images_of(grid)
    points = [(10.0, 50.0)]
    points += [(round(rng.uniform(5.6, 14.9), 7), round(rng.uniform(47.4, 54.9), 7))
               for _ in range(60)]
    points += [(west + 5 * dx, south + 7 * dy), (west + 5.5 * dx, south + 7.25 * dy)]
    # Edges, within the edge tolerance and beyond it; and the sea, where nodes hold no value.
    tolerance = (dx + dy) * 1e-5
    mid_lon, mid_lat = (west + east) / 2, (south + north) / 2
    for d in (0.5 * tolerance, 3 * tolerance, 0.2):
        points += [(mid_lon, south - d), (mid_lon, north + d), (west - d, mid_lat),
                   (east + d, mid_lat)]
    points += [(4.0, 55.5), (west, north), (east, south), (7.0, 54.5), (12.0, 55.5)]
    points += [(west + (east - west) * (i + 0.3) / 6.2, south + (north - south) * (j + 0.7) / 5.9)
               for i in range(6) for j in range(6)]
    result = cct(["+proj=vgridshift", f"+grids={grid}", "+multiplier=1"],
                 [(x, y) for x, y in points])
    lines = []
    for (x, y), r in zip(points, result):
        lines.append(f"{grid}|{x!r}|{y!r}|" + ("none" if r is None else f"{r[2]:.9f}"))
    return lines


def main():
    rng = random.Random(2016)
    synthetic = write_synthetic(rng)
    geoids = ["data/" + GEOID] + [g for g in synthetic if "geoid" in g]
    lines = []
    for grid in ["data/" + g for g in STATE_GRIDS] + [g for g in synthetic if g not in geoids]:
        lines += shift_cases(grid, rng)
    with open(os.path.join(DATA, "geotiff_grid_shifts.txt"), "w") as f:
        f.write("# GeoTIFF grid shifts made with PROJ 9.1.1 (Debian proj-bin) by\n"
                "# tests/generators/geotiff_grids/make_cases.py, in the repository root:\n"
                "# cct -d 12 +proj=hgridshift +grids=GRID  and  cct -d 12 -I +proj=hgridshift "
                "+grids=GRID\n# (inverse results refused by the forward shift: none; where cct's inverse is no\n"
                "# preimage under its forward shift, at a nested image's edge, the preimage found by\n"
                "# iterating cct's forward shift)\n"
                "# grid|from|to|zone|x|y|x expected|y expected\n")
        f.write("\n".join(lines) + "\n")
    with open(os.path.join(DATA, "geotiff_geoid.txt"), "w") as f:
        f.write("# Geoid undulations made with PROJ 9.1.1 (Debian proj-bin) by\n"
                "# tests/generators/geotiff_grids/make_cases.py, in the repository root:\n"
                "# echo 'LON LAT 0 0' | cct -d 12 +proj=vgridshift +grids=GRID +multiplier=1\n"
                "# (the height out is the undulation)\n"
                "# grid|longitude|latitude|undulation (m) or none\n")
        f.write("\n".join(line for grid in geoids for line in geoid_cases(rng, grid)) + "\n")


if __name__ == "__main__":
    main()
