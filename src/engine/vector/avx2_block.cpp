// The AVX2 block (four points at once). Not written yet: reports itself unavailable, so the
// batch path stays scalar.
#include "engine/batch.h"

namespace nuvex::engine {

bool avx2BlockSupported() {
  return false;
}

std::size_t convertBlockAvx2(const ConversionPlan&, const double*, const double*, const int*,
                             double*, double*, int*, int*) {
  return 0;
}

}  // namespace nuvex::engine
