// Converting many points through the library's batch transformation (nuvex::Transformer): no
// limit on the number of points, any number of threads at once, and a point without a
// transformation path marked while the others are converted.
#pragma once

#include <optional>
#include <span>
#include <string>
#include <vector>

#include "nuvex/systems.h"
#include "nuvex/transform.h"
#include "point_reader.h"

namespace nuvex::cli {

struct ConversionSettings {
  CoordinateSystem from;
  CoordinateSystem to;
  int zoneWidth = kThreeDegreeZones;  // zone width code: 3 selects 3 deg zones for system 4
  std::optional<int> targetZone{};    // zone of grid output; chosen from the longitude if absent
  bool zonePrefix = false;            // UTM output eastings carry the zone in their millions
  DatumChoice datum{};                // polynomial (default) or official datum shift
  HeightChoice heights{};             // none on both sides: heights are extras, carried along
  bool pointEpochs = false;           // every point brings its own epoch (InputPoint::epoch)
};

// Whether the conversion converts heights (then every point has one).
inline bool convertsHeights(const ConversionSettings& settings) {
  return settings.heights.from != HeightKind::None;
}

enum class PointStatus {
  Converted,
  NoPath,     // the engine has no transformation path for the point
  Aborted,    // the engine ended the calculation with a fatal report
  NotFinite,  // the engine answered with a value that is not a finite number
};

// x is the easting (m) or longitude (deg), y the northing (m) or latitude (deg); zone is the zone
// of grid output (0 for geographic output), z the converted height (m) where heights are
// converted. Only meaningful when status is Converted.
struct ConvertedPoint {
  PointStatus status = PointStatus::Converted;
  double x = 0.0;
  double y = 0.0;
  int zone = 0;
  RangeProblem problem = RangeProblem::None;  // why a NoPath point was not converted
  double z = 0.0;
};

// The reason named in messages for a point that was not converted.
const char* describeFailure(PointStatus status);

// Points as separate arrays, the layout the batch transformation works on. The outputs are
// filled by BatchConverter::convert; z and zOut are the heights, used where heights are converted,
// epoch the points' own epochs, used where they bring them (ConversionSettings::pointEpochs).
struct PointColumns {
  std::vector<double> x, y, z, epoch;
  std::vector<int> zone;
  std::vector<double> xOut, yOut, zOut;
  std::vector<int> zoneOut;
  std::vector<int> status;
  std::vector<PointStatus> outcome;
  std::vector<RangeProblem> problem;
  // Some point was converted in a zone --zone forces though it lies farther than a zone width
  // from it.
  bool farFromForcedZone = false;

  std::size_t size() const { return x.size(); }
  void clear();
  void add(const InputPoint& point);
  ConvertedPoint result(std::size_t i) const {
    return {outcome[i], xOut[i], yOut[i], zoneOut[i], problem[i], i < zOut.size() ? zOut[i] : 0.0};
  }
};

class BatchConverter {
 public:
  explicit BatchConverter(const ConversionSettings& settings);

  // Fills the outputs of every point. Safe to call from several threads at once; it writes
  // nothing anywhere (points.farFromForcedZone asks the caller to warn).
  void convert(PointColumns& points) const;
  // The warning for points far from a forced zone, as a line of standard error.
  std::string farForcedZoneWarning() const;
  // One result per point, in order.
  std::vector<ConvertedPoint> convert(std::span<const InputPoint> points) const;

 private:
  void convertRange(PointColumns& points, std::size_t first, std::size_t count) const;
  void finish(PointColumns& points, std::size_t i) const;
  bool farFromForcedZone(const PointColumns& points, std::size_t i) const;

  ConversionSettings settings_;
  Transformer transformer_;
  bool heights_;  // the transformer converts heights: points go through it with theirs
  std::optional<double> forcedZoneMeridian_;  // deg: of the zone --zone forces
};

}  // namespace nuvex::cli
