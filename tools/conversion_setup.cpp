#include "conversion_setup.h"

#include <stdexcept>
#include <string>
#include <string_view>

#include "option_checks.h"

namespace nuvex::cli {
namespace {

// The layout every input starts from; names in --columns are resolved per input, at its header.
LineLayout baseLayout(const InputColumns& columns, const Options& options,
                      const std::optional<ColumnSelection>& selection,
                      const std::optional<ColumnReference>& epochColumn) {
  LineLayout layout{columns, std::nullopt, 0, kDecimalPoint};
  if (epochColumn && epochColumn->position != 0) layout.epochColumn = epochColumn->position - 1;
  if (!options.delimiter.empty()) layout.delimiter = *parseDelimiter(options.delimiter);
  if (layout.delimiter == kSemicolonSeparator) layout.decimalMark = kDecimalComma;
  if (selection && !selection->namesAny()) {
    std::string positionsNeedNoHeader;
    layout.picked = resolveColumns(*selection, {}, positionsNeedNoHeader);
  } else if (!selection && options.append) {
    // The leading columns, in the order they are read: x, y, [height,] [zone].
    layout.picked = ColumnIndices{0, 1, std::nullopt};
    std::size_t next = kCoordinateColumns;
    if (columns.height) layout.picked->height = next++;
    if (readsZoneColumn(columns)) layout.picked->zone = next;
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
                              const std::optional<ColumnSelection>& selection,
                              const std::optional<ColumnReference>& epochColumn) {
  HeaderSettings header{selection, outputStyle(settings, options).placement, {}, {}};
  header.epochColumn = epochColumn;
  const bool grid = settings.to.type == CoordinateType::Grid;
  for (std::size_t i = 0; i < kCoordinateColumns; ++i) {
    header.outputNames.emplace_back(kDefaultOutputNames[i]);
    header.heldNames.emplace_back(grid ? kGridOutputNames[i] : kGeographicOutputNames[i]);
  }
  // In the order the values are written: x, y, [height,] [zone].
  header.height = convertsHeights(settings);
  if (header.height) {
    header.outputNames.emplace_back(kHeightOutputName);
    header.heldNames.emplace_back(kHeightName);
  }
  if (grid) {
    header.outputNames.emplace_back(kDefaultOutputNames[kCoordinateColumns]);
    header.heldNames.emplace_back(kGridOutputNames[kCoordinateColumns]);
  }
  if (!options.outNames.empty())
    header.outputNames = header.heldNames = splitNames(options.outNames);
  return header;
}

// The column --epoch-column names, whether its epochs are used or not.
std::optional<ColumnReference> givenEpochColumn(const Options& options) {
  if (options.epochColumn.empty()) return std::nullopt;
  std::string problem;
  return parseColumnReference(options.epochColumn, problem);  // its option's check read it
}

void checkEpochPosition(const LineLayout& layout, const std::optional<ColumnSelection>& selection,
                        const Options& options) {
  if (!layout.epochColumn || (selection && selection->namesAny())) return;
  if (const std::string problem = epochColumnProblem(layout); !problem.empty()) {
    throw CLI::ValidationError("--epoch-column " + options.epochColumn + ": " + problem);
  }
}

// The checks and settings every command shares, once the two sides are known.
ConversionSetup completed(ConversionSettings settings, InputColumns columns, const Options& options,
                          const std::optional<GivenEpoch>& epoch) {
  settings.datum = datumChoice(options, settings);
  std::vector<std::string> warnings;
  if (auto warning = applyEpoch(epoch, options, settings)) warnings.push_back(*warning);
  for (const auto& problem : {checkOutputZone(settings), checkZonePrefix(settings),
                              checkZoneWidth(settings, options), checkHeightDatum(settings)}) {
    if (problem) throw CLI::ValidationError(*problem);
  }
  columns.height = convertsHeights(settings);
  std::optional<ColumnSelection> selection;
  if (!options.columns.empty()) {
    std::string problem;
    selection = parseColumnSelection(options.columns, problem);
    selection->height = columns.height;
  }
  if (auto problem = checkLayout(settings, columns, options, selection)) {
    throw CLI::ValidationError(*problem);
  }
  // A position is checked here against the columns the layout reads, a name at each input's
  // header. A column named where no epoch is used still makes the first line a header.
  const std::optional<ColumnReference> givenColumn = givenEpochColumn(options);
  const std::optional<ColumnReference> epochColumn =
      settings.pointEpochs ? givenColumn : std::nullopt;
  const LineLayout layout = baseLayout(columns, options, selection, epochColumn);
  checkEpochPosition(layout, selection, options);
  return {settings,
          columns,
          outputStyle(settings, options),
          layout,
          headerSettings(settings, options, selection, epochColumn),
          options.header || (selection && selection->namesAny()) ||
              (givenColumn && givenColumn->position == 0),
          std::move(warnings)};
}

ConversionSetup toLL(const Options& options) {
  const NamedSide grid{parseGridSystem(options.system), options.system};
  const NamedSide wgs84{{{CoordinateType::Geographic, kWgs84System}, {}, {}, 0}, "G:3"};
  InputColumns columns{CoordinateType::Grid, grid.named.system.system, options.zone};
  if (auto problem = checkInputZone(columns, "--zone")) throw CLI::ValidationError(*problem);
  ConversionSettings settings{grid.named.system, wgs84.named.system, options.zoneWidth,
                              std::nullopt, false};
  applyNamedSides(grid, wgs84, options, "--zone", settings, columns);
  applyAxisOrder(options, settings, columns);
  settings.heights = heightChoice(grid, wgs84, options);
  return completed(settings, columns, options, givenEpoch(grid, wgs84, options));
}

ConversionSetup fromLL(const Options& options) {
  const NamedSide wgs84{{{CoordinateType::Geographic, kWgs84System}, {}, {}, 0}, "G:3"};
  const NamedSide grid{parseGridSystem(options.system), options.system};
  InputColumns columns{CoordinateType::Geographic, kWgs84System, std::nullopt};
  ConversionSettings settings{wgs84.named.system, grid.named.system, options.zoneWidth,
                              options.zone, options.zonePrefix};
  applyNamedSides(wgs84, grid, options, "--zone", settings, columns);
  applyAxisOrder(options, settings, columns);
  settings.heights = heightChoice(wgs84, grid, options);
  return completed(settings, columns, options, givenEpoch(wgs84, grid, options));
}

ConversionSetup convert(const Options& options) {
  const NamedSide from{parseSystemName(options.from, "source"), options.from};
  const NamedSide to{parseSystemName(options.to, "target"), options.to};
  InputColumns columns{from.named.system.type, from.named.system.system, options.fromZone};
  if (auto problem = checkInputZone(columns, "--from-zone")) throw CLI::ValidationError(*problem);
  ConversionSettings settings{from.named.system, to.named.system, options.zoneWidth, options.zone,
                              options.zonePrefix};
  applyNamedSides(from, to, options, "--from-zone", settings, columns);
  applyAxisOrder(options, settings, columns);
  settings.heights = heightChoice(from, to, options);
  return completed(settings, columns, options, givenEpoch(from, to, options));
}

}  // namespace

ConversionSetup setUpConversion(ConversionCommand command, const Options& options) {
  switch (command) {
    case ConversionCommand::ToLL:
      return toLL(options);
    case ConversionCommand::FromLL:
      return fromLL(options);
    case ConversionCommand::Convert:
      break;
  }
  return convert(options);
}

namespace {

// The library's messages name the class that refuses; the converter's user named no class.
constexpr std::string_view kLibraryPrefix = "nuvex::Transformer: ";

bool names(std::string_view message, const std::string& file) {
  return !file.empty() && message.find(file) != std::string_view::npos;
}

// The option a refusal of the library is about: a file it could not read, or the heights (the
// setup has refused every other combination the library would refuse).
std::string refusedOption(std::string_view message, bool logical, const Options& options,
                          const ConversionSettings& settings) {
  if (names(message, options.geoid)) return "--geoid: ";
  if (!logical && !options.grid.empty()) return "--grid: ";
  if (convertsHeights(settings) || settings.heights.to != HeightKind::None) return "heights: ";
  return "";
}

// What the command line can do about a height on one side only.
std::string oneSidedHint(const HeightChoice& heights) {
  if ((heights.from == HeightKind::None) == (heights.to == HeightKind::None)) return "";
  return std::string(" (") + (heights.from == HeightKind::None ? "--height-from" : "--height-to") +
         ", or a 3D or compound code such as EPSG:4937 or EPSG:25832+7837)";
}

}  // namespace

BlockConverter makeBlockConverter(const ConversionSetup& setup, const Options& options) {
  try {
    return BlockConverter(setup.settings, setup.style);
  } catch (const std::invalid_argument& error) {
    std::string_view message = error.what();
    const bool logical = message.starts_with(kLibraryPrefix);
    if (logical) message.remove_prefix(kLibraryPrefix.size());
    throw CLI::ValidationError(refusedOption(message, logical, options, setup.settings) +
                               std::string(message) +
                               (logical ? oneSidedHint(setup.settings.heights) : ""));
  }
}

}  // namespace nuvex::cli
