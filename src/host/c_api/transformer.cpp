// Transformers of the C interface: the batch engine with the library's per-point input checks,
// the zone a source name fixes, the zone prefix of UTM output eastings, heights and epochs.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <limits>
#include <string>
#include <type_traits>
#include <utility>

#include "host/c_api/boundary.h"
#include "host/c_api/conversion.h"
#include "nuvex/nuvex.h"
#include "nuvex/transform.h"

// The engine's zone and status arrays are int; the C interface's are int32_t.
static_assert(std::is_same_v<std::int32_t, int>);

struct nuvex_transformer {
  nuvex::c_api::Conversion conversion;
  nuvex::Transformer transformer;
};

namespace nuvex::c_api {
namespace {

// Points checked and converted at once, in buffers on the stack. A multiple of the engine's
// vector block, so that every point's result is the one a single call of the engine gives.
constexpr std::size_t kChunkPoints = 1024;

constexpr double kNotANumber = std::numeric_limits<double>::quiet_NaN();

struct Arrays {
  const double* x;
  const double* y;
  const std::int32_t* zone;
  double* xOut;
  double* yOut;
  std::int32_t* zoneOut;
  std::int32_t* status;
  const double* z = nullptr;  // heights: both null for nuvex_transform
  double* zOut = nullptr;
  const double* epoch = nullptr;  // the points' own epochs; null: the options'
};

// Doubles an array can hold at most: no object is larger than the largest pointer difference. A
// larger count is a caller's error (a negative number cast to size_t, a byte count for a point
// count), not points.
constexpr std::size_t kMostPoints =
    static_cast<std::size_t>(std::numeric_limits<std::ptrdiff_t>::max()) / sizeof(double);

bool utmSource(const Conversion& c) {
  return c.from.type == CoordinateType::Grid && !isGaussKrueger(c.from.system);
}

// Whether a point is of the zone the source's name fixes (every point is, when it fixes none): a
// UTM point's own zone, when given (not 0), must be it; a Gauss-Krueger easting's millions must
// name it. The engine checks the rest of the input.
bool inNamedZone(const Conversion& c, double x, int zone) {
  if (!c.sourceZone) return true;
  if (utmSource(c)) return zone == kZoneFromEasting || zone == *c.sourceZone;
  return std::trunc(x / kZoneMultiplier) == *c.sourceZone;
}

// The zone the engine takes for a point: the named zone for every UTM point of a name that fixes
// one.
int engineZone(const Conversion& c, int zone) {
  return c.sourceZone && utmSource(c) ? *c.sourceZone : zone;
}

// Converts points [begin, begin + count), count <= kChunkPoints. The input is judged before the
// engine runs, because the outputs may be the inputs.
void convertChunk(const nuvex_transformer& t, const Arrays& a, std::size_t begin,
                  std::size_t count) {
  const Conversion& c = t.conversion;
  std::array<bool, kChunkPoints> acceptable;
  std::array<std::int32_t, kChunkPoints> fixedZones, zoneOut, status;
  const std::int32_t* zones = a.zone != nullptr ? a.zone + begin : nullptr;
  for (std::size_t i = 0; i < count; ++i) {
    const int zone = zones != nullptr ? zones[i] : kZoneFromEasting;
    acceptable[i] = inNamedZone(c, a.x[begin + i], zone);
    fixedZones[i] = engineZone(c, zone);
  }
  if (c.sourceZone && utmSource(c)) zones = fixedZones.data();
  std::int32_t* zoneOutOf = a.zoneOut != nullptr ? a.zoneOut + begin : zoneOut.data();
  std::int32_t* statusOf = a.status != nullptr ? a.status + begin : status.data();
  double* xOut = a.xOut + begin;
  double* yOut = a.yOut + begin;
  const auto at = [begin](auto* array) { return array != nullptr ? array + begin : nullptr; };
  t.transformer.transform(count, PointArrays{a.x + begin, a.y + begin, at(a.z), at(a.epoch), zones},
                          ResultArrays{xOut, yOut, at(a.zOut), zoneOutOf, statusOf});
  // A converted height goes with its point; one carried along stays whatever the point's status.
  double* zOut = t.transformer.convertsHeights() ? a.zOut + begin : nullptr;
  for (std::size_t i = 0; i < count; ++i) {
    if (!acceptable[i] || statusOf[i] != kPointConverted) {
      xOut[i] = kNotANumber;
      yOut[i] = kNotANumber;
      if (zOut != nullptr) zOut[i] = kNotANumber;
      zoneOutOf[i] = 0;
      statusOf[i] = kPointWithoutPath;
    } else if (c.zonePrefix) {
      xOut[i] += zoneOutOf[i] * kZoneMultiplier;
    }
  }
}

// Why convertChunk marks the point (with its height and its own epoch, when given), or None.
RangeProblem explainPoint(const nuvex_transformer& t, double x, double y, const double* z,
                          const double* epoch, int zone) {
  const Conversion& c = t.conversion;
  if (!inNamedZone(c, x, zone)) {
    // Coordinates that are no numbers or out of range say so before their zone does.
    const RangeProblem input = checkInput(c.from, c.zones.width, zone, x, y);
    const bool noCoordinates =
        input == RangeProblem::NotFinite || input == RangeProblem::OutsideCoordinates;
    return noCoordinates ? input : RangeProblem::NoSuchZone;
  }
  // A height is read only where heights are converted.
  const double height = z != nullptr ? *z : 0.0;
  if (epoch != nullptr) return t.transformer.explain(x, y, height, *epoch, engineZone(c, zone));
  return t.transformer.explain(x, y, height, engineZone(c, zone));
}

// A transformer that converts heights has no point to give without them.
void requireHeightsCall(const nuvex_transformer& t, const char* call) {
  if (t.transformer.convertsHeights()) {
    throw Failure(NUVEX_ERROR_ARGUMENT,
                  std::string("the transformer converts heights: call ") + call + " with z");
  }
}

// ITRF2020 moves against ETRS89 by some 2.5 cm a year in Germany: a conversion between them has
// no result without the points' epoch, and epochs given to any other would change nothing.
void requireEpochs(const nuvex_transformer& t, const double* epochs, const char* perPointCall) {
  const Conversion& c = t.conversion;
  if (epochs != nullptr && !c.needsEpoch) {
    throw Failure(NUVEX_ERROR_ARGUMENT,
                  "epoch: the conversion needs none (only one between system 5 (ITRF2020) and "
                  "another system does); pass NULL");
  }
  if (c.needsEpoch && epochs == nullptr && std::isnan(c.epoch)) {
    throw Failure(NUVEX_ERROR_ARGUMENT,
                  std::string("the conversion between system 5 (ITRF2020) and another system "
                              "needs the epoch of its points: set options.epoch (or name it, "
                              "'EPSG:9990@2026.9'), or give ") +
                      perPointCall + " one per point");
  }
}

// Checks the arguments of a batch call; the named arrays must not be null with count > 0.
void checkBatchCall(const nuvex_transformer* t, std::size_t count,
                    std::initializer_list<std::pair<const void*, const char*>> arrays) {
  requirePointer(t, "transformer");
  if (count == 0) return;
  if (count > kMostPoints) {
    throw Failure(NUVEX_ERROR_ARGUMENT,
                  "count " + std::to_string(count) + " is more points than an array can hold");
  }
  const std::string withCount = " with count " + std::to_string(count);
  for (const auto& [pointer, name] : arrays) {
    if (pointer == nullptr) {
      throw Failure(NUVEX_ERROR_ARGUMENT, std::string(name) + " is NULL" + withCount);
    }
  }
}

void convertInChunks(const nuvex_transformer& t, std::size_t count, const Arrays& arrays) {
  for (std::size_t begin = 0; begin < count; begin += kChunkPoints) {
    convertChunk(t, arrays, begin, std::min(kChunkPoints, count - begin));
  }
}

}  // namespace
}  // namespace nuvex::c_api

using nuvex::c_api::Failure;
using nuvex::c_api::guarded;
using nuvex::c_api::requirePointer;

nuvex_transformer* nuvex_transformer_create(const char* source, const char* target,
                                            const nuvex_options* options, nuvex_error* error) {
  nuvex_transformer* made = nullptr;
  guarded(error, [&] {
    const nuvex::c_api::Conversion conversion =
        nuvex::c_api::resolveConversion(source, target, options);
    const nuvex::DatumChoice datum{
        conversion.officialDatum ? nuvex::DatumShift::Official : nuvex::DatumShift::Polynomial,
        conversion.grid, conversion.epoch};
    made = new nuvex_transformer{
        conversion, nuvex::Transformer(conversion.from, conversion.to, conversion.zones, datum,
                                       conversion.heights)};
  });
  return made;
}

int nuvex_transform(const nuvex_transformer* t, std::size_t count, const double* x, const double* y,
                    const std::int32_t* zone, double* x_out, double* y_out, std::int32_t* zone_out,
                    std::int32_t* status, nuvex_error* error) {
  return guarded(error, [&] {
    nuvex::c_api::checkBatchCall(t, count,
                                 {{x, "x"}, {y, "y"}, {x_out, "x_out"}, {y_out, "y_out"}});
    nuvex::c_api::requireHeightsCall(*t, "nuvex_transform3d");
    nuvex::c_api::requireEpochs(*t, nullptr, "nuvex_transform3d");
    if (count == 0) return;
    nuvex::c_api::convertInChunks(*t, count, {x, y, zone, x_out, y_out, zone_out, status});
  });
}

int nuvex_transform3d(const nuvex_transformer* t, std::size_t count, const double* x,
                      const double* y, const double* z, const double* epoch,
                      const std::int32_t* zone, double* x_out, double* y_out, double* z_out,
                      std::int32_t* zone_out, std::int32_t* status, nuvex_error* error) {
  return guarded(error, [&] {
    nuvex::c_api::checkBatchCall(t, count,
                                 {{x, "x"}, {y, "y"}, {x_out, "x_out"}, {y_out, "y_out"}});
    // Heights are needed where they are converted; elsewhere they are carried, if given.
    if (z != nullptr || t->transformer.convertsHeights()) {
      nuvex::c_api::checkBatchCall(t, count, {{z, "z"}, {z_out, "z_out"}});
    }
    nuvex::c_api::requireEpochs(*t, epoch, "nuvex_transform3d");
    if (count == 0) return;
    nuvex::c_api::convertInChunks(*t, count,
                                  {x, y, zone, x_out, y_out, zone_out, status, z, z_out, epoch});
  });
}

int nuvex_explain(const nuvex_transformer* t, double x, double y, std::int32_t zone,
                  std::int32_t* reason, nuvex_error* error) {
  return guarded(error, [&] {
    requirePointer(t, "transformer");
    requirePointer(reason, "reason");
    nuvex::c_api::requireHeightsCall(*t, "nuvex_explain3d");
    nuvex::c_api::requireEpochs(*t, nullptr, "nuvex_explain3d");
    *reason =
        static_cast<std::int32_t>(nuvex::c_api::explainPoint(*t, x, y, nullptr, nullptr, zone));
  });
}

int nuvex_explain3d(const nuvex_transformer* t, double x, double y, double z, const double* epoch,
                    std::int32_t zone, std::int32_t* reason, nuvex_error* error) {
  return guarded(error, [&] {
    requirePointer(t, "transformer");
    requirePointer(reason, "reason");
    nuvex::c_api::requireEpochs(*t, epoch, "nuvex_explain3d");
    *reason = static_cast<std::int32_t>(nuvex::c_api::explainPoint(*t, x, y, &z, epoch, zone));
  });
}

void nuvex_transformer_destroy(nuvex_transformer* t) {
  delete t;
}
