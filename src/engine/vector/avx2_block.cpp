// The AVX2 block: eight points at once through the stages of convertPoint (unprojection, datum
// chain, zone choice, projection), with the same tables the scalar routines read. Sines and
// cosines of latitudes are series of its own; the exact series far from the meridian take the
// vector library's arc tangent, exponential and logarithm (vector_math.h). Compiled with AVX2 and
// FMA; run only where the processor has them (and BMI1 and BMI2, which the library is built
// with).
//
// The lanes of a block may take different routes of the datum chain; each lane gets its own (see
// "Routes, lane by lane"), and a lane without a path is marked here as the scalar path marks it.
// The vector series round differently from the scalar ones (by far less than a micrometre), so a
// lane whose discrete decisions (region cell, zone) could tip on that difference is handed to the
// scalar path, as are non-finite lanes and lanes outside the range the series serve.
#include <immintrin.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <utility>

#include "engine/batch.h"
#include "engine/datum_chain.h"
#include "engine/exact_projection.h"
#include "engine/geodetic_tables.h"
#include "engine/linear_shifts.h"
#include "engine/polynomial_shifts.h"
#include "engine/projection_rules.h"
#include "engine/region_grid.h"
#include "engine/vector/official_lanes.h"
#include "engine/vector/vector_math.h"
#include "nuvex/engine.h"
#include "nuvex/systems.h"

namespace nuvex::engine {
namespace {

// Everything that touches vector registers is built for AVX2 and FMA function by function; the
// rest of the file (and every inline function of the headers above) stays baseline x86-64 code.
#define VECTOR_CODE __attribute__((target("avx2,fma")))
// The stages a block runs on every call are inlined into it whatever the compiler's estimate of
// their size: out of line, every Vec argument and result goes through the stack.
#define VECTOR_INLINE __attribute__((target("avx2,fma"), always_inline)) inline
// The same for the series the block shares with the WebAssembly one.
#define SERIES_CODE VECTOR_CODE
#define SERIES_INLINE VECTOR_INLINE

// Two AVX2 registers side by side: a block is eight points, so that the long latency chains of
// the two halves (sine and cosine, square root, division) overlap.
struct Vec {
  __m256d lo, hi;
};
using LaneArray = std::array<double, kVectorLanes>;
using Mask = unsigned;  // bit k for lane k
constexpr std::size_t kHalf = kVectorLanes / 2;

VECTOR_CODE inline Vec operator+(Vec a, Vec b) {
  return {a.lo + b.lo, a.hi + b.hi};
}
VECTOR_CODE inline Vec operator-(Vec a, Vec b) {
  return {a.lo - b.lo, a.hi - b.hi};
}
VECTOR_CODE inline Vec operator*(Vec a, Vec b) {
  return {a.lo * b.lo, a.hi * b.hi};
}
VECTOR_CODE inline Vec operator/(Vec a, Vec b) {
  return {a.lo / b.lo, a.hi / b.hi};
}

// Band decisions near the edge of the engine's series (the other limits: block_series.h).
constexpr double kQuickBandLatitude = 60.0;  // deg: as far as the band's quick answer reaches
constexpr double kBandEdgeMetres = 1e-6;     // m of easting from the band's edge, likewise

VECTOR_CODE
Vec splat(double value) {
  const __m256d v = _mm256_set1_pd(value);
  return {v, v};
}

VECTOR_CODE
Vec load(const double* values) {
  return {_mm256_loadu_pd(values), _mm256_loadu_pd(values + kHalf)};
}

VECTOR_CODE
void store(double* values, Vec v) {
  _mm256_storeu_pd(values, v.lo);
  _mm256_storeu_pd(values + kHalf, v.hi);
}

VECTOR_CODE
Vec squareRoot(Vec v) {
  return {_mm256_sqrt_pd(v.lo), _mm256_sqrt_pd(v.hi)};
}

VECTOR_CODE
Vec truncated(Vec v) {
  constexpr int kTowardZero = _MM_FROUND_TO_ZERO | _MM_FROUND_NO_EXC;
  return {_mm256_round_pd(v.lo, kTowardZero), _mm256_round_pd(v.hi, kTowardZero)};
}

VECTOR_CODE
Vec rounded(Vec v) {
  constexpr int kNearest = _MM_FROUND_TO_NEAREST_INT | _MM_FROUND_NO_EXC;
  return {_mm256_round_pd(v.lo, kNearest), _mm256_round_pd(v.hi, kNearest)};
}

// All ones in the lanes where the comparison holds (ordered: false for NaN).
template <int Predicate>
VECTOR_CODE Vec compare(Vec a, Vec b) {
  return {_mm256_cmp_pd(a.lo, b.lo, Predicate), _mm256_cmp_pd(a.hi, b.hi, Predicate)};
}
VECTOR_CODE Vec lessThan(Vec a, Vec b) {
  return compare<_CMP_LT_OQ>(a, b);
}
VECTOR_CODE Vec lessOrEqual(Vec a, Vec b) {
  return compare<_CMP_LE_OQ>(a, b);
}
VECTOR_CODE Vec greaterOrEqual(Vec a, Vec b) {
  return compare<_CMP_GE_OQ>(a, b);
}
VECTOR_CODE Vec equal(Vec a, Vec b) {
  return compare<_CMP_EQ_OQ>(a, b);
}
// All ones in every lane: a comparison that always holds, of lanes at hand.
VECTOR_CODE Vec everyLane(Vec like) {
  return compare<_CMP_TRUE_UQ>(like, like);
}

VECTOR_CODE
Mask maskOf(Vec comparison) {
  return static_cast<Mask>(_mm256_movemask_pd(comparison.lo)) |
         static_cast<Mask>(_mm256_movemask_pd(comparison.hi)) << kHalf;
}

VECTOR_CODE
Vec select(Vec condition, Vec ifTrue, Vec ifFalse) {
  return {_mm256_blendv_pd(ifFalse.lo, ifTrue.lo, condition.lo),
          _mm256_blendv_pd(ifFalse.hi, ifTrue.hi, condition.hi)};
}

// Lanes where both conditions hold.
VECTOR_CODE
Vec both(Vec a, Vec b) {
  return {_mm256_and_pd(a.lo, b.lo), _mm256_and_pd(a.hi, b.hi)};
}

VECTOR_CODE
Vec absolute(Vec v) {
  const __m256d sign = _mm256_set1_pd(-0.0);
  return {_mm256_andnot_pd(sign, v.lo), _mm256_andnot_pd(sign, v.hi)};
}

VECTOR_INLINE
Vec loadZones(const int* zones) {
  const auto* halves = reinterpret_cast<const __m128i*>(zones);
  return {_mm256_cvtepi32_pd(_mm_loadu_si128(halves)),
          _mm256_cvtepi32_pd(_mm_loadu_si128(halves + 1))};
}

// Whole numbers in the int range only.
VECTOR_INLINE
void storeZones(int* zones, Vec v) {
  auto* halves = reinterpret_cast<__m128i*>(zones);
  _mm_storeu_si128(halves, _mm256_cvttpd_epi32(v.lo));
  _mm_storeu_si128(halves + 1, _mm256_cvttpd_epi32(v.hi));
}

VECTOR_INLINE
LaneArray lanes(Vec v) {
  LaneArray values;
  store(values.data(), v);
  return values;
}

// The lanes of a block whose bits are set in lanes, as a selector for select().
VECTOR_INLINE
Vec laneSelector(Mask lanes) {
  const __m256i bits = _mm256_set1_epi64x(static_cast<long long>(lanes));
  const __m256i lo = _mm256_setr_epi64x(1, 2, 4, 8), hi = _mm256_setr_epi64x(16, 32, 64, 128);
  return {_mm256_castsi256_pd(_mm256_cmpeq_epi64(_mm256_and_si256(bits, lo), lo)),
          _mm256_castsi256_pd(_mm256_cmpeq_epi64(_mm256_and_si256(bits, hi), hi))};
}

// The vector library's functions (vector_math.h), for the exact series far from the meridian.
VECTOR_CODE
Vec atanOf(Vec v) {
  const Vector8 r = atan8(v.lo, v.hi);
  return {r.lo, r.hi};
}

VECTOR_CODE
Vec expOf(Vec v) {
  const Vector8 r = exp8(v.lo, v.hi);
  return {r.lo, r.hi};
}

VECTOR_CODE
Vec log1pOf(Vec v) {
  const Vector8 r = log1p8(v.lo, v.hi);
  return {r.lo, r.hi};
}

VECTOR_CODE
Vec copySign(Vec magnitude, Vec sign) {
  const __m256d bit = _mm256_set1_pd(-0.0);
  return {_mm256_or_pd(_mm256_andnot_pd(bit, magnitude.lo), _mm256_and_pd(bit, sign.lo)),
          _mm256_or_pd(_mm256_andnot_pd(bit, magnitude.hi), _mm256_and_pd(bit, sign.hi))};
}

}  // namespace
}  // namespace nuvex::engine

#include "engine/vector/block_stages.h"

namespace nuvex::engine {
namespace {

// ---- Datum shifts (arc seconds)
// ------------------------------------------------------------------

struct Shift {
  Vec latitude, longitude;
};

// The complete polynomial in POLTERMS order, in Horner form: for each power j of y (highest first)
// the polynomial in x of the terms x^i y^j, then those in y. It needs no products of powers, and
// rounds within a few units of the terms' size (arc seconds): far below the paths' tolerance.
VECTOR_INLINE
Vec hornerSum(const PolyVector& coefficients, Vec x, Vec y) {
  Vec sum = splat(0.0);
  for (int j = kPolyDegree - 1; j >= 0; --j) {
    // 1-based index of the term y^j: after the kPolyDegree - k terms of every lower power k.
    const int first = 1 + j * kPolyDegree - j * (j - 1) / 2;
    const int highest = kPolyDegree - 1 - j;  // of x beside y^j
    Vec inX = splat(coefficients[first + highest]);
    for (int i = highest - 1; i >= 0; --i) inX = inX * x + splat(coefficients[first + i]);
    sum = sum * y + inX;
  }
  const Vec negligible = lessThan(absolute(sum), splat(kNegligibleSum));
  return select(negligible, splat(0.0), sum);
}

VECTOR_INLINE
Shift shift12(Vec x, Vec y) {
  return {splat(0.0) - hornerSum(kShift12Latitude, x, y),
          splat(0.0) - hornerSum(kShift12Longitude, x, y)};
}

// base^0 .. base^9 (a plain array: std::array would drop the vector type's attributes).
struct PowerVector {
  Vec power[kShift23MaxPower + 1];
};

VECTOR_INLINE
PowerVector powersOf(Vec base) {
  PowerVector p;
  p.power[0] = splat(1.0);
  for (int k = 1; k <= kShift23MaxPower; ++k) p.power[k] = p.power[k - 1] * base;
  return p;
}

// The sum in the table's order, unfolded at compile time: every power is a register, not a
// lookup.
template <const auto& Terms, std::size_t... Index>
VECTOR_CODE Vec sparseSum(const PowerVector& u, const PowerVector& v,
                          std::index_sequence<Index...>) {
  Vec sum = splat(0.0);
  ((sum = sum + splat(Terms[Index].coefficient) * u.power[Terms[Index].uPower] *
                    v.power[Terms[Index].vPower]),
   ...);
  return sum;
}

template <const auto& Terms>
VECTOR_CODE Vec sparseSum(const PowerVector& u, const PowerVector& v) {
  return sparseSum<Terms>(u, v, std::make_index_sequence<Terms.size()>());
}

VECTOR_INLINE
Shift shift23(Vec latitude, Vec longitude) {
  const PowerVector u = powersOf((latitude - splat(kShift23OriginLatitude)) * splat(kShift23Scale));
  const PowerVector v =
      powersOf((longitude - splat(kShift23OriginLongitude)) * splat(kShift23Scale));
  return {sparseSum<kShift23Latitude>(u, v), sparseSum<kShift23Longitude>(u, v)};
}

VECTOR_INLINE
Vec linear(const LinearShift& s, Vec latitude, Vec longitude) {
  return splat(0.0) - ((splat(s.p) * longitude + splat(s.q) * latitude) + splat(s.r));
}

VECTOR_INLINE
Shift evaluateStep(ShiftKind kind, Vec latitude, Vec longitude) {
  switch (kind) {
    case ShiftKind::Shift12:
      return shift12(latitude, longitude);
    case ShiftKind::Shift23:
      return shift23(latitude, longitude);
    case ShiftKind::Lin14:
      return {linear(kLin14.latitude, latitude, longitude),
              linear(kLin14.longitude, latitude, longitude)};
    case ShiftKind::Lin34:
      break;
  }
  return {linear(kLin34.latitude, latitude, longitude),
          linear(kLin34.longitude, latitude, longitude)};
}

VECTOR_INLINE
void shiftAlong(const ChainPlan& plan, const Route& route, Geographic& point) {
  for (int i = 0; i < route.stepCount; ++i) {
    const RouteStep& step = route.steps[static_cast<std::size_t>(i)];
    const Shift shift = evaluateStep(step.shift, point.latitude, point.longitude);
    const Vec factor = splat(step.sign * plan.direction);
    point.latitude = point.latitude + factor * shift.latitude;
    point.longitude = point.longitude + factor * shift.longitude;
  }
}

// Lanes whose region cell could differ between the paths: within the margin of a cell edge.
VECTOR_INLINE
Mask nearRegionEdge(const Geographic& point) {
  const Vec columns = splat(kColumnsPerDegree), rows = splat(kRowsPerDegree);
  return nearWholeNumber((point.longitude - splat(kRegionAWestEdge)) * columns) |
         nearWholeNumber((point.longitude - splat(kRegionBWestEdge)) * columns) |
         nearWholeNumber((point.latitude - splat(kRegionASouthEdge)) * rows) |
         nearWholeNumber((point.latitude - splat(kRegionBSouthEdge)) * rows);
}

// ---- Routes, lane by lane ----------------------------------------------------------------------
//
// The lanes of a block may take different routes (a register is rarely sorted). Each route that
// some lane takes is run on the whole block, and every lane keeps the result of its own route:
// a route is a handful of polynomial or linear terms, far cheaper than a lane on the scalar path.
// A route is a list of steps, so a new step kind is served here as soon as evaluateStep knows it,
// and more routes per pair need nothing but the chooser: routesOfLanes mirrors routeOfPoint, and
// routes chosen by another rule get a chooser of their own that fills BlockRoutes the same way.

VECTOR_CODE
__m256i wholeNumbers(Vec v) {
  return _mm256_set_m128i(_mm256_cvttpd_epi32(v.hi), _mm256_cvttpd_epi32(v.lo));
}

// The lanes inside a region mask: the cell index exactly as the scalar lookup forms it (offset
// truncated in double, checked in double before any conversion), then the cell's bit.
VECTOR_INLINE
Mask insideRegion(const RegionBits& region, const Geographic& point) {
  const Vec column =
      truncated(splat(kColumnsPerDegree) * (point.longitude - splat(region.westEdge)));
  const Vec row = truncated(splat(kRowsPerDegree) * (point.latitude - splat(region.southEdge)));
  const Vec zero = splat(0.0);
  const Vec onGrid =
      both(both(greaterOrEqual(column, zero), lessThan(column, splat(region.columns))),
           both(greaterOrEqual(row, zero), lessThan(row, splat(region.rows))));
  const Mask cellLanes = maskOf(onGrid);
  if (cellLanes == 0) return 0;
  // Lanes off the grid read row 0, column 0: the gather stays within the table.
  const __m256i rows = wholeNumbers(select(onGrid, row, zero));
  const __m256i columns = wholeNumbers(select(onGrid, column, zero));
  const __m256i words =
      _mm256_i32gather_epi32(reinterpret_cast<const int*>(region.rowBits), rows, sizeof(int));
  const __m256i one = _mm256_set1_epi32(1);
  const __m256i bit = _mm256_and_si256(_mm256_srlv_epi32(words, columns), one);
  const auto inside =
      static_cast<Mask>(_mm256_movemask_ps(_mm256_castsi256_ps(_mm256_cmpeq_epi32(bit, one))));
  return inside & cellLanes;
}

inline constexpr std::size_t kMaxBlockRoutes = kVectorLanes;

// The routes the lanes of a block take: route[i] for the lanes of lanes[i], none for the lanes
// without a path.
struct BlockRoutes {
  std::size_t count = 0;
  std::array<const Route*, kMaxBlockRoutes> route{};
  std::array<Mask, kMaxBlockRoutes> lanes{};
  Mask none = 0;

  void add(const Route* r, Mask laneBits) {
    if (laneBits == 0) return;
    if (r == nullptr) {
      none |= laneBits;
      return;
    }
    for (std::size_t i = 0; i < count; ++i) {
      if (route[i] == r) {
        lanes[i] |= laneBits;
        return;
      }
    }
    route[count] = r;
    lanes[count] = laneBits;
    ++count;
  }
};

// routeOfPoint for the given lanes: region A first, then B, then what lies outside both.
VECTOR_CODE
BlockRoutes routesOfLanes(const ChainPlan& plan, const Geographic& point, Mask lanes) {
  BlockRoutes routes;
  if (plan.pair == nullptr) {
    routes.none = lanes;
    return routes;
  }
  const Mask inA = insideRegion(regionBitsA(), point) & lanes;
  const Mask inB = insideRegion(regionBitsB(), point) & lanes & ~inA;
  routes.add(&plan.pair->regionA, inA);
  routes.add(&plan.pair->regionB, inB);
  routes.add(plan.routeAOutsideRegions ? &plan.pair->regionA : nullptr, lanes & ~(inA | inB));
  return routes;
}

// Moves every lane along its own route. Lanes outside all groups keep garbage and must not be
// served.
VECTOR_CODE
void shiftByRoutes(const ChainPlan& plan, const BlockRoutes& routes, Geographic& point) {
  if (routes.count == 1) {
    shiftAlong(plan, *routes.route[0], point);
    return;
  }
  const Geographic start = point;
  for (std::size_t i = 0; i < routes.count; ++i) {
    Geographic moved = start;
    shiftAlong(plan, *routes.route[i], moved);
    const Vec mine = laneSelector(routes.lanes[i]);
    point.latitude = select(mine, moved.latitude, point.latitude);
    point.longitude = select(mine, moved.longitude, point.longitude);
  }
}

// The lanes inside the polynomial shifts' area, edges included (the scalar test's comparisons).
VECTOR_CODE
Mask insidePolynomialArea(const Geographic& point) {
  return maskOf(both(both(greaterOrEqual(point.longitude, splat(kPolynomialAreaWest)),
                          lessOrEqual(point.longitude, splat(kPolynomialAreaEast))),
                     both(greaterOrEqual(point.latitude, splat(kPolynomialAreaSouth)),
                          lessOrEqual(point.latitude, splat(kPolynomialAreaNorth)))));
}

// Moves every lane along its own route; returns the lanes without a path (left where they are):
// outside the area, or between the masks where no Gauss-Krueger grid side allows route A.
// routesTaken: how many routes the block ran.
VECTOR_CODE
Mask shiftDatum(const ChainPlan& plan, Geographic& point, Mask vectorLanes,
                std::size_t& routesTaken) {
  const Mask inside = insidePolynomialArea(point) & vectorLanes;
  BlockRoutes routes = routesOfLanes(plan, point, inside);
  routes.none |= vectorLanes & ~inside;
  if (routes.count != 0) shiftByRoutes(plan, routes, point);
  routesTaken = routes.count;
  return routes.none;
}

// The official datum stage (official_lanes.cpp) on the lanes as arrays; returns the lanes it
// leaves to the scalar path.
VECTOR_CODE
Mask shiftOfficially(const OfficialDatum& datum, Geographic& point, double* height,
                     const double* epoch, Mask vectorLanes) {
  LaneArray latitude = lanes(point.latitude), longitude = lanes(point.longitude);
  const Mask served =
      shiftOfficialLanes(datum, latitude.data(), longitude.data(), height, epoch, vectorLanes);
  point = {load(longitude.data()), load(latitude.data())};
  return vectorLanes & ~served;
}

// The lanes of grid input (easting reduced to its zone) within the engine's band, as
// withinProjectionBand decides: its quick answer first, then the width at the latitude the
// northing suggests. Lanes too near the edge for the vector cosine to decide are `undecided`.
VECTOR_INLINE
Mask withinBandOfGridInput(int system, Vec easting, Vec northing, Mask& undecided) {
  const GeodeticRow& row = geodeticRow(system);
  const Vec offset = absolute(easting - splat(kFalseEasting));
  const double quickHalfWidth =
      0.5 * row.scaleFactor * row.semiMajorAxis * (kProjectionBandDegrees / kDegreesPerRadian);
  const Mask quick = withinMagnitude(northing, row.scaleFactor * row.arc[0] * kQuickBandLatitude) &
                     maskOf(lessOrEqual(offset, splat(quickHalfWidth)));
  undecided = 0;
  if (quick == kAllLanes) return quick;
  const Vec latitude =
      splat(0.0) + absolute(northing) * splat(1.0 / (row.scaleFactor * row.arc[0]));
  const Vec capped =
      select(lessThan(latitude, splat(kQuarterCircle)), latitude, splat(kQuarterCircle));
  const Vec cosPhi = sinCosWithinQuarterCircle(capped * splat(1.0 / kDegreesPerRadian)).cos;
  const double e2 = row.secondEccentricity * row.secondEccentricity;
  const Vec n = splat(row.semiMajorAxis) *
                squareRoot(splat(1.0 + e2) / (splat(1.0) + splat(e2) * cosPhi * cosPhi));
  const Vec halfWidth =
      splat(row.scaleFactor) * n * cosPhi * splat(kProjectionBandDegrees / kDegreesPerRadian);
  undecided = ~quick & withinMagnitude(offset - halfWidth, kBandEdgeMetres);
  return quick | (maskOf(lessOrEqual(offset, halfWidth)) & ~undecided);
}

// Blends two results lane by lane: `lanes` take a.
VECTOR_INLINE
Geographic blend(Mask lanes, const Geographic& a, const Geographic& b) {
  const Vec mine = laneSelector(lanes);
  return {select(mine, a.longitude, b.longitude), select(mine, a.latitude, b.latitude)};
}

struct Block {
  LaneArray x, y;
  std::array<int, kVectorLanes> zone;
  LaneArray z;      // heights, where the call converts them
  LaneArray epoch;  // epochs, where the route needs them
};

thread_local std::size_t scalarLanes = 0;  // for scalarLanesOfBlocksForTesting

// Redoes the given lanes on the scalar path (from the inputs as they were before any store).
std::size_t convertOnScalarPath(const ConversionPlan& plan, const Block& in, unsigned which,
                                double* xOut, double* yOut, double* zOut, bool full, int* zoneOut,
                                int* status) {
  if (which == 0) return 0;
  scalarLanes += static_cast<std::size_t>(__builtin_popcount(which));
  std::size_t converted = 0;
  for (std::size_t k = 0; k < kVectorLanes; ++k) {
    if ((which & (1u << k)) == 0) continue;
    PointResult result{};
    double height = 0.0;
    const int pointStatus = statusOf(
        full ? convertBatchPoint(plan, in.x[k], in.y[k], zOut != nullptr ? &in.z[k] : nullptr,
                                 in.epoch[k], in.zone[k], result, height)
             : convertBatchPoint(plan, in.x[k], in.y[k], in.zone[k], result));
    if (zOut != nullptr) zOut[k] = height;
    xOut[k] = result.x;
    yOut[k] = result.y;
    if (zoneOut != nullptr) zoneOut[k] = result.zone;
    if (status != nullptr) status[k] = pointStatus;
    if (pointStatus == kPointDone) ++converted;
  }
  return converted;
}

// The shape of a conversion: whether it unprojects a grid input, shifts the datum and projects a
// grid output. Each shape's block is compiled on its own, without the stages it skips.
struct Shape {
  bool unprojects, shifts, projects;
  // The official stage with the heights (in two dimensions) and epochs of the call, where it has
  // them.
  bool full = false;
};

// What every block of a batch takes from the plan, derived once per batch.
struct BatchConstants {
  ZoneRange sourceZones;  // of a Gauss-Krueger source's grid input
  ZoneRange targetZones;  // of the output zones
};

// The block itself: vector stages for the lanes it serves, the scalar path for the rest.
template <Shape kShape>
VECTOR_INLINE std::size_t convertBlock(const ConversionPlan& plan, const BatchConstants& batch,
                                       const double* x, const double* y, const double* z,
                                       const double* epoch, const int* zone, double* xOut,
                                       double* yOut, double* zOut, int* zoneOut, int* status,
                                       std::size_t& mixedBlocks) {
  // Loaded as vectors first (the outputs may be the inputs), kept as lanes for the scalar path.
  const Vec xIn = load(x), yIn = load(y);
  const Vec zoneIn = zone != nullptr ? loadZones(zone) : splat(0.0);
  Block in;
  in.x = lanes(xIn);
  in.y = lanes(yIn);
  for (std::size_t k = 0; k < kVectorLanes; ++k) in.zone[k] = zone != nullptr ? zone[k] : 0;
  LaneArray height{};
  if constexpr (kShape.full) {
    if (z != nullptr) {
      std::copy_n(z, kVectorLanes, in.z.begin());
      height = in.z;
    }
    if (epoch != nullptr) {
      std::copy_n(epoch, kVectorLanes, in.epoch.begin());
    } else {
      in.epoch.fill(plan.epoch);
    }
  }
  Geographic point{xIn, yIn};
  Vec zoneUsed = splat(0.0);
  Mask vectorLanes = 0;
  bool computedLongitude = kShape.shifts;
  bool mixed = false;  // the lanes took more than one branch of a stage, which ran them all

  if constexpr (kShape.unprojects) {
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
    Mask withinBand = plan.series == ProjectionSeries::Exact ? 0 : kAllLanes;
    if (plan.series == ProjectionSeries::Banded) {
      Mask undecided = 0;
      withinBand = withinBandOfGridInput(plan.fromSystem, easting, yIn, undecided);
      vectorLanes &= ~undecided;
    }
    // One call of each series, so that the engine's is inlined once.
    const Mask exactLanes = vectorLanes & ~withinBand;
    if (exactLanes != 0) {
      const GeodeticRow& row = geodeticRow(plan.fromSystem);
      vectorLanes &=
          ~exactLanes | withinMagnitude(easting - splat(kFalseEasting),
                                        kMaxReducedEasting * row.scaleFactor * row.semiMajorAxis);
      point = exactInverse(plan, centralMeridian, easting, yIn);
    }
    if (exactLanes == 0 || (vectorLanes & withinBand) != 0) {
      mixed = exactLanes != 0;
      const Geographic engine =
          inverse(plan.fromSystem, centralMeridian, easting, yIn, vectorLanes);
      point = exactLanes == 0 ? engine : blend(withinBand, engine, point);
    }
    vectorLanes &= withinMagnitude(point.latitude, kMaxLatitude) &
                   withinMagnitude(point.longitude, kMaxLongitude);
    if (kShape.shifts && plan.official == nullptr) vectorLanes &= ~nearRegionEdge(point);
    computedLongitude = true;
  } else {
    vectorLanes = withinMagnitude(xIn, kHighestLongitude) & withinMagnitude(yIn, kMaxLatitude);
  }
  if constexpr (kShape.full) {
    if (z != nullptr) vectorLanes &= withinMagnitude(load(in.z.data()), kLargestHeight);
    if (plan.official->needsEpoch()) {
      const Vec epochs = load(in.epoch.data());
      vectorLanes &= maskOf(both(greaterOrEqual(epochs, splat(kEarliestEpoch)),
                                 lessOrEqual(epochs, splat(kLatestEpoch))));
    }
  }

  Mask noPathLanes = 0;  // served here too: marked as the scalar path marks them
  if (kShape.shifts && vectorLanes != 0) {
    if (plan.official != nullptr) {
      // The official stage leaves lanes without a path to the scalar path, which marks them.
      vectorLanes &= ~shiftOfficially(*plan.official, point,
                                      kShape.full && z != nullptr ? height.data() : nullptr,
                                      kShape.full ? in.epoch.data() : nullptr, vectorLanes);
    } else {
      std::size_t routesTaken = 0;
      noPathLanes = shiftDatum(plan.chain, point, vectorLanes, routesTaken);
      vectorLanes &= ~noPathLanes;
      mixed = mixed || routesTaken > 1;
    }
    // Far outside the regions the shift polynomials run away.
    vectorLanes &= withinMagnitude(point.latitude, kMaxLatitude) &
                   withinMagnitude(point.longitude, kMaxLongitude);
  }

  Vec xResult = point.longitude, yResult = point.latitude, zoneResult = zoneUsed;
  if constexpr (kShape.projects) {
    const Projected projected =
        projectLanes(plan, batch.targetZones, point, computedLongitude, vectorLanes);
    xResult = projected.grid.easting;
    yResult = projected.grid.northing;
    zoneResult = projected.zone;
    mixed = mixed || projected.bothSeries;
  } else if constexpr (!kShape.unprojects) {
    zoneResult = splat(0.0);
  }

  if (mixed) ++mixedBlocks;
  std::size_t converted = 0;
  const Mask servedLanes = vectorLanes | noPathLanes;
  if (servedLanes != 0) {
    if (noPathLanes != 0) {
      const Vec noPath = laneSelector(noPathLanes);
      const Vec nan = splat(std::numeric_limits<double>::quiet_NaN());
      xResult = select(noPath, nan, xResult);
      yResult = select(noPath, nan, yResult);
      zoneResult = select(noPath, splat(0.0), zoneResult);
    }
    store(xOut, xResult);
    store(yOut, yResult);
    if constexpr (kShape.full) {
      if (z != nullptr) std::copy_n(height.begin(), kVectorLanes, zOut);
    }
    if (zoneOut != nullptr) storeZones(zoneOut, zoneResult);
    if (status != nullptr) {
      std::fill_n(status, kVectorLanes, kPointDone);
      for (Mask lanes = noPathLanes; lanes != 0; lanes &= lanes - 1) {
        status[__builtin_ctz(lanes)] = kPointNoPath;
      }
    }
    converted = static_cast<std::size_t>(__builtin_popcount(vectorLanes));
  }
  return converted + convertOnScalarPath(plan, in, kAllLanes & ~servedLanes, xOut, yOut,
                                         kShape.full ? zOut : nullptr, kShape.full, zoneOut,
                                         status);
}

// The blocks of a batch, one after another, for one shape.
template <Shape kShape>
VECTOR_CODE std::size_t convertBlocks(const ConversionPlan& plan, const BatchConstants& batch,
                                      std::size_t blocks, const double* x, const double* y,
                                      const double* z, const int* zone, double* xOut, double* yOut,
                                      double* zOut, int* zoneOut, int* status, const double* epoch,
                                      std::size_t* mixedBlocks) {
  std::size_t converted = 0;
  std::size_t mixed = 0;
  for (std::size_t i = 0; i < blocks * kVectorLanes; i += kVectorLanes) {
    converted += convertBlock<kShape>(
        plan, batch, x + i, y + i, z != nullptr ? z + i : nullptr,
        epoch != nullptr ? epoch + i : nullptr, zone != nullptr ? zone + i : nullptr, xOut + i,
        yOut + i, zOut != nullptr ? zOut + i : nullptr, zoneOut != nullptr ? zoneOut + i : nullptr,
        status != nullptr ? status + i : nullptr, mixed);
  }
  if (mixedBlocks != nullptr) *mixedBlocks = mixed;
  return converted;
}

using Blocks = std::size_t (*)(const ConversionPlan&, const BatchConstants&, std::size_t,
                               const double*, const double*, const double*, const int*, double*,
                               double*, double*, int*, int*, const double*, std::size_t*);

BatchConstants batchConstantsOf(const ConversionPlan& plan) {
  return {outputZoneRange(plan.fromSystem, plan.zoneWidth),
          outputZoneRange(plan.toSystem, plan.zoneWidth)};
}

}  // namespace

std::size_t scalarLanesOfBlocksForTesting() {
  return scalarLanes;
}

bool vectorBlockSupported() {
  static const bool supported = __builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma") &&
                                __builtin_cpu_supports("bmi") && __builtin_cpu_supports("bmi2");
  return supported;
}

std::size_t convertVectorBlocks(const ConversionPlan& plan, std::size_t blocks, const double* x,
                                const double* y, const int* zone, double* xOut, double* yOut,
                                int* zoneOut, int* status, std::size_t* mixedBlocks) {
  // Indexed by unprojects, shifts, projects as the bits 4, 2, 1.
  static constexpr std::array<Blocks, 8> kShapes = {
      convertBlocks<Shape{false, false, false}>, convertBlocks<Shape{false, false, true}>,
      convertBlocks<Shape{false, true, false}>,  convertBlocks<Shape{false, true, true}>,
      convertBlocks<Shape{true, false, false}>,  convertBlocks<Shape{true, false, true}>,
      convertBlocks<Shape{true, true, false}>,   convertBlocks<Shape{true, true, true}>};
  const unsigned shape =
      (plan.unprojects ? 4u : 0u) | (plan.chain.sameSystem ? 0u : 2u) | (plan.projects ? 1u : 0u);
  return kShapes[shape](plan, batchConstantsOf(plan), blocks, x, y, nullptr, zone, xOut, yOut,
                        nullptr, zoneOut, status, nullptr, mixedBlocks);
}

std::size_t convertVectorBlocksInFull(const ConversionPlan& plan, std::size_t blocks,
                                      const double* x, const double* y, const double* z,
                                      const double* epoch, const int* zone, double* xOut,
                                      double* yOut, double* zOut, int* zoneOut, int* status) {
  // Indexed by unprojects, projects as the bits 2, 1; the official stage runs within one system
  // too, for the height, and from system 5, which runs on system 3's grid.
  static constexpr std::array<Blocks, 4> kShapes = {
      convertBlocks<Shape{false, true, false, true}>, convertBlocks<Shape{false, true, true, true}>,
      convertBlocks<Shape{true, true, false, true}>, convertBlocks<Shape{true, true, true, true}>};
  const unsigned shape = (plan.unprojects ? 2u : 0u) | (plan.projects ? 1u : 0u);
  return kShapes[shape](plan, batchConstantsOf(plan), blocks, x, y, z, zone, xOut, yOut, zOut,
                        zoneOut, status, epoch, nullptr);
}

}  // namespace nuvex::engine
