// The vector routines taken from outside: sine and cosine, arc tangent, exponential and
// log(1 + x) of eight doubles at once, from SLEEF (vector_math_sleef.cpp) or Highway
// (vector_math_highway.cpp), whichever the build found.
#pragma once

#include <immintrin.h>

namespace nuvex::engine {

// Eight lanes as two AVX2 registers of four, the layout of the AVX2 block.
struct SinCos8 {
  __m256d sinLo, sinHi;
  __m256d cosLo, cosHi;
};
struct Vector8 {
  __m256d lo, hi;
};

// Sine and cosine of eight angles (rad), to within 3.5 units in the last place (SLEEF's u35
// variant; Highway's bound is 3 for |angle| < 39000): a few 1e-16 relative, far below a
// micrometre on the ground. Only for processors with AVX2, FMA, BMI1 and BMI2.
__attribute__((target("avx2,fma"))) SinCos8 sinCos8(__m256d lo, __m256d hi);

// Arc tangent (rad), e^x and log(1 + x) of eight values, to within 1 unit in the last place
// (SLEEF's u10 variants; Highway's bounds are 3 and 4): the exact transverse Mercator's
// conformal coordinates.
__attribute__((target("avx2,fma"))) Vector8 atan8(__m256d lo, __m256d hi);
__attribute__((target("avx2,fma"))) Vector8 exp8(__m256d lo, __m256d hi);
__attribute__((target("avx2,fma"))) Vector8 log1p8(__m256d lo, __m256d hi);

}  // namespace nuvex::engine
