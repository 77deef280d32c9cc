// SLEEF's AVX2 sine and cosine behind the engine's own declaration. This file alone is compiled
// for AVX2 (SLEEF's header offers its AVX2 routines only then); it defines nothing else, so that
// no code built for AVX2 can stand in for code the scalar path runs.
#include "engine/vector/vector_sincos.h"

#include <sleef.h>

namespace nuvex::engine {

__attribute__((target("avx2,fma"))) SinCos4 sinCos4(__m256d angle) {
  const Sleef___m256d_2 result = Sleef_sincosd4_u35avx2(angle);
  return {result.x, result.y};
}

}  // namespace nuvex::engine
