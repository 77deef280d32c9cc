// The polynomial datum shifts: SHIFT12 (systems 1 -> 2), a complete bivariate polynomial in raw
// degrees, and SHIFT23 (systems 2 -> 3), a sparse polynomial in normalised coordinates.
#include "engine/polynomial_shifts.h"

#include <array>
#include <cmath>

#include "nuvex/engine.h"

namespace nuvex::engine {
namespace {

// A 1-based coefficient vector holding the terms in POLTERMS order, zero beyond them.
constexpr PolyVector coefficientVector(const std::array<double, kPolyTermCount>& terms) {
  PolyVector vector{};
  for (int k = 1; k <= kPolyTermCount; ++k) vector[k] = terms[k - 1];
  return vector;
}

}  // namespace

// Term order 1, x, x^2, x^3, x^4, y, xy, x^2y, x^3y, y^2, xy^2, x^2y^2, y^3, xy^3, y^4.
const PolyVector kShift12Latitude = coefficientVector({
    -260.16768665,
    24.4435514243,
    -0.855782700081,
    0.0131004024179,
    -7.33934207525e-05,
    -24.7880434943,
    1.4187112444,
    -0.0273881402517,
    0.000177312636644,
    0.0784441127014,
    -0.00215588303243,
    2.36088700884e-05,
    -0.000405512674846,
    -3.13646003162e-05,
    4.33614960414e-05,
});
const PolyVector kShift12Longitude = coefficientVector({
    -627.761057239,
    54.328406158,
    -1.76922761394,
    0.0255930720107,
    -0.000139270508653,
    -20.6982488661,
    1.28255214894,
    -0.0268720838376,
    0.000195330954432,
    0.0258153050703,
    0.00368580306736,
    -9.0244866944e-05,
    -0.00837907825418,
    0.000189997235403,
    -2.19831047609e-05,
});

}  // namespace nuvex::engine

namespace nuvex {
namespace {

using engine::kNegligibleSum;
using engine::kPolyDegree;
using engine::kPolyTermCount;
using engine::kShift12Latitude;
using engine::kShift12Longitude;
using engine::kShift23Latitude;
using engine::kShift23Longitude;
using engine::kShift23MaxPower;
using engine::kShift23OriginLatitude;
using engine::kShift23OriginLongitude;
using engine::kShift23Scale;
using engine::SparseTerm;

using Powers = std::array<double, kShift23MaxPower + 1>;

// base^0 .. base^9 by repeated multiplication.
Powers powersOf(double base) {
  Powers powers{};
  powers[0] = 1.0;
  for (int k = 1; k <= kShift23MaxPower; ++k) powers[k] = powers[k - 1] * base;
  return powers;
}

template <std::size_t Count>
double sparseSum(const std::array<SparseTerm, Count>& terms, const Powers& u, const Powers& v) {
  double sum = 0.0;
  for (const SparseTerm& term : terms) sum += term.coefficient * u[term.uPower] * v[term.vPower];
  return sum;
}

// Sum of coefficient[k] * term[k] in ascending k; a sum below the noise floor is exactly 0.
double weightedSum(const PolyVector& coefficients, const PolyVector& terms) {
  double sum = 0.0;
  for (int k = 1; k <= kPolyTermCount; ++k) sum += coefficients[k] * terms[k];
  return std::fabs(sum) < kNegligibleSum ? 0.0 : sum;
}

}  // namespace

void POLTERMS(const double& x, const double& y, PolyVector& terms) {
  int k = 1;
  terms[k] = 1.0;
  for (k = 2; k <= kPolyDegree; ++k) terms[k] = x * terms[k - 1];
  double yPower = 1.0;
  for (int j = 1; j <= kPolyDegree - 1; ++j) {
    yPower = y * yPower;
    terms[k++] = yPower;
    double xPower = 1.0;
    for (int i = 1; i <= kPolyDegree - 1 - j; ++i) {
      xPower = x * xPower;
      terms[k++] = xPower * yPower;
    }
  }
}

double POLEVAL(const double& x, const double& y, const PolyVector& coefficients) {
  PolyVector terms;
  POLTERMS(x, y, terms);
  return weightedSum(coefficients, terms);
}

void SHIFT12(const double& latitude, const double& longitude, double& latShift, double& lonShift) {
  // What POLEVAL computes for each set, with the terms generated once for both.
  PolyVector terms;
  POLTERMS(latitude, longitude, terms);
  const double latitudeSum = weightedSum(kShift12Latitude, terms);
  const double longitudeSum = weightedSum(kShift12Longitude, terms);
  latShift = -latitudeSum;
  lonShift = -longitudeSum;
}

void SHIFT23(const double& latitude, const double& longitude, double& latShift, double& lonShift) {
  const Powers u = powersOf((latitude - kShift23OriginLatitude) * kShift23Scale);
  const Powers v = powersOf((longitude - kShift23OriginLongitude) * kShift23Scale);
  latShift = sparseSum(kShift23Latitude, u, v);
  lonShift = sparseSum(kShift23Longitude, u, v);
}

}  // namespace nuvex
