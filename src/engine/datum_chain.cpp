// The datum chain: moves a geographic point between two systems along the route of shifts that
// its region selects.
#include <array>

#include "engine/geodetic_tables.h"
#include "engine/type_codes.h"
#include "nuvex/engine.h"

namespace nuvex {
namespace {

using ShiftStep = void (*)(const double& latitude, const double& longitude, double& latShift,
                           double& lonShift);

constexpr int kApplied = 1;    // the step's shift is added (times the direction factor)
constexpr int kReversed = -1;  // the step's shift is subtracted

struct RouteStep {
  ShiftStep shift;
  int sign;
};

constexpr int kMaxSteps = 3;

struct Route {
  int stepCount;
  std::array<RouteStep, kMaxSteps> steps;
};

// Routes of one system pair (lower code first). The steps run in the listed order in both
// directions; only the direction factor changes sign.
struct PairRoutes {
  int lower;
  int higher;
  Route regionA;  // also taken outside both regions when the grid side is Gauss-Krueger
  Route regionB;
};

constexpr std::array<PairRoutes, 6> kRoutes{{
    {1,
     2,
     {1, {{{SHIFT12, kApplied}}}},
     {3, {{{LIN14, kApplied}, {LIN34, kReversed}, {SHIFT23, kReversed}}}}},
    {1,
     3,
     {2, {{{SHIFT12, kApplied}, {SHIFT23, kApplied}}}},
     {2, {{{LIN14, kApplied}, {LIN34, kReversed}}}}},
    {1, 4, {1, {{{LIN14, kApplied}}}}, {1, {{{LIN14, kApplied}}}}},
    {2, 3, {1, {{{SHIFT23, kApplied}}}}, {1, {{{SHIFT23, kApplied}}}}},
    {2,
     4,
     {2, {{{SHIFT23, kApplied}, {LIN34, kApplied}}}},
     {2, {{{SHIFT23, kApplied}, {LIN34, kApplied}}}}},
    {3, 4, {1, {{{LIN34, kApplied}}}}, {1, {{{LIN34, kApplied}}}}},
}};

// Arc seconds to degrees, signed by the direction of the conversion.
constexpr double kSecondsPerDegree = 3600.0;

constexpr int kConverted = 0;
constexpr int kNoPath = -1;

const PairRoutes* routesOf(int lower, int higher) {
  for (const PairRoutes& pair : kRoutes) {
    if (pair.lower == lower && pair.higher == higher) return &pair;
  }
  return nullptr;
}

bool isGaussKruegerSystem(int system) {
  return system == 1 || system == 4;
}

// Outside both regions only a Gauss-Krueger grid on the side that has a grid allows a path
// (the target's grid decides when the target is a grid).
bool gridSideIsGaussKrueger(const char* fromType, int fromSystem, const char* toType,
                            int toSystem) {
  if (engine::isGridType(toType)) return isGaussKruegerSystem(toSystem);
  if (engine::isGridType(fromType)) return isGaussKruegerSystem(fromSystem);
  return false;
}

}  // namespace

int DATUMCHAIN(double& latitude, double& longitude, const char* fromType, const int& fromSystem,
               const char* toType, const int& toSystem) {
  if (!engine::isKnownSystem(fromSystem) || !engine::isKnownSystem(toSystem)) return kNoPath;
  // Within one system there is no datum to change.
  if (fromSystem == toSystem) return kConverted;

  const bool ascending = fromSystem < toSystem;
  const PairRoutes* pair =
      ascending ? routesOf(fromSystem, toSystem) : routesOf(toSystem, fromSystem);
  if (pair == nullptr) return kNoPath;

  const Route* route = nullptr;
  if (INREGA(latitude, longitude) != 0) {
    route = &pair->regionA;
  } else if (INREGB(latitude, longitude) != 0) {
    route = &pair->regionB;
  } else if (gridSideIsGaussKrueger(fromType, fromSystem, toType, toSystem)) {
    route = &pair->regionA;
  } else {
    return kNoPath;
  }

  const double direction = (ascending ? 1.0 : -1.0) / kSecondsPerDegree;
  for (int i = 0; i < route->stepCount; ++i) {
    const RouteStep& step = route->steps[static_cast<std::size_t>(i)];
    double latShift = 0.0;
    double lonShift = 0.0;
    step.shift(latitude, longitude, latShift, lonShift);
    const double factor = step.sign * direction;
    latitude += factor * latShift;
    longitude += factor * lonShift;
  }
  return kConverted;
}

}  // namespace nuvex
