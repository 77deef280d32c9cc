// Fuzzes the NTv2 reader with arbitrary files: a file is either refused with
// std::invalid_argument or read, and then every sub-grid shifts points at its corners, its centre
// and just outside, both ways. Any read outside the bytes is a sanitizer report.
#include <cstddef>
#include <cstdint>
#include <stdexcept>

#include "engine/ntv2_grid.h"

namespace {

void shiftAround(const nuvex::engine::Ntv2Grid& grid, const nuvex::engine::Ntv2SubGrid& sub) {
  const double outside = sub.edgeTolerance * 2.0;
  const double longitudes[] = {sub.west, sub.east, (sub.west + sub.east) / 2, sub.west - outside,
                               sub.east + outside};
  const double latitudes[] = {sub.south, sub.north, (sub.south + sub.north) / 2,
                              sub.south - outside, sub.north + outside};
  for (double longitude : longitudes) {
    for (double latitude : latitudes) {
      nuvex::engine::Radians forward{longitude, latitude}, inverse{longitude, latitude};
      grid.shiftForward(forward);
      grid.shiftInverse(inverse);
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  try {
    const nuvex::engine::Ntv2Grid grid(data, size, "fuzz input");
    for (const nuvex::engine::Ntv2SubGrid& sub : grid.subGrids()) shiftAround(grid, sub);
  } catch (const std::invalid_argument&) {
  }
  return 0;
}
