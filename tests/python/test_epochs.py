# System 5 (ITRF2020 at an epoch) through the Python package: PROJ's results
# (tests/data/interface_epochs.txt) with the epoch per call, in a name and per point; the forms of
# an epoch and their refusals; the forgotten epoch; points whose own epoch is no epoch, with their
# reason; the polynomial mode refused; the same bits for every number of threads; pickling; and
# the epoch through the DataFrame, shapely and GeoPandas helpers.
import math
import pathlib
import pickle

import numpy as np
import pytest

import nuvex

ROOT = pathlib.Path(__file__).resolve().parent.parent.parent
CASES = ROOT / "tests" / "data" / "interface_epochs.txt"
METRES = 1e-4  # 0.1 mm of PROJ
DEGREES = 1e-9  # about 0.1 mm
FORGOTTEN = r"needs the epoch of the points: give the Transformer epoch="
# A point of the case file: ITRF2020 10 E 50 N at 2026.9 in DHDN Gauss-Krueger zone 3.
POINT = (10.0, 50.0)
IN_GAUSS_KRUEGER = (3571769.205583703239, 5540886.352708543651)


def case_groups():
    """{(source, target): [(epoch, x, y, z, x expected, y expected, z expected), ...]}; z NaN
    where no heights are converted."""
    groups = {}
    for line in CASES.read_text().splitlines():
        if line.startswith("#") or not line:
            continue
        f = line.split("|")
        values = [math.nan if v == "-" else float(v) for v in f[2:]]
        groups.setdefault((f[0], f[1]), []).append(tuple(values))
    return groups


def official(source, target, **options):
    return nuvex.Transformer(source, target, datum="official", **options)


def same_bits(a, b):
    a, b = np.asarray(a), np.asarray(b)
    return a.dtype == b.dtype and a.shape == b.shape and a.tobytes() == b.tobytes()


def geographic(name):
    return name in ("EPSG:9990", "EPSG:9989", "EPSG:4258", "EPSG:4937")


def assert_as_proj(target, x, y, rows):
    tolerance = DEGREES if geographic(target) else METRES
    np.testing.assert_allclose(x, rows[:, 4], rtol=0, atol=tolerance)
    np.testing.assert_allclose(y, rows[:, 5], rtol=0, atol=tolerance)


def convert(t, rows, **arguments):
    """x, y and status of the rows (with their heights where the Transformer converts them)."""
    if t.heights is None:
        x, y, _, status = t.transform(rows[:, 1], rows[:, 2], **arguments)
        return x, y, status
    x, y, z, _, status = t.transform(rows[:, 1], rows[:, 2], z=rows[:, 3], **arguments)
    np.testing.assert_allclose(z, rows[:, 6], rtol=0, atol=METRES)
    return x, y, status


@pytest.mark.parametrize("names", list(case_groups()), ids="->".join)
def test_epochs_match_proj(names):
    source, target = names
    rows = np.array(case_groups()[names])
    # One epoch per point, in one call: the block's points have different epochs.
    x, y, status = convert(official(source, target), rows, epoch=rows[:, 0])
    assert (status == 0).all()
    assert_as_proj(target, x, y, rows)
    # The epoch per call, of the Transformer, of the source's name or of the call.
    for row in rows:
        epoch = float(row[0])
        one = row[np.newaxis, :]
        for t, arguments in ((official(source, target, epoch=epoch), {}),
                             (official(f"{source}@{epoch!r}", target), {}),
                             (official(source, f"{target}@{epoch!r}"), {}),
                             (official(source, target), {"epoch": epoch})):
            x, y, status = convert(t, one, **arguments)
            assert status[0] == 0, t
            assert_as_proj(target, x, y, one)


def test_an_epoch_is_a_decimal_year_or_a_date():
    december = 2026 + 340 / 365  # 2026-12-07 at 0h
    for epoch in ("2026-12-07", december, np.float64(december)):
        t = official("EPSG:9990", "EPSG:31467", epoch=epoch)
        assert t.epoch == december and isinstance(t.epoch, float)
    assert official("EPSG:9990@2026-12-07", "EPSG:31467").epoch == december
    assert official("EPSG:9990", "EPSG:31467", epoch="2026.9").epoch == 2026.9
    whole = official("EPSG:9990", "EPSG:31467", epoch=2027)
    assert whole.epoch == 2027.0 and "epoch=2027.0" in repr(whole)
    # The names keep no epoch; the Transformer does.
    t = official("EPSG:9990@2026.9", "EPSG:31467")
    assert (t.source, t.target, t.epoch) == ("EPSG:9990", "EPSG:31467", 2026.9)
    assert repr(t).endswith("datum='official', epoch=2026.9)")
    assert official("EPSG:9990", "EPSG:31467").epoch is None
    # A date per call is one epoch for every point.
    per_call = official("EPSG:9990", "EPSG:31467", epoch="2026-12-07").transform(*POINT)
    assert official("EPSG:9990", "EPSG:31467").transform(*POINT, epoch="2026-12-07") == per_call


@pytest.mark.parametrize("epoch,error,message", [
    (1989.99, ValueError, r"epoch 1989\.99 is no decimal year from 1990\.0 to 2100\.0"),
    (2100.5, ValueError, "is no decimal year from 1990.0 to 2100.0"),
    (math.nan, ValueError, "epoch nan is no decimal year"),
    ("2026-13-01", ValueError, r"epoch '2026-13-01' is neither a decimal year \(e\.g\. 2026\.9\) "
                               r"nor a date \('2026-12-07'\)"),
    ("soon", ValueError, "epoch 'soon' is neither"),
    ("-2026", ValueError, "neither"),
    (True, TypeError, "epoch must be a decimal year"),
    ([2026.9, 2027.0], TypeError, r"epochs per point go to transform\(x, y, epoch=\.\.\.\)"),
    (np.array([2026.9]), TypeError, "epochs per point go to transform"),
])
def test_bad_epochs_are_refused(epoch, error, message):
    with pytest.raises(error, match=message):
        official("EPSG:9990", "EPSG:31467", epoch=epoch)


@pytest.mark.parametrize("arguments,message", [
    # the names' epochs against each other and against epoch=
    (("EPSG:9990@2026.9", "EPSG:31467", 2026.5),
     r"epoch=2026\.5 contradicts the epoch 2026\.9 of EPSG:9990@2026\.9"),
    (("EPSG:4258", "EPSG:9990@2020.0", "2026-12-07"),
     r"epoch=2026\.93\d* contradicts the epoch 2020\.0 of EPSG:9990@2020\.0"),
    (("EPSG:9990@2026.9", "EPSG:25832@2027", None),
     r"the source EPSG:9990@2026\.9 and the target EPSG:25832@2027 name different epochs "
     r"\(2026\.9 and 2027\.0\)"),
    # an epoch for a conversion that needs none
    (("G:3", "EPSG:31467", 2026.9),
     r"epoch=2026\.9: the conversion from G:3 to EPSG:31467 needs no epoch; only one between "
     r"system 5 \(ITRF2020\) and another system does"),
    (("EPSG:9990", "E:5", 2026.9), "needs no epoch"),
    # an epoch in a name that is none
    (("EPSG:9990@2026.9.1", "G:3", None), r"the epoch '2026\.9\.1' is no decimal year or date"),
    (("EPSG:9990@2150", "G:3", None), "from 1990 to 2100"),
])
def test_epochs_that_contradict_or_change_nothing_are_refused(arguments, message):
    source, target, epoch = arguments
    with pytest.raises(ValueError, match=message):
        official(source, target, epoch=epoch)


def test_a_name_epoch_that_nothing_uses_is_only_read():
    # Within system 5 no epoch is needed; the name says when its coordinates hold.
    t = official("EPSG:9990@2026.9", "E:5")
    assert t.epoch is None
    x, y, zone, status = t.transform(*POINT)
    assert status == 0 and zone == 32
    assert official("EPSG:9990@2026.9", "EPSG:9990@2026.9").epoch is None


def test_the_forgotten_epoch_names_the_option():
    t = official("EPSG:9990", "EPSG:31467")  # epochs may still come per point
    for call in (lambda: t.transform(*POINT), lambda: t.explain(*POINT),
                 lambda: t.transform([10.0, 11.0], [50.0, 51.0], threads=2)):
        with pytest.raises(ValueError, match=FORGOTTEN + r".*transform\(x, y, epoch=\.\.\.\) one "
                                                         "per point"):
            call()
    with pytest.raises(ValueError, match=r"the conversion from EPSG:31467 to G:5 runs between "
                                         r"system 5 \(ITRF2020\) and another system"):
        official("EPSG:31467", "G:5").transform(*IN_GAUSS_KRUEGER)
    # A Transformer that converts no epochs takes none per point either.
    with pytest.raises(ValueError, match="epoch: the conversion from G:3 to E:3 needs no epoch"):
        official("G:3", "E:3").transform(*POINT, epoch=2026.9)


def test_system_5_needs_the_official_datum():
    for source, target in (("EPSG:9990", "EPSG:31467"), ("G:5", "G:5"), ("E:1", "G:5")):
        with pytest.raises(ValueError, match=r"system 5 \(ITRF2020\) is converted with "
                                             r"datum='official' only \(EPSG:10586 to ETRS89 at an "
                                             f"epoch\\): the conversion from {source} to {target}"):
            nuvex.Transformer(source, target, epoch=2026.9 if source != "G:5" else None)


def test_points_whose_epoch_is_none_have_their_reason():
    t = official("EPSG:9990", "EPSG:31467")
    points = [  # lon, lat, epoch, reason
        (10.0, 50.0, 2026.9, ""),
        (10.0, 50.0, math.nan, "epoch_out_of_range"),
        (10.0, 50.0, 1989.0, "epoch_out_of_range"),
        (10.0, 50.0, 2100.25, "epoch_out_of_range"),
        (10.0, 50.0, math.inf, "epoch_out_of_range"),
        (10.0, 50.0, -math.inf, "epoch_out_of_range"),
        (10.0, 95.0, math.nan, "outside_coordinates"),  # the coordinates are judged first
        (2.0, 50.0, 2026.9, "outside_grid"),  # outside BeTA2007
        (9.0, 48.5, 2100.0, ""),
        (9.0, 48.5, 1990.0, ""),
    ]
    lon, lat, epochs, reasons = (list(column) for column in zip(*points))
    x, y, zone, status = t.transform(lon, lat, epoch=epochs)
    converted = np.array([reason == "" for reason in reasons])
    assert (status == np.where(converted, 0, -1)).all()
    assert np.isnan(x[~converted]).all() and (zone[~converted] == 0).all()
    assert abs(x[0] - IN_GAUSS_KRUEGER[0]) < METRES and abs(y[0] - IN_GAUSS_KRUEGER[1]) < METRES
    assert t.explain(lon, lat, epoch=epochs).tolist() == reasons
    assert t.explain([10.0], [50.0], epoch=[math.inf]).tolist() == ["epoch_out_of_range"]
    assert t.explain(10.0, 50.0, epoch=2026.9) == ""  # scalar: a str
    assert "1990 to 2100" in nuvex.reason_text("epoch_out_of_range")
    # The Transformer's epoch serves explain as it serves transform.
    assert official("EPSG:9990", "EPSG:31467", epoch=2026.9).explain(lon, lat).tolist() == \
        ["", "", "", "", "", "", "outside_coordinates", "outside_grid", "", ""]


def test_epochs_of_the_call_take_the_place_of_the_transformers():
    t = official("EPSG:9990", "EPSG:31467", epoch=1995.0)
    lon, lat = np.array([10.0, 9.0]), np.array([50.0, 48.5])
    per_point = t.transform(lon, lat, epoch=[2026.9, 2020.0])
    given = official("EPSG:9990", "EPSG:31467").transform(lon, lat, epoch=[2026.9, 2020.0])
    assert all(same_bits(a, b) for a, b in zip(per_point, given))
    assert abs(per_point[0][0] - IN_GAUSS_KRUEGER[0]) < METRES
    # A single epoch of the call is checked as the Transformer's is.
    with pytest.raises(ValueError, match="epoch 2200.0 is no decimal year"):
        t.transform(lon, lat, epoch=2200.0)
    with pytest.raises(ValueError, match="epoch 'later' is neither"):
        t.transform(lon, lat, epoch="later")


def test_epoch_arrays_are_checked():
    t = official("EPSG:9990", "EPSG:31467")
    lon, lat = np.array([10.0, 9.0]), np.array([50.0, 48.5])
    with pytest.raises(ValueError, match=r"epoch must be one epoch or one per point: shape \(3,\) "
                                         r"against points of shape \(2,\)"):
        t.transform(lon, lat, epoch=[2026.9, 2020.0, 2021.0])
    with pytest.raises(TypeError, match="epoch must hold numbers"):
        t.transform(lon, lat, epoch=["2026.9", "2020.0"])
    with pytest.raises(TypeError, match="epoch must hold numbers"):
        t.transform(lon, lat, epoch=np.array(["2026-12-07", "2020-01-01"], dtype="datetime64[D]"))
    # Integer and float32 epochs are decimal years as well; a 2D array goes with 2D points.
    whole = t.transform(lon, lat, epoch=np.array([2026, 2020], dtype=np.int16))
    floats = t.transform(lon, lat, epoch=np.array([2026.0, 2020.0]))
    assert all(same_bits(a, b) for a, b in zip(whole, floats))
    grid = t.transform(lon.reshape(2, 1), lat.reshape(2, 1), epoch=[[2026.0], [2020.0]])
    assert same_bits(grid[0].ravel(), floats[0])


def test_out_shares_no_memory_with_the_epochs():
    t = official("EPSG:9990", "EPSG:31467")
    lon, lat, epochs = np.array([10.0, 9.0]), np.array([50.0, 48.5]), np.array([2026.9, 2020.0])
    out = (np.empty(2), np.empty(2), np.empty(2, np.int32), np.empty(2, np.int32))
    assert t.transform(lon, lat, epoch=epochs, out=out) is out
    assert all(same_bits(a, b) for a, b in zip(out, t.transform(lon, lat, epoch=epochs)))
    with pytest.raises(ValueError, match=r"out\[1\] shares memory with the input"):
        t.transform(lon, lat, epoch=epochs, out=(out[0], epochs) + out[2:])


def lattice(count):
    """Points over Germany and beyond at epochs from 1985 to 2105, some of them NaN."""
    rng = np.random.default_rng(13)
    lon, lat = rng.uniform(4.0, 16.5, count), rng.uniform(46.5, 56.0, count)
    epochs = rng.uniform(1985.0, 2105.0, count)
    epochs[::101] = np.nan
    return lon, lat, epochs


@pytest.mark.parametrize("target,heights", [("E:1", None), ("EPSG:4937", "3D")])
def test_every_thread_count_gives_the_same_bits(target, heights):
    source = "EPSG:9989" if heights else "EPSG:9990"
    t = official(source, target)  # zones per point for E:1
    lon, lat, epochs = lattice(150_000)
    z = {"z": np.linspace(-50.0, 3000.0, lon.size)} if heights else {}
    serial = t.transform(lon, lat, threads=1, epoch=epochs, **z)
    status = serial[-1]
    assert (status == 0).any() and (status == -1).any()
    for threads in (2, 3, 4, 7, 0):
        assert all(same_bits(a, b) for a, b in zip(
            t.transform(lon, lat, threads=threads, epoch=epochs, **z), serial)), threads
    # The points' epochs are split with them: a reversed call gives each point its own result.
    reversed_call = t.transform(lon[::-1], lat[::-1], threads=3, epoch=epochs[::-1],
                                **{k: v[::-1] for k, v in z.items()})
    for got, want in zip(reversed_call, serial):
        np.testing.assert_allclose(got[::-1], want, rtol=0, atol=METRES)
    # One epoch for every point: the Transformer's, for any number of threads, and the call's.
    fixed = official(source, target, epoch=2026.9)
    once = fixed.transform(lon, lat, threads=1, **z)
    for threads in (2, 5, 0):
        assert all(same_bits(a, b) for a, b in zip(fixed.transform(lon, lat, threads=threads, **z),
                                                   once)), threads
    per_call = t.transform(lon, lat, threads=3, epoch=2026.9, **z)
    assert all(same_bits(a, b) for a, b in zip(per_call, once))


def test_a_transformer_with_an_epoch_pickles_with_it():
    t = official("EPSG:9990@2026.9", "EPSG:31467")
    copy = pickle.loads(pickle.dumps(t))
    assert (copy.epoch, copy.source, repr(copy)) == (2026.9, "EPSG:9990", repr(t))
    assert copy.transform(*POINT) == t.transform(*POINT)
    without = pickle.loads(pickle.dumps(official("EPSG:9990", "EPSG:31467")))
    assert without.epoch is None
    # A state pickled before epochs (nine fields) still loads.
    state = official("G:1", "G:3").__getstate__()
    assert len(state) == 10 and state[9] is None
    restored = nuvex.Transformer.__new__(nuvex.Transformer)
    restored.__setstate__(state[:9])
    assert restored.epoch is None and restored.datum == "official"


def test_dataframe_columns_and_single_epochs():
    pd = pytest.importorskip("pandas")
    import nuvex.dataframe
    rows = np.array(case_groups()[("EPSG:9990", "EPSG:31467")])
    df = pd.DataFrame({"lon": rows[:, 1], "lat": rows[:, 2], "when": rows[:, 0]})
    options = {"source": "EPSG:9990", "target": "EPSG:31467", "datum": "official"}
    converted = nuvex.dataframe.transform(df, "lon", "lat", epoch="when", **options)
    assert (converted["status"] == 0).all()
    np.testing.assert_allclose(converted["x_out"], rows[:, 4], rtol=0, atol=METRES)
    np.testing.assert_allclose(converted["y_out"], rows[:, 5], rtol=0, atol=METRES)
    first = nuvex.dataframe.transform(df.iloc[:1], "lon", "lat", epoch=rows[0, 0], **options)
    assert first["x_out"].iloc[0] == converted["x_out"].iloc[0]
    # A missing epoch of a nullable column marks its row.
    nullable = df.astype({"when": "Float64"})
    nullable.loc[1, "when"] = pd.NA
    marked = nuvex.dataframe.transform(nullable, "lon", "lat", epoch="when", **options)
    assert marked["status"].tolist() == [0, -1, 0, 0]
    with pytest.raises(ValueError, match=FORGOTTEN):
        nuvex.dataframe.transform(df, "lon", "lat", **options)


def test_geometries_convert_at_the_epoch():
    pytest.importorskip("shapely")
    from shapely.geometry import LineString, Point
    import nuvex.shapely
    rows = np.array(case_groups()[("EPSG:9990", "EPSG:31467")])
    line = LineString(rows[:2, 1:3])
    converted = nuvex.shapely.transform(line, "EPSG:9990", "EPSG:31467", datum="official",
                                        epoch=2026.9)
    assert abs(converted.coords[0][0] - IN_GAUSS_KRUEGER[0]) < METRES
    with pytest.raises(ValueError, match=FORGOTTEN):
        nuvex.shapely.transform(Point(*POINT), "EPSG:9990", "EPSG:31467", datum="official")


class DynamicCrs:
    """A CRS as later pyproj versions give one with a coordinate epoch (pyproj 3.4 has none)."""

    def __init__(self, code, epoch):
        self.code, self.coordinate_epoch = code, epoch

    def to_epsg(self):
        return self.code

    def __str__(self):
        return f"EPSG:{self.code} at {self.coordinate_epoch}"


def test_geopandas_reads_the_epoch_of_the_frames_crs_or_of_the_call():
    gpd = pytest.importorskip("geopandas")
    pytest.importorskip("pyproj")
    from shapely.geometry import Point
    import nuvex.geopandas
    rows = np.array(case_groups()[("EPSG:9990", "EPSG:31467")])
    frame = gpd.GeoDataFrame({"geometry": [Point(*POINT)]}, crs="EPSG:9990")
    converted = nuvex.geopandas.to_crs(frame, "EPSG:31467", datum="official", epoch=2026.9)
    assert converted.crs.to_epsg() == 31467
    assert abs(converted.geometry.iloc[0].x - rows[0, 4]) < METRES
    assert abs(converted.geometry.iloc[0].y - rows[0, 5]) < METRES
    with pytest.raises(ValueError, match=FORGOTTEN):
        nuvex.geopandas.to_crs(frame, "EPSG:31467", datum="official")
    # A coordinate epoch of the CRS counts as the frame's epoch, and must agree with epoch=.
    dynamic = DynamicCrs(9990, 2026.9)
    from_crs = nuvex.geopandas.to_crs(frame, "EPSG:31467", source=dynamic, datum="official")
    assert from_crs.geometry.iloc[0].equals(converted.geometry.iloc[0])
    with pytest.raises(ValueError, match=r"epoch=2020\.0 contradicts the epoch 2026\.9 of "
                                         r"EPSG:9990@2026\.9"):
        nuvex.geopandas.to_crs(frame, "EPSG:31467", source=dynamic, datum="official",
                               epoch=2020.0)
    # A CRS without a coordinate epoch (pyproj's static ones) needs the call's.
    static = DynamicCrs(9990, None)
    with pytest.raises(ValueError, match=FORGOTTEN):
        nuvex.geopandas.to_crs(frame, "EPSG:31467", source=static, datum="official")
