"""Conversion of GeoPandas frames (GeoPandas 0.12 with shapely 1.8, as Debian 12 ships them).

to_crs(gdf, "EPSG:25832") converts every geometry of the frame's active geometry column as
GeoDataFrame.to_crs does, with the nuvex engine: all coordinates of the frame in one call, on
every core for large frames. The source is the frame's CRS (its EPSG code, or the codes of a
compound CRS with DHHN2016 heights); the result carries the target's. 3D geometries have their
heights converted where the Transformer converts them. ITRF2020 frames (EPSG:9990, 9989) are
converted at the coordinate epoch of their CRS where pyproj gives one (CRS.coordinate_epoch,
which newer pyproj versions have), else at epoch=. geopandas itself is imported by the caller,
not by this module.
"""

from . import shapely as _shapely
from ._nuvex import Transformer

__all__ = ["to_crs"]


def _crs_name(crs, role):
    """"EPSG:n" for a pyproj CRS ("EPSG:h+v" for a compound one, "EPSG:n@epoch" for one with a
    coordinate epoch), an EPSG number, or a name nuvex reads (returned as it is)."""
    if crs is None:
        raise ValueError(f"the {role} CRS is not set; set it on the frame (gdf.set_crs) or pass "
                         f"{role}=")
    if isinstance(crs, str):
        return crs
    if isinstance(crs, int):
        return f"EPSG:{crs}"
    name = _epsg_name(crs, role)
    # pyproj 3.4 (Debian 12) has no coordinate epochs; later versions give a dynamic CRS's here.
    epoch = getattr(crs, "coordinate_epoch", None)
    return name if epoch is None else f"{name}@{float(epoch)!r}"


def _epsg_name(crs, role):
    if getattr(crs, "is_compound", False):
        # By its parts, as PROJ writes it: "EPSG:31467+7837". Some compound CRSs have a code of
        # their own (ETRS89 + DHHN2016 is EPSG:9924), which nuvex does not list.
        parts = [part.to_epsg() for part in crs.sub_crs_list]
        if None not in parts:
            return "EPSG:" + "+".join(str(part) for part in parts)
    to_epsg = getattr(crs, "to_epsg", None)
    code = to_epsg() if to_epsg else None
    if code is None:
        raise ValueError(f"the {role} CRS {crs} has no EPSG code; nuvex reads EPSG codes and "
                         "E:n/G:n names")
    return f"EPSG:{code}"


def to_crs(gdf, crs, *, source=None, errors="raise", threads=0, datum=None, grid=None,
           heights=None, geoid=None, epoch=None, **options):
    """Converts the geometries of a GeoDataFrame (or GeoSeries) to another CRS; returns a copy.

    crs -- the target: "EPSG:25832", an EPSG number, a pyproj CRS with an EPSG code (or a
        compound one of two, as "EPSG:31467+7837"), or a nuvex name such as "E:1" or "G:3". x is
        the easting or longitude and y the northing or latitude, whatever axis order EPSG gives
        the CRS, as GeoPandas writes geometries.
    source -- the source CRS, in the same forms; default: the frame's own CRS.
    errors -- "raise" (default): a geometry with a point that has no transformation path raises
        ValueError naming its row; "empty": such geometries become empty geometries of their
        type (their rows are kept).
    threads -- most threads (0, the default: one per core).
    datum, grid, heights, geoid, epoch, options -- further arguments of nuvex.Transformer; None
        leaves its default. heights=("dhhn2016", "ellipsoidal") (or a compound or 3D CRS on a
        side, with datum="official") converts the z coordinates of 3D geometries; a 2D geometry
        is then refused with ValueError naming its row. epoch: the epoch of every point between
        ITRF2020 (EPSG:9990) and another system, a decimal year or a date ("2026-12-07"); a
        coordinate epoch of the frame's CRS (or source's, or crs's) counts as well, and the two
        must agree. Without either such a conversion raises ValueError naming epoch=.

    Points, lines, polygons with holes, multi-part geometries and collections are converted
    (heights converted as the Transformer says, else kept); missing geometries stay missing. The
    result's CRS is the target's EPSG code (or compound name), or none when the target is a
    nuvex name without one (e.g. "E:1" with zones per point). The input is left alone; the other
    columns and the index are kept.
    """
    source_name = _crs_name(gdf.crs if source is None else source, "source")
    target_name = _crs_name(crs, "target")
    for name, value in (("datum", datum), ("grid", grid), ("heights", heights), ("geoid", geoid),
                        ("epoch", epoch)):
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
