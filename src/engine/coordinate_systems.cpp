// The vocabulary of coordinate systems: names, zones and coordinate ranges (nuvex/systems.h).
#include <cmath>
#include <stdexcept>

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

NamedSystem parseSystemName(std::string_view text, std::string_view role) {
  if (const std::optional<CoordinateSystem> parsed = parseCoordinateSystem(text)) {
    return {*parsed, std::nullopt, std::nullopt, 0};
  }
  throw std::invalid_argument(std::string(role) + " '" + std::string(text) +
                              "' is not a coordinate system: write TYPE:SYSTEM with TYPE E "
                              "(grid) or G (geographic) and SYSTEM 1 to 4, e.g. 'E:1' or 'G:3'");
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
