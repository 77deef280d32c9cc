// Transformer: the batch path over the engine's per-point conversion, without shared state.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <limits>
#include <stdexcept>
#include <string>
#include <tuple>
#include <utility>

#include "engine/batch.h"
#include "engine/exact_projection.h"
#include "engine/geodetic_tables.h"
#include "engine/geotiff_grid.h"
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

[[noreturn]] void refuseHeights(const std::string& why) {
  throw std::invalid_argument("nuvex::Transformer: " + why);
}

// What cannot be converted is refused before any file is read.
void checkHeights(CoordinateSystem from, CoordinateSystem to, const DatumChoice& datum,
                  const HeightChoice& heights) {
  const bool fromNone = heights.from == HeightKind::None, toNone = heights.to == HeightKind::None;
  if (fromNone && toNone) {
    if (!heights.geoid.empty()) {
      refuseHeights("a geoid (" + heights.geoid + ") is only used where heights are converted");
    }
    return;
  }
  if (fromNone != toNone) {
    refuseHeights(std::string("a height is converted from one kind into another: the ") +
                  (fromNone ? "source" : "target") + " needs a height kind too");
  }
  if (datum.method != DatumShift::Official) {
    refuseHeights(
        "heights are converted by the official datum transformations only; use the official "
        "datum shift, or leave the heights out to carry them along unchanged");
  }
  for (const auto& [side, system, kind] : {std::tuple{"source", from.system, heights.from},
                                           std::tuple{"target", to.system, heights.to}}) {
    if (kind == HeightKind::Ellipsoidal && system == 1) {
      refuseHeights(std::string("the ") + side +
                    " is system 1 (DHDN), which has no ellipsoidal heights in practice: its "
                    "heights are DHHN2016 normal heights");
    }
  }
  if (!heights.geoid.empty() && !engine::heightsMeetGeoid(heights.from, heights.to)) {
    refuseHeights("a geoid (" + heights.geoid +
                  ") is only used where a normal height meets an ellipsoidal one");
  }
}

engine::HeightRoute heightRouteOf(const HeightChoice& heights) {
  engine::HeightRoute route{heights.from, heights.to, nullptr};
  if (engine::heightsMeetGeoid(heights.from, heights.to)) {
    route.geoid = heights.geoid.empty() ? engine::builtInGeoid()
                                        : std::make_shared<const engine::GeoidGrid>(
                                              engine::readGeoTiffGeoidGridFile(heights.geoid));
  }
  return route;
}

std::shared_ptr<const engine::OfficialDatum> officialDatumOf(CoordinateSystem from,
                                                             CoordinateSystem to,
                                                             const DatumChoice& datum,
                                                             const HeightChoice& heights) {
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
  if (heights.from == HeightKind::None) {
    return std::make_shared<const engine::OfficialDatum>(from.system, to.system, datum.grid);
  }
  return std::make_shared<const engine::OfficialDatum>(from.system, to.system, datum.grid,
                                                       heightRouteOf(heights));
}

}  // namespace

Transformer::Transformer(CoordinateSystem from, CoordinateSystem to, ZoneChoice zones,
                         DatumChoice datum, HeightChoice heights)
    : from_(from), to_(to), zones_(zones), datum_(std::move(datum)), heights_(std::move(heights)) {
  checkSystem("source", from.system);
  checkSystem("target", to.system);
  if (zones.width != kThreeDegreeZones && zones.width != kSixDegreeZones) {
    throw std::invalid_argument("nuvex::Transformer: zone width " + std::to_string(zones.width) +
                                " is not 3 or 6");
  }
  checkHeights(from_, to_, datum_, heights_);
  official_ = officialDatumOf(from_, to_, datum_, heights_);
}

std::size_t Transformer::transform(std::size_t count, const double* x, const double* y,
                                   const int* zone, double* xOut, double* yOut, int* zoneOut,
                                   int* status) const {
  if (count == 0) return 0;
  checkArray(x, "x");
  checkArray(y, "y");
  checkArray(xOut, "xOut");
  checkArray(yOut, "yOut");
  if (convertsHeights()) {
    throw std::invalid_argument(
        "nuvex::Transformer::transform: this Transformer converts heights; give them (z, zOut)");
  }
  return engine::convertPoints(planOf(from_, to_, zones_, official_.get()),
                               engine::activeKernelPath(), count, x, y, zone, xOut, yOut, zoneOut,
                               status);
}

std::size_t Transformer::transform(std::size_t count, const double* x, const double* y,
                                   const double* z, const int* zone, double* xOut, double* yOut,
                                   double* zOut, int* zoneOut, int* status) const {
  if (count == 0) return 0;
  checkArray(x, "x");
  checkArray(y, "y");
  checkArray(z, "z");
  checkArray(xOut, "xOut");
  checkArray(yOut, "yOut");
  checkArray(zOut, "zOut");
  const engine::ConversionPlan plan = planOf(from_, to_, zones_, official_.get());
  if (convertsHeights()) {
    return engine::convertPointsWithHeights(plan, engine::activeKernelPath(), count, x, y, z, zone,
                                            xOut, yOut, zOut, zoneOut, status);
  }
  // Carried along: a caller's zOut may overlap z in any way.
  if (zOut != z) std::memmove(zOut, z, count * sizeof(double));
  return engine::convertPoints(plan, engine::activeKernelPath(), count, x, y, zone, xOut, yOut,
                               zoneOut, status);
}

RangeProblem Transformer::explain(double x, double y, int zone) const {
  if (convertsHeights()) {
    throw std::invalid_argument(
        "nuvex::Transformer::explain: this Transformer converts heights; give the height");
  }
  engine::PointResult result{};
  return engine::convertBatchPoint(planOf(from_, to_, zones_, official_.get()), x, y, zone, result);
}

RangeProblem Transformer::explain(double x, double y, double z, int zone) const {
  const engine::ConversionPlan plan = planOf(from_, to_, zones_, official_.get());
  engine::PointResult result{};
  if (!convertsHeights()) return engine::convertBatchPoint(plan, x, y, zone, result);
  double height = 0.0;
  return engine::convertBatchPoint(plan, x, y, z, zone, result, height);
}

}  // namespace nuvex
