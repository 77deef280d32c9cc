// The library's vocabulary of coordinate systems: the four systems as the engine numbers them,
// how people name them ("E:1", "G:3"), their zones, and the ranges of coordinates each can hold.
// Every interface (the converter, the Python package, the C interface) names systems and checks
// its input through this header, so that they all speak the same language.
//
// Systems (codes 1..4): 1 Bessel 1841 / Gauss-Krueger 3 deg zones, 2 International 1924 / UTM,
// 3 WGS84 / UTM, 4 Krassowsky 1940 / Gauss-Krueger 3 or 6 deg zones. Grid coordinates are metres
// (Gauss-Krueger eastings carry the zone in their millions), geographic coordinates decimal
// degrees.
#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace nuvex {

// How a point is given or wanted: grid coordinates (engine code "E": easting and northing in
// metres) or geographic coordinates (engine code "G": longitude and latitude in decimal degrees).
enum class CoordinateType { Grid, Geographic };

// One side of a conversion: a type on a system (code 1..4).
struct CoordinateSystem {
  CoordinateType type;
  int system;
};

// What a height is, on one side of a conversion. Ellipsoidal: above the system's ellipsoid (system
// 3: ETRS89/GRS80, system 4: Krassowsky); Normal: a DHHN2016 normal height, above the quasigeoid.
enum class HeightKind { None, Ellipsoidal, Normal };

inline constexpr int kFirstSystem = 1;
inline constexpr int kLastSystem = 4;   // the last of the host entry points' systems
inline constexpr int kWgs84System = 3;  // the host's geographic side: WGS84
// System 5, the global frame of GNSS: ITRF2020 on GRS80 (WGS 84 (G2296) is the same system within
// 1 to 2 cm), geographic and UTM. Only the batch path has it, in the official datum mode, where it
// is joined to ETRS89 at an epoch (a decimal year): EPSG:10586, "ITRF2020 to ETRF2000 (1)".
inline constexpr int kItrf2020System = 5;
inline constexpr int kLastBatchSystem = kItrf2020System;
// Decimal years: the epochs the frame transformation is taken for.
inline constexpr double kEarliestEpoch = 1990.0;
inline constexpr double kLatestEpoch = 2100.0;

inline constexpr int kThreeDegreeZones = 3;  // zone width code selecting 3 deg zones (system 4)
inline constexpr int kSixDegreeZones = 6;    // zone width code selecting 6 deg zones (system 4)

// Metres: a zone number carried in an easting's millions.
inline constexpr double kZoneMultiplier = 1000000.0;
// Metres: a UTM easting at least this large carries its zone in its millions; a plain one is
// smaller.
inline constexpr double kSmallestPrefixedUtmEasting = 10000000.0;

// Metres: no easting (zone prefix included) or northing of the four grids comes near this;
// larger input is a typing error, and the projection series would overflow on it.
inline constexpr double kLargestGridCoordinate = 1000000000.0;

// Degrees: the range of geographic coordinates.
inline constexpr double kLowestLongitude = -180.0;
inline constexpr double kHighestLongitude = 180.0;
inline constexpr double kLowestLatitude = -90.0;
inline constexpr double kHighestLatitude = 90.0;

// How wide the zones of a grid are.
enum class ZoneScheme {
  ThreeDegrees,
  SixDegrees,
  ByZoneWidth,  // 3 deg with zone width code 3, else 6 deg
};

struct SystemDescription {
  int code;
  const char* ellipsoid;
  const char* grid;
  bool gaussKrueger;  // the easting carries the zone in its millions
  ZoneScheme zones;
  bool officialDatum;  // the official datum transformations join it to the other systems
};

inline constexpr std::array<SystemDescription, 5> kSystems = {{
    {1, "Bessel 1841", "Gauss-Krueger", true, ZoneScheme::ThreeDegrees, true},
    {2, "International 1924", "UTM", false, ZoneScheme::SixDegrees, false},
    {3, "WGS84", "UTM", false, ZoneScheme::SixDegrees, true},
    {4, "Krassowsky 1940", "Gauss-Krueger", true, ZoneScheme::ByZoneWidth, true},
    {5, "ITRF2020 (GRS80)", "UTM", false, ZoneScheme::SixDegrees, true},
}};

// Inclusive range of zone numbers.
struct ZoneRange {
  int lowest;
  int highest;
  bool contains(int zone) const { return zone >= lowest && zone <= highest; }
};

// Zones a grid can have: 3 deg Gauss-Krueger zones are numbered by their central meridian / 3
// (0 to 119 around the globe), 6 deg zones 1 to 60 (UTM and 6 deg Gauss-Krueger).
inline constexpr ZoneRange kThreeDegreeZoneRange{0, 119};
inline constexpr ZoneRange kSixDegreeZoneRange{1, 60};
// UTM input zones: 0 asks for the zone from a prefixed easting's millions.
inline constexpr int kZoneFromEasting = 0;
inline constexpr ZoneRange kUtmInputZoneRange{kZoneFromEasting, 60};

// Whether code is one of the five systems (system 5 in the batch path only).
bool isKnownSystemCode(int system);
// Whether the conversion between the systems needs an epoch: one of them is system 5, the other
// another system.
bool conversionNeedsEpoch(int fromSystem, int toSystem);
// Reads an epoch: a decimal year ("2026.9") or a date ("2026-12-07", at 0h of the day: 2026 +
// 340/365); nothing when the text is neither. Whether it lies from kEarliestEpoch to kLatestEpoch
// is the caller's to check (isAcceptableEpoch).
std::optional<double> parseEpoch(std::string_view text);
bool isAcceptableEpoch(double epoch);
// The row of kSystems; throws std::out_of_range for an unknown code.
const SystemDescription& describeSystem(int system);
bool isGaussKrueger(int system);
// Whether grids of the system have 3 deg zones under the zone width code (3 or 6).
bool hasThreeDegreeZones(int system, int zoneWidth);
// Zones a grid point of the system can be projected into.
ZoneRange outputZoneRange(int system, int zoneWidth);
// "Bessel 1841 / Gauss-Krueger 3 deg" (the zone width only for Gauss-Krueger grids).
std::string systemTitle(int system, int zoneWidth);
// Why the official datum transformations cannot convert between two systems, e.g. "system 2
// (International 1924) has no official datum transformation"; nothing when they can (always
// within one system).
std::optional<std::string> officialDatumProblem(int fromSystem, int toSystem);
// Whether the official datum transformations between two systems go through an NTv2 grid
// (BeTA2007 or a grid file in its place): between system 1 and another system. Elsewhere a grid
// file would change nothing.
bool officialDatumUsesGrid(int fromSystem, int toSystem);

// Reads "E:1" or "G:3" (either case); nothing when the text is not of that form.
std::optional<CoordinateSystem> parseCoordinateSystem(std::string_view text);
// "E:1" or "G:3".
std::string formatCoordinateSystem(CoordinateSystem system);
// The engine's type code for a type: "E" or "G".
const char* engineTypeCode(CoordinateType type);

// ---- EPSG codes --------------------------------------------------------------------------------
// The EPSG coordinate reference systems that are one of the four systems: a geographic CRS on the
// system's ellipsoid, or a projected CRS that is one zone of the system's grid with the same
// central meridian, scale and false easting (Gauss-Krueger CRSs write the zone in the millions of
// their false easting, as the engine does). Coordinates stay x/y for every code (longitude,
// latitude; easting, northing), whatever axis order EPSG gives the CRS.
//
// ETRS89 (4258, UTM 25828-25838) is mapped to system 3: its ellipsoid GRS 1980 differs from WGS84
// by 0.1 mm in the polar radius, and its datum from WGS84 by well under a metre in Europe. The
// mapping is exact only in the official datum mode, which treats ETRS89 as that datum; elsewhere
// ETRS89 coordinates are converted as WGS84 ones.
// UTM south zones (327xx, 258xx south of the equator) are not supported: the grids have no false
// northing.
struct EpsgCode {
  int code;
  std::string name;         // EPSG's name of the CRS
  CoordinateSystem system;  // Geographic for a geographic CRS, Grid for a projected one
  int zone;                 // projected: the zone the CRS is; geographic: 0
  int zoneWidth;            // degrees, 3 or 6 (projected); geographic: 0
  HeightKind height = HeightKind::None;  // a 3D CRS's height (EPSG:4937: ellipsoidal)
};
// The vertical CRS of compound codes: DHHN2016 normal heights ("EPSG:31467+7837").
inline constexpr int kDhhn2016Code = 7837;
// Every supported code, ascending by code.
std::span<const EpsgCode> epsgCodes();
// The row of a code; null when the code is not supported.
const EpsgCode* findEpsgCode(int code);
// Up to `count` supported codes nearest to `code` by number, nearest first.
std::vector<int> nearestEpsgCodes(int code, std::size_t count);
// Up to `count` supported codes of the kind of an unsupported `code` (projected or geographic, on
// the same datum), nearest first. EPSG numbers the zones of a grid in runs, so the kind is that of
// the supported code nearest to `code` within 10 of it in its hundred (31470 is a DHDN
// Gauss-Krueger code like 31469); nothing when there is none.
std::vector<int> similarEpsgCodes(int code, std::size_t count);

// A coordinate system as a user names it: "E:1"/"G:3", or an EPSG code, which for a projected CRS
// also fixes the zone of its grid and the zone width. An EPSG code is written "EPSG:31467", as an
// OGC URN "urn:ogc:def:crs:EPSG::31467" (a version between the colons or none, the empty one also
// left out), the prefixes in any letter case, or as the bare number "31467".
struct NamedSystem {
  CoordinateSystem system;
  std::optional<int> zone;               // a projected EPSG code's zone; none: chosen per point
  std::optional<int> zoneWidth;          // 3 or 6 where the name fixes it
  int epsgCode = 0;                      // 0: named as TYPE:SYSTEM
  HeightKind height = HeightKind::None;  // a 3D or compound CRS's heights
  std::optional<double> epoch = std::nullopt;  // a coordinate epoch ("EPSG:9990@2026.9")
};
// A coordinate epoch follows the name after '@', as PROJ writes it: "EPSG:9990@2026.9" (a decimal
// year or a date, see parseEpoch; from kEarliestEpoch to kLatestEpoch).
// A compound CRS is written as PROJ writes it, horizontal + vertical: "EPSG:31467+7837" (the
// vertical part also as "EPSG:7837"), with DHHN2016 (kDhhn2016Code) the only vertical CRS, on
// systems 1, 3 and 4; it gives height Normal. Reads a system's name; throws std::invalid_argument
// with a message that says what is accepted: for an unknown EPSG code the supported codes of its
// kind (similarEpsgCodes), else the nearest by number; for a UTM south zone (327xx) that south
// zones are not supported. `role` names the text in the message, e.g. "source".
NamedSystem parseSystemName(std::string_view text, std::string_view role);

// ---- Input checks shared by every interface ----------------------------------------------------

// Whether (x, y) lies in the range of coordinates of its type: longitude -180..180 and latitude
// -90..90 deg, or grid coordinates within +-kLargestGridCoordinate m. NaN is outside.
// Inline: every point of every conversion is checked.
inline bool withinCoordinateRange(CoordinateType type, double x, double y) {
  // Non-short-circuit: one predictable branch is cheaper than four.
  if (type == CoordinateType::Geographic) {
    return (x >= kLowestLongitude) & (x <= kHighestLongitude) & (y >= kLowestLatitude) &
           (y <= kHighestLatitude);
  }
  return (x >= -kLargestGridCoordinate) & (x <= kLargestGridCoordinate) &
         (y >= -kLargestGridCoordinate) & (y <= kLargestGridCoordinate);
}
// The rule for a UTM input zone: 0 takes the zone from a prefixed easting; a given zone
// (1..60) must agree with a prefix the easting carries.
bool utmZoneFitsEasting(int zone, double easting);
// Whether a point is input its source can hold: within the range of its type and, for UTM
// eastings, with a zone (0: from the easting's millions) that fits the easting. Every interface
// marks the points it refuses as having no path.
bool isAcceptableInput(CoordinateSystem from, double x, double y, int zone);

// ---- What the grids can hold, and where their projection is exact -----------------------------

// Degrees of longitude from a zone's central meridian within which the engine's own transverse
// Mercator series stay within a few millimetres of the exact projection. Measured against the
// extended transverse Mercator (tests/data/engine_projection_band.txt, from PROJ's cct): at
// 50 deg N the series are off by 0.5 mm at 3 deg, about 2.4 mm at 4 deg, 11 mm at 5 deg and
// 2.7 m at 15 deg; on the equator by 2 mm at 3 deg and 9 mm at 4 deg. The polynomial mode projects
// with them within this band, exactly as the host entry points do; beyond it, and everywhere in
// the official mode, the batch path projects with Krueger's series in the third flattening (order
// n^6), which stay within 0.1 mm of the exact projection up to kProjectionLimitMetres.
inline constexpr double kProjectionBandDegrees = 4.0;
// Metres of easting from the central meridian, before the scale factor (|easting - 500000| / k0):
// how far Krueger's series stay within 0.1 mm of the exact projection, measured against
// GeographicLib's exact transverse Mercator (TransverseMercatorProj -t): the first point off by
// more lies 9262 km out (64.5 deg of longitude on the equator); within 4500 km they agree to 10 nm.
// Grid input farther out, and points that would be projected farther out (or 90 deg of longitude
// or more from the central meridian), are refused.
inline constexpr double kProjectionLimitMetres = 9000000.0;

// Why a point is no point of its system, has no transformation path, or its result is none of
// the target's. One vocabulary for every interface: the converter's messages, Python's
// Transformer.explain and the C interface's reason codes (nuvex_reason in nuvex/nuvex.h, same
// numbers) all read it.
enum class RangeProblem {
  None = 0,
  NotFinite = 1,              // a coordinate is NaN or infinite
  OutsideCoordinates = 2,     // beyond -180..180 / -90..90 deg or 1e9 m
  NoSuchZone = 3,             // the zone its easting or zone column names is none of the system's
  BeyondPole = 4,             // a northing longer than the meridian from the equator to the pole
  BeyondProjectionLimit = 5,  // farther from its zone's central meridian than the projection is
                              // exact to 0.1 mm
  OutsideGrid = 6,            // official mode: outside the NTv2 grid of the datum shift
  OutsideOfficialArea = 7,    // official mode: outside EPSG:1775's area of use
  OutsidePolynomialArea = 8,  // polynomial mode: outside the area of the shift polynomials
  NoZoneOfTarget = 9,         // its zone in the target grid would be none of the target's
  ImpossibleResult = 10,      // the result would be no point: not finite or beyond 90 deg latitude
  HeightOutOfRange = 11,      // a height that is not finite or beyond kLargestHeight
  OutsideGeoid = 12,          // official mode: where the quasigeoid grid holds no value
  EpochOutOfRange = 13,       // system 5: an epoch that is no number from 1990 to 2100
};
inline constexpr int kRangeProblemCount = 14;
// Metres: no height on or near the Earth comes near this; larger ones are typing errors.
inline constexpr double kLargestHeight = 10000.0;
// A short reason for messages, e.g. "outside the area of the polynomial datum shifts (5 deg E to
// 15 deg 20' E, 47 deg N to 55 deg 12' N)"; "" for None.
const char* describeRangeProblem(RangeProblem problem);
// A stable identifier of the reason for programs, e.g. "outside_polynomial_area"; "" for None.
const char* rangeProblemName(RangeProblem problem);

// A grid point as input: zone as Transformer takes it (UTM: 0 takes it from the easting's
// millions; Gauss-Krueger eastings always carry it).
RangeProblem checkGridInput(int system, int zoneWidth, int zone, double easting, double northing);
// A point as input of its type (grid: see checkGridInput).
RangeProblem checkInput(CoordinateSystem source, int zoneWidth, int zone, double x, double y);
// A converted point: geographic (longitude, latitude) or grid (easting, northing, zone) of the
// target.
RangeProblem checkOutput(CoordinateSystem target, int zoneWidth, double x, double y, int zone);
// UTM latitude bands, as a zone is written with one ("32U"): C (80 to 72 deg S) to X (72 to
// 84 deg N), 8 deg each but X, without I and O.
inline constexpr std::string_view kUtmLatitudeBands = "CDEFGHJKLMNPQRSTUVWX";
inline constexpr double kLowestBandLatitude = -80.0;  // deg
inline constexpr double kBandHeight = 8.0;            // deg
inline constexpr double kHighestBandLatitude = 84.0;  // deg
// Whether the letter (either case) is a UTM latitude band.
bool isUtmLatitudeBand(char band);
// Whether a UTM northing of the system (no false northing: negative in the south) lies in the
// band, within kBandTolerance: its latitude is estimated from the northing as if it were all
// meridian arc, which is within 0.1 deg inside the projection's band.
inline constexpr double kBandTolerance = 0.2;  // deg
bool utmBandFitsNorthing(int system, char band, double northing);

// Whether a grid point of the system (easting with or without the zone prefix) lies within
// kProjectionBandDegrees of its zone's central meridian, where the polynomial mode unprojects it
// with the engine's own series.
bool withinProjectionBand(int system, double easting, double northing);
// Whether a grid point of the system in the given zone (its easting with or without the zone
// prefix: a Gauss-Krueger easting far west of its meridian has millions of the zone before)
// lies farther from the zone's central meridian than one zone width (3 deg for 3 deg zones, 6
// deg otherwise). Points there are converted exactly, but a zone forced on them is most likely a
// mistake: the interfaces warn.
bool fartherThanZoneWidth(int system, int zoneWidth, int zone, double easting, double northing);
// Degrees: the width of the system's zones under the zone width code (3 or 6).
double zoneWidthDegrees(int system, int zoneWidth);
// The interfaces' warning for such points, e.g. "zone 32 lies more than 6 deg of longitude from
// some points; they are converted exactly, but check that the zone is the one meant".
std::string describeFarForcedZone(int zone, int system, int zoneWidth);

}  // namespace nuvex
