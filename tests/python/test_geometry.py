# nuvex.geopandas and nuvex.shapely against GeoDataFrame.to_crs (PROJ) where both take the same
# datum path (a projection on one ellipsoid), on a small frame of real places; geometry structure
# kept part for part; points without a path refused or emptied.
import numpy as np
import pytest

gpd = pytest.importorskip("geopandas")
pyproj = pytest.importorskip("pyproj")
shapely_geometry = pytest.importorskip("shapely.geometry")
from shapely.geometry import (GeometryCollection, LineString, MultiLineString, MultiPoint,  # noqa: E402
                              MultiPolygon, Point, Polygon)

import shapely.wkt as shapely_wkt  # noqa: E402
import nuvex.geopandas  # noqa: E402
import nuvex.shapely  # noqa: E402

MILLIMETRE = 1e-3
DEGREES = 1e-9  # about 0.1 mm


def ring(lon, lat, radius, count=9, clockwise=False):
    angles = np.linspace(0, 2 * np.pi, count)
    points = np.c_[lon + radius * np.cos(angles), lat + 0.6 * radius * np.sin(angles)]
    return points[::-1] if clockwise else points


def places(crs="EPSG:4326"):
    """Around Lake Constance, the Harz, Hesse and Franconia (lon, lat in degrees)."""
    lake = Polygon(ring(9.35, 47.62, 0.25), [ring(9.18, 47.70, 0.02, clockwise=True),
                                               ring(9.55, 47.56, 0.03, clockwise=True)])
    islands = MultiPolygon([Polygon(ring(8.6, 50.1, 0.05)),
                            Polygon(ring(8.8, 50.2, 0.04), [ring(8.8, 50.2, 0.01, clockwise=True)])])
    road = LineString([(9.48, 51.31), (9.70, 51.45), (9.93, 51.54)])  # Kassel to Goettingen
    rivers = MultiLineString([[(10.9, 49.9), (10.6, 49.8)], [(9.9, 49.8), (9.8, 50.0)]])
    return gpd.GeoDataFrame(
        {"name": ["Frankfurt", "lake", "islands", "road", "rivers", "towns", "mixed", "nothing",
                  "missing"],
         "geometry": [Point(8.682, 50.111), lake, islands, road, rivers,
                      MultiPoint([(9.99, 48.40), (10.89, 48.37)]),
                      GeometryCollection([Point(9.2, 49.1), LineString([(9.3, 49.2), (9.4, 49.3)])]),
                      Polygon(), None]},
        index=[f"p{i}" for i in range(9)], crs=crs)


def coordinate_arrays(geom):
    """The coordinate arrays of every part and ring, in order."""
    if geom is None or geom.is_empty:
        return []
    if geom.geom_type == "Polygon":
        return [np.asarray(geom.exterior.coords)] + [np.asarray(r.coords) for r in geom.interiors]
    if hasattr(geom, "geoms"):
        return [a for part in geom.geoms for a in coordinate_arrays(part)]
    return [np.asarray(geom.coords)]


def assert_same_geometries(got, want, tolerance):
    assert len(got) == len(want)
    for (label, g), w in zip(got.items(), want):
        assert (g is None) == (w is None), label
        if g is None:
            continue
        assert g.geom_type == w.geom_type and g.is_empty == w.is_empty, label
        got_parts, want_parts = coordinate_arrays(g), coordinate_arrays(w)
        assert [len(p) for p in got_parts] == [len(p) for p in want_parts], label
        for p, q in zip(got_parts, want_parts):
            np.testing.assert_allclose(p, q, rtol=0, atol=tolerance, err_msg=label)


@pytest.mark.parametrize("source,target,tolerance,shift", [
    ("EPSG:4326", "EPSG:32632", MILLIMETRE, (0, 0)),    # WGS84 / UTM 32
    ("EPSG:32632", "EPSG:4326", DEGREES, (0, 0)),
    ("EPSG:4314", "EPSG:31467", MILLIMETRE, (0, 0)),    # DHDN / Gauss-Krueger zone 3
    ("EPSG:4326", "EPSG:32633", MILLIMETRE, (5, 0)),    # one zone east
    ("EPSG:4326", "EPSG:32632", MILLIMETRE, (1.2, 0)),  # partly beyond the zone: the code fixes it
])
def test_to_crs_agrees_with_geopandas(source, target, tolerance, shift):
    frame = places()
    frame["geometry"] = frame.geometry.translate(*shift)
    frame = frame.set_crs(source if source.startswith("EPSG:43") else "EPSG:4326",
                          allow_override=True)
    if source == "EPSG:32632":
        frame = frame.to_crs(source)
    expected = frame.to_crs(target)
    converted = nuvex.geopandas.to_crs(frame, target)
    assert converted.crs == expected.crs
    assert converted.index.equals(frame.index) and converted.name.tolist() == frame.name.tolist()
    assert_same_geometries(converted.geometry, expected.geometry, tolerance)


def test_the_input_is_left_alone_and_a_geoseries_converts_alike():
    frame = places()
    before = frame.geometry.to_wkb()
    converted = nuvex.geopandas.to_crs(frame, 32632)
    assert frame.geometry.to_wkb().equals(before) and frame.crs == "EPSG:4326"
    series = nuvex.geopandas.to_crs(frame.geometry, "EPSG:32632", threads=1)
    assert isinstance(series, gpd.GeoSeries) and series.crs == "EPSG:32632"
    assert_same_geometries(series, converted.geometry, 0)


def test_one_geometry_converts_as_in_the_frame():
    frame = places()
    whole = nuvex.geopandas.to_crs(frame, "EPSG:31467", source="EPSG:4314")
    for geom, expected in zip(frame.geometry, whole.geometry):
        if geom is not None:
            one = nuvex.shapely.transform(geom, "EPSG:4314", "EPSG:31467")
            # The engine's vector path may round the last bit otherwise for other neighbours.
            assert_same_geometries(gpd.GeoSeries([one]), [expected], 1e-6)


def test_a_point_without_a_path_names_its_row_or_empties_its_geometry():
    # Through the datum shifts (WGS84 to ED50), which cover Germany only; Paris is outside.
    frame = places().iloc[:4]
    frame = gpd.GeoDataFrame({"name": [*frame.name, "Paris"],
                              "geometry": [*frame.geometry, LineString([(9.0, 50.0), (2.35, 48.86)])]},
                             index=[*frame.index, "paris"], crs=frame.crs)
    with pytest.raises(ValueError, match=r"row 'paris': its LineString has a point without a "
                                         r"path from EPSG:4326 to EPSG:23032 \(2.35, 48.86\)"):
        nuvex.geopandas.to_crs(frame, "EPSG:23032")
    emptied = nuvex.geopandas.to_crs(frame, "EPSG:23032", errors="empty")
    assert emptied.geometry["paris"].geom_type == "LineString" and emptied.geometry["paris"].is_empty
    assert not emptied.geometry.iloc[:4].is_empty.any()
    with pytest.raises(ValueError, match="the geometry: its Point"):
        nuvex.shapely.transform(Point(10.0, 95.0), "G:3", "E:3")
    assert nuvex.shapely.transform(Point(10.0, 95.0), "G:3", "E:3", errors="empty").is_empty


def test_empty_points_stay_empty():
    # GEOS writes an empty point as one with NaN coordinates; it is no point to convert.
    empty, empty_z = shapely_wkt.loads("POINT EMPTY"), shapely_wkt.loads("POINT Z EMPTY")
    frame = gpd.GeoDataFrame({"geometry": [Point(10.0, 50.0), empty, empty_z,
                                           MultiPoint([(9.0, 50.0), (10.0, 50.0)])]},
                             crs="EPSG:4326")
    converted = nuvex.geopandas.to_crs(frame, "EPSG:32632")
    assert [g.geom_type for g in converted.geometry] == ["Point", "Point", "Point", "MultiPoint"]
    assert converted.geometry.is_empty.tolist() == [False, True, True, False]
    assert_same_geometries(converted.geometry, frame.to_crs("EPSG:32632").geometry, MILLIMETRE)
    assert nuvex.shapely.transform(empty, "G:3", "E:3").is_empty


def test_nuvex_names_and_refusals():
    frame = places(crs=None)
    with pytest.raises(ValueError, match="source CRS is not set"):
        nuvex.geopandas.to_crs(frame, "EPSG:32632")
    grid = nuvex.geopandas.to_crs(frame, "E:3", source="G:3")  # zones from each longitude
    assert grid.crs is None
    assert nuvex.geopandas.to_crs(places(), "E:3").crs is None  # not the frame's old one
    assert nuvex.geopandas.to_crs(places(), "epsg:31467").crs == "EPSG:31467"
    with pytest.raises(ValueError, match="EPSG:99999"):
        nuvex.geopandas.to_crs(frame, "EPSG:99999", source="G:3")
    with pytest.raises(ValueError, match="errors must be one of"):
        nuvex.shapely.transform(Point(10, 50), "G:3", "E:3", errors="ignore")
    with pytest.raises(ValueError, match="no EPSG code"):
        nuvex.geopandas.to_crs(frame, "E:3", source=pyproj.CRS("+proj=tmerc +lon_0=11 +ellps=GRS80"))


def test_heights_are_carried_over():
    line = LineString([(10.0, 50.0, 120.5), (10.1, 50.1, 130.25)])
    converted = nuvex.shapely.transform(line, "EPSG:4326", "EPSG:32632")
    np.testing.assert_array_equal(np.asarray(converted.coords)[:, 2], [120.5, 130.25])
    np.testing.assert_allclose(np.asarray(converted.coords)[0, :2], [571666.448, 5539109.815],
                               atol=MILLIMETRE)


# GK zone 3 with DHHN2016 heights to UTM zone 32 with ellipsoidal heights: points of
# tests/data/interface_heights.txt (PROJ's cct), as (x, y, z) in and out.
GK3_DHHN = [(3514881.4679, 5685234.0224, 250.0), (3437131.0190, 5428790.6050, 512.25),
            (3554630.7335, 5673565.0920, 0.0)]
UTM32_ELLIPSOIDAL = [(514801.643959750130, 5683399.846769998781, 296.723969022768),
                     (437080.694948008284, 5427058.650519149378, 560.121687188105),
                     (554535.032594097429, 5671735.247649459168, 46.669436282477)]
HEIGHTS = {"datum": "official", "heights": ("dhhn2016", "ellipsoidal")}


def test_to_crs_converts_the_heights_of_3d_geometries():
    a, b, c = GK3_DHHN
    frame = gpd.GeoDataFrame(
        {"geometry": [Point(a), LineString([b, c]), Polygon([a, b, c]),
                      MultiPoint([c, a]), None]},
        index=["point", "line", "polygon", "points", "missing"], crs="EPSG:31467+7837")
    converted = nuvex.geopandas.to_crs(frame, "EPSG:25832", **HEIGHTS)
    assert converted.crs == "EPSG:25832" and converted.geometry["missing"] is None
    p, q, r = (np.array(point) for point in UTM32_ELLIPSOIDAL)
    expected = {"point": [p], "line": [np.array([q, r])], "polygon": [np.array([p, q, r, p])],
                "points": [r, p]}
    for label, parts in expected.items():
        got = coordinate_arrays(converted.geometry[label])
        assert len(got) == len(parts), label
        for part, want in zip(got, parts):
            np.testing.assert_allclose(part.reshape(want.shape), want, rtol=0, atol=1e-4,
                                       err_msg=label)
    # A closed ring stays closed, heights included.
    ring = np.asarray(converted.geometry["polygon"].exterior.coords)
    assert (ring[0] == ring[-1]).all()


def test_heights_from_the_frames_compound_crs_and_their_refusals():
    frame = gpd.GeoDataFrame({"geometry": [Point(10.0, 50.0, 100.0),
                                           Point(5.7014159, 52.3619409, 10.0)]},
                             index=["germany", "netherlands"], crs="EPSG:4258+7837")
    # The heights' kinds from the two CRSs: DHHN2016 to ETRS89 ellipsoidal (EPSG:4937).
    with pytest.raises(ValueError, match=r"row 'netherlands': its Point has a point without a "
                                         r"path from EPSG:4258\+7837 to EPSG:4937 "
                                         r"\(5.7014159, 52.3619409, 10.0\)"):
        nuvex.geopandas.to_crs(frame, "EPSG:4937", datum="official")
    converted = nuvex.geopandas.to_crs(frame, 4937, datum="official", errors="empty")
    assert converted.crs == "EPSG:4937" and converted.geometry["netherlands"].is_empty
    assert abs(converted.geometry["germany"].z - 147.809500694132) < 1e-4
    # Back: the result's CRS is the compound one.
    back = nuvex.geopandas.to_crs(converted.iloc[:1], "EPSG:4258+7837", datum="official")
    assert back.crs == frame.crs and abs(back.geometry["germany"].z - 100.0) < 1e-6
    # A 2D geometry has no height to convert.
    flat = gpd.GeoDataFrame({"geometry": [Point(10.0, 50.0, 1.0), LineString([(9, 50), (10, 51)])]},
                            index=["hill", "road"], crs="EPSG:4258+7837")
    with pytest.raises(ValueError, match=r"row 'road': its LineString has no heights \(2D\), but "
                                         r"the Transformer converts heights \(dhhn2016 to "
                                         r"ellipsoidal\)"):
        nuvex.geopandas.to_crs(flat, "EPSG:4937", datum="official")
    # Without heights they are carried over, and the kinds must not be half given.
    with pytest.raises(ValueError, match="the source has dhhn2016 heights and the target none"):
        nuvex.geopandas.to_crs(frame, "EPSG:25832", datum="official")


def test_one_geometry_converts_its_heights():
    line = LineString(GK3_DHHN[:2])
    converted = nuvex.shapely.transform(line, "EPSG:31467", "EPSG:25832", **HEIGHTS)
    np.testing.assert_allclose(np.asarray(converted.coords), UTM32_ELLIPSOIDAL[:2], rtol=0,
                               atol=1e-4)
    assert nuvex.shapely.transform(Point(10.0, 50.0, 1e9), "EPSG:4258+7837", "EPSG:4937",
                                   datum="official", errors="empty").is_empty
