// Transformer: the batch path over the engine's per-point conversion, without shared state.
#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <stdexcept>
#include <string>
#include <utility>

#include "engine/batch.h"
#include "engine/exact_projection.h"
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
// is the input itself (TRGU would project it whatever the output type says), and that grids are
// projected exactly where the engine's series are not (beyond their band, or in the official
// mode, where system 3 is ETRS89 on GRS80).
engine::ConversionPlan planOf(CoordinateSystem from, CoordinateSystem to, ZoneChoice zones,
                              const engine::OfficialDatum* official) {
  const bool gridInput = from.type == CoordinateType::Grid;
  const bool gridOutput = to.type == CoordinateType::Grid;
  const int gridSide = gridOutput ? to.system : gridInput ? from.system : engine::kNoGridSide;
  engine::ConversionPlan plan{
      from.system, to.system, zones.width, zones.fromLongitude ? 1 : 0,
      zones.given, gridInput, gridOutput,  engine::planChain(from.system, to.system, gridSide)};
  plan.official = official;
  const bool etrs89 = official != nullptr;
  plan.series = etrs89 ? engine::ProjectionSeries::Exact : engine::ProjectionSeries::Banded;
  plan.sourceSeries = &engine::kruegerSeriesOfSystem(from.system, etrs89);
  plan.targetSeries = &engine::kruegerSeriesOfSystem(to.system, etrs89);
  return plan;
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
  return engine::convertPoints(planOf(from_, to_, zones_, official_.get()),
                               engine::activeKernelPath(), count, x, y, zone, xOut, yOut, zoneOut,
                               status);
}

RangeProblem Transformer::explain(double x, double y, int zone) const {
  engine::PointResult result{};
  return engine::convertBatchPoint(planOf(from_, to_, zones_, official_.get()), x, y, zone, result);
}

}  // namespace nuvex
