#include "array_conversion.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <stdexcept>
#include <system_error>
#include <thread>
#include <vector>

namespace nuvex::python {
namespace {

// Below this many points per thread, starting a thread costs more than it saves.
constexpr std::size_t kFewestPointsPerThread = 16384;
// Shares start at multiples of this many points, so that the engine's vector path groups the
// points into the same blocks as in one call and threads change no result in its last bit.
constexpr std::size_t kShareAlignment = 64;
// Points converted and then checked while they are still in the cache (a multiple of the above).
constexpr std::size_t kChunkPoints = 4096;

constexpr double kNotANumber = std::numeric_limits<double>::quiet_NaN();
constexpr double kLargestFinite = std::numeric_limits<double>::max();

CoordinateSystem engineSystem(const cli::Endpoint& endpoint) {
  return {endpoint.type == cli::CoordinateType::Grid ? CoordinateType::Grid
                                                     : CoordinateType::Geographic,
          endpoint.system};
}

bool isUtm(int system) {
  return !cli::isGaussKrueger(system);
}

const ConversionSettings& checked(const ConversionSettings& settings) {
  if (settings.zoneWidth != cli::kThreeDegreeZones && settings.zoneWidth != cli::kSixDegreeZones) {
    throw std::invalid_argument("zone_width " + std::to_string(settings.zoneWidth) +
                                " is not 3 or 6 (degrees)");
  }
  if (!settings.targetZone) return settings;
  const std::string zone = "zone " + std::to_string(*settings.targetZone);
  if (settings.to.type != cli::CoordinateType::Grid) {
    throw std::invalid_argument(zone + ": the target " + systemText(settings.to) +
                                " is geographic and has no zone");
  }
  const cli::ZoneRange range = cli::outputZoneRange(settings.to.system, settings.zoneWidth);
  if (!range.contains(*settings.targetZone)) {
    throw std::invalid_argument(
        zone + ": zones of " + cli::systemTitle(settings.to.system, settings.zoneWidth) + " are " +
        std::to_string(range.lowest) + " to " + std::to_string(range.highest));
  }
  return settings;
}

// Non-short-circuit: the checks of a point cost one predictable branch, not one per test.
bool within(double value, double lowest, double highest) {
  return (value >= lowest) & (value <= highest);
}

// The converter's rule for a UTM input zone: 0 takes the zone from a prefixed easting; a given
// zone must agree with a prefix the easting carries.
bool utmZoneFits(int zone, double easting) {
  if (!cli::kUtmInputZoneRange.contains(zone)) return false;
  const bool prefixed = easting >= cli::kSmallestPrefixedUtmEasting;
  if (zone == cli::kZoneFromEasting) return prefixed;
  return !prefixed || std::trunc(easting / cli::kZoneMultiplier) == zone;
}

// Input within the limits and finite results (the engine gives NaN for points it cannot convert).
bool withinLimits(const InputLimits& limits, const PointArrays& points, std::size_t i) {
  return within(points.x[i], limits.lowestX, limits.highestX) &
         within(points.y[i], limits.lowestY, limits.highestY) &
         (std::fabs(points.xOut[i]) <= kLargestFinite) &
         (std::fabs(points.yOut[i]) <= kLargestFinite);
}

// The converter's ranges of input coordinates: longitude and latitude (deg) or grid (m).
InputLimits limitsOf(const cli::Endpoint& from) {
  if (from.type == cli::CoordinateType::Geographic) {
    return {cli::kLowestLongitude, cli::kHighestLongitude, cli::kLowestLatitude,
            cli::kHighestLatitude};
  }
  return {-cli::kLargestGridCoordinate, cli::kLargestGridCoordinate, -cli::kLargestGridCoordinate,
          cli::kLargestGridCoordinate};
}

}  // namespace

cli::Endpoint parseSystem(const std::string& text, const char* role) {
  if (const std::optional<cli::Endpoint> endpoint = cli::parseEndpoint(text)) return *endpoint;
  throw std::invalid_argument(std::string(role) + " '" + text +
                              "' is not a coordinate system: write TYPE:SYSTEM with TYPE E "
                              "(grid) or G (geographic) and SYSTEM 1 to 4, e.g. 'E:1' or 'G:3'");
}

std::string systemText(const cli::Endpoint& endpoint) {
  return std::string(cli::engineTypeCode(endpoint.type)) + ":" + std::to_string(endpoint.system);
}

ArrayConverter::ArrayConverter(const ConversionSettings& settings)
    : settings_(checked(settings)),
      transformer_(
          engineSystem(settings.from), engineSystem(settings.to),
          {settings.zoneWidth, !settings.targetZone.has_value(), settings.targetZone.value_or(0)},
          settings.datum),
      inputLimits_(limitsOf(settings.from)),
      utmInput_(settings.from.type == cli::CoordinateType::Grid && isUtm(settings.from.system)),
      utmPrefix_(settings.zonePrefix && settings.to.type == cli::CoordinateType::Grid &&
                 isUtm(settings.to.system)) {}

void ArrayConverter::requireInputZones() const {
  if (settings_.from.type != cli::CoordinateType::Grid) {
    throw std::invalid_argument("zone: the source " + systemText(settings_.from) +
                                " is geographic and has no zone");
  }
  if (cli::isGaussKrueger(settings_.from.system)) {
    throw std::invalid_argument("zone: Gauss-Krueger eastings of system " +
                                std::to_string(settings_.from.system) +
                                " carry their zone in the millions; leave zone=None");
  }
}

void ArrayConverter::convert(const PointArrays& points, unsigned threads) const noexcept {
  const std::size_t shares =
      std::clamp<std::size_t>(points.count / kFewestPointsPerThread, 1, std::max(threads, 1U));
  const std::size_t perShare = ((points.count + shares - 1) / shares + kShareAlignment - 1) /
                               kShareAlignment * kShareAlignment;
  std::vector<std::thread> workers;
  for (std::size_t share = 1; share < shares; ++share) {
    const std::size_t begin = std::min(points.count, share * perShare);
    const std::size_t end = std::min(points.count, begin + perShare);
    try {
      workers.emplace_back([this, &points, begin, end] { convertRange(points, begin, end); });
    } catch (const std::system_error&) {
      convertRange(points, begin, end);  // no thread to be had: this one does the share
    }
  }
  convertRange(points, 0, std::min(points.count, perShare));
  for (std::thread& worker : workers) worker.join();
}

void ArrayConverter::convertRange(const PointArrays& points, std::size_t begin,
                                  std::size_t end) const noexcept {
  for (std::size_t chunk = begin; chunk < end; chunk += kChunkPoints) {
    convertChunk(points, chunk, std::min(end, chunk + kChunkPoints));
  }
}

void ArrayConverter::convertChunk(const PointArrays& points, std::size_t begin,
                                  std::size_t end) const noexcept {
  const int* zone = points.zone != nullptr ? points.zone + begin : nullptr;
  transformer_.transform(end - begin, points.x + begin, points.y + begin, zone, points.xOut + begin,
                         points.yOut + begin, points.zoneOut + begin, points.status + begin);
  markUnacceptable(points, begin, end);
  if (!utmPrefix_) return;
  for (std::size_t i = begin; i < end; ++i) {
    if (points.status[i] == kPointConverted) {
      points.xOut[i] += points.zoneOut[i] * cli::kZoneMultiplier;
    }
  }
}

// Marks the points the engine converted although they are no valid input, or whose results are
// not finite, as not converted.
void ArrayConverter::markUnacceptable(const PointArrays& points, std::size_t begin,
                                      std::size_t end) const noexcept {
  const InputLimits limits = inputLimits_;  // a local copy the compiler keeps in registers
  for (std::size_t i = begin; i < end; ++i) {
    bool acceptable = withinLimits(limits, points, i);
    if (utmInput_ && acceptable) {
      acceptable = utmZoneFits(points.zone != nullptr ? points.zone[i] : 0, points.x[i]);
    }
    if (!acceptable) {
      points.xOut[i] = kNotANumber;
      points.yOut[i] = kNotANumber;
      points.zoneOut[i] = 0;
      points.status[i] = kPointWithoutPath;
    }
  }
}

}  // namespace nuvex::python
