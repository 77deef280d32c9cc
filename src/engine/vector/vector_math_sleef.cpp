// SLEEF's AVX2 routines behind the engine's own declaration: the vector math where SLEEF
// is installed (Debian packages it for Linux only). This file alone is compiled for AVX2 (SLEEF's
// header offers its AVX2 routines only then); it defines nothing else, so that no code built for
// AVX2 can stand in for code the scalar path runs.
#include <sleef.h>

#include "engine/vector/vector_math.h"

namespace nuvex::engine {

SinCos8 sinCos8(__m256d lo, __m256d hi) {
  const Sleef___m256d_2 ofLo = Sleef_sincosd4_u35avx2(lo), ofHi = Sleef_sincosd4_u35avx2(hi);
  return {ofLo.x, ofHi.x, ofLo.y, ofHi.y};
}

Vector8 atan8(__m256d lo, __m256d hi) {
  return {Sleef_atand4_u10avx2(lo), Sleef_atand4_u10avx2(hi)};
}

Vector8 exp8(__m256d lo, __m256d hi) {
  return {Sleef_expd4_u10avx2(lo), Sleef_expd4_u10avx2(hi)};
}

Vector8 log1p8(__m256d lo, __m256d hi) {
  return {Sleef_log1pd4_u10avx2(lo), Sleef_log1pd4_u10avx2(hi)};
}

}  // namespace nuvex::engine
