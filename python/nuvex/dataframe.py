"""Conversions of pandas and Dask DataFrame columns.

transform(df, ...) adds converted columns to a pandas DataFrame; transform_dask(ddf, ...) does
the same for a Dask DataFrame, partition by partition, so it runs on any Dask scheduler (threads,
processes or a distributed cluster). pandas and Dask are imported only by the functions that
need them.
"""

import numpy as np

from ._nuvex import Transformer

__all__ = ["transform", "transform_dask"]


def _column_values(df, name, role):
    if name not in df.columns:
        raise KeyError(f"{role} column {name!r} is not in the DataFrame "
                       f"(columns: {list(df.columns)})")
    column = df[name]
    if column.dtype.kind not in "fiu":
        raise TypeError(f"{role} column {name!r} must hold numbers, not {column.dtype} values")
    if isinstance(column.dtype, np.dtype):
        return column.to_numpy()
    # pandas' nullable extension dtypes (Float64, Int32, ...): missing values become NaN.
    return column.to_numpy(dtype=np.float64, na_value=np.nan)


def _output_names(df, out, zone_out, status_out):
    if isinstance(out, str) or len(out) != 2:
        raise ValueError(f"out must name two columns (x, y), not {out!r}")
    names = [out[0], out[1], zone_out, status_out]
    if len(set(names)) != len(names):
        raise ValueError(f"output columns must have distinct names, not {names}")
    taken = [name for name in names if name in df.columns]
    if taken:
        raise ValueError(f"output columns {taken} are already in the DataFrame; choose other names "
                         "with out=, zone_out=, status_out= or drop the columns first")
    return names


def transform(df, x="x", y="y", *, source, target, zone=None, out=("x_out", "y_out"),
              zone_out="zone_out", status_out="status", zone_width=None, target_zone=None,
              zone_prefix=False, datum="polynomial", grid=None, epoch=None, threads=0):
    """Converts two columns of a pandas DataFrame; returns a new DataFrame with four more columns.

    x, y -- names of the input columns: easting and northing (metres) or longitude and latitude
        (decimal degrees), as source is grid or geographic.
    source, target -- "TYPE:SYSTEM" such as "E:1" or "G:3" (see nuvex.Transformer).
    zone -- zones of UTM input points (systems 2, 3): the name of a column, one zone number for
        every row, or None (every easting carries its zone in its millions).
    out -- names of the converted x and y columns (float64: metres or decimal degrees).
    zone_out -- name of the output zone column (int32).
    status_out -- name of the status column (int32: 0 converted, -1 not converted, with NaN
        coordinates and zone 0; such rows are kept).
    zone_width, target_zone, zone_prefix -- as zone_width, zone and zone_prefix of
        nuvex.Transformer: 3 or 6 deg zones of system 4, one output zone for every row (None:
        from each row's longitude), zone in the millions of UTM output eastings.
    datum, grid -- the datum shift, "polynomial" or "official", and the NTv2 file of the official
        one (None: the built-in BeTA2007), as in nuvex.Transformer.
    epoch -- between ITRF2020 (system 5, EPSG:9990) and another system: the name of a column of
        the rows' epochs (decimal years; a row whose epoch is missing, NaN or outside 1990 to
        2100 gets status -1), or one epoch for every row, a decimal year or a date
        ("2026-12-07"), as epoch of nuvex.Transformer. None: the names' epoch
        ("EPSG:9990@2026.9").
    threads -- most threads sharing a large frame (0, the default: one per core).

    The input frame is not changed; the result keeps its index and columns. Raises KeyError for
    a missing column, ValueError for output names already in the frame, TypeError for
    non-numeric columns, and the errors of nuvex.Transformer.
    """
    names = _output_names(df, out, zone_out, status_out)
    # A text that names a column is the rows' epochs; any other is a date for every row.
    epoch_column = isinstance(epoch, str) and epoch in df.columns
    transformer = Transformer(source, target, zone_width=zone_width, zone=target_zone,
                              zone_prefix=zone_prefix, datum=datum, grid=grid,
                              epoch=None if epoch_column else epoch)
    zones = _column_values(df, zone, "zone") if isinstance(zone, str) else zone
    epochs = _column_values(df, epoch, "epoch") if epoch_column else None
    results = transformer.transform(_column_values(df, x, "x"), _column_values(df, y, "y"),
                                    zone=zones, threads=threads, epoch=epochs)
    converted = df.copy(deep=False)
    for name, values in zip(names, results):
        converted[name] = values
    return converted


def transform_dask(ddf, x="x", y="y", **options):
    """Converts two columns of a Dask DataFrame, partition by partition; returns a Dask DataFrame.

    Takes the arguments of nuvex.dataframe.transform (source and target are required; threads
    defaults to 1 here, as the scheduler converts partitions in parallel). The
    arguments are checked at once against the frame's metadata, which also gives the result's
    column types (float64 x and y, int32 zone and status); the conversion itself runs where the
    scheduler runs the partitions, e.g. on the workers of a dask.distributed cluster, which must
    be able to import nuvex.
    """
    options.setdefault("threads", 1)  # the scheduler runs partitions in parallel already
    meta = transform(ddf._meta, x, y, **options)
    return ddf.map_partitions(transform, x, y, meta=meta, **options)
