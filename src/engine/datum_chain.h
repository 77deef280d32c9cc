// The datum chain's routes and its per-conversion plan, shared by DATUMCHAIN (one point, type
// codes as texts) and the batch paths (many points, the plan made once).
#pragma once

#include <array>

namespace nuvex::engine {

// The four shift steps of the network, each formulated from the lower to the higher system code.
enum class ShiftKind { Shift12, Shift23, Lin14, Lin34 };

inline constexpr int kStepApplied = 1;    // the step's shift is added (times the direction factor)
inline constexpr int kStepReversed = -1;  // the step's shift is subtracted

struct RouteStep {
  ShiftKind shift;
  int sign;  // kStepApplied or kStepReversed
};

inline constexpr int kMaxRouteSteps = 3;

struct Route {
  int stepCount;
  std::array<RouteStep, kMaxRouteSteps> steps;
};

// Routes of one system pair (lower code first). The steps run in the listed order in both
// directions; only the direction factor changes sign.
struct PairRoutes {
  int lower;
  int higher;
  Route regionA;  // also taken outside both regions when the grid side is Gauss-Krueger
  Route regionB;
};

// What the chain does for one conversion, fixed before the first point.
struct ChainPlan {
  bool sameSystem = false;            // nothing to shift (whatever the code)
  const PairRoutes* pair = nullptr;   // null (and not sameSystem): no route between the systems
  double direction = 0.0;             // +-1/3600: arc seconds to degrees, towards the target
  bool routeAOutsideRegions = false;  // the grid side is Gauss-Krueger
};

inline constexpr int kNoGridSide = 0;

// gridSideSystem: the target's system if the target is a grid, else the source's if the source
// is a grid, else kNoGridSide.
ChainPlan planChain(int fromSystem, int toSystem, int gridSideSystem);

// The route a geographic point (deg, input system) takes, or null when it has no path.
const Route* routeOfPoint(const ChainPlan& plan, double latitude, double longitude);

// Moves the point along the route (deg in and out).
void shiftAlongRoute(const ChainPlan& plan, const Route& route, double& latitude,
                     double& longitude);

// Both of the above; 0, or -1 when the point has no transformation path.
int shiftDatum(const ChainPlan& plan, double& latitude, double& longitude);

}  // namespace nuvex::engine
