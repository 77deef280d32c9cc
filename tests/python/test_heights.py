# Heights through the Python package: PROJ's results (tests/data/interface_heights.txt), the
# kinds of heights from heights= or from compound and 3D codes, their refusals, points whose
# heights cannot be converted, heights carried over without kinds, the same bits for every number
# of threads, out= with five arrays, and pickling.
import math
import pathlib
import pickle

import numpy as np
import pytest

import nuvex

ROOT = pathlib.Path(__file__).resolve().parent.parent.parent
CASES = ROOT / "tests" / "data" / "interface_heights.txt"
GEOID = ROOT / "data" / "de_bkg_gcg2016.tif"
METRES = 1e-4  # 0.1 mm of PROJ
METRES_PER_DEGREE = 111320.0
NOT_FOUND = "outside the quasigeoid"


def case_groups():
    """{(source, target, from, to): [(x, y, z, x expected, y expected, z expected), ...]}"""
    groups = {}
    for line in CASES.read_text().splitlines():
        if line.startswith("#") or not line:
            continue
        f = line.split("|")
        groups.setdefault(tuple(f[:4]), []).append(tuple(float(v) for v in f[4:]))
    return groups


def official(source, target, **options):
    return nuvex.Transformer(source, target, datum="official", **options)


def same_bits(a, b):
    a, b = np.asarray(a), np.asarray(b)
    return a.dtype == b.dtype and a.shape == b.shape and a.tobytes() == b.tobytes()


@pytest.mark.parametrize("names", list(case_groups()), ids=lambda names: "->".join(names[:2]))
def test_heights_match_proj(names):
    source, target, height_from, height_to = names
    rows = np.array(case_groups()[names])
    t = official(source, target, heights=(height_from, height_to))
    x, y, z, _, status = t.transform(rows[:, 0], rows[:, 1], z=rows[:, 2])
    assert (status == 0).all()
    np.testing.assert_allclose(z, rows[:, 5], rtol=0, atol=METRES)
    if t.target.startswith("G:") or target in ("EPSG:4937", "EPSG:4258+7837"):
        scale = METRES_PER_DEGREE * np.cos(np.radians(rows[:, 4]))
        assert (np.abs(x - rows[:, 3]) * scale < METRES).all()
        assert (np.abs(y - rows[:, 4]) * METRES_PER_DEGREE < METRES).all()
    else:
        np.testing.assert_allclose(x, rows[:, 3], rtol=0, atol=METRES)
        np.testing.assert_allclose(y, rows[:, 4], rtol=0, atol=METRES)


def test_compound_and_3d_codes_name_the_heights():
    t = official("EPSG:31467+7837", "EPSG:4937")
    assert t.heights == ("dhhn2016", "ellipsoidal") and t.geoid is None
    assert (t.source, t.target) == ("EPSG:31467+7837", "EPSG:4937")
    assert "heights=('dhhn2016', 'ellipsoidal')" in repr(t)
    given = official("E:1", "G:3", heights=["dhhn2016", "ellipsoidal"])
    point = (3514881.4679, 5685234.0224)
    assert t.transform(*point, z=250.0) == given.transform(*point, z=250.0)
    # A name without heights takes any kind; "E:1+7837" is a compound name as well.
    assert official("E:1+7837", "G:3", heights=("dhhn2016", "ellipsoidal")).heights == \
        ("dhhn2016", "ellipsoidal")
    assert official("G:3", "G:3").heights is None
    assert nuvex.Transformer("G:3", "E:3", heights=("none", "none")).heights is None


@pytest.mark.parametrize("arguments,error,message", [
    # contradictions with a name's heights
    (("EPSG:31467+7837", "G:3", ("ellipsoidal", "ellipsoidal")), ValueError,
     r"heights=\('ellipsoidal', 'ellipsoidal'\): the source EPSG:31467\+7837 has dhhn2016 "
     r"heights, not ellipsoidal"),
    (("G:3", "EPSG:4937", ("dhhn2016", "dhhn2016")), ValueError,
     "the target EPSG:4937 has ellipsoidal heights, not dhhn2016"),
    (("EPSG:31467+7837", "EPSG:4937", ("none", "none")), ValueError,
     "has dhhn2016 heights, not none"),
    # unknown kinds, and heights that are no pair
    (("G:3", "G:3", ("orthometric", "ellipsoidal")), ValueError,
     "the source's kind 'orthometric' is not 'none', 'ellipsoidal' or 'dhhn2016'"),
    (("G:3", "G:3", ("dhhn2016", 2)), TypeError, "the target's kind must be"),
    (("G:3", "G:3", "dhhn2016"), TypeError, r"heights must be a pair \(source, target\)"),
    (("G:3", "G:3", ("dhhn2016", "ellipsoidal", "none")), TypeError, "must be a pair"),
    # a kind on one side only, also from the names
    (("G:3", "G:3", ("dhhn2016", "none")), ValueError,
     r"the source has dhhn2016 heights and the target none \(heights=\('dhhn2016', 'none'\)\); "
     "name the kind of both"),
    (("EPSG:31467+7837", "EPSG:25832", None), ValueError,
     r"the source has dhhn2016 heights and the target none \(from the names EPSG:31467\+7837 "
     "and EPSG:25832\\)"),
    # kinds the library does not convert, and names it does not read
    (("G:1", "G:3", ("ellipsoidal", "ellipsoidal")), ValueError, "system 1"),
    (("E:2+7837", "G:3", None), ValueError, "not system 2"),
    (("EPSG:31467+5783", "G:3", None), ValueError, "the vertical CRS '5783' is not supported"),
])
def test_height_choices_are_checked(arguments, error, message):
    source, target, heights = arguments
    with pytest.raises(error, match=message):
        official(source, target, heights=heights)


def test_heights_need_the_official_datum_and_the_geoid_heights():
    with pytest.raises(ValueError, match=r"heights dhhn2016 to ellipsoidal \(from the names "
                                         r"EPSG:4258\+7837 and EPSG:4937\) are converted only "
                                         "with datum='official'"):
        nuvex.Transformer("EPSG:4258+7837", "EPSG:4937")
    with pytest.raises(ValueError, match="geoid is only used with heights"):
        official("G:3", "G:3", geoid=str(GEOID))
    with pytest.raises(ValueError, match="only used where a normal height meets an ellipsoidal"):
        official("G:4", "G:3", heights=("ellipsoidal", "ellipsoidal"), geoid=str(GEOID))
    with pytest.raises(ValueError, match="no_such_geoid.tif"):
        official("EPSG:4258+7837", "EPSG:4937", geoid="no_such_geoid.tif")
    with pytest.raises(ValueError, match="NUL"):
        official("EPSG:4258+7837", "EPSG:4937", geoid=str(GEOID) + "\0.txt")


def test_a_geoid_file_serves_as_the_built_in_one():
    from_file = official("EPSG:4258+7837", "EPSG:4937", geoid=str(GEOID))
    assert from_file.geoid == str(GEOID) and f"geoid={str(GEOID)!r}" in repr(from_file)
    lon, lat = np.linspace(6.0, 15.0, 50), np.linspace(47.5, 55.0, 50)
    z = np.linspace(-10.0, 2000.0, 50)
    built_in = official("EPSG:4258+7837", "EPSG:4937").transform(lon, lat, z=z)
    assert all(same_bits(a, b) for a, b in zip(from_file.transform(lon, lat, z=z), built_in))


def test_points_whose_heights_cannot_be_converted_have_reasons():
    t = official("EPSG:4258+7837", "EPSG:4937")
    points = [  # lon, lat, height, reason
        (10.0, 50.0, 100.0, ""),
        (10.0, 50.0, math.nan, "height_out_of_range"),
        (10.0, 50.0, 1e9, "height_out_of_range"),
        (10.0, 50.0, -math.inf, "height_out_of_range"),
        (5.7014159, 52.3619409, 10.0, "outside_geoid"),  # the Netherlands
        (10.0, 95.0, 100.0, "outside_coordinates"),
    ]
    lon, lat, z, reasons = (list(column) for column in zip(*points))
    x, y, z_out, zone, status = t.transform(lon, lat, z=z)
    assert t.explain(lon, lat, z=z).tolist() == reasons
    converted = np.array([reason == "" for reason in reasons])
    assert (status == np.where(converted, 0, -1)).all()
    assert np.isnan(x[~converted]).all() and np.isnan(z_out[~converted]).all()
    assert abs(z_out[0] - 147.809500694132) < METRES
    assert NOT_FOUND in nuvex.reason_text("outside_geoid")
    assert nuvex.reason_text("height_out_of_range")
    assert t.explain(10.0, 50.0, z=1e9) == "height_out_of_range"  # scalar: a str


def test_a_point_of_another_zone_than_the_source_names_has_no_height():
    t = official("EPSG:31467+7837", "EPSG:25832", heights=("dhhn2016", "ellipsoidal"))
    x, y, z, zone, status = t.transform([3514881.4679, 4514881.4679], [5685234.0224] * 2,
                                        z=[250.0, 250.0])
    assert status.tolist() == [0, -1] and zone.tolist() == [32, 0]
    assert abs(z[0] - 296.723969022768) < METRES and np.isnan(z[1]) and np.isnan(x[1])
    assert t.explain(4514881.4679, 5685234.0224, z=250.0) == "no_such_zone"


def test_a_heights_transformer_needs_heights():
    t = official("EPSG:4258+7837", "EPSG:4937")
    with pytest.raises(ValueError, match=r"this Transformer converts heights \(dhhn2016 to "
                                         r"ellipsoidal\): give them with z="):
        t.transform([10.0], [50.0])
    with pytest.raises(ValueError, match="give them with z="):
        t.explain([10.0], [50.0])
    with pytest.raises(ValueError, match=r"z must have the shape of x and y, not \(2,\) against "
                                         r"\(1,\)"):
        t.transform([10.0], [50.0], z=[1.0, 2.0])
    with pytest.raises(TypeError, match="z must hold numbers"):
        t.transform([10.0], [50.0], z=["100"])


def test_without_kinds_heights_are_carried_over_as_given():
    rng = np.random.default_rng(7)
    lon, lat = rng.uniform(2.0, 18.0, 5000), rng.uniform(44.0, 58.0, 5000)
    z = rng.uniform(-100.0, 3000.0, 5000)
    z[::7], z[::11] = np.nan, 1e9
    for datum in ("polynomial", "official"):
        t = nuvex.Transformer("G:3", "E:1", datum=datum)
        x3, y3, z3, zone3, status3 = t.transform(lon, lat, z=z)
        x2, y2, zone2, status2 = t.transform(lon, lat)
        assert same_bits(x3, x2) and same_bits(y3, y2) and same_bits(zone3, zone2)
        assert same_bits(status3, status2) and (status2 == -1).any()
        assert same_bits(z3, z)  # also where the position has no path
        assert (t.explain(lon[:50], lat[:50], z=z[:50]) == t.explain(lon[:50], lat[:50])).all()


def lattice(count):
    """Points over Germany and beyond, with heights of every kind of trouble among them."""
    rng = np.random.default_rng(11)
    lon, lat = rng.uniform(4.0, 16.5, count), rng.uniform(46.5, 56.0, count)
    z = rng.uniform(-50.0, 2500.0, count)
    z[::97] = np.nan
    z[::89] = 2e4
    return lon, lat, z


def test_every_thread_count_gives_the_same_bits():
    t = official("EPSG:4258+7837", "E:3", heights=("dhhn2016", "ellipsoidal"))  # zones per point
    lon, lat, z = lattice(150_000)
    serial = t.transform(lon, lat, threads=1, z=z)
    assert len(serial) == 5 and (serial[4] == 0).any() and (serial[4] == -1).any()
    for threads in (2, 3, 4, 7, 0):
        assert all(same_bits(a, b) for a, b in zip(t.transform(lon, lat, threads=threads, z=z),
                                                   serial)), threads


def test_out_takes_five_arrays_with_heights():
    t = official("EPSG:4258+7837", "EPSG:4937")
    lon, lat, z = lattice(1000)
    out = (np.empty(1000), np.empty(1000), np.empty(1000), np.empty(1000, np.int32),
           np.empty(1000, np.int32))
    assert t.transform(lon, lat, z=z, out=out) is out
    assert all(same_bits(a, b) for a, b in zip(out, t.transform(lon, lat, z=z)))
    with pytest.raises(TypeError, match=r"out must be a tuple of five arrays \(x, y, z, zone, "
                                        r"status\) when z is given"):
        t.transform(lon, lat, z=z, out=out[:2] + out[3:])
    with pytest.raises(TypeError, match=r"out\[2\] \(z\) must have dtype float64"):
        t.transform(lon, lat, z=z, out=out[:2] + (out[3],) + out[3:])
    with pytest.raises(ValueError, match=r"out\[2\] shares memory with the input"):
        t.transform(lon, lat, z=z, out=out[:2] + (z,) + out[3:])
    with pytest.raises(ValueError, match=r"out\[1\] and out\[2\] share memory"):
        t.transform(lon, lat, z=z, out=out[:2] + (out[1],) + out[3:])
    # Scalars give numpy scalars, five of them.
    scalars = t.transform(10.0, 50.0, z=100.0)
    assert len(scalars) == 5 and all(np.ndim(value) == 0 for value in scalars)


def test_heights_transformer_pickles_with_its_heights_and_geoid():
    t = official("EPSG:31467+7837", "G:3", heights=("dhhn2016", "ellipsoidal"), geoid=str(GEOID))
    copy = pickle.loads(pickle.dumps(t))
    assert (copy.heights, copy.geoid, copy.source) == (t.heights, t.geoid, "EPSG:31467+7837")
    point = (3514881.4679, 5685234.0224)
    assert copy.transform(*point, z=250.0) == t.transform(*point, z=250.0)
    # A state pickled before heights (seven fields) still loads.
    state = nuvex.Transformer("G:1", "G:3").__getstate__()
    restored = nuvex.Transformer.__new__(nuvex.Transformer)
    restored.__setstate__(state[:7])
    assert restored.heights is None and restored.source == "G:1"
