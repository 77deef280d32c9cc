# EPSG codes in the Python package: a code names a system (and a projected code its zone), so a
# Transformer by codes converts as the one by systems and zones; points of another zone are marked.
import pickle

import numpy as np
import pytest

import nuvex

# DHDN / 3-degree Gauss-Kruger zone 3 (EPSG:31467): the worked point and PROJ's point of the code
# (tests/data/epsg_codes.txt), then an easting of zone 4.
GK_EASTING = np.array([3571686.387, 3587394.998803, 4571686.387])
GK_NORTHING = np.array([5540758.788, 5672271.091181, 5540758.788])


def test_codes_convert_as_the_systems_they_name():
    by_code = nuvex.Transformer("EPSG:31467", "EPSG:25832").transform(GK_EASTING, GK_NORTHING)
    by_system = nuvex.Transformer("E:1", "E:3", zone=32).transform(GK_EASTING[:2],
                                                                   GK_NORTHING[:2])
    for code_column, system_column in zip(by_code, by_system):
        np.testing.assert_array_equal(code_column[:2], system_column)
    assert list(by_code[3]) == [0, 0, -1]  # zone 4 is not EPSG:31467
    assert np.isnan(by_code[0][2]) and by_code[2][2] == 0


def test_proj_point_of_a_code_both_ways():
    lon, lat, _, status = nuvex.Transformer("EPSG:31467", "EPSG:4314").transform(
        GK_EASTING[1], GK_NORTHING[1])
    assert status == 0
    assert lon == pytest.approx(10.25, abs=2e-8) and lat == pytest.approx(51.18, abs=2e-8)
    easting, northing, zone, _ = nuvex.Transformer("EPSG:4314", "EPSG:31467").transform(10.25,
                                                                                         51.18)
    assert (easting, northing, zone) == (pytest.approx(GK_EASTING[1], abs=1e-3),
                                         pytest.approx(GK_NORTHING[1], abs=1e-3), 3)


def test_utm_source_code_fixes_the_input_zone():
    t = nuvex.Transformer("epsg:32632", "EPSG:4326")
    lon, lat, zone, status = t.transform([571666.448, 571666.448, 33571666.448],
                                         [5539109.815] * 3, zone=[32, 33, 32])
    assert list(status) == [0, -1, -1]  # a zone, or an easting's prefix, of another zone
    assert lon[0] == pytest.approx(10.0, abs=2e-8) and lat[0] == pytest.approx(50.0, abs=2e-8)
    assert t.transform(571666.448, 5539109.815)[3] == 0  # no zone given: the code's


def test_contradictions_and_unknown_codes_are_refused():
    for call, message in [
        (lambda: nuvex.Transformer("G:3", "EPSG:25832", zone=33),
         "zone 33: the target EPSG:25832 is zone 32"),
        (lambda: nuvex.Transformer("G:3", "EPSG:25832", zone_prefix=True),
         "zone_prefix: eastings of EPSG:25832"),
        (lambda: nuvex.Transformer("G:3", "EPSG:3834", zone_width=3),
         "zone_width 3: EPSG:3834 has 6 deg zones"),
        (lambda: nuvex.Transformer("EPSG:3834", "EPSG:2397"), "zones of different widths"),
        (lambda: nuvex.Transformer("EPSG:32732", "G:3"),
         "source 'EPSG:32732' is WGS 84 / UTM zone 32S: UTM south zones are not supported"),
    ]:
        with pytest.raises(ValueError, match=message):
            call()


def test_names_survive_pickling_and_are_described():
    t = pickle.loads(pickle.dumps(nuvex.Transformer("epsg:3835", "EPSG:4326")))
    assert (t.source, t.target, t.zone_width, t.zone) == ("EPSG:3835", "EPSG:4326", 6, None)
    assert repr(nuvex.Transformer("G:3", "EPSG:25832")) == (
        "Transformer('G:3', 'EPSG:25832', zone_width=3, zone=32)")
