// Fuzzes the GeoTIFF grid readers with arbitrary files: a file is either refused with
// std::invalid_argument or read, as a horizontal offset grid and as a geoid grid, and then every
// sub-grid shifts points (or gives undulations) at its corners, its centre and just outside, both
// ways. Any read outside the bytes is a sanitizer report. A grid the official datum shift takes
// also converts through OfficialDatum.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <stdexcept>

#include "engine/geotiff_grid.h"
#include "engine/official_datum.h"
#include "grid_probes.h"

namespace {

using nuvex::engine::GeoidGrid;
using nuvex::engine::GeoidSubGrid;
using nuvex::engine::Ntv2Grid;
using nuvex::engine::Ntv2SubGrid;
using nuvex::engine::Radians;

using nuvex::fuzz::shiftAround;

void undulationsAround(const GeoidGrid& grid, const GeoidSubGrid& sub) {
  const double outside = sub.edgeTolerance * 2.0;
  for (double longitude :
       {sub.west, sub.east, (sub.west + sub.east) / 2, sub.west - outside, sub.east + outside}) {
    for (double latitude : {sub.south, sub.north, (sub.south + sub.north) / 2, sub.south - outside,
                            sub.north + outside}) {
      double metres = 0.0;
      grid.undulationAt(latitude, longitude, metres);
    }
  }
}

void asShiftGrid(const std::uint8_t* data, std::size_t size) {
  std::shared_ptr<const Ntv2Grid> grid;
  try {
    grid = std::make_shared<const Ntv2Grid>(
        nuvex::engine::readGeoTiffShiftGrid(data, size, "fuzz input"));
  } catch (const std::invalid_argument&) {
    return;
  }
  for (const Ntv2SubGrid& sub : grid->subGrids()) shiftAround(*grid, sub);
  try {
    const nuvex::engine::OfficialDatum datum(1, 3, grid);
    for (const Ntv2SubGrid& sub : grid->subGrids()) {
      double latitude = (sub.south + sub.north) / 2 * 57.29577951308232;
      double longitude = (sub.west + sub.east) / 2 * 57.29577951308232;
      datum.shift(latitude, longitude);
    }
  } catch (const std::invalid_argument&) {
    // not a grid for the official shift
  }
}

void asGeoidGrid(const std::uint8_t* data, std::size_t size) {
  try {
    const GeoidGrid grid = nuvex::engine::readGeoTiffGeoidGrid(data, size, "fuzz input");
    for (const GeoidSubGrid& sub : grid.subGrids()) undulationsAround(grid, sub);
  } catch (const std::invalid_argument&) {
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  asShiftGrid(data, size);
  asGeoidGrid(data, size);
  return 0;
}
