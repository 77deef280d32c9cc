#include "conversion_setup.h"

#include <string>

#include "option_checks.h"

namespace nuvex::cli {
namespace {

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

// The checks and settings every command shares, once the two sides are known.
ConversionSetup completed(ConversionSettings settings, const InputColumns& columns,
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
  return {settings,
          columns,
          outputStyle(settings, options),
          baseLayout(columns, options, selection),
          headerSettings(settings, options, selection),
          options.header || (selection && selection->namesAny())};
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
  return completed(settings, columns, options);
}

ConversionSetup fromLL(const Options& options) {
  const NamedSide wgs84{{{CoordinateType::Geographic, kWgs84System}, {}, {}, 0}, "G:3"};
  const NamedSide grid{parseGridSystem(options.system), options.system};
  InputColumns columns{CoordinateType::Geographic, kWgs84System, std::nullopt};
  ConversionSettings settings{wgs84.named.system, grid.named.system, options.zoneWidth,
                              options.zone, options.zonePrefix};
  applyNamedSides(wgs84, grid, options, "--zone", settings, columns);
  applyAxisOrder(options, settings, columns);
  return completed(settings, columns, options);
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
  return completed(settings, columns, options);
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

}  // namespace nuvex::cli
