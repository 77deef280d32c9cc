// Points the grid fuzz targets shift through a sub-grid: its corners, its centre and just
// outside, both ways. Whatever the file said, none of them may read outside the grid's nodes.
#pragma once

#include "engine/ntv2_grid.h"

namespace nuvex::fuzz {

inline void shiftAround(const engine::Ntv2Grid& grid, const engine::Ntv2SubGrid& sub) {
  const double outside = sub.edgeTolerance * 2.0;
  const double longitudes[] = {sub.west, sub.east, (sub.west + sub.east) / 2, sub.west - outside,
                               sub.east + outside};
  const double latitudes[] = {sub.south, sub.north, (sub.south + sub.north) / 2,
                              sub.south - outside, sub.north + outside};
  for (double longitude : longitudes) {
    for (double latitude : latitudes) {
      engine::Radians forward{longitude, latitude}, inverse{longitude, latitude};
      grid.shiftForward(forward);
      grid.shiftInverse(inverse);
    }
  }
}

}  // namespace nuvex::fuzz
