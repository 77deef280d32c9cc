// The vector blocks in spatial order. A block runs every branch that one of its lanes takes: both
// series where its points lie on both sides of the projection band's edge, both routes where
// they fall in both regions of the datum chain. Points in the order a register keeps them
// (scattered over the whole area) make nearly every block such a mixture. Brought into the
// order of a coarse lattice over their input coordinates first, neighbours share the blocks, and
// most blocks take one branch. The results are those of the input order, but for the last bits
// where a block's series take their short forms (which they do when all of its lanes allow them).
#pragma once

#include <cstddef>

#include "engine/point_conversion.h"

namespace nuvex::engine {

// Points of one chunk: the first decides whether later chunks are ordered, so calls shorter than
// two chunks run in their own order.
inline constexpr std::size_t kOrderedChunkPoints = 2048;

// convertVectorBlocks with the same arrays, chunk by chunk; once a chunk has shown that most of
// its blocks mix branches, the later chunks are converted in spatial order.
std::size_t convertVectorBlocksInSpatialOrder(const ConversionPlan& plan, std::size_t blocks,
                                              const double* x, const double* y, const int* zone,
                                              double* xOut, double* yOut, int* zoneOut,
                                              int* status);

// Test hook (not public): how many chunks the calling thread has converted in spatial order.
std::size_t orderedChunksForTesting();

}  // namespace nuvex::engine
