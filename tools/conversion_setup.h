// The conversion a command of the converter asks for, set up from its options as the command line
// gives them: systems, zones and datum; the input's columns and layout; how results and headers
// are written. The converter and the converter page both set up their conversions here, so that
// a page's choices mean what the same options mean on the command line.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "column_selection.h"
#include "converter.h"
#include "header_line.h"
#include "options.h"
#include "point_reader.h"

namespace nuvex::cli {

enum class ConversionCommand { ToLL, FromLL, Convert };

struct ConversionSetup {
  ConversionSettings settings;
  InputColumns columns;
  OutputStyle style;
  LineLayout layout;  // names in --columns are resolved per input, at its header
  HeaderSettings header;
  bool hasHeader = false;
  std::vector<std::string> warnings;  // lines for standard error, before any input is read
};

// A combination of options that cannot be meant is a CLI::ValidationError with its reason.
ConversionSetup setUpConversion(ConversionCommand command, const Options& options);

// The converter of a conversion set up so; grid and geoid files are read here, once. What the
// library refuses (a file that cannot be read, heights it cannot convert) is a
// CLI::ValidationError with the library's reason, led by the option it is about.
BlockConverter makeBlockConverter(const ConversionSetup& setup, const Options& options);

}  // namespace nuvex::cli
