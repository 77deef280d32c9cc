// The one vector routine taken from outside: sine and cosine of eight angles at once, from SLEEF
// (vector_sincos_sleef.cpp) or Highway (vector_sincos_highway.cpp), whichever the build found.
#pragma once

#include <immintrin.h>

namespace nuvex::engine {

// Eight lanes as two AVX2 registers of four, the layout of the AVX2 block.
struct SinCos8 {
  __m256d sinLo, sinHi;
  __m256d cosLo, cosHi;
};

// Sine and cosine of eight angles (rad), to within 3.5 units in the last place (SLEEF's u35
// variant; Highway's bound is 3 for |angle| < 39000): a few 1e-16 relative, far below a
// micrometre on the ground. Only for processors with AVX2, FMA, BMI1 and BMI2.
__attribute__((target("avx2,fma"))) SinCos8 sinCos8(__m256d lo, __m256d hi);

}  // namespace nuvex::engine
