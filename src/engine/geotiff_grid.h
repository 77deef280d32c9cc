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
// the GDAL no-data value hold no value.
GeoidGrid readGeoTiffGeoidGrid(const unsigned char* bytes, std::size_t size,
                               const std::string& origin);
GeoidGrid readGeoTiffGeoidGridFile(const std::string& path);

}  // namespace nuvex::engine
