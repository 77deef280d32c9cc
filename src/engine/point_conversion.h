// One point's way through the engine: unprojection, datum chain, zone choice and projection. TRGU,
// the entry points (through TRGU) and the batch paths all convert their points with it.
#pragma once

#include <limits>

#include "engine/datum_chain.h"

namespace nuvex::engine {

class OfficialDatum;
struct KruegerSeries;

// How grid points are projected and unprojected.
enum class ProjectionSeries {
  Engine,  // the engine's own series everywhere (TRGU, the host entry points)
  Banded,  // the engine's series within kProjectionBandDegrees, Krueger's beyond (polynomial mode)
  Exact,   // Krueger's series everywhere (official mode)
};

inline constexpr int kPointDone = 0;
inline constexpr int kPointNoPath = -1;

// What every point of one conversion goes through, fixed before the first point.
struct ConversionPlan {
  int fromSystem;
  int toSystem;
  int zoneWidth;          // 3 selects 3 deg zones for system 4
  int zoneFromLongitude;  // not 0: each output zone follows from the longitude
  int givenZone;          // the output zone otherwise
  bool unprojects;        // the input is a grid point
  bool projects;          // the output is a grid point
  ChainPlan chain;
  // Not null: the official datum transformations take the chain's place (Transformer only).
  const OfficialDatum* official = nullptr;
  // The batch path's (Transformer's) choices; TRGU keeps the defaults.
  ProjectionSeries series = ProjectionSeries::Engine;
  const KruegerSeries* sourceSeries = nullptr;  // the source grid's ellipsoid (not Engine)
  const KruegerSeries* targetSeries = nullptr;  // the target grid's ellipsoid (not Engine)
  // The epoch (decimal year) of every point, where the official route needs one and the points
  // bring none of their own; NaN: none given.
  double epoch = std::numeric_limits<double>::quiet_NaN();
};

// Where a converted point goes: easting, northing (m) and zone of a grid output, or longitude,
// latitude (deg) and the zone the unprojection used (0 for a geographic input) of a geographic
// output. Written in place, in the order the engine has always written them: the zone before the
// projection that may end in the fatal report.
struct PointOutput {
  double& x;
  double& y;
  int& zone;
};

// Converts one point. x, y: easting and northing (m) or longitude and latitude (deg); a grid
// input's zone and easting are updated in place as GRID2GEO does. Returns kPointDone with the
// output written, or kPointNoPath with it untouched. A system code without a table row is the
// projection's fatal report.
int convertPoint(const ConversionPlan& plan, double& x, double y, int& zone,
                 const PointOutput& output);

// The same with the result in a value.
struct PointResult {
  double x;
  double y;
  int zone;
};

inline int convertPoint(const ConversionPlan& plan, double& x, double y, int& zone,
                        PointResult& result) {
  return convertPoint(plan, x, y, zone, PointOutput{result.x, result.y, result.zone});
}

}  // namespace nuvex::engine
