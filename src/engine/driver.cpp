// TRGU: converts points 1..pointCount of the process-wide arrays between systems and types, one
// point at a time through the engine's per-point conversion.
#include "engine/point_conversion.h"
#include "engine/type_codes.h"
#include "nuvex/engine.h"

namespace nuvex {
namespace {

constexpr int kConverted = 0;
constexpr int kNotConverted = -1;

// TRGU's reading of its type codes. Within one system a geographic input always ends on the grid
// and anything else counts as grid input; between systems only "E" is a grid input and anything
// but "G" a grid output. The chain's grid side reads the codes literally.
engine::ConversionPlan planOfCodes(const char* fromType, int fromSystem, const char* toType,
                                   int toSystem, int zoneWidth, int zoneFromLongitude,
                                   int givenZone) {
  engine::ConversionPlan plan{fromSystem, toSystem, zoneWidth, zoneFromLongitude,
                              givenZone,  false,    false,     {}};
  if (fromSystem == toSystem) {
    plan.unprojects = !engine::isGeographicType(fromType);
    plan.projects = !plan.unprojects || !engine::isGeographicType(toType);
  } else {
    plan.unprojects = engine::isGridType(fromType);
    plan.projects = !engine::isGeographicType(toType);
  }
  const int gridSide = engine::isGridType(toType)     ? toSystem
                       : engine::isGridType(fromType) ? fromSystem
                                                      : engine::kNoGridSide;
  plan.chain = engine::planChain(fromSystem, toSystem, gridSide);
  return plan;
}

}  // namespace

int TRGU(const char* fromType, const int& fromSystem, const char* toType, const int& toSystem,
         const int& zoneWidth, const int& pointCount, const int& zoneFromLongitude,
         const int& givenZone) {
  // More points than the arrays hold would run past them: refuse the call untouched.
  if (pointCount > TRGU_MAXPT) return kNotConverted;
  const engine::ConversionPlan plan =
      planOfCodes(fromType, fromSystem, toType, toSystem, zoneWidth, zoneFromLongitude, givenZone);
  // Between systems the height is carried before the point can fail; within one system after it
  // is projected (a fatal report leaves it as it was).
  const bool heightFirst = fromSystem != toSystem;
  for (int i = 1; i <= pointCount; ++i) {
    if (heightFirst) HGT_OUT[i] = HGT_IN[i];
    // The geographic input arrays are never written; the grid ones are updated in place, and so
    // are the output elements of the point.
    double longitude = GEO_XIN[i];
    int unusedZone = 0;
    const engine::PointOutput output =
        plan.projects ? engine::PointOutput{GRID_XOUT[i], GRID_YOUT[i], GRID_ZONEOUT[i]}
                      : engine::PointOutput{GEO_XOUT[i], GEO_YOUT[i], unusedZone};
    const int status =
        plan.unprojects
            ? engine::convertPoint(plan, GRID_XIN[i], GRID_YIN[i], GRID_ZONEIN[i], output)
            : engine::convertPoint(plan, longitude, GEO_YIN[i], unusedZone, output);
    if (status != engine::kPointDone) return kNotConverted;
    if (!heightFirst) HGT_OUT[i] = HGT_IN[i];
  }
  return kConverted;
}

}  // namespace nuvex
