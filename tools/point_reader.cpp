#include "point_reader.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <system_error>

namespace nuvex::cli {
namespace {

constexpr std::string_view kBlanks = " \t\r\v\f";
constexpr char kCommentStart = '#';
constexpr char kPlusSign = '+';
// Fields longer than this are shortened in messages: a message names the field, it does not
// reproduce a runaway line.
constexpr std::size_t kLongestQuotedField = 32;
constexpr std::string_view kEllipsis = "...";

std::string_view trim(std::string_view text) {
  const std::size_t first = text.find_first_not_of(kBlanks);
  if (first == std::string_view::npos) return {};
  const std::size_t last = text.find_last_not_of(kBlanks);
  return text.substr(first, last - first + 1);
}

// The first field decides: followed by a comma, the line is comma-separated.
char detectSeparator(std::string_view line) {
  const std::size_t firstEnd = line.find_first_of(" \t\r\v\f,");
  if (firstEnd == std::string_view::npos) return kBlankSeparator;
  const std::size_t next = line.find_first_not_of(kBlanks, firstEnd);
  return next != std::string_view::npos && line[next] == kCommaSeparator ? kCommaSeparator
                                                                         : kBlankSeparator;
}

// Hands out the fields of a trimmed line one by one; what is left is the extras text.
class FieldCursor {
 public:
  FieldCursor(std::string_view line, char separator) : rest_(line), separator_(separator) {}

  std::optional<std::string_view> next() {
    return separator_ == kCommaSeparator ? nextCommaField() : nextBlankField();
  }
  std::string_view remainder() const { return trim(rest_); }

 private:
  std::optional<std::string_view> nextBlankField() {
    rest_ = trim(rest_);
    if (rest_.empty()) return std::nullopt;
    const std::size_t end = std::min(rest_.find_first_of(kBlanks), rest_.size());
    const std::string_view field = rest_.substr(0, end);
    rest_.remove_prefix(end);
    return field;
  }

  // An empty field between two commas is a field (and not a number), so that a missing value
  // is reported as such instead of shifting the columns after it.
  std::optional<std::string_view> nextCommaField() {
    if (exhausted_) return std::nullopt;
    const std::size_t comma = rest_.find(kCommaSeparator);
    const std::string_view field = trim(rest_.substr(0, comma));
    if (comma == std::string_view::npos) {
      rest_ = {};
      exhausted_ = true;
    } else {
      rest_.remove_prefix(comma + 1);
    }
    return field;
  }

  std::string_view rest_;
  char separator_;
  bool exhausted_ = false;
};

std::string quoted(std::string_view field) {
  std::string text = "\"";
  if (field.size() > kLongestQuotedField) {
    text.append(field.substr(0, kLongestQuotedField)).append(kEllipsis);
  } else {
    text.append(field);
  }
  return text + "\"";
}

// Shortest plain decimal text that reads back as the value (for the bounds named in messages).
std::string shortest(double value) {
  constexpr std::size_t kBoundTextCapacity = 64;  // the bounds are small round numbers
  std::array<char, kBoundTextCapacity> buffer{};
  const auto result =
      std::to_chars(buffer.data(), buffer.data() + buffer.size(), value, std::chars_format::fixed);
  return std::string(buffer.data(), result.ptr);
}

// from_chars takes no plus sign; a single one before a digit or point is common in survey data.
std::string_view withoutPlusSign(std::string_view field) {
  if (field.size() > 1 && field[0] == kPlusSign && field[1] != '-' && field[1] != kPlusSign) {
    field.remove_prefix(1);
  }
  return field;
}

// A coordinate field: a finite decimal number, nothing else.
std::optional<double> readCoordinate(std::string_view name, std::string_view field,
                                     std::string& problem) {
  const std::string_view digits = withoutPlusSign(field);
  double value = 0.0;
  const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
  if (end != digits.data() + digits.size() ||
      (error != std::errc{} && error != std::errc::result_out_of_range)) {
    problem = std::string(name) + " " + quoted(field) + " is not a number";
    return std::nullopt;
  }
  if (error == std::errc::result_out_of_range) {
    problem = std::string(name) + " " + quoted(field) + " is out of range";
    return std::nullopt;
  }
  if (!std::isfinite(value)) {
    problem = std::string(name) + " " + quoted(field) + " is not a finite number";
    return std::nullopt;
  }
  return value;
}

std::optional<int> readZone(std::string_view field, std::string& problem) {
  const std::string_view digits = withoutPlusSign(field);
  int zone = 0;
  const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), zone);
  if (end != digits.data() + digits.size() || error == std::errc::invalid_argument) {
    problem = "zone " + quoted(field) + " is not a whole number";
    return std::nullopt;
  }
  if (error == std::errc::result_out_of_range || !kUtmInputZoneRange.contains(zone)) {
    problem = "zone " + quoted(field) + " is outside " + std::to_string(kUtmInputZoneRange.lowest) +
              " to " + std::to_string(kUtmInputZoneRange.highest);
    return std::nullopt;
  }
  return zone;
}

bool withinRange(std::string_view name, std::string_view field, double value, double lowest,
                 double highest, std::string& problem) {
  if (value >= lowest && value <= highest) return true;
  problem = std::string(name) + " " + quoted(field) + " is outside " + shortest(lowest) + " to " +
            shortest(highest);
  return false;
}

// A UTM easting of 10000000 or more carries its zone in its millions; the engine removes the
// millions of the zone it is given, so the two must agree, and zone 0 (take it from the
// easting) needs such an easting.
bool utmZoneFitsEasting(int zone, double easting, std::string_view eastingField,
                        std::string& problem) {
  const bool prefixed = easting >= kSmallestPrefixedUtmEasting;
  if (zone == kZoneFromEasting && !prefixed) {
    problem = "zone 0 needs an easting that carries its zone in the millions (at least " +
              shortest(kSmallestPrefixedUtmEasting) + ")";
    return false;
  }
  if (zone == kZoneFromEasting || !prefixed) return true;
  const double carried = std::trunc(easting / kZoneMultiplier);
  if (carried == zone) return true;
  problem = "easting " + quoted(eastingField) + " carries zone " + shortest(carried) +
            ", not zone " + std::to_string(zone);
  return false;
}

struct ColumnNames {
  std::string_view x;
  std::string_view y;
  std::string_view expected;  // for the too-few-fields message
};

ColumnNames columnNames(const InputColumns& columns) {
  if (columns.type == CoordinateType::Geographic) {
    return {"longitude", "latitude", "longitude and latitude"};
  }
  if (readsZoneColumn(columns)) return {"easting", "northing", "easting, northing and zone"};
  return {"easting", "northing", "easting and northing"};
}

bool readPoint(FieldCursor& fields, const InputColumns& columns, ParsedLine& line) {
  const ColumnNames names = columnNames(columns);
  const int wanted = readsZoneColumn(columns) ? 3 : 2;
  std::array<std::string_view, 3> field{};
  for (int index = 0; index < wanted; ++index) {
    const std::optional<std::string_view> next = fields.next();
    if (!next) {
      line.problem = "too few fields: expected " + std::string(names.expected) + ", found " +
                     std::to_string(index);
      return false;
    }
    field[static_cast<std::size_t>(index)] = *next;
  }
  const std::optional<double> x = readCoordinate(names.x, field[0], line.problem);
  if (!x) return false;
  const std::optional<double> y = readCoordinate(names.y, field[1], line.problem);
  if (!y) return false;
  line.point = {*x, *y, 0};

  if (columns.type == CoordinateType::Geographic) {
    return withinRange(names.x, field[0], *x, kLowestLongitude, kHighestLongitude, line.problem) &&
           withinRange(names.y, field[1], *y, kLowestLatitude, kHighestLatitude, line.problem);
  }
  if (!withinRange(names.x, field[0], *x, -kLargestGridCoordinate, kLargestGridCoordinate,
                   line.problem) ||
      !withinRange(names.y, field[1], *y, -kLargestGridCoordinate, kLargestGridCoordinate,
                   line.problem)) {
    return false;
  }
  if (isGaussKrueger(columns.system)) return true;
  std::optional<int> zone = columns.fixedZone;
  if (!zone) zone = readZone(field[2], line.problem);
  if (!zone) return false;
  line.point.zone = *zone;
  return utmZoneFitsEasting(*zone, *x, field[0], line.problem);
}

}  // namespace

bool readsZoneColumn(const InputColumns& columns) {
  return columns.type == CoordinateType::Grid && !isGaussKrueger(columns.system) &&
         !columns.fixedZone.has_value();
}

ParsedLine parseLine(std::string_view text, const InputColumns& columns) {
  ParsedLine line;
  const std::string_view content = trim(text);
  if (content.empty() || content.front() == kCommentStart) return line;

  line.separator = detectSeparator(content);
  FieldCursor fields(content, line.separator);
  if (!readPoint(fields, columns, line)) {
    line.kind = LineKind::Malformed;
    return line;
  }
  line.kind = LineKind::Point;
  line.extras = fields.remainder();
  return line;
}

}  // namespace nuvex::cli
