// The GeoTIFF readers of a build without libtiff (the Windows cross build): each refuses the
// file, saying why and what serves instead.
#include <stdexcept>
#include <string>

#include "engine/geotiff_grid.h"

namespace nuvex::engine {
namespace {

[[noreturn]] void refuse(const std::string& origin) {
  throw std::invalid_argument("GeoTIFF grid " + origin +
                              ": this build of nuvex reads no GeoTIFF grids (it was built without "
                              "libtiff); give the grid as an NTv2 file (.gsb)");
}

}  // namespace

bool geoTiffGridsSupported() {
  return false;
}

Ntv2Grid readGeoTiffShiftGrid(const unsigned char*, std::size_t, const std::string& origin) {
  refuse(origin);
}
Ntv2Grid readGeoTiffShiftGridFile(const std::string& path) {
  refuse(path);
}
GeoidGrid readGeoTiffGeoidGrid(const unsigned char*, std::size_t, const std::string& origin) {
  refuse(origin);
}
GeoidGrid readGeoTiffGeoidGridFile(const std::string& path) {
  refuse(path);
}
std::shared_ptr<const GeoidGrid> builtInGeoid() {
  throw std::invalid_argument(
      "this build of nuvex converts no heights: it reads no GeoTIFF grids (it was built without "
      "libtiff), and the quasigeoid GCG2016 is one");
}

}  // namespace nuvex::engine
