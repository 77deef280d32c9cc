// The one place where a horizontal shift grid file is opened: its format is chosen by its
// content (a TIFF file's first bytes), not by its name, so that every interface takes NTv2 and
// GeoTIFF grids alike.
#pragma once

#include <cstddef>
#include <memory>
#include <string>

#include "engine/ntv2_grid.h"

namespace nuvex::engine {

// Whether the bytes begin as a TIFF file does: "II*\0" (little-endian) or "MM\0*" (big-endian).
bool looksLikeTiff(const unsigned char* bytes, std::size_t size);

// Reads the grid at path: a GeoTIFF horizontal offset grid when the file begins as a TIFF file,
// else an NTv2 file (whose reader refuses what is neither). Throws std::invalid_argument naming
// the path and the fault.
std::shared_ptr<const Ntv2Grid> readShiftGridFile(const std::string& path);

}  // namespace nuvex::engine
