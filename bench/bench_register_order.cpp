// System 1 Gauss-Krueger zone 3 to system 3 UTM zone 32 over the whole region where the datum
// chain has a route, in the order a register keeps its points (random) and sorted into 20 km rows,
// beside PROJ's EPSG:31467 -> EPSG:32632 on the same points when PROJ is available. Ratios are
// printed at the end, all from this one run.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <numeric>
#include <random>
#include <string>
#include <vector>

#include "bench_support.h"
#include "engine/batch.h"
#include "nuvex/engine.h"
#include "nuvex/transform.h"
#include "rate_reporter.h"

#if defined(NUVEX_HAVE_PROJ)
#include <proj.h>
#endif

namespace {

using nuvex::CoordinateType;
using nuvex::Transformer;
using nuvex::engine::KernelPath;

constexpr std::size_t kPoints = 100000;
constexpr int kGaussKruegerZone = 3;    // EPSG:31467
constexpr int kUtmZone = 32;            // EPSG:32632
constexpr double kRowHeight = 20000.0;  // m, northing band of one row of the sorted order

// The bounding box of both region masks (deg); points are drawn in it and kept where a route of
// the datum chain from system 1 to system 3 exists.
constexpr double kWest = 5.0, kEast = 15.4, kSouth = 47.0, kNorth = 55.2;

struct Grid {
  std::vector<double> easting, northing;
};

// Uniform over the region of validity, in random order (a fixed seed: the same points each run).
Grid randomOrder() {
  std::mt19937_64 random(20261207);
  std::uniform_real_distribution<double> longitude(kWest, kEast), latitude(kSouth, kNorth);
  std::vector<double> lon, lat;
  while (lon.size() < kPoints) {
    const double x = longitude(random), y = latitude(random);
    if (nuvex::INREGA(y, x) == 0 && nuvex::INREGB(y, x) == 0) continue;
    lon.push_back(x);
    lat.push_back(y);
  }
  const Transformer toGrid({CoordinateType::Geographic, 1}, {CoordinateType::Grid, 1},
                           {3, false, kGaussKruegerZone});
  Grid grid{std::vector<double>(kPoints), std::vector<double>(kPoints)};
  toGrid.transform(kPoints, lon.data(), lat.data(), nullptr, grid.easting.data(),
                   grid.northing.data(), nullptr, nullptr);
  return grid;
}

// The same points by 20 km rows of northing, west to east within a row.
Grid sortedIntoRows(const Grid& points) {
  std::vector<std::size_t> order(points.easting.size());
  std::iota(order.begin(), order.end(), 0);
  auto row = [&](std::size_t i) { return std::floor(points.northing[i] / kRowHeight); };
  std::sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
    return row(a) != row(b) ? row(a) < row(b) : points.easting[a] < points.easting[b];
  });
  Grid sorted;
  for (std::size_t i : order) {
    sorted.easting.push_back(points.easting[i]);
    sorted.northing.push_back(points.northing[i]);
  }
  return sorted;
}

enum Order : std::int64_t { kRandom, kSorted };

const Grid& pointsIn(std::int64_t order) {
  static const Grid random = randomOrder();
  static const Grid sorted = sortedIntoRows(random);
  return order == kRandom ? random : sorted;
}

// range(0): kernel path, range(1): order.
void BM_Grid1ToGrid3(benchmark::State& state) {
  const auto path = static_cast<KernelPath>(state.range(0));
  if (!nuvex::engine::kernelPathAvailable(path)) {
    state.SkipWithError("kernel path not available on this processor or build");
    return;
  }
  const Grid& grid = pointsIn(state.range(1));
  nuvex::engine::setKernelPathForTesting(path);
  const Transformer t({CoordinateType::Grid, 1}, {CoordinateType::Grid, 3}, {3, false, kUtmZone});
  std::vector<double> xOut(kPoints), yOut(kPoints);
  std::vector<int> zoneOut(kPoints), status(kPoints);
  for (auto _ : state) {
    benchmark::DoNotOptimize(t.transform(kPoints, grid.easting.data(), grid.northing.data(),
                                         nullptr, xOut.data(), yOut.data(), zoneOut.data(),
                                         status.data()));
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * kPoints));
  state.counters["without_path"] =
      static_cast<double>(std::count(status.begin(), status.end(), nuvex::kPointWithoutPath));
  nuvex::engine::setKernelPathForTesting(nuvex::engine::fastestKernelPath());
}

constexpr auto kScalar = static_cast<std::int64_t>(KernelPath::Scalar);
constexpr auto kVector = static_cast<std::int64_t>(KernelPath::Vector);
BENCHMARK(BM_Grid1ToGrid3)
    ->Args({kScalar, kRandom})
    ->Args({kScalar, kSorted})
    ->Args({kVector, kRandom})
    ->Args({kVector, kSorted});

#if defined(NUVEX_HAVE_PROJ)
// EPSG:31467 -> EPSG:32632 with the operation PROJ chooses, easting before northing.
void BM_Proj31467To32632(benchmark::State& state) {
  const nuvex::bench::ProjOperation op("EPSG:31467", "EPSG:32632");
  if (op.get() == nullptr) {
    state.SkipWithError("PROJ could not create EPSG:31467 -> EPSG:32632");
    return;
  }
  const Grid& grid = pointsIn(state.range(0));
  std::vector<PJ_COORD> input(kPoints);
  for (std::size_t i = 0; i < kPoints; ++i) {
    input[i] = proj_coord(grid.easting[i], grid.northing[i], 0, 0);
  }
  nuvex::bench::timeProjArray(state, op.get(), input);
  state.SetLabel(op.lastUsed().first);
}
BENCHMARK(BM_Proj31467To32632)->Arg(kRandom)->Arg(kSorted);
#endif

void printSummary(const nuvex::bench::RateReporter& reporter) {
  std::printf("\n");
  for (const auto& [name, rate] : reporter.rates()) {
    if (rate > 0.0) std::printf("%-36s %8.2f ns/point\n", name.c_str(), 1e9 / rate);
  }
  const std::string vector = "BM_Grid1ToGrid3/" + std::to_string(kVector) + "/";
  const std::string scalar = "BM_Grid1ToGrid3/" + std::to_string(kScalar) + "/";
  const std::string random = std::to_string(kRandom), sorted = std::to_string(kSorted);
  reporter.printRatio(vector + random, "BM_Proj31467To32632/" + random, 12.0);
  reporter.printRatio(vector + sorted, "BM_Proj31467To32632/" + sorted);
  reporter.printRatio(vector + random, vector + sorted);
  reporter.printRatio(vector + random, scalar + random);
}

}  // namespace

int main(int argc, char** argv) {
  return nuvex::bench::runWithRates(argc, argv, printSummary);
}
