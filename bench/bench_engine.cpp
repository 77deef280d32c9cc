// Throughput of TRGU on full batches (points per second), beside a general-purpose library's UTM
// forward projection on the same points when that library is available.
#include <benchmark/benchmark.h>

#include <array>
#include <cstdio>
#include <map>
#include <string>

#include "nuvex/engine.h"
#include "nuvex/host.h"
#include "rate_reporter.h"

#if defined(NUVEX_HAVE_PROJ)
#include <proj.h>
#endif

namespace {

using nuvex::TRGU_MAXPT;

constexpr int kBatch = TRGU_MAXPT;
constexpr int kZoneFromLongitude = 1;
constexpr int kNoGivenZone = 0;
constexpr int kThreeDegreeZones = 3;

// A 15 x 20 lattice over the area the datum shifts cover (47..55 N, 6..15 E).
struct Points {
  std::array<double, kBatch + 1> latitude{};
  std::array<double, kBatch + 1> longitude{};
};

Points lattice() {
  Points p;
  for (int i = 1; i <= kBatch; ++i) {
    p.latitude[i] = 47.2 + 0.5 * ((i - 1) / 20);
    p.longitude[i] = 6.1 + 0.45 * ((i - 1) % 20);
  }
  return p;
}

const Points kPoints = lattice();

void loadGeographic() {
  for (int i = 1; i <= kBatch; ++i) {
    nuvex::GEO_XIN[i] = kPoints.longitude[i];
    nuvex::GEO_YIN[i] = kPoints.latitude[i];
  }
}

struct GridBatch {
  std::array<double, kBatch + 1> easting{}, northing{};
  std::array<int, kBatch + 1> zone{};
};

GridBatch gridOf(int system) {
  loadGeographic();
  nuvex::TRGU("G", system, "E", system, kThreeDegreeZones, kBatch, kZoneFromLongitude,
              kNoGivenZone);
  GridBatch grid;
  for (int i = 1; i <= kBatch; ++i) {
    grid.easting[i] = nuvex::GRID_XOUT[i];
    grid.northing[i] = nuvex::GRID_YOUT[i];
    grid.zone[i] = nuvex::GRID_ZONEOUT[i];
  }
  return grid;
}

// GRID2GEO reduces eastings in place, so every batch starts from the stored grid points.
void loadGrid(const GridBatch& grid) {
  for (int i = 1; i <= kBatch; ++i) {
    nuvex::GRID_XIN[i] = grid.easting[i];
    nuvex::GRID_YIN[i] = grid.northing[i];
    nuvex::GRID_ZONEIN[i] = grid.zone[i];
  }
}

void BM_TrguForward(benchmark::State& state) {
  const int system = static_cast<int>(state.range(0));
  loadGeographic();
  for (auto _ : state) {
    benchmark::DoNotOptimize(nuvex::TRGU("G", system, "E", system, kThreeDegreeZones, kBatch,
                                         kZoneFromLongitude, kNoGivenZone));
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * kBatch);
}
BENCHMARK(BM_TrguForward)->Arg(1)->Arg(3);

void BM_TrguInverse(benchmark::State& state) {
  const int system = static_cast<int>(state.range(0));
  const GridBatch grid = gridOf(system);
  for (auto _ : state) {
    loadGrid(grid);
    benchmark::DoNotOptimize(nuvex::TRGU("E", system, "G", system, kThreeDegreeZones, kBatch,
                                         kZoneFromLongitude, kNoGivenZone));
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * kBatch);
}
BENCHMARK(BM_TrguInverse)->Arg(1)->Arg(3);

// System 1 grid to system 3 geographic: inverse projection and the datum chain.
void BM_TrguGrid1ToGeographic3(benchmark::State& state) {
  const GridBatch grid = gridOf(1);
  for (auto _ : state) {
    loadGrid(grid);
    benchmark::DoNotOptimize(
        nuvex::TRGU("E", 1, "G", 3, kThreeDegreeZones, kBatch, kZoneFromLongitude, kNoGivenZone));
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * kBatch);
}
BENCHMARK(BM_TrguGrid1ToGeographic3);

// The host entry points, one point per call: lock, traces (to an empty log slot) and TRGU.
void installSilentHost() {
  DLLCallbacks record{};
  record.structSize = sizeof record;
  SetNuvexCallbacks(record);
}

void BM_EntryConvertFromLL(benchmark::State& state) {
  installSilentHost();
  double easting = 0, northing = 0;
  int zone = 0;
  int i = 1;
  for (auto _ : state) {
    benchmark::DoNotOptimize(NuvexConvertFromLL(kPoints.longitude[i], kPoints.latitude[i], &easting,
                                                &northing, 3, &zone, 1, 0));
    i = i == kBatch ? 1 : i + 1;
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_EntryConvertFromLL);

void BM_EntryConvertToLL(benchmark::State& state) {
  installSilentHost();
  const GridBatch grid = gridOf(3);
  double longitude = 0, latitude = 0;
  int i = 1;
  for (auto _ : state) {
    int zone = grid.zone[i];
    benchmark::DoNotOptimize(
        NuvexConvertToLL(grid.easting[i], grid.northing[i], &longitude, &latitude, 3, &zone, 0));
    i = i == kBatch ? 1 : i + 1;
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_EntryConvertToLL);

#if defined(NUVEX_HAVE_PROJ)
// The same 300 points through PROJ's UTM zone 32 forward projection (radians in, metres out).
void BM_ProjUtmForward(benchmark::State& state) {
  PJ_CONTEXT* context = proj_context_create();
  PJ* utm = proj_create(context, "+proj=utm +zone=32 +ellps=WGS84");
  if (utm == nullptr) {
    state.SkipWithError("PROJ could not create the UTM projection");
    proj_context_destroy(context);
    return;
  }
  std::array<double, kBatch> x{}, y{};
  for (auto _ : state) {
    for (int i = 0; i < kBatch; ++i) {
      x[i] = proj_torad(kPoints.longitude[i + 1]);
      y[i] = proj_torad(kPoints.latitude[i + 1]);
    }
    benchmark::DoNotOptimize(proj_trans_generic(utm, PJ_FWD, x.data(), sizeof(double), kBatch,
                                                y.data(), sizeof(double), kBatch, nullptr, 0, 0,
                                                nullptr, 0, 0));
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * kBatch);
  proj_destroy(utm);
  proj_context_destroy(context);
}
BENCHMARK(BM_ProjUtmForward);
#endif

}  // namespace

int main(int argc, char** argv) {
  return nuvex::bench::runWithRates(argc, argv, [](const nuvex::bench::RateReporter& reporter) {
    reporter.printRatio("BM_TrguForward/1", "BM_ProjUtmForward");
    reporter.printRatio("BM_TrguForward/3", "BM_ProjUtmForward");
  });
}
