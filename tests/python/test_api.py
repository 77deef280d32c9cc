# The nuvex module against the nuvex converter (the same engine through TRGU), on every pair of
# systems; input shapes and dtypes; refusals of bad arguments; marking of bad points; angles.
import doctest
import os
import pathlib
import pickle
import pydoc
import re
import subprocess
import sys
import threading
import time
import warnings
from concurrent.futures import ThreadPoolExecutor

import numpy as np
import pytest

import nuvex

# WGS84 longitude, latitude (deg): across both regions of the datum shifts, near the border of
# UTM zones 32/33, and two points outside every region (no path on routes through a shift).
GEOGRAPHIC = [(10.0, 50.0), (6.1, 51.2), (13.4, 52.5), (9.5, 47.8), (14.9, 54.1), (11.9, 50.0),
              (0.5, 40.0), (-20.0, 10.0)]
SYSTEMS = ["E:1", "E:2", "E:3", "E:4", "G:1", "G:2", "G:3", "G:4"]
METRES = 1e-6  # tolerance against the converter's output, which is rounded to 1e-9 m
DEGREES = 1e-10  # and to 1e-12 deg


def is_utm_grid(system):
    return system in ("E:2", "E:3")


def source_rows(converter, source, zone_width):
    """The points of GEOGRAPHIC on the source side, as the converter writes them."""
    rows = converter(["convert", "--from", "G:3", "--to", source, "--zone-width", str(zone_width)],
                     GEOGRAPHIC)
    if source.startswith("E") and not is_utm_grid(source):
        rows = [row[:2] if row else None for row in rows]  # the easting carries the zone
    return [row for row in rows if row is not None]


def assert_agrees(expected_rows, results, target):
    x, y, zone, status = results
    tolerance = METRES if target.startswith("E") else DEGREES
    assert len(expected_rows) == len(x)
    for i, expected in enumerate(expected_rows):
        if expected is None:
            assert status[i] == -1 and np.isnan(x[i]) and np.isnan(y[i]) and zone[i] == 0, i
            continue
        assert status[i] == 0, i
        assert x[i] == pytest.approx(expected[0], abs=tolerance), i
        assert y[i] == pytest.approx(expected[1], abs=tolerance), i
        if target.startswith("E"):
            assert zone[i] == expected[2], i


@pytest.mark.parametrize("zone_width", [3, 6])
@pytest.mark.parametrize("target", SYSTEMS)
@pytest.mark.parametrize("source", SYSTEMS)
def test_transform_agrees_with_the_converter(converter, source, target, zone_width):
    rows = source_rows(converter, source, zone_width)
    expected = converter(["convert", "--from", source, "--to", target,
                          "--zone-width", str(zone_width)], rows)
    columns = np.array(rows).T
    zone = columns[2].astype(np.int64) if is_utm_grid(source) else None
    transformer = nuvex.Transformer(source, target, zone_width=zone_width)
    assert_agrees(expected, transformer.transform(columns[0], columns[1], zone=zone), target)


@pytest.mark.parametrize("target,zone", [("E:1", 4), ("E:2", 33), ("E:3", 33), ("E:4", 4)])
def test_given_zone_and_zone_prefix_agree_with_the_converter(converter, target, zone):
    expected = converter(["convert", "--from", "E:1", "--to", target, "--zone", str(zone),
                          "--zone-prefix"], source_rows(converter, "E:1", 3))
    rows = np.array(source_rows(converter, "E:1", 3)).T
    transformer = nuvex.Transformer("E:1", target, zone=zone, zone_prefix=True)
    assert_agrees(expected, transformer.transform(rows[0], rows[1]), target)


@pytest.mark.parametrize("system", [1, 2, 3, 4])
def test_entry_points_agree_with_the_converter(converter, system):
    grid = source_rows(converter, f"E:{system}", 3)
    expected = converter(["to-ll", "--system", str(system)], grid)
    columns = np.array(grid).T
    zone = columns[2] if system in (2, 3) else None
    assert_agrees(expected, nuvex.to_ll(columns[0], columns[1], system, zone=zone), "G:3")

    for options, keywords in [([], {}), (["--zone-prefix"], {"zone_prefix": True}),
                              (["--zone-width", "6"], {"zone_width": 6}),
                              (["--zone", "33" if system in (2, 3) else "4"],
                               {"zone": 33 if system in (2, 3) else 4})]:
        expected = converter(["from-ll", "--system", str(system), *options], GEOGRAPHIC)
        lon, lat = np.array(GEOGRAPHIC).T
        assert_agrees(expected, nuvex.from_ll(lon, lat, system, **keywords), f"E:{system}")


def test_worked_values_of_the_projection():
    # WGS84 lon 10 lat 50 on UTM: 571666.448 5539109.815 zone 32; on the 9 deg meridian the
    # easting is 500000, with the zone in the millions 32500000.
    x, y, zone, status = nuvex.from_ll([10.0, 9.0], [50.0, 50.0], 3, zone_prefix=True)
    np.testing.assert_allclose(x, [32571666.448, 32500000.0], atol=1e-3)
    np.testing.assert_allclose(y, [5539109.815, 5538630.703], atol=1e-3)
    assert zone.tolist() == [32, 32] and status.tolist() == [0, 0]
    lon, lat, zone, status = nuvex.to_ll(32571666.448, 5539109.815, 3)
    assert (lon, lat) == (pytest.approx(10.0, abs=2e-8), pytest.approx(50.0, abs=2e-8))
    assert (zone, status) == (32, 0)


# ---- Shapes and dtypes ---------------------------------------------------------------------------

LONGITUDES = np.linspace(5.5, 15.0, 24)
LATITUDES = np.linspace(47.5, 55.0, 24)


@pytest.fixture(scope="module")
def gauss_krueger():
    return nuvex.Transformer("G:3", "E:1")


@pytest.mark.parametrize("make", [
    lambda a: a.astype(np.float32),
    lambda a: a.astype(np.longdouble),
    lambda a: np.round(a).astype(np.int32),
    lambda a: np.round(a).astype(np.uint16),
    lambda a: a.tolist(),
    lambda a: np.repeat(a, 3)[::3],                       # strided view
    lambda a: np.asfortranarray(a.reshape(4, 6)),          # 2-D, column-major
    lambda a: a.reshape(2, 3, 4)[:, ::-1, :],             # 3-D, negative strides
])
def test_any_array_like_converts_as_float64(gauss_krueger, make):
    x, y = make(LONGITUDES), make(LATITUDES)
    results = gauss_krueger.transform(x, y)
    expected = gauss_krueger.transform(np.array(x, dtype=np.float64).ravel(),
                                       np.array(y, dtype=np.float64).ravel())
    for got, want, dtype in zip(results, expected, [np.float64, np.float64, np.int32, np.int32]):
        assert got.dtype == dtype and got.shape == np.shape(x)
        np.testing.assert_array_equal(got.ravel(), want)


def test_scalars_give_numpy_scalars_and_empty_arrays_give_empty_arrays(gauss_krueger):
    x, y, zone, status = gauss_krueger.transform(10, np.float32(50))
    assert isinstance(x, np.float64) and isinstance(zone, np.int32) and status == 0
    assert x == gauss_krueger.transform([10.0], [50.0])[0][0]
    assert all(r.shape == (0,) for r in gauss_krueger.transform([], np.empty(0)))


def test_input_zones_one_for_all_or_one_per_point():
    t = nuvex.Transformer("E:3", "G:3")
    eastings, northings = np.array([571666.448, 707819.175]), np.array([5539109.815, 5542661.167])
    per_point = t.transform(eastings, northings, zone=np.array([32, 32], dtype=np.int8))
    for zone in (32, 32.0, np.int64(32), [32.0, 32.0]):
        for got, want in zip(t.transform(eastings, northings, zone=zone), per_point):
            np.testing.assert_array_equal(got, want)
    assert per_point[3].tolist() == [0, 0]


def sentinel_results(shape):
    """out= arrays filled with values no conversion gives, so that a point left out shows."""
    return (np.full(shape, -7.5), np.full(shape, -7.5), np.full(shape, -7, np.int32),
            np.full(shape, -7, np.int32))


# Lengths with a short last chunk. Scattered over a whole-state zone and beyond, the points mix
# both projection series and the exact one's short and long forms in the engine's blocks, which
# then convert them in spatial order: each block's last bits depend on which points share it, so
# every thread count must chunk the points alike.
@pytest.mark.filterwarnings("ignore:zone 32 lies more than 6 deg")
@pytest.mark.parametrize("count", [100_003, 7 * 16_384 + 13])
@pytest.mark.parametrize("target", ["E:1", "E:3 zone 32"])
def test_threads_and_concurrent_calls_give_the_serial_result(count, target):
    system, _, zone = target.partition(" zone ")
    transformer = nuvex.Transformer("G:3", system, zone=int(zone) if zone else None)
    rng = np.random.default_rng(7)
    lon, lat = rng.uniform(5, 15.5, count), rng.uniform(47, 55.5, count)
    serial = transformer.transform(lon, lat, threads=1)
    outcomes = [transformer.transform(lon, lat, threads=threads) for threads in (2, 3, 4, 7, 0)]
    outcomes += [transformer.transform(lon, lat), transformer.transform(
        lon, lat, threads=5, out=sentinel_results(lon.shape))]
    with ThreadPoolExecutor(4) as pool:
        outcomes += list(pool.map(lambda _: transformer.transform(lon, lat), range(4)))
    for outcome in outcomes:
        for got, want in zip(outcome, serial):
            np.testing.assert_array_equal(got, want)


def test_results_written_into_given_arrays(gauss_krueger):
    lon, lat = LONGITUDES.reshape(4, 6), LATITUDES.reshape(4, 6)
    out = sentinel_results((4, 6))
    returned = gauss_krueger.transform(lon, lat, out=out)
    assert returned is out
    for got, want in zip(out, gauss_krueger.transform(lon, lat)):
        np.testing.assert_array_equal(got, want)
    zone_out = sentinel_results(())
    assert nuvex.from_ll(10.0, 50.0, 3, out=zone_out) is zone_out and zone_out[2] == 32
    utm = nuvex.Transformer("E:3", "G:3")
    zones = np.full(2, 32, np.int32)  # taken as it is, without a copy
    results = utm.transform([571666.448, 500000.0], [5539109.815, 5538630.703], zones,
                            out=sentinel_results(2))
    np.testing.assert_allclose(results[0], [10.0, 9.0], atol=1e-8)


def test_large_results_stay_right_when_their_memory_is_reused(gauss_krueger):
    rng = np.random.default_rng(11)
    for count in (300_000, 200_001, 300_000, 150_000):  # megabytes, kept and reused
        lon, lat = rng.uniform(5, 15.5, count), rng.uniform(47, 55.5, count)
        fresh = gauss_krueger.transform(lon, lat)
        into = gauss_krueger.transform(lon, lat, out=sentinel_results(count))
        for got, want in zip(fresh, into):
            np.testing.assert_array_equal(got, want)
        del fresh


def out_with(index, replacement, shape=(3,)):
    arrays = list(sentinel_results(shape))
    arrays[index] = replacement(arrays)
    return tuple(arrays)


@pytest.mark.parametrize("out,error,message", [
    ([np.empty(3)] * 4, TypeError, "tuple of four arrays"),
    (sentinel_results(3)[:3], TypeError, "tuple of four arrays"),
    (out_with(0, lambda a: [0.0, 0.0, 0.0]), TypeError, r"out\[0\] \(x\) must be a numpy array"),
    (out_with(1, lambda a: np.empty(3, np.float32)), TypeError, "out.1. .y. must have dtype"),
    (out_with(2, lambda a: np.empty(3, np.int64)), TypeError, "out.2. .zone. must have dtype"),
    (out_with(3, lambda a: np.empty(4, np.int32)), ValueError, r"shape \(4,\), not"),
    (out_with(0, lambda a: np.empty(6)[::2]), ValueError, "C-contiguous"),
    (out_with(1, lambda a: a[0]), ValueError, r"out\[0\] and out\[1\] share memory"),
    (out_with(3, lambda a: a[2]), ValueError, "share memory"),
])
def test_bad_out_arrays_are_refused(gauss_krueger, out, error, message):
    with pytest.raises(error, match=message):
        gauss_krueger.transform([10.0, 11.0, 12.0], [50.0, 50.0, 50.0], out=out)


def test_out_may_not_overwrite_the_input_it_reads(gauss_krueger):
    lon, lat = np.array([10.0, 11.0]), np.array([50.0, 50.0])
    read_only = np.empty(2)
    read_only.setflags(write=False)
    with pytest.raises(ValueError, match="read-only"):
        gauss_krueger.transform(lon, lat, out=(read_only,) + sentinel_results(2)[1:])
    with pytest.raises(ValueError, match="shares memory with the input"):
        gauss_krueger.transform(lon, lat, out=(lon,) + sentinel_results(2)[1:])
    zones = np.array([32, 32], np.int32)
    with pytest.raises(ValueError, match=r"out\[3\] shares memory with the input"):
        nuvex.Transformer("E:3", "G:3").transform([5e5, 5e5], [5e6, 5e6], zones,
                                                  out=sentinel_results(2)[:3] + (zones,))
    converted = lon.astype(np.float32)  # read as a float64 copy: its memory is free to use
    x = np.empty(2)
    nuvex.Transformer("G:3", "G:3").transform(converted, lat, out=(x,) + sentinel_results(2)[1:])
    np.testing.assert_array_equal(x, converted.astype(np.float64))


def test_other_python_threads_run_while_converting(gauss_krueger):
    lon, lat = np.full(1_000_000, 10.0), np.full(1_000_000, 50.0)
    span = {}

    def convert():
        span["start"] = time.perf_counter()
        gauss_krueger.transform(lon, lat)
        span["end"] = time.perf_counter()

    ticks = []
    worker = threading.Thread(target=convert)
    worker.start()
    while worker.is_alive():
        ticks.append(time.perf_counter())
        time.sleep(0.0005)
    worker.join()
    margin = (span["end"] - span["start"]) / 4
    assert any(span["start"] + margin < tick < span["end"] - margin for tick in ticks)


# Inputs whose conversion to float64 arrays needs more memory than there is (broadcast views of
# 10^11 elements, 4*10^10 after broadcasting) raise MemoryError; a null array from the failed
# conversion once crashed the interpreter. Each runs in its own interpreter, its address space
# limited so that no machine grants the allocation.
@pytest.mark.parametrize("call", [
    "m.deg2dms(np.broadcast_to(np.int32(10), (10**11,)))",
    "t = m.Transformer('G:3', 'E:3'); x = np.broadcast_to(np.int32(10), (10**11,)); "
    "t.transform(x, x)",
    "t = m.Transformer('E:3', 'G:3'); x = np.zeros(3); "
    "t.transform(x, x, zone=np.broadcast_to(np.int8(32), (10**11,)))",
    "m.dms2deg(np.zeros((200000, 1), np.int32), np.zeros((1, 200000), np.int32), 0)",
    "m.dms2deg(np.broadcast_to(np.int32(10), (10**11,)), 0, 0)",
])
def test_inputs_too_large_to_convert_raise_memory_error(call):
    script = ("import resource, numpy as np, nuvex as m\n"
              "resource.setrlimit(resource.RLIMIT_AS, (4 << 30, 4 << 30))\n"
              f"try:\n    {call}\nexcept (MemoryError, ValueError) as e:\n"
              "    print(type(e).__name__)\n")
    finished = subprocess.run([sys.executable, "-c", script], capture_output=True, text=True,
                              timeout=120, check=False)
    assert finished.returncode == 0, finished.stderr
    assert finished.stdout.strip() in ("MemoryError", "ValueError"), finished.stdout


# ---- Bad points are marked, the others converted ------------------------------------------------

@pytest.mark.parametrize("source,x,y,zone", [
    ("G:3", np.nan, 50.0, None), ("G:3", 10.0, np.inf, None),
    ("G:3", 190.0, 50.0, None), ("G:3", 10.0, -91.0, None),
    ("E:1", 2e9, 5540758.788, None),
    ("E:3", 571666.448, 5539109.815, 0),          # zone 0 needs a prefixed easting
    ("E:3", 33571666.448, 5539109.815, 32),       # the prefix says zone 33
    ("E:3", 571666.448, 5539109.815, 61),
])
def test_bad_points_are_marked_and_the_rest_converted(source, x, y, zone):
    good = {"G:3": (10.0, 50.0, 0), "E:1": (3571686.387, 5540758.788, 0),
            "E:3": (571666.448, 5539109.815, 32)}[source]
    t = nuvex.Transformer(source, "E:3" if source == "G:3" else "G:3")  # no datum shift
    zones = None if zone is None else [good[2], zone, good[2]]
    x_out, y_out, zone_out, status = t.transform([good[0], x, good[0]], [good[1], y, good[1]],
                                                 zones)
    assert status.tolist() == [0, -1, 0] and zone_out[1] == 0
    assert np.isnan(x_out[1]) and np.isnan(y_out[1])
    alone = t.transform([good[0]], [good[1]], None if zone is None else [good[2]])
    assert x_out[0] == x_out[2] == alone[0][0] and y_out[0] == alone[1][0]


@pytest.mark.parametrize("source,target,rows,converted", [
    # 180 and -180 deg are one meridian: both fall into zone 1.
    ("G:3", "E:3", [(180.0, 50.0), (-180.0, 50.0), (10.0, 90.0), (10.0, -90.0)],
     [True, True, True, True]),
    # Grid coordinates of 1e9 m are input, but in no zone of the system (or beyond the pole).
    ("E:1", "G:1", [(1e9, 5540758.788), (-1e9, 5540758.788), (3571686.387, 1e9),
                    (3571686.387, -1e9)], [False, False, False, False]),
])
def test_inputs_exactly_at_the_bounds_are_taken_as_the_converter_takes_them(
        converter, source, target, rows, converted):
    expected = converter(["convert", "--from", source, "--to", target], rows)
    assert [e is not None for e in expected] == converted
    columns = np.array(rows).T
    assert_agrees(expected, nuvex.Transformer(source, target).transform(*columns), target)


# ---- Refusals -----------------------------------------------------------------------------------

@pytest.mark.parametrize("call,error,message", [
    (lambda: nuvex.Transformer("X:1", "G:3"), ValueError, "source 'X:1' is not a coordinate"),
    (lambda: nuvex.Transformer("E:1", "E:6"), ValueError, "target 'E:6' is not a coordinate"),
    (lambda: nuvex.Transformer("E1", "G:3"), ValueError, "TYPE:SYSTEM"),
    (lambda: nuvex.Transformer("E:1", "G:3", zone_width=4), ValueError, "zone_width 4 is not 3"),
    (lambda: nuvex.Transformer("E:1", "G:3", zone=32), ValueError, "geographic and has no zone"),
    (lambda: nuvex.Transformer("G:3", "E:3", zone=61), ValueError, "WGS84 / UTM are 1 to 60"),
    (lambda: nuvex.Transformer("G:3", "E:4", zone_width=6, zone=61), ValueError,
     "Krassowsky 1940 / Gauss-Krueger 6 deg are 1 to 60"),
    (lambda: nuvex.Transformer(1, "G:3"), TypeError, "incompatible"),
    (lambda: nuvex.Transformer("G:3", "E:3").transform([1, 2, 3], [1, 2]), ValueError,
     r"same shape, not \(3,\) and \(2,\)"),
    (lambda: nuvex.Transformer("E:3", "G:3").transform([1, 2], [1, 2], zone=[32, 32, 32]),
     ValueError, "one zone or one per point"),
    (lambda: nuvex.Transformer("E:3", "G:3").transform([1, 2, 3], [1, 2, 3], zone=[32]),
     ValueError, "one zone or one per point"),
    (lambda: nuvex.Transformer("E:3", "G:3").transform([1], [1], zone=[32.5]), ValueError,
     "zone holds 32.5 at index 0"),
    (lambda: nuvex.Transformer("G:3", "E:3").transform([10], [50], zone=32), ValueError,
     "source G:3 is geographic"),
    (lambda: nuvex.Transformer("E:1", "G:3").transform([1], [1], zone=3), ValueError,
     "carry their zone in the millions"),
    (lambda: nuvex.Transformer("G:3", "E:3").transform([10], [50], threads=-1), ValueError,
     "threads must be 0"),
    (lambda: nuvex.Transformer("G:3", "E:3").transform(["10"], [50]), TypeError,
     "x must hold numbers"),
    (lambda: nuvex.Transformer("G:3", "E:3").transform([10], [True]), TypeError,
     "y must hold numbers"),
    (lambda: nuvex.Transformer("G:3", "E:3").transform([10j], [50]), TypeError, "complex"),
    (lambda: nuvex.Transformer("G:3", "E:3").transform([10, None], [50, 50]), TypeError, "object"),
    (lambda: nuvex.to_ll([1], [1], 5), ValueError, "system 5 is not one of 1, 2, 3, 4"),
    (lambda: nuvex.from_ll([10], [50], 0), ValueError, "system 0 is not one of"),
    (lambda: nuvex.from_ll([10], [50], 4, zone_width=5), ValueError, "zone_width 5"),
    (lambda: nuvex.dms2deg(7.5, 0, 0), ValueError, "degrees holds 7.5"),
    (lambda: nuvex.dms2deg([1, 2], [1, 2, 3], 0), ValueError, "shape mismatch"),
    (lambda: nuvex.deg2dms("7"), TypeError, "angle must hold numbers"),
])
def test_bad_arguments_raise_clear_errors(call, error, message):
    with pytest.raises(error, match=message):
        call()


# ---- Points no zone of their system holds -------------------------------------------------------

def test_points_outside_their_system_are_marked_not_converted():
    t = nuvex.Transformer("E:3", "E:1")
    x, y, zone, status = t.transform([9999999.0, 571666.448], [5540758.788, 5539109.815], zone=32)
    assert list(status) == [-1, 0] and zone[0] == 0 and np.isnan(x[0]) and np.isnan(y[0])
    lon, lat, _, status = nuvex.to_ll([3571686.387, 3571686.387], [55407587.88, 5540758.788], 1)
    assert list(status) == [-1, 0] and np.isnan(lat[0])
    e, n, zone, status = nuvex.from_ll([180.0, -180.0, 10.0], [50.0, 50.0, 50.0], 3)
    assert list(status) == [0, 0, 0] and list(zone) == [1, 1, 32] and e[0] == e[1]
    # Into Gauss-Krueger the datum is shifted: only within the polynomials' area.
    e, n, zone, status = nuvex.from_ll([-10.0, 10.0], [50.0, 50.0], 1)
    assert list(status) == [-1, 0]


def test_a_zone_forced_far_from_the_points_converts_them_with_a_warning():
    with pytest.warns(UserWarning, match="zone 32 lies more than 6 deg"):
        e, n, zone, status = nuvex.from_ll([10.0, 30.0], [50.0, 50.0], 3, zone=32)
    assert list(status) == [0, 0] and list(zone) == [32, 32]
    with warnings.catch_warnings():
        warnings.simplefilter("error")
        nuvex.from_ll([12.9, 5.1], [50.0, 50.0], 3, zone=32)


def far_zone_warnings(call):
    with warnings.catch_warnings(record=True) as caught:
        warnings.simplefilter("always")
        results = call()
    texts = [str(w.message) for w in caught if issubclass(w.category, UserWarning)]
    assert len(texts) <= 1, texts  # once per call, however many points or threads
    return bool(texts), results


# A zone forced on 200 003 points near its central meridian, with a few points placed at given
# indices (in the first, middle or last share of the threads). UTM zone 32 and Gauss-Krueger
# zone 3 have their central meridian at 9 deg E; one zone width (6 and 3 deg) from it at 50 deg N
# is far: 15.5 and 2.5 deg E for UTM, 12.5 deg E for Gauss-Krueger. A point outside the datum
# shift (30 deg E, 46 deg N, outside BeTA2007, to Gauss-Krueger of system 1) or no point at all
# is refused and warns of nothing however far it lies. Official datum shift: the NTv2 grid's area decides.
# Near points at 80 deg N and at 14.9 deg E, 1 deg N in
# one chunk are not far, though the chunk's largest distance from the meridian at its largest
# northing would be.
COUNT = 200_003
FAR_ZONE_CASES = [
    # target (and datum), zone, [(index, lon, lat, converted)], warned
    ("E:3", 32, [(0, 15.5, 50.0, True)], True),
    ("E:3", 32, [(COUNT // 2, 15.5, 50.0, True)], True),
    ("E:3", 32, [(COUNT - 1, 15.5, 50.0, True)], True),
    ("E:3", 32, [(COUNT // 3, 2.5, 50.0, True)], True),
    ("E:3", 32, [(COUNT - 1, 14.5, 50.0, True)], False),
    ("E:3", 32, [(5000, 14.9, 1.0, True), (5001, 9.0, 80.0, True)], False),
    ("E:3", 32, [(5000, 14.9, 1.0, True), (5001, 9.0, 80.0, True), (5002, 16.0, 80.0, True)],
     True),
    ("E:3", 32, [(7, np.nan, 50.0, False), (COUNT - 2, 190.0, 50.0, False)], False),
    ("E:1 official", 3, [(COUNT - 1, 12.5, 50.0, True)], True),
    ("E:1 official", 3, [(COUNT - 1, 11.5, 50.0, True)], False),
    ("E:1 official", 3, [(COUNT - 1, 30.0, 46.0, False)], False),
    ("E:1 official", 3, [(COUNT // 2, 30.0, 46.0, False), (COUNT - 1, 12.5, 50.0, True)], True),
]


@pytest.mark.parametrize("threads", [1, 2, 7])
@pytest.mark.parametrize("target,zone,placed,warned", FAR_ZONE_CASES)
def test_the_far_zone_warning_comes_exactly_from_converted_far_points(target, zone, placed,
                                                                      warned, threads):
    rng = np.random.default_rng(3)
    lon, lat = rng.uniform(8.0, 10.0, COUNT), rng.uniform(48.0, 54.0, COUNT)
    for at, x, y, _ in placed:
        lon[at], lat[at] = x, y
    target, *datum = target.split()
    t = nuvex.Transformer("G:3", target, zone=zone, datum=datum[0] if datum else "polynomial")
    got, results = far_zone_warnings(lambda: t.transform(lon, lat, threads=threads))
    assert got == warned
    assert [results[3][at] == 0 for at, *_ in placed] == [converted for *_, converted in placed]
    serial = far_zone_warnings(lambda: t.transform(lon, lat, threads=1))[1]
    for column, serial_column in zip(results, serial):
        np.testing.assert_array_equal(column, serial_column)


def test_the_far_zone_warning_on_zone_prefixed_and_gauss_krueger_eastings():
    lon, lat = np.array([10.0, 17.0]), np.array([50.0, 50.0])
    assert far_zone_warnings(lambda: nuvex.from_ll(lon, lat, 3, zone=32, zone_prefix=True))[0]
    assert not far_zone_warnings(lambda: nuvex.from_ll(lon[:1], lat[:1], 3, zone=32,
                                                       zone_prefix=True))[0]
    # Gauss-Krueger zone 3 (9 deg E), 3 deg wide: 12.5 deg is far, 11.5 near.
    assert far_zone_warnings(lambda: nuvex.from_ll([9.0, 12.5], [50.0, 50.0], 1, zone=3))[0]
    assert not far_zone_warnings(lambda: nuvex.from_ll([9.0, 11.5], [50.0, 50.0], 1, zone=3))[0]
    assert not far_zone_warnings(lambda: nuvex.from_ll([9.0, 12.5], [50.0, 50.0], 1))[0]
    # 23.5 deg E lies 1038 km east of the meridian: its easting carries the millions of zone 4,
    # so the three eastings are no longer all at one offset from their meridian.
    assert far_zone_warnings(lambda: nuvex.from_ll([9.0, 12.5, 23.5], [50.0] * 3, 1, zone=3))[0]


# ---- Why a point is not converted ---------------------------------------------------------------

DATA = pathlib.Path(__file__).resolve().parent.parent / "data"


def refusal_cases():
    """The engine's refusal cases: (source, target, zone width, forced zone, x, y, input zone,
    reason as the library's identifier; "" when converted)."""
    rows = []
    for line in (DATA / "engine_transformer_refusals.txt").read_text().splitlines():
        if line.startswith("#") or not line.strip():
            continue
        f = line.split("|")
        reason = "" if f[7] == "None" else re.sub(r"(?<!^)([A-Z])", r"_\1", f[7]).lower()
        rows.append((f[0], f[1], int(f[2]), int(f[3]), float(f[4]), float(f[5]), int(f[6]),
                     reason))
    return rows


@pytest.mark.parametrize("case", refusal_cases(), ids=lambda c: f"{c[0]}>{c[1]}:{c[4]},{c[5]}")
def test_explain_names_the_reason_of_the_engine_cases(case):
    source, target, width, forced, x, y, zone, reason = case
    t = nuvex.Transformer(source, target, zone_width=width, zone=forced or None)
    zones = zone if is_utm_grid(source) else None
    with warnings.catch_warnings():
        warnings.simplefilter("ignore")  # a forced zone far from the point
        status = t.transform([x] * 9, [y] * 9, zones)[3]
    assert t.explain(x, y, zones) == reason
    assert list(t.explain([x] * 9, [y] * 9, zones)) == [reason] * 9
    assert list(status) == [0 if reason == "" else -1] * 9


def test_explain_agrees_with_the_status_and_the_converter(converter):
    # Around and beyond the polynomial datum shifts' area, with points no system holds.
    rng = np.random.default_rng(21)
    lon, lat = rng.uniform(-5, 25, 3000), rng.uniform(40, 62, 3000)
    lon[:4], lat[:4] = [np.nan, 200.0, 10.0, 10.0], [50.0, 50.0, 95.0, np.inf]
    for source, target, options in [("G:3", "E:2", {}), ("G:3", "E:1", {"datum": "official"}),
                                    ("G:3", "G:4", {"datum": "official"}),
                                    ("G:3", "E:3", {"zone": 32})]:
        t = nuvex.Transformer(source, target, **options)
        with warnings.catch_warnings():
            warnings.simplefilter("ignore")
            status = t.transform(lon, lat)[3]
        reasons = t.explain(lon, lat)
        assert reasons.shape == lon.shape and reasons.dtype.kind == "U"
        np.testing.assert_array_equal(reasons == "", status == 0)
        # The converter's reader refuses the first four points in its own words.
        refused = 4 + np.flatnonzero(status[4:] != 0)[:40]
        assert (refused.size > 0) == (target != "E:3"), (source, target)  # no shift to E:3
        arguments = ["convert", "--from", source, "--to", target]
        if "datum" in options:
            arguments += ["--datum", options["datum"]]
        if "zone" in options:
            arguments += ["--zone", str(options["zone"])]
        # The converter (the fixture skips without it) explains each refused line on stderr.
        rows = [(lon[i], lat[i]) for i in refused]
        text = "".join(f"{x!r} {y!r}\n" for x, y in rows)
        finished = subprocess.run([os.environ["NUVEX_CLI"], *arguments], input=text,
                                  capture_output=True, text=True, check=False)
        messages = [line for line in finished.stderr.splitlines() if "<stdin>:" in line]
        assert len(messages) == len(rows), finished.stderr
        for message, i in zip(messages, refused):
            assert message.endswith(": " + nuvex.reason_text(reasons[i])), (message, reasons[i])


def test_explain_of_points_of_another_zone_than_a_projected_source_code():
    t = nuvex.Transformer("EPSG:32632", "EPSG:4326")
    x, y = [571666.448, 571666.448, 33571666.448, 571666.448], [5539109.815] * 4
    zones = [32, 33, 32, 32]
    assert list(t.explain(x, y, zones)) == ["", "no_such_zone", "no_such_zone", ""]
    assert list(t.transform(x, y, zones)[3]) == [0, -1, -1, 0]
    assert t.explain(x[0], y[0]) == "" and t.explain(x[0], y[0], 0) == "no_such_zone"
    assert t.explain(x[0], 1e8) == "beyond_pole"  # read in the code's zone 32
    gk = nuvex.Transformer("EPSG:31467", "G:3")
    assert list(gk.explain([3571686.387, 4571686.387], [5540758.788] * 2)) == ["", "no_such_zone"]
    assert gk.explain(np.zeros((2, 0)), np.zeros((2, 0))).shape == (2, 0)


def test_reason_text_is_the_library_sentence_of_each_reason():
    names = {case[7] for case in refusal_cases()} | {"outside_grid", "outside_official_area"}
    texts = {name: nuvex.reason_text(name) for name in names}
    assert texts[""] == "" and all(texts[name] for name in names - {""})
    assert len(set(texts.values())) == len(names)
    assert "polynomial" in texts["outside_polynomial_area"] and "NTv2" in texts["outside_grid"]
    for name in names - {""}:  # help(Transformer.explain) lists them, from the library
        assert f"{name} -- {texts[name]}" in nuvex.Transformer.explain.__doc__
    with pytest.raises(ValueError, match="'far_away' is not a reason .* not_finite, "):
        nuvex.reason_text("far_away")
    with pytest.raises(ValueError, match="x and y must have the same shape"):
        nuvex.Transformer("G:3", "E:3").explain([1, 2], [1])


# ---- Angles -------------------------------------------------------------------------------------

def test_deg2dms_rounds_carries_and_signs_the_whole_angle():
    angles = np.array([10.5, 50.99999999, 50.99999999, 9.9999, 9.999999, -7.25, -0.5, np.nan])
    decimals = [2, 2, 0, 1, 1, 2, 2, 2]
    parts = [nuvex.deg2dms(a, d) for a, d in zip(angles, decimals)]
    assert [(int(d), int(m)) for d, m, _ in parts] == [
        (10, 30), (51, 0), (51, 0), (9, 59), (10, 0), (-7, 15), (0, -30), (0, 0)]
    seconds = [s for _, _, s in parts]
    np.testing.assert_allclose(seconds[:7], [0.0, 0.0, 0.0, 59.6, 0.0, 0.0, 0.0], atol=1e-9)
    assert np.isnan(seconds[7])
    degrees, minutes, seconds = nuvex.deg2dms(angles.reshape(8, 1), 1)
    assert degrees.shape == (8, 1) and degrees.dtype == np.int32 and seconds.dtype == np.float64
    # Without decimals the seconds are not rounded.
    assert nuvex.deg2dms(50.99999999)[2] == pytest.approx(59.999964, abs=1e-6)
    # ... so a tiny negative angle keeps its sign, which at ten decimals is rounded away.
    assert nuvex.deg2dms(-1e-15)[2] < 0 and nuvex.deg2dms(-1e-15, 10)[2] == 0
    with pytest.raises(ValueError, match="0 to 10, not 11"):
        nuvex.deg2dms(1.0, 11)


def test_dms2deg_signs_the_whole_angle_as_the_converter_reads_it():
    assert nuvex.dms2deg(7, 45, 36.0) == pytest.approx(7.76)
    assert nuvex.dms2deg(-50, 30, 15.25) == pytest.approx(-50.50423611111, abs=1e-10)
    assert nuvex.dms2deg(0, -30, 0) == -0.5 and nuvex.dms2deg(0, 0, -36) == -0.01
    np.testing.assert_allclose(nuvex.dms2deg([7, -7], [45.0, 15], [[36.0], [0.0]]),
                               [[7.76, -7.26], [7.75, -7.25]])


# The parts are those of the angle's magnitude, as the library splits angles: minutes 0 to 59,
# seconds 0 to below 60, the sign on the first part that is not zero only. Each call refused once
# gave an angle (11.25, 10.5, 11.0, ...).
@pytest.mark.parametrize("degrees,minutes,seconds,part", [
    (10, 75, 0, "minutes"), (10, 60, 0, "minutes"), (0, -60, 0, "minutes"),
    (10, -30, 0, "minutes"), (-10, -30, 0, "minutes"),
    (10, 0, 3600, "seconds"), (10, 0, 60.0, "seconds"), (0, 0, -60.0, "seconds"),
    (10, 0, -1.5, "seconds"), (0, 30, -1.5, "seconds"), (10, 0, np.inf, "seconds"),
    ([10, 10, 10], [0, 15, 75], 0, "minutes"),
    (10, [[0], [30]], [0.0, 61.0], "seconds"),
])
def test_dms2deg_refuses_parts_that_are_not_those_of_an_angle(degrees, minutes, seconds, part):
    with pytest.raises(ValueError, match=f"^{part} "):
        nuvex.dms2deg(degrees, minutes, seconds)


def test_dms2deg_takes_the_largest_parts_and_nan_seconds():
    assert nuvex.dms2deg(10, 59, 59.999) == pytest.approx(10 + 59 / 60 + 59.999 / 3600)
    assert nuvex.dms2deg(0, -59, 59.5) == pytest.approx(-(59 / 60 + 59.5 / 3600))
    assert nuvex.dms2deg(0, 0, -59.5) == pytest.approx(-59.5 / 3600)
    assert nuvex.dms2deg(-0.0, 0, 0) == 0 and np.isnan(nuvex.dms2deg(10, 30, np.nan))


def test_deg2dms_then_dms2deg_is_within_half_a_unit_of_the_last_decimal():
    rng = np.random.default_rng(16)
    angles = np.concatenate([rng.uniform(-180, 180, 2000), [10.9999999, -0.0000001, 59.9999999]])
    for decimals in range(0, 7):
        back = nuvex.dms2deg(*nuvex.deg2dms(angles, decimals))
        half = 0.5 * 10.0 ** -decimals / 3600.0
        assert np.max(np.abs(back - angles)) <= half * (1 + 1e-6), decimals
    np.testing.assert_allclose(nuvex.dms2deg(*nuvex.deg2dms(angles)), angles, atol=1e-12)


# ---- The package ---------------------------------------------------------------------------------

def test_version_is_the_library_version():
    cmake = (pathlib.Path(__file__).parents[2] / "CMakeLists.txt").read_text()
    assert nuvex.__version__ == re.search(r"project\(nuvex VERSION ([0-9.]+)", cmake).group(1)


def test_transformer_pickles_and_describes_itself():
    t = nuvex.Transformer("e:4", "G:3", zone_width=6)
    copy = pickle.loads(pickle.dumps(nuvex.Transformer("G:3", "E:3", zone=33, zone_prefix=True)))
    assert repr(copy) == "Transformer('G:3', 'E:3', zone_width=3, zone=33, zone_prefix=True)"
    assert (t.source, t.target, t.zone_width, t.zone, t.zone_prefix) == ("E:4", "G:3", 6, None,
                                                                         False)
    expected = nuvex.from_ll(15.0, 52.0, 3, zone=33, zone_prefix=True)
    assert copy.transform(15.0, 52.0)[0] == expected[0]


def test_the_readme_example_runs_as_its_comments_say():
    readme = (pathlib.Path(__file__).parents[2] / "README.md").read_text()
    code = re.search(r"```python\n(.*?)```", readme, re.S).group(1)
    names = {}
    exec(compile(code, "README.md", "exec"), names)
    assert list(names["why"]) == ["", "", "outside_polynomial_area"]
    assert list(names["status"]) == [0, 0, -1] and list(names["ok"]) == [0, 0, 0]


def test_help_documents_every_name_with_units():
    assert doctest.testmod(nuvex).failed == 0
    text = pydoc.render_doc(nuvex, renderer=pydoc.plaintext)
    for name in ["Transformer", "transform", "explain", "to_ll", "from_ll", "deg2dms", "dms2deg",
                 "reason_text"]:
        assert name in text
    for name in ["Transformer", "to_ll", "from_ll", "deg2dms", "dms2deg"]:
        doc = getattr(nuvex, name).__doc__
        assert "metres" in doc or "degrees" in doc, name
