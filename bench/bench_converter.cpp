// The converter's block conversion (parse, batch transformation, format) on 100 000 lines in
// memory: the plain two-column file against a CSV export with an id, a quoted name holding a
// comma and the coordinates in columns 3 and 4 picked by --columns. The target: picking columns
// and reading quoted CSV costs at most 20% more than the plain file (counter csv_over_plain).
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <memory>
#include <string>

// The converter's sources are compiled into the benchmark: they are not part of the library.
#include "../tools/block_converter.cpp"
#include "../tools/column_selection.cpp"
#include "../tools/converter.cpp"
#include "../tools/csv_fields.cpp"
#include "../tools/dms.cpp"
#include "../tools/number_text.cpp"
#include "../tools/point_reader.cpp"

namespace {

using namespace nuvex;
using namespace nuvex::cli;

constexpr int kLines = 100000;

struct Inputs {
  Block plain;
  Block table;
};

// Points over Germany, WGS84 longitude and latitude with six decimals, as both files.
Inputs makeInputs() {
  Inputs inputs;
  const InputColumns geographic{CoordinateType::Geographic, kWgs84System, std::nullopt};
  const LineLayout leading{geographic, std::nullopt, 0, kDecimalPoint};
  LineLayout chosen = leading;
  chosen.picked = ColumnIndices{2, 3, std::nullopt};
  chosen.delimiter = kCommaSeparator;
  inputs.plain.input = std::make_shared<const InputContext>(InputContext{"plain", leading, {}});
  inputs.table.input = std::make_shared<const InputContext>(InputContext{"table", chosen, {}});
  for (int i = 0; i < kLines; ++i) {
    char point[64];
    std::snprintf(point, sizeof point, "%.6f,%.6f", 6.0 + (i % 997) * 0.006,
                  47.0 + (i % 991) * 0.008);
    std::string line(point);
    inputs.table.text +=
        std::to_string(i) + ",\"Point " + std::to_string(i) + ", north\"," + line + ",12.5\n";
    line[line.find(',')] = ' ';
    inputs.plain.text += line + "\n";
  }
  return inputs;
}

const ConversionSettings kToUtm32{{CoordinateType::Geographic, kWgs84System},
                                  {CoordinateType::Grid, kWgs84System},
                                  kThreeDegreeZones,
                                  32,
                                  false};

void convertPlainColumns(benchmark::State& state) {
  const Inputs inputs = makeInputs();
  const BlockConverter converter(kToUtm32, OutputStyle{});
  BlockResult result;
  for (auto _ : state) {
    converter.convert(inputs.plain, result);
    benchmark::DoNotOptimize(result.output.data());
  }
  state.SetItemsProcessed(state.iterations() * kLines);
}

void convertChosenCsvColumns(benchmark::State& state) {
  const Inputs inputs = makeInputs();
  OutputStyle inPlace;
  inPlace.placement = Placement::InPlace;
  const BlockConverter plain(kToUtm32, OutputStyle{});
  const BlockConverter chosen(kToUtm32, inPlace);
  BlockResult result;
  std::chrono::duration<double> plainTime{}, tableTime{};
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    plain.convert(inputs.plain, result);
    const auto middle = std::chrono::steady_clock::now();
    chosen.convert(inputs.table, result);
    tableTime += std::chrono::steady_clock::now() - middle;
    plainTime += middle - start;
    benchmark::DoNotOptimize(result.output.data());
  }
  state.SetItemsProcessed(state.iterations() * 2 * kLines);  // both files
  state.counters["csv_over_plain"] = tableTime.count() / plainTime.count();
}

BENCHMARK(convertPlainColumns)->Unit(benchmark::kMillisecond);
BENCHMARK(convertChosenCsvColumns)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
