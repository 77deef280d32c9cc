// The series of the vector blocks (avx2_block.cpp, wasm_block.cpp), written once for both: the
// engine's projection series both ways, Krueger's series both ways with their short forms near
// the meridian, and the sines, cosines and sums of multiple-angle sines they are made of. Each
// block file defines its lanes before it includes this file, outside any namespace (the definitions
// join the file's own unnamed namespace):
// - Vec: the block's eight lanes of doubles, with + - * /; Mask: bit k for lane k.
// - splat, squareRoot, truncated, rounded, absolute, copySign; lessThan and lessOrEqual (all ones
//   where the comparison holds, false for NaN), maskOf (the lanes of such a comparison) and
//   select; atanOf, expOf and log1pOf (the blocks far from the meridian).
// - SERIES_CODE, the attributes of a function on lanes, and SERIES_INLINE, those of one that is
//   inlined into its caller whatever its size.
#pragma once

#include <array>
#include <cmath>
#include <cstddef>

#include "engine/batch.h"
#include "engine/exact_projection.h"
#include "engine/geodetic_tables.h"
#include "engine/point_conversion.h"
#include "engine/projection_rules.h"

namespace nuvex::engine {
namespace {

// Lanes the blocks serve: away from the poles (the series' tan and 1/cos) and within the
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
constexpr double kQuarterCircle = 90.0;  // deg: the pole's latitude
constexpr double kBandMargin = 1e-9;     // deg from the band's edge: the scalar path decides

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

// The series in z as two interleaved chains, the even and the odd powers of z, each in Horner's
// form in z^2: half as long as Horner's single chain of a dozen multiply-adds, which would make
// every block wait for its latitude's sine.
template <std::size_t Terms>
SERIES_INLINE Vec twoChainSeries(const PowerSeries<Terms>& s, Vec z) {
  const Vec z2 = z * z;
  constexpr std::size_t kLastEven = (Terms - 1) / 2 * 2;
  constexpr std::size_t kLastOdd = Terms % 2 == 0 ? Terms - 1 : Terms - 2;
  Vec even = splat(s.c[kLastEven]), odd = splat(s.c[kLastOdd]);
  for (std::size_t k = kLastEven; k >= 2; k -= 2) even = even * z2 + splat(s.c[k - 2]);
  for (std::size_t k = kLastOdd; k >= 3; k -= 2) odd = odd * z2 + splat(s.c[k - 2]);
  return even + z * odd;
}

// x times the series in x^2 (odd functions), or the series itself (even ones); from eight terms
// on as two chains.
template <std::size_t Terms>
SERIES_CODE Vec evenSeries(const PowerSeries<Terms>& s, Vec x2) {
  if constexpr (Terms >= 8) {
    return twoChainSeries(s, x2);
  } else {
    Vec sum = splat(s.c[Terms - 1]);
    for (std::size_t k = Terms - 1; k-- > 0;) sum = sum * x2 + splat(s.c[k]);
    return sum;
  }
}
template <std::size_t Terms>
SERIES_CODE Vec oddSeries(const PowerSeries<Terms>& s, Vec x) {
  return x * evenSeries(s, x * x);
}

// sin and cos by their Taylor series to x^21 and x^22: within a quarter circle (|x| <= pi/2,
// every latitude, every footpoint's arc and every offset from a meridian the vector path serves)
// the next terms are below 2e-17. For these angles the series are a third of the general
// routine's work, which first reduces any angle to the first octant.
constexpr auto kQuarterCircleSine = factorialSeries<11>(true);
constexpr auto kQuarterCircleCosine = factorialSeries<12>(false);

SERIES_INLINE
SinCos sinCosWithinQuarterCircle(Vec angle) {
  const Vec square = angle * angle;
  return {angle * twoChainSeries(kQuarterCircleSine, square),
          twoChainSeries(kQuarterCircleCosine, square)};
}

// Lanes where |v| <= limit; false for NaN.
SERIES_INLINE
Mask withinMagnitude(Vec v, double limit) {
  return maskOf(lessOrEqual(absolute(v), splat(limit)));
}

// Lanes where v lies within kDecisionMargin of a whole number.
SERIES_INLINE
Mask nearWholeNumber(Vec v) {
  return maskOf(lessThan(absolute(v - rounded(v)), splat(kDecisionMargin)));
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

SERIES_INLINE
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
SERIES_INLINE
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
SERIES_INLINE
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

SERIES_INLINE
Vec centralMeridianOfZone(int system, int zoneWidth, Vec zone) {
  if (usesThreeDegreeZones(system, zoneWidth)) return splat(kThreeDegreeZone) * zone;
  if (system == kKrassowskySystem) {
    return (zone - splat(1.0)) * splat(kSixDegreeZone) + splat(kThreeDegreeZone);
  }
  return zone * splat(kSixDegreeZone) - splat(kUtmCentralMeridianOffset);
}

// The zone before truncation, as ZONECM forms it from a longitude.
SERIES_INLINE
Vec zoneBeforeTruncation(int system, int zoneWidth, Vec longitude) {
  if (usesThreeDegreeZones(system, zoneWidth)) {
    return (longitude + splat(kHalfThreeDegreeZone)) / splat(kThreeDegreeZone);
  }
  if (system == kKrassowskySystem) return longitude / splat(kSixDegreeZone) + splat(1.0);
  return longitude / splat(kSixDegreeZone) + splat(kUtmZoneOffset);
}

SERIES_INLINE
Vec zonePrefixOfCentralMeridian(int system, int zoneWidth, Vec centralMeridian) {
  const Vec q =
      usesThreeDegreeZones(system, zoneWidth)
          ? centralMeridian / splat(kThreeDegreeZone)
          : (centralMeridian - splat(kThreeDegreeZone)) / splat(kSixDegreeZone) + splat(1.0);
  const Vec negative = lessThan(q, splat(0.0));
  return truncated(select(negative, q - splat(kRoundingHalf), q + splat(kRoundingHalf)));
}

// ---- Projection --------------------------------------------------------------------------------

struct Grid {
  Vec easting, northing;
};

// Lanes far from the central meridian are cleared from servedLanes.
SERIES_INLINE
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
SERIES_INLINE
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

// sinh(e atanh(e x)), as conformalStep computes it.
SERIES_CODE
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

SERIES_INLINE
ComplexLanes operator*(const ComplexLanes& a, const ComplexLanes& b) {
  return {a.real * b.real - a.imaginary * b.imaginary, a.real * b.imaginary + a.imaginary * b.real};
}

// a + b z for real a and b.
SERIES_INLINE
ComplexLanes linearOf(double a, double b, const ComplexLanes& z) {
  return {splat(a) + splat(b) * z.real, splat(b) * z.imaginary};
}

SERIES_INLINE
ComplexLanes operator+(const ComplexLanes& a, const ComplexLanes& b) {
  return {a.real + b.real, a.imaginary + b.imaginary};
}

// sum_j c_j sin(2 j zeta) from P's coefficients p (KruegerSeries::alphaPowers), P in Estrin's
// form.
SERIES_INLINE
ComplexLanes sineSum(const std::array<double, kKruegerOrder>& p, Vec sin2Xi, Vec cos2Xi,
                     Vec sinh2Eta, Vec cosh2Eta) {
  const ComplexLanes z{cos2Xi * cosh2Eta, splat(0.0) - sin2Xi * sinh2Eta};  // cos 2 zeta
  const ComplexLanes z2 = z * z;
  const ComplexLanes sum =
      linearOf(p[0], p[1], z) + z2 * (linearOf(p[2], p[3], z) + z2 * linearOf(p[4], p[5], z));
  return ComplexLanes{sin2Xi * cosh2Eta, cos2Xi * sinh2Eta} * sum;  // sin 2 zeta
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
// The inverse's: sinh and cosh of |eta| <= kSmallEta, the arc tangent of the longitude's tangent x
// (|x| <= kSmallLongitudeTangent, or kNarrowLongitudeTangent in the blocks of a zone's own
// points), and that of chi's step from xi'. The step, tan(xi' - chi) = sin xi' (r - cos xi') /
// (cos xi' r + sin^2 xi') with r >= cos xi', is at most sin xi' cos xi' x^2 / 2 <= x^2 / 4:
// 0.0157 and 0.0013.
constexpr double kSmallEta = 0.105;
constexpr double kSmallLongitudeTangent = 0.25;
constexpr double kNarrowLongitudeTangent = 0.07;
constexpr auto kLongitudeAtan = atanSeries<15>();
constexpr auto kChiStepAtan = atanSeries<5>();
constexpr auto kNarrowLongitudeAtan = atanSeries<7>();
constexpr auto kNarrowChiStepAtan = atanSeries<3>();

template <std::size_t Terms>
constexpr PowerSeries<Terms> hyperbolicSeries(bool odd) {
  PowerSeries<Terms> s = factorialSeries<Terms>(odd);
  for (double& c : s.c) c = c < 0.0 ? -c : c;
  return s;
}
constexpr auto kSmallSinh = hyperbolicSeries<7>(true);
constexpr auto kSmallCosh = hyperbolicSeries<8>(false);

// The conformal coordinates xi' and eta' of the sphere, and the sines and cosines the sum
// needs, from the latitude's sine and cosine, the conformal tangent's numerator t and the offset.
struct Conformal {
  Vec xi, eta, sin2Xi, cos2Xi, sinh2Eta, cosh2Eta;
};

SERIES_CODE
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
SERIES_CODE
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
  const ComplexLanes sum = sineSum(series.alphaPowers, k.sin2Xi, k.cos2Xi, k.sinh2Eta, k.cosh2Eta);
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

// The same for a real angle.
SERIES_INLINE
Vec realSineSum(const std::array<double, kKruegerOrder>& p, Vec sin2Chi, Vec cos2Chi) {
  const Vec z = cos2Chi, z2 = z * z;
  const Vec low = splat(p[0]) + splat(p[1]) * z, middle = splat(p[2]) + splat(p[3]) * z,
            high = splat(p[4]) + splat(p[5]) * z;
  return sin2Chi * (low + z2 * (middle + z2 * high));
}

// For an easting already reduced to its zone, lanes within kMaxReducedEasting of the meridian
// and short of the pole.
SERIES_CODE
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
  const ComplexLanes sum =
      sineSum(series.betaPowers, splat(2.0) * ofXi.sin * ofXi.cos,
              (ofXi.cos - ofXi.sin) * (ofXi.cos + ofXi.sin), splat(2.0) * sinhEta * coshEta,
              coshEta * coshEta + sinhEta * sinhEta);
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
  const Vec coshEtaPrime = coshEta * coshD - sinhEta * sinhD;  // a square root would stall
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
  Vec chi, longitude;
  if (nearMeridian && withinMagnitude(tangent, kNarrowLongitudeTangent) == kAllLanes) {
    chi = xiPrime - oddSeries(kNarrowChiStepAtan, step);
    longitude = oddSeries(kNarrowLongitudeAtan, tangent);
  } else if (nearMeridian && withinMagnitude(tangent, kSmallLongitudeTangent) == kAllLanes) {
    chi = xiPrime - oddSeries(kChiStepAtan, step);
    longitude = oddSeries(kLongitudeAtan, tangent);
  } else {
    chi = atanOf(ofXiPrime.sin / r);
    longitude = atanOf(tangent);
  }
  const Vec latitude = chi + realSineSum(series.deltaPowers, splat(2.0) * sinChi * cosChi,
                                         (cosChi - sinChi) * (cosChi + sinChi));
  const Vec perRadian = splat(kDegreesPerRadianExact);
  return {centralMeridian + longitude * perRadian, latitude * perRadian};
}

}  // namespace
}  // namespace nuvex::engine
