// The WebAssembly block: eight points at once as four pairs of 128-bit SIMD lanes, through the
// stages the converter page spends its time in: the projection of geographic points (the engine's
// series within its band, Krueger's beyond and in the official mode), the unprojection of
// Krueger's series and the official datum stage. It takes the place of the AVX2 block in the
// WebAssembly build, behind the same entry points, and serves the lanes it can decide exactly as
// the scalar path would; everything else (other shapes, heights and epochs, lanes near an edge or
// outside what the series serve) goes to the scalar path.
//
// The series, the checks of a grid input and the projection stage are the AVX2 block's
// (block_series.h, block_stages.h), on the same tables and with the same limits: they round
// differently from the scalar routines by far less than a micrometre. The arc tangent,
// exponential and log(1 + x) of blocks far from the meridian are the C library's, lane by lane.
// The official datum stage runs lane by lane on the scalar routines; the series around it are
// where the scalar path spent its time.
#include <wasm_simd128.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>

#include "engine/batch.h"
#include "engine/exact_projection.h"
#include "engine/geodetic_tables.h"
#include "engine/official_datum.h"
#include "engine/projection_rules.h"
#include "nuvex/systems.h"

namespace nuvex::engine {
namespace {

#define LANES_INLINE __attribute__((always_inline)) inline
// The series shared with the AVX2 block (block_series.h): the compiler inlines them as it sees fit,
// but for those that block keeps out of line.
#define SERIES_CODE
#define SERIES_INLINE LANES_INLINE

// Eight lanes, two to a register: the four pairs' latency chains overlap.
constexpr std::size_t kPairs = kVectorLanes / 2;
struct Vec {
  v128_t pair[kPairs];
};
using LaneArray = std::array<double, kVectorLanes>;
using Mask = unsigned;  // bit k for lane k

template <class Operation>
LANES_INLINE Vec eachPair(Vec a, Vec b, Operation operation) {
  Vec r;
  for (std::size_t i = 0; i < kPairs; ++i) r.pair[i] = operation(a.pair[i], b.pair[i]);
  return r;
}
template <class Operation>
LANES_INLINE Vec eachPair(Vec a, Operation operation) {
  Vec r;
  for (std::size_t i = 0; i < kPairs; ++i) r.pair[i] = operation(a.pair[i]);
  return r;
}

LANES_INLINE Vec operator+(Vec a, Vec b) {
  return eachPair(a, b, wasm_f64x2_add);
}
LANES_INLINE Vec operator-(Vec a, Vec b) {
  return eachPair(a, b, wasm_f64x2_sub);
}
LANES_INLINE Vec operator*(Vec a, Vec b) {
  return eachPair(a, b, wasm_f64x2_mul);
}
LANES_INLINE Vec operator/(Vec a, Vec b) {
  return eachPair(a, b, wasm_f64x2_div);
}

LANES_INLINE Vec splat(double value) {
  const v128_t v = wasm_f64x2_splat(value);
  return {{v, v, v, v}};
}

LANES_INLINE Vec load(const double* values) {
  Vec r;
  for (std::size_t i = 0; i < kPairs; ++i) r.pair[i] = wasm_v128_load(values + 2 * i);
  return r;
}

LANES_INLINE void store(double* values, Vec v) {
  for (std::size_t i = 0; i < kPairs; ++i) wasm_v128_store(values + 2 * i, v.pair[i]);
}

LANES_INLINE LaneArray lanes(Vec v) {
  LaneArray values;
  store(values.data(), v);
  return values;
}

LANES_INLINE Vec squareRoot(Vec v) {
  return eachPair(v, wasm_f64x2_sqrt);
}
LANES_INLINE Vec truncated(Vec v) {
  return eachPair(v, wasm_f64x2_trunc);
}
LANES_INLINE Vec rounded(Vec v) {
  return eachPair(v, wasm_f64x2_nearest);
}
LANES_INLINE Vec absolute(Vec v) {
  return eachPair(v, wasm_f64x2_abs);
}

// All ones in the lanes where the comparison holds (false for NaN).
LANES_INLINE Vec lessThan(Vec a, Vec b) {
  return eachPair(a, b, wasm_f64x2_lt);
}
LANES_INLINE Vec lessOrEqual(Vec a, Vec b) {
  return eachPair(a, b, wasm_f64x2_le);
}
LANES_INLINE Vec greaterOrEqual(Vec a, Vec b) {
  return eachPair(a, b, wasm_f64x2_ge);
}
LANES_INLINE Vec equal(Vec a, Vec b) {
  return eachPair(a, b, wasm_f64x2_eq);
}
LANES_INLINE Vec both(Vec a, Vec b) {
  return eachPair(a, b, wasm_v128_and);
}

LANES_INLINE Mask maskOf(Vec comparison) {
  Mask mask = 0;
  for (std::size_t i = 0; i < kPairs; ++i) {
    mask |= static_cast<Mask>(wasm_i64x2_bitmask(comparison.pair[i])) << (2 * i);
  }
  return mask;
}

LANES_INLINE Vec select(Vec condition, Vec ifTrue, Vec ifFalse) {
  Vec r;
  for (std::size_t i = 0; i < kPairs; ++i) {
    r.pair[i] = wasm_v128_bitselect(ifTrue.pair[i], ifFalse.pair[i], condition.pair[i]);
  }
  return r;
}

// All ones in the given lanes.
LANES_INLINE Vec laneSelector(Mask lanes) {
  Vec r;
  for (std::size_t i = 0; i < kPairs; ++i) {
    const Mask bits = lanes >> (2 * i);
    r.pair[i] = wasm_i64x2_make((bits & 1u) != 0 ? -1 : 0, (bits & 2u) != 0 ? -1 : 0);
  }
  return r;
}

LANES_INLINE Vec copySign(Vec magnitude, Vec sign) {
  const v128_t bit = wasm_f64x2_splat(-0.0);
  Vec r;
  for (std::size_t i = 0; i < kPairs; ++i) {
    r.pair[i] = wasm_v128_bitselect(sign.pair[i], magnitude.pair[i], bit);
  }
  return r;
}

// All ones in every lane (the AVX2 block compares the given lanes with themselves).
LANES_INLINE Vec everyLane(Vec) {
  const v128_t ones = wasm_i64x2_splat(-1);
  return {{ones, ones, ones, ones}};
}

// A function of the C library, lane by lane: for the rare blocks far from the meridian.
template <class Function>
LANES_INLINE Vec eachLane(Vec v, Function function) {
  LaneArray values = lanes(v);
  for (double& value : values) value = function(value);
  return load(values.data());
}

Vec atanOf(Vec v) {
  return eachLane(v, [](double x) { return std::atan(x); });
}
Vec expOf(Vec v) {
  return eachLane(v, [](double x) { return std::exp(x); });
}
Vec log1pOf(Vec v) {
  return eachLane(v, [](double x) { return std::log1p(x); });
}

}  // namespace
}  // namespace nuvex::engine

#include "engine/vector/block_stages.h"

namespace nuvex::engine {
namespace {

// ---- The official datum stage, lane by lane ----------------------------------------------------

// Radians from an edge of a sub-grid (its tolerance included) within which the last bits of the
// unprojection could decide the sub-grid: such lanes take the scalar path. About 0.6 mm.
constexpr double kSubGridEdgeMargin = 1e-10;

// Whether a point (rad) lies so near an edge of a sub-grid (its tolerance included) that the last
// bits of its coordinates could decide whether the sub-grid holds it.
bool nearSubGridEdge(const Ntv2Grid& grid, double latitude, double longitude) {
  const auto near = [](double value, double edge) {
    return std::fabs(value - edge) < kSubGridEdgeMargin;
  };
  for (const Ntv2SubGrid& sub : grid.subGrids()) {
    const double t = sub.edgeTolerance;
    if (near(latitude, sub.south - t) || near(latitude, sub.north + t) ||
        near(longitude, sub.west - t) || near(longitude, sub.east + t)) {
      return true;
    }
  }
  return false;
}

// Whether the route is one of grid shifts only (the Helmert steps' areas of use are decided in
// degrees at their edges, which this stage leaves to the scalar path).
bool gridStepsOnly(const OfficialDatum& datum) {
  for (int i = 0; i < datum.stepCount(); ++i) {
    const OfficialStep step = datum.step(i);
    if (step != OfficialStep::GridForward && step != OfficialStep::GridInverse) return false;
  }
  return true;
}

// Shifts the given lanes as OfficialDatum::shift does and returns those it served: lanes without
// a path, and lanes near a sub-grid's edge before or after the shift, are the scalar path's.
Mask shiftOfficially(const OfficialDatum& datum, Geographic& point, Mask vectorLanes) {
  LaneArray latitude = lanes(point.latitude), longitude = lanes(point.longitude);
  Mask served = 0;
  for (Mask pending = vectorLanes; pending != 0; pending &= pending - 1) {
    const int k = __builtin_ctz(pending);
    double& lat = latitude[static_cast<std::size_t>(k)];
    double& lon = longitude[static_cast<std::size_t>(k)];
    if (datum.stepCount() != 0) {
      const Ntv2Grid& grid = datum.grid();
      if (nearSubGridEdge(grid, lat * kRadiansPerDegreeExact, lon * kRadiansPerDegreeExact)) {
        continue;
      }
      double newLatitude = lat, newLongitude = lon;
      if (datum.shift(newLatitude, newLongitude) != RangeProblem::None) continue;
      if (nearSubGridEdge(grid, newLatitude * kRadiansPerDegreeExact,
                          newLongitude * kRadiansPerDegreeExact)) {
        continue;
      }
      lat = newLatitude;
      lon = newLongitude;
    }
    served |= 1u << k;
  }
  point = {load(longitude.data()), load(latitude.data())};
  return served;
}

// ---- The block ---------------------------------------------------------------------------------

struct Block {
  LaneArray x, y;
  std::array<int, kVectorLanes> zone;
};

// Redoes the given lanes on the scalar path (from the inputs as they were before any store).
std::size_t convertOnScalarPath(const ConversionPlan& plan, const Block& in, Mask which,
                                double* xOut, double* yOut, int* zoneOut, int* status) {
  std::size_t converted = 0;
  for (; which != 0; which &= which - 1) {
    const auto k = static_cast<std::size_t>(__builtin_ctz(which));
    converted += convertPoints(plan, KernelPath::Scalar, 1, &in.x[k], &in.y[k], &in.zone[k],
                               xOut + k, yOut + k, zoneOut != nullptr ? zoneOut + k : nullptr,
                               status != nullptr ? status + k : nullptr);
  }
  return converted;
}

struct BatchConstants {
  ZoneRange sourceZones;
  ZoneRange targetZones;
};

// The stages of one block. Grid input only through Krueger's series (the official mode), and
// datum shifts only official ones: the batch's caller sends other plans to the scalar path.
template <bool kUnprojects, bool kShifts, bool kProjects>
std::size_t convertBlock(const ConversionPlan& plan, const BatchConstants& batch, const double* x,
                         const double* y, const int* zone, double* xOut, double* yOut, int* zoneOut,
                         int* status) {
  const Vec xIn = load(x), yIn = load(y);
  Block in;
  in.x = lanes(xIn);
  in.y = lanes(yIn);
  for (std::size_t k = 0; k < kVectorLanes; ++k) in.zone[k] = zone != nullptr ? zone[k] : 0;
  Geographic point{xIn, yIn};
  Vec zoneUsed = splat(0.0);
  Mask vectorLanes = 0;
  bool computedLongitude = kShifts;
  if constexpr (kUnprojects) {
    Vec zoneIn = splat(0.0);
    if (zone != nullptr) {
      LaneArray zones{};
      for (std::size_t k = 0; k < kVectorLanes; ++k) zones[k] = in.zone[k];
      zoneIn = load(zones.data());
    }
    vectorLanes = withinMagnitude(xIn, kMaxEasting) & withinMagnitude(yIn, kMaxNorthing);
    const Vec millions = truncated(xIn / splat(kZoneMultiplier));
    Vec easting = xIn;
    if (isGaussKrueger(plan.fromSystem)) {
      zoneUsed = millions;
      easting = easting - zoneUsed * splat(kZoneMultiplier);
    } else {
      zoneUsed = select(equal(zoneIn, splat(0.0)), millions, zoneIn);
      const Vec prefixed = greaterOrEqual(easting, splat(kSmallestPrefixedUtmEasting));
      easting = select(prefixed, easting - zoneUsed * splat(kZoneMultiplier), easting);
    }
    vectorLanes &= servedGridInput(plan, batch.sourceZones, xIn, yIn, zoneIn, millions);
    const Vec centralMeridian = centralMeridianOfZone(plan.fromSystem, plan.zoneWidth, zoneUsed);
    const GeodeticRow& row = geodeticRow(plan.fromSystem);
    vectorLanes &= withinMagnitude(easting - splat(kFalseEasting),
                                   kMaxReducedEasting * row.scaleFactor * row.semiMajorAxis);
    if (vectorLanes == 0) {
      return convertOnScalarPath(plan, in, kAllLanes, xOut, yOut, zoneOut, status);
    }
    point = exactInverse(plan, centralMeridian, easting, yIn);
    vectorLanes &= withinMagnitude(point.latitude, kMaxLatitude) &
                   withinMagnitude(point.longitude, kMaxLongitude);
    computedLongitude = true;
  } else {
    vectorLanes = withinMagnitude(xIn, kHighestLongitude) & withinMagnitude(yIn, kMaxLatitude);
  }
  if constexpr (kShifts) {
    if (vectorLanes != 0) {
      vectorLanes &= shiftOfficially(*plan.official, point, vectorLanes);
      vectorLanes &= withinMagnitude(point.latitude, kMaxLatitude) &
                     withinMagnitude(point.longitude, kMaxLongitude);
    }
  }

  Vec xResult = point.longitude, yResult = point.latitude, zoneResult = zoneUsed;
  if constexpr (kProjects) {
    const Projected projected =
        projectLanes(plan, batch.targetZones, point, computedLongitude, vectorLanes);
    xResult = projected.grid.easting;
    yResult = projected.grid.northing;
    zoneResult = projected.zone;
  } else if constexpr (!kUnprojects) {
    zoneResult = splat(0.0);
  }

  if (vectorLanes == kAllLanes) {
    store(xOut, xResult);
    store(yOut, yResult);
  } else {
    const LaneArray xs = lanes(xResult), ys = lanes(yResult);
    for (Mask pending = vectorLanes; pending != 0; pending &= pending - 1) {
      const auto k = static_cast<std::size_t>(__builtin_ctz(pending));
      xOut[k] = xs[k];
      yOut[k] = ys[k];
    }
  }
  if (zoneOut != nullptr || status != nullptr) {
    const LaneArray zones = lanes(zoneResult);
    for (Mask pending = vectorLanes; pending != 0; pending &= pending - 1) {
      const auto k = static_cast<std::size_t>(__builtin_ctz(pending));
      if (zoneOut != nullptr) zoneOut[k] = static_cast<int>(zones[k]);
      if (status != nullptr) status[k] = kPointDone;
    }
  }
  const auto converted = static_cast<std::size_t>(__builtin_popcount(vectorLanes));
  return converted +
         convertOnScalarPath(plan, in, kAllLanes & ~vectorLanes, xOut, yOut, zoneOut, status);
}

template <bool kUnprojects, bool kShifts, bool kProjects>
std::size_t convertBlocks(const ConversionPlan& plan, std::size_t blocks, const double* x,
                          const double* y, const int* zone, double* xOut, double* yOut,
                          int* zoneOut, int* status) {
  const BatchConstants batch{outputZoneRange(plan.fromSystem, plan.zoneWidth),
                             outputZoneRange(plan.toSystem, plan.zoneWidth)};
  std::size_t converted = 0;
  for (std::size_t i = 0; i < blocks * kVectorLanes; i += kVectorLanes) {
    converted += convertBlock<kUnprojects, kShifts, kProjects>(
        plan, batch, x + i, y + i, zone != nullptr ? zone + i : nullptr, xOut + i, yOut + i,
        zoneOut != nullptr ? zoneOut + i : nullptr, status != nullptr ? status + i : nullptr);
  }
  return converted;
}

}  // namespace

// The block runs wherever WebAssembly's 128-bit SIMD does (the module is built with it).
bool vectorBlockSupported() {
  return true;
}

std::size_t convertVectorBlocks(const ConversionPlan& plan, std::size_t blocks, const double* x,
                                const double* y, const int* zone, double* xOut, double* yOut,
                                int* zoneOut, int* status, std::size_t* mixedBlocks) {
  // Mixed blocks are not counted here: the page's calls run in their own order.
  if (mixedBlocks != nullptr) *mixedBlocks = 0;
  // Indexed by unprojects, shifts, projects as the bits 4, 2, 1; null: the scalar path's.
  using Blocks = std::size_t (*)(const ConversionPlan&, std::size_t, const double*, const double*,
                                 const int*, double*, double*, int*, int*);
  static constexpr std::array<Blocks, 8> kShapes = {nullptr,
                                                    convertBlocks<false, false, true>,
                                                    convertBlocks<false, true, false>,
                                                    convertBlocks<false, true, true>,
                                                    nullptr,
                                                    nullptr,
                                                    convertBlocks<true, true, false>,
                                                    convertBlocks<true, true, true>};
  const bool shifts = plan.official != nullptr || !plan.chain.sameSystem;
  const bool served = (!plan.unprojects || plan.series == ProjectionSeries::Exact) &&
                      (!shifts || (plan.official != nullptr && gridStepsOnly(*plan.official)));
  const unsigned shape =
      (plan.unprojects ? 4u : 0u) | (shifts ? 2u : 0u) | (plan.projects ? 1u : 0u);
  if (served && kShapes[shape] != nullptr) {
    return kShapes[shape](plan, blocks, x, y, zone, xOut, yOut, zoneOut, status);
  }
  return convertPoints(plan, KernelPath::Scalar, blocks * kVectorLanes, x, y, zone, xOut, yOut,
                       zoneOut, status);
}

std::size_t convertVectorBlocksInFull(const ConversionPlan& plan, std::size_t blocks,
                                      const double* x, const double* y, const double* z,
                                      const double* epoch, const int* zone, double* xOut,
                                      double* yOut, double* zOut, int* zoneOut, int* status) {
  // Heights and epochs are the scalar path's in this build.
  return convertPointsInFull(plan, KernelPath::Scalar, blocks * kVectorLanes, x, y, z, epoch, zone,
                             xOut, yOut, zOut, zoneOut, status);
}

}  // namespace nuvex::engine
