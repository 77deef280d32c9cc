// The one vector routine taken from outside: sine and cosine of four angles at once.
#pragma once

#include <immintrin.h>

namespace nuvex::engine {

struct SinCos4 {
  __m256d sin;
  __m256d cos;
};

// Sine and cosine of four angles (rad), to within one unit in the last place (SLEEF's u10
// variant). Only for processors with AVX2 and FMA.
__attribute__((target("avx2,fma"))) SinCos4 sinCos4(__m256d angle);

}  // namespace nuvex::engine
