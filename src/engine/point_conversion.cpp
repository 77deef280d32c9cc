// The per-point work of every conversion: unproject a grid input, shift the datum, project into
// the target zone.
#include "engine/point_conversion.h"

#include "nuvex/engine.h"

namespace nuvex::engine {

int convertPoint(const ConversionPlan& plan, double& x, double y, int& zone, PointResult& result) {
  double longitude = x;
  double latitude = y;
  if (plan.unprojects) {
    GRID2GEO(zone, x, y, longitude, latitude, plan.fromSystem, plan.zoneWidth);
  }
  if (shiftDatum(plan.chain, latitude, longitude) != 0) return kPointNoPath;
  if (!plan.projects) {
    result = {longitude, latitude, plan.unprojects ? zone : 0};
    return kPointDone;
  }
  int outputZone = 0;
  const double centralMeridian = ZONECM(plan.zoneFromLongitude, plan.givenZone, plan.toSystem,
                                        plan.zoneWidth, longitude, outputZone);
  double easting = 0.0;
  double northing = 0.0;
  GEO2GRID(centralMeridian, longitude, latitude, easting, northing, plan.toSystem, plan.zoneWidth);
  result = {easting, northing, outputZone};
  return kPointDone;
}

}  // namespace nuvex::engine
