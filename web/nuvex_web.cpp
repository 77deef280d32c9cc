// The converter in the browser: the converter's own line reading and writing (BlockPipeline over
// BlockConverter, on the calling thread) behind a few C functions the page's worker calls. The
// worker hands over the conversion's choices as "key=value" lines, then runs it: the input is
// pulled from the worker (a file or pasted text, in slices) and the output and the messages are
// pushed back to it in pieces, so that a file of any size converts in bounded memory.
#include <emscripten/emscripten.h>

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <iostream>
#include <memory>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <streambuf>
#include <string>
#include <string_view>
#include <vector>

#include "block_pipeline.h"
#include "column_selection.h"
#include "converter.h"
#include "dms.h"
#include "header_line.h"
#include "nuvex/systems.h"
#include "nuvex/transform.h"
#include "point_reader.h"
#include "progress.h"

// Supplied by the worker (web/worker.js).
EM_JS(int, nuvex_js_read, (char* buffer, int capacity),
      { return self.nuvexReadInput(buffer, capacity); });
EM_JS(void, nuvex_js_write, (int stream, const char* data, int length),
      { self.nuvexWriteOutput(stream, data, length); });

namespace {

using namespace nuvex;
using namespace nuvex::cli;

constexpr int kOutputStream = 0;
constexpr int kMessageStream = 1;
constexpr std::size_t kReadBytes = 1u << 20;
constexpr std::size_t kWriteBytes = 1u << 20;
constexpr int kMostDecimals = 15;

// The input, read from the worker in slices.
class WorkerInput : public std::streambuf {
 public:
  WorkerInput() : buffer_(kReadBytes) {}

 protected:
  int_type underflow() override {
    if (gptr() < egptr()) return traits_type::to_int_type(*gptr());
    const int got = nuvex_js_read(buffer_.data(), static_cast<int>(buffer_.size()));
    if (got <= 0) return traits_type::eof();
    setg(buffer_.data(), buffer_.data(), buffer_.data() + got);
    return traits_type::to_int_type(*gptr());
  }

 private:
  std::vector<char> buffer_;
};

// Output or messages, handed to the worker in pieces of about kWriteBytes.
class WorkerOutput : public std::streambuf {
 public:
  explicit WorkerOutput(int stream) : stream_(stream) { pending_.reserve(kWriteBytes); }
  ~WorkerOutput() override { hand(); }

 protected:
  std::streamsize xsputn(const char* data, std::streamsize count) override {
    pending_.append(data, static_cast<std::size_t>(count));
    if (pending_.size() >= kWriteBytes) hand();
    return count;
  }
  int_type overflow(int_type c) override {
    if (!traits_type::eq_int_type(c, traits_type::eof())) {
      pending_.push_back(traits_type::to_char_type(c));
      if (pending_.size() >= kWriteBytes) hand();
    }
    return traits_type::not_eof(c);
  }
  int sync() override {
    hand();
    return 0;
  }

 private:
  void hand() {
    if (pending_.empty()) return;
    nuvex_js_write(stream_, pending_.data(), static_cast<int>(pending_.size()));
    pending_.clear();
  }
  int stream_;
  std::string pending_;
};

// ---- The conversion's choices ------------------------------------------------------------------

struct Choices {
  std::string from, to;
  std::string datum = "polynomial";
  std::optional<int> zone, fromZone;
  std::optional<int> zoneWidth;
  bool zonePrefix = false;
  bool latitudeFirst = false;
  std::string columns;
  bool append = false;
  bool header = false;
  std::string outNames;
  std::optional<char> delimiter;
  std::string precision;
  std::optional<int> dms;
  std::string inputName = "input";
};

std::optional<int> readInteger(std::string_view text) {
  int value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc{} || end != text.data() + text.size()) return std::nullopt;
  return value;
}

int checkedInteger(std::string_view key, std::string_view text) {
  const std::optional<int> value = readInteger(text);
  if (!value)
    throw std::invalid_argument(std::string(key) + ": \"" + std::string(text) +
                                "\" is not a whole number");
  return *value;
}

std::optional<char> delimiterNamed(std::string_view text) {
  if (text == "," || text == "comma") return kCommaSeparator;
  if (text == ";" || text == "semicolon") return kSemicolonSeparator;
  if (text == "|") return '|';
  if (text == "tab" || text == "\t" || text == "\\t") return kTabSeparator;
  if (text == "space" || text == " ") return kBlankSeparator;
  return std::nullopt;
}

std::vector<std::string> splitNames(std::string_view text) {
  std::vector<std::string> names;
  while (true) {
    const std::size_t comma = text.find(',');
    names.emplace_back(text.substr(0, comma));
    if (comma == std::string_view::npos) return names;
    text.remove_prefix(comma + 1);
  }
}

Choices readChoices(std::string_view text) {
  Choices choices;
  while (!text.empty()) {
    const std::size_t end = std::min(text.find('\n'), text.size());
    const std::string_view line = text.substr(0, end);
    text.remove_prefix(std::min(end + 1, text.size()));
    const std::size_t equals = line.find('=');
    if (equals == std::string_view::npos) continue;
    const std::string_view key = line.substr(0, equals);
    const std::string_view value = line.substr(equals + 1);
    const bool on = value == "1" || value == "true" || value == "on";
    if (key == "from")
      choices.from = value;
    else if (key == "to")
      choices.to = value;
    else if (key == "datum")
      choices.datum = value;
    else if (key == "zone" && !value.empty())
      choices.zone = checkedInteger(key, value);
    else if (key == "fromzone" && !value.empty())
      choices.fromZone = checkedInteger(key, value);
    else if (key == "zonewidth" && !value.empty())
      choices.zoneWidth = checkedInteger(key, value);
    else if (key == "zoneprefix")
      choices.zonePrefix = on;
    else if (key == "axis") {
      if (value != "lon-lat" && value != "lat-lon") {
        throw std::invalid_argument("axis: lon-lat or lat-lon");
      }
      choices.latitudeFirst = value == "lat-lon";
    } else if (key == "columns")
      choices.columns = value;
    else if (key == "append")
      choices.append = on;
    else if (key == "header")
      choices.header = on;
    else if (key == "outnames")
      choices.outNames = value;
    else if (key == "delimiter" && !value.empty()) {
      choices.delimiter = delimiterNamed(value);
      if (!choices.delimiter) throw std::invalid_argument("delimiter: one of , ; | tab space");
    } else if (key == "precision")
      choices.precision = value;
    else if (key == "dms" && !value.empty()) {
      choices.dms = checkedInteger(key, value);
      if (*choices.dms < 0 || *choices.dms > kMostDmsDecimals) {
        throw std::invalid_argument("dms: decimals from 0 to " + std::to_string(kMostDmsDecimals));
      }
    } else if (key == "name" && !value.empty())
      choices.inputName = value;
  }
  return choices;
}

std::optional<OutputPrecision> parsePrecision(std::string_view text) {
  const auto decimals = [](std::string_view digits) -> std::optional<int> {
    const std::optional<int> value = readInteger(digits);
    if (!value || *value < 0 || *value > kMostDecimals) return std::nullopt;
    return value;
  };
  const std::size_t comma = text.find(',');
  const std::optional<int> metres = decimals(text.substr(0, comma));
  if (!metres) return std::nullopt;
  OutputPrecision precision;
  precision.metres = *metres;
  precision.degrees = std::min(*metres + kDegreeDecimalsBeyondMetres, kMostDecimals);
  if (comma == std::string_view::npos) return precision;
  const std::optional<int> degrees = decimals(text.substr(comma + 1));
  if (!degrees) return std::nullopt;
  precision.degrees = *degrees;
  return precision;
}

// A prepared conversion: everything the pipeline needs, checked as the converter checks its
// command line.
struct Conversion {
  ConversionSettings settings;
  OutputStyle style;
  LineLayout layout;
  HeaderSettings header;
  bool hasHeader = false;
  std::string inputName;
  std::unique_ptr<BlockConverter> converter;
};

void require(bool sound, const std::string& problem) {
  if (!sound) throw std::invalid_argument(problem);
}

// The zone width system 4 is converted with: an EPSG code's, else the one chosen.
int zoneWidthOf(const NamedSystem& from, const NamedSystem& to, const Choices& choices,
                const std::string& fromText, const std::string& toText) {
  std::optional<int> width;
  std::string fixedBy;
  const std::pair<const NamedSystem*, const std::string*> sides[] = {{&from, &fromText},
                                                                     {&to, &toText}};
  for (const auto& [side, text] : sides) {
    if (side->system.system != kLastSystem || !side->zoneWidth) continue;
    require(!width || *width == *side->zoneWidth,
            fixedBy + " has " + std::to_string(width.value_or(0)) + " deg zones and " + *text +
                " " + std::to_string(*side->zoneWidth) + " deg zones");
    width = side->zoneWidth;
    fixedBy = *text;
  }
  if (!width) return choices.zoneWidth.value_or(kThreeDegreeZones);
  require(!choices.zoneWidth || *choices.zoneWidth == *width,
          "zone width " + std::to_string(choices.zoneWidth.value_or(0)) + ": " + fixedBy + " has " +
              std::to_string(*width) + " deg zones");
  return *width;
}

std::unique_ptr<Conversion> prepare(const Choices& choices) {
  require(!choices.from.empty(), "choose the system of the input");
  require(!choices.to.empty(), "choose the system of the output");
  const NamedSystem from = parseSystemName(choices.from, "source");
  const NamedSystem to = parseSystemName(choices.to, "target");
  auto conversion = std::make_unique<Conversion>();
  conversion->inputName = choices.inputName;
  InputColumns columns{from.system.type, from.system.system, choices.fromZone};
  if (columns.fixedZone) {
    require(columns.type == CoordinateType::Grid, "input zone: the input is geographic");
    require(!isGaussKrueger(columns.system),
            "input zone: Gauss-Krueger eastings carry their zone in the millions");
    require(kUtmInputZoneRange.contains(*columns.fixedZone),
            "input zone " + std::to_string(*columns.fixedZone) + ": UTM zones are " +
                std::to_string(kUtmInputZoneRange.lowest) + " (from the easting) to " +
                std::to_string(kUtmInputZoneRange.highest));
  }
  ConversionSettings settings{from.system, to.system, kThreeDegreeZones, choices.zone,
                              choices.zonePrefix};
  if (choices.zoneWidth) {
    require(*choices.zoneWidth == kThreeDegreeZones || *choices.zoneWidth == kSixDegreeZones,
            "zone width: 3 or 6");
  }
  settings.zoneWidth = zoneWidthOf(from, to, choices, choices.from, choices.to);
  if (from.zone) {
    require(!columns.fixedZone || *columns.fixedZone == *from.zone,
            "input zone " + std::to_string(columns.fixedZone.value_or(0)) + ": " + choices.from +
                " is zone " + std::to_string(*from.zone));
    columns.namedZone = from.zone;
    if (!isGaussKrueger(columns.system)) columns.fixedZone = from.zone;
  }
  if (to.zone) {
    require(!settings.targetZone || *settings.targetZone == *to.zone,
            "output zone " + std::to_string(settings.targetZone.value_or(0)) + ": " + choices.to +
                " is zone " + std::to_string(*to.zone));
    require(!settings.zonePrefix || isGaussKrueger(settings.to.system),
            "zone prefix: eastings of " + choices.to + " carry no zone in their millions");
    settings.targetZone = to.zone;
  }
  const bool geographicIn = settings.from.type == CoordinateType::Geographic;
  const bool gridOut = settings.to.type == CoordinateType::Grid;
  if (choices.latitudeFirst) {
    require(geographicIn || !gridOut, "latitude first: neither side is geographic");
    columns.latitudeFirst = geographicIn;
  }
  if (choices.datum == "official") {
    if (const auto problem = officialDatumProblem(settings.from.system, settings.to.system)) {
      throw std::invalid_argument("official datum shift: " + *problem);
    }
    settings.datum = DatumChoice{DatumShift::Official, {}};
  } else {
    require(choices.datum == "polynomial", "datum: polynomial or official");
  }
  if (settings.targetZone) {
    require(gridOut, "output zone: the output is geographic and has no zone");
    const ZoneRange range = outputZoneRange(settings.to.system, settings.zoneWidth);
    require(range.contains(*settings.targetZone),
            "output zone " + std::to_string(*settings.targetZone) + ": zones of " +
                systemTitle(settings.to.system, settings.zoneWidth) + " are " +
                std::to_string(range.lowest) + " to " + std::to_string(range.highest));
  }
  require(!settings.zonePrefix || gridOut, "zone prefix: the output is geographic");
  require(!settings.zonePrefix || !isGaussKrueger(settings.to.system),
          "zone prefix: Gauss-Krueger eastings carry their zone in the millions already");
  const bool gridOfFour =
      (settings.from.type == CoordinateType::Grid && settings.from.system == kLastSystem) ||
      (gridOut && settings.to.system == kLastSystem);
  require(!choices.zoneWidth || gridOfFour,
          "zone width: only the grid of system 4 has 3 or 6 deg zones");

  std::optional<ColumnSelection> selection;
  if (!choices.columns.empty()) {
    std::string problem;
    selection = parseColumnSelection(choices.columns, problem);
    require(selection.has_value(), "columns: " + problem);
  }
  if (!choices.outNames.empty()) {
    require(splitNames(choices.outNames).size() ==
                (gridOut ? kCoordinateAndZoneColumns : kCoordinateColumns),
            gridOut ? "column names: grid output has three columns (x, y, zone)"
                    : "column names: geographic output has two columns (x, y)");
  }
  require(!choices.dms || !gridOut, "degrees, minutes, seconds: the output is a grid");
  if (selection) {
    const bool zoneColumn = selection->columns.size() == kCoordinateAndZoneColumns;
    require(!readsZoneColumn(columns) || zoneColumn,
            "columns: UTM grid input needs a zone column (X,Y,ZONE) or an input zone");
    require(!gridOut || isGaussKrueger(settings.to.system) || zoneColumn || choices.append ||
                settings.targetZone || settings.zonePrefix,
            "columns: the zone of UTM output needs a column (X,Y,ZONE), an output zone, the "
            "zone prefix or appended columns");
  }
  OutputStyle style;
  style.latitudeFirst = choices.latitudeFirst && !gridOut;
  if (!choices.precision.empty()) {
    const std::optional<OutputPrecision> precision = parsePrecision(choices.precision);
    require(precision.has_value(),
            "precision: M or M,D, decimals from 0 to " + std::to_string(kMostDecimals));
    style.precision = *precision;
  }
  style.dmsDecimals = choices.dms;
  style.placement = choices.append             ? Placement::Appended
                    : !choices.columns.empty() ? Placement::InPlace
                                               : Placement::Leading;

  LineLayout layout{columns, std::nullopt, 0, kDecimalPoint};
  if (choices.delimiter) layout.delimiter = *choices.delimiter;
  if (layout.delimiter == kSemicolonSeparator) layout.decimalMark = kDecimalComma;
  if (selection && !selection->namesAny()) {
    std::string positionsNeedNoHeader;
    layout.picked = resolveColumns(*selection, {}, positionsNeedNoHeader);
  } else if (!selection && choices.append) {
    layout.picked = ColumnIndices{0, 1, std::nullopt};
    if (readsZoneColumn(columns)) layout.picked->zone = 2;
  }
  HeaderSettings header{selection, style.placement, {}, {}};
  const std::size_t count = gridOut ? kCoordinateAndZoneColumns : kCoordinateColumns;
  for (std::size_t i = 0; i < count; ++i) {
    header.outputNames.emplace_back(kDefaultOutputNames[i]);
    header.heldNames.emplace_back(gridOut ? kGridOutputNames[i] : kGeographicOutputNames[i]);
  }
  if (!choices.outNames.empty())
    header.outputNames = header.heldNames = splitNames(choices.outNames);

  conversion->settings = settings;
  conversion->style = style;
  conversion->layout = layout;
  conversion->header = header;
  conversion->hasHeader = choices.header || (selection && selection->namesAny());
  conversion->converter = std::make_unique<BlockConverter>(settings, style);
  return conversion;
}

std::unique_ptr<Conversion> prepared;
std::string answer;  // the text the last call returns

void appendJsonText(std::string& out, std::string_view text) {
  out.push_back('"');
  for (const char c : text) {
    if (c == '"' || c == '\\') {
      out.push_back('\\');
      out.push_back(c);
    } else if (static_cast<unsigned char>(c) < 0x20) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\u%04x", static_cast<unsigned>(c));
      out += escaped;
    } else {
      out.push_back(c);
    }
  }
  out.push_back('"');
}

}  // namespace

extern "C" {

// Every EPSG code the library takes, one a line: code, system ("E:1"), zone, zone width, name,
// separated by tabs ("-" for the zone and width of a geographic code), as `nuvex list` lists them.
EMSCRIPTEN_KEEPALIVE const char* nuvex_web_codes() {
  answer.clear();
  for (const EpsgCode& row : epsgCodes()) {
    const bool grid = row.system.type == CoordinateType::Grid;
    answer += std::to_string(row.code) + '\t' + formatCoordinateSystem(row.system) + '\t' +
              (grid ? std::to_string(row.zone) : "-") + '\t' +
              (grid ? std::to_string(row.zoneWidth) : "-") + '\t' + row.name + '\n';
  }
  return answer.c_str();
}

// The four systems, one a line: code, title with 3 deg zones, title with 6 deg zones, whether the
// official datum transformations join it.
EMSCRIPTEN_KEEPALIVE const char* nuvex_web_systems() {
  answer.clear();
  for (const SystemDescription& system : kSystems) {
    answer += std::to_string(system.code) + '\t' + systemTitle(system.code, kThreeDegreeZones) +
              '\t' + systemTitle(system.code, kSixDegreeZones) + '\t' +
              (system.officialDatum ? "1" : "0") + '\n';
  }
  return answer.c_str();
}

// The library's words for a reason a point has no path (RangeProblem, by number).
EMSCRIPTEN_KEEPALIVE const char* nuvex_web_reason(int problem) {
  answer = problem > 0 && problem < kRangeProblemCount
               ? describeRangeProblem(static_cast<RangeProblem>(problem))
               : "";
  return answer.c_str();
}

// What a system name is, as JSON: {"ok":true,"type":"E","system":1,"zone":3,"width":3,
// "epsg":31467,"title":"..."} or {"ok":false,"problem":"..."}.
EMSCRIPTEN_KEEPALIVE const char* nuvex_web_name(const char* text) {
  answer.clear();
  try {
    const NamedSystem named = parseSystemName(text, "system");
    const int width = named.zoneWidth.value_or(kThreeDegreeZones);
    answer = "{\"ok\":true,\"type\":\"";
    answer += engineTypeCode(named.system.type);
    answer += "\",\"system\":" + std::to_string(named.system.system);
    answer += ",\"zone\":" + (named.zone ? std::to_string(*named.zone) : std::string("null"));
    answer +=
        ",\"width\":" + (named.zoneWidth ? std::to_string(*named.zoneWidth) : std::string("null"));
    answer += ",\"epsg\":" + std::to_string(named.epsgCode) + ",\"title\":";
    appendJsonText(answer, systemTitle(named.system.system, width));
    answer += "}";
  } catch (const std::exception& error) {
    answer = "{\"ok\":false,\"problem\":";
    appendJsonText(answer, error.what());
    answer += "}";
  }
  return answer.c_str();
}

// Prepares a conversion from "key=value" lines; "" when it can run, else why not.
EMSCRIPTEN_KEEPALIVE const char* nuvex_web_prepare(const char* choices) {
  answer.clear();
  prepared.reset();
  try {
    prepared = prepare(readChoices(choices));
  } catch (const std::exception& error) {
    answer = error.what();
  }
  return answer.c_str();
}

// Converts the whole input of the prepared conversion; 0 when every line converted, 1 when some
// did not (as the converter's exit status), 2 when nothing was prepared, 3 on a failure (the
// message stream says which).
EMSCRIPTEN_KEEPALIVE int nuvex_web_run(double sizeBytes) {
  if (!prepared) return 2;
  WorkerInput input;
  WorkerOutput output(kOutputStream);
  WorkerOutput messages(kMessageStream);
  std::istream in(&input);
  std::ostream out(&output);
  std::ostream log(&messages);
  std::streambuf* const standardError = std::cerr.rdbuf(&messages);  // the far-zone warning
  int status = 0;
  try {
    ProgressMeter progress(log, false);
    BlockPipeline pipeline(*prepared->converter, 1, out, log, progress);
    const auto context = std::make_shared<const InputContext>(
        InputContext{prepared->inputName, prepared->layout, {}});
    const HeaderSettings& headerSettings = prepared->header;
    const HeaderReader header = [&](std::string_view line, std::size_t lineNumber) {
      return readHeader(line, lineNumber, *context, headerSettings);
    };
    pipeline.process(in, context, prepared->hasHeader ? &header : nullptr,
                     static_cast<std::uintmax_t>(sizeBytes));
    status = pipeline.hadDataErrors() ? 1 : 0;
  } catch (const std::exception& error) {
    log << "nuvex: " << error.what() << '\n';
    status = 3;
  }
  out.flush();
  log.flush();
  std::cerr.rdbuf(standardError);
  return status;
}

// Converts count points held in the module's memory with the library's batch transformation, as
// the speed comparison (bench/web) calls it: from and to as the page names systems, official 1 for
// the official datum shift; x and y in, xOut, yOut, zoneOut and status out. The transformation is
// kept for the next call with the same systems. Returns the points converted, -1 when the systems
// cannot be converted (the message is nuvex_web_problem's).
EMSCRIPTEN_KEEPALIVE int nuvex_web_transform(const char* from, const char* to, int official,
                                             int count, const double* x, const double* y,
                                             double* xOut, double* yOut, int* zoneOut,
                                             int* status) {
  static std::unique_ptr<Transformer> transformer;
  static std::string key;
  const std::string wanted =
      std::string(from) + '\n' + to + '\n' + (official != 0 ? "official" : "polynomial");
  try {
    if (!transformer || key != wanted) {
      const NamedSystem source = parseSystemName(from, "source");
      const NamedSystem target = parseSystemName(to, "target");
      const int width = target.zoneWidth.value_or(source.zoneWidth.value_or(kThreeDegreeZones));
      const ZoneChoice zones{width, !target.zone.has_value(), target.zone.value_or(0)};
      const DatumChoice datum{official != 0 ? DatumShift::Official : DatumShift::Polynomial, {}};
      transformer = std::make_unique<Transformer>(source.system, target.system, zones, datum);
      key = wanted;
    }
    return static_cast<int>(transformer->transform(static_cast<std::size_t>(count), x, y, nullptr,
                                                   xOut, yOut, zoneOut, status));
  } catch (const std::exception& error) {
    transformer.reset();
    answer = error.what();
    return -1;
  }
}

// Why the last call failed.
EMSCRIPTEN_KEEPALIVE const char* nuvex_web_problem() {
  return answer.c_str();
}

}  // extern "C"
