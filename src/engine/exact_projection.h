// The exact transverse Mercator: Krueger's series in the third flattening n, to order n^6 (the
// coefficients of Karney, "Transverse Mercator with an accuracy of a few nanometers", J. Geodesy
// 85, 2011). Measured against the exact projection (GeographicLib's TransverseMercatorProj -t),
// the series stay within 0.1 mm up to 9260 km of easting from the central meridian (64.5 deg of
// longitude on the equator) and within 10 nm up to 4500 km; kProjectionLimitMetres
// (nuvex/systems.h) keeps the accepted points inside that. The batch path projects with them beyond
// the engine's 4 deg band, and everywhere in the official datum mode; TRGU and the host entry
// points never do.
#pragma once

#include <array>

#include "engine/ellipsoids.h"

namespace nuvex::engine {

inline constexpr int kKruegerOrder = 6;
// Terms of e * atanh(e * x) = e^2 x (1 + (e^2 x^2)/3 + (e^2 x^2)^2/5 + ...) for |x| <= 1: with
// e^2 <= 0.0068, eight terms leave less than 1e-18 of relative error.
inline constexpr int kAtanhTerms = 8;

// The series of one ellipsoid, derived from its defining constants.
struct KruegerSeries {
  double eccentricitySquared;               // e^2
  double oneMinusEccentricitySquared;       // 1 - e^2
  double rectifyingRadius;                  // A (m): the meridian's length is 2 pi A
  std::array<double, kKruegerOrder> alpha;  // forward: geodetic to plane
  std::array<double, kKruegerOrder> beta;   // inverse
  std::array<double, kKruegerOrder> delta;  // conformal to geodetic latitude
  // Each sum_j c_j sin(2 j zeta) as sin(2 zeta) P(cos 2 zeta), with P = sum_j c_j U_(j-1)
  // (Chebyshev's polynomials of the second kind): P's coefficients of the powers 0 .. 5. The
  // vector blocks evaluate P in Estrin's form, whose chain of dependent multiplications is half
  // as long as Clenshaw's recurrence, which the scalar path keeps.
  std::array<double, kKruegerOrder> alphaPowers, betaPowers, deltaPowers;
};

KruegerSeries kruegerSeriesOf(const Ellipsoid& ellipsoid);

// The series of the ellipsoid a system's grid is projected on (derived once): its own, or GRS80
// for system 3 taken as ETRS89 (the official mode). System codes 1..4.
const KruegerSeries& kruegerSeriesOfSystem(int system, bool etrs89);

// A point on the plane before scaling and false easting: northing and easting offset from the
// central meridian (m).
struct PlaneOffsets {
  double northing;
  double easting;
};

// Forward: latitude and longitude from the central meridian (rad; |longitude| < pi/2).
PlaneOffsets kruegerForward(const KruegerSeries& series, double latitude, double longitude);

// Inverse: latitude and longitude from the central meridian (rad) of plane offsets (m) whose
// northing lies within the pole's.
struct GeodeticOffsets {
  double latitude;
  double longitude;
};
GeodeticOffsets kruegerInverse(const KruegerSeries& series, PlaneOffsets plane);

// sigma = sinh(e atanh(e x)) for |x| <= 1, by the series above: the step of the conformal
// latitude that needs neither logarithm nor exponential.
double conformalStep(const KruegerSeries& series, double x);

}  // namespace nuvex::engine
