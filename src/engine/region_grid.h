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

// The area of the polynomial datum shifts (deg, edges included): the extent of the regions. The
// batch path refuses any point outside it whose conversion needs a shift; inside it the chain's
// routes hold as they are (route A between the masks where the grid side is Gauss-Krueger). Its
// edges lie on cell edges of mask A's grid.
inline constexpr double kPolynomialAreaWest = 5.0;                  // deg E
inline constexpr double kPolynomialAreaEast = 15.0 + 20.0 / 60.0;   // deg E (15 deg 20')
inline constexpr double kPolynomialAreaSouth = 47.0;                // deg N
inline constexpr double kPolynomialAreaNorth = 55.0 + 12.0 / 60.0;  // deg N (55 deg 12')

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
