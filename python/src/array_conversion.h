// Conversion of whole arrays for the Python module: the batch Transformer with the converter's
// rules for coordinate systems and zones, per-point checks of the input, the zone prefix of UTM
// output eastings and the split of large arrays over threads. Plain C++: the bindings hold the
// Python objects and release the GIL around convert().
#pragma once

#include <cstddef>
#include <optional>
#include <string>

#include "nuvex/systems.h"
#include "nuvex/transform.h"

namespace nuvex::python {

struct ConversionSettings {
  CoordinateSystem from;
  CoordinateSystem to;
  int zoneWidth = kThreeDegreeZones;  // deg: 3 or 6 (6 only changes system 4)
  std::optional<int> targetZone{};    // zone of grid output; from the longitude if absent
  bool zonePrefix = false;            // UTM output eastings carry the zone in their millions
  // The zone a projected EPSG code of the source is: every input point must lie in it.
  std::optional<int> sourceZone{};
  std::string sourceName{}, targetName{};  // "E:1", "EPSG:31467+7837": as the systems were named
  // Polynomial (default) or official datum shift; epoch: the points' epoch of a conversion
  // between system 5 and another system, NaN where the points bring their own or none is needed.
  DatumChoice datum{};
  // The kinds of heights; namedSettings takes them from the names (compound and 3D codes).
  HeightChoice heights{};
  // The epoch the names give ("EPSG:9990@2026.9"; both, where both do, give the same), and the
  // name that gives it, for messages.
  std::optional<double> namedEpoch{};
  std::string epochName{};
};

// The arrays of one call, all of `count` elements. x/y: easting/northing (m) or longitude/latitude
// (deg); zone: zones of UTM input points, or null for 0 (the zone from the easting's millions);
// z/zOut: heights (m), both null for a call without them; epoch: the points' own epochs
// (decimal years), null for the Transformer's. Every output is required.
struct PointArrays {
  std::size_t count = 0;
  const double* x = nullptr;
  const double* y = nullptr;
  const int* zone = nullptr;
  double* xOut = nullptr;
  double* yOut = nullptr;
  int* zoneOut = nullptr;
  int* status = nullptr;
  const double* z = nullptr;
  double* zOut = nullptr;
  const double* epoch = nullptr;
};

// Reads "E:1" or "G:3" (either case); throws std::invalid_argument naming `role` otherwise.
CoordinateSystem parseSystem(const std::string& text, const char* role);
// The settings of systems named "E:1"/"G:3" or by EPSG codes: a projected code fixes the zone of
// its side and, for system 4, the zone width; a compound or 3D code the kind of its heights; an
// epoch after '@' the points' epoch. Throws std::invalid_argument for an unknown name, a zone
// width, zone or zone prefix that contradicts a code, and two names with different epochs.
ConversionSettings namedSettings(const std::string& source, const std::string& target,
                                 std::optional<int> zoneWidth, std::optional<int> zone,
                                 bool zonePrefix);
// "E:1" or "G:3".
std::string systemText(const CoordinateSystem& endpoint);

class ArrayConverter {
 public:
  // Throws std::invalid_argument for a zone width other than 3 or 6, a target zone that the
  // target grid does not have (or a geographic target), or a datum or height choice the
  // Transformer refuses (system 2 with the official shift, a grid file that cannot serve, heights
  // outside the official mode).
  explicit ArrayConverter(const ConversionSettings& settings);

  // Throws std::invalid_argument when the source takes no input zones (geographic input, or
  // Gauss-Krueger eastings, which carry their zone).
  void requireInputZones() const;

  // Converts every point; threads (at least 1) share large arrays. A point that is not finite,
  // lies outside the range of its coordinates (lon -180..180, lat -90..90 deg; grid coordinates
  // within 1e9 m), has a UTM zone that does not fit it, lies in another zone than a projected EPSG
  // source names, has no transformation path or a result that is not finite gets status
  // kPointWithoutPath, NaN coordinates and zone 0. Returns whether a converted point lies farther
  // than one zone width from the central meridian of a forced target zone (fartherThanZoneWidth;
  // false without a forced zone): each thread decides it for the chunks it converts, as it
  // converts them, so the answer does not depend on the number of threads. Needs no Python and
  // throws nothing.
  // With heights (PointArrays::z) a Transformer that converts them also marks points whose
  // height it cannot convert, and gives every marked point a NaN height; one that does not
  // carries each height over as it is. A Transformer that converts heights needs them. A
  // conversion that needs epochs needs them per point or from the settings (hasEpoch); a point
  // whose own epoch is NaN or outside 1990..2100 is marked.
  bool convert(const PointArrays& points, unsigned threads) const noexcept;

  // Why convert marks the point (x, y as in PointArrays; its height, epoch and zone when given),
  // or RangeProblem::None when it converts it. Converts the point once more, on the scalar path.
  RangeProblem explain(double x, double y, std::optional<double> z, std::optional<double> epoch,
                       std::optional<int> zone) const;

  const ConversionSettings& settings() const { return settings_; }
  bool convertsHeights() const { return transformer_.convertsHeights(); }
  // Whether the conversion runs between system 5 (ITRF2020) and another system, which needs the
  // points' epoch.
  bool needsEpoch() const;
  // Whether the settings give every point an epoch.
  bool hasEpoch() const;

 private:
  bool convertChunk(const PointArrays& points, std::size_t begin, std::size_t end,
                    bool lookForFarPoints) const noexcept;
  bool inSourceZone(int zone, double easting) const noexcept;
  void markOutsideSourceZone(const PointArrays& points, std::size_t begin,
                             std::size_t end) const noexcept;
  bool farFromForcedZone(double easting, double northing) const noexcept;
  bool holdsFarPoint(const PointArrays& points, std::size_t begin, std::size_t end) const noexcept;

  ConversionSettings settings_;
  Transformer transformer_;
  bool utmInput_;        // UTM eastings in: their zones are checked
  bool utmPrefix_;       // UTM eastings out, with the zone in their millions
  bool forcedGridZone_;  // grid output in one zone for every point: far points are looked for
};

}  // namespace nuvex::python
