// SLEEF's AVX2 sine and cosine behind the engine's own declaration: the vector math where SLEEF
// is installed (Debian packages it for Linux only). This file alone is compiled for AVX2 (SLEEF's
// header offers its AVX2 routines only then); it defines nothing else, so that no code built for
// AVX2 can stand in for code the scalar path runs.
#include <sleef.h>

#include "engine/vector/vector_sincos.h"

namespace nuvex::engine {

SinCos8 sinCos8(__m256d lo, __m256d hi) {
  const Sleef___m256d_2 ofLo = Sleef_sincosd4_u35avx2(lo), ofHi = Sleef_sincosd4_u35avx2(hi);
  return {ofLo.x, ofHi.x, ofLo.y, ofHi.y};
}

}  // namespace nuvex::engine
