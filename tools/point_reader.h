// Reading one input line of the converter: a point in its columns, or a line that passes through
// unchanged. Input text is untrusted: every field is checked, and a line that cannot be read says
// why instead of producing a point.
//
// Columns, by default in this order:
//   geographic input   longitude latitude [height] [extra ...]            (decimal degrees or DMS)
//   grid input         easting northing [height] [zone] [extra ...]       (metres)
// The zone column is read for UTM grids (systems 2 and 3) when no zone is given on the command
// line; Gauss-Krueger eastings (systems 1 and 4) carry their zone in their millions. The height
// is a coordinate only where heights are converted; otherwise it is an extra like any other.
// With chosen columns (--columns) the coordinates are taken from anywhere in the line. Everything
// else is carried to the output as written; an epoch column (--epoch-column) is read from its
// place and carried so too.
//
// Without a delimiter given, the file's first line decides it (guessDelimiter) for every line:
// comma-separated (fields may be padded with blanks and quoted) or separated by blanks or tabs.
// Blank lines and lines whose first non-blank character is '#' pass through.
#pragma once

#include <array>
#include <limits>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "column_selection.h"
#include "csv_fields.h"
#include "number_text.h"
#include "nuvex/systems.h"

namespace nuvex::cli {

// What the columns of the input hold.
struct InputColumns {
  CoordinateType type;
  int system;                    // the input's system code, 1 to 5
  std::optional<int> fixedZone;  // zone of every UTM grid point, given on the command line
  // The zone a projected EPSG code of the input is: every point must be in it (Gauss-Krueger
  // eastings by their millions, a chosen zone column by its value).
  std::optional<int> namedZone{};
  bool latitudeFirst = false;  // geographic columns are latitude, longitude
  bool height = false;         // a height column is read (heights are converted)
};

// Where the coordinates are in a line and how the line is written.
struct LineLayout {
  InputColumns columns;
  std::optional<ColumnIndices> picked;  // chosen columns; none: the leading columns in order
  char delimiter = 0;                   // 0: detected per line
  char decimalMark = kDecimalPoint;
  // The column of each point's epoch (0-based, counted as --columns counts), where points bring
  // their own; none: no epoch is read.
  std::optional<std::size_t> epochColumn{};
};

// Why the epoch column cannot be the one chosen: it is one of the coordinate columns the layout
// reads; empty when it is a column of its own.
std::string epochColumnProblem(const LineLayout& layout);

// A point as read: x is the easting or the longitude, y the northing or the latitude. zone is the
// zone of a UTM grid point (kZoneFromEasting when its easting carries it), 0 otherwise. z is the
// height (m) where a height column is read, 0 otherwise; a number is taken as written, finite or
// not: what heights the library converts is the library's to say.
// epoch is the point's own epoch (decimal year) where an epoch column is read, NaN otherwise;
// whether it lies within the years the library takes is the library's to say.
struct InputPoint {
  double x;
  double y;
  int zone;
  double z = 0.0;
  double epoch = std::numeric_limits<double>::quiet_NaN();
};

enum class LineKind { Point, PassThrough, Malformed };

struct ParsedLine {
  LineKind kind = LineKind::PassThrough;
  InputPoint point{};
  char separator = kBlankSeparator;
  char gap = ' ';           // blank-separated lines: what follows the first field, a blank or a tab
  std::string_view extras;  // leading-columns layout: text after the coordinates, trimmed
  // Chosen columns: where the coordinate fields are in the line (zone and height: when a column
  // is chosen).
  FieldSpan xField{};
  FieldSpan yField{};
  std::optional<FieldSpan> zoneField;
  std::optional<FieldSpan> heightField;
  std::string problem;  // why a Malformed line could not be read
  // The library's reason where it has one (coordinates not finite or out of range, a zone the
  // system does not have); None for a line that is no point as written.
  RangeProblem reason = RangeProblem::None;
};

// Whether grid points of this input need a zone column.
bool readsZoneColumn(const InputColumns& columns);

// Buffers reused from line to line.
struct LineScratch {
  std::vector<FieldSpan> fields;
  std::string unquoted;
  std::array<std::string, 4> owned;    // values of X, Y, H and ZONE unquoted apart from the line
  std::vector<FieldSpan> epochFields;  // the line split up to its epoch column
  std::string epochText;
};

// Reads one line (without its line end; a trailing carriage return is ignored). Views in the
// result point into text.
ParsedLine parseLine(std::string_view text, const LineLayout& layout, LineScratch& scratch);
// The same with the leading-columns layout (the converter's default).
ParsedLine parseLine(std::string_view text, const InputColumns& columns);

// Reads an epoch as parseEpoch of nuvex/systems.h does (a decimal year or a date, "2026.9" or
// "2026-11-24"); nothing for text that is neither, or a year too long for a double.
std::optional<double> readEpoch(std::string_view text);

// Whether the line passes through unchanged whatever the layout (blank, or a comment).
bool isPassThrough(std::string_view text);

// The delimiter of a file whose first line that is not blank or a comment (its header, or else
// its first data line) is this one: a comma when the first field is followed by one (an angle
// in blank-separated parts led by a hemisphere letter, "E10 15 0,N50 30 15.25", counts as one
// field), else blanks. Every line of the file is then split by it.
char guessDelimiter(std::string_view line);

}  // namespace nuvex::cli
