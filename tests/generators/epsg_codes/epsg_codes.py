#!/usr/bin/env python3
"""Writes tests/data/epsg_codes.txt: for every EPSG code the library maps onto one of its four
systems, the CRS's definition in PROJ's EPSG database and, for a projected CRS, one point
projected by PROJ on the CRS's own ellipsoid (no datum shift).

The definition comes from `projinfo EPSG:n -o PROJ` (the projection string, whose ellipsoid is
used for the point) and `projinfo EPSG:n -o WKT2_2019` (ellipsoid axis and inverse flattening,
latitude and longitude of origin, scale, false easting and northing, area of use: UTM strings
name only their zone). The point lies inside the zone (1.25 deg east of a 3 deg zone's central
meridian, 2.25 deg west of a 6 deg one's), at the middle latitude of the CRS's area of use, and
is projected by `cs2cs` from longitude/latitude on the ellipsoid into the CRS's projection with
its datum terms (+towgs84, +datum) removed.
Needs Debian's proj-bin. Run:
    python3 tests/generators/epsg_codes/epsg_codes.py > tests/data/epsg_codes.txt
"""
import re
import subprocess

# The codes to check, as the CRS families are numbered in the EPSG dataset (first, last).
GEOGRAPHIC = [4314, 4230, 4326, 4258, 4937, 4178, 9989, 9990]
# Codes newer than PROJ 9.1.1's database, as the EPSG registry defines them: WGS 84 (G2296),
# geographic 3D and 2D on the WGS 84 ellipsoid.
NOT_IN_PROJ = {10605: ("WGS 84 (G2296)", "WGS 84", "6378137", "298.257223563"),
               10606: ("WGS 84 (G2296)", "WGS 84", "6378137", "298.257223563")}
PROJECTED_RUNS = [
    (5520, 5520), (5676, 5680), (31466, 31469),   # DHDN 3-degree Gauss-Kruger
    (23028, 23038),                               # ED50 / UTM 28N-38N
    (32601, 32660),                               # WGS 84 / UTM 1N-60N
    (25828, 25838),                               # ETRS89 / UTM 28N-38N
    (2397, 2399), (3841, 3841), (4417, 4417), (4434, 4434), (5673, 5675),  # Pulkovo 1942(83) 3 deg
    (3834, 3836), (5664, 5665),                   # Pulkovo 1942(83) 6 deg
]
LONGITUDE_OFFSET = {3: 1.25, 6: -2.25}  # deg from the central meridian, by zone width
LOWEST_LATITUDE, HIGHEST_LATITUDE = 1.0, 80.0  # deg: the point stays off the equator and poles


def run(*args, stdin=None):
    return subprocess.run(args, input=stdin, capture_output=True, text=True, check=True).stdout


def wkt_of(code):
    return run("projinfo", f"EPSG:{code}", "-o", "WKT2_2019", "--single-line", "-q")


def proj_string(code):
    return run("projinfo", f"EPSG:{code}", "-o", "PROJ", "-q").strip()


def ellipsoid(wkt):
    name, a, rf = re.search(r'ELLIPSOID\["([^"]+)",([0-9.]+),([0-9.]+)', wkt).groups()
    return name, a, rf


def parameter(wkt, name):
    return float(re.search(r'PARAMETER\["' + re.escape(name) + r'",(-?[0-9.]+)', wkt).group(1))


def projection_only(definition):
    """The projection of a PROJ CRS string on its ellipsoid alone."""
    kept = []
    for term in definition.split():
        if term.startswith(("+towgs84=", "+type=", "+no_defs", "+nadgrids=")):
            continue
        kept.append("+ellps=WGS84" if term == "+datum=WGS84" else term)
    return kept


def ellipsoid_term(definition):
    return next(t for t in projection_only(definition) if t.startswith("+ellps="))


def projected_row(code):
    wkt = wkt_of(code)
    assert 'METHOD["Transverse Mercator"' in wkt, code
    name = re.match(r'PROJCRS\["([^"]+)"', wkt).group(1)
    ellps, a, rf = ellipsoid(wkt)
    lat_0 = parameter(wkt, "Latitude of natural origin")
    lon_0 = parameter(wkt, "Longitude of natural origin")
    k = parameter(wkt, "Scale factor at natural origin")
    x_0 = parameter(wkt, "False easting")
    y_0 = parameter(wkt, "False northing")
    south, _, north, _ = (float(v) for v in re.findall(r"BBOX\[([^\]]+)\]", wkt)[-1].split(","))
    definition = proj_string(code)
    width = 3 if "3-degree" in name else 6
    longitude = lon_0 + LONGITUDE_OFFSET[width]
    latitude = round(min(max((south + north) / 2, LOWEST_LATITUDE), HIGHEST_LATITUDE), 4)
    point = f"{longitude:.4f} {latitude:.4f}\n"
    out = run("cs2cs", "-f", "%.6f", "+proj=longlat", ellipsoid_term(definition), "+to",
              *projection_only(definition), stdin=point).split()
    easting, northing = out[0], out[1]
    return (f"{code}|grid|{name}|{ellps}|{a}|{rf}|{lat_0:g}|{lon_0:g}|{k:g}|{x_0:.3f}|{y_0:.3f}|"
            f"{longitude:.4f}|{latitude:.4f}|{easting}|{northing}")


def geographic_row(code):
    wkt = wkt_of(code)
    name = re.match(r'GEOGCRS\["([^"]+)"', wkt).group(1)
    ellps, a, rf = ellipsoid(wkt)
    return f"{code}|geographic|{name}|{ellps}|{a}|{rf}|||||||||"


def main():
    release = subprocess.run(["cs2cs"], capture_output=True, text=True)
    version = (release.stdout + release.stderr).splitlines()[0]
    print("# Every supported EPSG code as PROJ's EPSG database defines it, with one point of each")
    print("# projected CRS projected by PROJ on the CRS's ellipsoid (no datum shift).")
    print("# Provenance: python3 tests/generators/epsg_codes/epsg_codes.py > tests/data/epsg_codes.txt")
    print("# which runs, per code: projinfo EPSG:n -o PROJ -q; projinfo EPSG:n -o WKT2_2019")
    print("# --single-line -q; and for a projected CRS: echo 'LON LAT' | cs2cs -f %.6f +proj=longlat")
    print("# +ellps=E +to <the PROJ string without +towgs84/+datum/+type> (" + version.strip() + ")")
    print("# code|kind|name|ellipsoid|a (m)|inverse flattening|lat_0 (deg)|lon_0 (deg)|k|x_0 (m)|"
          "y_0 (m)|longitude (deg)|latitude (deg)|easting (m)|northing (m)")
    for code in GEOGRAPHIC:
        print(geographic_row(code))
    print("# Not in PROJ's database; from the EPSG registry:")
    for code, (name, ellps, a, rf) in NOT_IN_PROJ.items():
        print(f"{code}|geographic|{name}|{ellps}|{a}|{rf}|||||||||")
    for first, last in PROJECTED_RUNS:
        for code in range(first, last + 1):
            print(projected_row(code))


if __name__ == "__main__":
    main()
