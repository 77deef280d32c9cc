"""Conversion of shapely geometries (shapely 1.8, as Debian 12 ships it).

transform(geom, source, target) converts every point of one geometry: points, lines, rings,
polygons with their holes, multi-part geometries and geometry collections. nuvex.geopandas uses
the same machinery for whole frames. The coordinates of all geometries of a call are gathered
into one array, converted in one call of the engine (on every core for large inputs) and put
back into geometries of the same structure. A third coordinate (height) is converted when the
Transformer converts heights (heights=, or compound and 3D codes such as "EPSG:31467+7837"),
and carried over unchanged otherwise.
"""

import struct

import numpy as np
import shapely.wkt as _wkt
from shapely.geos import WKBReader, WKBWriter, lgeos

from ._nuvex import Transformer

__all__ = ["transform"]

ERRORS = ("raise", "empty")


# Well-known binary as GEOS writes it (little-endian requested): a byte-order byte, a uint32 type
# whose low byte is the kind (EWKB flags 0x80000000 Z, 0x40000000 M) or whose thousands are
# 1 Z, 2 M, 3 ZM (ISO); then the coordinates, or counts and nested parts.
_HEADER = struct.Struct("<BI")
_COUNT = struct.Struct("<I")
_POINT, _LINE, _POLYGON = 1, 2, 3  # 4..7: multi-part geometries and collections
_Z_FLAG, _M_FLAG, _SRID_FLAG = 0x80000000, 0x40000000, 0x20000000
_NAN_BYTES = b"\x00\x00\x00\x00\x00\x00\xf8\x7f"


def _walk(data, offset, runs):
    """Finds the coordinates of the geometry at offset in WKB data; returns the offset after it.

    runs gets (offset of the first coordinate, number of points, bytes per point, is a ring, has
    heights)."""
    order, code = _HEADER.unpack_from(data, offset)
    if order != 1:
        raise ValueError("big-endian WKB")  # never written by the writer below
    offset += _HEADER.size
    if code & _SRID_FLAG:
        offset += 4
    if code < 1000 or code & (_Z_FLAG | _M_FLAG | _SRID_FLAG):  # extended
        kind = code & 0xFF
        has_z = bool(code & _Z_FLAG)
        dimensions = 2 + has_z + bool(code & _M_FLAG)
    else:  # ISO
        kind = code % 1000
        has_z = code // 1000 in (1, 3)
        dimensions = 2 + (0, 1, 1, 2)[code // 1000]
    stride = 8 * dimensions
    if kind == _POINT:
        if data[offset:offset + 16] != _NAN_BYTES * 2:  # an empty point is written as NaN
            runs.append((offset, 1, stride, False, has_z))
        return offset + stride
    (count,) = _COUNT.unpack_from(data, offset)
    offset += 4
    if kind == _LINE:
        runs.append((offset, count, stride, False, has_z))
        return offset + count * stride
    if kind == _POLYGON:
        for _ in range(count):
            (points,) = _COUNT.unpack_from(data, offset)
            runs.append((offset + 4, points, stride, True, has_z))
            offset += 4 + points * stride
        return offset
    for _ in range(count):
        offset = _walk(data, offset, runs)
    return offset


def _gathered(values, first):
    """The little-endian doubles at the byte positions first of values (uint8)."""
    return values[first[:, None] + np.arange(8)].view("<f8")[:, 0]


def _empty_like(geom):
    # From text: shapely 1.8 makes every geometry constructed without coordinates a collection.
    return _wkt.loads(f"{geom.geom_type.upper()} EMPTY")


def _label(labels, index):
    return f"geometry {index}" if labels is None else labels[index]


def _require_heights(transformer, runs, has_z, ends, present, geometries, labels):
    """A Transformer that converts heights has no height to give a 2D point: refuses the first
    geometry with one."""
    flat = np.flatnonzero(~has_z)
    if not flat.size:
        return
    offsets = np.array([run[0] for run in runs], dtype=np.intp)
    index = present[int(np.searchsorted(ends, offsets[flat[0]], side="right"))]
    raise ValueError(
        f"{_label(labels, index)}: its {geometries[index].geom_type} has no heights (2D), but the "
        f"Transformer converts heights ({transformer.heights[0]} to {transformer.heights[1]}) "
        "from its z coordinates; give 3D geometries, or convert without heights")


def convert_geometries(geometries, source, target, *, labels=None, errors="raise", threads=0,
                       **options):
    """Converts a sequence of shapely geometries (None stays None); returns a list.

    source, target -- system names ("EPSG:25832", "E:1", "G:3", "EPSG:31467+7837"); options go
    to nuvex.Transformer (datum=, grid=, heights=, geoid=, epoch=, ...). labels -- how error
    messages name the geometries (default: "geometry <position>"). errors -- "raise": a geometry
    with a point that cannot be converted raises ValueError naming it; "empty": such a geometry
    becomes an empty geometry of its type.

    The geometries travel as well-known binary: written and read by GEOS, with only the x and y
    bytes of every point replaced (and z, where heights are converted), which costs a fraction
    of taking the coordinates out of shapely objects and building new ones. A Transformer that
    converts heights refuses 2D geometries (ValueError naming the first).
    """
    if errors not in ERRORS:
        raise ValueError(f"errors must be one of {ERRORS}, not {errors!r}")
    # A projected EPSG code fixes the zone of its side (and the zone width of system 4).
    transformer = Transformer(source, target, **options)
    writer, reader = WKBWriter(lgeos, big_endian=False), WKBReader(lgeos)
    present = [i for i, geom in enumerate(geometries) if geom is not None]
    blobs = [writer.write(geometries[i]) for i in present]
    data = bytearray().join(blobs)
    ends = np.cumsum([len(blob) for blob in blobs], dtype=np.intp)
    runs = []
    position = 0
    for end in ends.tolist():
        position = _walk(data, position, runs)
        if position != end:
            raise RuntimeError(f"well-known binary of {end - position} bytes more than read")
    results = [None] * len(geometries)
    if not runs:
        for i, blob in zip(present, blobs):
            results[i] = reader.read(blob)
        return results
    offsets, counts, strides, rings, has_z = (np.array(column, dtype=np.intp)
                                              for column in zip(*runs))
    heights = transformer.heights is not None
    if heights:
        _require_heights(transformer, runs, has_z.astype(bool), ends, present, geometries, labels)
    total = int(counts.sum())
    first_point = np.cumsum(counts) - counts
    point_run = np.repeat(np.arange(len(runs)), counts)
    x_at = offsets[point_run] + (np.arange(total) - first_point[point_run]) * strides[point_run]
    values = np.frombuffer(data, dtype=np.uint8)
    x, y = _gathered(values, x_at), _gathered(values, x_at + 8)
    if heights:
        x_out, y_out, z_out, _, status = transformer.transform(
            x, y, None, threads, z=_gathered(values, x_at + 16))
    else:
        x_out, y_out, _, status = transformer.transform(x, y, None, threads)
    # A ring's last point repeats its first; the two may have been converted by different paths
    # of the engine (vector and scalar), which can differ in the last bit and open the ring.
    closed = rings.astype(bool) & (counts > 0)
    ring_first = first_point[closed]
    ring_last = ring_first + counts[closed] - 1
    x_out[ring_last], y_out[ring_last] = x_out[ring_first], y_out[ring_first]
    if heights:
        z_out[ring_last] = z_out[ring_first]

    geometry_of_point = np.searchsorted(ends, x_at, side="right")
    failed = np.flatnonzero(status != 0)
    bad = set(geometry_of_point[failed].tolist())
    if failed.size and errors == "raise":
        index = present[min(bad)]
        point = failed[0]
        coordinates = [x[point], y[point]]
        if heights:
            coordinates.append(_gathered(values, x_at[point:point + 1] + 16)[0])
        raise ValueError(
            f"{_label(labels, index)}: its {geometries[index].geom_type} has a point without a "
            f"path from {transformer.source} to {transformer.target} "
            f"({', '.join(repr(value) for value in coordinates)}); {len(bad)} geometries "
            "have such points (errors='empty' makes them empty geometries)")
    values[x_at[:, None] + np.arange(8)] = x_out.view(np.uint8).reshape(-1, 8)
    values[x_at[:, None] + np.arange(8, 16)] = y_out.view(np.uint8).reshape(-1, 8)
    if heights:
        values[x_at[:, None] + np.arange(16, 24)] = z_out.view(np.uint8).reshape(-1, 8)
    starts = np.concatenate(([0], ends[:-1]))
    for k, (i, start, end) in enumerate(zip(present, starts.tolist(), ends.tolist())):
        results[i] = _empty_like(geometries[i]) if k in bad else reader.read(bytes(data[start:end]))
    return results


def transform(geom, source, target, *, errors="raise", threads=0, **options):
    """Converts one shapely geometry from source to target; returns a new geometry.

    source, target -- "EPSG:n" codes, or "E:1"/"G:3" as nuvex.Transformer reads them. x is the
        easting or longitude and y the northing or latitude, whatever axis order EPSG gives the
        CRS. A UTM code fixes the zone of its eastings.
    errors -- "raise" (default): a point without a transformation path raises ValueError;
        "empty": the result is then an empty geometry of the same type.
    options -- further arguments of nuvex.Transformer (e.g. datum=, heights=, epoch=: the epoch
        of every point between ITRF2020 and another system).

    Every point of points, lines, rings, polygons (holes included), multi-part geometries and
    collections is converted; heights are converted where the Transformer converts them (the
    geometry must then be 3D), else kept as they are.
    """
    return convert_geometries([geom], source, target, labels=["the geometry"], errors=errors,
                              threads=threads, **options)[0]
