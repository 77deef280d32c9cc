// The converter's command line: its commands and their options (the option table), and the
// readers of option values that the checks and the run share.
#pragma once

#include <CLI/CLI.hpp>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "block_converter.h"
#include "nuvex/systems.h"

namespace nuvex::cli {

inline constexpr int kMostDecimals = 15;  // beyond this a double has no digits left to show

struct Options {
  std::string system;  // -s: 1 to 5, or a projected EPSG code
  std::optional<int> zone;
  std::optional<int> fromZone;
  int zoneWidth = kThreeDegreeZones;
  std::vector<CLI::Option*> zoneWidthOptions;  // to tell a given --zone-width from the default
  bool zonePrefix = false;
  std::string datum = "polynomial";  // --datum
  std::string grid;                  // --grid FILE, official datum shift only
  std::string heightFrom;            // --height-from KIND; empty: the source code's heights
  std::string heightTo;              // --height-to KIND; empty: the target code's heights
  std::string geoid;                 // --geoid FILE, heights only; empty: the built-in GCG2016
  std::string epoch;        // --epoch YEAR|DATE: of every point of a conversion with system 5
  std::string epochColumn;  // --epoch-column NAME|N: an epoch per point; empty: none
  std::string from;
  std::string to;
  std::string precision;  // "M" or "M,D"; empty for the defaults
  std::vector<std::string> files;
  std::string columns;  // --columns X,Y[,ZONE] (X,Y,H[,ZONE]); empty for the leading columns
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

// The commands of the command line.
struct Commands {
  CLI::App* toLL;
  CLI::App* fromLL;
  CLI::App* convert;
  CLI::App* list;
  CLI::App* demo;
};

// Adds the commands and their options to app; parsing fills options.
Commands defineCommands(CLI::App& app, Options& options);

// The arguments after the program's name as CLI11 takes them.
std::vector<std::string> commandArguments(int argc, char** argv);

// After parsing: the decimals a given --dms[=DECIMALS] asks for.
void readDmsFlags(Options& options);

// The kinds of height --height-from and --height-to name: none, ellipsoidal, dhhn2016.
std::optional<HeightKind> parseHeightKind(std::string_view text);
const char* heightKindName(HeightKind kind);

std::optional<char> parseDelimiter(std::string_view text);
std::vector<std::string> splitNames(std::string_view text);
// Reads "M" or "M,D" (decimals of metres and of degrees); a single M gives degrees M+5.
std::optional<OutputPrecision> parsePrecision(std::string_view text);
OutputPrecision outputPrecision(const std::string& text);
std::optional<int> readDmsDecimals(std::string_view text);
// Reads the value of --epoch: a decimal year or a date (see parseEpoch) from 1990 to 2100.
std::optional<double> parseEpochOption(std::string_view text);
// The grid -s names: a system code 1 to 5, or a projected EPSG code (which fixes the zone) in any
// form the library reads, e.g. EPSG:31467 or 31467; either may carry an epoch ("5@2026.9").
NamedSystem parseGridSystem(const std::string& text);

}  // namespace nuvex::cli
