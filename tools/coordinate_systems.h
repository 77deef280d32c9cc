// The coordinate systems the converter offers, as the engine numbers them, with the zone rules a
// command line or an input line is checked against before a point reaches the engine.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>

namespace nuvex::cli {

// How a point is given or wanted: grid coordinates (engine code "E": easting and northing in
// metres) or geographic coordinates (engine code "G": longitude and latitude in decimal degrees).
enum class CoordinateType { Grid, Geographic };

// One side of a conversion: a type on a system (engine system code 1 to 4).
struct Endpoint {
  CoordinateType type;
  int system;
};

inline constexpr int kFirstSystem = 1;
inline constexpr int kLastSystem = 4;
inline constexpr int kWgs84System = 3;  // the host's geographic side: WGS84

inline constexpr int kThreeDegreeZones = 3;  // zone width code selecting 3 deg zones (system 4)
inline constexpr int kSixDegreeZones = 6;    // any other width code selects 6 deg zones

// Metres: a zone number carried in an easting's millions.
inline constexpr double kZoneMultiplier = 1000000.0;
// Metres: a UTM easting at least this large carries its zone in its millions; a plain one is
// smaller.
inline constexpr double kSmallestPrefixedUtmEasting = 10000000.0;

// Metres: no easting (zone prefix included) or northing of the four grids comes near this;
// larger input is a typing error, and the projection series would overflow on it.
inline constexpr double kLargestGridCoordinate = 1000000000.0;

// Degrees: the range of geographic input the projection series are meant for.
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
};

inline constexpr std::array<SystemDescription, 4> kSystems = {{
    {1, "Bessel 1841", "Gauss-Krueger", true, ZoneScheme::ThreeDegrees},
    {2, "International 1924", "UTM", false, ZoneScheme::SixDegrees},
    {3, "WGS84", "UTM", false, ZoneScheme::SixDegrees},
    {4, "Krassowsky 1940", "Gauss-Krueger", true, ZoneScheme::ByZoneWidth},
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
// UTM input zones: 0 asks the engine to take the zone from a prefixed easting's millions.
inline constexpr int kZoneFromEasting = 0;
inline constexpr ZoneRange kUtmInputZoneRange{kZoneFromEasting, 60};

const SystemDescription& describeSystem(int system);
bool isGaussKrueger(int system);
// Zones a grid point of the system can be projected into.
ZoneRange outputZoneRange(int system, int zoneWidth);
// "Bessel 1841 / Gauss-Krueger 3 deg" (the zone width only where the system offers a choice or
// where it is fixed at 3 deg).
std::string systemTitle(int system, int zoneWidth);

// Reads "E:1" or "G:3"; nothing when the text is not of that form.
std::optional<Endpoint> parseEndpoint(std::string_view text);
// The engine's type code for a type: "E" or "G".
const char* engineTypeCode(CoordinateType type);

}  // namespace nuvex::cli
