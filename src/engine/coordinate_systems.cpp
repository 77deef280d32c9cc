// The vocabulary of coordinate systems: names, zones and coordinate ranges (nuvex/systems.h).
#include <algorithm>
#include <cctype>
#include <cmath>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "engine/geodetic_tables.h"
#include "engine/integer_conversion.h"
#include "engine/projection_rules.h"
#include "nuvex/systems.h"

namespace nuvex {

bool isKnownSystemCode(int system) {
  return system >= kFirstSystem && system <= kLastBatchSystem;
}

bool conversionNeedsEpoch(int fromSystem, int toSystem) {
  return (fromSystem == kItrf2020System) != (toSystem == kItrf2020System);
}

bool isAcceptableEpoch(double epoch) {
  return epoch >= kEarliestEpoch && epoch <= kLatestEpoch;  // NaN: not acceptable
}

namespace {

bool isLeapYear(int year) {
  return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

// "2026-12-07" as a decimal year at 0h of the day; nothing when it is no date.
std::optional<double> dateAsEpoch(std::string_view text) {
  constexpr std::size_t kDateLength = 10;  // YYYY-MM-DD
  if (text.size() != kDateLength || text[4] != '-' || text[7] != '-') return std::nullopt;
  const auto number = [&](std::size_t at, std::size_t digits) -> std::optional<int> {
    int value = 0;
    for (std::size_t i = at; i < at + digits; ++i) {
      if (text[i] < '0' || text[i] > '9') return std::nullopt;
      value = value * 10 + (text[i] - '0');
    }
    return value;
  };
  const std::optional<int> year = number(0, 4), month = number(5, 2), day = number(8, 2);
  if (!year || !month || !day || *month < 1 || *month > 12 || *day < 1) return std::nullopt;
  constexpr int kMonthDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const bool leap = isLeapYear(*year);
  const auto daysIn = [&](int month) {
    return kMonthDays[month - 1] + (leap && month == 2 ? 1 : 0);
  };
  if (*day > daysIn(*month)) return std::nullopt;
  int dayOfYear = *day - 1;
  for (int m = 1; m < *month; ++m) dayOfYear += daysIn(m);
  return *year + static_cast<double>(dayOfYear) / (leap ? 366.0 : 365.0);
}

}  // namespace

std::optional<double> parseEpoch(std::string_view text) {
  if (const std::optional<double> date = dateAsEpoch(text)) return date;
  // A decimal year: digits with one point at most and a digit somewhere, nothing else (no sign,
  // exponent or spaces).
  const bool decimal =
      std::count(text.begin(), text.end(), '.') <= 1 &&
      std::any_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; }) &&
      std::all_of(text.begin(), text.end(),
                  [](char c) { return (c >= '0' && c <= '9') || c == '.'; });
  // No year has so many digits; more would overflow the conversion.
  constexpr std::size_t kLongestDecimalYear = 64;
  if (!decimal || text.size() > kLongestDecimalYear) return std::nullopt;
  return std::stod(std::string(text));
}

const SystemDescription& describeSystem(int system) {
  if (!isKnownSystemCode(system)) {
    throw std::out_of_range("system " + std::to_string(system) + " is not one of 1 to 5");
  }
  return kSystems[static_cast<std::size_t>(system - kFirstSystem)];
}

bool isGaussKrueger(int system) {
  return describeSystem(system).gaussKrueger;
}

bool hasThreeDegreeZones(int system, int zoneWidth) {
  switch (describeSystem(system).zones) {
    case ZoneScheme::ThreeDegrees:
      return true;
    case ZoneScheme::SixDegrees:
      return false;
    case ZoneScheme::ByZoneWidth:
      return zoneWidth == kThreeDegreeZones;
  }
  return false;
}

ZoneRange outputZoneRange(int system, int zoneWidth) {
  return hasThreeDegreeZones(system, zoneWidth) ? kThreeDegreeZoneRange : kSixDegreeZoneRange;
}

std::string systemTitle(int system, int zoneWidth) {
  const SystemDescription& description = describeSystem(system);
  std::string title = std::string(description.ellipsoid) + " / " + description.grid;
  if (description.gaussKrueger) {
    title += hasThreeDegreeZones(system, zoneWidth) ? " 3 deg" : " 6 deg";
  }
  return title;
}

std::optional<std::string> officialDatumProblem(int fromSystem, int toSystem) {
  if (fromSystem == toSystem) return std::nullopt;
  for (const int system : {fromSystem, toSystem}) {
    const SystemDescription& description = describeSystem(system);
    if (!description.officialDatum) {
      return "system " + std::to_string(system) + " (" + description.ellipsoid +
             ") has no official datum transformation";
    }
  }
  return std::nullopt;
}

bool officialDatumUsesGrid(int fromSystem, int toSystem) {
  // DHDN (system 1) is joined to ETRS89 by the NTv2 grid; the others by Helmert steps or not at
  // all.
  constexpr int kGridJoinedSystem = 1;
  return fromSystem != toSystem &&
         (fromSystem == kGridJoinedSystem || toSystem == kGridJoinedSystem);
}

std::optional<CoordinateSystem> parseCoordinateSystem(std::string_view text) {
  constexpr std::size_t kNameLength = 3;  // type letter, colon, system digit
  if (text.size() != kNameLength || text[1] != ':') return std::nullopt;
  CoordinateSystem parsed{};
  switch (text[0]) {
    case 'E':
    case 'e':
      parsed.type = CoordinateType::Grid;
      break;
    case 'G':
    case 'g':
      parsed.type = CoordinateType::Geographic;
      break;
    default:
      return std::nullopt;
  }
  parsed.system = text[2] - '0';
  if (!isKnownSystemCode(parsed.system)) return std::nullopt;
  return parsed;
}

std::string formatCoordinateSystem(CoordinateSystem system) {
  return std::string(engineTypeCode(system.type)) + ":" + std::to_string(system.system);
}

const char* engineTypeCode(CoordinateType type) {
  return type == CoordinateType::Grid ? "E" : "G";
}

namespace {

constexpr std::string_view kEpsgPrefix = "EPSG:";
// An OGC URN: the prefix, a version (often empty), a colon and the code.
constexpr std::string_view kEpsgUrnPrefix = "urn:ogc:def:crs:EPSG:";
constexpr std::size_t kMostEpsgDigits = 9;     // EPSG codes are far shorter; more is a typo
constexpr std::size_t kNearestCodesNamed = 3;  // how many supported codes a refusal names
// WGS 84 / UTM zones: north 32601-32660, south 32701-32760 (zone 1 to 60 in the last digits).
constexpr int kWgs84UtmNorthCodes = 32600;
constexpr int kWgs84UtmSouthCodes = 32700;
constexpr int kUtmSouthFalseNorthing = 10000000;  // m, of the south zones

bool startsWithIgnoringCase(std::string_view text, std::string_view prefix) {
  if (text.size() < prefix.size()) return false;
  for (std::size_t i = 0; i < prefix.size(); ++i) {
    if (std::toupper(static_cast<unsigned char>(text[i])) !=
        std::toupper(static_cast<unsigned char>(prefix[i]))) {
      return false;
    }
  }
  return true;
}

bool allDigits(std::string_view text) {
  return !text.empty() &&
         std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// The part of the text that should be an EPSG code's number, in any of its forms; nothing when
// the text is in none of them.
std::optional<std::string_view> epsgNumberText(std::string_view text) {
  if (startsWithIgnoringCase(text, kEpsgPrefix)) return text.substr(kEpsgPrefix.size());
  if (startsWithIgnoringCase(text, kEpsgUrnPrefix)) {
    const std::string_view versionAndCode = text.substr(kEpsgUrnPrefix.size());
    const std::size_t colon = versionAndCode.find(':');
    return colon == std::string_view::npos ? versionAndCode : versionAndCode.substr(colon + 1);
  }
  if (allDigits(text)) return text;
  return std::nullopt;
}

std::string quotedName(std::string_view role, std::string_view text) {
  return std::string(role) + " '" + std::string(text) + "'";
}

[[noreturn]] void refuseAsNoSystem(std::string_view text, std::string_view role) {
  throw std::invalid_argument(quotedName(role, text) +
                              " is not a coordinate system: write TYPE:SYSTEM with TYPE E "
                              "(grid) or G (geographic) and SYSTEM 1 to 5, e.g. 'E:1' or 'G:3', "
                              "or an EPSG code, e.g. 'EPSG:31467'");
}

std::string listedCodes(const std::vector<int>& codes) {
  std::string list;
  for (std::size_t i = 0; i < codes.size(); ++i) {
    if (i > 0) list += ", ";
    list += std::to_string(codes[i]) + " (" + findEpsgCode(codes[i])->name + ")";
  }
  return list;
}

// The refusal of a code that is not in the table: a UTM south zone says so; another code names
// the supported codes of its kind, or else the nearest.
[[noreturn]] void refuseUnknownCode(int code, std::string_view text, std::string_view role) {
  const int southZone = code - kWgs84UtmSouthCodes;
  const EpsgCode* north = kSixDegreeZoneRange.contains(southZone)
                              ? findEpsgCode(kWgs84UtmNorthCodes + southZone)
                              : nullptr;
  if (north != nullptr) {
    std::string southName = north->name;
    southName.back() = 'S';  // "WGS 84 / UTM zone 32N" -> "... 32S"
    throw std::invalid_argument(quotedName(role, text) + " is " + southName +
                                ": UTM south zones are not supported, the grids have no false "
                                "northing (subtract " +
                                std::to_string(kUtmSouthFalseNorthing) +
                                " m from the northings and name EPSG:" +
                                std::to_string(north->code) + ", " + north->name + ")");
  }
  const std::vector<int> similar = similarEpsgCodes(code, kNearestCodesNamed);
  if (!similar.empty()) {
    throw std::invalid_argument(
        quotedName(role, text) +
        " is not a supported EPSG code; supported codes like it: " + listedCodes(similar));
  }
  throw std::invalid_argument(quotedName(role, text) + " is not a supported EPSG code; nearest: " +
                              listedCodes(nearestEpsgCodes(code, kNearestCodesNamed)));
}

NamedSystem namedByEpsgCode(std::string_view text, std::string_view digits, std::string_view role) {
  if (!allDigits(digits) || digits.size() > kMostEpsgDigits) {
    throw std::invalid_argument(quotedName(role, text) +
                                " is not an EPSG code: write EPSG:n with a number n, e.g. "
                                "'EPSG:31467'");
  }
  const int code = std::stoi(std::string(digits));
  // A bare system code ("3") is no EPSG code: the type is missing.
  if (digits.size() == text.size() && isKnownSystemCode(code)) refuseAsNoSystem(text, role);
  const EpsgCode* row = findEpsgCode(code);
  if (row == nullptr) refuseUnknownCode(code, text, role);
  NamedSystem named{row->system, std::nullopt, std::nullopt, row->code, row->height};
  if (row->system.type == CoordinateType::Grid) {
    named.zone = row->zone;
    named.zoneWidth = row->zoneWidth;
  }
  return named;
}

// "EPSG:31467+7837": the vertical part of a compound name, which must be DHHN2016, on a
// horizontal system whose heights it can be.
NamedSystem namedCompound(std::string_view text, std::string_view role, std::size_t plus) {
  const std::string_view vertical = text.substr(plus + 1);
  const std::string_view digits = startsWithIgnoringCase(vertical, kEpsgPrefix)
                                      ? vertical.substr(kEpsgPrefix.size())
                                      : vertical;
  if (digits != std::to_string(kDhhn2016Code)) {
    throw std::invalid_argument(quotedName(role, text) + ": the vertical CRS '" +
                                std::string(vertical) +
                                "' is not supported; heights are DHHN2016 (EPSG:7837), e.g. "
                                "'EPSG:31467+7837'");
  }
  NamedSystem named = parseSystemName(text.substr(0, plus), role);
  if (named.height != HeightKind::None) {
    throw std::invalid_argument(quotedName(role, text) +
                                ": its horizontal part has heights of its own already");
  }
  // Germany's own systems; the global frame gives ellipsoidal heights (EPSG:9989).
  const int system = named.system.system;
  if (!describeSystem(system).officialDatum || system == kItrf2020System) {
    throw std::invalid_argument(quotedName(role, text) +
                                ": DHHN2016 heights go with systems 1, 3 "
                                "and 4 (Germany's), not system " +
                                std::to_string(system));
  }
  named.height = HeightKind::Normal;
  return named;
}

}  // namespace

NamedSystem parseSystemName(std::string_view text, std::string_view role) {
  if (const std::size_t at = text.rfind('@'); at != std::string_view::npos) {
    const std::optional<double> epoch = parseEpoch(text.substr(at + 1));
    if (!epoch || !isAcceptableEpoch(*epoch)) {
      throw std::invalid_argument(quotedName(role, text) + ": the epoch '" +
                                  std::string(text.substr(at + 1)) +
                                  "' is no decimal year or date from 1990 to 2100, e.g. "
                                  "'EPSG:9990@2026.9'");
    }
    NamedSystem named = parseSystemName(text.substr(0, at), role);
    if (named.epoch) throw std::invalid_argument(quotedName(role, text) + " has two epochs");
    named.epoch = epoch;
    return named;
  }
  if (const std::size_t plus = text.find('+'); plus != std::string_view::npos) {
    return namedCompound(text, role, plus);
  }
  if (const std::optional<CoordinateSystem> parsed = parseCoordinateSystem(text)) {
    return {*parsed, std::nullopt, std::nullopt, 0};
  }
  if (const std::optional<std::string_view> digits = epsgNumberText(text)) {
    return namedByEpsgCode(text, *digits, role);
  }
  refuseAsNoSystem(text, role);
}

bool utmZoneFitsEasting(int zone, double easting) {
  if (!kUtmInputZoneRange.contains(zone)) return false;
  const bool prefixed = easting >= kSmallestPrefixedUtmEasting;
  if (zone == kZoneFromEasting) return prefixed;
  return !prefixed || std::trunc(easting / kZoneMultiplier) == zone;
}

namespace {

constexpr double kQuarterCircle = 90.0;  // deg: equator to pole

bool isFinitePair(double x, double y) {
  return std::isfinite(x) && std::isfinite(y);
}

// The easting without a zone prefix; zone is the UTM zone the easting is read in.
double unprefixedEasting(int system, int zone, double easting) {
  if (isGaussKrueger(system))
    return easting - std::trunc(easting / kZoneMultiplier) * kZoneMultiplier;
  return easting >= kSmallestPrefixedUtmEasting ? easting - zone * kZoneMultiplier : easting;
}

// Whether an unprefixed easting lies within `degrees` of longitude of its zone's central meridian:
// the half width along the parallel of the point, k0 N cos(phi) times the degrees, with phi
// estimated from the northing as if it were all meridian arc (within 0.05 deg of the footpoint
// latitude within 4 deg of the meridian, which moves the edge by less than 0.01 deg).
bool unprefixedWithinDegrees(int system, double easting, double northing, double degrees) {
  const engine::GeodeticRow& row = engine::geodeticRow(system);
  // Most points lie well inside: up to 60 deg of latitude the band is at least half as wide as
  // on the equator, which answers them without the cosine.
  constexpr double kQuickLatitude = 60.0;  // deg; cos 60 deg = 1/2
  const double quickHalfWidth =
      0.5 * row.scaleFactor * row.semiMajorAxis * (degrees / engine::kDegreesPerRadian);
  if (std::fabs(northing) <= row.scaleFactor * row.arc[0] * kQuickLatitude &&
      std::fabs(easting - engine::kFalseEasting) <= quickHalfWidth) {
    return true;
  }
  const double latitude =
      std::fmin(std::fabs(northing) / (row.scaleFactor * row.arc[0]), kQuarterCircle);
  const double cosPhi = std::cos(latitude / engine::kDegreesPerRadian);
  const double e2 = row.secondEccentricity * row.secondEccentricity;
  const double n = row.semiMajorAxis * std::sqrt((1.0 + e2) / (1.0 + e2 * cosPhi * cosPhi));
  const double halfWidth = row.scaleFactor * n * cosPhi * (degrees / engine::kDegreesPerRadian);
  return std::fabs(easting - engine::kFalseEasting) <= halfWidth;
}

bool unprefixedWithinBand(int system, double easting, double northing) {
  return unprefixedWithinDegrees(system, easting, northing, kProjectionBandDegrees);
}

}  // namespace

const char* describeRangeProblem(RangeProblem problem) {
  switch (problem) {
    case RangeProblem::None:
      return "";
    case RangeProblem::NotFinite:
      return "a coordinate is not a finite number";
    case RangeProblem::OutsideCoordinates:
      return "outside the range of coordinates (longitude -180 to 180 deg, latitude -90 to 90 "
             "deg, grid coordinates within 1e9 m)";
    case RangeProblem::NoSuchZone:
      return "in no zone of its system (UTM 1 to 60, Gauss-Krueger 0 to 119 in 3 deg zones, 1 to "
             "60 in 6 deg zones)";
    case RangeProblem::BeyondPole:
      return "northing beyond the pole";
    case RangeProblem::BeyondProjectionLimit:
      return "too far from its zone's central meridian for the projection to be exact to 0.1 mm";
    case RangeProblem::OutsideGrid:
      return "outside the NTv2 grid of the official datum shift";
    case RangeProblem::OutsideOfficialArea:
      return "outside the area of use of EPSG:1775 (50.2 to 54.74 deg N, 9.92 to 15.04 deg E)";
    case RangeProblem::OutsidePolynomialArea:
      return "outside the area of the polynomial datum shifts (5 deg E to 15 deg 20' E, 47 deg N "
             "to 55 deg 12' N, Germany and its borders)";
    case RangeProblem::NoZoneOfTarget:
      return "its zone would be none of the target grid's zones";
    case RangeProblem::ImpossibleResult:
      return "the conversion gives no point (not finite, or beyond 90 deg latitude)";
    case RangeProblem::HeightOutOfRange:
      return "a height that is not a finite number within 10 km of the ellipsoid";
    case RangeProblem::OutsideGeoid:
      return "outside the quasigeoid grid, or in a cell of it without value (GCG2016: Germany)";
    case RangeProblem::EpochOutOfRange:
      return "an epoch that is no decimal year from 1990 to 2100";
  }
  return "";
}

const char* rangeProblemName(RangeProblem problem) {
  switch (problem) {
    case RangeProblem::None:
      return "";
    case RangeProblem::NotFinite:
      return "not_finite";
    case RangeProblem::OutsideCoordinates:
      return "outside_coordinates";
    case RangeProblem::NoSuchZone:
      return "no_such_zone";
    case RangeProblem::BeyondPole:
      return "beyond_pole";
    case RangeProblem::BeyondProjectionLimit:
      return "beyond_projection_limit";
    case RangeProblem::OutsideGrid:
      return "outside_grid";
    case RangeProblem::OutsideOfficialArea:
      return "outside_official_area";
    case RangeProblem::OutsidePolynomialArea:
      return "outside_polynomial_area";
    case RangeProblem::NoZoneOfTarget:
      return "no_zone_of_target";
    case RangeProblem::ImpossibleResult:
      return "impossible_result";
    case RangeProblem::HeightOutOfRange:
      return "height_out_of_range";
    case RangeProblem::OutsideGeoid:
      return "outside_geoid";
    case RangeProblem::EpochOutOfRange:
      return "epoch_out_of_range";
  }
  return "";
}

RangeProblem checkGridInput(int system, int zoneWidth, int zone, double easting, double northing) {
  if (!isFinitePair(easting, northing)) return RangeProblem::NotFinite;
  if (!withinCoordinateRange(CoordinateType::Grid, easting, northing)) {
    return RangeProblem::OutsideCoordinates;
  }
  int gridZone = zone;
  if (isGaussKrueger(system)) {
    gridZone = engine::truncateToInt(easting / kZoneMultiplier);
    if (!outputZoneRange(system, zoneWidth).contains(gridZone)) return RangeProblem::NoSuchZone;
  } else {
    if (!utmZoneFitsEasting(zone, easting)) return RangeProblem::NoSuchZone;
    if (zone == kZoneFromEasting) gridZone = engine::truncateToInt(easting / kZoneMultiplier);
    if (!kSixDegreeZoneRange.contains(gridZone)) return RangeProblem::NoSuchZone;
  }
  const engine::GeodeticRow& row = engine::geodeticRow(system);
  if (std::fabs(northing) > row.scaleFactor * row.arc[0] * kQuarterCircle) {
    return RangeProblem::BeyondPole;
  }
  if (std::fabs(unprefixedEasting(system, gridZone, easting) - engine::kFalseEasting) >
      row.scaleFactor * kProjectionLimitMetres) {
    return RangeProblem::BeyondProjectionLimit;
  }
  return RangeProblem::None;
}

RangeProblem checkInput(CoordinateSystem source, int zoneWidth, int zone, double x, double y) {
  if (source.type == CoordinateType::Grid)
    return checkGridInput(source.system, zoneWidth, zone, x, y);
  if (!isFinitePair(x, y)) return RangeProblem::NotFinite;
  return withinCoordinateRange(CoordinateType::Geographic, x, y) ? RangeProblem::None
                                                                 : RangeProblem::OutsideCoordinates;
}

RangeProblem checkOutput(CoordinateSystem target, int zoneWidth, double x, double y, int zone) {
  if (!isFinitePair(x, y)) return RangeProblem::ImpossibleResult;
  if (target.type == CoordinateType::Geographic) {
    return std::fabs(y) <= kHighestLatitude ? RangeProblem::None : RangeProblem::ImpossibleResult;
  }
  return outputZoneRange(target.system, zoneWidth).contains(zone) ? RangeProblem::None
                                                                  : RangeProblem::NoZoneOfTarget;
}

bool isUtmLatitudeBand(char band) {
  const char upper = band >= 'a' && band <= 'z' ? static_cast<char>(band - 'a' + 'A') : band;
  return kUtmLatitudeBands.find(upper) != std::string_view::npos && band != '\0';
}

bool utmBandFitsNorthing(int system, char band, double northing) {
  if (!isKnownSystemCode(system) || !isUtmLatitudeBand(band)) return false;
  const char upper = band >= 'a' && band <= 'z' ? static_cast<char>(band - 'a' + 'A') : band;
  const auto index = static_cast<double>(kUtmLatitudeBands.find(upper));
  const double south = kLowestBandLatitude + index * kBandHeight;
  const double north =
      upper == kUtmLatitudeBands.back() ? kHighestBandLatitude : south + kBandHeight;
  const engine::GeodeticRow& row = engine::geodeticRow(system);
  const double latitude = northing / (row.scaleFactor * row.arc[0]);
  return latitude >= south - kBandTolerance && latitude <= north + kBandTolerance;
}

bool withinProjectionBand(int system, double easting, double northing) {
  if (!isKnownSystemCode(system) || !isFinitePair(easting, northing)) return false;
  const int zone = engine::truncateToInt(easting / kZoneMultiplier);
  return unprefixedWithinBand(system, unprefixedEasting(system, zone, easting), northing);
}

double zoneWidthDegrees(int system, int zoneWidth) {
  return hasThreeDegreeZones(system, zoneWidth) ? engine::kThreeDegreeZone : engine::kSixDegreeZone;
}

bool fartherThanZoneWidth(int system, int zoneWidth, int zone, double easting, double northing) {
  if (!isKnownSystemCode(system) || !isFinitePair(easting, northing)) return false;
  const bool prefixed = isGaussKrueger(system) || easting >= kSmallestPrefixedUtmEasting;
  const double unprefixed = prefixed ? easting - zone * kZoneMultiplier : easting;
  return !unprefixedWithinDegrees(system, unprefixed, northing,
                                  zoneWidthDegrees(system, zoneWidth));
}

std::string describeFarForcedZone(int zone, int system, int zoneWidth) {
  return "zone " + std::to_string(zone) + " lies more than " +
         std::to_string(static_cast<int>(zoneWidthDegrees(system, zoneWidth))) +
         " deg of longitude from some points; they are converted exactly, but check that the "
         "zone is the one meant";
}

bool isAcceptableInput(CoordinateSystem from, double x, double y, int zone) {
  if (!withinCoordinateRange(from.type, x, y)) return false;
  return from.type != CoordinateType::Grid || isGaussKrueger(from.system) ||
         utmZoneFitsEasting(zone, x);
}

}  // namespace nuvex
