#include "coordinate_systems.h"

namespace nuvex::cli {

const SystemDescription& describeSystem(int system) {
  return kSystems.at(static_cast<std::size_t>(system - kFirstSystem));
}

bool isGaussKrueger(int system) {
  return describeSystem(system).gaussKrueger;
}

static bool hasThreeDegreeZones(int system, int zoneWidth) {
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

std::optional<Endpoint> parseEndpoint(std::string_view text) {
  constexpr std::size_t kEndpointLength = 3;  // type letter, colon, system digit
  if (text.size() != kEndpointLength || text[1] != ':') return std::nullopt;
  Endpoint endpoint{};
  switch (text[0]) {
    case 'E':
    case 'e':
      endpoint.type = CoordinateType::Grid;
      break;
    case 'G':
    case 'g':
      endpoint.type = CoordinateType::Geographic;
      break;
    default:
      return std::nullopt;
  }
  endpoint.system = text[2] - '0';
  if (endpoint.system < kFirstSystem || endpoint.system > kLastSystem) return std::nullopt;
  return endpoint;
}

const char* engineTypeCode(CoordinateType type) {
  return type == CoordinateType::Grid ? "E" : "G";
}

}  // namespace nuvex::cli
