// Throughput of the batch path (Transformer) on each kernel path, beside PROJ on the same points
// when PROJ is available, and split across threads. Ratios are printed at the end, all from this
// one run.
#include <benchmark/benchmark.h>
#include <time.h>

#include <atomic>
#include <cstdio>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "batch_points.h"
#include "bench_support.h"
#include "engine/batch.h"
#include "nuvex/engine.h"
#include "nuvex/transform.h"
#include "rate_reporter.h"

#if defined(NUVEX_HAVE_PROJ)
#include <proj.h>
#endif

namespace {

using nuvex::CoordinateSystem;
using nuvex::CoordinateType;
using nuvex::Transformer;
using nuvex::ZoneChoice;
using nuvex::engine::KernelPath;

constexpr std::size_t kPoints = 100000;            // per batch of the single-thread benchmarks
constexpr std::size_t kThreadedPoints = 10000000;  // per batch of the threaded benchmark
using nuvex::bench::kUtmZone;
using Geographic = nuvex::bench::GeographicPoints;
using Grid = nuvex::bench::GridPoints;
using nuvex::bench::choosePath;
using nuvex::bench::gridOf;
using nuvex::bench::lattice;

const Geographic& points() {
  static const Geographic g = lattice(kPoints);
  return g;
}

void runBatch(benchmark::State& state, const Transformer& t, const double* x, const double* y,
              const int* zone) {
  std::vector<double> xOut(kPoints), yOut(kPoints);
  std::vector<int> zoneOut(kPoints), status(kPoints);
  for (auto _ : state) {
    benchmark::DoNotOptimize(
        t.transform(kPoints, x, y, zone, xOut.data(), yOut.data(), zoneOut.data(), status.data()));
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * kPoints));
  nuvex::engine::setKernelPathForTesting(nuvex::engine::fastestKernelPath());
}

// Geographic to grid within system 3, all points into zone 32.
void BM_BatchForward(benchmark::State& state) {
  if (!choosePath(state)) return;
  const Transformer t({CoordinateType::Geographic, 3}, {CoordinateType::Grid, 3},
                      {3, false, kUtmZone});
  runBatch(state, t, points().longitude.data(), points().latitude.data(), nullptr);
}

// Grid (zone 32) to geographic within system 3.
void BM_BatchInverse(benchmark::State& state) {
  if (!choosePath(state)) return;
  static const Grid grid = gridOf(points(), 3, kUtmZone);
  const Transformer t({CoordinateType::Grid, 3}, {CoordinateType::Geographic, 3});
  runBatch(state, t, grid.easting.data(), grid.northing.data(), grid.zone.data());
}

// System 1 Gauss-Krueger zone 3 to system 3 UTM zone 32 through the datum chain.
void BM_BatchGrid1ToGrid3(benchmark::State& state) {
  if (!choosePath(state)) return;
  static const Grid grid = gridOf(points(), 1, 3);
  const Transformer t({CoordinateType::Grid, 1}, {CoordinateType::Grid, 3}, {3, false, kUtmZone});
  runBatch(state, t, grid.easting.data(), grid.northing.data(), nullptr);
}

// The exact projection (Krueger's series): the official mode projects system 3 as ETRS89 on GRS80
// with it everywhere, geographic to UTM zone 32 and back.
void BM_BatchExactForward(benchmark::State& state) {
  if (!choosePath(state)) return;
  const Transformer t({CoordinateType::Geographic, 3}, {CoordinateType::Grid, 3},
                      {3, false, kUtmZone}, {nuvex::DatumShift::Official, ""});
  runBatch(state, t, points().longitude.data(), points().latitude.data(), nullptr);
}

void BM_BatchExactInverse(benchmark::State& state) {
  if (!choosePath(state)) return;
  static const Grid grid = gridOf(points(), 3, kUtmZone);
  const Transformer t({CoordinateType::Grid, 3}, {CoordinateType::Geographic, 3}, {},
                      {nuvex::DatumShift::Official, ""});
  runBatch(state, t, grid.easting.data(), grid.northing.data(), grid.zone.data());
}

constexpr auto kScalar = static_cast<std::int64_t>(KernelPath::Scalar);
constexpr auto kVector = static_cast<std::int64_t>(KernelPath::Vector);
BENCHMARK(BM_BatchForward)->Arg(kScalar)->Arg(kVector);
BENCHMARK(BM_BatchInverse)->Arg(kScalar)->Arg(kVector);
BENCHMARK(BM_BatchGrid1ToGrid3)->Arg(kScalar)->Arg(kVector);
BENCHMARK(BM_BatchExactForward)->Arg(kScalar)->Arg(kVector);
BENCHMARK(BM_BatchExactInverse)->Arg(kScalar)->Arg(kVector);

// CPU time of the calling thread (s).
double threadCpuSeconds() {
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + 1e-9 * static_cast<double>(now.tv_nsec);
}

// 1e7 points geographic to UTM zone 32 on the fastest path, split evenly over range(0) threads
// that share one Transformer. cpu_ns_per_point sums the workers' own CPU time: when it stays put
// from one thread to two, the threads do not slow each other and the wall-clock ratio is what the
// machine's free cores allow.
void BM_BatchThreads(benchmark::State& state) {
  static const Geographic g = lattice(kThreadedPoints);
  const Transformer t({CoordinateType::Geographic, 3}, {CoordinateType::Grid, 3},
                      {3, false, kUtmZone});
  std::vector<double> xOut(kThreadedPoints), yOut(kThreadedPoints);
  const auto threads = static_cast<std::size_t>(state.range(0));
  std::atomic<std::int64_t> workerCpuNanoseconds{0};
  for (auto _ : state) {
    std::vector<std::thread> workers;
    for (std::size_t w = 0; w < threads; ++w) {
      const std::size_t first = kThreadedPoints * w / threads;
      const std::size_t last = kThreadedPoints * (w + 1) / threads;
      workers.emplace_back([&, first, last] {
        const double start = threadCpuSeconds();
        t.transform(last - first, g.longitude.data() + first, g.latitude.data() + first, nullptr,
                    xOut.data() + first, yOut.data() + first, nullptr, nullptr);
        workerCpuNanoseconds += static_cast<std::int64_t>(1e9 * (threadCpuSeconds() - start));
      });
    }
    for (std::thread& worker : workers) worker.join();
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * kThreadedPoints));
  state.counters["cpu_ns_per_point"] = static_cast<double>(workerCpuNanoseconds.load()) /
                                       static_cast<double>(state.iterations() * kThreadedPoints);
}
BENCHMARK(BM_BatchThreads)->Arg(1)->Arg(2)->UseRealTime()->Unit(benchmark::kMillisecond);

#if defined(NUVEX_HAVE_PROJ)
// PROJ's exact UTM (zone 32) through proj_trans_array, radians in, metres out, and back.
void projUtm(benchmark::State& state, PJ_DIRECTION direction,
             const char* definition = "+proj=utm +zone=32 +ellps=WGS84") {
  PJ_CONTEXT* context = proj_context_create();
  PJ* utm = proj_create(context, definition);
  if (utm == nullptr) {
    state.SkipWithError("PROJ could not create the UTM projection");
    proj_context_destroy(context);
    return;
  }
  std::vector<PJ_COORD> input(kPoints);
  for (std::size_t i = 0; i < kPoints; ++i) {
    input[i] =
        proj_coord(proj_torad(points().longitude[i]), proj_torad(points().latitude[i]), 0, 0);
  }
  if (direction == PJ_INV) proj_trans_array(utm, PJ_FWD, input.size(), input.data());
  std::vector<PJ_COORD> work(kPoints);
  for (auto _ : state) {
    state.PauseTiming();
    work = input;
    state.ResumeTiming();
    benchmark::DoNotOptimize(proj_trans_array(utm, direction, work.size(), work.data()));
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * kPoints));
  proj_destroy(utm);
  proj_context_destroy(context);
}

void BM_ProjUtmForward(benchmark::State& state) {
  projUtm(state, PJ_FWD);
}
void BM_ProjUtmInverse(benchmark::State& state) {
  projUtm(state, PJ_INV);
}
BENCHMARK(BM_ProjUtmForward);
BENCHMARK(BM_ProjUtmInverse);

// PROJ's extended transverse Mercator on GRS80, as the official mode's zone 32.
constexpr const char* kProjEtmerc = "+proj=etmerc +lon_0=9 +k=0.9996 +x_0=500000 +ellps=GRS80";
void BM_ProjEtmercForward(benchmark::State& state) {
  projUtm(state, PJ_FWD, kProjEtmerc);
}
void BM_ProjEtmercInverse(benchmark::State& state) {
  projUtm(state, PJ_INV, kProjEtmerc);
}
BENCHMARK(BM_ProjEtmercForward);
BENCHMARK(BM_ProjEtmercInverse);

// DHDN / Gauss-Krueger zone 3 to WGS 84 / UTM zone 32 with the operation PROJ chooses.
void BM_ProjGrid31467To32632(benchmark::State& state) {
  const nuvex::bench::ProjOperation op("EPSG:31467", "EPSG:32632");
  if (op.get() == nullptr) {
    state.SkipWithError("PROJ could not create EPSG:31467 -> EPSG:32632");
    return;
  }
  static const Grid grid = gridOf(points(), 1, 3);
  std::vector<PJ_COORD> input(kPoints);
  for (std::size_t i = 0; i < kPoints; ++i) {
    input[i] = proj_coord(grid.easting[i], grid.northing[i], 0, 0);
  }
  nuvex::bench::timeProjArray(state, op.get(), input);
  const auto [description, definition] = op.lastUsed();
  state.SetLabel(description);
  static bool printed = false;
  if (!printed) {
    std::printf("PROJ operation for EPSG:31467 -> EPSG:32632: %s\n  %s\n", description.c_str(),
                definition.c_str());
    printed = true;
  }
}
BENCHMARK(BM_ProjGrid31467To32632);
#endif

// ns per point of each path and the ratios the targets name.
void printSummary(const nuvex::bench::RateReporter& reporter) {
  std::printf("\nCores: %u\n", std::thread::hardware_concurrency());
  for (const auto& [name, rate] : reporter.rates()) {
    if (rate > 0.0) std::printf("%-36s %8.2f ns/point\n", name.c_str(), 1e9 / rate);
  }
  for (const auto& [name, cpu] : reporter.counter("cpu_ns_per_point")) {
    std::printf("%-36s %8.2f ns/point of the workers' CPU time\n", name.c_str(), cpu);
  }
  const std::string vector = "/" + std::to_string(kVector);
  reporter.printRatio("BM_BatchForward" + vector, "BM_ProjUtmForward", 16.0);
  reporter.printRatio("BM_BatchInverse" + vector, "BM_ProjUtmInverse", 13.0);
  reporter.printRatio("BM_BatchExactForward" + vector, "BM_ProjEtmercForward", 10.0);
  reporter.printRatio("BM_BatchExactInverse" + vector, "BM_ProjEtmercInverse", 10.0);
  reporter.printRatio("BM_BatchGrid1ToGrid3" + vector, "BM_ProjGrid31467To32632", 8.0);
  reporter.printRatio("BM_BatchForward" + vector, "BM_BatchForward/" + std::to_string(kScalar));
  reporter.printRatio("BM_BatchThreads/2/real_time", "BM_BatchThreads/1/real_time", 1.8);
}

}  // namespace

int main(int argc, char** argv) {
  return nuvex::bench::runWithRates(argc, argv, printSummary);
}
