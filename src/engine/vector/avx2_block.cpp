// The AVX2 block: eight points at once through the stages of convertPoint (unprojection, datum
// chain, zone choice, projection), with SLEEF's vector sine and cosine and the same tables the
// scalar routines read. Compiled with AVX2 and FMA; run only where the processor has both.
//
// The vector series round differently from the scalar ones (by far less than a micrometre), so a
// lane whose discrete decisions (region cell, zone) could tip on that difference is handed to the
// scalar path, as are lanes without a path and lanes outside the range the series serve.
#include <immintrin.h>

#include <algorithm>
#include <array>
#include <cmath>

#include "engine/batch.h"
#include "engine/geodetic_tables.h"
#include "engine/linear_shifts.h"
#include "engine/vector/official_lanes.h"
#include "engine/polynomial_shifts.h"
#include "engine/projection_rules.h"
#include "engine/region_grid.h"
#include "engine/vector/vector_sincos.h"
#include "nuvex/engine.h"

namespace nuvex::engine {
namespace {

// Everything that touches vector registers is built for AVX2 and FMA function by function; the
// rest of the file (and every inline function of the headers above) stays baseline x86-64 code.
#define VECTOR_CODE __attribute__((target("avx2,fma")))

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

// Lanes the vector path serves: away from the poles (the series' tan and 1/cos) and within the
// coordinates a zone can have. Everything else takes the scalar path.
constexpr double kMaxLatitude = 89.0;    // deg
constexpr double kMaxLongitude = 360.0;  // deg
constexpr double kMaxEasting = 1.0e9;    // m: zone prefixes up to 999
constexpr double kMaxNorthing = 1.0e7;   // m
// Far from the central meridian the series grow into meaningless numbers whose last digits the
// two paths round differently: such points take the scalar path.
constexpr double kMaxMeridianDistance = 30.0;  // deg, forward
constexpr double kMaxReducedEasting = 0.5;     // (easting - false easting) / N, inverse
constexpr double kDecisionMargin = 1e-9;       // cells or zones from an edge
constexpr Mask kAllLanes = (1u << kVectorLanes) - 1;

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

VECTOR_CODE
Vec absolute(Vec v) {
  const __m256d sign = _mm256_set1_pd(-0.0);
  return {_mm256_andnot_pd(sign, v.lo), _mm256_andnot_pd(sign, v.hi)};
}

VECTOR_CODE
Vec loadZones(const int* zones) {
  const auto* halves = reinterpret_cast<const __m128i*>(zones);
  return {_mm256_cvtepi32_pd(_mm_loadu_si128(halves)),
          _mm256_cvtepi32_pd(_mm_loadu_si128(halves + 1))};
}

// Whole numbers in the int range only.
VECTOR_CODE
void storeZones(int* zones, Vec v) {
  auto* halves = reinterpret_cast<__m128i*>(zones);
  _mm_storeu_si128(halves, _mm256_cvttpd_epi32(v.lo));
  _mm_storeu_si128(halves + 1, _mm256_cvttpd_epi32(v.hi));
}

struct SinCos {
  Vec sin, cos;
};

VECTOR_CODE
SinCos sinCos(Vec angle) {
  const SinCos4 lo = sinCos4(angle.lo), hi = sinCos4(angle.hi);
  return {{lo.sin, hi.sin}, {lo.cos, hi.cos}};
}

// Lanes where |v| <= limit; false for NaN.
VECTOR_CODE
Mask withinMagnitude(Vec v, double limit) {
  return maskOf(compare<_CMP_LE_OQ>(absolute(v), splat(limit)));
}

// Lanes where v lies within kDecisionMargin of a whole number.
VECTOR_CODE
Mask nearWholeNumber(Vec v) {
  return maskOf(compare<_CMP_LT_OQ>(absolute(v - rounded(v)), splat(kDecisionMargin)));
}

VECTOR_CODE
LaneArray lanes(Vec v) {
  LaneArray values;
  store(values.data(), v);
  return values;
}

// Per-system constants of the series, broadcast once per block.
struct SeriesRow {
  double a1;  // a * sqrt(1 + e'^2), m: N = a1 / sqrt(1 + eta^2)
  double e2;  // e'^2
  const GeodeticRow* row;
};

// Derived from the geodetic rows once, when the library is loaded (a square root per block would
// cost more than the block waits for). Baseline code: it runs on every processor.
std::array<SeriesRow, kSystemCount> deriveSeriesRows() {
  std::array<SeriesRow, kSystemCount> derived{};
  for (int code = kFirstSystem; code <= kLastSystem; ++code) {
    const GeodeticRow& row = geodeticRow(code);
    const double e2 = row.secondEccentricity * row.secondEccentricity;
    derived[static_cast<std::size_t>(code - kFirstSystem)] = {
        row.semiMajorAxis * std::sqrt(1.0 + e2), e2, &row};
  }
  return derived;
}

const std::array<SeriesRow, kSystemCount> kSeriesRows = deriveSeriesRows();

const SeriesRow& seriesRow(int system) {
  return kSeriesRows[static_cast<std::size_t>(system - kFirstSystem)];
}

// Derived quantities at a latitude, with the reciprocals the series need (one division for all).
struct Terms {
  Vec cs, t, eta2, n;
  Vec inverseN;    // 1 / N
  Vec inverseCos;  // 1 / cos phi
};

VECTOR_CODE
Terms latitudeTerms(const SeriesRow& r, Vec sinPhi, Vec cosPhi) {
  Terms terms;
  terms.cs = cosPhi;
  terms.eta2 = splat(r.e2) * cosPhi * cosPhi;
  const Vec root = squareRoot(splat(1.0) + terms.eta2);  // sqrt(1 + eta^2)
  const Vec inverse = splat(1.0) / (cosPhi * root);
  terms.inverseCos = root * inverse;
  terms.t = sinPhi * terms.inverseCos;
  terms.n = splat(r.a1) * cosPhi * inverse;
  terms.inverseN = root * splat(1.0 / r.a1);
  return terms;
}

// sin and cos of x + d from those of x, for a small d (|d| < 0.003 rad: the footpoint series'
// correction), by the Taylor series of sin d and cos d in Horner form.
VECTOR_CODE
SinCos sinCosOfSum(const SinCos& x, Vec d) {
  const Vec d2 = d * d, one = splat(1.0);
  const Vec sinD = d * (one - d2 * splat(1.0 / 6.0) *
                                  (one - d2 * splat(1.0 / 20.0) * (one - d2 * splat(1.0 / 42.0))));
  const Vec cosD =
      one - d2 * splat(1.0 / 2.0) *
                (one - d2 * splat(1.0 / 12.0) *
                           (one - d2 * splat(1.0 / 30.0) * (one - d2 * splat(1.0 / 56.0))));
  return {x.sin * cosD + x.cos * sinD, x.cos * cosD - x.sin * sinD};
}

struct Sines {
  Vec sin2, sin4, sin6, sin8, sin10;
};

// sin 2x .. sin 10x from sin 2x and cos 2x (the scalar path's recurrence).
VECTOR_CODE
Sines multipleSines(Vec sin2x, Vec cos2x) {
  const Vec twoCos = splat(2.0) * cos2x;
  Sines s;
  s.sin2 = sin2x;
  s.sin4 = twoCos * s.sin2;
  s.sin6 = twoCos * s.sin4 - s.sin2;
  s.sin8 = twoCos * s.sin6 - s.sin4;
  s.sin10 = twoCos * s.sin8 - s.sin6;
  return s;
}

// ---- Zones -------------------------------------------------------------------------------------

VECTOR_CODE
Vec centralMeridianOfZone(int system, int zoneWidth, Vec zone) {
  if (usesThreeDegreeZones(system, zoneWidth)) return splat(kThreeDegreeZone) * zone;
  if (system == kKrassowskySystem) {
    return (zone - splat(1.0)) * splat(kSixDegreeZone) + splat(kThreeDegreeZone);
  }
  return zone * splat(kSixDegreeZone) - splat(kUtmCentralMeridianOffset);
}

// The zone before truncation, as ZONECM forms it from a longitude.
VECTOR_CODE
Vec zoneBeforeTruncation(int system, int zoneWidth, Vec longitude) {
  if (usesThreeDegreeZones(system, zoneWidth)) {
    return (longitude + splat(kHalfThreeDegreeZone)) / splat(kThreeDegreeZone);
  }
  if (system == kKrassowskySystem) return longitude / splat(kSixDegreeZone) + splat(1.0);
  return longitude / splat(kSixDegreeZone) + splat(kUtmZoneOffset);
}

VECTOR_CODE
Vec zonePrefixOfCentralMeridian(int system, int zoneWidth, Vec centralMeridian) {
  const Vec q =
      usesThreeDegreeZones(system, zoneWidth)
          ? centralMeridian / splat(kThreeDegreeZone)
          : (centralMeridian - splat(kThreeDegreeZone)) / splat(kSixDegreeZone) + splat(1.0);
  const Vec negative = compare<_CMP_LT_OQ>(q, splat(0.0));
  return truncated(select(negative, q - splat(kRoundingHalf), q + splat(kRoundingHalf)));
}

// ---- Projection --------------------------------------------------------------------------------

struct Grid {
  Vec easting, northing;
};

// Lanes far from the central meridian are cleared from servedLanes.
VECTOR_CODE
Grid forward(int system, int zoneWidth, Vec centralMeridian, Vec longitude, Vec latitude,
             Mask& servedLanes) {
  const SeriesRow& r = seriesRow(system);
  const Vec perDegree = splat(1.0 / kDegreesPerRadian);
  const Vec phi = latitude * perDegree;
  servedLanes &= withinMagnitude(longitude - centralMeridian, kMaxMeridianDistance);
  const Vec l = (longitude - centralMeridian) * perDegree;
  const SinCos sc = sinCos(phi);
  const Terms p = latitudeTerms(r, sc.sin, sc.cos);

  const Vec t2 = p.t * p.t;
  const Vec t4 = t2 * t2;
  const Vec cs2 = p.cs * p.cs;
  const Vec l2 = l * l;
  const Vec one = splat(1.0);
  const Vec y =
      p.n * (p.cs * l + cs2 * p.cs * (one - t2 + p.eta2) * l2 * l * splat(kInverseFactorial3) +
             cs2 * cs2 * p.cs * (splat(5.0) - splat(18.0) * t2 + t4) * l2 * l2 * l *
                 splat(kInverseFactorial5));
  const Sines s =
      multipleSines(splat(2.0) * sc.sin * sc.cos, (sc.cos - sc.sin) * (sc.cos + sc.sin));
  const double* c = r.row->arc;
  const Vec g = phi * splat(c[0] * kDegreesPerRadian) - splat(c[1]) * s.sin2 +
                splat(c[2]) * s.sin4 - splat(c[3]) * s.sin6 + splat(c[4]) * s.sin8 -
                splat(c[5]) * s.sin10;
  const Vec x = g + p.n * (cs2 * p.t * l2 * splat(kInverseFactorial2) +
                           cs2 * cs2 * p.t * (splat(5.0) - t2 + splat(9.0) * p.eta2) * l2 * l2 *
                               splat(kInverseFactorial4) +
                           cs2 * cs2 * cs2 * p.t * (splat(61.0) - splat(58.0) * t2 + t4) * l2 * l2 *
                               l2 * splat(kInverseFactorial6));
  const Vec k0 = splat(r.row->scaleFactor);
  Grid grid{k0 * y + splat(kFalseEasting), k0 * x};
  if (isGaussKrueger(system)) {
    grid.easting =
        zonePrefixOfCentralMeridian(system, zoneWidth, centralMeridian) * splat(kZoneMultiplier) +
        grid.easting;
  }
  return grid;
}

struct Geographic {
  Vec longitude, latitude;
};

// GRID2GEO's series for an easting already reduced to its zone. Lanes far from the central
// meridian are cleared from servedLanes.
VECTOR_CODE
Geographic inverse(int system, Vec centralMeridian, Vec easting, Vec northing, Mask& servedLanes) {
  const SeriesRow& r = seriesRow(system);
  const GeodeticRow& row = *r.row;
  const Vec rho = splat(kDegreesPerRadian);
  const Vec y = (easting - splat(kFalseEasting)) * splat(1.0 / row.scaleFactor);

  // Footpoint latitude; its sine and cosine follow from those of sigma (one vector sincos).
  const Vec sigma = northing * splat(1.0 / (row.arc[0] * row.scaleFactor * kDegreesPerRadian));
  const SinCos ofSigma = sinCos(sigma);
  const Sines s = multipleSines(splat(2.0) * ofSigma.sin * ofSigma.cos,
                                (ofSigma.cos - ofSigma.sin) * (ofSigma.cos + ofSigma.sin));
  const double* b = row.footpoint;
  const Vec phiF = sigma * rho + splat(b[0]) * s.sin2 + splat(b[1]) * s.sin4 +
                   splat(b[2]) * s.sin6 + splat(b[3]) * s.sin8 + splat(b[4]) * s.sin10;
  const Vec phiR = phiF * splat(1.0 / kDegreesPerRadian);

  const SinCos sc = sinCosOfSum(ofSigma, phiR - sigma);
  const Terms p = latitudeTerms(r, sc.sin, sc.cos);
  const Vec t2 = p.t * p.t;
  const Vec t4 = t2 * t2;
  const Vec u = y * p.inverseN;
  servedLanes &= withinMagnitude(u, kMaxReducedEasting);
  const Vec u2 = u * u;
  const Vec u4 = u2 * u2;
  const Vec one = splat(1.0);
  Geographic g;
  g.latitude = phiR * rho - rho * (one + p.eta2) * p.t * u2 * splat(kInverseFactorial2) +
               rho * p.t * (splat(5.0) + splat(3.0) * t2 + splat(6.0) * p.eta2 * (one - t2)) * u4 *
                   splat(kInverseFactorial4) -
               rho * p.t * (splat(61.0) + splat(90.0) * t2 + splat(45.0) * t4) * u4 * u2 *
                   splat(kInverseFactorial6);
  const Vec rhoPerCos = rho * p.inverseCos;
  g.longitude = centralMeridian + rhoPerCos * u -
                rhoPerCos * (one + splat(2.0) * t2 + p.eta2) * u2 * u * splat(kInverseFactorial3) +
                rhoPerCos * (splat(5.0) + splat(28.0) * t2 + splat(24.0) * t4) * u4 * u *
                    splat(kInverseFactorial5);
  return g;
}

// ---- Datum shifts (arc seconds)
// ------------------------------------------------------------------

struct Shift {
  Vec latitude, longitude;
};

VECTOR_CODE
Vec weightedSum(const PolyVector& coefficients, const Vec (&terms)[kPolyTermCount]) {
  Vec sum = splat(0.0);
  for (int k = 1; k <= kPolyTermCount; ++k) sum = sum + splat(coefficients[k]) * terms[k - 1];
  const Vec negligible = compare<_CMP_LT_OQ>(absolute(sum), splat(kNegligibleSum));
  return select(negligible, splat(0.0), sum);
}

VECTOR_CODE
Shift shift12(Vec x, Vec y) {
  const Vec x2 = x * x, x3 = x2 * x, x4 = x3 * x;
  const Vec y2 = y * y, y3 = y2 * y, y4 = y3 * y;
  const Vec terms[kPolyTermCount] = {splat(1.0), x,  x2,     x3,      x4, y,      x * y, x2 * y,
                                     x3 * y,     y2, x * y2, x2 * y2, y3, x * y3, y4};
  return {splat(0.0) - weightedSum(kShift12Latitude, terms),
          splat(0.0) - weightedSum(kShift12Longitude, terms)};
}

// base^0 .. base^9 (a plain array: std::array would drop the vector type's attributes).
struct PowerVector {
  Vec power[kShift23MaxPower + 1];
};

VECTOR_CODE
PowerVector powersOf(Vec base) {
  PowerVector p;
  p.power[0] = splat(1.0);
  for (int k = 1; k <= kShift23MaxPower; ++k) p.power[k] = p.power[k - 1] * base;
  return p;
}

template <std::size_t Count>
VECTOR_CODE Vec sparseSum(const std::array<SparseTerm, Count>& terms, const PowerVector& u,
                          const PowerVector& v) {
  Vec sum = splat(0.0);
  for (const SparseTerm& term : terms) {
    sum = sum + splat(term.coefficient) * u.power[term.uPower] * v.power[term.vPower];
  }
  return sum;
}

VECTOR_CODE
Shift shift23(Vec latitude, Vec longitude) {
  const PowerVector u = powersOf((latitude - splat(kShift23OriginLatitude)) * splat(kShift23Scale));
  const PowerVector v =
      powersOf((longitude - splat(kShift23OriginLongitude)) * splat(kShift23Scale));
  return {sparseSum(kShift23Latitude, u, v), sparseSum(kShift23Longitude, u, v)};
}

VECTOR_CODE
Vec linear(const LinearShift& s, Vec latitude, Vec longitude) {
  return splat(0.0) - ((splat(s.p) * longitude + splat(s.q) * latitude) + splat(s.r));
}

VECTOR_CODE
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

VECTOR_CODE
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
VECTOR_CODE
Mask nearRegionEdge(const Geographic& point) {
  const Vec columns = splat(kColumnsPerDegree), rows = splat(kRowsPerDegree);
  return nearWholeNumber((point.longitude - splat(kRegionAWestEdge)) * columns) |
         nearWholeNumber((point.longitude - splat(kRegionBWestEdge)) * columns) |
         nearWholeNumber((point.latitude - splat(kRegionASouthEdge)) * rows) |
         nearWholeNumber((point.latitude - splat(kRegionBSouthEdge)) * rows);
}

// Chooses the route of the first lane still on the vector path and moves the point along it;
// returns the lanes that take another route or none (they go to the scalar path).
VECTOR_CODE
Mask shiftDatum(const ChainPlan& plan, Geographic& point, Mask vectorLanes) {
  const LaneArray latitude = lanes(point.latitude), longitude = lanes(point.longitude);
  const Route* blockRoute = nullptr;
  Mask otherLanes = 0;
  for (std::size_t k = 0; k < kVectorLanes; ++k) {
    if ((vectorLanes & (1u << k)) == 0) continue;
    const Route* route = routeOfPoint(plan, latitude[k], longitude[k]);
    if (blockRoute == nullptr) blockRoute = route;
    if (route == nullptr || route != blockRoute) otherLanes |= 1u << k;
  }
  if (blockRoute != nullptr) shiftAlong(plan, *blockRoute, point);
  return otherLanes;
}

// The official datum stage (official_lanes.cpp) on the lanes as arrays; returns the lanes it
// leaves to the scalar path.
VECTOR_CODE
Mask shiftOfficially(const OfficialDatum& datum, Geographic& point, Mask vectorLanes) {
  LaneArray latitude = lanes(point.latitude), longitude = lanes(point.longitude);
  const Mask served = shiftOfficialLanes(datum, latitude.data(), longitude.data(), vectorLanes);
  point = {load(longitude.data()), load(latitude.data())};
  return vectorLanes & ~served;
}

struct Block {
  LaneArray x, y;
  std::array<int, kVectorLanes> zone;
};

// Redoes the given lanes on the scalar path (from the inputs as they were before any store).
std::size_t convertOnScalarPath(const ConversionPlan& plan, const Block& in, unsigned which,
                                double* xOut, double* yOut, int* zoneOut, int* status) {
  std::size_t converted = 0;
  for (std::size_t k = 0; k < kVectorLanes; ++k) {
    if ((which & (1u << k)) == 0) continue;
    PointResult result{};
    const int pointStatus = convertBatchPoint(plan, in.x[k], in.y[k], in.zone[k], result);
    xOut[k] = result.x;
    yOut[k] = result.y;
    if (zoneOut != nullptr) zoneOut[k] = result.zone;
    if (status != nullptr) status[k] = pointStatus;
    if (pointStatus == kPointDone) ++converted;
  }
  return converted;
}

// The block itself: vector stages for the lanes it serves, the scalar path for the rest.
VECTOR_CODE
std::size_t convertBlock(const ConversionPlan& plan, const double* x, const double* y,
                         const int* zone, double* xOut, double* yOut, int* zoneOut, int* status) {
  // Loaded as vectors first (the outputs may be the inputs), kept as lanes for the scalar path.
  const Vec xIn = load(x), yIn = load(y);
  const Vec zoneIn = zone != nullptr ? loadZones(zone) : splat(0.0);
  Block in;
  store(in.x.data(), xIn);
  store(in.y.data(), yIn);
  for (std::size_t k = 0; k < kVectorLanes; ++k) in.zone[k] = zone != nullptr ? zone[k] : 0;
  Geographic point{xIn, yIn};
  Vec zoneUsed = splat(0.0);
  Mask vectorLanes = 0;
  bool computedLongitude = !plan.chain.sameSystem;

  if (plan.unprojects) {
    vectorLanes = withinMagnitude(xIn, kMaxEasting) & withinMagnitude(yIn, kMaxNorthing);
    const Vec millions = truncated(xIn / splat(kZoneMultiplier));
    Vec easting = xIn;
    if (isGaussKrueger(plan.fromSystem)) {
      zoneUsed = millions;
      easting = easting - zoneUsed * splat(kZoneMultiplier);
    } else {
      zoneUsed = select(compare<_CMP_EQ_OQ>(zoneIn, splat(0.0)), millions, zoneIn);
      const Vec prefixed = compare<_CMP_GE_OQ>(easting, splat(kSmallestPrefixedUtmEasting));
      easting = select(prefixed, easting - zoneUsed * splat(kZoneMultiplier), easting);
    }
    point =
        inverse(plan.fromSystem, centralMeridianOfZone(plan.fromSystem, plan.zoneWidth, zoneUsed),
                easting, yIn, vectorLanes);
    vectorLanes &= withinMagnitude(point.latitude, kMaxLatitude) &
                   withinMagnitude(point.longitude, kMaxLongitude);
    if (!plan.chain.sameSystem && plan.official == nullptr) vectorLanes &= ~nearRegionEdge(point);
    computedLongitude = true;
  } else {
    vectorLanes = withinMagnitude(xIn, kMaxLongitude) & withinMagnitude(yIn, kMaxLatitude);
  }

  if (!plan.chain.sameSystem && vectorLanes != 0) {
    vectorLanes &= ~(plan.official != nullptr ? shiftOfficially(*plan.official, point, vectorLanes)
                                              : shiftDatum(plan.chain, point, vectorLanes));
    // Far outside the regions the shift polynomials run away.
    vectorLanes &= withinMagnitude(point.latitude, kMaxLatitude) &
                   withinMagnitude(point.longitude, kMaxLongitude);
  }

  Vec xResult = point.longitude, yResult = point.latitude, zoneResult = zoneUsed;
  if (plan.projects) {
    Vec outputZone = splat(static_cast<double>(plan.givenZone));
    if (plan.zoneFromLongitude != 0) {
      const Vec unrounded = zoneBeforeTruncation(plan.toSystem, plan.zoneWidth, point.longitude);
      outputZone = truncated(unrounded);
      if (computedLongitude) vectorLanes &= ~nearWholeNumber(unrounded);
    }
    const Grid grid = forward(plan.toSystem, plan.zoneWidth,
                              centralMeridianOfZone(plan.toSystem, plan.zoneWidth, outputZone),
                              point.longitude, point.latitude, vectorLanes);
    xResult = grid.easting;
    yResult = grid.northing;
    zoneResult = outputZone;
  } else if (!plan.unprojects) {
    zoneResult = splat(0.0);
  }

  std::size_t converted = 0;
  if (vectorLanes != 0) {
    store(xOut, xResult);
    store(yOut, yResult);
    if (zoneOut != nullptr) storeZones(zoneOut, zoneResult);
    if (status != nullptr) std::fill_n(status, kVectorLanes, kPointDone);
    converted = static_cast<std::size_t>(__builtin_popcount(vectorLanes));
  }
  return converted +
         convertOnScalarPath(plan, in, kAllLanes & ~vectorLanes, xOut, yOut, zoneOut, status);
}

}  // namespace

bool avx2BlockSupported() {
  static const bool supported = __builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma");
  return supported;
}

std::size_t convertBlockAvx2(const ConversionPlan& plan, const double* x, const double* y,
                             const int* zone, double* xOut, double* yOut, int* zoneOut,
                             int* status) {
  return convertBlock(plan, x, y, zone, xOut, yOut, zoneOut, status);
}

}  // namespace nuvex::engine
