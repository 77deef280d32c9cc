#include "point_reader.h"

#include <array>
#include <cmath>
#include <system_error>

#include "dms.h"

namespace nuvex::cli {
namespace {

constexpr char kCommentStart = '#';
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
                                     std::string& problem) {
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
    return std::nullopt;
  }
  if (!std::isfinite(number.value)) {
    problem = std::string(field.name) + " " + quoted(field.text) + " is not a finite number";
    return std::nullopt;
  }
  return number.value;
}

std::optional<int> readZone(std::string_view field, std::string& problem) {
  int zone = 0;
  const std::errc error = readWhole(field, zone);
  if (error == std::errc::invalid_argument) {
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

bool withinRange(const CoordinateField& field, double value, double lowest, double highest,
                 std::string& problem) {
  if (value >= lowest && value <= highest) return true;
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
    return {"longitude", "latitude", "longitude and latitude"};
  }
  if (readsZoneColumn(columns)) return {"easting", "northing", "easting, northing and zone"};
  return {"easting", "northing", "easting and northing"};
}

// The coordinate fields' texts, wherever the layout has them; false with a reason when the line
// has too few fields.
struct PointFields {
  std::string_view x;
  std::string_view y;
  std::string_view zone;
};

bool readPointValues(const PointFields& text, const LineLayout& layout, ParsedLine& line) {
  const InputColumns& columns = layout.columns;
  const ColumnNames names = columnNames(columns);
  const bool geographic = columns.type == CoordinateType::Geographic;
  const bool swapped = geographic && columns.latitudeFirst;
  const CoordinateField xField{names.x, swapped ? text.y : text.x, geographic, Axis::Longitude};
  const CoordinateField yField{names.y, swapped ? text.x : text.y, geographic, Axis::Latitude};
  const std::optional<double> x = readCoordinate(xField, layout.decimalMark, line.problem);
  if (!x) return false;
  const std::optional<double> y = readCoordinate(yField, layout.decimalMark, line.problem);
  if (!y) return false;
  line.point = {*x, *y, 0};

  if (geographic) {
    return withinRange(xField, *x, kLowestLongitude, kHighestLongitude, line.problem) &&
           withinRange(yField, *y, kLowestLatitude, kHighestLatitude, line.problem);
  }
  if (!withinRange(xField, *x, -kLargestGridCoordinate, kLargestGridCoordinate, line.problem) ||
      !withinRange(yField, *y, -kLargestGridCoordinate, kLargestGridCoordinate, line.problem)) {
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
  if (!zone || (columns.namedZone && !text.zone.empty())) zone = readZone(text.zone, line.problem);
  if (!zone) return false;
  if (!zoneIsNamedZone(columns, *zone)) {
    line.problem = "zone " + quoted(text.zone) + " is " + notTheNamedZone(columns);
    return false;
  }
  line.point.zone = *zone;
  return utmZoneFitsEasting(*zone, *x, text.x, line.problem);
}

// The value of a field; one unquoted into the scratch text is copied to `owned`, because the
// next field's value may need the scratch text too.
std::string_view valueOf(std::string_view raw, LineScratch& scratch, std::string& owned) {
  const std::string_view value = fieldValue(raw, scratch.unquoted);
  if (value.empty() || value.data() != scratch.unquoted.data()) return value;
  owned.assign(value);
  return owned;
}

// The converter's default: the leading columns in order, the rest of the line as extras.
bool readLeadingColumns(std::string_view content, const LineLayout& layout, LineScratch& scratch,
                        ParsedLine& line) {
  const std::size_t wanted = readsZoneColumn(layout.columns) ? 3 : 2;
  splitFields(content, line.separator, wanted + 1, scratch.fields);
  if (scratch.fields.size() < wanted) {
    line.problem = "too few fields: expected " + std::string(columnNames(layout.columns).expected) +
                   ", found " + std::to_string(scratch.fields.size());
    return false;
  }
  std::array<std::string_view, 3> values{};
  for (std::size_t index = 0; index < wanted; ++index) {
    values[index] = valueOf(scratch.fields[index].in(content), scratch, scratch.owned[index]);
  }
  if (scratch.fields.size() > wanted) line.extras = trimBlanks(scratch.fields[wanted].in(content));
  return readPointValues({values[0], values[1], values[2]}, layout, line);
}

// Chosen columns: the fields at the layout's indices; every field is kept for the output.
bool readChosenColumns(std::string_view content, const LineLayout& layout, LineScratch& scratch,
                       ParsedLine& line) {
  const ColumnIndices& picked = *layout.picked;
  const bool zoneWanted =
      readsZoneColumn(layout.columns) ||
      (picked.zone && layout.columns.namedZone && !isGaussKrueger(layout.columns.system));
  if (zoneWanted && !picked.zone) {  // the command line refuses this; a caller may not
    line.problem = "no zone column chosen for UTM grid input";
    return false;
  }
  const std::size_t needed = (zoneWanted ? picked.highest() : std::max(picked.x, picked.y)) + 1;
  // Fields after the last chosen one (the zone column included, which grid output replaces) are
  // copied as they are: one span holds them all.
  splitFields(content, line.separator, picked.highest() + 2, scratch.fields);
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
  const std::string_view x = valueOf(line.xField.in(content), scratch, scratch.owned[0]);
  const std::string_view y = valueOf(line.yField.in(content), scratch, scratch.owned[1]);
  const std::string_view zone =
      zoneWanted ? valueOf(line.zoneField->in(content), scratch, scratch.owned[2])
                 : std::string_view();
  return readPointValues({x, y, zone}, layout, line);
}

}  // namespace

bool readsZoneColumn(const InputColumns& columns) {
  return columns.type == CoordinateType::Grid && !isGaussKrueger(columns.system) &&
         !columns.fixedZone.has_value();
}

bool isPassThrough(std::string_view text) {
  const std::string_view content = trimBlanks(text);
  return content.empty() || content.front() == kCommentStart;
}

ParsedLine parseLine(std::string_view text, const LineLayout& layout, LineScratch& scratch) {
  ParsedLine line;
  if (isPassThrough(text)) return line;
  if (!text.empty() && text.back() == '\r') text.remove_suffix(1);
  line.separator = layout.delimiter != 0 ? layout.delimiter : detectSeparator(text);
  // The leading-columns layout reads from the first non-blank; chosen columns count from the
  // line's start (an empty first field of a delimited line is a column).
  const bool read = layout.picked ? readChosenColumns(text, layout, scratch, line)
                                  : readLeadingColumns(trimBlanks(text), layout, scratch, line);
  line.kind = read ? LineKind::Point : LineKind::Malformed;
  return line;
}

ParsedLine parseLine(std::string_view text, const InputColumns& columns) {
  LineScratch scratch;
  return parseLine(text, LineLayout{columns, std::nullopt, 0, kDecimalPoint}, scratch);
}

}  // namespace nuvex::cli
