#!/usr/bin/env python3
"""Writes the small NTv2 grids of the official datum tests into tests/data/ntv2/:

  nested_be.gsb  big-endian: a parent over Germany (1 deg x 1 deg), two sub-grids in it (0.25 deg)
                 and a sub-grid inside the first of them (0.05 deg), each with shifts of its own,
                 so that the finest sub-grid holding a point decides;
  nested_le.gsb  the same grids little-endian (the byte orders must give the same shifts);
  strong_child.gsb  a parent with one child whose shift differs strongly from the parent's (both
                 constant: the parent 0.5" north and 1" east, the child 2" north and 3" east,
                 some 45 m apart), so that the inverse shift must choose the sub-grid of each
                 guess as the forward shift would;
  linear_shift.gsb  one sub-grid of 2 x 2 nodes (50..51 N, 10..11 E) whose latitude shift grows
                 linearly by 0.2 of the latitude (-360" at 50 N, +360" at 51 N, none in
                 longitude): the inverse iteration's correction shrinks by exactly 0.2 each
                 time, so a point's iteration count follows from its distance to 50.5 N;
and three tiny grids (nested in both byte orders, one sub-grid) as seeds of the reader's fuzz
target.

The shifts are smooth functions of the node position (arc seconds, latitude north and longitude
positive west), different per level. Run: python3 tests/generators/official_datum/make_ntv2.py
"""
import math
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))
OUT = os.path.join(HERE, "..", "..", "data", "ntv2")

# name, parent, south, north, west, east (deg, east positive), latitude step, longitude step (deg)
# The fuzz seeds (fuzz/seeds/fuzz_ntv2_grid/): a parent of 2 x 2 nodes and one child, both orders.
SEED_GRIDS = [
    ("P", "NONE", 47.0, 48.0, 5.0, 6.0, 1.0, 1.0),
    ("C", "P", 47.25, 47.5, 5.25, 5.5, 0.25, 0.25),
]
GRIDS = [
    ("PARENT", "NONE", 47.0, 56.0, 5.0, 16.0, 1.0, 1.0),
    ("CHILD_A", "PARENT", 50.0, 52.0, 9.0, 11.0, 0.25, 0.25),
    ("CHILD_B", "PARENT", 53.0, 54.5, 12.0, 14.0, 0.25, 0.5),
    ("GRANDCH", "CHILD_A", 50.5, 51.0, 9.5, 10.25, 0.05, 0.05),
]


# The strong child's pair; its shifts are constant per sub-grid (STRONG_SHIFTS, by level).
STRONG_GRIDS = [
    ("PARENT", "NONE", 47.0, 56.0, 5.0, 16.0, 1.0, 1.0),
    ("CHILD", "PARENT", 50.0, 52.0, 9.0, 11.0, 0.25, 0.25),
]
STRONG_SHIFTS = [(0.5, -1.0), (2.0, -3.0)]  # (latitude, positive-west longitude) arc seconds
LINEAR_GRIDS = [("LINEAR", "NONE", 50.0, 51.0, 10.0, 11.0, 1.0, 1.0)]
LINEAR_SLOPE = 0.2  # latitude shift per latitude
LINEAR_ZERO = 50.5  # deg: where the latitude shift is nought
SINGLE_SEED_GRIDS = [("ONLY", "NONE", 47.0, 48.0, 5.0, 6.0, 0.5, 0.5)]


def strong_shifts(level, lat, lon):
    return STRONG_SHIFTS[level]


def linear_shifts(level, lat, lon):
    return LINEAR_SLOPE * (lat - LINEAR_ZERO) * 3600.0, 0.0


def shifts(level, lat, lon):
    """(latitude shift, positive-west longitude shift) in arc seconds at a node."""
    dlat = 0.4 + 0.05 * level + 0.03 * (lat - 47.0) + 0.02 * math.sin(lon + 0.7 * level)
    dlon = -1.2 + 0.1 * level + 0.04 * (lon - 5.0) - 0.02 * math.cos(lat * 1.3 + level)
    return dlat, dlon


def record_text(endian, key, text):
    return key.ljust(8).encode() + text.ljust(8).encode()


def record_int(endian, key, value):
    return key.ljust(8).encode() + struct.pack(endian + "i", value) + b"\0" * 4


def record_double(endian, key, value):
    return key.ljust(8).encode() + struct.pack(endian + "d", value)


def build(endian, grids=GRIDS, shift_of=shifts):
    data = b""
    data += record_int(endian, "NUM_OREC", 11)
    data += record_int(endian, "NUM_SREC", 11)
    data += record_int(endian, "NUM_FILE", len(grids))
    data += record_text(endian, "GS_TYPE", "SECONDS")
    data += record_text(endian, "VERSION", "NTv2.0")
    data += record_text(endian, "SYSTEM_F", "TESTFROM")
    data += record_text(endian, "SYSTEM_T", "TESTTO")
    data += record_double(endian, "MAJOR_F", 6377397.155)
    data += record_double(endian, "MINOR_F", 6356078.963)
    data += record_double(endian, "MAJOR_T", 6378137.0)
    data += record_double(endian, "MINOR_T", 6356752.314)
    for level, (name, parent, south, north, west, east, dlat, dlon) in enumerate(grids):
        rows = round((north - south) / dlat) + 1
        columns = round((east - west) / dlon) + 1
        data += record_text(endian, "SUB_NAME", name)
        data += record_text(endian, "PARENT", parent)
        data += record_text(endian, "CREATED", "01-01-24")
        data += record_text(endian, "UPDATED", "01-01-24")
        data += record_double(endian, "S_LAT", south * 3600.0)
        data += record_double(endian, "N_LAT", north * 3600.0)
        data += record_double(endian, "E_LONG", -east * 3600.0)
        data += record_double(endian, "W_LONG", -west * 3600.0)
        data += record_double(endian, "LAT_INC", dlat * 3600.0)
        data += record_double(endian, "LONG_INC", dlon * 3600.0)
        data += record_int(endian, "GS_COUNT", rows * columns)
        for row in range(rows):
            for column in range(columns):  # each row from the east
                lat = south + row * dlat
                lon = east - column * dlon
                a, b = shift_of(level, lat, lon)
                data += struct.pack(endian + "ffff", a, b, 0.01, 0.01)
    data += b"END     " + struct.pack(endian + "d", 3.33e32)
    return data


def main():
    os.makedirs(OUT, exist_ok=True)
    for endian, name in ((">", "nested_be.gsb"), ("<", "nested_le.gsb")):
        with open(os.path.join(OUT, name), "wb") as f:
            f.write(build(endian))
    with open(os.path.join(OUT, "strong_child.gsb"), "wb") as f:
        f.write(build("<", STRONG_GRIDS, strong_shifts))
    with open(os.path.join(OUT, "linear_shift.gsb"), "wb") as f:
        f.write(build("<", LINEAR_GRIDS, linear_shifts))
    seeds = os.path.join(HERE, "..", "..", "..", "fuzz", "seeds", "fuzz_ntv2_grid")
    os.makedirs(seeds, exist_ok=True)
    for endian, name in ((">", "nested_big_endian"), ("<", "nested_little_endian")):
        with open(os.path.join(seeds, name), "wb") as f:
            f.write(build(endian, SEED_GRIDS))
    with open(os.path.join(seeds, "single_sub_grid"), "wb") as f:
        f.write(build("<", SINGLE_SEED_GRIDS))


if __name__ == "__main__":
    main()
