// The reasons of the C interface are the library's own (RangeProblem in nuvex/systems.h): the same
// numbers, checked here at compile time, and the same texts.
#include "nuvex/nuvex.h"
#include "nuvex/systems.h"

namespace {

using nuvex::RangeProblem;

constexpr bool same(nuvex_reason reason, RangeProblem problem) {
  return static_cast<int>(reason) == static_cast<int>(problem);
}

static_assert(same(NUVEX_REASON_NONE, RangeProblem::None));
static_assert(same(NUVEX_REASON_NOT_FINITE, RangeProblem::NotFinite));
static_assert(same(NUVEX_REASON_OUTSIDE_COORDINATES, RangeProblem::OutsideCoordinates));
static_assert(same(NUVEX_REASON_NO_SUCH_ZONE, RangeProblem::NoSuchZone));
static_assert(same(NUVEX_REASON_BEYOND_POLE, RangeProblem::BeyondPole));
static_assert(same(NUVEX_REASON_BEYOND_PROJECTION_LIMIT, RangeProblem::BeyondProjectionLimit));
static_assert(same(NUVEX_REASON_OUTSIDE_GRID, RangeProblem::OutsideGrid));
static_assert(same(NUVEX_REASON_OUTSIDE_OFFICIAL_AREA, RangeProblem::OutsideOfficialArea));
static_assert(same(NUVEX_REASON_OUTSIDE_POLYNOMIAL_AREA, RangeProblem::OutsidePolynomialArea));
static_assert(same(NUVEX_REASON_NO_ZONE_OF_TARGET, RangeProblem::NoZoneOfTarget));
static_assert(same(NUVEX_REASON_IMPOSSIBLE_RESULT, RangeProblem::ImpossibleResult));
static_assert(same(NUVEX_REASON_HEIGHT_OUT_OF_RANGE, RangeProblem::HeightOutOfRange));
static_assert(same(NUVEX_REASON_OUTSIDE_GEOID, RangeProblem::OutsideGeoid));
static_assert(same(NUVEX_REASON_EPOCH_OUT_OF_RANGE, RangeProblem::EpochOutOfRange));
static_assert(nuvex::kRangeProblemCount == NUVEX_REASON_EPOCH_OUT_OF_RANGE + 1,
              "the library has a reason that nuvex_reason lacks: add it to nuvex.h");

}  // namespace

const char* nuvex_reason_text(int reason) {
  if (reason < 0 || reason >= nuvex::kRangeProblemCount) return "unknown reason";
  return nuvex::describeRangeProblem(static_cast<RangeProblem>(reason));
}
