// nuvex: converts coordinates in text files and pipes between the four coordinate systems of the
// library. The command line is read here; input lines, blocks over the batch transformation, the
// threads that convert them and the demo table live beside this file.
#include <CLI/CLI.hpp>
#include <algorithm>
#include <array>
#include <cctype>
#include <cerrno>
#include <charconv>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <system_error>
#include <thread>
#include <vector>

#include "block_pipeline.h"
#include "column_selection.h"
#include "converter.h"
#include "demo.h"
#include "dms.h"
#include "header_line.h"
#include "nuvex/host.h"
#include "nuvex/systems.h"
#include "point_reader.h"
#include "progress.h"

#ifndef NUVEX_VERSION
#define NUVEX_VERSION "unknown"
#endif

namespace {

using namespace nuvex;
using namespace nuvex::cli;

// Exit status: 0 everything converted, 1 some line, point or input failed, 2 the command line
// was wrong (nothing was converted).
constexpr int kSuccess = 0;
constexpr int kDataError = 1;
constexpr int kUsageError = 2;

constexpr const char* kStandardInputName = "-";
constexpr const char* kStandardInputLabel = "<stdin>";
constexpr int kMostDecimals = 15;               // beyond this a double has no digits left to show
constexpr std::size_t kListLineCapacity = 160;  // one line of `nuvex list`; names are shorter

const char* const kListNotes = R"(
Coordinates stay x/y for every code: longitude latitude, easting northing (--axis lat-lon reads
and writes geographic columns latitude first). A projected code is one zone: Gauss-Krueger
eastings carry it in their millions, as the EPSG false eastings do. ETRS89 is converted as WGS84
(system 3); this is exact only in the official datum mode. UTM south (327xx) is not supported.
)";

// ---- Host callbacks: what the library reports goes to standard error ------------------------

std::string formatted(const char* format, std::va_list args) {
  std::va_list copy;
  va_copy(copy, args);
  const int length = std::vsnprintf(nullptr, 0, format, copy);
  va_end(copy);
  if (length <= 0) return {};
  std::string text(static_cast<std::size_t>(length) + 1, '\0');
  std::vsnprintf(text.data(), text.size(), format, args);
  text.resize(static_cast<std::size_t>(length));
  while (!text.empty() && text.back() == '\n') text.pop_back();
  return text;
}

void logToStandardError(int level, const char* format, ...) {
  std::va_list args;
  va_start(args, format);
  std::cerr << "nuvex: engine log (level " << level << "): " << formatted(format, args) << '\n';
  va_end(args);
}

void messageToStandardError(const char* format, ...) {
  std::va_list args;
  va_start(args, format);
  std::cerr << "nuvex: engine message: " << formatted(format, args) << '\n';
  va_end(args);
}

// Returning lets the library abort the calculation with CCalcAbortException, which the
// converter catches for the point concerned.
void failureToStandardError(const char* text, int code, const void* /*reserved*/, const char* file,
                            int line) {
  std::cerr << "nuvex: engine failure: " << (text != nullptr ? text : "(no text)") << " ("
            << (file != nullptr ? file : "?") << ':' << line << ", code " << code << ")\n";
}

void reportToStandardError(int kind, int code, int, std::uint16_t, int, int, const char*, int,
                           double, void*, int, const char* text) {
  std::cerr << "nuvex: engine report " << kind << '/' << code << ": "
            << (text != nullptr ? text : "") << '\n';
}

void installHostCallbacks() {
  DLLCallbacks callbacks{};
  callbacks.structSize = sizeof(DLLCallbacks);
  callbacks.logMessage = logToStandardError;
  callbacks.reportFailure = failureToStandardError;
  callbacks.showMessage = messageToStandardError;
  callbacks.report = reportToStandardError;
  SetNuvexCallbacks(callbacks);
}

// ---- Command line ------------------------------------------------------------------------------

const char* const kFooter = R"(
Input: one point per line, columns separated by blanks/tabs or by commas (the header or the
first data line decides for the whole file):
  geographic   longitude latitude [extra ...]        (decimal degrees, WGS84 for to-ll/from-ll)
  grid         easting northing [zone] [extra ...]   (metres)
The zone column is read for UTM grids (systems 2, 3) unless --zone/--from-zone gives it (0: the
easting carries the zone in its millions); Gauss-Krueger eastings (systems 1, 4) always carry
their zone. Extra columns (height, point id, ...) are copied to the output unchanged.
Blank lines and lines starting with '#' are copied unchanged.
Geographic columns also take degrees, minutes and seconds: 50°30'15.25"N, 50d30m15.25s,
50:30:15.25, N50 30 15.25 (parts grouped by their hemisphere letters N/S/E/W, O for east), or a
sign; the degree sign also in Latin-1. UTM zones may carry their band (32U); eastings that carry
their zone (32571666.448) need no zone column.
CSV: fields in double quotes may hold the delimiter and doubled quotes; CRLF line ends and a
UTF-8 byte-order mark are read. --columns picks the coordinate columns by position or by the
names of a header line (which is then copied); the other columns stay in place.

Output: one line per input line. Grid output is "easting northing zone", geographic output
"longitude latitude", then the extra columns; the input's delimiter is kept.
A line that cannot be read or has no transformation path is written as "*error* " followed by
the original line, and a message "nuvex: FILE:LINE: reason" goes to standard error; so is a
point more than 4 deg from its zone's central meridian, beyond the pole, in no zone of its
system, or whose result would be none (a zone forced farther away converts, with a warning).

Exit status: 0 all converted, 1 some line or file failed, 2 usage error.

Systems: 1 Bessel 1841 / Gauss-Krueger 3 deg, 2 International 1924 / UTM,
         3 WGS84 / UTM, 4 Krassowsky 1940 / Gauss-Krueger 3 or 6 deg (--zone-width).
Datum shift (--datum): polynomial, the engine's own (metre-level, the default), or official:
the NTv2 grid BeTA2007 (or --grid FILE) between 1 and 3, EPSG:1775 between 4 and 3, both for
1 <-> 4, system 3 taken as ETRS89 (EPSG: null transformation to WGS84, 1 m). Points outside the
grid or EPSG:1775's area of use are errors; system 2 has none (usage error).
EPSG codes: --from, --to and -s also take EPSG:n (nuvex list shows them), e.g. EPSG:31467 (DHDN /
3-degree Gauss-Kruger zone 3) or EPSG:25832 (ETRS89 / UTM zone 32N, converted as WGS84). A
projected code is one zone: a point of another zone, or a --zone or --from-zone that contradicts
it, is refused. Coordinates stay x/y (longitude latitude, easting northing) whatever EPSG's axis
order; --axis lat-lon reads and writes geographic columns latitude first.

Examples:
  echo "10 50" | nuvex from-ll --system 3          -> 571666.448 5539109.815 32
  nuvex to-ll --system 1 points.txt                 (3571686.387 5540758.788 -> lon lat)
  nuvex from-ll --system 4 --zone-width 6 -p 2 geo.csv
  nuvex convert --from E:1 --to E:3 --zone 32 gk.txt > utm.txt
  nuvex convert --from EPSG:31467 --to EPSG:25832 gk.txt      (-> ETRS89 / UTM 32N)
  nuvex to-ll -s EPSG:31467 --axis lat-lon gk.txt             (-> latitude longitude)
  nuvex to-ll -s 1 --columns easting,northing survey.csv       (header, id first)
  nuvex to-ll -s 1 --columns 3,4 register.txt                  (coordinates in columns 3, 4)
  nuvex to-ll -s 1 --columns 2,3 --append --header pts.csv     (adds x_out,y_out at the end)
  nuvex to-ll -s 1 --append --out-names lon,lat pts.csv        (names of the added columns)
  nuvex from-ll -s 3 --header geo.txt                          (first line copied as header)
  nuvex to-ll -s 1 --delimiter ';' --columns 2,3 excel.csv     (semicolons, decimal comma)
  nuvex to-ll -s 3 --dms=2 utm.txt                             (-> 10°00'00.00"E 50°00'00.00"N)
  nuvex from-ll -s 3 --threads 2 --quiet big.txt               (two threads, no progress)
  nuvex convert --from E:1 --to E:3 --datum official gk.txt    (BeTA2007 grid, centimetres)
  nuvex to-ll -s 1 --datum official --grid NTv2_BW.gsb gk.txt  (a state's own NTv2 grid)
  nuvex demo)";

struct Options {
  std::string system;  // -s: 1 to 4, or a projected EPSG code
  std::optional<int> zone;
  std::optional<int> fromZone;
  int zoneWidth = kThreeDegreeZones;
  std::vector<CLI::Option*> zoneWidthOptions;  // to tell a given --zone-width from the default
  bool zonePrefix = false;
  std::string datum = "polynomial";  // --datum
  std::string grid;                  // --grid FILE, official datum shift only
  std::string from;
  std::string to;
  std::string precision;  // "M" or "M,D"; empty for the defaults
  std::vector<std::string> files;
  std::string columns;  // --columns X,Y[,ZONE]; empty for the leading columns
  bool append = false;
  std::string outNames;  // --out-names, comma-separated
  bool header = false;
  std::string delimiter;    // empty: detected per line
  int dms = kNoDms;         // decimals of DMS output, or kNoDms
  std::string dmsFlagText;  // what --dms[=DECIMALS] read, when given
  std::vector<CLI::Option*> dmsFlags;
  unsigned threads = 0;  // 0: every core
  bool quiet = false;
  std::string axis = kLongitudeFirst;  // order of geographic columns

  static constexpr const char* kLongitudeFirst = "lon-lat";
  static constexpr const char* kLatitudeFirst = "lat-lon";
  static constexpr int kNoDms = -1;
};

// Delimiters --delimiter takes, by the names it takes them.
struct DelimiterName {
  std::string_view name;
  char delimiter;
};
constexpr std::array<DelimiterName, 7> kDelimiterNames = {{{",", kCommaSeparator},
                                                           {";", kSemicolonSeparator},
                                                           {"|", '|'},
                                                           {"tab", kTabSeparator},
                                                           {"\\t", kTabSeparator},
                                                           {"\t", kTabSeparator},
                                                           {"space", kBlankSeparator}}};

std::optional<char> parseDelimiter(std::string_view text) {
  for (const DelimiterName& entry : kDelimiterNames) {
    if (entry.name == text) return entry.delimiter;
  }
  if (text == " ") return kBlankSeparator;
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

// Reads "M" or "M,D" (decimals of metres and of degrees); a single M gives degrees M+5.
std::optional<OutputPrecision> parsePrecision(std::string_view text) {
  auto readDecimals = [](std::string_view digits) -> std::optional<int> {
    int value = -1;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    if (error != std::errc{} || end != digits.data() + digits.size()) return std::nullopt;
    if (value < 0 || value > kMostDecimals) return std::nullopt;
    return value;
  };
  const std::size_t comma = text.find(',');
  const std::optional<int> metres = readDecimals(text.substr(0, comma));
  if (!metres) return std::nullopt;
  OutputPrecision precision;
  precision.metres = *metres;
  precision.degrees = std::min(*metres + kDegreeDecimalsBeyondMetres, kMostDecimals);
  if (comma == std::string_view::npos) return precision;
  const std::optional<int> degrees = readDecimals(text.substr(comma + 1));
  if (!degrees) return std::nullopt;
  precision.degrees = *degrees;
  return precision;
}

void addPrecisionOption(CLI::App& command, Options& options) {
  command
      .add_option("-p,--precision", options.precision,
                  "Decimals of metres[,degrees]: default 3,8; a single M means M,M+5")
      ->type_name("M[,D]")
      ->check(CLI::Validator(
          [](std::string& text) {
            return parsePrecision(text)
                       ? std::string()
                       : "expected M or M,D, decimals from 0 to " + std::to_string(kMostDecimals);
          },
          ""));
}

void addLayoutOptions(CLI::App& command, Options& options) {
  command
      .add_option("--columns", options.columns,
                  "Coordinate columns by position from 1 or by header name, e.g. 3,4 or "
                  "easting,northing,zone; the other columns stay in place")
      ->type_name("X,Y[,ZONE]")
      ->check(CLI::Validator(
          [](std::string& text) {
            std::string problem;
            return parseColumnSelection(text, problem) ? std::string() : problem;
          },
          ""));
  command.add_flag("--append", options.append,
                   "Keep every column as it is and add the converted values at the end");
  command
      .add_option("--out-names", options.outNames,
                  "Header names of the converted columns (default x_out,y_out[,zone_out] "
                  "added by --append, else easting,northing,zone or longitude,latitude)")
      ->type_name("X,Y[,ZONE]");
  command.add_flag("--header", options.header,
                   "The first line (not blank, not a comment) is a header: copy it");
  command
      .add_option("--delimiter", options.delimiter,
                  "Column delimiter: , ; | tab space (default: comma when the first field is "
                  "followed by one, else blanks); ';' reads and writes a decimal comma")
      ->check(CLI::Validator(
          [](std::string& text) {
            return parseDelimiter(text) ? std::string() : "expected one of , ; | tab space";
          },
          ""));
}

void addInputOptions(CLI::App& command, Options& options) {
  addPrecisionOption(command, options);
  options.zoneWidthOptions.push_back(
      command
          .add_option("--zone-width", options.zoneWidth,
                      "Zone width of system 4 in degrees: 3 or 6 (default 3, or the EPSG code's)")
          ->check(CLI::IsMember({kThreeDegreeZones, kSixDegreeZones})));
  command
      .add_option("--axis", options.axis,
                  "Order of geographic columns, in and out: lon-lat (default) or lat-lon")
      ->check(CLI::IsMember({Options::kLongitudeFirst, Options::kLatitudeFirst}));
  command
      .add_option("--datum", options.datum,
                  "Datum shift: polynomial (default) or official (BeTA2007 grid for system 1, "
                  "EPSG:1775 for system 4, system 3 taken as ETRS89)")
      ->check(CLI::IsMember({"polynomial", "official"}));
  command
      .add_option("--grid", options.grid,
                  "NTv2 file for system 1 with --datum official (default: the built-in BeTA2007)")
      ->type_name("FILE");
  addLayoutOptions(command, options);
  command
      .add_option("--threads", options.threads,
                  "Threads converting a large input (default 0: every core)")
      ->check(CLI::NonNegativeNumber);
  command.add_flag("-q,--quiet", options.quiet, "No progress on a terminal");
  command.add_option("files", options.files, "Input files; none or - reads standard input");
}

std::optional<int> readDmsDecimals(std::string_view text) {
  int decimals = -1;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), decimals);
  if (error != std::errc{} || end != text.data() + text.size()) return std::nullopt;
  if (decimals < 0 || decimals > kMostDmsDecimals) return std::nullopt;
  return decimals;
}

void addDmsOption(CLI::App& command, Options& options) {
  options.dmsFlags.push_back(
      command
          .add_flag("--dms{" + std::to_string(kDefaultDmsDecimals) + "}", options.dmsFlagText,
                    "Write longitude and latitude as degrees, minutes and seconds, with DECIMALS "
                    "decimals of the seconds (default " +
                        std::to_string(kDefaultDmsDecimals) + ")")
          ->type_name("[=DECIMALS]")
          ->check(CLI::Validator(
              [](std::string& text) {
                return readDmsDecimals(text)
                           ? std::string()
                           : "expected decimals from 0 to " + std::to_string(kMostDmsDecimals);
              },
              "")));
}

// The grid -s names: a system code 1 to 4, or a projected EPSG code (which fixes the zone).
NamedSystem parseGridSystem(const std::string& text) {
  if (!text.empty() && std::all_of(text.begin(), text.end(), [](char c) {
        return std::isdigit(static_cast<unsigned char>(c)) != 0;
      })) {
    const std::optional<CoordinateSystem> system = parseCoordinateSystem("E:" + text);
    if (!system) {
      throw std::invalid_argument("systems are 1 to 4, or a projected EPSG code, e.g. EPSG:31467");
    }
    return {*system, std::nullopt, std::nullopt, 0};
  }
  NamedSystem named = parseSystemName(text, "system");
  if (named.system.type != CoordinateType::Grid) {
    throw std::invalid_argument(text +
                                " is geographic: to-ll and from-ll take a grid (convert "
                                "takes any system)");
  }
  return named;
}

CLI::Option* addSystemOption(CLI::App& command, Options& options) {
  return command
      .add_option("-s,--system", options.system,
                  "Grid: system 1 to 4, or a projected EPSG code, e.g. EPSG:31467")
      ->required()
      ->type_name("SYS")
      ->check(CLI::Validator(
          [](std::string& text) {
            try {
              parseGridSystem(text);
              return std::string();
            } catch (const std::invalid_argument& error) {
              return std::string(error.what());
            }
          },
          ""));
}

CLI::Validator endpointValidator() {
  return CLI::Validator(
      [](std::string& text) {
        if (parseCoordinateSystem(text)) return std::string();
        try {
          parseSystemName(text, "system");
          return std::string();
        } catch (const std::invalid_argument& error) {
          return std::string(error.what());
        }
      },
      "");
}

// ---- Checks that need more than one option ---------------------------------------------------

// Nothing when the combination is sound, else the message for a usage error.
std::optional<std::string> checkOutputZone(const ConversionSettings& settings) {
  if (!settings.targetZone) return std::nullopt;
  if (settings.to.type != CoordinateType::Grid) {
    return "--zone: the output is geographic and has no zone";
  }
  const ZoneRange range = outputZoneRange(settings.to.system, settings.zoneWidth);
  if (range.contains(*settings.targetZone)) return std::nullopt;
  return "--zone " + std::to_string(*settings.targetZone) + ": zones of " +
         systemTitle(settings.to.system, settings.zoneWidth) + " are " +
         std::to_string(range.lowest) + " to " + std::to_string(range.highest);
}

std::optional<std::string> checkInputZone(const InputColumns& columns, const char* optionName) {
  if (!columns.fixedZone) return std::nullopt;
  if (columns.type != CoordinateType::Grid) {
    return std::string(optionName) + ": the input is geographic and has no zone";
  }
  if (isGaussKrueger(columns.system)) {
    return std::string(optionName) + ": Gauss-Krueger eastings of system " +
           std::to_string(columns.system) + " carry their zone in the millions";
  }
  if (kUtmInputZoneRange.contains(*columns.fixedZone)) return std::nullopt;
  return std::string(optionName) + " " + std::to_string(*columns.fixedZone) + ": UTM zones are " +
         std::to_string(kUtmInputZoneRange.lowest) + " (from the easting) to " +
         std::to_string(kUtmInputZoneRange.highest);
}

std::optional<std::string> checkZonePrefix(const ConversionSettings& settings) {
  if (settings.zonePrefix && settings.to.type != CoordinateType::Grid) {
    return "--zone-prefix: the output is geographic and has no easting";
  }
  if (settings.zonePrefix && isGaussKrueger(settings.to.system)) {
    return "--zone-prefix: Gauss-Krueger eastings of system " + std::to_string(settings.to.system) +
           " carry their zone in the millions already";
  }
  return std::nullopt;
}

// ---- What EPSG codes fix ------------------------------------------------------------------------

// One side of a conversion as the command line names it.
struct NamedSide {
  NamedSystem named;
  std::string text;  // as given, for messages
};

bool zoneWidthGiven(const Options& options) {
  return std::any_of(options.zoneWidthOptions.begin(), options.zoneWidthOptions.end(),
                     [](const CLI::Option* option) { return option->count() > 0; });
}

// The zone width system 4 is converted with: the one an EPSG code of system 4 fixes, else
// --zone-width. Nothing when the two sides or --zone-width disagree (the message says why).
std::optional<int> fixedZoneWidth(const NamedSide& from, const NamedSide& to,
                                  const Options& options, std::string& problem) {
  std::optional<int> width;
  std::string fixedBy;
  for (const NamedSide* side : {&from, &to}) {
    const std::optional<int>& named = side->named.zoneWidth;
    if (side->named.system.system != kLastSystem || !named) continue;
    if (width && *width != *named) {
      problem = fixedBy + " has " + std::to_string(*width) + " deg zones and " + side->text + " " +
                std::to_string(*named) + " deg zones: convert through G:4 in two steps";
      return std::nullopt;
    }
    width = named;
    fixedBy = side->text;
  }
  if (!width) return options.zoneWidth;
  if (zoneWidthGiven(options) && options.zoneWidth != *width) {
    problem = "--zone-width " + std::to_string(options.zoneWidth) + ": " + fixedBy + " has " +
              std::to_string(*width) + " deg zones";
    return std::nullopt;
  }
  return width;
}

// Applies the zones and zone width the EPSG codes of the two sides fix; a usage error when an
// option contradicts them. inputZoneOption names the option that gives the input zone.
void applyNamedSides(const NamedSide& from, const NamedSide& to, const Options& options,
                     const char* inputZoneOption, ConversionSettings& settings,
                     InputColumns& columns) {
  std::string problem;
  const std::optional<int> width = fixedZoneWidth(from, to, options, problem);
  if (!width) throw CLI::ValidationError(problem);
  settings.zoneWidth = *width;
  if (const std::optional<int> zone = from.named.zone) {
    if (columns.fixedZone && *columns.fixedZone != *zone) {
      throw CLI::ValidationError(std::string(inputZoneOption) + " " +
                                 std::to_string(*columns.fixedZone) + ": " + from.text +
                                 " is zone " + std::to_string(*zone));
    }
    columns.namedZone = zone;
    if (!isGaussKrueger(columns.system)) columns.fixedZone = zone;
  }
  if (const std::optional<int> zone = to.named.zone) {
    if (settings.targetZone && *settings.targetZone != *zone) {
      throw CLI::ValidationError("--zone " + std::to_string(*settings.targetZone) + ": " + to.text +
                                 " is zone " + std::to_string(*zone));
    }
    if (settings.zonePrefix && !isGaussKrueger(settings.to.system)) {
      throw CLI::ValidationError("--zone-prefix: eastings of " + to.text +
                                 " carry no zone in their millions");
    }
    settings.targetZone = zone;
  }
}

// --axis lat-lon: the geographic sides' columns are latitude first.
void applyAxisOrder(const Options& options, const ConversionSettings& settings,
                    InputColumns& columns) {
  if (options.axis != Options::kLatitudeFirst) return;
  if (settings.from.type != CoordinateType::Geographic &&
      settings.to.type != CoordinateType::Geographic) {
    throw CLI::ValidationError("--axis: neither side is geographic");
  }
  columns.latitudeFirst = settings.from.type == CoordinateType::Geographic;
}

// An option that changes nothing for the systems asked for is a mistake to point out.
std::optional<std::string> checkZoneWidth(const ConversionSettings& settings,
                                          const Options& options) {
  const bool given = zoneWidthGiven(options);
  const bool gridOfFour =
      (settings.from.type == CoordinateType::Grid && settings.from.system == 4) ||
      (settings.to.type == CoordinateType::Grid && settings.to.system == 4);
  if (!given || gridOfFour) return std::nullopt;
  return "--zone-width: only the grid of system 4 has 3 or 6 deg zones; the other grids' zones are "
         "fixed";
}

OutputPrecision outputPrecision(const std::string& text) {
  return text.empty() ? OutputPrecision{} : parsePrecision(text).value_or(OutputPrecision{});
}

// Checks of the columns and output options against the conversion; nothing when they are sound.
std::optional<std::string> checkLayout(const ConversionSettings& settings,
                                       const InputColumns& columns, const Options& options,
                                       const std::optional<ColumnSelection>& selection) {
  const bool gridOutput = settings.to.type == CoordinateType::Grid;
  if (!options.outNames.empty()) {
    const std::size_t wanted = gridOutput ? kCoordinateAndZoneColumns : kCoordinateColumns;
    if (splitNames(options.outNames).size() != wanted) {
      return gridOutput ? "--out-names: grid output adds three columns (x, y, zone)"
                        : "--out-names: geographic output adds two columns (x, y)";
    }
  }
  if (options.dms != Options::kNoDms && gridOutput) {
    return "--dms: the output is a grid, not degrees";
  }
  if (!selection) return std::nullopt;
  const bool hasZoneColumn = selection->columns.size() == kCoordinateAndZoneColumns;
  if (readsZoneColumn(columns) && !hasZoneColumn) {
    return "--columns: UTM grid input needs a zone column (X,Y,ZONE) or a zone option";
  }
  if (gridOutput && !isGaussKrueger(settings.to.system) && !hasZoneColumn && !options.append &&
      !settings.targetZone && !settings.zonePrefix) {
    return "--columns: the zone of UTM output needs a column (X,Y,ZONE), --zone, --zone-prefix "
           "or --append";
  }
  return std::nullopt;
}

// The layout every input starts from; names in --columns are resolved per input, at its header.
LineLayout baseLayout(const InputColumns& columns, const Options& options,
                      const std::optional<ColumnSelection>& selection) {
  LineLayout layout{columns, std::nullopt, 0, kDecimalPoint};
  if (!options.delimiter.empty()) layout.delimiter = *parseDelimiter(options.delimiter);
  if (layout.delimiter == kSemicolonSeparator) layout.decimalMark = kDecimalComma;
  if (selection && !selection->namesAny()) {
    std::string positionsNeedNoHeader;
    layout.picked = resolveColumns(*selection, {}, positionsNeedNoHeader);
  } else if (!selection && options.append) {
    layout.picked = ColumnIndices{0, 1, std::nullopt};
    if (readsZoneColumn(columns)) layout.picked->zone = 2;
  }
  return layout;
}

OutputStyle outputStyle(const ConversionSettings& settings, const Options& options) {
  OutputStyle style;
  style.latitudeFirst =
      options.axis == Options::kLatitudeFirst && settings.to.type == CoordinateType::Geographic;
  style.precision = outputPrecision(options.precision);
  if (options.dms != Options::kNoDms) style.dmsDecimals = options.dms;
  style.placement = options.append             ? Placement::Appended
                    : !options.columns.empty() ? Placement::InPlace
                                               : Placement::Leading;
  return style;
}

HeaderSettings headerSettings(const ConversionSettings& settings, const Options& options,
                              const std::optional<ColumnSelection>& selection) {
  HeaderSettings header{selection, outputStyle(settings, options).placement, {}, {}};
  const bool grid = settings.to.type == CoordinateType::Grid;
  const std::size_t count = grid ? kCoordinateAndZoneColumns : kCoordinateColumns;
  for (std::size_t i = 0; i < count; ++i) {
    header.outputNames.emplace_back(kDefaultOutputNames[i]);
    header.heldNames.emplace_back(grid ? kGridOutputNames[i] : kGeographicOutputNames[i]);
  }
  if (!options.outNames.empty())
    header.outputNames = header.heldNames = splitNames(options.outNames);
  return header;
}

// ---- Running a conversion ----------------------------------------------------------------------

unsigned workerThreads(const Options& options) {
  // More threads than this gain nothing on any machine the converter meets, and each costs memory.
  constexpr unsigned kMostThreads = 256;
  if (options.threads > 0) return std::min(options.threads, kMostThreads);
  return std::max(1u, std::thread::hardware_concurrency());
}

void processFile(BlockPipeline& pipeline, const std::string& name,
                 const std::shared_ptr<const InputContext>& context, const HeaderReader* header) {
  if (name == kStandardInputName) {
    pipeline.process(std::cin, context, header, 0);
    return;
  }
  std::error_code error;
  if (std::filesystem::is_directory(name, error)) {
    pipeline.reportUnreadable(name, "is a directory");
    return;
  }
  std::ifstream file(name, std::ios::binary);
  if (!file) {
    pipeline.reportUnreadable(name, std::string("cannot open: ") + std::strerror(errno));
    return;
  }
  const std::uintmax_t size =
      std::filesystem::is_regular_file(name, error) ? std::filesystem::file_size(name, error) : 0;
  pipeline.process(file, context, header, error ? 0 : size);
}

// The datum choice of --datum and --grid; refused as a usage error where it cannot serve (system
// 2 has no official transformation; a grid file that cannot be read).
nuvex::DatumChoice datumChoice(const Options& options, const ConversionSettings& settings) {
  const bool official = options.datum == "official";
  if (!official) {
    if (!options.grid.empty()) throw CLI::ValidationError("--grid needs --datum official");
    return {};
  }
  if (const auto problem = officialDatumProblem(settings.from.system, settings.to.system)) {
    throw CLI::ValidationError("--datum official: " + *problem);
  }
  nuvex::DatumChoice datum{nuvex::DatumShift::Official, options.grid};
  try {
    const BatchConverter check(ConversionSettings{settings.from, settings.to, settings.zoneWidth,
                                                  std::nullopt, false, datum});
  } catch (const std::invalid_argument& error) {
    throw CLI::ValidationError("--grid: " + std::string(error.what()));
  }
  return datum;
}

int runConversion(ConversionSettings settings, const InputColumns& columns,
                  const Options& options) {
  settings.datum = datumChoice(options, settings);
  for (const auto& problem :
       {checkOutputZone(settings), checkZonePrefix(settings), checkZoneWidth(settings, options)}) {
    if (problem) throw CLI::ValidationError(*problem);
  }
  std::optional<ColumnSelection> selection;
  if (!options.columns.empty()) {
    std::string problem;
    selection = parseColumnSelection(options.columns, problem);
  }
  if (auto problem = checkLayout(settings, columns, options, selection)) {
    throw CLI::ValidationError(*problem);
  }
  const LineLayout layout = baseLayout(columns, options, selection);
  const BlockConverter converter(settings, outputStyle(settings, options));
  ProgressMeter progress(std::cerr, !options.quiet && standardErrorIsTerminal());
  BlockPipeline pipeline(converter, workerThreads(options), std::cout, std::cerr, progress);
  const HeaderSettings headerOptions = headerSettings(settings, options, selection);
  const bool hasHeader = options.header || (selection && selection->namesAny());

  std::vector<std::string> files = options.files;
  if (files.empty()) files.push_back(kStandardInputName);
  for (const std::string& name : files) {
    const std::string label = name == kStandardInputName ? kStandardInputLabel : name;
    const auto context = std::make_shared<const InputContext>(InputContext{label, layout, {}});
    const HeaderReader header = [&](std::string_view line, std::size_t lineNumber) {
      return readHeader(line, lineNumber, *context, headerOptions);
    };
    processFile(pipeline, name, context, hasHeader ? &header : nullptr);
  }
  std::cout.flush();
  if (!std::cout) {
    std::cerr << "nuvex: cannot write the output\n";
    return kDataError;
  }
  return pipeline.hadDataErrors() ? kDataError : kSuccess;
}

int runToLL(const Options& options) {
  const NamedSide grid{parseGridSystem(options.system), options.system};
  const NamedSide wgs84{{{CoordinateType::Geographic, kWgs84System}, {}, {}, 0}, "G:3"};
  InputColumns columns{CoordinateType::Grid, grid.named.system.system, options.zone};
  if (auto problem = checkInputZone(columns, "--zone")) throw CLI::ValidationError(*problem);
  ConversionSettings settings{grid.named.system, wgs84.named.system, options.zoneWidth,
                              std::nullopt, false};
  applyNamedSides(grid, wgs84, options, "--zone", settings, columns);
  applyAxisOrder(options, settings, columns);
  return runConversion(settings, columns, options);
}

int runFromLL(const Options& options) {
  const NamedSide wgs84{{{CoordinateType::Geographic, kWgs84System}, {}, {}, 0}, "G:3"};
  const NamedSide grid{parseGridSystem(options.system), options.system};
  InputColumns columns{CoordinateType::Geographic, kWgs84System, std::nullopt};
  ConversionSettings settings{wgs84.named.system, grid.named.system, options.zoneWidth,
                              options.zone, options.zonePrefix};
  applyNamedSides(wgs84, grid, options, "--zone", settings, columns);
  applyAxisOrder(options, settings, columns);
  return runConversion(settings, columns, options);
}

int runConvert(const Options& options) {
  const NamedSide from{parseSystemName(options.from, "source"), options.from};
  const NamedSide to{parseSystemName(options.to, "target"), options.to};
  InputColumns columns{from.named.system.type, from.named.system.system, options.fromZone};
  if (auto problem = checkInputZone(columns, "--from-zone")) throw CLI::ValidationError(*problem);
  ConversionSettings settings{from.named.system, to.named.system, options.zoneWidth, options.zone,
                              options.zonePrefix};
  applyNamedSides(from, to, options, "--from-zone", settings, columns);
  applyAxisOrder(options, settings, columns);
  return runConversion(settings, columns, options);
}

// The EPSG codes the converter takes, one per line.
int runList() {
  std::cout << "EPSG   system zone width name\n";
  for (const EpsgCode& row : epsgCodes()) {
    const bool grid = row.system.type == CoordinateType::Grid;
    char line[kListLineCapacity];
    std::snprintf(line, sizeof line, "%-6d %-6s %4s %5s %s\n", row.code,
                  formatCoordinateSystem(row.system).c_str(),
                  grid ? std::to_string(row.zone).c_str() : "-",
                  grid ? std::to_string(row.zoneWidth).c_str() : "-", row.name.c_str());
    std::cout << line;
  }
  std::cout << kListNotes;
  return kSuccess;
}

int runDemo(const Options& options) {
  const bool complete = printDemo(std::cout, outputPrecision(options.precision));
  return complete ? kSuccess : kDataError;
}

}  // namespace

int main(int argc, char** argv) {
  std::ios::sync_with_stdio(false);  // lets a pipe's pending input be seen (batching)
  Options options;

  CLI::App app("nuvex " NUVEX_VERSION
               " - converts coordinates between the grids and datums of four systems",
               "nuvex");
  app.footer(kFooter);
  app.set_version_flag("--version", "nuvex " NUVEX_VERSION);
  app.require_subcommand(0, 1);

  CLI::App* toLL =
      app.add_subcommand("to-ll", "Grid of --system to WGS84 longitude and latitude (degrees)");
  addSystemOption(*toLL, options);
  toLL->add_option("-z,--zone", options.zone,
                   "Zone of every UTM input point (system 2, 3) instead of a zone column");
  addInputOptions(*toLL, options);
  addDmsOption(*toLL, options);

  CLI::App* fromLL = app.add_subcommand(
      "from-ll", "WGS84 longitude and latitude (degrees) to the grid of --system");
  addSystemOption(*fromLL, options);
  fromLL->add_option("-z,--zone", options.zone,
                     "Project into this zone instead of the zone of each point's longitude");
  fromLL->add_flag("--zone-prefix", options.zonePrefix,
                   "Write the zone into the millions of UTM eastings, as Gauss-Krueger "
                   "eastings have it");
  addInputOptions(*fromLL, options);

  CLI::App* convert =
      app.add_subcommand("convert", "Any type and system to any other, e.g. --from E:1 --to G:3");
  convert
      ->add_option("--from", options.from,
                   "Input TYPE:SYSTEM (TYPE E grid, G geographic) or EPSG code, e.g. EPSG:31467")
      ->required()
      ->type_name("SYSTEM")
      ->check(endpointValidator());
  convert->add_option("--to", options.to, "Output TYPE:SYSTEM or EPSG code, e.g. EPSG:25832")
      ->required()
      ->type_name("SYSTEM")
      ->check(endpointValidator());
  convert->add_option("-z,--zone", options.zone,
                      "Zone of grid output instead of the zone of each point's longitude");
  convert->add_option("--from-zone", options.fromZone,
                      "Zone of every UTM input point instead of a zone column");
  convert->add_flag("--zone-prefix", options.zonePrefix,
                    "Write the zone into the millions of UTM output eastings");
  addInputOptions(*convert, options);
  addDmsOption(*convert, options);

  CLI::App* list = app.add_subcommand("list", "The EPSG codes --from, --to and -s take");

  CLI::App* demo =
      app.add_subcommand("demo", "Sample points in Germany on every system, as a table");
  addPrecisionOption(*demo, options);

  if (argc == 1) {  // the demo is `nuvex demo`; no arguments asks how to use it
    std::cout << app.help();
    return kSuccess;
  }
  // "--dms 2" is read as "--dms=2" (a blank instead of '='), unless a file is named so.
  std::vector<std::string> arguments(argv + 1, argv + argc);
  for (std::size_t i = 0; i + 1 < arguments.size(); ++i) {
    std::error_code error;
    if (arguments[i] == "--dms" && readDmsDecimals(arguments[i + 1]) &&
        !std::filesystem::exists(arguments[i + 1], error)) {
      arguments[i] += "=" + arguments[i + 1];
      arguments.erase(arguments.begin() + static_cast<std::ptrdiff_t>(i) + 1);
    }
  }
  std::reverse(arguments.begin(), arguments.end());  // CLI11 takes them last first
  try {
    app.parse(arguments);
    for (const CLI::Option* flag : options.dmsFlags) {
      if (flag->count() > 0) options.dms = *readDmsDecimals(options.dmsFlagText);
    }
    installHostCallbacks();
    if (toLL->parsed()) return runToLL(options);
    if (fromLL->parsed()) return runFromLL(options);
    if (convert->parsed()) return runConvert(options);
    if (list->parsed()) return runList();
    return runDemo(options);
  } catch (const CLI::ParseError& error) {
    const int status = app.exit(error);
    return status == kSuccess ? kSuccess : kUsageError;
  } catch (const std::exception& error) {
    std::cout.flush();
    std::cerr << "nuvex: " << error.what() << '\n';
    return kDataError;
  }
}
