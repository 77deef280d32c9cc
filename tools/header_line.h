// The header line of an input: copied to the output (with the names of appended columns), and
// where --columns names the coordinate columns (or --epoch-column the epochs'), the place of each
// name in it.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "block_converter.h"
#include "block_pipeline.h"
#include "column_selection.h"

namespace nuvex::cli {

// Names of appended columns when none are given: x, y and, for grid output, the zone.
inline constexpr std::string_view kDefaultOutputNames[] = {"x_out", "y_out", "zone_out"};

// Names of converted columns that replace input columns when none are given: what they hold.
inline constexpr std::string_view kGridOutputNames[] = {"easting", "northing", "zone"};
inline constexpr std::string_view kGeographicOutputNames[] = {"longitude", "latitude"};
// The converted height's column, appended or in place of the input's height.
inline constexpr std::string_view kHeightOutputName = "h_out";
inline constexpr std::string_view kHeightName = "height";

// The header keeps as many fields as the rows: appended columns get their names, columns
// replaced by converted values (in place or leading) the names of what they now hold, and the
// zone column that grid output adds to leading columns a name of its own.
struct HeaderSettings {
  std::optional<ColumnSelection> selection;  // resolved against the header when it has names
  Placement placement = Placement::Leading;
  std::vector<std::string> outputNames;  // the names of appended columns
  std::vector<std::string> heldNames;    // x, y[, height][, zone]: the names of replaced columns
  bool height = false;                   // heights are converted: a height column is replaced
  std::optional<ColumnReference> epochColumn{};  // points' epochs: resolved against the header
};

// Reads the header line (lineNumber in its input) for an input of the given context.
HeaderOutcome readHeader(std::string_view line, std::size_t lineNumber, const InputContext& input,
                         const HeaderSettings& settings);

}  // namespace nuvex::cli
