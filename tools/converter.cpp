#include "converter.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "nuvex/engine.h"
#include "nuvex/host.h"

namespace nuvex::cli {
namespace {

constexpr int kFirstElement = 1;  // the engine's point arrays are indexed from 1
constexpr int kNoPath = -1;       // TRGU's answer for a point without transformation path
// Written into the output elements before a call: the engine writes no output for the point
// without a path nor for the points after it, so the first element still holding this marks
// where TRGU stopped.
constexpr double kUnwritten = std::numeric_limits<double>::quiet_NaN();

bool isIdentity(const ConversionSettings& settings) {
  return settings.from.type == CoordinateType::Geographic &&
         settings.to.type == CoordinateType::Geographic &&
         settings.from.system == settings.to.system;
}

}  // namespace

const char* describeFailure(PointStatus status) {
  switch (status) {
    case PointStatus::Converted:
      return "converted";
    case PointStatus::NoPath:
      return "no transformation path for this point";
    case PointStatus::Aborted:
      return "the engine aborted the calculation for this point";
    case PointStatus::NotFinite:
      return "the conversion gave a result that is not a finite number";
  }
  return "unknown failure";
}

std::vector<ConvertedPoint> BatchConverter::convert(std::span<const InputPoint> points) const {
  std::vector<ConvertedPoint> results;
  results.reserve(points.size());
  if (isIdentity(settings_)) {
    // Within one system the engine would answer geographic input with grid coordinates
    // whatever type is asked for; geographic to geographic on one datum changes nothing.
    for (const InputPoint& point : points)
      results.push_back({PointStatus::Converted, point.x, point.y, 0});
    return results;
  }
  std::size_t done = 0;
  while (done < points.size()) {
    const std::size_t count = std::min(points.size() - done, static_cast<std::size_t>(TRGU_MAXPT));
    done += convertBatch(points.subspan(done, count), results);
  }
  return results;
}

// Converts up to TRGU_MAXPT points; returns how many of them now have a result (at least one).
std::size_t BatchConverter::convertBatch(std::span<const InputPoint> batch,
                                         std::vector<ConvertedPoint>& results) const {
  const int count = static_cast<int>(batch.size());
  loadPoints(batch);
  int status = 0;
  try {
    status = callEngine(count);
  } catch (const CCalcAbortException&) {
    // A fatal report names no point: find it by converting the points one by one.
    convertOneByOne(batch, results);
    return batch.size();
  }
  int stoppedAt = count;  // index (0-based) of the point without a path
  if (status == kNoPath) {
    for (int index = 0; index < count; ++index) {
      if (!resultWritten(kFirstElement + index)) {
        stoppedAt = index;
        break;
      }
    }
    if (stoppedAt == count) {
      // Every output was written and yet the call failed: trust no element of this batch.
      convertOneByOne(batch, results);
      return batch.size();
    }
  }
  for (int index = 0; index < stoppedAt; ++index) {
    results.push_back(readResult(kFirstElement + index));
  }
  if (stoppedAt == count) return batch.size();
  // Confirm the point on its own: its own answer, not an inference, decides its row.
  results.push_back(convertSingle(batch[static_cast<std::size_t>(stoppedAt)]));
  return static_cast<std::size_t>(stoppedAt) + 1;
}

void BatchConverter::convertOneByOne(std::span<const InputPoint> points,
                                     std::vector<ConvertedPoint>& results) const {
  for (const InputPoint& point : points) results.push_back(convertSingle(point));
}

ConvertedPoint BatchConverter::convertSingle(const InputPoint& point) const {
  loadPoints(std::span<const InputPoint>(&point, 1));
  try {
    if (callEngine(1) == kNoPath) return {PointStatus::NoPath};
  } catch (const CCalcAbortException&) {
    return {PointStatus::Aborted};
  }
  return readResult(kFirstElement);
}

void BatchConverter::loadPoints(std::span<const InputPoint> points) const {
  const bool gridInput = settings_.from.type == CoordinateType::Grid;
  const bool gridOutput = settings_.to.type == CoordinateType::Grid;
  int element = kFirstElement;
  for (const InputPoint& point : points) {
    if (gridInput) {
      GRID_XIN[element] = point.x;
      GRID_YIN[element] = point.y;
      GRID_ZONEIN[element] = point.zone;
    } else {
      GEO_XIN[element] = point.x;
      GEO_YIN[element] = point.y;
    }
    HGT_IN[element] = 0.0;  // heights travel as text in the extra columns
    double* outputX = gridOutput ? GRID_XOUT : GEO_XOUT;
    double* outputY = gridOutput ? GRID_YOUT : GEO_YOUT;
    outputX[element] = kUnwritten;
    outputY[element] = kUnwritten;
    ++element;
  }
}

int BatchConverter::callEngine(int pointCount) const {
  const int zoneFromLongitude = settings_.targetZone.has_value() ? 0 : 1;
  const int givenZone = settings_.targetZone.value_or(0);
  return TRGU(engineTypeCode(settings_.from.type), settings_.from.system,
              engineTypeCode(settings_.to.type), settings_.to.system, settings_.zoneWidth,
              pointCount, zoneFromLongitude, givenZone);
}

bool BatchConverter::resultWritten(int element) const {
  const bool gridOutput = settings_.to.type == CoordinateType::Grid;
  const double x = gridOutput ? GRID_XOUT[element] : GEO_XOUT[element];
  return !std::isnan(x);
}

ConvertedPoint BatchConverter::readResult(int element) const {
  ConvertedPoint result;
  if (settings_.to.type == CoordinateType::Geographic) {
    result.x = GEO_XOUT[element];
    result.y = GEO_YOUT[element];
  } else {
    result.x = GRID_XOUT[element];
    result.y = GRID_YOUT[element];
    result.zone = GRID_ZONEOUT[element];
    if (settings_.zonePrefix && !isGaussKrueger(settings_.to.system)) {
      result.x += result.zone * kZoneMultiplier;
    }
  }
  if (!std::isfinite(result.x) || !std::isfinite(result.y)) result.status = PointStatus::NotFinite;
  return result;
}

}  // namespace nuvex::cli
