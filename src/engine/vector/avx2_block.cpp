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
constexpr double kQuarterCircle = 90.0;      // deg: the pole's latitude
constexpr double kQuickBandLatitude = 60.0;  // deg: as far as the band's quick answer reaches
constexpr double kBandMargin = 1e-9;         // deg from the band's edge: the scalar path decides
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

struct SinCos {
  Vec sin, cos;
};

// Power series of odd and even functions near 0, as coefficients of x^(2k+1) or x^(2k).
template <std::size_t Terms>
struct PowerSeries {
  std::array<double, Terms> c{};
};

template <std::size_t Terms>
constexpr PowerSeries<Terms> factorialSeries(bool odd) {
  PowerSeries<Terms> s;
  double factorial = 1.0;
  for (std::size_t k = 0; k < Terms; ++k) {
    const double n = 2.0 * k + (odd ? 1.0 : 0.0);
    if (n > 0.0) factorial *= n * (n - 1.0 > 0.0 ? n - 1.0 : 1.0);
    s.c[k] = (k % 2 == 0 ? 1.0 : -1.0) / factorial;
  }
  return s;
}

// x times the series in x^2 (odd functions), or the series itself (even ones).
template <std::size_t Terms>
VECTOR_CODE Vec evenSeries(const PowerSeries<Terms>& s, Vec x2) {
  Vec sum = splat(s.c[Terms - 1]);
  for (std::size_t k = Terms - 1; k-- > 0;) sum = sum * x2 + splat(s.c[k]);
  return sum;
}
template <std::size_t Terms>
VECTOR_CODE Vec oddSeries(const PowerSeries<Terms>& s, Vec x) {
  return x * evenSeries(s, x * x);
}

// sin and cos by their Taylor series to x^21 and x^22: within a quarter circle (|x| <= pi/2,
// every latitude, every footpoint's arc and every offset from a meridian the vector path serves)
// the next terms are below 2e-17. For these angles the series are a third of the general
// routine's work, which first reduces any angle to the first octant.
constexpr auto kQuarterCircleSine = factorialSeries<11>(true);
constexpr auto kQuarterCircleCosine = factorialSeries<12>(false);

// The series in z as two interleaved chains, the even and the odd powers of z, each in Horner's
// form in z^2: half as long as Horner's single chain of a dozen multiply-adds, which would make
// every block wait for its latitude's sine.
template <std::size_t Terms>
VECTOR_INLINE Vec twoChainSeries(const PowerSeries<Terms>& s, Vec z) {
  const Vec z2 = z * z;
  constexpr std::size_t kLastEven = (Terms - 1) / 2 * 2;
  constexpr std::size_t kLastOdd = Terms % 2 == 0 ? Terms - 1 : Terms - 2;
  Vec even = splat(s.c[kLastEven]), odd = splat(s.c[kLastOdd]);
  for (std::size_t k = kLastEven; k >= 2; k -= 2) even = even * z2 + splat(s.c[k - 2]);
  for (std::size_t k = kLastOdd; k >= 3; k -= 2) odd = odd * z2 + splat(s.c[k - 2]);
  return even + z * odd;
}

VECTOR_INLINE
SinCos sinCosWithinQuarterCircle(Vec angle) {
  const Vec square = angle * angle;
  return {angle * twoChainSeries(kQuarterCircleSine, square),
          twoChainSeries(kQuarterCircleCosine, square)};
}

// Lanes where |v| <= limit; false for NaN.
VECTOR_INLINE
Mask withinMagnitude(Vec v, double limit) {
  return maskOf(compare<_CMP_LE_OQ>(absolute(v), splat(limit)));
}

// Lanes where v lies within kDecisionMargin of a whole number.
VECTOR_INLINE
Mask nearWholeNumber(Vec v) {
  return maskOf(compare<_CMP_LT_OQ>(absolute(v - rounded(v)), splat(kDecisionMargin)));
}

VECTOR_INLINE
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

VECTOR_INLINE
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
VECTOR_INLINE
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
VECTOR_INLINE
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

VECTOR_INLINE
Vec centralMeridianOfZone(int system, int zoneWidth, Vec zone) {
  if (usesThreeDegreeZones(system, zoneWidth)) return splat(kThreeDegreeZone) * zone;
  if (system == kKrassowskySystem) {
    return (zone - splat(1.0)) * splat(kSixDegreeZone) + splat(kThreeDegreeZone);
  }
  return zone * splat(kSixDegreeZone) - splat(kUtmCentralMeridianOffset);
}

// The zone before truncation, as ZONECM forms it from a longitude.
VECTOR_INLINE
Vec zoneBeforeTruncation(int system, int zoneWidth, Vec longitude) {
  if (usesThreeDegreeZones(system, zoneWidth)) {
    return (longitude + splat(kHalfThreeDegreeZone)) / splat(kThreeDegreeZone);
  }
  if (system == kKrassowskySystem) return longitude / splat(kSixDegreeZone) + splat(1.0);
  return longitude / splat(kSixDegreeZone) + splat(kUtmZoneOffset);
}

VECTOR_INLINE
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
VECTOR_INLINE
Grid forward(int system, int zoneWidth, Vec centralMeridian, Vec longitude, Vec latitude,
             Mask& servedLanes) {
  const SeriesRow& r = seriesRow(system);
  const Vec perDegree = splat(1.0 / kDegreesPerRadian);
  const Vec phi = latitude * perDegree;
  servedLanes &= withinMagnitude(longitude - centralMeridian, kMaxMeridianDistance);
  const Vec l = (longitude - centralMeridian) * perDegree;
  const SinCos sc = sinCosWithinQuarterCircle(phi);
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
VECTOR_INLINE
Geographic inverse(int system, Vec centralMeridian, Vec easting, Vec northing, Mask& servedLanes) {
  const SeriesRow& r = seriesRow(system);
  const GeodeticRow& row = *r.row;
  const Vec rho = splat(kDegreesPerRadian);
  const Vec y = (easting - splat(kFalseEasting)) * splat(1.0 / row.scaleFactor);

  // Footpoint latitude; its sine and cosine follow from those of sigma (one vector sincos).
  const Vec sigma = northing * splat(1.0 / (row.arc[0] * row.scaleFactor * kDegreesPerRadian));
  const SinCos ofSigma = sinCosWithinQuarterCircle(sigma);
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

// ---- The exact projection: Krueger's series (exact_projection.h), lane by lane ----------------

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

// sinh(e atanh(e x)), as conformalStep computes it.
VECTOR_CODE
Vec conformalStepOf(const KruegerSeries& series, Vec x) {
  const Vec e2 = splat(series.eccentricitySquared);
  const Vec z = e2 * x * x;
  Vec sum = splat(1.0 / (2 * kAtanhTerms - 1));
  for (int k = kAtanhTerms - 2; k >= 0; --k) sum = sum * z + splat(1.0 / (2 * k + 1));
  const Vec u = e2 * x * sum, u2 = u * u, one = splat(1.0);
  return u * (one + u2 * splat(1.0 / 6.0) *
                        (one + u2 * splat(1.0 / 20.0) * (one + u2 * splat(1.0 / 42.0))));
}

struct ComplexLanes {
  Vec real, imaginary;
};

// Clenshaw's sum of c_j sin(2 j zeta), as clenshawSines in exact_projection.cpp.
VECTOR_CODE
ComplexLanes clenshawSines(const std::array<double, kKruegerOrder>& c, Vec sin2Xi, Vec cos2Xi,
                           Vec sinh2Eta, Vec cosh2Eta) {
  const Vec ar = splat(2.0) * cos2Xi * cosh2Eta, ai = splat(-2.0) * sin2Xi * sinh2Eta;
  Vec y1r = splat(0.0), y1i = splat(0.0), y2r = splat(0.0), y2i = splat(0.0);
  for (int j = kKruegerOrder - 1; j >= 0; --j) {
    const Vec yr = ar * y1r - ai * y1i - y2r + splat(c[static_cast<std::size_t>(j)]);
    const Vec yi = ar * y1i + ai * y1r - y2i;
    y2r = y1r;
    y2i = y1i;
    y1r = yr;
    y1i = yi;
  }
  const Vec sr = sin2Xi * cosh2Eta, si = cos2Xi * sinh2Eta;
  return {y1r * sr - y1i * si, y1r * si + y1i * sr};
}

constexpr double kPi = 3.141592653589793238;
constexpr double kRadiansPerDegreeExact = kPi / 180.0;
constexpr double kDegreesPerRadianExact = 180.0 / kPi;

// atan x = sum (-1)^k x^(2k+1) / (2k+1); asinh x = sum c_k x^(2k+1) with
// c_k = -c_(k-1) (2k-1)^2 / (2k (2k+1)); sin and cos by their factorials.
template <std::size_t Terms>
constexpr PowerSeries<Terms> atanSeries() {
  PowerSeries<Terms> s;
  for (std::size_t k = 0; k < Terms; ++k) s.c[k] = (k % 2 == 0 ? 1.0 : -1.0) / (2.0 * k + 1.0);
  return s;
}
template <std::size_t Terms>
constexpr PowerSeries<Terms> asinhSeries() {
  PowerSeries<Terms> s;
  s.c[0] = 1.0;
  for (std::size_t k = 1; k < Terms; ++k) {
    const double odd = 2.0 * k - 1.0;
    s.c[k] = -s.c[k - 1] * odd * odd / (2.0 * k * (2.0 * k + 1.0));
  }
  return s;
}

// Within kSmallOffset of the meridian (|x| below 0.105 for the sine, cosine and asinh, 0.007 for
// the arc tangents) these leave less than 1e-17 of relative error.
constexpr double kSmallOffset = 6.0;  // deg of longitude
constexpr auto kSmallAtan = atanSeries<6>();
constexpr auto kSmallAsinh = asinhSeries<9>();
constexpr auto kSmallSine = factorialSeries<7>(true);
constexpr auto kSmallCosine = factorialSeries<8>(false);
// The inverse's: sinh and cosh of |eta| <= kSmallEta, the arc tangents of the longitude
// (|x| <= kSmallLongitudeTangent) and of chi's step from xi' (|x| <= kSmallChiStep).
constexpr double kSmallEta = 0.105;
constexpr double kSmallLongitudeTangent = 0.25;
constexpr double kSmallChiStep = 0.1;
constexpr auto kLongitudeAtan = atanSeries<15>();
constexpr auto kChiStepAtan = atanSeries<10>();

template <std::size_t Terms>
constexpr PowerSeries<Terms> hyperbolicSeries(bool odd) {
  PowerSeries<Terms> s = factorialSeries<Terms>(odd);
  for (double& c : s.c) c = c < 0.0 ? -c : c;
  return s;
}
constexpr auto kSmallSinh = hyperbolicSeries<7>(true);
constexpr auto kSmallCosh = hyperbolicSeries<8>(false);

// The conformal coordinates xi' and eta' of the sphere, and the sines and cosines Clenshaw's sum
// needs, from the latitude's sine and cosine, the conformal tangent's numerator t and the offset.
struct Conformal {
  Vec xi, eta, sin2Xi, cos2Xi, sinh2Eta, cosh2Eta;
};

VECTOR_CODE
Conformal conformalOf(Vec latitude, const SinCos& phi, Vec t, Vec lambda, bool small) {
  const Vec one = splat(1.0), two = splat(2.0);
  const Vec lambda2 = lambda * lambda;
  const SinCos ofLambda =
      small ? SinCos{lambda * evenSeries(kSmallSine, lambda2), evenSeries(kSmallCosine, lambda2)}
            : sinCosWithinQuarterCircle(lambda);
  const Vec c = phi.cos * ofLambda.cos;
  const Vec root = squareRoot(t * t + c * c);
  Conformal k;
  Vec inverseR;
  if (small) {
    // xi' = phi - (phi - chi) + (xi' - chi), both differences small. With tan chi = t / cos phi:
    // tan(phi - chi) = cos phi (sin phi - t) / (cos^2 phi + t sin phi) and
    // tan(xi' - chi) = t cos phi (1 - cos lambda) / (cos^2 phi cos lambda + t^2). The divider is
    // the block's bottleneck: the two quotients and 1 / root share one division.
    const Vec cos2Phi = phi.cos * phi.cos;
    const Vec chiNumerator = phi.cos * (phi.sin - t), chiDenominator = cos2Phi + t * phi.sin;
    const Vec xiNumerator = t * phi.cos * (one - ofLambda.cos);
    const Vec xiDenominator = cos2Phi * ofLambda.cos + t * t;
    const Vec denominators = chiDenominator * xiDenominator;
    const Vec inverse = one / (denominators * root);
    inverseR = denominators * inverse;
    const Vec perDenominators = root * inverse;
    const Vec toChi = chiNumerator * xiDenominator * perDenominators;
    const Vec toXi = xiNumerator * chiDenominator * perDenominators;
    k.xi = latitude - oddSeries(kSmallAtan, toChi) + oddSeries(kSmallAtan, toXi);
  } else {
    inverseR = one / root;
  }
  const Vec q = phi.cos * ofLambda.sin * inverseR;  // sinh(eta')
  const Vec coshEta = squareRoot(one + q * q);
  const Vec sinXi = t * inverseR, cosXi = c * inverseR;
  if (small) {
    k.eta = oddSeries(kSmallAsinh, q);
  } else {
    k.xi = atanOf(t / c);
    const Vec magnitude = absolute(q);
    k.eta = copySign(log1pOf(magnitude + magnitude * magnitude / (one + coshEta)), q);
  }
  k.sin2Xi = two * sinXi * cosXi;
  k.cos2Xi = (cosXi - sinXi) * (cosXi + sinXi);
  k.sinh2Eta = two * q * coshEta;
  k.cosh2Eta = one + two * q * q;
  return k;
}

// Lanes within kMaxMeridianDistance of the meridian and below kMaxLatitude, where the cosines
// the quotients divide by stay well away from zero. Blocks whose lanes all lie within
// kSmallOffset of the meridian (whole-state zones and every zone's own points) take the short
// series instead of the arc tangent, logarithm and second sine and cosine.
// Both exact series stay out of line, so that the engine's series keep their registers in the
// blocks that call them; their vectors come by reference (by value they are copied through the
// stack in halves, and the wide loads of the copies wait for them).
VECTOR_CODE
__attribute__((noinline)) Grid exactForward(const ConversionPlan& plan, const Vec& centralMeridian,
                                            const Vec& longitude, const Vec& latitude) {
  const KruegerSeries& series = *plan.targetSeries;
  const Vec perDegree = splat(kRadiansPerDegreeExact), one = splat(1.0);
  const Vec offset = longitude - centralMeridian;
  const bool small = withinMagnitude(offset, kSmallOffset) == kAllLanes;
  const Vec phiRadians = latitude * perDegree;
  const SinCos phi = sinCosWithinQuarterCircle(phiRadians);
  const Vec sigma = conformalStepOf(series, phi.sin), sigma2 = sigma * sigma;
  // sqrt(1 + sigma^2) for |sigma| < 0.007 by its series: the next term is below 1e-19.
  const Vec rootOfSigma =
      one + sigma2 * splat(0.5) * (one - sigma2 * splat(0.25) * (one - sigma2 * splat(0.5)));
  const Vec t = phi.sin * rootOfSigma - sigma;  // tan(chi) cos(phi)
  const Conformal k = conformalOf(phiRadians, phi, t, offset * perDegree, small);
  const ComplexLanes sum = clenshawSines(series.alpha, k.sin2Xi, k.cos2Xi, k.sinh2Eta, k.cosh2Eta);
  const GeodeticRow& row = geodeticRow(plan.toSystem);
  const Vec scale = splat(row.scaleFactor * series.rectifyingRadius);
  Grid grid{scale * (k.eta + sum.imaginary) + splat(kFalseEasting), scale * (k.xi + sum.real)};
  if (isGaussKrueger(plan.toSystem)) {
    grid.easting = zonePrefixOfCentralMeridian(plan.toSystem, plan.zoneWidth, centralMeridian) *
                       splat(kZoneMultiplier) +
                   grid.easting;
  }
  return grid;
}

// Sum of c_j sin(2 j chi) by Clenshaw's recurrence, as clenshawRealSines does.
VECTOR_CODE
Vec clenshawRealSines(const std::array<double, kKruegerOrder>& c, Vec sin2Chi, Vec cos2Chi) {
  const Vec a = splat(2.0) * cos2Chi;
  Vec y1 = splat(0.0), y2 = splat(0.0);
  for (int j = kKruegerOrder - 1; j >= 0; --j) {
    const Vec y = a * y1 - y2 + splat(c[static_cast<std::size_t>(j)]);
    y2 = y1;
    y1 = y;
  }
  return y1 * sin2Chi;
}

// For an easting already reduced to its zone, lanes within kMaxReducedEasting of the meridian
// and short of the pole.
VECTOR_CODE
__attribute__((noinline)) Geographic exactInverse(const ConversionPlan& plan,
                                                  const Vec& centralMeridian, const Vec& easting,
                                                  const Vec& northing) {
  const KruegerSeries& series = *plan.sourceSeries;
  const GeodeticRow& row = geodeticRow(plan.fromSystem);
  const Vec perScaledRadius = splat(1.0 / (row.scaleFactor * series.rectifyingRadius));
  const Vec xi = northing * perScaledRadius;
  const Vec eta = (easting - splat(kFalseEasting)) * perScaledRadius;
  const SinCos ofXi = sinCosWithinQuarterCircle(xi);
  const Vec one = splat(1.0), half = splat(0.5);
  // Near the meridian (every zone's own points) short series stand in for the exponential and
  // the arc tangents; elsewhere the library's functions.
  const bool nearMeridian = withinMagnitude(eta, kSmallEta) == kAllLanes;
  Vec sinhEta, coshEta;
  if (nearMeridian) {
    const Vec eta2 = eta * eta;
    sinhEta = eta * evenSeries(kSmallSinh, eta2);
    coshEta = evenSeries(kSmallCosh, eta2);
  } else {
    const Vec growth = expOf(eta), decay = one / growth;
    sinhEta = half * (growth - decay);
    coshEta = half * (growth + decay);
  }
  const ComplexLanes sum = clenshawSines(
      series.beta, splat(2.0) * ofXi.sin * ofXi.cos, (ofXi.cos - ofXi.sin) * (ofXi.cos + ofXi.sin),
      splat(2.0) * sinhEta * coshEta, coshEta * coshEta + sinhEta * sinhEta);
  // xi' and eta' differ from xi and eta by the sums (|d| < 0.003): their functions follow from
  // those of xi and eta by the sums' Taylor series.
  const Vec xiPrime = xi - sum.real;
  const SinCos ofXiPrime = sinCosOfSum(ofXi, splat(0.0) - sum.real);
  const Vec d = sum.imaginary, d2 = d * d;
  const Vec sinhD = d * (one + d2 * splat(1.0 / 6.0) * (one + d2 * splat(1.0 / 20.0)));
  const Vec coshD = one + d2 * splat(0.5) * (one + d2 * splat(1.0 / 12.0));
  const Vec sinhEtaPrime = sinhEta * coshD - coshEta * sinhD;
  const Vec sinh2 = sinhEtaPrime * sinhEtaPrime;
  const Vec r = squareRoot(sinh2 + ofXiPrime.cos * ofXiPrime.cos);
  const Vec coshEtaPrime = squareRoot(one + sinh2);
  // chi = xi' - atan(step): tan(xi' - chi) = sin xi' (r - cos xi') / (cos xi' r + sin^2 xi'),
  // with r - cos xi' = sinh^2 eta' / (r + cos xi'). The divider is the block's bottleneck: the
  // step, the longitude's tangent and 1 / cosh eta' share one division.
  const Vec stepDenominator =
      (r + ofXiPrime.cos) * (ofXiPrime.cos * r + ofXiPrime.sin * ofXiPrime.sin);
  const Vec denominators = stepDenominator * ofXiPrime.cos;
  const Vec inverse = one / (denominators * coshEtaPrime);
  const Vec inverseCoshEta = denominators * inverse;
  const Vec perDenominators = coshEtaPrime * inverse;
  const Vec sinChi = ofXiPrime.sin * inverseCoshEta, cosChi = r * inverseCoshEta;
  const Vec step = ofXiPrime.sin * sinh2 * ofXiPrime.cos * perDenominators;
  const Vec tangent = sinhEtaPrime * stepDenominator * perDenominators;
  const bool shortSeries = nearMeridian && withinMagnitude(step, kSmallChiStep) == kAllLanes &&
                           withinMagnitude(tangent, kSmallLongitudeTangent) == kAllLanes;
  const Vec chi = shortSeries ? xiPrime - oddSeries(kChiStepAtan, step) : atanOf(ofXiPrime.sin / r);
  const Vec longitude = shortSeries ? oddSeries(kLongitudeAtan, tangent) : atanOf(tangent);
  const Vec latitude = chi + clenshawRealSines(series.delta, splat(2.0) * sinChi * cosChi,
                                               (cosChi - sinChi) * (cosChi + sinChi));
  const Vec perRadian = splat(kDegreesPerRadianExact);
  return {centralMeridian + longitude * perRadian, latitude * perRadian};
}

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
  const Vec negligible = compare<_CMP_LT_OQ>(absolute(sum), splat(kNegligibleSum));
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

// The lanes of a block whose bits are set in lanes, as a selector for select().
VECTOR_INLINE
Vec laneSelector(Mask lanes) {
  const __m256i bits = _mm256_set1_epi64x(static_cast<long long>(lanes));
  const __m256i lo = _mm256_setr_epi64x(1, 2, 4, 8), hi = _mm256_setr_epi64x(16, 32, 64, 128);
  return {_mm256_castsi256_pd(_mm256_cmpeq_epi64(_mm256_and_si256(bits, lo), lo)),
          _mm256_castsi256_pd(_mm256_cmpeq_epi64(_mm256_and_si256(bits, hi), hi))};
}

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
  const Vec onGrid = both(
      both(compare<_CMP_GE_OQ>(column, zero), compare<_CMP_LT_OQ>(column, splat(region.columns))),
      both(compare<_CMP_GE_OQ>(row, zero), compare<_CMP_LT_OQ>(row, splat(region.rows))));
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
  return maskOf(both(both(compare<_CMP_GE_OQ>(point.longitude, splat(kPolynomialAreaWest)),
                          compare<_CMP_LE_OQ>(point.longitude, splat(kPolynomialAreaEast))),
                     both(compare<_CMP_GE_OQ>(point.latitude, splat(kPolynomialAreaSouth)),
                          compare<_CMP_LE_OQ>(point.latitude, splat(kPolynomialAreaNorth)))));
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

// Lanes whose grid input the source can hold as checkGridInput decides it (zone, pole); the
// others are the scalar path's to decide.
VECTOR_INLINE
Mask servedGridInput(const ConversionPlan& plan, const ZoneRange& zones, Vec xIn, Vec yIn,
                     Vec zoneIn, Vec millions) {
  const GeodeticRow& row = geodeticRow(plan.fromSystem);
  Mask lanes = withinMagnitude(yIn, row.scaleFactor * row.arc[0] * kQuarterCircle);
  Vec zone = millions;
  if (isGaussKrueger(plan.fromSystem)) {
    lanes &= maskOf(both(compare<_CMP_GE_OQ>(zone, splat(zones.lowest)),
                         compare<_CMP_LE_OQ>(zone, splat(zones.highest))));
  } else {
    const Vec prefixed = compare<_CMP_GE_OQ>(xIn, splat(kSmallestPrefixedUtmEasting));
    const Vec fromEasting = compare<_CMP_EQ_OQ>(zoneIn, splat(0.0));
    // A zone column must agree with a prefix; without one the easting must carry it.
    const Vec always = compare<_CMP_TRUE_UQ>(zoneIn, zoneIn);
    const Vec agrees = select(prefixed, compare<_CMP_EQ_OQ>(millions, zoneIn), always);
    zone = select(fromEasting, millions, zoneIn);
    lanes &= maskOf(select(fromEasting, prefixed, agrees)) &
             maskOf(both(compare<_CMP_GE_OQ>(zone, splat(kSixDegreeZoneRange.lowest)),
                         compare<_CMP_LE_OQ>(zone, splat(kSixDegreeZoneRange.highest))));
  }
  return lanes;
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
                     maskOf(compare<_CMP_LE_OQ>(offset, splat(quickHalfWidth)));
  undecided = 0;
  if (quick == kAllLanes) return quick;
  const Vec latitude =
      splat(0.0) + absolute(northing) * splat(1.0 / (row.scaleFactor * row.arc[0]));
  const Vec capped =
      select(compare<_CMP_LT_OQ>(latitude, splat(kQuarterCircle)), latitude, splat(kQuarterCircle));
  const Vec cosPhi = sinCosWithinQuarterCircle(capped * splat(1.0 / kDegreesPerRadian)).cos;
  const double e2 = row.secondEccentricity * row.secondEccentricity;
  const Vec n = splat(row.semiMajorAxis) *
                squareRoot(splat(1.0 + e2) / (splat(1.0) + splat(e2) * cosPhi * cosPhi));
  const Vec halfWidth =
      splat(row.scaleFactor) * n * cosPhi * splat(kProjectionBandDegrees / kDegreesPerRadian);
  undecided = ~quick & withinMagnitude(offset - halfWidth, kBandEdgeMetres);
  return quick | (maskOf(compare<_CMP_LE_OQ>(offset, halfWidth)) & ~undecided);
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
      zoneUsed = select(compare<_CMP_EQ_OQ>(zoneIn, splat(0.0)), millions, zoneIn);
      const Vec prefixed = compare<_CMP_GE_OQ>(easting, splat(kSmallestPrefixedUtmEasting));
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
      vectorLanes &= maskOf(both(compare<_CMP_GE_OQ>(epochs, splat(kEarliestEpoch)),
                                 compare<_CMP_LE_OQ>(epochs, splat(kLatestEpoch))));
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
    Vec outputZone = splat(static_cast<double>(plan.givenZone));
    if (plan.zoneFromLongitude != 0) {
      const Vec unrounded = zoneBeforeTruncation(plan.toSystem, plan.zoneWidth, point.longitude);
      outputZone = truncated(unrounded);
      if (computedLongitude) vectorLanes &= ~nearWholeNumber(unrounded);
      // Longitudes outside the circle the zones number from are the scalar path's to bring in.
      const double edge = westernEdgeOfZones(plan.toSystem, plan.zoneWidth);
      vectorLanes &= maskOf(both(compare<_CMP_GE_OQ>(point.longitude, splat(edge)),
                                 compare<_CMP_LT_OQ>(point.longitude, splat(edge + 360.0))));
    }
    const ZoneRange& zones = batch.targetZones;
    vectorLanes &= maskOf(both(compare<_CMP_GE_OQ>(outputZone, splat(zones.lowest)),
                               compare<_CMP_LE_OQ>(outputZone, splat(zones.highest))));
    const Vec centralMeridian = centralMeridianOfZone(plan.toSystem, plan.zoneWidth, outputZone);
    Mask withinBand = plan.series == ProjectionSeries::Exact ? 0 : kAllLanes;
    if (plan.series == ProjectionSeries::Banded) {
      const Vec offset = absolute(point.longitude - centralMeridian);
      withinBand = maskOf(compare<_CMP_LE_OQ>(offset, splat(kProjectionBandDegrees)));
      vectorLanes &= ~withinMagnitude(offset - splat(kProjectionBandDegrees), kBandMargin);
    }
    Grid grid{};
    const Mask exactLanes = vectorLanes & ~withinBand;
    if (exactLanes != 0) {
      vectorLanes &= withinMagnitude(point.longitude - centralMeridian, kMaxMeridianDistance);
      grid = exactForward(plan, centralMeridian, point.longitude, point.latitude);
    }
    if (exactLanes == 0 || (vectorLanes & withinBand) != 0) {
      mixed = mixed || exactLanes != 0;
      const Grid engine = forward(plan.toSystem, plan.zoneWidth, centralMeridian, point.longitude,
                                  point.latitude, vectorLanes);
      const Vec mine = laneSelector(withinBand);
      grid = exactLanes == 0 ? engine
                             : Grid{select(mine, engine.easting, grid.easting),
                                    select(mine, engine.northing, grid.northing)};
    }
    // Both series give numbers for every lane the checks above let through (below kMaxLatitude,
    // within kMaxMeridianDistance), as geographic results are checked where they are made: the
    // results need no check of their own.
    xResult = grid.easting;
    yResult = grid.northing;
    zoneResult = outputZone;
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

bool avx2BlockSupported() {
  static const bool supported = __builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma") &&
                                __builtin_cpu_supports("bmi") && __builtin_cpu_supports("bmi2");
  return supported;
}

std::size_t convertBlocksAvx2(const ConversionPlan& plan, std::size_t blocks, const double* x,
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

std::size_t convertBlocksInFullAvx2(const ConversionPlan& plan, std::size_t blocks, const double* x,
                                    const double* y, const double* z, const double* epoch,
                                    const int* zone, double* xOut, double* yOut, double* zOut,
                                    int* zoneOut, int* status) {
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
