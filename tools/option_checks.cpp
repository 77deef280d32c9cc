#include "option_checks.h"

#include <algorithm>
#include <stdexcept>

namespace nuvex::cli {

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

namespace {

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

}  // namespace

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

namespace {

// How a code's heights are called in messages.
const char* describeHeights(HeightKind kind) {
  return kind == HeightKind::Normal ? "DHHN2016 heights" : "ellipsoidal heights";
}

HeightKind sideHeight(const NamedSide& side, const char* optionName, const std::string& given) {
  const HeightKind named = side.named.height;
  if (given.empty()) return named;
  const HeightKind asked = parseHeightKind(given).value_or(HeightKind::None);
  if (named == HeightKind::None || named == asked) return asked;
  throw CLI::ValidationError(std::string(optionName) + " " + given + ": " + side.text + " has " +
                             describeHeights(named));
}

}  // namespace

HeightChoice heightChoice(const NamedSide& from, const NamedSide& to, const Options& options) {
  return {sideHeight(from, "--height-from", options.heightFrom),
          sideHeight(to, "--height-to", options.heightTo), options.geoid};
}

std::optional<std::string> checkHeightDatum(const ConversionSettings& settings) {
  const HeightChoice& heights = settings.heights;
  if (heights.from == HeightKind::None || heights.to == HeightKind::None ||
      settings.datum.method == DatumShift::Official) {
    return std::nullopt;
  }
  const std::string what = std::string("heights (") + heightKindName(heights.from) + " to " +
                           heightKindName(heights.to) + ")";
  if (const auto problem = officialDatumProblem(settings.from.system, settings.to.system)) {
    return what + " are converted by the official datum transformations only, and " + *problem;
  }
  return what + " are converted by the official datum transformations only: add --datum official";
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

namespace {

std::optional<std::string> checkOutputNames(const ConversionSettings& settings,
                                            const Options& options) {
  if (options.outNames.empty()) return std::nullopt;
  const bool gridOutput = settings.to.type == CoordinateType::Grid;
  const bool height = convertsHeights(settings);
  const std::size_t wanted = kCoordinateColumns + (height ? 1 : 0) + (gridOutput ? 1 : 0);
  if (splitNames(options.outNames).size() == wanted) return std::nullopt;
  if (!height) {
    return gridOutput ? "--out-names: grid output adds three columns (x, y, zone)"
                      : "--out-names: geographic output adds two columns (x, y)";
  }
  return gridOutput ? "--out-names: grid output with heights adds four columns (x, y, height, zone)"
                    : "--out-names: geographic output with heights adds three columns (x, y, "
                      "height)";
}

std::optional<std::string> checkChosenColumns(const ConversionSettings& settings,
                                              const InputColumns& columns, const Options& options,
                                              const ColumnSelection& selection) {
  const bool gridOutput = settings.to.type == CoordinateType::Grid;
  const bool height = convertsHeights(settings);
  if (height && selection.columns.size() == kCoordinateColumns) {
    return "--columns: heights are converted: name the height column too (X,Y,H or X,Y,H,ZONE)";
  }
  if (!height && selection.columns.size() == kMostChosenColumns) {
    return "--columns: four columns are X,Y,H,ZONE, with a height only where heights are "
           "converted (--height-from, --height-to)";
  }
  const std::string zoneForm = height ? "X,Y,H,ZONE" : "X,Y,ZONE";
  const bool hasZoneColumn = selection.hasZone();
  if (readsZoneColumn(columns) && !hasZoneColumn) {
    return "--columns: UTM grid input needs a zone column (" + zoneForm + ") or a zone option";
  }
  if (gridOutput && !isGaussKrueger(settings.to.system) && !hasZoneColumn && !options.append &&
      !settings.targetZone && !settings.zonePrefix) {
    return "--columns: the zone of UTM output needs a column (" + zoneForm +
           "), --zone, --zone-prefix or --append";
  }
  return std::nullopt;
}

}  // namespace

// Checks of the columns and output options against the conversion; nothing when they are sound.
std::optional<std::string> checkLayout(const ConversionSettings& settings,
                                       const InputColumns& columns, const Options& options,
                                       const std::optional<ColumnSelection>& selection) {
  if (auto problem = checkOutputNames(settings, options)) return problem;
  if (options.dms != Options::kNoDms && settings.to.type == CoordinateType::Grid) {
    return "--dms: the output is a grid, not degrees";
  }
  if (!selection) return std::nullopt;
  return checkChosenColumns(settings, columns, options, *selection);
}

// The datum choice of --datum and --grid; refused as a usage error where it cannot serve (system
// 2 has no official transformation; a grid file that cannot be read).
nuvex::DatumChoice datumChoice(const Options& options, const ConversionSettings& settings) {
  const bool official = options.datum == "official";
  if (!official) {
    if (settings.from.system == kItrf2020System || settings.to.system == kItrf2020System) {
      throw CLI::ValidationError(
          "system 5 (ITRF2020) is converted by the official datum transformations only "
          "(EPSG:10586 at an epoch): add --datum official");
    }
    if (!options.grid.empty()) throw CLI::ValidationError("--grid needs --datum official");
    return {};
  }
  if (const auto problem = officialDatumProblem(settings.from.system, settings.to.system)) {
    throw CLI::ValidationError("--datum official: " + *problem);
  }
  if (!options.grid.empty() && !officialDatumUsesGrid(settings.from.system, settings.to.system)) {
    throw CLI::ValidationError("--grid: the conversion from " +
                               formatCoordinateSystem(settings.from) + " to " +
                               formatCoordinateSystem(settings.to) +
                               " uses no NTv2 grid (only the official datum shift of system 1 to "
                               "or from another system does)");
  }
  return {nuvex::DatumShift::Official, options.grid};
}

// ---- Epochs -----------------------------------------------------------------------------------

std::optional<GivenEpoch> givenEpoch(const NamedSide& from, const NamedSide& to,
                                     const Options& options) {
  std::optional<GivenEpoch> given;
  if (!options.epoch.empty()) {
    // The option's check has read it already.
    given = GivenEpoch{parseEpochOption(options.epoch).value_or(0.0), "--epoch " + options.epoch};
  }
  for (const NamedSide* side : {&from, &to}) {
    const std::optional<double>& named = side->named.epoch;
    if (!named) continue;
    if (given && given->value != *named) {
      throw CLI::ValidationError("two different epochs: " + given->givenBy + " and " + side->text);
    }
    if (!given) given = GivenEpoch{*named, side->text};
  }
  return given;
}

namespace {

// An epoch where none is needed is most often a frame not named: GNSS coordinates taken for
// WGS84, which system 3 converts as ETRS89.
std::string unusedEpochWarning(const std::string& givenBy, const ConversionSettings& settings) {
  std::string warning = "nuvex: warning: " + givenBy + ": the conversion from " +
                        formatCoordinateSystem(settings.from) + " to " +
                        formatCoordinateSystem(settings.to) +
                        " needs no epoch (only one between system 5, ITRF2020, and another "
                        "system does); it is not used";
  if (settings.from.system != kItrf2020System && settings.to.system != kItrf2020System) {
    warning += "; GNSS coordinates in ITRF2020 or WGS 84 (G2296) are EPSG:9990 or EPSG:10606";
  }
  return warning + "\n";
}

}  // namespace

std::optional<std::string> applyEpoch(const std::optional<GivenEpoch>& given,
                                      const Options& options, ConversionSettings& settings) {
  const bool column = !options.epochColumn.empty();
  if (given && column) {
    throw CLI::ValidationError("--epoch-column " + options.epochColumn + " and " + given->givenBy +
                               " both give the epoch: give one of them");
  }
  if (!conversionNeedsEpoch(settings.from.system, settings.to.system)) {
    if (given) return unusedEpochWarning(given->givenBy, settings);
    if (column) return unusedEpochWarning("--epoch-column " + options.epochColumn, settings);
    return std::nullopt;
  }
  if (!given && !column) {
    // ITRF2020 moves against ETRS89 by some 2.5 cm a year: a default epoch would be wrong by
    // decimetres without a word.
    throw CLI::ValidationError(
        "system 5 (ITRF2020) is converted to and from other systems at an epoch: give --epoch (a "
        "decimal year or a date, e.g. 2026.9 or 2026-11-24) or --epoch-column (a column of "
        "epochs, one per point)");
  }
  if (given) {
    settings.datum.epoch = given->value;
  } else {
    settings.pointEpochs = true;
  }
  return std::nullopt;
}

}  // namespace nuvex::cli
