# The official datum shift through the Python package: PROJ's results (the engine's case files),
# the datum= and grid= arguments, their refusals, pickling and the DataFrame helper.
import math
import pathlib
import pickle
import struct

import numpy as np
import pandas as pd
import pytest

import nuvex
from nuvex.dataframe import transform

DATA = pathlib.Path(__file__).resolve().parent.parent / "data"
METRES_PER_DEGREE = 111320.0
TOLERANCE = 1e-4  # m: 0.1 mm of PROJ


def cases(name, grid="builtin"):
    """(source, target, x, y, expected x, expected y) of a case file; expected None: no path."""
    rows = []
    for line in (DATA / name).read_text().splitlines():
        if line.startswith("#") or not line:
            continue
        f = line.split("|")
        if f[0] != grid:
            continue
        expected = None if f[6] == "none" else (float(f[6]), float(f[7]))
        rows.append((f"{f[1][0]}:{f[1][1]}", f"{f[2][0]}:{f[2][1]}", float(f[4]), float(f[5]),
                     expected))
    return rows


@pytest.mark.parametrize("name,grid", [("official_grid_forward.txt", "builtin"),
                                       ("official_helmert_inverse.txt", "builtin"),
                                       ("official_nested_grid.txt", "nested_be.gsb")])
def test_official_results_match_proj(name, grid):
    rows = cases(name, grid)
    groups = {}
    for row in rows:
        groups.setdefault((row[0], row[1]), []).append(row)
    for (source, target), group in groups.items():
        path = None if grid == "builtin" else str(DATA / "ntv2" / grid)
        t = nuvex.Transformer(source, target, datum="official", grid=path)
        x, y, _, status = t.transform([r[2] for r in group], [r[3] for r in group])
        for i, row in enumerate(group):
            if row[4] is None:
                assert status[i] == -1 and np.isnan(x[i]), row
                continue
            assert status[i] == 0, row
            scale = METRES_PER_DEGREE * math.cos(math.radians(row[4][1]))
            assert abs(x[i] - row[4][0]) * scale < TOLERANCE, row
            assert abs(y[i] - row[4][1]) * METRES_PER_DEGREE < TOLERANCE, row


def test_datum_arguments_are_checked():
    with pytest.raises(ValueError, match="system 2"):
        nuvex.Transformer("G:2", "E:3", datum="official")
    with pytest.raises(ValueError, match="polynomial' or 'official"):
        nuvex.Transformer("G:1", "E:3", datum="exact")
    with pytest.raises(ValueError, match="only used with datum='official'"):
        nuvex.Transformer("G:1", "E:3", grid=str(DATA / "ntv2" / "nested_be.gsb"))
    with pytest.raises(ValueError, match="no_such.gsb"):
        nuvex.Transformer("G:1", "E:3", datum="official", grid="no_such.gsb")
    # The file's name ends at the NUL for the operating system: another file would be read.
    with pytest.raises(ValueError, match="NUL"):
        nuvex.Transformer("G:1", "E:3", datum="official",
                          grid=str(DATA / "ntv2" / "nested_be.gsb") + "\0.txt")


def test_official_transformer_pickles_and_shows_its_datum():
    grid = str(DATA / "ntv2" / "nested_le.gsb")
    t = nuvex.Transformer("G:1", "G:3", datum="official", grid=grid)
    assert (t.datum, t.grid) == ("official", grid)
    assert "datum='official'" in repr(t) and "nested_le.gsb" in repr(t)
    copy = pickle.loads(pickle.dumps(t))
    assert (copy.datum, copy.grid) == ("official", grid)
    assert copy.transform(10.0, 50.7)[:2] == t.transform(10.0, 50.7)[:2]
    assert nuvex.Transformer("G:1", "G:3").datum == "polynomial"


def test_dataframe_helper_passes_the_datum_on():
    frame = pd.DataFrame({"lon": [10.0, 4.0], "lat": [50.0, 50.0]})
    official = transform(frame, "lon", "lat", source="G:1", target="G:3", datum="official")
    polynomial = transform(frame, "lon", "lat", source="G:1", target="G:3")
    expected = nuvex.Transformer("G:1", "G:3", datum="official").transform(10.0, 50.0)
    assert official["x_out"][0] == expected[0] and official["y_out"][0] == expected[1]
    assert official["x_out"][0] != polynomial["x_out"][0]
    assert official["status"].tolist() == [0, -1]  # 4 deg E is west of the grid


def test_grid_files_that_cannot_serve_are_value_errors_with_readable_messages(tmp_path):
    # Regression: a file of 0xFF bytes gave an empty ValueError (its bytes went into the message
    # as they were); a directory raised an error of the stream library.
    ff = tmp_path / "ff.gsb"
    ff.write_bytes(b"\xff" * 400)
    with pytest.raises(ValueError) as refusal:
        nuvex.Transformer("G:1", "G:3", datum="official", grid=str(ff))
    assert str(refusal.value) == (f"NTv2 grid {ff}: overview header: expected the key NUM_OREC, "
                                  "found '" + "\\xFF" * 8 + "'")
    with pytest.raises(ValueError, match="is a directory, not a grid file"):
        nuvex.Transformer("G:1", "G:3", datum="official", grid=str(tmp_path))
    # A grid between other ellipsoids (its header's axes changed to Clarke 1880's).
    clarke = bytearray((DATA / "ntv2" / "nested_le.gsb").read_bytes())
    clarke[7 * 16 + 8:7 * 16 + 16] = struct.pack("<d", 6378249.2)
    clarke[8 * 16 + 8:8 * 16 + 16] = struct.pack("<d", 6356515.0)
    path = tmp_path / "clarke.gsb"
    path.write_bytes(bytes(clarke))
    with pytest.raises(ValueError, match=r"from the ellipsoid a=6378249\.200 m b=6356515\.000 m"):
        nuvex.Transformer("G:1", "E:3", datum="official", grid=str(path))
