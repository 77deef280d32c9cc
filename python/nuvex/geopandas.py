"""Conversion of GeoPandas frames (GeoPandas 0.12 with shapely 1.8, as Debian 12 ships them).

to_crs(gdf, "EPSG:25832") converts every geometry of the frame's active geometry column as
GeoDataFrame.to_crs does, with the nuvex engine: all coordinates of the frame in one call, on
every core for large frames. The source is the frame's CRS (its EPSG code); the result carries
the target's. geopandas itself is imported by the caller, not by this module.
"""

from . import shapely as _shapely
from ._nuvex import Transformer

__all__ = ["to_crs"]


def _crs_name(crs, role):
    """"EPSG:n" for a pyproj CRS, an EPSG number, or a name nuvex reads (returned as it is)."""
    if crs is None:
        raise ValueError(f"the {role} CRS is not set; set it on the frame (gdf.set_crs) or pass "
                         f"{role}=")
    if isinstance(crs, str):
        return crs
    if isinstance(crs, int):
        return f"EPSG:{crs}"
    to_epsg = getattr(crs, "to_epsg", None)
    code = to_epsg() if to_epsg else None
    if code is None:
        raise ValueError(f"the {role} CRS {crs} has no EPSG code; nuvex reads EPSG codes and "
                         "E:n/G:n names")
    return f"EPSG:{code}"


def to_crs(gdf, crs, *, source=None, errors="raise", threads=0, datum=None, grid=None, **options):
    """Converts the geometries of a GeoDataFrame (or GeoSeries) to another CRS; returns a copy.

    crs -- the target: "EPSG:25832", an EPSG number, a pyproj CRS with an EPSG code, or a nuvex
        name such as "E:1" or "G:3". x is the easting or longitude and y the northing or
        latitude, whatever axis order EPSG gives the CRS, as GeoPandas writes geometries.
    source -- the source CRS, in the same forms; default: the frame's own CRS.
    errors -- "raise" (default): a geometry with a point that has no transformation path raises
        ValueError naming its row; "empty": such geometries become empty geometries of their
        type (their rows are kept).
    threads -- most threads (0, the default: one per core).
    datum, grid, options -- further arguments of nuvex.Transformer; None leaves its default.

    Points, lines, polygons with holes, multi-part geometries and collections are converted
    (heights kept); missing geometries stay missing. The result's CRS is the target's EPSG code,
    or none when the target is a nuvex name without one (e.g. "E:1" with zones per point). The
    input is left alone; the other columns and the index are kept.
    """
    source_name = _crs_name(gdf.crs if source is None else source, "source")
    target_name = _crs_name(crs, "target")
    for name, value in (("datum", datum), ("grid", grid)):
        if value is not None:
            options[name] = value
    geoseries = gdf.geometry if hasattr(gdf, "geometry") and gdf.geometry is not gdf else gdf
    labels = [f"row {label!r}" for label in geoseries.index]
    converted = _shapely.convert_geometries(list(geoseries.array), source_name, target_name,
                                            labels=labels, errors=errors, threads=threads,
                                            **options)
    target_name = Transformer(source_name, target_name, **options).target  # "EPSG:n" or "E:1"
    result_crs = target_name if target_name.startswith("EPSG:") else None
    geoseries_type = type(geoseries)
    new_geometry = geoseries_type(converted, index=geoseries.index, crs=result_crs,
                                  name=geoseries.name)
    if geoseries is gdf:
        return new_geometry
    result = gdf.copy()
    result[geoseries.name] = new_geometry
    # Assigning a column keeps the frame's CRS, also when the new geometries have none.
    result.geometry.values.crs = result_crs
    return result
