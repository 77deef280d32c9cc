#include "block_converter.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstring>
#include <vector>

#include "dms.h"
#include "number_text.h"

namespace nuvex::cli {
namespace {

constexpr char kCarriageReturn = '\r';
constexpr std::size_t kZoneTextCapacity = 16;
constexpr std::size_t kNoProblem = 0;

// Every byte as a one-character text, for delimiters.
constexpr auto kDelimiterTextTable = [] {
  std::array<char, 256> table{};
  for (std::size_t i = 0; i < table.size(); ++i) table[i] = static_cast<char>(i);
  return table;
}();

// The text between output fields: the input's delimiter, whatever it is; for blank-separated
// input what follows the line's first field, a tab or a blank.
std::string_view separatorText(char separator, char gap) {
  static constexpr std::string_view kTab = "\t", kBlank = " ";
  if (separator != kBlankSeparator) {
    return {&kDelimiterTextTable[static_cast<unsigned char>(separator)], 1};
  }
  return gap == kTabSeparator ? kTab : kBlank;
}

void appendZone(std::string& out, int zone) {
  std::array<char, kZoneTextCapacity> text{};
  const auto result = std::to_chars(text.data(), text.data() + text.size(), zone);
  out.append(text.data(), result.ptr);
}

// Counts a point that was not converted under the reason its message gives.
void tallyRefusal(const ConvertedPoint& point, LineTally& tally) {
  switch (point.status) {
    case PointStatus::Converted:
      return;
    case PointStatus::NoPath:
      // Without a reason of its own the point is outside the polynomials' area (describeFailure).
      tally.refuse(point.problem != RangeProblem::None ? point.problem
                                                       : RangeProblem::OutsidePolynomialArea);
      return;
    case PointStatus::NotFinite:
      tally.refuse(RangeProblem::ImpossibleResult);
      return;
    case PointStatus::Aborted:
      ++tally.aborted;
      return;
  }
}

// A span of a view that lies inside another, relative to the latter's start.
FieldSpan spanWithin(std::string_view outer, std::string_view inner) {
  const auto begin = static_cast<std::size_t>(inner.data() - outer.data());
  return {begin, begin + inner.size()};
}

}  // namespace

struct BlockConverter::Row {
  std::size_t begin = 0;  // the line within the block text, without its line end
  std::size_t length = 0;
  std::size_t contentOffset = 0;  // past a byte-order mark
  LineKind kind = LineKind::PassThrough;
  char separator = kBlankSeparator;
  char gap = ' ';
  FieldSpan extras{};  // relative to the content, like the fields
  FieldSpan x{};
  FieldSpan y{};
  std::optional<FieldSpan> zone;
  std::optional<FieldSpan> height;
  std::size_t problem = kNoProblem;          // 1 + index into Scratch::problems
  RangeProblem reason = RangeProblem::None;  // of a malformed line, where the library has one
};

struct BlockConverter::Scratch {
  std::vector<Row> rows;
  PointColumns points;
  LineScratch line;
  std::vector<std::string> problems;
};

void BlockResult::clear() {
  output.clear();
  diagnostics.clear();
  hadErrors = false;
  points = 0;
  tally = {};
  farFromForcedZone = false;
}

bool removeByteOrderMark(std::string_view& line) {
  if (!line.starts_with(kByteOrderMark)) return false;
  line.remove_prefix(kByteOrderMark.size());
  return true;
}

BlockConverter::BlockConverter(const ConversionSettings& settings, const OutputStyle& style)
    : settings_(settings), style_(style), converter_(settings) {}

void BlockConverter::convert(const Block& block, BlockResult& result) const {
  // Each thread keeps its buffers from block to block.
  thread_local Scratch scratch;
  result.clear();
  scratch.rows.clear();
  scratch.points.clear();
  scratch.problems.clear();
  const InputContext& input = *block.input;
  const std::string_view text = block.text;
  for (std::size_t start = 0; start < text.size();) {
    const char* end =
        static_cast<const char*>(std::memchr(text.data() + start, kLineEnd, text.size() - start));
    const std::size_t stop =
        end != nullptr ? static_cast<std::size_t>(end - text.data()) : text.size();
    std::string_view line = text.substr(start, stop - start);
    if (!line.empty() && line.back() == kCarriageReturn) line.remove_suffix(1);
    std::size_t contentOffset = 0;
    if (start == 0 && block.firstLine == 1) {
      std::string_view content = line;
      if (removeByteOrderMark(content)) contentOffset = kByteOrderMark.size();
    }
    readRow(line, start, contentOffset, input, scratch);
    start = stop + 1;
  }
  result.points = scratch.points.size();
  converter_.convert(scratch.points);
  result.farFromForcedZone = scratch.points.farFromForcedZone;
  result.output.reserve(text.size() + text.size() / 2);
  std::size_t nextPoint = 0;
  result.tally.read = scratch.rows.size();
  for (std::size_t i = 0; i < scratch.rows.size(); ++i) {
    emitRow(scratch.rows[i], text, block, block.firstLine + i, nextPoint, scratch, result);
  }
}

void BlockConverter::readRow(std::string_view wholeLine, std::size_t offset,
                             std::size_t contentOffset, const InputContext& input,
                             Scratch& scratch) const {
  Row& row = scratch.rows.emplace_back();  // filled in place: a copy of it costs more than it
  row.begin = offset;
  row.length = wholeLine.size();
  row.contentOffset = contentOffset;
  const std::string_view line = wholeLine.substr(contentOffset);
  if (!input.headerProblem.empty() && !isPassThrough(line)) {
    row.kind = LineKind::Malformed;
    return;
  }
  ParsedLine parsed = parseLine(line, input.layout, scratch.line);
  row.kind = parsed.kind;
  row.separator = parsed.separator;
  row.gap = parsed.gap;
  if (parsed.kind == LineKind::Malformed) {
    scratch.problems.push_back(std::move(parsed.problem));
    row.problem = scratch.problems.size();
    row.reason = parsed.reason;
  } else if (parsed.kind == LineKind::Point) {
    scratch.points.add(parsed.point);
    row.extras = parsed.extras.empty() ? FieldSpan{} : spanWithin(line, parsed.extras);
    row.x = parsed.xField;
    row.y = parsed.yField;
    row.zone = parsed.zoneField;
    row.height = parsed.heightField;
  }
}

void BlockConverter::emitRow(const Row& row, std::string_view text, const Block& block,
                             std::size_t lineNumber, std::size_t& nextPoint, Scratch& scratch,
                             BlockResult& result) const {
  const std::string_view line = text.substr(row.begin, row.length);
  switch (row.kind) {
    case LineKind::PassThrough:
      result.output.append(line).push_back(kLineEnd);
      return;
    case LineKind::Malformed: {
      const std::string_view reason = row.problem == kNoProblem
                                          ? std::string_view(block.input->headerProblem)
                                          : std::string_view(scratch.problems[row.problem - 1]);
      emitFailure(line, reason, block, lineNumber, result);
      if (row.reason != RangeProblem::None) {
        result.tally.refuse(row.reason);
      } else {
        ++result.tally.unreadable;
      }
      return;
    }
    case LineKind::Point:
      break;
  }
  const ConvertedPoint point = scratch.points.result(nextPoint++);
  if (point.status != PointStatus::Converted) {
    const char* reason = point.status == PointStatus::NoPath && point.problem != RangeProblem::None
                             ? describeRangeProblem(point.problem)
                             : describeFailure(point.status);
    emitFailure(line, reason, block, lineNumber, result);
    tallyRefusal(point, result.tally);
    return;
  }
  ++result.tally.converted;
  appendConverted(row, line, point, block.input->layout, result.output);
  result.output.push_back(kLineEnd);
}

void BlockConverter::appendValue(std::string& out, double value, Axis axis, char separator,
                                 char decimalMark) const {
  const bool gridOutput = settings_.to.type == CoordinateType::Grid;
  if (gridOutput || !style_.dmsDecimals) {
    appendFixed(out, value, gridOutput ? style_.precision.metres : style_.precision.degrees,
                decimalMark);
    return;
  }
  std::string text;
  appendDms(text, value, axis, *style_.dmsDecimals, decimalMark);
  appendField(out, text, separator);
}

void BlockConverter::appendConverted(const Row& row, std::string_view line,
                                     const ConvertedPoint& point, const LineLayout& layout,
                                     std::string& out) const {
  const bool gridOutput = settings_.to.type == CoordinateType::Grid;
  const bool height = convertsHeights(settings_);
  const std::string_view separator = separatorText(row.separator, row.gap);
  const char mark = layout.decimalMark;
  const std::string_view content = line.substr(row.contentOffset);
  if (style_.placement == Placement::Appended) {
    out.append(line).append(separator);
  } else {
    out.append(line.substr(0, row.contentOffset));
  }
  // The first and second value as they are written (latitude first when asked).
  const bool swapped = !gridOutput && style_.latitudeFirst;
  const std::array<double, 2> values{swapped ? point.y : point.x, swapped ? point.x : point.y};
  const std::array<Axis, 2> axes{swapped ? Axis::Latitude : Axis::Longitude,
                                 swapped ? Axis::Longitude : Axis::Latitude};
  if (style_.placement != Placement::InPlace) {
    // x y [height] [zone]: the order the leading columns are read in.
    appendValue(out, values[0], axes[0], row.separator, mark);
    out.append(separator);
    appendValue(out, values[1], axes[1], row.separator, mark);
    if (height) appendFixed(out.append(separator), point.z, style_.precision.metres, mark);
    if (gridOutput) appendZone(out.append(separator), point.zone);
    if (style_.placement == Placement::Leading && row.extras.end > row.extras.begin) {
      out.append(separator).append(row.extras.in(content));
    }
    return;
  }
  // In place: the chosen fields replaced, in the order they stand in the line.
  enum class Held { X, Y, Zone, Height };
  struct Replacement {
    FieldSpan span;
    Held which;
  };
  std::array<Replacement, kMostChosenColumns> replacements{};
  std::size_t count = 0;
  replacements[count++] = {row.x, Held::X};
  replacements[count++] = {row.y, Held::Y};
  if (gridOutput && row.zone) replacements[count++] = {*row.zone, Held::Zone};
  if (height && row.height) replacements[count++] = {*row.height, Held::Height};
  // Four at most: sorted by insertion.
  for (std::size_t i = 1; i < count; ++i) {
    for (std::size_t j = i; j > 0 && replacements[j].span.begin < replacements[j - 1].span.begin;
         --j) {
      std::swap(replacements[j], replacements[j - 1]);
    }
  }
  std::size_t at = 0;
  for (std::size_t i = 0; i < count; ++i) {
    const Replacement& r = replacements[i];
    out.append(content.substr(at, r.span.begin - at));
    switch (r.which) {
      case Held::Zone:
        appendZone(out, point.zone);
        break;
      case Held::Height:
        appendFixed(out, point.z, style_.precision.metres, mark);
        break;
      case Held::X:
      case Held::Y: {
        const std::size_t which = r.which == Held::X ? 0 : 1;
        appendValue(out, values[which], axes[which], row.separator, mark);
        break;
      }
    }
    at = r.span.end;
  }
  out.append(content.substr(at));
}

void BlockConverter::emitFailure(std::string_view line, std::string_view reason, const Block& block,
                                 std::size_t lineNumber, BlockResult& result) const {
  result.hadErrors = true;
  result.diagnostics.append("nuvex: ").append(block.input->name).append(":");
  result.diagnostics.append(std::to_string(lineNumber)).append(": ").append(reason).push_back('\n');
  result.output.append(kErrorMarker).append(" ").append(line).push_back(kLineEnd);
}

}  // namespace nuvex::cli
