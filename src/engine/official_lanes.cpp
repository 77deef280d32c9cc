// The official datum stage of the vector block, lane by lane on the scalar routines.
#include "engine/official_lanes.h"

#include <cmath>
#include <numbers>

#include "engine/batch.h"

namespace nuvex::engine {
namespace {

constexpr double kEdgeMargin = 1e-9;  // deg: about 0.1 mm
constexpr double kRadiansPerDegree = std::numbers::pi / 180.0;
constexpr double kMarginRadians = kEdgeMargin * kRadiansPerDegree;

bool near(double value, double edge, double margin) {
  return std::fabs(value - edge) < margin;
}

bool nearSubGridEdge(const Ntv2Grid& grid, double latitude, double longitude) {
  const double phi = latitude * kRadiansPerDegree, lambda = longitude * kRadiansPerDegree;
  for (const Ntv2SubGrid& g : grid.subGrids()) {
    if (near(phi, g.south, kMarginRadians) || near(phi, g.north, kMarginRadians) ||
        near(lambda, g.west, kMarginRadians) || near(lambda, g.east, kMarginRadians)) {
      return true;
    }
  }
  return false;
}

bool nearAreaEdge(double latitude, double longitude) {
  const AreaOfUse& a = kPulkovo83ToEtrs89Area;
  return near(latitude, a.south, kEdgeMargin) || near(latitude, a.north, kEdgeMargin) ||
         near(longitude, a.west, kEdgeMargin) || near(longitude, a.east, kEdgeMargin);
}

bool decisionMayTip(const OfficialDatum& datum, double latitude, double longitude) {
  for (int i = 0; i < datum.stepCount(); ++i) {
    const OfficialStep step = datum.step(i);
    if ((step == OfficialStep::GridForward || step == OfficialStep::GridInverse) &&
        nearSubGridEdge(datum.grid(), latitude, longitude)) {
      return true;
    }
  }
  return nearAreaEdge(latitude, longitude);
}

}  // namespace

unsigned shiftOfficialLanes(const OfficialDatum& datum, double* latitude, double* longitude,
                            unsigned lanes) {
  unsigned served = 0;
  for (std::size_t k = 0; k < kVectorLanes; ++k) {
    const unsigned bit = 1u << k;
    if ((lanes & bit) == 0 || decisionMayTip(datum, latitude[k], longitude[k])) continue;
    double phi = latitude[k], lambda = longitude[k];
    if (datum.shift(phi, lambda) != kPointDone || decisionMayTip(datum, phi, lambda)) continue;
    latitude[k] = phi;
    longitude[k] = lambda;
    served |= bit;
  }
  return served;
}

}  // namespace nuvex::engine
