// Throughput of the batch path (Transformer) on each kernel path, timed by the program itself so
// that it builds for every platform, Windows included (Google Benchmark is not packaged for the
// cross build). bench/windows_vs_linux.sh runs the Linux and the Windows build on the same points
// and reports their ratio. The batch is timed in slices short against a scheduler's time slice,
// each many times over; the sum of each slice's fastest time is the batch undisturbed by the other
// work of a shared machine (wall-clock time, as both platforms measure it alike).
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <limits>
#include <vector>

#include "batch_points.h"
#include "engine/batch.h"
#include "nuvex/transform.h"

namespace {

using nuvex::CoordinateType;
using nuvex::Transformer;
using nuvex::engine::KernelPath;

constexpr std::size_t kPoints = 100000;  // per batch, as bench_transform's batches
constexpr std::size_t kSlice = 2000;     // points per timed call: a whole number of vector blocks
constexpr int kMinRounds = 10;
constexpr double kSecondsPerCase = 0.5;  // rounds go on until this much time has gone by

// ns per point of the batch, from the fastest time of each slice.
double undisturbedRate(const Transformer& t, const double* x, const double* y, const int* zone) {
  using Clock = std::chrono::steady_clock;
  std::vector<double> xOut(kPoints), yOut(kPoints);
  std::vector<int> zoneOut(kPoints), status(kPoints);
  std::vector<double> fastest((kPoints + kSlice - 1) / kSlice,
                              std::numeric_limits<double>::infinity());
  const Clock::time_point start = Clock::now();
  for (int round = 0; round < kMinRounds ||
                      std::chrono::duration<double>(Clock::now() - start).count() < kSecondsPerCase;
       ++round) {
    for (std::size_t slice = 0; slice < fastest.size(); ++slice) {
      const std::size_t first = slice * kSlice, count = std::min(kSlice, kPoints - first);
      const Clock::time_point begin = Clock::now();
      t.transform(count, x + first, y + first, zone != nullptr ? zone + first : nullptr,
                  xOut.data() + first, yOut.data() + first, zoneOut.data() + first,
                  status.data() + first);
      fastest[slice] =
          std::min(fastest[slice], std::chrono::duration<double>(Clock::now() - begin).count());
    }
  }
  double total = 0.0;
  for (double seconds : fastest) total += seconds;
  return total * 1e9 / kPoints;
}

}  // namespace

int main() {
  namespace bench = nuvex::bench;
  const bench::GeographicPoints points = bench::lattice(kPoints);
  const bench::GridPoints utm = bench::gridOf(points, 3, bench::kUtmZone);
  const bench::GridPoints gaussKrueger = bench::gridOf(points, 1, 3);
  const Transformer forward({CoordinateType::Geographic, 3}, {CoordinateType::Grid, 3},
                            {3, false, bench::kUtmZone});
  const Transformer inverse({CoordinateType::Grid, 3}, {CoordinateType::Geographic, 3});
  static_assert(kSlice % nuvex::engine::kVectorLanes == 0);
  const Transformer chain({CoordinateType::Grid, 1}, {CoordinateType::Grid, 3},
                          {3, false, bench::kUtmZone});
  std::printf("# batch_rate: %zu points, vector math %s; ns per point, undisturbed\n", kPoints,
              NUVEX_BENCH_VECTOR_LIBRARY);
  for (KernelPath path : {KernelPath::Scalar, KernelPath::Vector}) {
    const char* name = path == KernelPath::Scalar ? "scalar" : "avx2";
    if (!nuvex::engine::kernelPathAvailable(path)) {
      std::printf("%-8s %-14s unavailable\n", name, "all");
      continue;
    }
    nuvex::engine::setKernelPathForTesting(path);
    std::printf("%-8s %-14s %8.2f\n", name, "forward",
                undisturbedRate(forward, points.longitude.data(), points.latitude.data(), nullptr));
    std::printf("%-8s %-14s %8.2f\n", name, "inverse",
                undisturbedRate(inverse, utm.easting.data(), utm.northing.data(), utm.zone.data()));
    std::printf(
        "%-8s %-14s %8.2f\n", name, "grid1-to-grid3",
        undisturbedRate(chain, gaussKrueger.easting.data(), gaussKrueger.northing.data(), nullptr));
  }
  return 0;
}
