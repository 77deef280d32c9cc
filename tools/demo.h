// The converter's demonstration: sample points in Germany from WGS84 longitude and latitude to
// the grid of every system and back, as a table.
#pragma once

#include <iosfwd>

#include "block_converter.h"
#include "number_text.h"

namespace nuvex::cli {

// Writes the table; returns false when a sample point could not be converted.
bool printDemo(std::ostream& output, const OutputPrecision& precision);

}  // namespace nuvex::cli
