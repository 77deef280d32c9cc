// Reading NTv2 grids: the built-in BeTA2007 (one sub-grid of 5,400 nodes) and chains of n
// sub-grids, each nested in the one before, of 2 x 2 nodes (80,000 of them make 19 MB). The time
// per sub-grid must stay flat as n grows (linear reading; a search of the parent among all
// earlier sub-grids made 80,000 take 16 s).
#include <benchmark/benchmark.h>

#include <bit>
#include <cstdint>
#include <string>
#include <vector>

#include "engine/embedded_grid.h"
#include "engine/ntv2_grid.h"

namespace {

using nuvex::engine::Ntv2Grid;

class LittleEndianWriter {
 public:
  void record(const std::string& key, std::uint64_t value, int size) {
    text(key);
    for (int i = 0; i < 8; ++i)
      bytes.push_back(i < size ? static_cast<unsigned char>(value >> (8 * i)) : 0);
  }
  void record(const std::string& key, const std::string& value) {
    text(key);
    text(value);
  }
  void number(const std::string& key, double value) {
    record(key, std::bit_cast<std::uint64_t>(value), 8);
  }
  void text(const std::string& s) {
    for (std::size_t i = 0; i < 8; ++i) {
      bytes.push_back(i < s.size() ? static_cast<unsigned char>(s[i]) : ' ');
    }
  }
  std::vector<unsigned char> bytes;
};

std::vector<unsigned char> chainOf(int n) {
  LittleEndianWriter w;
  w.record("NUM_OREC", 11, 4);
  w.record("NUM_SREC", 11, 4);
  w.record("NUM_FILE", static_cast<std::uint64_t>(n), 4);
  w.record("GS_TYPE", "SECONDS");
  w.record("VERSION", "NTv2.0");
  w.record("SYSTEM_F", "DHDN");
  w.record("SYSTEM_T", "ETRS89");
  w.number("MAJOR_F", 6377397.155);
  w.number("MINOR_F", 6356078.963);
  w.number("MAJOR_T", 6378137.0);
  w.number("MINOR_T", 6356752.314);
  for (int i = 0; i < n; ++i) {
    w.record("SUB_NAME", "G" + std::to_string(i));
    w.record("PARENT", i == 0 ? "NONE" : "G" + std::to_string(i - 1));
    w.record("CREATED", "01-01-24");
    w.record("UPDATED", "01-01-24");
    w.number("S_LAT", 180000.0);
    w.number("N_LAT", 183600.0);
    w.number("E_LONG", -39600.0);
    w.number("W_LONG", -36000.0);
    w.number("LAT_INC", 3600.0);
    w.number("LONG_INC", 3600.0);
    w.record("GS_COUNT", 4, 4);
    for (int node = 0; node < 4; ++node) {
      for (float value : {0.5F, -1.0F, 0.01F, 0.01F}) {
        const auto bits = std::bit_cast<std::uint32_t>(value);
        for (int b = 0; b < 4; ++b) w.bytes.push_back(static_cast<unsigned char>(bits >> (8 * b)));
      }
    }
  }
  w.number("END", 3.33e32);
  return w.bytes;
}

void BM_ReadChainOfSubGrids(benchmark::State& state) {
  const std::vector<unsigned char> bytes = chainOf(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    const Ntv2Grid grid(bytes.data(), bytes.size(), "chain");
    benchmark::DoNotOptimize(grid.subGrids().data());
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));  // sub-grids per second
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(bytes.size()));
}
BENCHMARK(BM_ReadChainOfSubGrids)->Arg(2000)->Arg(20000)->Arg(80000)->Unit(benchmark::kMillisecond);

void BM_ReadBeta2007(benchmark::State& state) {
  for (auto _ : state) {
    const Ntv2Grid grid(nuvex::engine::kBeta2007Bytes, nuvex::engine::kBeta2007Size, "BETA2007");
    benchmark::DoNotOptimize(grid.subGrids().data());
  }
  state.SetBytesProcessed(state.iterations() *
                          static_cast<std::int64_t>(nuvex::engine::kBeta2007Size));
}
BENCHMARK(BM_ReadBeta2007)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
