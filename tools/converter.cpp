#include "converter.h"

#include <cmath>
#include <string>

#include "nuvex/engine.h"
#include "nuvex/host.h"

namespace nuvex::cli {
namespace {

// The library takes zone widths 3 and 6; the command line offers the same two.
nuvex::ZoneChoice zoneChoice(const ConversionSettings& settings) {
  return {settings.zoneWidth, !settings.targetZone.has_value(), settings.targetZone.value_or(0)};
}

bool isIdentity(const ConversionSettings& settings) {
  return settings.from.type == CoordinateType::Geographic &&
         settings.to.type == CoordinateType::Geographic &&
         settings.from.system == settings.to.system && !convertsHeights(settings);
}

}  // namespace

const char* describeFailure(PointStatus status) {
  switch (status) {
    case PointStatus::Converted:
      return "converted";
    case PointStatus::NoPath:
      return describeRangeProblem(RangeProblem::OutsidePolynomialArea);
    case PointStatus::Aborted:
      return "the engine aborted the calculation for this point";
    case PointStatus::NotFinite:
      return "the conversion gave a result that is not a finite number";
  }
  return "unknown failure";
}

void PointColumns::clear() {
  for (auto* column : {&x, &y, &z, &epoch, &xOut, &yOut, &zOut}) column->clear();
  for (auto* column : {&zone, &zoneOut, &status}) column->clear();
  outcome.clear();
  problem.clear();
  farFromForcedZone = false;
}

void PointColumns::add(const InputPoint& point) {
  x.push_back(point.x);
  y.push_back(point.y);
  z.push_back(point.z);
  epoch.push_back(point.epoch);
  zone.push_back(point.zone);
}

BatchConverter::BatchConverter(const ConversionSettings& settings)
    : settings_(settings),
      transformer_(settings.from, settings.to, zoneChoice(settings), settings.datum,
                   settings.heights),
      heights_(transformer_.convertsHeights()) {
  if (settings.targetZone && settings.to.type == CoordinateType::Grid) {
    int zone = 0;
    forcedZoneMeridian_ =
        ZONECM(0, *settings.targetZone, settings.to.system, settings.zoneWidth, 0.0, zone);
  }
}

// Geographic input shows the distance to the forced zone's central meridian in its longitude
// (the datum shift moves it by seconds); other input in the grid point the conversion gave.
bool BatchConverter::farFromForcedZone(const PointColumns& points, std::size_t i) const {
  if (settings_.from.type == CoordinateType::Geographic) {
    return std::fabs(points.x[i] - *forcedZoneMeridian_) >
           zoneWidthDegrees(settings_.to.system, transformer_.zones().width);
  }
  return fartherThanZoneWidth(settings_.to.system, transformer_.zones().width, points.zoneOut[i],
                              points.xOut[i], points.yOut[i]);
}

void BatchConverter::convert(PointColumns& points) const {
  const std::size_t count = points.size();
  points.xOut.resize(count);
  points.yOut.resize(count);
  points.zoneOut.resize(count);
  if (heights_) points.zOut.resize(count);
  points.status.resize(count);
  points.outcome.resize(count);
  points.problem.assign(count, RangeProblem::None);
  if (isIdentity(settings_)) {
    // Geographic to geographic on one datum changes nothing.
    points.xOut = points.x;
    points.yOut = points.y;
    std::fill(points.zoneOut.begin(), points.zoneOut.end(), 0);
    std::fill(points.outcome.begin(), points.outcome.end(), PointStatus::Converted);
    return;
  }
  try {
    convertRange(points, 0, count);
  } catch (const CCalcAbortException&) {
    // A fatal report names no point: find it by converting the points one by one.
    for (std::size_t i = 0; i < count; ++i) {
      try {
        convertRange(points, i, 1);
      } catch (const CCalcAbortException&) {
        points.outcome[i] = PointStatus::Aborted;
      }
    }
  }
}

void BatchConverter::convertRange(PointColumns& points, std::size_t first,
                                  std::size_t count) const {
  const PointArrays in{points.x.data() + first, points.y.data() + first,
                       heights_ ? points.z.data() + first : nullptr,
                       settings_.pointEpochs ? points.epoch.data() + first : nullptr,
                       points.zone.data() + first};
  const ResultArrays out{points.xOut.data() + first, points.yOut.data() + first,
                         heights_ ? points.zOut.data() + first : nullptr,
                         points.zoneOut.data() + first, points.status.data() + first};
  transformer_.transform(count, in, out);
  for (std::size_t i = first; i < first + count; ++i) finish(points, i);
}

void BatchConverter::finish(PointColumns& points, std::size_t i) const {
  if (points.status[i] != kPointConverted) {
    points.outcome[i] = PointStatus::NoPath;
    // The height is unused where none are converted; the epoch is the point's where it brings
    // one, else the conversion's.
    points.problem[i] =
        settings_.pointEpochs
            ? transformer_.explain(points.x[i], points.y[i], points.z[i], points.epoch[i],
                                   points.zone[i])
            : transformer_.explain(points.x[i], points.y[i], points.z[i], points.zone[i]);
    return;
  }
  if (forcedZoneMeridian_ && !points.farFromForcedZone && farFromForcedZone(points, i)) {
    points.farFromForcedZone = true;
  }
  if (settings_.to.type == CoordinateType::Grid && settings_.zonePrefix &&
      !isGaussKrueger(settings_.to.system)) {
    points.xOut[i] += points.zoneOut[i] * kZoneMultiplier;
  }
  const bool finite = std::isfinite(points.xOut[i]) && std::isfinite(points.yOut[i]) &&
                      (!heights_ || std::isfinite(points.zOut[i]));
  points.outcome[i] = finite ? PointStatus::Converted : PointStatus::NotFinite;
}

std::string BatchConverter::farForcedZoneWarning() const {
  if (!settings_.targetZone) return {};
  return "nuvex: warning: " +
         describeFarForcedZone(*settings_.targetZone, settings_.to.system,
                               transformer_.zones().width) +
         "\n";
}

std::vector<ConvertedPoint> BatchConverter::convert(std::span<const InputPoint> points) const {
  PointColumns columns;
  for (const InputPoint& point : points) columns.add(point);
  convert(columns);
  std::vector<ConvertedPoint> results;
  results.reserve(points.size());
  for (std::size_t i = 0; i < columns.size(); ++i) results.push_back(columns.result(i));
  return results;
}

}  // namespace nuvex::cli
