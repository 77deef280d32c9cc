// The stages both vector blocks (avx2_block.cpp, wasm_block.cpp) run alike: the checks of a grid
// input and the projection of geographic lanes, on the series of block_series.h. Included as that
// file is, after the lanes and, besides its vocabulary, greaterOrEqual and equal (comparisons as
// lessThan), both (lanes where both hold), laneSelector (all ones in the lanes of a Mask) and
// everyLane (all ones in every lane, given a Vec at hand to compare with itself).
#pragma once

#include "engine/point_conversion.h"
#include "engine/projection_rules.h"
#include "engine/vector/block_series.h"
#include "nuvex/systems.h"

namespace nuvex::engine {
namespace {

// Lanes whose grid input the source can hold as checkGridInput decides it (zone, pole); the
// others are the scalar path's to decide.
SERIES_INLINE
Mask servedGridInput(const ConversionPlan& plan, const ZoneRange& zones, Vec xIn, Vec yIn,
                     Vec zoneIn, Vec millions) {
  const GeodeticRow& row = geodeticRow(plan.fromSystem);
  Mask lanes = withinMagnitude(yIn, row.scaleFactor * row.arc[0] * kQuarterCircle);
  Vec zone = millions;
  if (isGaussKrueger(plan.fromSystem)) {
    lanes &= maskOf(
        both(greaterOrEqual(zone, splat(zones.lowest)), lessOrEqual(zone, splat(zones.highest))));
  } else {
    const Vec prefixed = greaterOrEqual(xIn, splat(kSmallestPrefixedUtmEasting));
    const Vec fromEasting = equal(zoneIn, splat(0.0));
    // A zone column must agree with a prefix; without one the easting must carry it.
    const Vec agrees = select(prefixed, equal(millions, zoneIn), everyLane(zoneIn));
    zone = select(fromEasting, millions, zoneIn);
    lanes &= maskOf(select(fromEasting, prefixed, agrees)) &
             maskOf(both(greaterOrEqual(zone, splat(kSixDegreeZoneRange.lowest)),
                         lessOrEqual(zone, splat(kSixDegreeZoneRange.highest))));
  }
  return lanes;
}

struct Projected {
  Grid grid;
  Vec zone;
  bool bothSeries;  // the lanes took both series, and the block ran both
};

// The projection stage: each lane's output zone and its grid coordinates, by the engine's series
// within its band and Krueger's beyond. computedLongitude: whether the block computed the
// longitudes, whose last bits could then tip a zone. Lanes the scalar path must decide (a zone or
// the band's edge within reach of those bits, a longitude outside the zones' circle, a zone the
// target lacks) or far from the meridian are cleared from vectorLanes.
SERIES_INLINE
Projected projectLanes(const ConversionPlan& plan, const ZoneRange& zones, const Geographic& point,
                       bool computedLongitude, Mask& vectorLanes) {
  Vec outputZone = splat(static_cast<double>(plan.givenZone));
  if (plan.zoneFromLongitude != 0) {
    const Vec unrounded = zoneBeforeTruncation(plan.toSystem, plan.zoneWidth, point.longitude);
    outputZone = truncated(unrounded);
    if (computedLongitude) vectorLanes &= ~nearWholeNumber(unrounded);
    // Longitudes outside the circle the zones number from are the scalar path's to bring in.
    const double edge = westernEdgeOfZones(plan.toSystem, plan.zoneWidth);
    vectorLanes &= maskOf(both(greaterOrEqual(point.longitude, splat(edge)),
                               lessThan(point.longitude, splat(edge + 360.0))));
  }
  vectorLanes &= maskOf(both(greaterOrEqual(outputZone, splat(zones.lowest)),
                             lessOrEqual(outputZone, splat(zones.highest))));
  const Vec centralMeridian = centralMeridianOfZone(plan.toSystem, plan.zoneWidth, outputZone);
  Mask withinBand = plan.series == ProjectionSeries::Exact ? 0 : kAllLanes;
  if (plan.series == ProjectionSeries::Banded) {
    const Vec offset = absolute(point.longitude - centralMeridian);
    withinBand = maskOf(lessOrEqual(offset, splat(kProjectionBandDegrees)));
    vectorLanes &= ~withinMagnitude(offset - splat(kProjectionBandDegrees), kBandMargin);
  }
  Grid grid{};
  bool bothSeries = false;
  const Mask exactLanes = vectorLanes & ~withinBand;
  if (exactLanes != 0) {
    vectorLanes &= withinMagnitude(point.longitude - centralMeridian, kMaxMeridianDistance);
    grid = exactForward(plan, centralMeridian, point.longitude, point.latitude);
  }
  if (exactLanes == 0 || (vectorLanes & withinBand) != 0) {
    bothSeries = exactLanes != 0;
    const Grid engine = forward(plan.toSystem, plan.zoneWidth, centralMeridian, point.longitude,
                                point.latitude, vectorLanes);
    const Vec mine = laneSelector(withinBand);
    grid = exactLanes == 0 ? engine
                           : Grid{select(mine, engine.easting, grid.easting),
                                  select(mine, engine.northing, grid.northing)};
  }
  // Both series give numbers for every lane the checks above let through (below kMaxLatitude,
  // within kMaxMeridianDistance), as geographic results are checked where they are made: the
  // results need no check of their own.
  return {grid, outputZone, bothSeries};
}

}  // namespace
}  // namespace nuvex::engine
