// Sizes of the complete bivariate polynomial behind SHIFT12.
#pragma once

#include "nuvex/engine.h"

namespace nuvex::engine {

// Module degree n: powers 0..n-1 of each variable, complete up to total degree n-1.
inline constexpr int kPolyDegree = 5;
inline constexpr int kPolyTermCount = kPolyDegree * (kPolyDegree + 1) / 2;
static_assert(kPolyTermCount <= POLY_CAPACITY, "the term vector must hold every term");

}  // namespace nuvex::engine
