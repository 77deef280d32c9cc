# nuvex.dataframe: columns of pandas and Dask DataFrames converted as Transformer converts arrays.
import numpy as np
import pytest

import nuvex
from nuvex.dataframe import transform, transform_dask

pd = pytest.importorskip("pandas")
dd = pytest.importorskip("dask.dataframe")

OUTPUT_DTYPES = {"x_out": np.float64, "y_out": np.float64, "zone_out": np.int32, "status": np.int32}


@pytest.fixture
def utm_points():
    """UTM points of system 3 with a zone column; the third lies outside the datum shifts."""
    return pd.DataFrame({"e": [571666.448, 707819.175, 286588.852, 500000.0],
                         "n": [5539109.815, 5542661.167, 4430751.020, 5538630.703],
                         "zone": [32, 32, 31, 32], "name": ["a", "b", "c", "d"]},
                        index=[10, 20, 30, 40])


def test_adds_converted_columns_and_keeps_every_row(utm_points):
    original = utm_points.copy()
    converted = transform(utm_points, "e", "n", source="E:3", target="E:2", zone="zone")
    pd.testing.assert_frame_equal(utm_points, original)  # the input is left alone
    assert list(converted.columns) == list(original.columns) + list(OUTPUT_DTYPES)
    assert dict(converted.dtypes[list(OUTPUT_DTYPES)]) == OUTPUT_DTYPES
    pd.testing.assert_frame_equal(converted[list(original.columns)], original)
    expected = nuvex.Transformer("E:3", "E:2").transform(utm_points.e, utm_points.n,
                                                         utm_points.zone)
    for name, values in zip(OUTPUT_DTYPES, expected):
        np.testing.assert_array_equal(converted[name].to_numpy(), values)
    assert converted.status.tolist() == [0, 0, -1, 0]


def test_options_reach_the_transformer(utm_points):
    converted = transform(utm_points, "e", "n", source="E:3", target="E:3", zone=32,
                          target_zone=33, zone_prefix=True, out=("E", "N"), zone_out="Z",
                          status_out="ok")
    expected = nuvex.Transformer("E:3", "E:3", zone=33, zone_prefix=True).transform(
        utm_points.e, utm_points.n, 32)
    np.testing.assert_array_equal(converted.E, expected[0])
    assert converted.Z.tolist() == expected[2].tolist() and "ok" in converted


def test_nullable_columns_mark_missing_values():
    frame = pd.DataFrame({"x": pd.array([10.0, None], dtype="Float64"),
                          "y": pd.array([50, 50], dtype="Int64")})
    converted = transform(frame, source="G:3", target="E:3")
    assert converted.status.tolist() == [0, -1]
    assert converted.x_out[0] == pytest.approx(571666.448, abs=1e-3)


def test_boolean_columns_are_refused_by_name():
    with pytest.raises(TypeError, match="y column 'ok' must hold numbers, not bool"):
        transform(pd.DataFrame({"x": [10.0], "ok": [True]}), "x", "ok", source="G:3", target="E:3")


@pytest.mark.parametrize("arguments,error,message", [
    ({"x": "lon"}, KeyError, "x column 'lon' is not in the DataFrame"),
    ({"zone": "z"}, KeyError, "zone column 'z'"),
    ({"x": "name"}, TypeError, "x column 'name' must hold numbers"),
    ({"out": ("e", "y2")}, ValueError, r"output columns \['e'\] are already in the DataFrame"),
    ({"zone_out": "zone", "status_out": "n"}, ValueError,
     r"output columns \['zone', 'n'\] are already in the DataFrame"),
    ({"out": "xy"}, ValueError, "out must name two columns"),
    ({"zone_out": "status"}, ValueError, "distinct names"),
    ({"target": "E:7"}, ValueError, "target 'E:7' is not a coordinate system"),
])
def test_bad_arguments_are_refused_before_any_work(utm_points, arguments, error, message):
    options = {"x": "e", "y": "n", "source": "E:3", "target": "G:3", "zone": "zone", **arguments}
    with pytest.raises(error, match=message):
        transform(utm_points, **options)
    ddf = dd.from_pandas(utm_points, npartitions=2)
    with pytest.raises(error, match=message):
        transform_dask(ddf, **options)  # at once, not when computed


def test_dask_partitions_give_the_pandas_result_with_matching_meta(utm_points):
    frame = pd.concat([utm_points] * 50, ignore_index=True)
    ddf = dd.from_pandas(frame, npartitions=7)
    lazy = transform_dask(ddf, "e", "n", source="E:3", target="G:1", zone="zone")
    assert dict(lazy.dtypes) == dict(transform(frame, "e", "n", source="E:3", target="G:1",
                                               zone="zone").dtypes)
    serial = transform(frame, "e", "n", source="E:3", target="G:1", zone="zone")
    for scheduler in ("threads", "processes"):
        # Partitions of 29 rows group points into other blocks of the engine's vector path than
        # one call does: the last bit may differ.
        pd.testing.assert_frame_equal(lazy.compute(scheduler=scheduler), serial,
                                      check_exact=False, rtol=1e-14, atol=0)
