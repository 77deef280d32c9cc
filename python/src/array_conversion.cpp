#include "array_conversion.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <charconv>
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
// The threads take chunks of this many points in turn, each the next one not yet taken: a thread
// the machine slows down leaves its share to the others. Chunks start at multiples of it for any
// number of threads, so that the engine's vector path groups the points into the same blocks and
// threads change no result in its last bit; each chunk is checked while it is still in the cache.
constexpr std::size_t kChunkPoints = 4096;

constexpr double kNotANumber = std::numeric_limits<double>::quiet_NaN();

bool isUtm(int system) {
  return !isGaussKrueger(system);
}

const ConversionSettings& checked(const ConversionSettings& settings) {
  if (settings.zoneWidth != kThreeDegreeZones && settings.zoneWidth != kSixDegreeZones) {
    throw std::invalid_argument("zone_width " + std::to_string(settings.zoneWidth) +
                                " is not 3 or 6 (degrees)");
  }
  if (!settings.targetZone) return settings;
  const std::string zone = "zone " + std::to_string(*settings.targetZone);
  if (settings.to.type != CoordinateType::Grid) {
    throw std::invalid_argument(zone + ": the target " + systemText(settings.to) +
                                " is geographic and has no zone");
  }
  const ZoneRange range = outputZoneRange(settings.to.system, settings.zoneWidth);
  if (!range.contains(*settings.targetZone)) {
    throw std::invalid_argument(
        zone + ": zones of " + systemTitle(settings.to.system, settings.zoneWidth) + " are " +
        std::to_string(range.lowest) + " to " + std::to_string(range.highest));
  }
  return settings;
}

}  // namespace

CoordinateSystem parseSystem(const std::string& text, const char* role) {
  return parseSystemName(text, role).system;
}

std::string systemText(const CoordinateSystem& system) {
  return formatCoordinateSystem(system);
}

namespace {

// The name as a compound CRS keeps it: its DHHN2016 heights are part of what it names.
std::string nameOf(const NamedSystem& named) {
  const std::string horizontal = named.epsgCode != 0 ? "EPSG:" + std::to_string(named.epsgCode)
                                                     : formatCoordinateSystem(named.system);
  const bool compound = named.height == HeightKind::Normal;
  return compound ? horizontal + "+" + std::to_string(kDhhn2016Code) : horizontal;
}

// The zone width of system 4 that an EPSG code on either side fixes.
std::optional<int> namedZoneWidth(const NamedSystem& from, const NamedSystem& to) {
  std::optional<int> width;
  for (const NamedSystem* side : {&from, &to}) {
    if (side->system.system != kLastSystem || !side->zoneWidth) continue;
    if (width && *width != *side->zoneWidth) {
      throw std::invalid_argument(nameOf(from) + " and " + nameOf(to) +
                                  " have zones of different widths: convert through 'G:4' in "
                                  "two steps");
    }
    width = side->zoneWidth;
  }
  return width;
}

// The shortest text that reads back as the number, as Python writes floats: "2026.9", "2027.0".
std::string numberText(double number) {
  std::array<char, 32> text{};
  const auto written = std::to_chars(text.data(), text.data() + text.size(), number);
  std::string shortest(text.data(), written.ptr);
  const bool whole = shortest.find_first_not_of("-0123456789") == std::string::npos;
  return whole ? shortest + ".0" : shortest;
}

// The names' epoch: "EPSG:9990@2026.9" gives its points' epoch; two names must not disagree.
void takeNamedEpoch(const NamedSystem& from, const NamedSystem& to, const std::string& source,
                    const std::string& target, ConversionSettings& settings) {
  if (from.epoch && to.epoch && *from.epoch != *to.epoch) {
    throw std::invalid_argument("the source " + source + " and the target " + target +
                                " name different epochs (" + numberText(*from.epoch) + " and " +
                                numberText(*to.epoch) + ")");
  }
  settings.namedEpoch = from.epoch ? from.epoch : to.epoch;
  if (settings.namedEpoch) settings.epochName = from.epoch ? source : target;
}

}  // namespace

ConversionSettings namedSettings(const std::string& source, const std::string& target,
                                 std::optional<int> zoneWidth, std::optional<int> zone,
                                 bool zonePrefix) {
  const NamedSystem from = parseSystemName(source, "source");
  const NamedSystem to = parseSystemName(target, "target");
  ConversionSettings settings{from.system,  to.system,  zoneWidth.value_or(kThreeDegreeZones),
                              zone,         zonePrefix, from.zone,
                              nameOf(from), nameOf(to)};
  if (const std::optional<int> width = namedZoneWidth(from, to)) {
    if (zoneWidth && *zoneWidth != *width) {
      throw std::invalid_argument("zone_width " + std::to_string(*zoneWidth) + ": " +
                                  nameOf(to.zoneWidth == width ? to : from) + " has " +
                                  std::to_string(*width) + " deg zones");
    }
    settings.zoneWidth = *width;
  }
  if (to.zone) {
    if (zone && *zone != *to.zone) {
      throw std::invalid_argument("zone " + std::to_string(*zone) + ": the target " + nameOf(to) +
                                  " is zone " + std::to_string(*to.zone));
    }
    if (zonePrefix && isUtm(to.system.system)) {
      throw std::invalid_argument("zone_prefix: eastings of " + nameOf(to) +
                                  " carry no zone in their millions");
    }
    settings.targetZone = to.zone;
  }
  settings.heights.from = from.height;
  settings.heights.to = to.height;
  takeNamedEpoch(from, to, source, target, settings);
  return settings;
}

ArrayConverter::ArrayConverter(const ConversionSettings& settings)
    : settings_(checked(settings)),
      transformer_(
          settings.from, settings.to,
          {settings.zoneWidth, !settings.targetZone.has_value(), settings.targetZone.value_or(0)},
          settings.datum, settings.heights),
      utmInput_(settings.from.type == CoordinateType::Grid && isUtm(settings.from.system)),
      utmPrefix_(settings.zonePrefix && settings.to.type == CoordinateType::Grid &&
                 isUtm(settings.to.system)),
      forcedGridZone_(settings.targetZone.has_value() && settings.to.type == CoordinateType::Grid) {
}

void ArrayConverter::requireInputZones() const {
  if (settings_.from.type != CoordinateType::Grid) {
    throw std::invalid_argument("zone: the source " + systemText(settings_.from) +
                                " is geographic and has no zone");
  }
  if (isGaussKrueger(settings_.from.system)) {
    throw std::invalid_argument("zone: Gauss-Krueger eastings of system " +
                                std::to_string(settings_.from.system) +
                                " carry their zone in the millions; leave zone=None");
  }
}

bool ArrayConverter::convert(const PointArrays& points, unsigned threads) const noexcept {
  const std::size_t workers =
      std::clamp<std::size_t>(points.count / kFewestPointsPerThread, 1, std::max(threads, 1U));
  const std::size_t chunks = (points.count + kChunkPoints - 1) / kChunkPoints;
  std::atomic<std::size_t> nextChunk{0};
  // One far point is enough: the chunks taken after it is found are not searched.
  std::atomic<bool> farPoint{false};
  const auto convertChunks = [this, &points, chunks, &nextChunk, &farPoint] {
    for (std::size_t chunk = nextChunk.fetch_add(1, std::memory_order_relaxed); chunk < chunks;
         chunk = nextChunk.fetch_add(1, std::memory_order_relaxed)) {
      const std::size_t begin = chunk * kChunkPoints;
      const bool lookForFarPoints = forcedGridZone_ && !farPoint.load(std::memory_order_relaxed);
      if (convertChunk(points, begin, std::min(points.count, begin + kChunkPoints),
                       lookForFarPoints)) {
        farPoint.store(true, std::memory_order_relaxed);
      }
    }
  };
  std::vector<std::thread> helpers;
  for (std::size_t worker = 1; worker < workers; ++worker) {
    try {
      helpers.emplace_back(convertChunks);
    } catch (const std::system_error&) {
      break;  // no thread to be had: the others take its chunks
    }
  }
  convertChunks();
  for (std::thread& helper : helpers) helper.join();
  return farPoint.load(std::memory_order_relaxed);
}

bool ArrayConverter::convertChunk(const PointArrays& points, std::size_t begin, std::size_t end,
                                  bool lookForFarPoints) const noexcept {
  const int* zone = points.zone != nullptr ? points.zone + begin : nullptr;
  std::array<int, kChunkPoints> namedZones;  // the source's EPSG zone for every point
  if (zone == nullptr && utmInput_ && settings_.sourceZone) {
    namedZones.fill(*settings_.sourceZone);
    zone = namedZones.data();
  }
  // The Transformer refuses what the points' systems cannot hold; a projected EPSG source also
  // refuses the points of its other zones. Heights and epochs, where given, go with their points.
  const auto at = [begin](auto* array) { return array != nullptr ? array + begin : nullptr; };
  transformer_.transform(
      end - begin,
      nuvex::PointArrays{points.x + begin, points.y + begin, at(points.z), at(points.epoch), zone},
      nuvex::ResultArrays{points.xOut + begin, points.yOut + begin, at(points.zOut),
                          points.zoneOut + begin, points.status + begin});
  if (settings_.sourceZone) markOutsideSourceZone(points, begin, end);
  // Before the zone prefix: a UTM easting far west or east of its zone would carry the millions of
  // a neighbouring zone.
  const bool farPoint = lookForFarPoints && holdsFarPoint(points, begin, end);
  if (utmPrefix_) {
    for (std::size_t i = begin; i < end; ++i) {
      if (points.status[i] == kPointConverted) {
        points.xOut[i] += points.zoneOut[i] * kZoneMultiplier;
      }
    }
  }
  return farPoint;
}

bool ArrayConverter::farFromForcedZone(double easting, double northing) const noexcept {
  return fartherThanZoneWidth(settings_.to.system, settings_.zoneWidth, *settings_.targetZone,
                              easting, northing);
}

// The library's rule compares a point's distance from its zone's central meridian with the zone
// width there, which narrows towards the poles: whether a point is far grows with its easting's
// distance from the false easting and with its northing's magnitude. Eastings of one million
// (the same zone prefix, or none) lie at the same offset from their meridian, so the chunk's
// westernmost and easternmost points, both taken at its largest northing, answer for all of its
// points when neither is far; otherwise its points are asked one by one.
bool ArrayConverter::holdsFarPoint(const PointArrays& points, std::size_t begin,
                                   std::size_t end) const noexcept {
  const double* x = points.xOut;
  const double* y = points.yOut;
  // Four independent minima and maxima, so that their comparisons need not wait on each other.
  // Points without a path are NaN, which no comparison picks.
  constexpr std::size_t kLanes = 4;
  std::array<double, kLanes> west, east, north;
  west.fill(std::numeric_limits<double>::infinity());
  east.fill(-std::numeric_limits<double>::infinity());
  north.fill(0.0);  // magnitudes of northings
  for (std::size_t i = begin; i < end; i += kLanes) {
    for (std::size_t lane = 0; lane < kLanes && i + lane < end; ++lane) {
      const double easting = x[i + lane];
      const double northing = std::fabs(y[i + lane]);
      west[lane] = easting < west[lane] ? easting : west[lane];
      east[lane] = easting > east[lane] ? easting : east[lane];
      north[lane] = northing > north[lane] ? northing : north[lane];
    }
  }
  const double westmost = *std::min_element(west.begin(), west.end());
  const double eastmost = *std::max_element(east.begin(), east.end());
  const double northmost = *std::max_element(north.begin(), north.end());
  if (westmost > eastmost) return false;  // no point converted
  if (std::trunc(westmost / kZoneMultiplier) == std::trunc(eastmost / kZoneMultiplier) &&
      !farFromForcedZone(westmost, northmost) && !farFromForcedZone(eastmost, northmost)) {
    return false;
  }
  for (std::size_t i = begin; i < end; ++i) {
    if (points.status[i] == kPointConverted && farFromForcedZone(x[i], y[i])) return true;
  }
  return false;
}

// A projected EPSG source is one zone: a UTM point's zone, a Gauss-Krueger easting's millions.
bool ArrayConverter::inSourceZone(int zone, double easting) const noexcept {
  if (utmInput_) return zone == *settings_.sourceZone;
  return std::trunc(easting / kZoneMultiplier) == *settings_.sourceZone;
}

void ArrayConverter::markOutsideSourceZone(const PointArrays& points, std::size_t begin,
                                           std::size_t end) const noexcept {
  // As the Transformer marks points: a converted height goes with its point, a carried one stays.
  double* zOut = convertsHeights() ? points.zOut : nullptr;
  for (std::size_t i = begin; i < end; ++i) {
    const int zone = points.zone != nullptr ? points.zone[i] : *settings_.sourceZone;
    if (!inSourceZone(zone, points.x[i])) {
      points.xOut[i] = kNotANumber;
      points.yOut[i] = kNotANumber;
      if (zOut != nullptr) zOut[i] = kNotANumber;
      points.zoneOut[i] = 0;
      points.status[i] = kPointWithoutPath;
    }
  }
}

bool ArrayConverter::needsEpoch() const {
  return conversionNeedsEpoch(settings_.from.system, settings_.to.system);
}

bool ArrayConverter::hasEpoch() const {
  return !std::isnan(settings_.datum.epoch);
}

RangeProblem ArrayConverter::explain(double x, double y, std::optional<double> z,
                                     std::optional<double> epoch,
                                     std::optional<int> givenZone) const {
  // The zones convert() reads: the given ones, else a UTM source code's zone, else 0.
  const int zone = givenZone.value_or(utmInput_ ? settings_.sourceZone.value_or(kZoneFromEasting)
                                                : kZoneFromEasting);
  const RangeProblem input = checkInput(settings_.from, settings_.zoneWidth, zone, x, y);
  if (input != RangeProblem::None) return input;
  // A zone of the system, but not the one the EPSG code names: none of the source's zones.
  if (settings_.sourceZone && !inSourceZone(zone, x)) return RangeProblem::NoSuchZone;
  // A height that is only carried over is never a reason (the Transformer reads none then); a
  // point's own epoch is taken as convert() takes it, NaN being none.
  if (epoch) return transformer_.explain(x, y, z.value_or(0.0), *epoch, zone);
  return transformer_.explain(x, y, z.value_or(0.0), zone);
}

}  // namespace nuvex::python
