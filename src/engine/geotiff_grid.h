// Grids in the GeoTIFF layout of geodetic grids (one image per sub-grid, the bands named in the
// GDAL metadata tag): horizontal offset grids, read into the NTv2 model (engine/ntv2_grid.h) so
// that the lookup and the shift are the NTv2 grid's, and geoid undulation grids
// (engine/geoid_grid.h). Georeferenced by ModelTiepoint and ModelPixelScale, pixel-is-point or
// pixel-is-area (GTRasterTypeGeoKey); striped or tiled, any compression libtiff decodes, 32- or
// 64-bit floating point samples; sub-grids nested by their extents.
//
// Every reader throws std::invalid_argument naming the origin and the fault (text taken from the
// file shown through printableText) for a file that is truncated, malformed or not a grid of the
// kind asked for. Built without libtiff (the Windows cross build), every reader refuses with a
// message that says so.
#pragma once

#include <cstddef>
#include <memory>
#include <string>

#include "engine/geoid_grid.h"
#include "engine/ntv2_grid.h"

namespace nuvex::engine {

// Whether this build reads GeoTIFF grids (it was built with libtiff).
bool geoTiffGridsSupported();

// A HORIZONTAL_OFFSET grid (bands latitude_offset and longitude_offset, arc seconds or degrees,
// longitudes positive east or west as positive_value says). Its datums are the source CRS
// (source_crs_epsg_code, else GeodeticCRSGeoKey) and target_crs_epsg_code, where the file names
// them (see Ntv2Datums).
Ntv2Grid readGeoTiffShiftGrid(const unsigned char* bytes, std::size_t size,
                              const std::string& origin);
Ntv2Grid readGeoTiffShiftGridFile(const std::string& path);

// A VERTICAL_OFFSET_GEOGRAPHIC_TO_VERTICAL grid (band geoid_undulation, metres); nodes holding
// the GDAL no-data value hold no value. Where the file names its CRSs, they must be a geographic
// CRS on GRS80 (ETRS89) and DHHN2016 (EPSG:7837).
GeoidGrid readGeoTiffGeoidGrid(const unsigned char* bytes, std::size_t size,
                               const std::string& origin);
GeoidGrid readGeoTiffGeoidGridFile(const std::string& path);

// The built-in quasigeoid GCG2016 (data/de_bkg_gcg2016.tif, built into the library), read once
// per process. Throws std::invalid_argument in a build without GeoTIFF grids.
std::shared_ptr<const GeoidGrid> builtInGeoid();

}  // namespace nuvex::engine
