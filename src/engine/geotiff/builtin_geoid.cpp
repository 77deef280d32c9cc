// The quasigeoid GCG2016 built into the library: its GeoTIFF bytes as a generated source (see
// src/CMakeLists.txt), read on first use.
#include "engine/embedded_grid.h"
#include "engine/geotiff_grid.h"

namespace nuvex::engine {

std::shared_ptr<const GeoidGrid> builtInGeoid() {
  static const std::shared_ptr<const GeoidGrid> geoid = std::make_shared<const GeoidGrid>(
      readGeoTiffGeoidGrid(kGcg2016Bytes, kGcg2016Size, "de_bkg_gcg2016.tif (built in)"));
  return geoid;
}

}  // namespace nuvex::engine
