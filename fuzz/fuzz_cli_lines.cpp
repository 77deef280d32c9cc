// Fuzzes the input side of the nuvex command line: untrusted text lines through the field splitter
// (CSV quoting), the degree-minute-second reader, the column selection, the line reader, and the
// whole block conversion over the batch transformation with the layout options.
//
// Input: byte 0 chooses the columns (bit 0: grid or geographic input, bits 1-2: the system, bit 3:
// a zone given on the command line, bits 4-7: that zone, or for geographic input bits 4-5 the
// target grid's system); byte 1 the layout (bits 0-1: delimiter detected, ',', ';' with decimal
// comma, tab; bits 2-3: leading columns, chosen columns in place, appended; bit 4: a header line;
// bits 5-7: DMS output decimals, 7 for none); byte 2 the chosen columns (bits 0-1 X, 2-3 Y, 4-5
// ZONE, positions 1-4; bit 6: a height column after them, bit 7: an epoch in the fifth column, both
// for the line reader only). The rest is the text.
// The lines take every form the reader knows: angles in blank-separated parts grouped by their
// hemisphere letters, Latin-1 degree signs, UTM zones with their band, prefixed eastings without
// a zone column, a delimiter decided by the first line for the whole input.
// Checked: every line is read as a point, a pass-through line or a malformed line with a reason;
// the delimiter guessed from a line is a blank or a comma;
// a point is finite and within its ranges, and its coordinates written with a fixed number of
// decimals give exactly std::to_chars's digits; field spans lie in order within the line; a field
// written with appendField reads back as itself; an angle read from DMS and written with four
// decimals of seconds reads back within 0.0001"; the conversion writes exactly one output line for
// every input line.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <sstream>
#include <string>
#include <string_view>

// The converter's sources are compiled into the target itself: they are not part of the library.
#include "../tools/block_converter.cpp"
#include "../tools/block_pipeline.cpp"
#include "../tools/column_selection.cpp"
#include "../tools/converter.cpp"
#include "../tools/csv_fields.cpp"
#include "../tools/dms.cpp"
#include "../tools/header_line.cpp"
#include "../tools/line_tally.cpp"
#include "../tools/number_text.cpp"
#include "../tools/point_reader.cpp"
#include "../tools/progress.cpp"
#include "../tools/standard_error.cpp"

namespace {

using namespace nuvex;
using namespace nuvex::cli;

constexpr std::size_t kOptionBytes = 3;
constexpr unsigned kGridBit = 0x01;
constexpr unsigned kSystemShift = 1;
constexpr unsigned kSystemMask = 0x03;
constexpr unsigned kFixedZoneBit = 0x08;
constexpr unsigned kZoneShift = 4;
constexpr int kZoneStep = 4;  // the 16 zone selector values spread over the UTM zones 0 to 60
constexpr char kDelimiters[] = {0, kCommaSeparator, kSemicolonSeparator, kTabSeparator};
constexpr unsigned kHeaderBit = 0x10;
constexpr unsigned kDmsShift = 5;
constexpr unsigned kNoDmsSelector = 7;
constexpr unsigned kHeightBit = 0x40;
constexpr unsigned kEpochBit = 0x80;
constexpr std::size_t kEpochColumn = 4;
constexpr double kArcSecond = 1.0 / 3600.0;                   // deg
constexpr double kDmsRoundTrip = 1.0e-4 * kArcSecond * 1.01;  // four decimals of seconds

void require(bool condition) {
  if (!condition) __builtin_trap();
}

InputColumns columnsFor(std::uint8_t selector) {
  InputColumns columns{};
  columns.type = (selector & kGridBit) != 0 ? CoordinateType::Grid : CoordinateType::Geographic;
  columns.system = kFirstSystem + static_cast<int>((selector >> kSystemShift) & kSystemMask);
  if ((selector & kFixedZoneBit) != 0 && columns.type == CoordinateType::Grid &&
      !isGaussKrueger(columns.system)) {
    columns.fixedZone = static_cast<int>(selector >> kZoneShift) * kZoneStep;
  }
  if (columns.type == CoordinateType::Geographic) columns.system = kWgs84System;
  return columns;
}

ColumnIndices chosenColumns(std::uint8_t selector) {
  ColumnIndices indices{selector & 3u, (selector >> 2) & 3u, (selector >> 4) & 3u};
  if (indices.y == indices.x) indices.y = (indices.x + 1) % 4;
  while (*indices.zone == indices.x || *indices.zone == indices.y)
    indices.zone = (*indices.zone + 1) % 4;
  return indices;
}

void checkFields(std::string_view line, char separator) {
  std::vector<FieldSpan> fields;
  splitFields(line, separator, std::string_view::npos, fields);
  std::uint32_t previous = 0;
  std::string scratch;
  for (const FieldSpan& field : fields) {
    require(field.begin >= previous && field.begin <= field.end && field.end <= line.size());
    previous = field.end;
    const std::string_view value = fieldValue(field.in(line), scratch);
    if (separator == kBlankSeparator || value.find_first_of("\r\n") != std::string_view::npos) {
      continue;
    }
    // Written back as a field, the value reads as itself (padding aside).
    std::string written;
    appendField(written, value, separator);
    std::vector<FieldSpan> again;
    splitFields(written, separator, std::string_view::npos, again);
    std::string scratchAgain;
    require(again.size() == 1);
    require(fieldValue(again[0].in(written), scratchAgain) == trimBlanks(value) ||
            trimBlanks(value) != value);
  }
}

void checkAngle(std::string_view text) {
  for (const Axis axis : {Axis::Longitude, Axis::Latitude}) {
    const DmsReading reading = readSexagesimal(text, axis, kDecimalPoint);
    require((reading.outcome == DmsOutcome::Malformed) == !reading.problem.empty());
    if (reading.outcome != DmsOutcome::Read) continue;
    require(std::isfinite(reading.degrees));
    if (std::fabs(reading.degrees) > kHighestLongitude) continue;
    std::string written;
    appendDms(written, reading.degrees, axis, 4, kDecimalPoint);
    const DmsReading back = readSexagesimal(written, axis, kDecimalPoint);
    require(back.outcome == DmsOutcome::Read);
    require(std::fabs(back.degrees - reading.degrees) <= kDmsRoundTrip);
  }
}

// std::to_chars's fixed text, without the sign of a value that rounds to zero: what appendFixed
// must write, by whatever path.
std::string referenceFixed(double value, int decimals) {
  char text[400];
  const auto end =
      std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, decimals).ptr;
  std::string result(text, end);
  if (result.size() > 1 && result[0] == '-' &&
      result.find_first_not_of("0.", 1) == std::string::npos) {
    result.erase(0, 1);
  }
  return result;
}

void checkFixed(double value) {
  for (const int decimals : {0, 3, 8, 12}) {
    std::string text;
    appendFixed(text, value, decimals);
    require(text == referenceFixed(value, decimals));
  }
}

void checkLine(std::string_view line, const LineLayout& layout) {
  LineScratch scratch;
  const ParsedLine parsed = parseLine(line, layout, scratch);
  // A reason exactly for the malformed lines.
  require(parsed.problem.empty() == (parsed.kind != LineKind::Malformed));
  const char guessed = guessDelimiter(line);
  require(guessed == kBlankSeparator || guessed == kCommaSeparator);
  checkFields(line, layout.delimiter != 0 ? layout.delimiter : guessed);
  checkAngle(trimBlanks(line));
  std::string problem;
  (void)parseColumnSelection(line, problem);
  if (parsed.kind != LineKind::Point) return;
  const InputPoint& p = parsed.point;
  const InputColumns& columns = layout.columns;
  require(std::isfinite(p.x) && std::isfinite(p.y));
  // A height is read only from its column (its value, NaN too, is the library's to judge); an
  // epoch field that is read is a number.
  require(columns.height || p.z == 0.0);
  require(!layout.epochColumn || std::isfinite(p.epoch));
  checkFixed(p.x);
  checkFixed(p.y);
  if (columns.type == CoordinateType::Geographic) {
    require(p.x >= kLowestLongitude && p.x <= kHighestLongitude && p.y >= kLowestLatitude &&
            p.y <= kHighestLatitude);
  } else if (!isGaussKrueger(columns.system)) {
    require(kUtmInputZoneRange.contains(p.zone));
  }
  // The extras are a trimmed part of the line itself.
  const std::string_view extras = parsed.extras;
  require(extras.empty() || (extras.data() >= line.data() &&
                             extras.data() + extras.size() <= line.data() + line.size() &&
                             extras.front() != ' ' && extras.back() != ' '));
}

LineLayout withEpoch(LineLayout layout) {
  layout.epochColumn = kEpochColumn;
  return layout;
}

// Lines of a text: a last line without its newline counts.
std::size_t countLines(std::string_view text) {
  return std::count(text.begin(), text.end(), '\n') + (!text.empty() && text.back() != '\n');
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < kOptionBytes) return 0;
  const InputColumns columns = columnsFor(data[0]);
  const std::uint8_t options = data[1];
  const std::string_view text(reinterpret_cast<const char*>(data + kOptionBytes),
                              size - kOptionBytes);

  LineLayout layout{columns, std::nullopt, kDelimiters[options & 3u], kDecimalPoint};
  if (layout.delimiter == kSemicolonSeparator) layout.decimalMark = kDecimalComma;
  OutputStyle style;
  switch ((options >> 2) & 3u) {
    case 1:
      style.placement = Placement::InPlace;
      layout.picked = chosenColumns(data[2]);
      break;
    case 2:
      style.placement = Placement::Appended;
      layout.picked = chosenColumns(data[2]);
      break;
    default:
      break;
  }
  if ((options >> kDmsShift) != kNoDmsSelector) style.dmsDecimals = options >> kDmsShift;

  LineLayout readerLayout = layout;
  readerLayout.columns.height = (data[2] & kHeightBit) != 0;
  if ((data[2] & kEpochBit) != 0 && epochColumnProblem(withEpoch(readerLayout)).empty()) {
    readerLayout.epochColumn = kEpochColumn;
  }
  for (std::size_t start = 0, end = 0; start <= text.size(); start = end + 1) {
    end = std::min(text.find('\n', start), text.size());
    checkLine(text.substr(start, end - start), readerLayout);
  }

  // The whole conversion: grid input to WGS84 geographic coordinates; geographic input from
  // WGS84 to a grid whose system comes from bits 4-5 (a geographic input has no zone to give).
  const int gridSystem = kFirstSystem + static_cast<int>((data[0] >> kZoneShift) & kSystemMask);
  ConversionSettings settings{};
  settings.from = {columns.type, columns.system};
  settings.to = columns.type == CoordinateType::Grid
                    ? CoordinateSystem{CoordinateType::Geographic, kWgs84System}
                    : CoordinateSystem{CoordinateType::Grid, gridSystem};
  if (settings.to.type == CoordinateType::Grid) style.dmsDecimals.reset();
  const BlockConverter converter(settings, style);
  std::istringstream input{std::string(text)};
  std::ostringstream output, diagnostics;
  ProgressMeter progress(diagnostics, false);
  {
    BlockPipeline pipeline(converter, 1, output, diagnostics, progress);
    const auto context = std::make_shared<const InputContext>(InputContext{"fuzz", layout, {}});
    HeaderSettings headerSettings{ColumnSelection{{{0, "x"}, {0, "y"}}}, style.placement, {}, {}};
    const HeaderReader header = [&](std::string_view line, std::size_t lineNumber) {
      return readHeader(line, lineNumber, *context, headerSettings);
    };
    pipeline.process(input, context, (options & kHeaderBit) != 0 ? &header : nullptr, 0);
  }
  require(countLines(output.str()) == countLines(text));
  return 0;
}
