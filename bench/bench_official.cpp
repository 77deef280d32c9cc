// The official datum shift against PROJ's same pipelines, in the same run: system 1
// Gauss-Krueger zone 3 to system 3 UTM zone 32 (inverse tmerc on Bessel, BeTA2007 grid shift, utm
// on GRS80), the same with DHHN2016 heights made ellipsoidal through the quasigeoid GCG2016,
// system 4 geographic to ETRS89 geographic (EPSG:1775), and ITRF2020 at an epoch (system 5) to
// ETRS89 geographic and to DHDN Gauss-Krueger zone 3 (EPSG:10586, then BeTA2007). The polynomial
// path on the same points is measured beside them: choosing the official mode must not cost it
// anything.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>
#include <vector>

#include "bench_support.h"
#include "engine/batch.h"
#include "nuvex/transform.h"
#include "rate_reporter.h"

#if defined(NUVEX_HAVE_PROJ)
#include <proj.h>
#endif

namespace {

using nuvex::CoordinateType;
using nuvex::DatumChoice;
using nuvex::DatumShift;
using nuvex::HeightKind;
using nuvex::Transformer;
using nuvex::bench::choosePath;
using nuvex::engine::KernelPath;

constexpr std::size_t kPoints = 100000;
constexpr int kUtmZone = 32;
constexpr int kGaussKruegerZone = 3;

struct Points {
  std::vector<double> x, y;
};

// A lattice of kPoints over a rectangle (deg).
Points lattice(double west, double east, double south, double north) {
  Points p;
  constexpr std::size_t kColumns = 500;
  const std::size_t rows = kPoints / kColumns;
  for (std::size_t i = 0; i < kPoints; ++i) {
    p.x.push_back(west + (east - west) * static_cast<double>(i % kColumns) / kColumns);
    p.y.push_back(south + (north - south) * static_cast<double>(i / kColumns) / rows);
  }
  return p;
}

// Gauss-Krueger zone 3 over its part of the grid (lon 7.6..10.4, lat 47.5..54.9).
const Points& gaussKrueger() {
  static const Points grid = [] {
    const Points g = lattice(7.6, 10.4, 47.5, 54.9);
    const Transformer t({CoordinateType::Geographic, 1}, {CoordinateType::Grid, 1},
                        {3, false, kGaussKruegerZone});
    Points out{std::vector<double>(kPoints), std::vector<double>(kPoints)};
    t.transform(kPoints, g.x.data(), g.y.data(), nullptr, out.x.data(), out.y.data(), nullptr,
                nullptr);
    return out;
  }();
  return grid;
}

// Krassowsky longitude, latitude inside EPSG:1775's area of use.
const Points& krassowsky() {
  static const Points g = lattice(10.0, 15.0, 50.3, 54.6);
  return g;
}

void runBatch(benchmark::State& state, const Transformer& t, const Points& in) {
  std::vector<double> xOut(kPoints), yOut(kPoints);
  std::vector<int> zoneOut(kPoints), status(kPoints);
  for (auto _ : state) {
    benchmark::DoNotOptimize(t.transform(kPoints, in.x.data(), in.y.data(), nullptr, xOut.data(),
                                         yOut.data(), zoneOut.data(), status.data()));
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * kPoints));
  nuvex::engine::setKernelPathForTesting(nuvex::engine::fastestKernelPath());
}

// DHHN2016 heights of 0 to 1000 m on the Gauss-Krueger points.
const std::vector<double>& normalHeights() {
  static const std::vector<double> heights = [] {
    std::vector<double> h(kPoints);
    for (std::size_t i = 0; i < kPoints; ++i) h[i] = static_cast<double>(i % 1000);
    return h;
  }();
  return heights;
}

void BM_OfficialGrid1ToGrid3Heights(benchmark::State& state) {
  const Transformer t({CoordinateType::Grid, 1}, {CoordinateType::Grid, 3}, {3, false, kUtmZone},
                      DatumChoice{DatumShift::Official, ""},
                      {HeightKind::Normal, HeightKind::Ellipsoidal, ""});
  const Points& in = gaussKrueger();
  std::vector<double> xOut(kPoints), yOut(kPoints), zOut(kPoints);
  std::vector<int> zoneOut(kPoints), status(kPoints);
  for (auto _ : state) {
    benchmark::DoNotOptimize(t.transform(kPoints, in.x.data(), in.y.data(), normalHeights().data(),
                                         nullptr, xOut.data(), yOut.data(), zOut.data(),
                                         zoneOut.data(), status.data()));
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * kPoints));
}
BENCHMARK(BM_OfficialGrid1ToGrid3Heights);

constexpr double kEpoch = 2026.9;  // decimal year

// ITRF2020 longitude, latitude over Germany.
const Points& itrf2020() {
  static const Points g = lattice(6.0, 15.0, 47.5, 54.9);
  return g;
}

// The Gauss-Krueger points as ITRF2020 UTM zone 32 points.
const Points& itrf2020Utm() {
  static const Points grid = [] {
    const Transformer t({CoordinateType::Grid, 1}, {CoordinateType::Grid, 5}, {3, false, kUtmZone},
                        DatumChoice{DatumShift::Official, "", kEpoch});
    Points out{std::vector<double>(kPoints), std::vector<double>(kPoints)};
    t.transform(kPoints, gaussKrueger().x.data(), gaussKrueger().y.data(), nullptr, out.x.data(),
                out.y.data(), nullptr, nullptr);
    return out;
  }();
  return grid;
}

void BM_OfficialItrfToEtrs(benchmark::State& state) {
  if (!choosePath(state)) return;
  const Transformer t({CoordinateType::Geographic, 5}, {CoordinateType::Geographic, 3}, {},
                      DatumChoice{DatumShift::Official, "", kEpoch});
  runBatch(state, t, itrf2020());
}

void BM_OfficialItrfToGaussKrueger(benchmark::State& state) {
  if (!choosePath(state)) return;
  const Transformer t({CoordinateType::Grid, 5}, {CoordinateType::Grid, 1},
                      {3, false, kGaussKruegerZone}, DatumChoice{DatumShift::Official, "", kEpoch});
  std::vector<double> xOut(kPoints), yOut(kPoints);
  std::vector<int> zone(kPoints, kUtmZone), status(kPoints);
  const Points& in = itrf2020Utm();
  for (auto _ : state) {
    benchmark::DoNotOptimize(
        t.transform(kPoints, {in.x.data(), in.y.data(), nullptr, nullptr, zone.data()},
                    {xOut.data(), yOut.data(), nullptr, nullptr, status.data()}));
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * kPoints));
  nuvex::engine::setKernelPathForTesting(nuvex::engine::fastestKernelPath());
}

void BM_OfficialGrid1ToGrid3(benchmark::State& state) {
  if (!choosePath(state)) return;
  const Transformer t({CoordinateType::Grid, 1}, {CoordinateType::Grid, 3}, {3, false, kUtmZone},
                      DatumChoice{DatumShift::Official, ""});
  runBatch(state, t, gaussKrueger());
}

void BM_PolynomialGrid1ToGrid3(benchmark::State& state) {
  if (!choosePath(state)) return;
  const Transformer t({CoordinateType::Grid, 1}, {CoordinateType::Grid, 3}, {3, false, kUtmZone});
  runBatch(state, t, gaussKrueger());
}

void BM_OfficialGeo4ToGeo3(benchmark::State& state) {
  if (!choosePath(state)) return;
  const Transformer t({CoordinateType::Geographic, 4}, {CoordinateType::Geographic, 3}, {},
                      DatumChoice{DatumShift::Official, ""});
  runBatch(state, t, krassowsky());
}

void BM_PolynomialGeo4ToGeo3(benchmark::State& state) {
  if (!choosePath(state)) return;
  const Transformer t({CoordinateType::Geographic, 4}, {CoordinateType::Geographic, 3});
  runBatch(state, t, krassowsky());
}

constexpr auto kScalar = static_cast<std::int64_t>(KernelPath::Scalar);
constexpr auto kVector = static_cast<std::int64_t>(KernelPath::Vector);
BENCHMARK(BM_OfficialGrid1ToGrid3)->Arg(kScalar)->Arg(kVector);
BENCHMARK(BM_PolynomialGrid1ToGrid3)->Arg(kScalar)->Arg(kVector);
BENCHMARK(BM_OfficialGeo4ToGeo3)->Arg(kScalar)->Arg(kVector);
BENCHMARK(BM_PolynomialGeo4ToGeo3)->Arg(kScalar)->Arg(kVector);
BENCHMARK(BM_OfficialItrfToEtrs)->Arg(kScalar)->Arg(kVector);
BENCHMARK(BM_OfficialItrfToGaussKrueger)->Arg(kScalar)->Arg(kVector);

#if defined(NUVEX_HAVE_PROJ)
// PROJ's pipelines, written out as PROJ itself gives them (cct and projinfo -k operation).
constexpr const char* kProjGrid1ToGrid3 =
    "+proj=pipeline +step +inv +proj=tmerc +lat_0=0 +lon_0=9 +k=1 +x_0=3500000 +y_0=0 "
    "+ellps=bessel +step +proj=hgridshift +grids=BETA2007.gsb +step +proj=utm +zone=32 "
    "+ellps=GRS80";
const std::string kProjGrid1ToGrid3Heights =
    "+proj=pipeline +step +inv +proj=tmerc +lat_0=0 +lon_0=9 +k=1 +x_0=3500000 +y_0=0 "
    "+ellps=bessel +step +proj=hgridshift +grids=BETA2007.gsb +step +proj=vgridshift "
    "+grids=" NUVEX_DATA_DIR
    "/de_bkg_gcg2016.tif +multiplier=1 +step +proj=utm +zone=32 "
    "+ellps=GRS80";
// EPSG:10586 as cct runs it, the epoch the fourth coordinate, at height 0.
#define NUVEX_PROJ_EPSG10586                                                                 \
  "+step +proj=push +v_3 +step +proj=cart +ellps=GRS80 +step +proj=helmert +x=0.0538 "       \
  "+y=0.0518 +z=-0.0822 +rx=0.002106 +ry=0.01274 +rz=-0.020592 +s=0.00225 +dx=0.0001 +dy=0 " \
  "+dz=-0.0017 +drx=8.1e-05 +dry=0.00049 +drz=-0.000792 +ds=0.00011 +t_epoch=2015 "          \
  "+convention=position_vector +step +inv +proj=cart +ellps=GRS80 +step +proj=pop +v_3 "
constexpr const char* kProjItrfToEtrs =
    "+proj=pipeline +step +proj=unitconvert +xy_in=deg +xy_out=rad " NUVEX_PROJ_EPSG10586
    "+step +proj=unitconvert +xy_in=rad +xy_out=deg";
constexpr const char* kProjItrfToGaussKrueger =
    "+proj=pipeline +step +inv +proj=utm +zone=32 +ellps=GRS80 " NUVEX_PROJ_EPSG10586
    "+step +inv +proj=hgridshift +grids=BETA2007.gsb +step +proj=tmerc +lat_0=0 +lon_0=9 +k=1 "
    "+x_0=3500000 +y_0=0 +ellps=bessel";
#undef NUVEX_PROJ_EPSG10586
constexpr const char* kProjEpsg1775 =
    "+proj=pipeline +step +proj=axisswap +order=2,1 +step +proj=unitconvert +xy_in=deg "
    "+xy_out=rad +step +proj=push +v_3 +step +proj=cart +ellps=krass +step +proj=helmert "
    "+x=24.9 +y=-126.4 +z=-93.2 +rx=-0.063 +ry=-0.247 +rz=-0.041 +s=1.01 "
    "+convention=position_vector +step +inv +proj=cart +ellps=GRS80 +step +proj=pop +v_3 "
    "+step +proj=unitconvert +xy_in=rad +xy_out=deg +step +proj=axisswap +order=2,1";

void runProj(benchmark::State& state, const char* definition, const std::vector<PJ_COORD>& input) {
  PJ_CONTEXT* context = proj_context_create();
  PJ* op = proj_create(context, definition);
  if (op == nullptr) {
    state.SkipWithError("PROJ could not create the pipeline (is proj-data installed?)");
  } else {
    nuvex::bench::timeProjArray(state, op, input);
  }
  proj_destroy(op);
  proj_context_destroy(context);
}

void BM_ProjGrid1ToGrid3(benchmark::State& state) {
  std::vector<PJ_COORD> input;
  for (std::size_t i = 0; i < kPoints; ++i) {
    input.push_back(proj_coord(gaussKrueger().x[i], gaussKrueger().y[i], 0, 0));
  }
  runProj(state, kProjGrid1ToGrid3, input);
}

void BM_ProjGrid1ToGrid3Heights(benchmark::State& state) {
  std::vector<PJ_COORD> input;
  for (std::size_t i = 0; i < kPoints; ++i) {
    input.push_back(proj_coord(gaussKrueger().x[i], gaussKrueger().y[i], normalHeights()[i], 0));
  }
  runProj(state, kProjGrid1ToGrid3Heights.c_str(), input);
}

void BM_ProjItrfToEtrs(benchmark::State& state) {
  std::vector<PJ_COORD> input;
  for (std::size_t i = 0; i < kPoints; ++i) {
    input.push_back(proj_coord(itrf2020().x[i], itrf2020().y[i], 0, kEpoch));
  }
  runProj(state, kProjItrfToEtrs, input);
}

void BM_ProjItrfToGaussKrueger(benchmark::State& state) {
  std::vector<PJ_COORD> input;
  for (std::size_t i = 0; i < kPoints; ++i) {
    input.push_back(proj_coord(itrf2020Utm().x[i], itrf2020Utm().y[i], 0, kEpoch));
  }
  runProj(state, kProjItrfToGaussKrueger, input);
}

void BM_ProjEpsg1775(benchmark::State& state) {
  std::vector<PJ_COORD> input;
  for (std::size_t i = 0; i < kPoints; ++i) {
    input.push_back(proj_coord(krassowsky().y[i], krassowsky().x[i], 0, 0));  // latitude first
  }
  runProj(state, kProjEpsg1775, input);
}
BENCHMARK(BM_ProjGrid1ToGrid3);
BENCHMARK(BM_ProjGrid1ToGrid3Heights);
BENCHMARK(BM_ProjEpsg1775);
BENCHMARK(BM_ProjItrfToEtrs);
BENCHMARK(BM_ProjItrfToGaussKrueger);
#endif

void printSummary(const nuvex::bench::RateReporter& reporter) {
  std::printf("\n");
  for (const auto& [name, rate] : reporter.rates()) {
    if (rate > 0.0) std::printf("%-36s %8.2f ns/point\n", name.c_str(), 1e9 / rate);
  }
  const std::string vector = "/" + std::to_string(kVector);
  reporter.printRatio("BM_OfficialGrid1ToGrid3" + vector, "BM_ProjGrid1ToGrid3", 10.0);
  reporter.printRatio("BM_OfficialGeo4ToGeo3" + vector, "BM_ProjEpsg1775", 10.0);
  reporter.printRatio("BM_OfficialGrid1ToGrid3Heights", "BM_ProjGrid1ToGrid3Heights", 10.0);
  reporter.printRatio("BM_OfficialItrfToEtrs" + vector, "BM_ProjItrfToEtrs", 15.0);
  reporter.printRatio("BM_OfficialItrfToGaussKrueger" + vector, "BM_ProjItrfToGaussKrueger", 10.0);
  reporter.printRatio("BM_OfficialGrid1ToGrid3/" + std::to_string(kScalar), "BM_ProjGrid1ToGrid3");
  reporter.printRatio("BM_OfficialGeo4ToGeo3/" + std::to_string(kScalar), "BM_ProjEpsg1775");
}

}  // namespace

int main(int argc, char** argv) {
  return nuvex::bench::runWithRates(argc, argv, printSummary);
}
