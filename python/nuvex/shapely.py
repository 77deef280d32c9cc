"""Conversion of shapely geometries (shapely 1.8 and later).

transform(geom, source, target) converts every point of one geometry: points, lines, rings,
polygons with their holes, multi-part geometries and geometry collections. nuvex.geopandas uses
the same machinery for whole frames. The coordinates of all geometries of a call are gathered
into one array, converted in one call of the engine (on every core for large inputs) and put
back into geometries of the same structure. A third coordinate (height) is carried over
unchanged: the engine converts positions only.
"""

import numpy as np
import shapely.geometry as _geometry
import shapely.wkt as _wkt

from ._nuvex import Transformer, _parse_system_name

__all__ = ["transform"]

ERRORS = ("raise", "empty")


class _System:
    """A system's name as nuvex reads it: "E:1", "G:3" or "EPSG:n"."""

    def __init__(self, name, role):
        self.name = name
        self.text, self.zone, self.zone_width, self.epsg = _parse_system_name(name, role)
        self.grid = self.text.startswith("E")
        self.utm = self.grid and self.text[2] in "23"


def _transformer(source, target, options):
    widths = {s.zone_width for s in (source, target) if s.zone_width is not None}
    if len(widths) > 1:
        raise ValueError(f"{source.name} and {target.name} need different zone widths")
    transformer = Transformer(source.text, target.text, zone_width=widths.pop() if widths else 3,
                              zone=target.zone, **options)
    # UTM eastings of a projected code are plain: their zone is the code's.
    zone = source.zone if source.utm else None
    return transformer, zone


def _gather(geom, arrays):
    """Appends the coordinate arrays of geom to arrays; returns how to rebuild it."""
    if geom.is_empty:
        return geom
    kind = geom.geom_type
    if kind == "Polygon":
        interiors = geom.interiors
        arrays.append(np.asarray(geom.exterior.coords))
        arrays.extend(np.asarray(ring.coords) for ring in interiors)
        return (kind, len(interiors))
    if kind in ("Point", "LineString", "LinearRing"):
        arrays.append(np.asarray(geom.coords))
        return (kind,)
    if kind.startswith("Multi") or kind == "GeometryCollection":
        return (kind, [_gather(part, arrays) for part in geom.geoms])
    raise TypeError(f"cannot convert a {kind}")


_SIMPLE = {"Point": _geometry.Point, "LineString": _geometry.LineString,
           "LinearRing": _geometry.LinearRing}
_COLLECTIONS = {"MultiPoint": _geometry.MultiPoint, "MultiLineString": _geometry.MultiLineString,
                "MultiPolygon": _geometry.MultiPolygon,
                "GeometryCollection": _geometry.GeometryCollection}


def _closed(ring):
    """A converted ring, closed again: its first and last point, equal on input, may have been
    converted by different paths of the engine (vector and scalar) and differ in the last bit."""
    ring[-1] = ring[0]
    return ring


def _rebuild(plan, arrays):
    """The geometry of plan (from _gather) with its coordinates taken from the iterator arrays."""
    if not isinstance(plan, tuple):
        return plan  # an empty geometry stays as it is
    kind = plan[0]
    if kind == "Polygon":
        return _geometry.Polygon(_closed(next(arrays)), [_closed(next(arrays))
                                                         for _ in range(plan[1])])
    if kind == "LinearRing":
        return _geometry.LinearRing(_closed(next(arrays)))
    if kind == "Point":
        return _geometry.Point(next(arrays)[0])
    if kind in _SIMPLE:
        return _SIMPLE[kind](next(arrays))
    return _COLLECTIONS[kind]([_rebuild(part, arrays) for part in plan[1]])


def _empty_like(geom):
    # From text: shapely 1.8 makes every geometry constructed without coordinates a collection.
    return _wkt.loads(f"{geom.geom_type.upper()} EMPTY")


def convert_geometries(geometries, source, target, *, labels=None, errors="raise", threads=0,
                       **options):
    """Converts a sequence of shapely geometries (None stays None); returns a list.

    source, target -- system names ("EPSG:25832", "E:1", "G:3"); options go to nuvex.Transformer
    (datum=, grid=, ...). labels -- how error messages name the geometries (default: "geometry
    <position>"). errors -- "raise": a geometry with a point that cannot be converted raises
    ValueError naming it; "empty": such a geometry becomes an empty geometry of its type.
    """
    if errors not in ERRORS:
        raise ValueError(f"errors must be one of {ERRORS}, not {errors!r}")
    source, target = _System(source, "source"), _System(target, "target")
    transformer, zone = _transformer(source, target, options)
    arrays, plans, ends = [], [], []
    for geom in geometries:
        plans.append(None if geom is None else _gather(geom, arrays))
        ends.append(len(arrays))
    if not arrays:
        return plans
    counts = np.fromiter((len(a) for a in arrays), dtype=np.intp, count=len(arrays))
    width = max(a.shape[1] for a in arrays)
    if width == 2 or all(a.shape[1] == width for a in arrays):
        coords = np.concatenate(arrays)
    else:  # mixed 2-D and 3-D parts: the 2-D ones get a height column they later lose
        coords = np.concatenate([a if a.shape[1] == width else
                                 np.column_stack((a, np.full(len(a), np.nan))) for a in arrays])
    x, y, _, status = transformer.transform(coords[:, 0], coords[:, 1], zone, threads)
    converted = np.empty_like(coords)
    converted[:, 0], converted[:, 1] = x, y
    converted[:, 2:] = coords[:, 2:]

    starts = np.concatenate(([0], np.cumsum(counts)))
    failed = np.flatnonzero(status != 0)
    bad_geometries = set()
    if failed.size:
        first_array = np.searchsorted(starts, failed, side="right") - 1
        bad_geometries = set(np.searchsorted(ends, first_array, side="right").tolist())
        if errors == "raise":
            index = min(bad_geometries)
            label = f"geometry {index}" if labels is None else labels[index]
            point = failed[0]
            raise ValueError(
                f"{label}: its {geometries[index].geom_type} has a point without a path "
                f"from {source.name} to {target.name} ({coords[point, 0]!r}, "
                f"{coords[point, 1]!r}); {len(bad_geometries)} geometries have such points "
                "(errors='empty' makes them empty geometries)")

    pieces = [converted[start:end] if a.shape[1] == width else converted[start:end, :2]
              for a, start, end in zip(arrays, starts[:-1], starts[1:])]
    parts = iter(pieces)
    results = []
    for i, plan in enumerate(plans):
        if plan is None:
            results.append(None)
            continue
        geom = _rebuild(plan, parts)
        results.append(_empty_like(geom) if i in bad_geometries else geom)
    return results


def transform(geom, source, target, *, errors="raise", threads=0, **options):
    """Converts one shapely geometry from source to target; returns a new geometry.

    source, target -- "EPSG:n" codes, or "E:1"/"G:3" as nuvex.Transformer reads them. x is the
        easting or longitude and y the northing or latitude, whatever axis order EPSG gives the
        CRS. A UTM code fixes the zone of its eastings.
    errors -- "raise" (default): a point without a transformation path raises ValueError;
        "empty": the result is then an empty geometry of the same type.
    options -- further arguments of nuvex.Transformer (e.g. datum=).

    Every point of points, lines, rings, polygons (holes included), multi-part geometries and
    collections is converted; heights are kept as they are.
    """
    return convert_geometries([geom], source, target, labels=["the geometry"], errors=errors,
                              threads=threads, **options)[0]
