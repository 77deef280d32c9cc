// The vocabulary of coordinate systems: names, zones and coordinate ranges (nuvex/systems.h).
#include <algorithm>
#include <cctype>
#include <cmath>
#include <stdexcept>
#include <vector>

#include "nuvex/systems.h"

namespace nuvex {

bool isKnownSystemCode(int system) {
  return system >= kFirstSystem && system <= kLastSystem;
}

const SystemDescription& describeSystem(int system) {
  if (!isKnownSystemCode(system)) {
    throw std::out_of_range("system " + std::to_string(system) + " is not one of 1, 2, 3, 4");
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
constexpr std::size_t kMostEpsgDigits = 9;     // EPSG codes are far shorter; more is a typo
constexpr std::size_t kNearestCodesNamed = 3;  // how many supported codes a refusal names

bool startsWithEpsg(std::string_view text) {
  if (text.size() < kEpsgPrefix.size()) return false;
  for (std::size_t i = 0; i < kEpsgPrefix.size(); ++i) {
    if (std::toupper(static_cast<unsigned char>(text[i])) != kEpsgPrefix[i]) return false;
  }
  return true;
}

std::string quotedName(std::string_view role, std::string_view text) {
  return std::string(role) + " '" + std::string(text) + "'";
}

NamedSystem namedByEpsgCode(std::string_view text, std::string_view role) {
  const std::string_view digits = text.substr(kEpsgPrefix.size());
  const bool allDigits =
      !digits.empty() && digits.size() <= kMostEpsgDigits &&
      std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; });
  if (!allDigits) {
    throw std::invalid_argument(quotedName(role, text) +
                                " is not an EPSG code: write EPSG:n with a number n, e.g. "
                                "'EPSG:31467'");
  }
  const int code = std::stoi(std::string(digits));
  const EpsgCode* row = findEpsgCode(code);
  if (row == nullptr) {
    std::string message = quotedName(role, text) + " is not a supported EPSG code; nearest: ";
    const std::vector<int> nearest = nearestEpsgCodes(code, kNearestCodesNamed);
    for (std::size_t i = 0; i < nearest.size(); ++i) {
      if (i > 0) message += ", ";
      message += std::to_string(nearest[i]) + " (" + findEpsgCode(nearest[i])->name + ")";
    }
    throw std::invalid_argument(message);
  }
  NamedSystem named{row->system, std::nullopt, std::nullopt, row->code};
  if (row->system.type == CoordinateType::Grid) {
    named.zone = row->zone;
    named.zoneWidth = row->zoneWidth;
  }
  return named;
}

}  // namespace

NamedSystem parseSystemName(std::string_view text, std::string_view role) {
  if (const std::optional<CoordinateSystem> parsed = parseCoordinateSystem(text)) {
    return {*parsed, std::nullopt, std::nullopt, 0};
  }
  if (startsWithEpsg(text)) return namedByEpsgCode(text, role);
  throw std::invalid_argument(quotedName(role, text) +
                              " is not a coordinate system: write TYPE:SYSTEM with TYPE E "
                              "(grid) or G (geographic) and SYSTEM 1 to 4, e.g. 'E:1' or 'G:3', "
                              "or an EPSG code, e.g. 'EPSG:31467'");
}

bool withinCoordinateRange(CoordinateType type, double x, double y) {
  // Non-short-circuit: callers check every point, and one predictable branch is cheaper.
  if (type == CoordinateType::Geographic) {
    return (x >= kLowestLongitude) & (x <= kHighestLongitude) & (y >= kLowestLatitude) &
           (y <= kHighestLatitude);
  }
  return (std::fabs(x) <= kLargestGridCoordinate) & (std::fabs(y) <= kLargestGridCoordinate);
}

bool utmZoneFitsEasting(int zone, double easting) {
  if (!kUtmInputZoneRange.contains(zone)) return false;
  const bool prefixed = easting >= kSmallestPrefixedUtmEasting;
  if (zone == kZoneFromEasting) return prefixed;
  return !prefixed || std::trunc(easting / kZoneMultiplier) == zone;
}

bool isAcceptableInput(CoordinateSystem from, double x, double y, int zone) {
  if (!withinCoordinateRange(from.type, x, y)) return false;
  return from.type != CoordinateType::Grid || isGaussKrueger(from.system) ||
         utmZoneFitsEasting(zone, x);
}

}  // namespace nuvex
