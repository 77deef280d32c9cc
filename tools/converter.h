// Converting many points through the engine driver TRGU: up to TRGU_MAXPT points per call for
// speed, with the outcome kept per point. TRGU stops at the first point that has no
// transformation path; that point is identified, marked, and the conversion goes on after it.
#pragma once

#include <optional>
#include <span>
#include <vector>

#include "coordinate_systems.h"
#include "point_reader.h"

namespace nuvex::cli {

struct ConversionSettings {
  Endpoint from;
  Endpoint to;
  int zoneWidth = kThreeDegreeZones;  // zone width code: 3 selects 3 deg zones for system 4
  std::optional<int> targetZone{};    // zone of grid output; chosen from the longitude if absent
  bool zonePrefix = false;            // UTM output eastings carry the zone in their millions
};

enum class PointStatus {
  Converted,
  NoPath,     // the engine has no transformation path for the point
  Aborted,    // the engine ended the calculation with a fatal report
  NotFinite,  // the engine answered with a value that is not a finite number
};

// x is the easting (m) or longitude (deg), y the northing (m) or latitude (deg); zone is the zone
// of grid output (0 for geographic output). Only meaningful when status is Converted.
struct ConvertedPoint {
  PointStatus status = PointStatus::Converted;
  double x = 0.0;
  double y = 0.0;
  int zone = 0;
};

// The reason named in messages for a point that was not converted.
const char* describeFailure(PointStatus status);

class BatchConverter {
 public:
  explicit BatchConverter(const ConversionSettings& settings) : settings_(settings) {}

  // One result per point, in order. The engine is not reentrant: one converter at a time.
  std::vector<ConvertedPoint> convert(std::span<const InputPoint> points) const;

 private:
  std::size_t convertBatch(std::span<const InputPoint> batch,
                           std::vector<ConvertedPoint>& results) const;
  void convertOneByOne(std::span<const InputPoint> points,
                       std::vector<ConvertedPoint>& results) const;
  ConvertedPoint convertSingle(const InputPoint& point) const;
  void loadPoints(std::span<const InputPoint> points) const;
  int callEngine(int pointCount) const;
  ConvertedPoint readResult(int element) const;
  bool resultWritten(int element) const;

  ConversionSettings settings_;
};

}  // namespace nuvex::cli
