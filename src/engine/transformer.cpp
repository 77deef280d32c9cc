// Transformer: the batch path over the engine's per-point conversion, without shared state.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <limits>
#include <sstream>
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
  if (!isKnownSystemCode(system)) {
    throw std::invalid_argument(std::string("nuvex::Transformer: ") + side + " system " +
                                std::to_string(system) + " is not one of 1 to 5");
  }
}

// ITRF2020 moves against ETRS89 by some 2.5 cm a year in Germany: a conversion between them
// without its epoch would be off by decimetres without a word.
[[noreturn]] void refuseWithoutEpoch() {
  throw std::invalid_argument(
      "nuvex::Transformer: a conversion between system 5 (ITRF2020) and another system needs "
      "the epoch of its points (DatumChoice::epoch, or an epoch per point)");
}

// The official datum's own checks of system 5 and the epoch.
void checkFrame(CoordinateSystem from, CoordinateSystem to, const DatumChoice& datum) {
  const bool frame = from.system == kItrf2020System || to.system == kItrf2020System;
  if (frame && datum.method != DatumShift::Official) {
    throw std::invalid_argument(
        "nuvex::Transformer: system 5 (ITRF2020) is joined to the other systems by the official "
        "datum transformations only (EPSG:10586 at an epoch); use the official datum shift");
  }
  if (!std::isnan(datum.epoch) && !isAcceptableEpoch(datum.epoch)) {
    std::ostringstream epoch;
    epoch << datum.epoch;
    throw std::invalid_argument("nuvex::Transformer: the epoch " + epoch.str() +
                                " is no decimal year from 1990 to 2100");
  }
}

// System 5 runs on system 3's grid and series (GRS80, exact), joined to it by its own step of the
// official datum.
int geometrySystemOf(int system) {
  return system == kItrf2020System ? kWgs84System : system;
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
                              const DatumChoice& datum, const engine::OfficialDatum* official) {
  from.system = geometrySystemOf(from.system);
  to.system = geometrySystemOf(to.system);
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
  plan.epoch = datum.epoch;
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
  checkFrame(from_, to_, datum_);
  checkHeights(from_, to_, datum_, heights_);
  official_ = officialDatumOf(from_, to_, datum_, heights_);
}

std::size_t Transformer::transform(std::size_t count, const double* x, const double* y,
                                   const int* zone, double* xOut, double* yOut, int* zoneOut,
                                   int* status) const {
  if (count != 0 && convertsHeights()) {
    throw std::invalid_argument(
        "nuvex::Transformer::transform: this Transformer converts heights; give them (z, zOut)");
  }
  return transform(count, PointArrays{x, y, nullptr, nullptr, zone},
                   ResultArrays{xOut, yOut, nullptr, zoneOut, status});
}

std::size_t Transformer::transform(std::size_t count, const double* x, const double* y,
                                   const double* z, const int* zone, double* xOut, double* yOut,
                                   double* zOut, int* zoneOut, int* status) const {
  if (count == 0) return 0;
  checkArray(z, "z");
  return transform(count, PointArrays{x, y, z, nullptr, zone},
                   ResultArrays{xOut, yOut, zOut, zoneOut, status});
}

std::size_t Transformer::transform(std::size_t count, const PointArrays& in,
                                   const ResultArrays& out) const {
  if (count == 0) return 0;
  checkArray(in.x, "x");
  checkArray(in.y, "y");
  checkArray(out.x, "xOut");
  checkArray(out.y, "yOut");
  if (convertsHeights()) checkArray(in.z, "z");
  if (in.z != nullptr) checkArray(out.z, "zOut");
  const engine::ConversionPlan plan = planOf(from_, to_, zones_, datum_, official_.get());
  const bool epochs = official_ != nullptr && official_->needsEpoch();
  if (epochs && in.epoch == nullptr && std::isnan(datum_.epoch)) refuseWithoutEpoch();
  if (!convertsHeights() && in.z != nullptr && out.z != in.z) {
    std::memmove(out.z, in.z, count * sizeof(double));  // carried; out.z may overlap in.z
  }
  if (convertsHeights() || epochs) {
    return engine::convertPointsInFull(plan, engine::activeKernelPath(), count, in.x, in.y,
                                       convertsHeights() ? in.z : nullptr,
                                       epochs ? in.epoch : nullptr, in.zone, out.x, out.y,
                                       convertsHeights() ? out.z : nullptr, out.zone, out.status);
  }
  return engine::convertPoints(plan, engine::activeKernelPath(), count, in.x, in.y, in.zone, out.x,
                               out.y, out.zone, out.status);
}

RangeProblem Transformer::explain(double x, double y, int zone) const {
  if (convertsHeights()) {
    throw std::invalid_argument(
        "nuvex::Transformer::explain: this Transformer converts heights; give the height");
  }
  return explain(x, y, 0.0, zone);
}

RangeProblem Transformer::explain(double x, double y, double z, int zone) const {
  if (official_ != nullptr && official_->needsEpoch() && std::isnan(datum_.epoch)) {
    refuseWithoutEpoch();
  }
  return explain(x, y, z, datum_.epoch, zone);
}

RangeProblem Transformer::explain(double x, double y, double z, double epoch, int zone) const {
  const engine::ConversionPlan plan = planOf(from_, to_, zones_, datum_, official_.get());
  engine::PointResult result{};
  double height = 0.0;
  return engine::convertBatchPoint(plan, x, y, convertsHeights() ? &z : nullptr, epoch, zone,
                                   result, height);
}

}  // namespace nuvex
