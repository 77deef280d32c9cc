// Highway's vector routines behind the engine's own declaration: the vector math where
// SLEEF is not installed, as in the Windows build. Highway is used header-only: this file alone is
// compiled for AVX2 as a whole, so that Highway's static target is AVX2 and nothing of its run-time
// dispatch or its library is needed. It defines nothing else, so that no code built for AVX2 can
// stand in for code the scalar path runs.
#include <hwy/highway.h>
//
#include <hwy/contrib/math/math-inl.h>

#include "engine/vector/vector_math.h"

static_assert(HWY_TARGET == HWY_AVX2, "vector_math_highway.cpp must be compiled for AVX2");

namespace nuvex::engine {

namespace hn = hwy::HWY_NAMESPACE;

SinCos8 sinCos8(__m256d lo, __m256d hi) {
  const hn::Full256<double> d;
  const hn::Vec256<double> vLo{lo}, vHi{hi};
  return {hn::Sin(d, vLo).raw, hn::Sin(d, vHi).raw, hn::Cos(d, vLo).raw, hn::Cos(d, vHi).raw};
}

Vector8 atan8(__m256d lo, __m256d hi) {
  const hn::Full256<double> d;
  return {hn::Atan(d, hn::Vec256<double>{lo}).raw, hn::Atan(d, hn::Vec256<double>{hi}).raw};
}

Vector8 exp8(__m256d lo, __m256d hi) {
  const hn::Full256<double> d;
  return {hn::Exp(d, hn::Vec256<double>{lo}).raw, hn::Exp(d, hn::Vec256<double>{hi}).raw};
}

Vector8 log1p8(__m256d lo, __m256d hi) {
  const hn::Full256<double> d;
  return {hn::Log1p(d, hn::Vec256<double>{lo}).raw, hn::Log1p(d, hn::Vec256<double>{hi}).raw};
}

}  // namespace nuvex::engine
