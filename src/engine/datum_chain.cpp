// The datum chain: moves a geographic point between two systems along the route of shifts that
// its region selects.
#include "engine/datum_chain.h"

#include "engine/geodetic_tables.h"
#include "engine/type_codes.h"
#include "nuvex/engine.h"

namespace nuvex::engine {
namespace {

constexpr std::array<PairRoutes, 6> kRoutes{{
    {1,
     2,
     {1, {{{ShiftKind::Shift12, kStepApplied}}}},
     {3,
      {{{ShiftKind::Lin14, kStepApplied},
        {ShiftKind::Lin34, kStepReversed},
        {ShiftKind::Shift23, kStepReversed}}}}},
    {1,
     3,
     {2, {{{ShiftKind::Shift12, kStepApplied}, {ShiftKind::Shift23, kStepApplied}}}},
     {2, {{{ShiftKind::Lin14, kStepApplied}, {ShiftKind::Lin34, kStepReversed}}}}},
    {1, 4, {1, {{{ShiftKind::Lin14, kStepApplied}}}}, {1, {{{ShiftKind::Lin14, kStepApplied}}}}},
    {2,
     3,
     {1, {{{ShiftKind::Shift23, kStepApplied}}}},
     {1, {{{ShiftKind::Shift23, kStepApplied}}}}},
    {2,
     4,
     {2, {{{ShiftKind::Shift23, kStepApplied}, {ShiftKind::Lin34, kStepApplied}}}},
     {2, {{{ShiftKind::Shift23, kStepApplied}, {ShiftKind::Lin34, kStepApplied}}}}},
    {3, 4, {1, {{{ShiftKind::Lin34, kStepApplied}}}}, {1, {{{ShiftKind::Lin34, kStepApplied}}}}},
}};

// Arc seconds to degrees, signed by the direction of the conversion.
constexpr double kSecondsPerDegree = 3600.0;

const PairRoutes* routesOf(int lower, int higher) {
  for (const PairRoutes& pair : kRoutes) {
    if (pair.lower == lower && pair.higher == higher) return &pair;
  }
  return nullptr;
}

bool isGaussKruegerSystem(int system) {
  return system == 1 || system == 4;
}

void evaluateStep(ShiftKind kind, double latitude, double longitude, double& latShift,
                  double& lonShift) {
  switch (kind) {
    case ShiftKind::Shift12:
      return SHIFT12(latitude, longitude, latShift, lonShift);
    case ShiftKind::Shift23:
      return SHIFT23(latitude, longitude, latShift, lonShift);
    case ShiftKind::Lin14:
      return LIN14(latitude, longitude, latShift, lonShift);
    case ShiftKind::Lin34:
      return LIN34(latitude, longitude, latShift, lonShift);
  }
}

// Outside both regions only a Gauss-Krueger grid on the side that has a grid allows a path
// (the target's grid decides when the target is a grid).
int gridSideOfTypes(const char* fromType, int fromSystem, const char* toType, int toSystem) {
  if (isGridType(toType)) return toSystem;
  if (isGridType(fromType)) return fromSystem;
  return kNoGridSide;
}

}  // namespace

ChainPlan planChain(int fromSystem, int toSystem, int gridSideSystem) {
  ChainPlan plan;
  if (fromSystem == toSystem) {
    plan.sameSystem = true;
    return plan;
  }
  if (!isKnownSystem(fromSystem) || !isKnownSystem(toSystem)) return plan;
  const bool ascending = fromSystem < toSystem;
  plan.pair = ascending ? routesOf(fromSystem, toSystem) : routesOf(toSystem, fromSystem);
  plan.direction = (ascending ? 1.0 : -1.0) / kSecondsPerDegree;
  plan.routeAOutsideRegions = isGaussKruegerSystem(gridSideSystem);
  return plan;
}

const Route* routeOfPoint(const ChainPlan& plan, double latitude, double longitude) {
  if (plan.pair == nullptr) return nullptr;
  if (INREGA(latitude, longitude) != 0) return &plan.pair->regionA;
  if (INREGB(latitude, longitude) != 0) return &plan.pair->regionB;
  if (plan.routeAOutsideRegions) return &plan.pair->regionA;
  return nullptr;
}

void shiftAlongRoute(const ChainPlan& plan, const Route& route, double& latitude,
                     double& longitude) {
  for (int i = 0; i < route.stepCount; ++i) {
    const RouteStep& step = route.steps[static_cast<std::size_t>(i)];
    double latShift = 0.0;
    double lonShift = 0.0;
    evaluateStep(step.shift, latitude, longitude, latShift, lonShift);
    const double factor = step.sign * plan.direction;
    latitude += factor * latShift;
    longitude += factor * lonShift;
  }
}

int shiftDatum(const ChainPlan& plan, double& latitude, double& longitude) {
  if (plan.sameSystem) return 0;
  const Route* route = routeOfPoint(plan, latitude, longitude);
  if (route == nullptr) return -1;
  shiftAlongRoute(plan, *route, latitude, longitude);
  return 0;
}

}  // namespace nuvex::engine

namespace nuvex {

int DATUMCHAIN(double& latitude, double& longitude, const char* fromType, const int& fromSystem,
               const char* toType, const int& toSystem) {
  constexpr int kNoPath = -1;
  if (!engine::isKnownSystem(fromSystem) || !engine::isKnownSystem(toSystem)) return kNoPath;
  const engine::ChainPlan plan = engine::planChain(
      fromSystem, toSystem, engine::gridSideOfTypes(fromType, fromSystem, toType, toSystem));
  return engine::shiftDatum(plan, latitude, longitude);
}

}  // namespace nuvex
