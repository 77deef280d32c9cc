"""nuvex: coordinate transformations between five geodetic systems, on numpy arrays.

Systems (codes 1 to 5), each an ellipsoid with its transverse Mercator grid:

    1  Bessel 1841 / Gauss-Krueger, 3 deg zones
    2  International 1924 / UTM
    3  WGS84 / UTM
    4  Krassowsky 1940 / Gauss-Krueger, 3 or 6 deg zones
    5  ITRF2020 (GRS80) / UTM, with datum="official" only, at an epoch

A side of a conversion is written "TYPE:SYSTEM" as the nuvex converter writes it: "E:1" for
grid coordinates of system 1 (easting, northing in metres; Gauss-Krueger eastings carry the zone
in their millions), "G:3" for geographic coordinates of system 3 (longitude, latitude in decimal
degrees). Between systems the datum shifts of the library apply; they are defined over Germany
(about 5 to 15.3 deg E, 47 to 55.2 deg N), and points that have no transformation path come back
with status -1 and NaN coordinates while the rest are converted. Heights are carried over, or
converted with the official datum transformations (heights=, or compound codes such as
"EPSG:31467+7837" with DHHN2016 heights; transform(x, y, z=z)). System 5, the global frame of
GNSS (EPSG:9990), is joined to ETRS89 at the points' epoch: Transformer(..., epoch=2026.9), a
name such as "EPSG:9990@2026.9", or transform(x, y, epoch=epochs) one per point.

    >>> import numpy as np, nuvex
    >>> t = nuvex.Transformer("G:3", "E:3")            # WGS84 lon/lat -> UTM
    >>> x, y, zone, status = t.transform(np.array([10.0]), np.array([50.0]))
    >>> round(float(x[0]), 3), round(float(y[0]), 3), int(zone[0]), int(status[0])
    (571666.448, 5539109.815, 32, 0)

Contents: Transformer (transform converts, explain says why a point is not converted), to_ll,
from_ll (the library's two entry points over arrays), deg2dms, dms2deg, reason_text; nuvex.dataframe for pandas and Dask DataFrames, nuvex.shapely and nuvex.geopandas for
geometries and GeoDataFrames (each imported on use).
"""

from ._nuvex import (
    POINT_CONVERTED,
    POINT_WITHOUT_PATH,
    Transformer,
    __version__,
    deg2dms,
    dms2deg,
    from_ll,
    reason_text,
    to_ll,
)

__all__ = [
    "Transformer",
    "to_ll",
    "from_ll",
    "deg2dms",
    "dms2deg",
    "reason_text",
    "POINT_CONVERTED",
    "POINT_WITHOUT_PATH",
    "__version__",
]

# help(nuvex) lists what is defined in the package, so the compiled parts are shown as its own.
for _name in ("Transformer", "to_ll", "from_ll", "deg2dms", "dms2deg", "reason_text"):
    try:
        globals()[_name].__module__ = __name__
    except (AttributeError, TypeError):
        pass
del _name
