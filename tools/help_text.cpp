#include "help_text.h"

namespace nuvex::cli {

const char* const kListNotes = R"(
Coordinates stay x/y for every code: longitude latitude, easting northing (--axis lat-lon reads
and writes geographic columns latitude first). A projected code is one zone: Gauss-Krueger
eastings carry it in their millions, as the EPSG false eastings do. ETRS89 is converted as WGS84
(system 3); this is exact only in the official datum mode. UTM south (327xx) is not supported.
Heights: EPSG:4937 is ETRS89 with ellipsoidal heights (3D).
Compound: any code of systems 1, 3 and 4 + 7837 (DHHN2016 height), e.g. EPSG:31467+7837.
System 5: ITRF2020 (9990; 3D 9989) and WGS 84 (G2296) (10606; 3D 10605), the frames of GNSS, on
GRS80, joined to ETRS89 by EPSG:10586 with --datum official at an epoch. An epoch follows a name
after '@', EPSG:9990@2026.9 (a decimal year or a date, EPSG:9990@2026-11-24), or comes from
--epoch or --epoch-column.
)";

const char* const kHelpFooter = R"(
Input: one point per line, columns separated by blanks/tabs or by commas (the header or the
first data line decides for the whole file):
  geographic   longitude latitude [extra ...]        (decimal degrees, WGS84 for to-ll/from-ll)
  grid         easting northing [zone] [extra ...]   (metres)
The zone column is read for UTM grids (systems 2, 3) unless --zone/--from-zone gives it (0: the
easting carries the zone in its millions); Gauss-Krueger eastings (systems 1, 4) always carry
their zone. Extra columns (point id, ...) are copied to the output unchanged, and so is a height
unless heights are converted (see Heights).
Blank lines and lines starting with '#' are copied unchanged.
Geographic columns also take degrees, minutes and seconds: 50°30'15.25"N, 50d30m15.25s,
50:30:15.25, N50 30 15.25 (parts grouped by their hemisphere letters N/S/E/W, O for east),
10° 30' 00" E (blanks inside the parts), 10° 30.5' (decimal minutes), or a sign; the degree sign
also in Latin-1. UTM zones may carry their band (32U; the letter is the band, C to X without I
and O: 32N is band N); eastings that carry their zone (32571666.448) need no zone column.
CSV: fields in double quotes may hold the delimiter and doubled quotes; CRLF line ends and a
UTF-8 byte-order mark are read. --columns picks the coordinate columns by position or by the
names of a header line (which is then copied); the other columns stay in place.

Output: one line per input line. Grid output is "easting northing zone", geographic output
"longitude latitude" (with converted heights "easting northing height zone" and "longitude
latitude height"), then the extra columns; the input's delimiter is kept.
A line that cannot be read or has no transformation path is written as "*error* " followed by
the original line, and a message "nuvex: FILE:LINE: reason" goes to standard error; so is a
point more than 4 deg from its zone's central meridian, beyond the pole, in no zone of its
system, or whose result would be none (a zone forced farther away converts, with a warning).
A run that refused lines ends with one summary: lines read, converted, refused by reason.

Exit status: 0 all converted, 1 some line or file failed, 2 usage error.

Systems: 1 Bessel 1841 / Gauss-Krueger 3 deg, 2 International 1924 / UTM,
         3 WGS84 / UTM, 4 Krassowsky 1940 / Gauss-Krueger 3 or 6 deg (--zone-width),
         5 ITRF2020 (GRS80) / UTM (--datum official only, at an epoch).
Datum shift (--datum): polynomial, the engine's own (metre-level, the default), or official:
the NTv2 grid BeTA2007 (or --grid FILE) between 1 and 3, EPSG:1775 between 4 and 3, both for
1 <-> 4, EPSG:10586 at an epoch between 5 and 3, system 3 taken as ETRS89 (EPSG: null
transformation to WGS84, 1 m). Points outside the grid or EPSG:1775's area of use are errors;
system 2 has none (usage error).
EPSG codes: --from, --to and -s also take EPSG:n, urn:ogc:def:crs:EPSG::n or n (nuvex list shows
them), e.g. EPSG:31467 (DHDN / 3-degree Gauss-Kruger zone 3) or EPSG:25832 (ETRS89 / UTM zone
32N, converted as WGS84). A projected code is one zone: a point of another zone, or a --zone or
--from-zone that contradicts it, is refused. Coordinates stay x/y (longitude latitude, easting northing) whatever EPSG's axis
order; --axis lat-lon reads and writes geographic columns latitude first.
Heights (--datum official only): where both sides have a height, ellipsoidal (ETRS89; Krassowsky
on system 4) or dhhn2016 (normal heights), the height is converted with the point, H = h - N
through the quasigeoid GCG2016 (--geoid FILE: another vertical GeoTIFF grid). It is then the
third column, "x y height [zone] [extra ...]" (with --columns X,Y,H[,ZONE]), and is written in its
place with the metres' decimals (default mm). A side's height comes from its code (EPSG:4937
ellipsoidal; a compound code such as EPSG:31467+7837 DHHN2016) or from --height-from/--height-to
none|ellipsoidal|dhhn2016; an option that contradicts its code is a usage error. A height that
is no number makes the line unreadable; one not finite or beyond 10 km, or a point outside the
quasigeoid, is refused with its reason.
Epochs (system 5): ITRF2020 moves against ETRS89 by some 2.5 cm a year, so a conversion between
system 5 and another system needs the points' epoch: --epoch YEAR|DATE (2026.9 or 2026-11-24,
from 1990 to 2100), the name's (EPSG:9990@2026.9), or each point's from --epoch-column NAME|N (a
column by header name or position from 1, kept in the output). Without one it is a usage error;
one given where none is needed is not used, with a warning. An epoch field that is no decimal
year or date makes its line unreadable; one outside 1990 to 2100 is refused with its reason.

Examples:
  echo "10 50" | nuvex from-ll --system 3          -> 571666.448 5539109.815 32
  nuvex to-ll --system 1 points.txt                 (3571686.387 5540758.788 -> lon lat)
  nuvex from-ll --system 4 --zone-width 6 -p 2 geo.csv
  nuvex convert --from E:1 --to E:3 --zone 32 gk.txt > utm.txt
  nuvex convert --from EPSG:31467 --to EPSG:25832 gk.txt      (-> ETRS89 / UTM 32N)
  nuvex to-ll -s EPSG:31467 --axis lat-lon gk.txt             (-> latitude longitude)
  nuvex to-ll -s 1 --columns easting,northing survey.csv       (header, id first)
  nuvex to-ll -s 1 --columns 3,4 register.txt                  (coordinates in columns 3, 4)
  nuvex to-ll -s 1 --columns 2,3 --append --header pts.csv     (adds x_out,y_out at the end)
  nuvex to-ll -s 1 --append --out-names lon,lat pts.csv        (names of the added columns)
  nuvex from-ll -s 3 --header geo.txt                          (first line copied as header)
  nuvex to-ll -s 1 --delimiter ';' --columns 2,3 excel.csv     (semicolons, decimal comma)
  nuvex to-ll -s 3 --dms=2 utm.txt                             (-> 10°00'00.00"E 50°00'00.00"N)
  nuvex from-ll -s 3 --threads 2 --quiet big.txt               (two threads, no progress)
  nuvex convert --from E:1 --to E:3 --datum official gk.txt    (BeTA2007 grid, centimetres)
  nuvex to-ll -s 1 --datum official --grid NTv2_BW.gsb gk.txt  (a state's own NTv2 grid)
  nuvex convert --from EPSG:31467+7837 --to EPSG:25832 --height-to ellipsoidal --datum official
        gk.txt                                                 (DHHN2016 -> ellipsoidal heights)
  nuvex convert --from EPSG:4937 --to EPSG:4258+7837 --datum official geo.txt
                                                               (ellipsoidal -> DHHN2016 heights)
  nuvex convert --from EPSG:9990 --to EPSG:25832 --datum official --epoch 2026.9 -p 4 gnss.csv
                                                               (GNSS, ITRF2020 -> ETRS89 / UTM 32N)
  nuvex convert --from EPSG:9990 --to EPSG:25832 --datum official --epoch-column time -p 4
        gnss_log.csv                                           (an epoch per point, by its name)
  nuvex demo)";

}  // namespace nuvex::cli
