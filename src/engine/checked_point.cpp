// The batch path's conversion of one point, with every check where the point's coordinates
// already are: what the source can hold, the datum shift's area, the projection's limit, what the
// target can hold. The vector block serves the same conversion eight points at a time and hands
// this routine every lane it cannot decide exactly as it would.
#include <cmath>
#include <limits>
#include <numbers>

#include "engine/batch.h"
#include "engine/exact_projection.h"
#include "engine/geodetic_tables.h"
#include "engine/integer_conversion.h"
#include "engine/official_datum.h"
#include "engine/projection_rules.h"
#include "engine/region_grid.h"
#include "nuvex/engine.h"

namespace nuvex::engine {

bool insidePolynomialArea(double latitude, double longitude) {
  return longitude >= kPolynomialAreaWest && longitude <= kPolynomialAreaEast &&
         latitude >= kPolynomialAreaSouth && latitude <= kPolynomialAreaNorth;
}

namespace {

constexpr double kRadiansPerDegree = std::numbers::pi / 180.0;
constexpr double kDegreesPerRadianExact = 180.0 / std::numbers::pi;
constexpr double kFullCircle = 360.0;    // deg
constexpr double kQuarterCircle = 90.0;  // deg

struct Geographic {
  double longitude;
  double latitude;
};

bool usesEngineSeries(const ConversionPlan& plan, bool withinBand) {
  return plan.series == ProjectionSeries::Engine ||
         (plan.series == ProjectionSeries::Banded && withinBand);
}

// GRID2GEO's zone rules, then the engine's series or Krueger's. The input was checked.
Geographic unproject(const ConversionPlan& plan, double easting, double northing, int& zone) {
  const int system = plan.fromSystem;
  if (usesEngineSeries(plan, withinProjectionBand(system, easting, northing))) {
    Geographic point{};
    GRID2GEO(zone, easting, northing, point.longitude, point.latitude, system, plan.zoneWidth);
    return point;
  }
  if (isGaussKrueger(system) || zone == 0) zone = truncateToInt(easting / kZoneMultiplier);
  if (isGaussKrueger(system) || easting >= kSmallestPrefixedUtmEasting) {
    easting -= zone * kZoneMultiplier;
  }
  const double k0 = geodeticRow(system).scaleFactor;
  const GeodeticOffsets offsets =
      kruegerInverse(*plan.sourceSeries, {northing / k0, (easting - kFalseEasting) / k0});
  return {centralMeridianOfZone(system, plan.zoneWidth, zone) +
              offsets.longitude * kDegreesPerRadianExact,
          offsets.latitude * kDegreesPerRadianExact};
}

// height: the point's height where the plan converts heights (official mode only), else null.
// epoch: the point's epoch where the route needs one.
RangeProblem shiftDatum(const ConversionPlan& plan, Geographic& point, double* height,
                        double epoch) {
  if (height != nullptr) {
    return plan.official->shiftWithHeight(point.latitude, point.longitude, *height, epoch);
  }
  // Before the chain's test: system 5 runs on system 3's grid, but through its own step.
  if (plan.official != nullptr) return plan.official->shift(point.latitude, point.longitude, epoch);
  if (plan.chain.sameSystem) return RangeProblem::None;
  if (!insidePolynomialArea(point.latitude, point.longitude)) {
    return RangeProblem::OutsidePolynomialArea;
  }
  const Route* route = routeOfPoint(plan.chain, point.latitude, point.longitude);
  if (route == nullptr) return RangeProblem::OutsidePolynomialArea;
  shiftAlongRoute(plan.chain, *route, point.latitude, point.longitude);
  return RangeProblem::None;
}

// A longitude within [edge, edge + 360), or as it is when it already is (bit for bit).
double withinCircleFrom(double edge, double longitude) {
  if (longitude >= edge && longitude < edge + kFullCircle) return longitude;
  return longitude - kFullCircle * std::floor((longitude - edge) / kFullCircle);
}

RangeProblem project(const ConversionPlan& plan, Geographic point, PointResult& result) {
  const int system = plan.toSystem;
  double longitude = point.longitude;
  if (plan.zoneFromLongitude != 0) {
    longitude = withinCircleFrom(westernEdgeOfZones(system, plan.zoneWidth), longitude);
  }
  int zone = 0;
  const double centralMeridian =
      ZONECM(plan.zoneFromLongitude, plan.givenZone, system, plan.zoneWidth, longitude, zone);
  // The longitude taken to within half a circle of the meridian (a forced zone across 180 deg).
  longitude = withinCircleFrom(centralMeridian - kFullCircle / 2.0, longitude);
  const double offset = longitude - centralMeridian;
  result.zone = zone;
  if (usesEngineSeries(plan, std::fabs(offset) <= kProjectionBandDegrees)) {
    GEO2GRID(centralMeridian, longitude, point.latitude, result.x, result.y, system,
             plan.zoneWidth);
    return RangeProblem::None;
  }
  if (!(std::fabs(offset) < kQuarterCircle)) return RangeProblem::BeyondProjectionLimit;
  const PlaneOffsets plane = kruegerForward(*plan.targetSeries, point.latitude * kRadiansPerDegree,
                                            offset * kRadiansPerDegree);
  if (!(std::fabs(plane.easting) <= kProjectionLimitMetres)) {
    return RangeProblem::BeyondProjectionLimit;
  }
  const double k0 = geodeticRow(system).scaleFactor;
  result.x = k0 * plane.easting + kFalseEasting;
  result.y = k0 * plane.northing;
  if (isGaussKrueger(system)) {
    result.x +=
        zonePrefixOfCentralMeridian(system, plan.zoneWidth, centralMeridian) * kZoneMultiplier;
  }
  return RangeProblem::None;
}

bool withinHeightRange(double height) {
  return std::fabs(height) <= kLargestHeight;  // NaN: not within
}

RangeProblem convertChecked(const ConversionPlan& plan, double x, double y, int zone,
                            double* height, double epoch, PointResult& result) {
  const CoordinateSystem source{plan.unprojects ? CoordinateType::Grid : CoordinateType::Geographic,
                                plan.fromSystem};
  if (const RangeProblem input = checkInput(source, plan.zoneWidth, zone, x, y);
      input != RangeProblem::None) {
    return input;
  }
  if (height != nullptr && !withinHeightRange(*height)) return RangeProblem::HeightOutOfRange;
  if (plan.official != nullptr && plan.official->needsEpoch() && !isAcceptableEpoch(epoch)) {
    return RangeProblem::EpochOutOfRange;
  }
  Geographic point{x, y};
  if (plan.unprojects) point = unproject(plan, x, y, zone);
  if (const RangeProblem shifted = shiftDatum(plan, point, height, epoch);
      shifted != RangeProblem::None) {
    return shifted;
  }
  if (!plan.projects) {
    result = {point.longitude, point.latitude, plan.unprojects ? zone : 0};
  } else if (const RangeProblem projected = project(plan, point, result);
             projected != RangeProblem::None) {
    return projected;
  }
  const CoordinateSystem target{plan.projects ? CoordinateType::Grid : CoordinateType::Geographic,
                                plan.toSystem};
  return checkOutput(target, plan.zoneWidth, result.x, result.y, result.zone);
}

}  // namespace

RangeProblem convertBatchPoint(const ConversionPlan& plan, double x, double y, int zone,
                               PointResult& result) {
  const RangeProblem problem = convertChecked(plan, x, y, zone, nullptr, plan.epoch, result);
  if (problem != RangeProblem::None) {
    constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
    result = {kNaN, kNaN, 0};
  }
  return problem;
}

RangeProblem convertBatchPoint(const ConversionPlan& plan, double x, double y, double z, int zone,
                               PointResult& result, double& zResult) {
  return convertBatchPoint(plan, x, y, &z, plan.epoch, zone, result, zResult);
}

RangeProblem convertBatchPoint(const ConversionPlan& plan, double x, double y, const double* z,
                               double epoch, int zone, PointResult& result, double& zResult) {
  double height = z != nullptr ? *z : 0.0;
  const RangeProblem problem =
      convertChecked(plan, x, y, zone, z != nullptr ? &height : nullptr, epoch, result);
  constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
  if (problem != RangeProblem::None) result = {kNaN, kNaN, 0};
  zResult = problem == RangeProblem::None ? height : kNaN;
  return problem;
}

}  // namespace nuvex::engine
