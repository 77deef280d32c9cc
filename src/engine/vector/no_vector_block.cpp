// Built when the vector library is not available: there is no vector path, only the scalar one.
#include <cstdlib>

#include "engine/batch.h"

namespace nuvex::engine {

bool vectorBlockSupported() {
  return false;
}

std::size_t convertVectorBlocks(const ConversionPlan&, std::size_t, const double*, const double*,
                                const int*, double*, double*, int*, int*, std::size_t*) {
  std::abort();  // unreachable: convertPoints takes only available paths
}

std::size_t convertVectorBlocksInFull(const ConversionPlan&, std::size_t, const double*,
                                      const double*, const double*, const double*, const int*,
                                      double*, double*, double*, int*, int*) {
  std::abort();  // unreachable as above
}

std::size_t scalarLanesOfBlocksForTesting() {
  return 0;
}

}  // namespace nuvex::engine
