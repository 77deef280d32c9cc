// Values per second of list-directed input on a line of ten reals, against strtod over the same
// text: the cost of the scanner's separators, value copies and Fortran exponent forms on top of
// the number conversion itself.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdlib>

#include "nuvex/runtime/list_input.h"

namespace {

constexpr int kValuesPerLine = 10;
constexpr const char* kLine = "1.5 -2.25 312.5 4.0E-3 5.0 6.75 -75.0 8.0625 9.9 10.01";

void BM_SscanlstTenReals(benchmark::State& state) {
  double values[kValuesPerLine];
  for (auto _ : state) {
    sscanlst(kLine, "%Alf", std::int64_t{kValuesPerLine}, values);
    benchmark::DoNotOptimize(values);
  }
  state.SetItemsProcessed(state.iterations() * kValuesPerLine);
}
BENCHMARK(BM_SscanlstTenReals);

void BM_StrtodTenReals(benchmark::State& state) {
  double values[kValuesPerLine];
  for (auto _ : state) {
    const char* cursor = kLine;
    for (double& value : values) {
      char* end = nullptr;
      value = std::strtod(cursor, &end);
      cursor = end;
    }
    benchmark::DoNotOptimize(values);
  }
  state.SetItemsProcessed(state.iterations() * kValuesPerLine);
}
BENCHMARK(BM_StrtodTenReals);

}  // namespace

BENCHMARK_MAIN();
