#include "stream_converter.h"

#include <array>
#include <charconv>
#include <istream>
#include <ostream>
#include <system_error>

#include "nuvex/engine.h"

namespace nuvex::cli {
namespace {

// Rows held between two calls of the engine. A batch is sent when it is full; this bounds the
// memory a long stretch of comment lines between points can take.
constexpr std::size_t kMostPendingRows = 4096;
constexpr char kCarriageReturn = '\r';
// Characters of the widest double in fixed notation (309 digits) with room for sign, point and
// the decimals the command line allows.
constexpr std::size_t kFixedTextCapacity = 400;

// Before a read that may wait for more input (a terminal, a pipe with nothing in it), the rows
// read so far are converted and written, so that interactive use answers each line at once.
bool nextReadMayWait(std::istream& input) {
  return input.rdbuf()->in_avail() <= 0;
}

std::string_view separatorText(char separator) {
  return separator == kCommaSeparator ? std::string_view(",") : std::string_view(" ");
}

}  // namespace

std::string formatFixed(double value, int decimals) {
  std::array<char, kFixedTextCapacity> buffer{};
  auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value,
                              std::chars_format::fixed, decimals);
  if (result.ec != std::errc{}) {
    result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value);
  }
  std::string text(buffer.data(), result.ptr);
  // "-0.000" says nothing that "0.000" does not, and would look like a real sign.
  if (text.size() > 1 && text.front() == '-' &&
      text.find_first_not_of("0.", 1) == std::string::npos) {
    text.erase(0, 1);
  }
  return text;
}

StreamConverter::StreamConverter(const ConversionSettings& settings, const InputColumns& columns,
                                 const OutputPrecision& precision, std::ostream& output,
                                 std::ostream& diagnostics)
    : converter_(settings),
      settings_(settings),
      columns_(columns),
      precision_(precision),
      output_(output),
      diagnostics_(diagnostics) {}

void StreamConverter::process(std::istream& input, std::string_view inputName) {
  inputName_ = inputName;
  std::string text;
  std::size_t lineNumber = 0;
  while (std::getline(input, text)) {
    ++lineNumber;
    if (!text.empty() && text.back() == kCarriageReturn) text.pop_back();
    const ParsedLine parsed = parseLine(text, columns_);
    if (parsed.kind == LineKind::Point) points_.push_back(parsed.point);
    PendingRow row{
        std::string(), lineNumber, parsed.kind, parsed.separator, std::string(parsed.extras),
        parsed.problem};
    row.text = std::move(text);
    rows_.push_back(std::move(row));
    text.clear();
    if (points_.size() >= static_cast<std::size_t>(TRGU_MAXPT) ||
        rows_.size() >= kMostPendingRows || nextReadMayWait(input)) {
      flush();
    }
  }
  flush();
  if (input.bad())
    reportUnreadable(inputName, "read error after line " + std::to_string(lineNumber));
}

void StreamConverter::reportUnreadable(std::string_view inputName, std::string_view reason) {
  hadDataErrors_ = true;
  diagnostics_ << "nuvex: " << inputName << ": " << reason << '\n';
}

void StreamConverter::flush() {
  if (rows_.empty()) return;
  const std::vector<ConvertedPoint> results = converter_.convert(points_);
  std::size_t nextResult = 0;
  for (const PendingRow& row : rows_) {
    switch (row.kind) {
      case LineKind::PassThrough:
        output_ << row.text << '\n';
        break;
      case LineKind::Malformed:
        emitFailure(row, row.problem);
        break;
      case LineKind::Point:
        emitPoint(row, results.at(nextResult++));
        break;
    }
  }
  rows_.clear();
  points_.clear();
  output_.flush();
}

void StreamConverter::emitPoint(const PendingRow& row, const ConvertedPoint& result) {
  if (result.status != PointStatus::Converted) {
    emitFailure(row, describeFailure(result.status));
    return;
  }
  const bool gridOutput = settings_.to.type == CoordinateType::Grid;
  const int decimals = gridOutput ? precision_.metres : precision_.degrees;
  const std::string_view separator = separatorText(row.separator);
  std::string line = formatFixed(result.x, decimals);
  line.append(separator).append(formatFixed(result.y, decimals));
  if (gridOutput) line.append(separator).append(std::to_string(result.zone));
  if (!row.extras.empty()) line.append(separator).append(row.extras);
  output_ << line << '\n';
}

void StreamConverter::emitFailure(const PendingRow& row, std::string_view reason) {
  hadDataErrors_ = true;
  diagnostics_ << "nuvex: " << inputName_ << ':' << row.lineNumber << ": " << reason << '\n';
  output_ << kErrorMarker << ' ' << row.text << '\n';
}

}  // namespace nuvex::cli
