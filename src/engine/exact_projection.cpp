// Krueger's series to order n^6, forward and inverse, on the scalar path.
#include "engine/exact_projection.h"

#include <cmath>

namespace nuvex::engine {

namespace {

// P's coefficients (KruegerSeries::alphaPowers) from the sum's.
std::array<double, kKruegerOrder> powersOfSineSum(const std::array<double, kKruegerOrder>& c) {
  static_assert(kKruegerOrder == 6, "the powers of U_0 .. U_5");
  return {c[0] - c[2] + c[4],
          2.0 * c[1] - 4.0 * c[3] + 6.0 * c[5],
          4.0 * c[2] - 12.0 * c[4],
          8.0 * c[3] - 32.0 * c[5],
          16.0 * c[4],
          32.0 * c[5]};
}

}  // namespace

KruegerSeries kruegerSeriesOf(const Ellipsoid& ellipsoid) {
  const double f = 1.0 / ellipsoid.inverseFlattening;
  const double n = f / (2.0 - f);
  const double n2 = n * n, n3 = n2 * n, n4 = n3 * n, n5 = n4 * n, n6 = n5 * n;
  KruegerSeries s{};
  s.eccentricitySquared = f * (2.0 - f);
  s.oneMinusEccentricitySquared = 1.0 - s.eccentricitySquared;
  s.rectifyingRadius =
      ellipsoid.semiMajorAxis / (1.0 + n) * (1.0 + n2 / 4.0 + n4 / 64.0 + n6 / 256.0);
  s.alpha = {
      n / 2.0 - 2.0 / 3.0 * n2 + 5.0 / 16.0 * n3 + 41.0 / 180.0 * n4 - 127.0 / 288.0 * n5 +
          7891.0 / 37800.0 * n6,
      13.0 / 48.0 * n2 - 3.0 / 5.0 * n3 + 557.0 / 1440.0 * n4 + 281.0 / 630.0 * n5 -
          1983433.0 / 1935360.0 * n6,
      61.0 / 240.0 * n3 - 103.0 / 140.0 * n4 + 15061.0 / 26880.0 * n5 + 167603.0 / 181440.0 * n6,
      49561.0 / 161280.0 * n4 - 179.0 / 168.0 * n5 + 6601661.0 / 7257600.0 * n6,
      34729.0 / 80640.0 * n5 - 3418889.0 / 1995840.0 * n6,
      212378941.0 / 319334400.0 * n6};
  s.beta = {n / 2.0 - 2.0 / 3.0 * n2 + 37.0 / 96.0 * n3 - 1.0 / 360.0 * n4 - 81.0 / 512.0 * n5 +
                96199.0 / 604800.0 * n6,
            1.0 / 48.0 * n2 + 1.0 / 15.0 * n3 - 437.0 / 1440.0 * n4 + 46.0 / 105.0 * n5 -
                1118711.0 / 3870720.0 * n6,
            17.0 / 480.0 * n3 - 37.0 / 840.0 * n4 - 209.0 / 4480.0 * n5 + 5569.0 / 90720.0 * n6,
            4397.0 / 161280.0 * n4 - 11.0 / 504.0 * n5 - 830251.0 / 7257600.0 * n6,
            4583.0 / 161280.0 * n5 - 108847.0 / 3991680.0 * n6,
            20648693.0 / 638668800.0 * n6};
  s.delta = {2.0 * n - 2.0 / 3.0 * n2 - 2.0 * n3 + 116.0 / 45.0 * n4 + 26.0 / 45.0 * n5 -
                 2854.0 / 675.0 * n6,
             7.0 / 3.0 * n2 - 8.0 / 5.0 * n3 - 227.0 / 45.0 * n4 + 2704.0 / 315.0 * n5 +
                 2323.0 / 945.0 * n6,
             56.0 / 15.0 * n3 - 136.0 / 35.0 * n4 - 1262.0 / 105.0 * n5 + 73814.0 / 2835.0 * n6,
             4279.0 / 630.0 * n4 - 332.0 / 35.0 * n5 - 399572.0 / 14175.0 * n6,
             4174.0 / 315.0 * n5 - 144838.0 / 6237.0 * n6,
             601676.0 / 22275.0 * n6};
  s.alphaPowers = powersOfSineSum(s.alpha);
  s.betaPowers = powersOfSineSum(s.beta);
  s.deltaPowers = powersOfSineSum(s.delta);
  return s;
}

const KruegerSeries& kruegerSeriesOfSystem(int system, bool etrs89) {
  // Rows by system code, then GRS80 for system 3 taken as ETRS89.
  static const std::array<KruegerSeries, 5> kSeries = {
      kruegerSeriesOf(kBessel1841), kruegerSeriesOf(kInternational1924), kruegerSeriesOf(kWgs84),
      kruegerSeriesOf(kKrassowsky1940), kruegerSeriesOf(kGrs80)};
  constexpr int kWgs84System = 3;
  constexpr std::size_t kGrs80Row = 4;
  if (system == kWgs84System && etrs89) return kSeries[kGrs80Row];
  return kSeries[static_cast<std::size_t>(system - 1)];
}

double conformalStep(const KruegerSeries& series, double x) {
  const double e2 = series.eccentricitySquared;
  const double z = e2 * x * x;
  double sum = 1.0 / (2 * kAtanhTerms - 1);
  for (int k = kAtanhTerms - 2; k >= 0; --k) sum = sum * z + 1.0 / (2 * k + 1);
  const double u = e2 * x * sum;  // e atanh(e x), |u| < 0.007
  const double u2 = u * u;
  return u * (1.0 + u2 / 6.0 * (1.0 + u2 / 20.0 * (1.0 + u2 / 42.0)));  // sinh u
}

namespace {

// Sum of c_j sin(2 j zeta) over j = 1..6 for the complex zeta = xi + i eta, by Clenshaw's
// recurrence, from sin, cos of 2 xi and sinh, cosh of 2 eta. Returns the real and imaginary parts.
struct ComplexSum {
  double real, imaginary;
};

ComplexSum clenshawSines(const std::array<double, kKruegerOrder>& c, double sin2Xi, double cos2Xi,
                         double sinh2Eta, double cosh2Eta) {
  // a = 2 cos(2 zeta) = 2 (cos 2xi cosh 2eta - i sin 2xi sinh 2eta)
  const double ar = 2.0 * cos2Xi * cosh2Eta, ai = -2.0 * sin2Xi * sinh2Eta;
  double y1r = 0.0, y1i = 0.0, y2r = 0.0, y2i = 0.0;
  for (int j = kKruegerOrder - 1; j >= 0; --j) {
    const double yr = ar * y1r - ai * y1i - y2r + c[static_cast<std::size_t>(j)];
    const double yi = ar * y1i + ai * y1r - y2i;
    y2r = y1r;
    y2i = y1i;
    y1r = yr;
    y1i = yi;
  }
  // times sin(2 zeta) = sin 2xi cosh 2eta + i cos 2xi sinh 2eta
  const double sr = sin2Xi * cosh2Eta, si = cos2Xi * sinh2Eta;
  return {y1r * sr - y1i * si, y1r * si + y1i * sr};
}

// Sum of c_j sin(2 j chi) over j = 1..6 by Clenshaw's recurrence, from sin and cos of 2 chi.
double clenshawRealSines(const std::array<double, kKruegerOrder>& c, double sin2Chi,
                         double cos2Chi) {
  const double a = 2.0 * cos2Chi;
  double y1 = 0.0, y2 = 0.0;
  for (int j = kKruegerOrder - 1; j >= 0; --j) {
    const double y = a * y1 - y2 + c[static_cast<std::size_t>(j)];
    y2 = y1;
    y1 = y;
  }
  return y1 * sin2Chi;
}

}  // namespace

PlaneOffsets kruegerForward(const KruegerSeries& series, double latitude, double longitude) {
  const double sinPhi = std::sin(latitude), cosPhi = std::cos(latitude);
  const double sinLambda = std::sin(longitude), cosLambda = std::cos(longitude);
  // The conformal latitude's tangent times cos(latitude), so that the pole needs no division.
  const double sigma = conformalStep(series, sinPhi);
  const double t = sinPhi * std::hypot(1.0, sigma) - sigma;
  const double c = cosPhi * cosLambda;
  const double r = std::hypot(t, c);
  const double xiPrime = std::atan2(t, c);
  const double q = cosPhi * sinLambda / r;  // sinh(eta')
  const double etaPrime = std::asinh(q);
  const double sinXi = t / r, cosXi = c / r, coshEta = std::hypot(1.0, q);
  const ComplexSum sum =
      clenshawSines(series.alpha, 2.0 * sinXi * cosXi, (cosXi - sinXi) * (cosXi + sinXi),
                    2.0 * q * coshEta, 1.0 + 2.0 * q * q);
  return {series.rectifyingRadius * (xiPrime + sum.real),
          series.rectifyingRadius * (etaPrime + sum.imaginary)};
}

GeodeticOffsets kruegerInverse(const KruegerSeries& series, PlaneOffsets plane) {
  const double xi = plane.northing / series.rectifyingRadius;
  const double eta = plane.easting / series.rectifyingRadius;
  const ComplexSum sum = clenshawSines(series.beta, std::sin(2.0 * xi), std::cos(2.0 * xi),
                                       std::sinh(2.0 * eta), std::cosh(2.0 * eta));
  const double xiPrime = xi - sum.real, etaPrime = eta - sum.imaginary;
  const double sinhEta = std::sinh(etaPrime), cosXi = std::cos(xiPrime);
  // The conformal latitude chi: sin chi = sin xi' / cosh eta', cos chi = hypot(sinh eta',
  // cos xi') / cosh eta'; the geodetic latitude follows from it by the delta series.
  const double r = std::hypot(sinhEta, cosXi), sinXi = std::sin(xiPrime);
  const double coshEta = std::hypot(1.0, sinhEta);
  const double sinChi = sinXi / coshEta, cosChi = r / coshEta;
  const double chi = std::atan2(sinXi, r);
  const double latitude = chi + clenshawRealSines(series.delta, 2.0 * sinChi * cosChi,
                                                  (cosChi - sinChi) * (cosChi + sinChi));
  return {latitude, std::atan2(sinhEta, cosXi)};
}

}  // namespace nuvex::engine
