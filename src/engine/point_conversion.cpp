// The per-point work of every conversion: unproject a grid input, shift the datum, project into
// the target zone.
#include "engine/point_conversion.h"

#include "engine/official_datum.h"
#include "nuvex/engine.h"

namespace nuvex::engine {

int convertPoint(const ConversionPlan& plan, double& x, double y, int& zone,
                 const PointOutput& output) {
  double longitude = x;
  double latitude = y;
  if (plan.unprojects) {
    GRID2GEO(zone, x, y, longitude, latitude, plan.fromSystem, plan.zoneWidth);
  }
  if (plan.official != nullptr) {
    if (plan.official->shift(latitude, longitude) != RangeProblem::None) return kPointNoPath;
  } else if (shiftDatum(plan.chain, latitude, longitude) != 0) {
    return kPointNoPath;
  }
  if (!plan.projects) {
    output.x = longitude;
    output.y = latitude;
    output.zone = plan.unprojects ? zone : 0;
    return kPointDone;
  }
  const double centralMeridian = ZONECM(plan.zoneFromLongitude, plan.givenZone, plan.toSystem,
                                        plan.zoneWidth, longitude, output.zone);
  GEO2GRID(centralMeridian, longitude, latitude, output.x, output.y, plan.toSystem, plan.zoneWidth);
  return kPointDone;
}

}  // namespace nuvex::engine
