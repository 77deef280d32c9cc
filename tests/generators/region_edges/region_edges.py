#!/usr/bin/env python3
"""Writes tests/data/engine_region_edges.txt: every row of both region masks at its first and last
inside cell and at the cells just outside them, each point at the centre of its cell.

The masks are the tables of the engine's reference description, written out here by hand (row 1
first, the inside run of each row as first and last column, None for an empty row). The expected
membership follows the lookup rule: column = 1 + trunc(3 * (longitude - west edge)),
row = 1 + trunc(5 * (latitude - south edge)), trunc toward zero, so that a point up to one cell
west of column 1 (or south of row 1) still counts as column (row) 1.
Run: python3 tests/generators/region_edges/region_edges.py > tests/data/engine_region_edges.txt
"""
import math

MASKS = {
    "A": dict(west=5.0, south=47.0, columns=27, rows=[
        None, (16, 19), (8, 25), (8, 25), (8, 25), (8, 25), (8, 27), (8, 27), (8, 27), (8, 27),
        (4, 27), (4, 27), (4, 24), (4, 23), (4, 23), (4, 23), (4, 22), (4, 22), (3, 18), (3, 18),
        (3, 18), (3, 18), (3, 18), (3, 18), (3, 18), (5, 20), (5, 20), (5, 20), (5, 20), (5, 20),
        (5, 20), (5, 20), (5, 20), (5, 20), (5, 20), (9, 20), (9, 20), (9, 20), (9, 20), (9, 20),
        (9, 15)]),
    "B": dict(west=9.66666666666667, south=50.0, columns=17, rows=[
        (2, 9), (2, 11), (1, 12), (1, 17), (1, 17), (1, 17), (1, 17), (1, 17), (3, 17), (3, 17),
        (3, 17), (4, 16), (4, 16), (4, 16), (4, 15), (4, 15), (3, 15), (3, 15), (4, 15), (4, 15),
        (4, 15), (6, 15), (8, 13), (11, 13)]),
}
COLUMNS_PER_DEGREE = 3.0  # cells are 20' wide
ROWS_PER_DEGREE = 5.0     # and 12' high


def inside(mask, latitude, longitude):
    column = 1 + math.trunc(COLUMNS_PER_DEGREE * (longitude - mask["west"]))
    row = 1 + math.trunc(ROWS_PER_DEGREE * (latitude - mask["south"]))
    if not (1 <= column <= mask["columns"] and 1 <= row <= len(mask["rows"])):
        return 0
    run = mask["rows"][row - 1]
    return int(run is not None and run[0] <= column <= run[1])


def centre(edge, index, per_degree):
    return edge + (index - 0.5) / per_degree


print("# Every row of both region masks at its first and last inside cell and at the cells just")
print("# outside them (the centre of each cell).")
print("# Provenance: tests/generators/region_edges/region_edges.py, from the mask tables of the")
print("# engine's reference description by the lookup rule (truncation toward zero: the cell just")
print("# west of column 1 or south of row 1 still counts as column or row 1, hence inside).")
print("# mask|row|column|latitude|longitude|inside")
for name, mask in MASKS.items():
    for row, run in enumerate(mask["rows"], start=1):
        latitude = centre(mask["south"], row, ROWS_PER_DEGREE)
        columns = [1, mask["columns"]] if run is None else [run[0] - 1, run[0], run[1], run[1] + 1]
        for column in columns:
            longitude = centre(mask["west"], column, COLUMNS_PER_DEGREE)
            print(f"{name}|{row}|{column}|{latitude:.10g}|{longitude:.14g}|"
                  f"{inside(mask, latitude, longitude)}")
