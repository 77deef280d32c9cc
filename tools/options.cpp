#include "options.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>
#include <filesystem>
#include <stdexcept>
#include <system_error>

#include "column_selection.h"
#include "csv_fields.h"
#include "dms.h"
#include "help_text.h"
#include "point_reader.h"

#ifndef NUVEX_VERSION
#define NUVEX_VERSION "unknown"
#endif

namespace nuvex::cli {
namespace {

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

// Height kinds by the names --height-from and --height-to take.
struct HeightKindName {
  std::string_view name;
  HeightKind kind;
};
constexpr std::array<HeightKindName, 3> kHeightKindNames = {
    {{"none", HeightKind::None},
     {"ellipsoidal", HeightKind::Ellipsoidal},
     {"dhhn2016", HeightKind::Normal}}};

}  // namespace

std::optional<HeightKind> parseHeightKind(std::string_view text) {
  for (const HeightKindName& entry : kHeightKindNames) {
    if (entry.name == text) return entry.kind;
  }
  return std::nullopt;
}

const char* heightKindName(HeightKind kind) {
  for (const HeightKindName& entry : kHeightKindNames) {
    if (entry.kind == kind) return entry.name.data();
  }
  return "";
}

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

namespace {

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
                  "easting,northing,zone; with heights X,Y,H[,ZONE]; the other columns stay in "
                  "place")
      ->type_name("X,Y[,H][,ZONE]")
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
                  "Header names of the converted columns (default x_out,y_out[,h_out][,zone_out] "
                  "added by --append, else easting,northing[,height],zone or "
                  "longitude,latitude[,height])")
      ->type_name("X,Y[,H][,ZONE]");
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

CLI::Validator heightKindValidator() {
  return CLI::Validator(
      [](std::string& text) {
        return parseHeightKind(text) ? std::string() : "expected none, ellipsoidal or dhhn2016";
      },
      "");
}

void addHeightOptions(CLI::App& command, Options& options) {
  command
      .add_option("--height-from", options.heightFrom,
                  "Height of the input (the third coordinate): none, ellipsoidal (ETRS89, or "
                  "Krassowsky on system 4) or dhhn2016 (normal height); default: the EPSG "
                  "code's (EPSG:4937 ellipsoidal, EPSG:31467+7837 dhhn2016), else none")
      ->type_name("KIND")
      ->check(heightKindValidator());
  command
      .add_option("--height-to", options.heightTo,
                  "Height of the output, as --height-from; heights are converted with --datum "
                  "official where both sides have one")
      ->type_name("KIND")
      ->check(heightKindValidator());
  command
      .add_option("--geoid", options.geoid,
                  "Quasigeoid between ellipsoidal and DHHN2016 heights: a vertical GeoTIFF grid "
                  "(default: the built-in GCG2016)")
      ->type_name("FILE");
}

void addEpochOptions(CLI::App& command, Options& options) {
  command
      .add_option("--epoch", options.epoch,
                  "Epoch of the points where system 5 (ITRF2020) meets another system: a decimal "
                  "year or a date, e.g. 2026.9 or 2026-11-24 (also as EPSG:9990@2026.9)")
      ->type_name("YEAR|DATE")
      ->check(CLI::Validator(
          [](std::string& text) {
            return parseEpochOption(text) ? std::string()
                                          : "expected a decimal year or a date (YYYY-MM-DD) from "
                                            "1990 to 2100, e.g. 2026.9 or 2026-11-24";
          },
          ""));
  command
      .add_option("--epoch-column", options.epochColumn,
                  "An epoch per point, from this column (position from 1 or header name; a "
                  "decimal year or a date), kept in the output")
      ->type_name("NAME|N")
      ->check(CLI::Validator(
          [](std::string& text) {
            std::string problem;
            return parseColumnReference(text, problem) ? std::string() : problem;
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
                  "EPSG:1775 for system 4, EPSG:10586 for system 5, system 3 taken as ETRS89)")
      ->check(CLI::IsMember({"polynomial", "official"}));
  command
      .add_option("--grid", options.grid,
                  "NTv2 or GeoTIFF grid for system 1 with --datum official (default: the built-in "
                  "BeTA2007)")
      ->type_name("FILE");
  addHeightOptions(command, options);
  addEpochOptions(command, options);
  addLayoutOptions(command, options);
  command
      .add_option("--threads", options.threads,
                  "Threads converting a large input (default 0: every core)")
      ->check(CLI::NonNegativeNumber);
  command.add_flag("-q,--quiet", options.quiet, "No progress on a terminal");
  command.add_option("files", options.files, "Input files; none or - reads standard input");
}

}  // namespace

std::optional<int> readDmsDecimals(std::string_view text) {
  int decimals = -1;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), decimals);
  if (error != std::errc{} || end != text.data() + text.size()) return std::nullopt;
  if (decimals < 0 || decimals > kMostDmsDecimals) return std::nullopt;
  return decimals;
}

std::optional<double> parseEpochOption(std::string_view text) {
  const std::optional<double> epoch = readEpoch(text);
  if (!epoch || !isAcceptableEpoch(*epoch)) return std::nullopt;
  return epoch;
}

namespace {

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

// from-ll writes a grid: --dms, with any value, is taken unseen so that the checks refuse it with
// the reason rather than as an unknown argument.
void addRefusedDmsOption(CLI::App& command, Options& options) {
  options.dmsFlags.push_back(
      command.add_flag("--dms{" + std::to_string(kDefaultDmsDecimals) + "}", options.dmsFlagText)
          ->group(""));
}

}  // namespace

// The grid -s names: a system code 1 to 5, or a projected EPSG code (which fixes the zone) in any
// form the library reads, e.g. EPSG:31467 or 31467; either may carry an epoch ("5@2026.9").
NamedSystem parseGridSystem(const std::string& text) {
  // EPSG codes of coordinate systems have four digits or more; a shorter number is a system code.
  constexpr std::size_t kLongestSystemNumber = 3;
  const std::size_t at = text.find('@');
  const std::string_view code = std::string_view(text).substr(0, at);
  if (!code.empty() && code.size() <= kLongestSystemNumber &&
      std::all_of(code.begin(), code.end(),
                  [](char c) { return std::isdigit(static_cast<unsigned char>(c)) != 0; })) {
    const std::optional<CoordinateSystem> system = parseCoordinateSystem("E:" + std::string(code));
    if (!system) {
      throw std::invalid_argument("systems are 1 to 5, or a projected EPSG code, e.g. EPSG:31467");
    }
    NamedSystem named{*system, std::nullopt, std::nullopt, 0};
    if (at == std::string::npos) return named;
    named.epoch = parseEpochOption(std::string_view(text).substr(at + 1));
    if (!named.epoch) {
      throw std::invalid_argument("system '" + text + "': the epoch '" + text.substr(at + 1) +
                                  "' is no decimal year or date from 1990 to 2100, e.g. '" +
                                  std::string(code) + "@2026.9'");
    }
    return named;
  }
  NamedSystem named = parseSystemName(text, "system");
  if (named.system.type != CoordinateType::Grid) {
    throw std::invalid_argument(text +
                                " is geographic: to-ll and from-ll take a grid (convert "
                                "takes any system)");
  }
  return named;
}

namespace {

CLI::Option* addSystemOption(CLI::App& command, Options& options) {
  return command
      .add_option("-s,--system", options.system,
                  "Grid: system 1 to 5, or a projected EPSG code, e.g. EPSG:31467")
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

}  // namespace

OutputPrecision outputPrecision(const std::string& text) {
  return text.empty() ? OutputPrecision{} : parsePrecision(text).value_or(OutputPrecision{});
}

Commands defineCommands(CLI::App& app, Options& options) {
  app.footer(kHelpFooter);
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
  addRefusedDmsOption(*fromLL, options);

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
  return {toLL, fromLL, convert, list, demo};
}

namespace {

// A whole number, as "--dms 11" or "--dms -1" would give decimals: read as --dms's value (and
// refused there when out of range) rather than as a file name.
bool looksLikeDecimals(std::string_view text) {
  if (text.starts_with('-')) text.remove_prefix(1);
  return !text.empty() && std::all_of(text.begin(), text.end(), [](char c) {
    return std::isdigit(static_cast<unsigned char>(c)) != 0;
  });
}

}  // namespace

std::vector<std::string> commandArguments(int argc, char** argv) {
  // "--dms 2" is read as "--dms=2" (a blank instead of '='), unless a file is named so.
  std::vector<std::string> arguments(argv + 1, argv + argc);
  for (std::size_t i = 0; i + 1 < arguments.size(); ++i) {
    std::error_code error;
    if (arguments[i] == "--dms" && looksLikeDecimals(arguments[i + 1]) &&
        !std::filesystem::exists(arguments[i + 1], error)) {
      arguments[i] += "=" + arguments[i + 1];
      arguments.erase(arguments.begin() + static_cast<std::ptrdiff_t>(i) + 1);
    }
  }
  std::reverse(arguments.begin(), arguments.end());  // CLI11 takes them last first
  return arguments;
}

void readDmsFlags(Options& options) {
  for (const CLI::Option* flag : options.dmsFlags) {
    // Any value of the unseen --dms of from-ll counts as given (it is refused).
    if (flag->count() > 0) options.dms = readDmsDecimals(options.dmsFlagText).value_or(0);
  }
}

}  // namespace nuvex::cli
