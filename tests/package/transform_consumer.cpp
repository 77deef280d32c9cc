// Batch conversion against the installed package: shared Transformer objects used from four
// threads; every point as TRGU gives it, points without a path marked.
#include <nuvex/engine.h>
#include <nuvex/transform.h>

#include <cmath>
#include <cstdio>
#include <thread>
#include <vector>

namespace {

constexpr int kThreads = 4;
constexpr int kSide = 41;  // points per lattice side, over and beyond both regions

struct Run {
  std::vector<double> x, y;
  std::vector<int> zone, status;
};

// Whether a WGS84 point lies in the polynomial datum shifts' area, beyond which the batch
// refuses every conversion that needs a shift (TRGU extrapolates).
bool inShiftArea(double lon, double lat) {
  return lon >= 5.0 && lon <= 15.0 + 20.0 / 60.0 && lat >= 47.0 && lat <= 55.2;
}

// TRGU for point i alone; false when the batch differs from it.
bool sameAsTrgu(const nuvex::Transformer& t, const char* to, double lon, double lat, const Run& r,
                std::size_t i) {
  if (!inShiftArea(lon, lat)) return r.status[i] == nuvex::kPointWithoutPath && std::isnan(r.x[i]);
  nuvex::GEO_XIN[1] = lon;
  nuvex::GEO_YIN[1] = lat;
  const int result = nuvex::TRGU("G", t.source().system, to, t.target().system, 3, 1, 1, 0);
  if (result != r.status[i]) return false;
  if (result != 0) return std::isnan(r.x[i]) && r.zone[i] == 0;
  if (to[0] == 'G') {
    return std::fabs(r.x[i] - nuvex::GEO_XOUT[1]) < 1e-11 &&
           std::fabs(r.y[i] - nuvex::GEO_YOUT[1]) < 1e-11;
  }
  return std::fabs(r.x[i] - nuvex::GRID_XOUT[1]) < 1e-6 &&
         std::fabs(r.y[i] - nuvex::GRID_YOUT[1]) < 1e-6 && r.zone[i] == nuvex::GRID_ZONEOUT[1];
}

}  // namespace

int main() {
  using nuvex::CoordinateType;
  std::vector<double> lon, lat;
  for (int i = 0; i < kSide * kSide; ++i) {
    lon.push_back(3.0 + 13.0 * (i % kSide) / (kSide - 1));
    lat.push_back(46.0 + 10.0 * (i / kSide) / (kSide - 1));
  }
  const nuvex::Transformer toGrid({CoordinateType::Geographic, 3}, {CoordinateType::Grid, 1});
  const nuvex::Transformer across({CoordinateType::Geographic, 2}, {CoordinateType::Geographic, 3});
  const std::size_t n = lon.size();
  Run grid{std::vector<double>(n), std::vector<double>(n), std::vector<int>(n),
           std::vector<int>(n)};
  Run geographic = grid;
  std::vector<std::thread> workers;
  for (int w = 0; w < kThreads; ++w) {
    workers.emplace_back([&, w] {
      const std::size_t first = n * w / kThreads, count = n * (w + 1) / kThreads - first;
      for (auto [t, r] : {std::pair{&toGrid, &grid}, std::pair{&across, &geographic}}) {
        t->transform(count, lon.data() + first, lat.data() + first, nullptr, r->x.data() + first,
                     r->y.data() + first, r->zone.data() + first, r->status.data() + first);
      }
    });
  }
  for (std::thread& worker : workers) worker.join();
  int mismatches = 0, withoutPath = 0;
  for (std::size_t i = 0; i < n; ++i) {
    if (!sameAsTrgu(toGrid, "E", lon[i], lat[i], grid, i)) ++mismatches;
    if (!sameAsTrgu(across, "G", lon[i], lat[i], geographic, i)) ++mismatches;
    if (geographic.status[i] == nuvex::kPointWithoutPath) ++withoutPath;
  }
  std::printf("%zu points, %d without path, %d differ from TRGU\n", n, withoutPath, mismatches);
  return mismatches == 0 && withoutPath > 0 ? 0 : 1;
}
