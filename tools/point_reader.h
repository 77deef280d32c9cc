// Reading one input line of the converter: a point in whitespace- or comma-separated columns,
// or a line that passes through unchanged. Input text is untrusted: every field is checked, and a
// line that cannot be read says why instead of producing a point.
//
// Columns, in order:
//   geographic input   longitude latitude [extra ...]            (decimal degrees)
//   grid input         easting northing [zone] [extra ...]       (metres)
// The zone column is read for UTM grids (systems 2 and 3) when no zone is given on the command
// line; Gauss-Krueger eastings (systems 1 and 4) carry their zone in their millions. Everything
// after the coordinate columns is carried to the output as written.
//
// A line whose first field is followed by a comma is comma-separated (fields may be padded with
// blanks); any other line is separated by blanks or tabs. Blank lines and lines whose first
// non-blank character is '#' pass through.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "coordinate_systems.h"

namespace nuvex::cli {

// What the columns of the input hold.
struct InputColumns {
  CoordinateType type;
  int system;                    // the input's system code, 1 to 4
  std::optional<int> fixedZone;  // zone of every UTM grid point, given on the command line
};

// A point as read: x is the easting or the longitude, y the northing or the latitude. zone is the
// zone of a UTM grid point (kZoneFromEasting when its easting carries it), 0 otherwise.
struct InputPoint {
  double x;
  double y;
  int zone;
};

enum class LineKind { Point, PassThrough, Malformed };

inline constexpr char kBlankSeparator = ' ';
inline constexpr char kCommaSeparator = ',';

struct ParsedLine {
  LineKind kind = LineKind::PassThrough;
  InputPoint point{};
  std::string_view extras;           // text after the coordinate columns, trimmed; may be empty
  char separator = kBlankSeparator;  // kCommaSeparator for a comma-separated line
  std::string problem;               // why a Malformed line could not be read
};

// Whether grid points of this input need a zone column.
bool readsZoneColumn(const InputColumns& columns);

// Reads one line (without its line end; a trailing carriage return is ignored). The result's
// extras view points into text.
ParsedLine parseLine(std::string_view text, const InputColumns& columns);

}  // namespace nuvex::cli
