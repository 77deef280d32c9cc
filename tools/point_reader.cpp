#include "point_reader.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <stdexcept>
#include <system_error>

#include "dms.h"

namespace nuvex::cli {
namespace {

constexpr char kCommentStart = '#';
constexpr std::array<Axis, 2> kAxes = {Axis::Longitude, Axis::Latitude};

bool isDecimalDigit(char c) {
  return c >= '0' && c <= '9';
}
// Fields longer than this are shortened in messages: a message names the field, it does not
// reproduce a runaway line.
constexpr std::size_t kLongestQuotedField = 32;
constexpr std::string_view kEllipsis = "...";

std::string quoted(std::string_view field) {
  std::string text = "\"";
  if (field.size() > kLongestQuotedField) {
    text.append(field.substr(0, kLongestQuotedField)).append(kEllipsis);
  } else {
    text.append(field);
  }
  return text + "\"";
}

struct CoordinateField {
  std::string_view name;
  std::string_view text;
  bool angle;  // geographic: degrees-minutes-seconds forms are read too
  Axis axis;
};

// A coordinate field: a finite decimal number (or an angle in DMS), nothing else.
std::optional<double> readCoordinate(const CoordinateField& field, char decimalMark,
                                     std::string& problem, RangeProblem& reason) {
  const NumberReading number = readDecimal(field.text, decimalMark);
  if (number.error == std::errc::invalid_argument) {
    if (field.angle) {
      DmsReading dms = readSexagesimal(field.text, field.axis, decimalMark);
      if (dms.outcome == DmsOutcome::Read) return dms.degrees;
      if (dms.outcome == DmsOutcome::Malformed) {
        problem = std::string(field.name) + " " + quoted(field.text) + ": " + dms.problem;
        return std::nullopt;
      }
    }
    problem = std::string(field.name) + " " + quoted(field.text) + " is not a number";
    return std::nullopt;
  }
  if (number.error == std::errc::result_out_of_range) {
    problem = std::string(field.name) + " " + quoted(field.text) + " is out of range";
    reason = RangeProblem::OutsideCoordinates;
    return std::nullopt;
  }
  if (!std::isfinite(number.value)) {
    problem = std::string(field.name) + " " + quoted(field.text) + " is not a finite number";
    reason = RangeProblem::NotFinite;
    return std::nullopt;
  }
  return number.value;
}

// The UTM latitude bands as a reader names them, from the library's list: "C to X without I and
// O".
std::string latitudeBandNames() {
  const std::string_view bands = kUtmLatitudeBands;
  std::vector<char> skipped;
  for (char letter = bands.front(); letter < bands.back(); ++letter) {
    if (bands.find(letter) == std::string_view::npos) skipped.push_back(letter);
  }
  std::string text = std::string(1, bands.front()) + " to " + std::string(1, bands.back());
  for (std::size_t i = 0; i < skipped.size(); ++i) {
    text += i == 0 ? " without " : i + 1 == skipped.size() ? " and " : ", ";
    text += skipped[i];
  }
  return text;
}

char upperCase(char letter) {
  return static_cast<char>(std::toupper(static_cast<unsigned char>(letter)));
}

// A band letter that is also a hemisphere's initial is most likely meant as the hemisphere
// ("32N": zone 32 north): the message says how it is read.
std::string hemisphereHint(char band, int zone) {
  switch (upperCase(band)) {
    case 'N':
      return "; the letter is read as the latitude band, not as \"north\": write " +
             std::to_string(zone) + ", north is implied";
    case 'S':
      return "; the letter is read as the latitude band, not as \"south\": UTM south zones are "
             "not supported (southern northings are negative here)";
    default:
      return "";
  }
}

// A UTM zone column: a zone number, or a zone with its latitude band ("32U"), whose band must
// hold the northing.
std::optional<int> readZone(std::string_view field, int system, double northing,
                            std::string& problem, RangeProblem& reason) {
  std::string_view number = field;
  const bool lettered = field.size() > 1 &&
                        std::isalpha(static_cast<unsigned char>(field.back())) &&
                        isDecimalDigit(field[field.size() - 2]);
  const bool banded = lettered && isUtmLatitudeBand(field.back());
  if (lettered) number.remove_suffix(1);
  int zone = 0;
  const std::errc error = readWhole(number, zone);
  if (error == std::errc::invalid_argument) {
    problem = "zone " + quoted(field) + " is not a whole number";
    return std::nullopt;
  }
  if (lettered && !banded) {
    problem = "zone " + quoted(field) + ": " + std::string(1, field.back()) +
              " is not a UTM latitude band (" + latitudeBandNames() + ")";
    return std::nullopt;
  }
  if (error == std::errc::result_out_of_range || !kUtmInputZoneRange.contains(zone) ||
      (banded && zone == kZoneFromEasting)) {
    reason = RangeProblem::NoSuchZone;
    problem = "zone " + quoted(field) + " is outside " + std::to_string(kUtmInputZoneRange.lowest) +
              " to " + std::to_string(kUtmInputZoneRange.highest);
    return std::nullopt;
  }
  if (banded && !utmBandFitsNorthing(system, field.back(), northing)) {
    problem = "zone " + quoted(field) + ": the northing lies outside latitude band " +
              std::string(1, field.back()) + hemisphereHint(field.back(), zone);
    return std::nullopt;
  }
  return zone;
}

// Whether a field could be a zone column: a whole number, with a latitude band or without.
bool looksLikeZone(std::string_view field) {
  if (!field.empty() && isUtmLatitudeBand(field.back())) field.remove_suffix(1);
  int zone = 0;
  return readWhole(field, zone) == std::errc{};
}

bool withinRange(const CoordinateField& field, double value, double lowest, double highest,
                 std::string& problem, RangeProblem& reason) {
  if (value >= lowest && value <= highest) return true;
  reason = RangeProblem::OutsideCoordinates;
  problem = std::string(field.name) + " " + quoted(field.text) + " is outside " +
            formatShortest(lowest) + " to " + formatShortest(highest);
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
              formatShortest(kSmallestPrefixedUtmEasting) + ")";
    return false;
  }
  if (zone == kZoneFromEasting || !prefixed) return true;
  const double carried = std::trunc(easting / kZoneMultiplier);
  if (carried == zone) return true;
  problem = "easting " + quoted(eastingField) + " carries zone " + formatShortest(carried) +
            ", not zone " + std::to_string(zone);
  return false;
}

// A projected EPSG code is one zone: a point of another zone would be a point the code does not
// name, so it is refused rather than converted in its own zone.
bool zoneIsNamedZone(const InputColumns& columns, int zone) {
  return !columns.namedZone || zone == *columns.namedZone;
}

std::string notTheNamedZone(const InputColumns& columns) {
  return "not zone " + std::to_string(*columns.namedZone) + " of the input's EPSG code";
}

struct ColumnNames {
  std::string_view x;
  std::string_view y;
  std::string_view expected;  // for the too-few-fields message
};

ColumnNames columnNames(const InputColumns& columns) {
  if (columns.type == CoordinateType::Geographic) {
    return {"longitude", "latitude",
            columns.height ? "longitude, latitude and height" : "longitude and latitude"};
  }
  if (readsZoneColumn(columns)) {
    return {"easting", "northing",
            columns.height ? "easting, northing, height and zone" : "easting, northing and zone"};
  }
  return {"easting", "northing",
          columns.height ? "easting, northing and height" : "easting and northing"};
}

// The coordinate fields' texts, wherever the layout has them; false with a reason when the line
// has too few fields.
struct PointFields {
  std::string_view x;
  std::string_view y;
  std::string_view zone;
  std::string_view height{};  // where a height column is read
};

// A height field: any number, as written. A height that is not finite or far beyond any height on
// Earth is a point the library refuses with its own reason, as it refuses coordinates out of the
// range of its systems; text that is no number at all is no point.
bool readHeight(std::string_view text, char decimalMark, ParsedLine& line) {
  const NumberReading number = readDecimal(text, decimalMark);
  if (number.error == std::errc::invalid_argument) {
    line.problem = "height " + quoted(text) + " is not a number";
    return false;
  }
  if (number.error == std::errc::result_out_of_range) {
    // Beyond a double (infinite, which the library refuses) or too small for one (zero): the
    // form is a number's, only its size is not, and strtod gives the nearest.
    std::string copy(text);
    std::replace(copy.begin(), copy.end(), decimalMark, kDecimalPoint);
    line.point.z = std::strtod(copy.c_str(), nullptr);
    return true;
  }
  line.point.z = number.value;
  return true;
}

bool readHorizontalValues(const PointFields& text, const LineLayout& layout, ParsedLine& line) {
  const InputColumns& columns = layout.columns;
  const ColumnNames names = columnNames(columns);
  const bool geographic = columns.type == CoordinateType::Geographic;
  const bool swapped = geographic && columns.latitudeFirst;
  const CoordinateField xField{names.x, swapped ? text.y : text.x, geographic, Axis::Longitude};
  const CoordinateField yField{names.y, swapped ? text.x : text.y, geographic, Axis::Latitude};
  const std::optional<double> x =
      readCoordinate(xField, layout.decimalMark, line.problem, line.reason);
  if (!x) return false;
  const std::optional<double> y =
      readCoordinate(yField, layout.decimalMark, line.problem, line.reason);
  if (!y) return false;
  line.point = {*x, *y, 0};

  if (geographic) {
    return withinRange(xField, *x, kLowestLongitude, kHighestLongitude, line.problem,
                       line.reason) &&
           withinRange(yField, *y, kLowestLatitude, kHighestLatitude, line.problem, line.reason);
  }
  if (!withinRange(xField, *x, -kLargestGridCoordinate, kLargestGridCoordinate, line.problem,
                   line.reason) ||
      !withinRange(yField, *y, -kLargestGridCoordinate, kLargestGridCoordinate, line.problem,
                   line.reason)) {
    return false;
  }
  if (isGaussKrueger(columns.system)) {
    const int carried = static_cast<int>(std::trunc(*x / kZoneMultiplier));
    if (zoneIsNamedZone(columns, carried)) return true;
    line.problem = "easting " + quoted(text.x) + " is in zone " + std::to_string(carried) + ", " +
                   notTheNamedZone(columns);
    return false;
  }
  std::optional<int> zone = columns.fixedZone;
  if (!zone && text.zone.empty() && *x >= kSmallestPrefixedUtmEasting) zone = kZoneFromEasting;
  if (!zone || (columns.namedZone && !text.zone.empty())) {
    zone = readZone(text.zone, columns.system, *y, line.problem, line.reason);
  }
  if (!zone) return false;
  if (!zoneIsNamedZone(columns, *zone)) {
    line.problem = "zone " + quoted(text.zone) + " is " + notTheNamedZone(columns);
    return false;
  }
  line.point.zone = *zone;
  if (utmZoneFitsEasting(*zone, *x, text.x, line.problem)) return true;
  line.reason = RangeProblem::NoSuchZone;  // as the library's check names it
  return false;
}

// The coordinates of a line: the horizontal ones first (a line refused for them names them),
// then the height where one is read.
bool readPointValues(const PointFields& text, const LineLayout& layout, ParsedLine& line) {
  if (!readHorizontalValues(text, layout, line)) return false;
  return !layout.columns.height || readHeight(text.height, layout.decimalMark, line);
}

// The value of a field; one unquoted into the scratch text is copied to `owned`, because the
// next field's value may need the scratch text too.
std::string_view valueOf(std::string_view raw, LineScratch& scratch, std::string& owned) {
  const std::string_view value = fieldValue(raw, scratch.unquoted);
  if (value.empty() || value.data() != scratch.unquoted.data()) return value;
  owned.assign(value);
  return owned;
}

// ---- Angles written in blank-separated parts --------------------------------------------------

// How a blank-separated token of a geographic line looks: a hemisphere letter before its number
// ("N50", "E", "O10"), one after it ("15.25N", "30\"E"), a degree-minute-second mark or colon
// ("50°", "30'", "50:30"), or a bare number.
struct TokenShape {
  bool leadingLetter = false;
  bool trailingLetter = false;
  bool marked = false;
};

// "N50", "E", "O10.5": a hemisphere letter, then the number (or nothing).
bool leadsWithLetter(std::string_view token) {
  const auto isStart = [](char c) { return isDecimalDigit(c) || c == '.' || c == '+' || c == '-'; };
  return !token.empty() && isHemisphereLetter(token.front()) &&
         (token.size() == 1 || isStart(token[1]));
}

// "15.25N", "30\"E", "N": a hemisphere letter after something that is not a letter.
bool endsWithLetter(std::string_view token) {
  return !token.empty() && isHemisphereLetter(token.back()) &&
         (token.size() == 1 || !std::isalpha(static_cast<unsigned char>(token[token.size() - 2])));
}

TokenShape shapeOf(std::string_view token) {
  return {leadsWithLetter(token), endsWithLetter(token), hasAngleMark(token)};
}

bool isBareNumber(std::string_view token) {
  return !token.empty() && std::all_of(token.begin(), token.end(), [](char c) {
    return isDecimalDigit(c) || c == '.' || c == ',' || c == '+' || c == '-';
  });
}

// Tokens [first, last) of one angle, and where the extras start.
struct AngleGroups {
  std::size_t xFirst = 0, xLast = 1, yFirst = 1, yLast = 2;
};

constexpr std::size_t kMostAngleParts = 3;  // degrees, minutes, seconds

// A part that continues an angle led by its hemisphere letter: a bare number or a marked one
// ("30'"), without a letter of its own.
bool continuesLeadingAngle(std::string_view token) {
  const TokenShape shape = shapeOf(token);
  return isBareNumber(token) ||
         (markedParts(token) && !shape.leadingLetter && !shape.trailingLetter);
}

// Parts after a leading hemisphere letter: bare or marked numbers up to seconds.
std::size_t leadingAngleEnd(const std::vector<std::string_view>& tokens, std::size_t first) {
  std::size_t parts = tokens[first].size() > 1 ? 1 : 0;
  std::size_t at = first + 1;
  while (at < tokens.size() && parts < kMostAngleParts && continuesLeadingAngle(tokens[at])) {
    ++parts;
    ++at;
  }
  return at;
}

// The token that ends an angle with its hemisphere letter, within degrees, minutes, seconds and
// a letter of its own; none when there is no such token.
std::optional<std::size_t> trailingAngleEnd(const std::vector<std::string_view>& tokens,
                                            std::size_t first) {
  for (std::size_t at = first; at < tokens.size() && at <= first + kMostAngleParts; ++at) {
    const TokenShape shape = shapeOf(tokens[at]);
    if (shape.trailingLetter) return at + 1;
    if (shape.leadingLetter) return std::nullopt;
  }
  return std::nullopt;
}

// An angle whose parts are told by their marks: a token that marks degrees first starts it
// ("10°", "10°30'"), tokens that mark later parts continue it ("30.5'", "00\""), and a hemisphere
// letter of its own or after the last mark ends it ("E", "00\"E"); none when the first token
// marks no degrees.
std::optional<std::size_t> markedAngleEnd(const std::vector<std::string_view>& tokens,
                                          std::size_t first) {
  if (first >= tokens.size()) return std::nullopt;
  const std::optional<MarkedParts> start = markedParts(tokens[first]);
  if (!start || start->first != 0) return std::nullopt;
  int last = start->last;
  std::size_t at = first + 1;
  if (endsWithLetter(tokens[first])) return at;
  while (at < tokens.size()) {
    const std::string_view token = tokens[at];
    if (token.size() == 1 && isHemisphereLetter(token.front())) return at + 1;
    const std::optional<MarkedParts> next = markedParts(token);
    if (!next || next->first <= last) break;
    last = next->last;
    ++at;
    if (endsWithLetter(token)) break;
  }
  return at;
}

// Groups the tokens of a geographic line into two angles by their hemisphere letters: letters
// before the numbers ("E10 00 00 N50 30 15.25") or after them ("10 00 00E 50 30 15.25N"), or by
// their marks ("10° 30.5' 50° 15.25'"). Nothing (and a reason) when marked parts and bare numbers
// cannot be grouped so.
std::optional<AngleGroups> groupAngles(const std::vector<std::string_view>& tokens,
                                       std::string& problem) {
  problem =
      "marked parts (hemisphere letters, degree or minute marks) and bare numbers that do "
      "not group into a longitude and a latitude";
  if (tokens.size() < 2) return std::nullopt;
  AngleGroups groups;
  if (shapeOf(tokens[0]).leadingLetter) {
    groups.xLast = leadingAngleEnd(tokens, 0);
    if (groups.xLast >= tokens.size() || !shapeOf(tokens[groups.xLast]).leadingLetter) {
      return std::nullopt;
    }
    groups.yFirst = groups.xLast;
    groups.yLast = leadingAngleEnd(tokens, groups.yFirst);
  } else if (const std::optional<std::size_t> xEnd = trailingAngleEnd(tokens, 0)) {
    groups.xLast = *xEnd;
    groups.yFirst = *xEnd;
    const std::optional<std::size_t> yEnd = trailingAngleEnd(tokens, groups.yFirst);
    if (!yEnd) return std::nullopt;
    groups.yLast = *yEnd;
  } else if (const std::optional<std::size_t> xMarkedEnd = markedAngleEnd(tokens, 0)) {
    groups.xLast = *xMarkedEnd;
    groups.yFirst = *xMarkedEnd;
    const std::optional<std::size_t> yEnd = markedAngleEnd(tokens, groups.yFirst);
    if (!yEnd) return std::nullopt;
    groups.yLast = *yEnd;
  } else {
    return std::nullopt;
  }
  // What follows the two angles is free text, unless it continues them.
  if (groups.yLast < tokens.size()) {
    const TokenShape next = shapeOf(tokens[groups.yLast]);
    if (next.marked || (next.trailingLetter && !next.leadingLetter)) return std::nullopt;
  }
  return groups;
}

// Whether the leading fields of a blank-separated geographic line are an angle in parts: a
// hemisphere letter leads, a letter after the first number is followed by bare numbers, or what
// follows the first two fields continues them (a bare number after a lettered latitude, a marked
// part). Plain numeric lines are told by a look at three tokens.
bool needsGrouping(std::string_view first, std::string_view second, std::string_view rest) {
  // The first two fields count by their first and last characters; only the field after them
  // is looked through for marks.
  const auto leads = leadsWithLetter;
  const auto trails = endsWithLetter;
  if (!leads(first) && !trails(first) && !leads(second) && rest.empty()) return false;
  // The two fields after them continue the angles when they are marked parts, letters after
  // numbers or letters of their own ("10 15 30 E 50 30 15.25 N").
  const auto nextToken = [](std::string_view& text) {
    std::size_t begin = 0;
    while (begin < text.size() && (text[begin] == ' ' || text[begin] == '\t')) ++begin;
    std::size_t end = begin;
    while (end < text.size() && text[end] != ' ' && text[end] != '\t') ++end;
    const std::string_view token = text.substr(begin, end - begin);
    text.remove_prefix(end);
    return token;
  };
  const auto continues = [&](std::string_view token) {
    return !token.empty() && (hasAngleMark(token) || (trails(token) && !leads(token)) ||
                              (token.size() == 1 && isHemisphereLetter(token.front())));
  };
  std::string_view unread = rest;
  const std::string_view next = nextToken(unread);
  const std::string_view afterNext = nextToken(unread);
  return leads(first) || (trails(first) && isBareNumber(second)) ||
         (leads(second) && isBareNumber(next)) || continues(next) || continues(afterNext);
}

bool readGroupedAngles(std::string_view content, const LineLayout& layout, LineScratch& scratch,
                       ParsedLine& line) {
  splitFields(content, kBlankSeparator, std::string::npos, scratch.fields);
  std::vector<std::string_view> tokens;
  tokens.reserve(scratch.fields.size());
  for (const FieldSpan& field : scratch.fields) tokens.push_back(field.in(content));
  const std::optional<AngleGroups> groups = groupAngles(tokens, line.problem);
  if (!groups) return false;
  const auto join = [&](std::size_t first, std::size_t last) {
    return content.substr(scratch.fields[first].begin,
                          scratch.fields[last - 1].end - scratch.fields[first].begin);
  };
  // A height is the first field after the two angles, as it is the third field of plain numbers.
  std::size_t extrasFirst = groups->yLast;
  std::string_view height;
  if (layout.columns.height) {
    if (extrasFirst >= tokens.size()) {
      line.problem = "too few fields: expected " +
                     std::string(columnNames(layout.columns).expected) + ", found two angles";
      return false;
    }
    height = tokens[extrasFirst++];
  }
  if (extrasFirst < tokens.size()) {
    line.extras = trimBlanks(content.substr(scratch.fields[extrasFirst].begin));
  }
  return readPointValues(
      {join(groups->xFirst, groups->xLast), join(groups->yFirst, groups->yLast), {}, height},
      layout, line);
}

// The converter's default: the leading columns in order (x, y, the height where one is read, the
// zone where one is read), the rest of the line as extras.
bool readLeadingColumns(std::string_view content, const LineLayout& layout, LineScratch& scratch,
                        ParsedLine& line) {
  const std::size_t coordinates = kCoordinateColumns + (layout.columns.height ? 1 : 0);
  std::size_t wanted = coordinates + (readsZoneColumn(layout.columns) ? 1 : 0);
  splitFields(content, line.separator, wanted + 1, scratch.fields);
  if (line.separator == kBlankSeparator && scratch.fields.size() > 1) {
    line.gap = content[scratch.fields[0].end];
  }
  if (wanted > coordinates && !scratch.fields.empty() &&
      readDecimal(trimBlanks(scratch.fields[0].in(content))).value >= kSmallestPrefixedUtmEasting &&
      (scratch.fields.size() == coordinates ||
       (scratch.fields.size() > coordinates &&
        !looksLikeZone(trimBlanks(scratch.fields[coordinates].in(content)))))) {
    // An easting that carries its zone needs no zone column: what follows is extra.
    wanted = coordinates;
    splitFields(content, line.separator, wanted + 1, scratch.fields);
  }
  if (layout.columns.type == CoordinateType::Geographic && line.separator == kBlankSeparator &&
      scratch.fields.size() >= 2 &&
      needsGrouping(scratch.fields[0].in(content), scratch.fields[1].in(content),
                    scratch.fields.size() > 2 ? content.substr(scratch.fields[2].begin)
                                              : std::string_view())) {
    return readGroupedAngles(content, layout, scratch, line);
  }
  if (scratch.fields.size() < wanted) {
    line.problem = "too few fields: expected " + std::string(columnNames(layout.columns).expected) +
                   ", found " + std::to_string(scratch.fields.size());
    return false;
  }
  std::array<std::string_view, kMostChosenColumns> values{};
  for (std::size_t index = 0; index < wanted; ++index) {
    values[index] = valueOf(scratch.fields[index].in(content), scratch, scratch.owned[index]);
  }
  if (scratch.fields.size() > wanted) line.extras = trimBlanks(scratch.fields[wanted].in(content));
  const bool height = layout.columns.height;
  const std::string_view zone = wanted > coordinates ? values[coordinates] : std::string_view();
  return readPointValues(
      {values[0], values[1], zone, height ? values[kCoordinateColumns] : std::string_view()},
      layout, line);
}

// Chosen columns: the fields at the layout's indices; every field is kept for the output.
bool readChosenColumns(std::string_view content, const LineLayout& layout, LineScratch& scratch,
                       ParsedLine& line) {
  const ColumnIndices& picked = *layout.picked;
  const bool zoneWanted =
      readsZoneColumn(layout.columns) ||
      (picked.zone && layout.columns.namedZone && !isGaussKrueger(layout.columns.system));
  const bool heightWanted = layout.columns.height;
  // The command line refuses these; a caller may not.
  if (zoneWanted && !picked.zone) {
    line.problem = "no zone column chosen for UTM grid input";
    return false;
  }
  if (heightWanted && !picked.height) {
    line.problem = "no height column chosen where heights are converted";
    return false;
  }
  std::size_t last = std::max(picked.x, picked.y);
  if (zoneWanted) last = std::max(last, *picked.zone);
  if (heightWanted) last = std::max(last, *picked.height);
  const std::size_t needed = last + 1;
  // Fields after the last chosen one (the zone column included, which grid output replaces) are
  // copied as they are: one span holds them all.
  splitFields(content, line.separator, picked.highest() + 2, scratch.fields);
  if (line.separator == kBlankSeparator && scratch.fields.size() > 1) {
    line.gap = content[scratch.fields[0].end];
  }
  if (scratch.fields.size() < needed) {
    line.problem = "too few fields: expected at least " + std::to_string(needed) + ", found " +
                   std::to_string(scratch.fields.size());
    return false;
  }
  line.xField = scratch.fields[picked.x];
  line.yField = scratch.fields[picked.y];
  if (picked.zone && *picked.zone < scratch.fields.size()) {
    line.zoneField = scratch.fields[*picked.zone];
  }
  if (heightWanted) line.heightField = scratch.fields[*picked.height];
  const std::string_view x = valueOf(line.xField.in(content), scratch, scratch.owned[0]);
  const std::string_view y = valueOf(line.yField.in(content), scratch, scratch.owned[1]);
  const std::string_view zone =
      zoneWanted ? valueOf(line.zoneField->in(content), scratch, scratch.owned[2])
                 : std::string_view();
  const std::string_view height =
      heightWanted ? valueOf(line.heightField->in(content), scratch, scratch.owned[3])
                   : std::string_view();
  return readPointValues({x, y, zone, height}, layout, line);
}

// The point's epoch from its column, counted as --columns counts: a decimal year or a date, the
// year's decimals with the input's decimal mark. An epoch outside the years the library takes is
// the library's to refuse, with its reason.
bool readEpochField(std::string_view text, const LineLayout& layout, LineScratch& scratch,
                    ParsedLine& line) {
  line.reason = RangeProblem::None;
  const std::size_t column = *layout.epochColumn;
  splitFields(text, line.separator, column + 2, scratch.epochFields);
  if (scratch.epochFields.size() <= column) {
    line.problem = "too few fields: expected the epoch in column " + std::to_string(column + 1) +
                   ", found " + std::to_string(scratch.epochFields.size());
    return false;
  }
  std::string_view value =
      trimBlanks(fieldValue(scratch.epochFields[column].in(text), scratch.unquoted));
  if (layout.decimalMark != kDecimalPoint && value.find(layout.decimalMark) != value.npos) {
    scratch.epochText.assign(value);
    std::replace(scratch.epochText.begin(), scratch.epochText.end(), layout.decimalMark,
                 kDecimalPoint);
    value = scratch.epochText;
  }
  const std::optional<double> epoch = readEpoch(value);
  if (!epoch) {
    line.problem = "epoch " + quoted(value) + " is no decimal year or date (YYYY-MM-DD)";
    return false;
  }
  line.point.epoch = *epoch;
  return true;
}

}  // namespace

std::optional<double> readEpoch(std::string_view text) {
  try {
    return parseEpoch(text);
  } catch (const std::out_of_range&) {
    return std::nullopt;  // digits beyond any double: no year
  }
}

std::string epochColumnProblem(const LineLayout& layout) {
  if (!layout.epochColumn) return {};
  const std::size_t column = *layout.epochColumn;
  bool coordinate = false;
  if (layout.picked) {
    const ColumnIndices& picked = *layout.picked;
    coordinate = column == picked.x || column == picked.y || picked.zone == column ||
                 picked.height == column;
  } else {
    const InputColumns& columns = layout.columns;
    coordinate =
        column < kCoordinateColumns + (columns.height ? 1 : 0) + (readsZoneColumn(columns) ? 1 : 0);
  }
  if (!coordinate) return {};
  return "column " + std::to_string(column + 1) + " holds a coordinate, not the epoch";
}

bool readsZoneColumn(const InputColumns& columns) {
  return columns.type == CoordinateType::Grid && !isGaussKrueger(columns.system) &&
         !columns.fixedZone.has_value();
}

bool isPassThrough(std::string_view text) {
  const std::string_view content = trimBlanks(text);
  return content.empty() || content.front() == kCommentStart;
}

namespace {

// Whether the text before the line's first comma is one angle written in parts with blanks
// between them and a mark or a hemisphere letter, as in "10° 30' 00\" E, 50° 15' 00\" N" or
// "10 15 30E, 50 30 15.25N": the comma then delimits. Three bare numbers ("10 15 30, x") are not
// taken for an angle here.
bool angleInPartsBeforeComma(std::string_view content) {
  const std::size_t comma = content.find(kCommaSeparator);
  if (comma == std::string_view::npos) return false;
  const std::string_view first = trimBlanks(content.substr(0, comma));
  if (first.find_first_of(kBlanks) == std::string_view::npos ||
      first.find_first_not_of("0123456789.+- \t") == std::string_view::npos) {
    return false;
  }
  return std::any_of(kAxes.begin(), kAxes.end(), [first](Axis axis) {
    return readSexagesimal(first, axis, kDecimalPoint).outcome == DmsOutcome::Read;
  });
}

}  // namespace

char guessDelimiter(std::string_view line) {
  const std::string_view content = trimBlanks(line);
  if (angleInPartsBeforeComma(content)) return kCommaSeparator;
  if (content.empty() || !isHemisphereLetter(content.front())) return detectSeparator(content);
  // An angle led by its hemisphere letter: its number and the bare numbers after it are one
  // field; a comma right after them delimits.
  std::size_t at = 1;
  while (true) {
    while (at < content.size() && (isDecimalDigit(content[at]) || content[at] == '.')) ++at;
    if (at < content.size() && content[at] == kCommaSeparator) return kCommaSeparator;
    const std::size_t next = content.find_first_not_of(kBlanks, at);
    if (next == at || next == std::string_view::npos) break;
    if (content[next] == kCommaSeparator) return kCommaSeparator;
    if (!isDecimalDigit(content[next])) break;
    at = next;
  }
  return detectSeparator(content);
}

ParsedLine parseLine(std::string_view text, const LineLayout& layout, LineScratch& scratch) {
  ParsedLine line;
  if (isPassThrough(text)) return line;
  if (!text.empty() && text.back() == '\r') text.remove_suffix(1);
  line.separator = layout.delimiter != 0 ? layout.delimiter : guessDelimiter(text);
  // The leading-columns layout reads from the first non-blank; chosen columns count from the
  // line's start (an empty first field of a delimited line is a column).
  bool read = layout.picked ? readChosenColumns(text, layout, scratch, line)
                            : readLeadingColumns(trimBlanks(text), layout, scratch, line);
  if (read && layout.epochColumn) read = readEpochField(text, layout, scratch, line);
  line.kind = read ? LineKind::Point : LineKind::Malformed;
  // Angles in parts may be tried in more than one grouping: only a failed line keeps a reason.
  if (read) {
    line.problem.clear();
    line.reason = RangeProblem::None;
  }
  if (!read && line.separator != kSemicolonSeparator &&
      text.find(kSemicolonSeparator) != std::string_view::npos) {
    line.problem += " (semicolon-separated? add --delimiter ';')";
  }
  return line;
}

ParsedLine parseLine(std::string_view text, const InputColumns& columns) {
  LineScratch scratch;
  return parseLine(text, LineLayout{columns, std::nullopt, 0, kDecimalPoint}, scratch);
}

}  // namespace nuvex::cli
