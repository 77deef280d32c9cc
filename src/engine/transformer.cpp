// Transformer: the batch path over the engine's per-point conversion, without shared state.
#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <stdexcept>
#include <string>
#include <utility>

#include "engine/batch.h"
#include "engine/geodetic_tables.h"
#include "engine/official_datum.h"
#include "nuvex/transform.h"

namespace nuvex {
namespace {

void checkSystem(const char* side, int system) {
  if (!engine::isKnownSystem(system)) {
    throw std::invalid_argument(std::string("nuvex::Transformer: ") + side + " system " +
                                std::to_string(system) + " is not one of 1, 2, 3, 4");
  }
}

void checkArray(const void* array, const char* name) {
  if (array == nullptr) {
    throw std::invalid_argument(std::string("nuvex::Transformer::transform: ") + name +
                                " is null but count is not 0");
  }
}

// The plan TRGU makes for the same arguments, except that a geographic output within one system
// is the input itself (TRGU would project it whatever the output type says).
engine::ConversionPlan planOf(CoordinateSystem from, CoordinateSystem to, ZoneChoice zones) {
  const bool gridInput = from.type == CoordinateType::Grid;
  const bool gridOutput = to.type == CoordinateType::Grid;
  const int gridSide = gridOutput ? to.system : gridInput ? from.system : engine::kNoGridSide;
  return {from.system, to.system, zones.width, zones.fromLongitude ? 1 : 0,
          zones.given, gridInput, gridOutput,  engine::planChain(from.system, to.system, gridSide)};
}

std::shared_ptr<const engine::OfficialDatum> officialDatumOf(CoordinateSystem from,
                                                             CoordinateSystem to,
                                                             const DatumChoice& datum) {
  if (datum.method == DatumShift::Polynomial) {
    if (!datum.grid.empty()) {
      throw std::invalid_argument("nuvex::Transformer: a grid (" + datum.grid +
                                  ") is only used by the official datum shift");
    }
    return nullptr;
  }
  if (datum.method != DatumShift::Official) {
    throw std::invalid_argument("nuvex::Transformer: unknown datum shift method");
  }
  if (const auto problem = officialDatumProblem(from.system, to.system)) {
    throw std::invalid_argument("nuvex::Transformer: " + *problem +
                                "; use the polynomial datum shift");
  }
  return std::make_shared<const engine::OfficialDatum>(from.system, to.system, datum.grid);
}

// Points checked and converted together: the inputs' verdicts wait on the stack while the engine
// may overwrite the inputs with the outputs. A multiple of the vector path's lanes, so that the
// engine groups the points into the same blocks as in one call.
constexpr std::size_t kChunkPoints = 256;
static_assert(kChunkPoints % engine::kVectorLanes == 0);

}  // namespace

Transformer::Transformer(CoordinateSystem from, CoordinateSystem to, ZoneChoice zones,
                         DatumChoice datum)
    : from_(from), to_(to), zones_(zones), datum_(std::move(datum)) {
  checkSystem("source", from.system);
  checkSystem("target", to.system);
  if (zones.width != kThreeDegreeZones && zones.width != kSixDegreeZones) {
    throw std::invalid_argument("nuvex::Transformer: zone width " + std::to_string(zones.width) +
                                " is not 3 or 6");
  }
  official_ = officialDatumOf(from_, to_, datum_);
}

std::size_t Transformer::transform(std::size_t count, const double* x, const double* y,
                                   const int* zone, double* xOut, double* yOut, int* zoneOut,
                                   int* status) const {
  if (count == 0) return 0;
  checkArray(x, "x");
  checkArray(y, "y");
  checkArray(xOut, "xOut");
  checkArray(yOut, "yOut");
  engine::ConversionPlan plan = planOf(from_, to_, zones_);
  plan.official = official_.get();
  const engine::KernelPath path = engine::activeKernelPath();
  std::array<bool, kChunkPoints> validInput{};
  std::array<int, kChunkPoints> localZones{};
  std::array<int, kChunkPoints> localStatus{};
  std::size_t converted = 0;
  const bool gridInput = from_.type == CoordinateType::Grid;
  const bool gridOutput = to_.type == CoordinateType::Grid;
  const ZoneRange targetZones = outputZoneRange(to_.system, zones_.width);
  for (std::size_t first = 0; first < count; first += kChunkPoints) {
    const std::size_t n = std::min(kChunkPoints, count - first);
    for (std::size_t i = 0; i < n; ++i) {
      const std::size_t at = first + i;
      // Geographic input is a range check, inline; grid input asks the system's zones and band.
      validInput[i] =
          gridInput ? checkGridInput(from_.system, zones_.width, zone != nullptr ? zone[at] : 0,
                                     x[at], y[at]) == RangeProblem::None
                    : withinCoordinateRange(CoordinateType::Geographic, x[at], y[at]);
    }
    int* zones = zoneOut != nullptr ? zoneOut + first : localZones.data();
    int* statuses = status != nullptr ? status + first : localStatus.data();
    engine::convertPoints(plan, path, n, x + first, y + first,
                          zone != nullptr ? zone + first : nullptr, xOut + first, yOut + first,
                          zones, statuses);
    for (std::size_t i = 0; i < n; ++i) {
      const std::size_t at = first + i;
      // checkOutput, with the target's zones looked up once.
      const bool validOutput =
          std::isfinite(xOut[at]) && std::isfinite(yOut[at]) &&
          (gridOutput ? targetZones.contains(zones[i]) : std::fabs(yOut[at]) <= kHighestLatitude);
      if (statuses[i] == kPointConverted && validInput[i] && validOutput) {
        ++converted;
        continue;
      }
      xOut[at] = std::numeric_limits<double>::quiet_NaN();
      yOut[at] = std::numeric_limits<double>::quiet_NaN();
      zones[i] = 0;
      statuses[i] = kPointWithoutPath;
    }
  }
  return converted;
}

RangeProblem Transformer::explain(double x, double y, int zone) const {
  const RangeProblem input = checkInput(from_, zones_.width, zone, x, y);
  if (input != RangeProblem::None) return input;
  double xOut = 0.0, yOut = 0.0;
  int zoneOut = 0, status = kPointWithoutPath;
  engine::ConversionPlan plan = planOf(from_, to_, zones_);
  plan.official = official_.get();
  engine::convertPoints(plan, engine::KernelPath::Scalar, 1, &x, &y, &zone, &xOut, &yOut, &zoneOut,
                        &status);
  if (status != kPointConverted) {
    if (official_ == nullptr) return RangeProblem::OutsidePolynomialArea;
    return from_.system == 4 || to_.system == 4 ? RangeProblem::OutsideOfficialArea
                                                : RangeProblem::OutsideGrid;
  }
  return checkOutput(to_, zones_.width, xOut, yOut, zoneOut);
}

}  // namespace nuvex
