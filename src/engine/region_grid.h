// The cell grid of the two region masks: cell size and the masks' edges, which the lookups and the
// vector path's edge guard read from here, and the masks' inside cells as bits for the vector
// path's lookups.
#pragma once

#include <cstdint>

namespace nuvex::engine {

inline constexpr double kColumnsPerDegree = 3.0;  // cells are 20' of longitude wide
inline constexpr double kRowsPerDegree = 5.0;     // and 12' of latitude high

inline constexpr double kRegionAWestEdge = 5.0;               // deg E, column 1 of mask A
inline constexpr double kRegionASouthEdge = 47.0;             // deg N, row 1 of mask A
inline constexpr double kRegionBWestEdge = 9.66666666666667;  // deg E (9 deg 40'), as stored
inline constexpr double kRegionBSouthEdge = 50.0;             // deg N

// A mask's inside cells as one word of bits per row, for lookups of many points at once: bit c of
// rowBits[r] is set when the cell with column offset c and row offset r (from the west and south
// edges, whole cells) is inside. Derived from the masks the lookups read.
struct RegionBits {
  double westEdge;   // deg
  double southEdge;  // deg
  int columns;
  int rows;
  const std::uint32_t* rowBits;
};

const RegionBits& regionBitsA();
const RegionBits& regionBitsB();

}  // namespace nuvex::engine
