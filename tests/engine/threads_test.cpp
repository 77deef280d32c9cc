// Many threads at once: through shared Transformer objects, and beside the locked entry points.
// Built and run under ThreadSanitizer by the tsan preset (make test-tsan).
#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <cstring>
#include <thread>
#include <vector>

#include "nuvex/host.h"
#include "nuvex/transform.h"

namespace nuvex {
namespace {

constexpr int kThreads = 8;
constexpr int kRounds = 4;
constexpr std::size_t kPointsPerThread = 1003;  // blocks of eight and a scalar tail
constexpr double kMetre = 1e-6;                 // tolerance between the paths (m)
constexpr double kDegree = 1e-11;               // and in degrees

using CT = CoordinateType;

struct Points {
  std::vector<double> x, y;
};

// Geographic points over both regions and beyond them (some without path).
Points cloud(std::size_t count) {
  Points p;
  for (std::size_t i = 0; i < count; ++i) {
    p.x.push_back(3.0 + 13.0 * static_cast<double>(i % 97) / 97.0);
    p.y.push_back(46.0 + 10.0 * static_cast<double>(i % 89) / 89.0);
  }
  return p;
}

struct Output {
  std::vector<double> x, y;
  std::vector<int> zone, status;
  bool operator==(const Output&) const = default;
};

Output convert(const Transformer& t, const Points& in, std::size_t first, std::size_t count) {
  Output out{std::vector<double>(count), std::vector<double>(count), std::vector<int>(count),
             std::vector<int>(count)};
  t.transform(count, in.x.data() + first, in.y.data() + first, nullptr, out.x.data(), out.y.data(),
              out.zone.data(), out.status.data());
  return out;
}

TEST(Threads, SharedTransformersGiveEveryThreadTheSingleThreadResult) {
  const Points points = cloud(kThreads * kPointsPerThread);
  const std::vector<Transformer> shared = {
      Transformer({CT::Geographic, 3}, {CT::Grid, 3}),
      Transformer({CT::Geographic, 3}, {CT::Grid, 1}),
      Transformer({CT::Geographic, 1}, {CT::Geographic, 2}, {6, false, 0})};
  std::vector<Output> expected;
  for (const Transformer& t : shared) expected.push_back(convert(t, points, 0, points.x.size()));

  std::atomic<int> mismatches{0};
  std::vector<std::thread> workers;
  for (int w = 0; w < kThreads; ++w) {
    workers.emplace_back([&, w] {
      const std::size_t first = static_cast<std::size_t>(w) * kPointsPerThread;
      for (int round = 0; round < kRounds; ++round) {
        for (std::size_t k = 0; k < shared.size(); ++k) {
          const Output got = convert(shared[k], points, first, kPointsPerThread);
          for (std::size_t i = 0; i < kPointsPerThread; ++i) {
            const std::size_t j = first + i;
            // Block boundaries differ from the single run: vector and scalar lanes may swap.
            const double tolerance = shared[k].target().type == CT::Grid ? kMetre : kDegree;
            const bool same =
                got.status[i] == expected[k].status[j] && got.zone[i] == expected[k].zone[j] &&
                (got.status[i] != 0 || (std::abs(got.x[i] - expected[k].x[j]) <= tolerance &&
                                        std::abs(got.y[i] - expected[k].y[j]) <= tolerance));
            if (!same) ++mismatches;
          }
        }
      }
    });
  }
  for (std::thread& worker : workers) worker.join();
  EXPECT_EQ(mismatches.load(), 0);
}

// One official Transformer (grid shift and EPSG:1775, the built-in grid read once) from many
// threads: every thread gets bitwise the single-thread result.
bool bitwiseEqual(const Output& a, const Output& b) {
  const auto same = [](const std::vector<double>& u, const std::vector<double>& v) {
    return u.size() == v.size() && std::memcmp(u.data(), v.data(), u.size() * sizeof u[0]) == 0;
  };
  return same(a.x, b.x) && same(a.y, b.y) && a.zone == b.zone && a.status == b.status;
}

TEST(Threads, OneOfficialTransformerGivesEveryThreadTheSerialResult) {
  // Gauss-Krueger eastings and northings over the grid and beyond it (points without path).
  Points points = cloud(kPointsPerThread);
  for (double& x : points.x) x = 3.2e6 + (x - 3.0) * 5e4;
  for (double& y : points.y) y = 5.2e6 + (y - 46.0) * 9e4;
  const DatumChoice official{DatumShift::Official, ""};
  const std::vector<Transformer> shared = {
      Transformer({CT::Grid, 1}, {CT::Grid, 3}, {}, official),
      Transformer({CT::Grid, 1}, {CT::Geographic, 4}, {}, official)};
  std::vector<Output> expected;
  for (const Transformer& t : shared) expected.push_back(convert(t, points, 0, points.x.size()));
  std::atomic<int> mismatches{0};
  std::vector<std::thread> workers;
  for (int w = 0; w < kThreads; ++w) {
    workers.emplace_back([&] {
      for (int round = 0; round < kRounds; ++round) {
        for (std::size_t k = 0; k < shared.size(); ++k) {
          if (!bitwiseEqual(convert(shared[k], points, 0, points.x.size()), expected[k])) {
            ++mismatches;
          }
        }
      }
    });
  }
  for (std::thread& worker : workers) worker.join();
  EXPECT_EQ(mismatches.load(), 0);
}

void silentLog(int, const char*, ...) {}

// The entry points keep their lock and arrays to themselves while batches run beside them.
TEST(Threads, EntryPointsRunBesideBatchWork) {
  DLLCallbacks record{};
  record.structSize = sizeof record;
  record.logMessage = silentLog;
  SetNuvexCallbacks(record);
  const Points points = cloud(kPointsPerThread);
  const Transformer toGrid({CT::Geographic, 3}, {CT::Grid, 3});
  const Transformer toGeographic({CT::Grid, 1}, {CT::Geographic, 3});
  const Output expected = convert(toGrid, points, 0, points.x.size());

  std::atomic<int> mismatches{0};
  std::vector<std::thread> workers;
  for (int w = 0; w < kThreads; ++w) {
    workers.emplace_back([&, w] {
      for (int round = 0; round < kRounds; ++round) {
        for (std::size_t i = static_cast<std::size_t>(w); i < points.x.size(); i += kThreads) {
          if (w % 2 == 0) {  // entry point, one point per call
            double easting = 0.0, northing = 0.0;
            int zone = 0;
            const int result =
                NuvexConvertFromLL(points.x[i], points.y[i], &easting, &northing, 3, &zone, 1, 0);
            // TRGU's scalar series against the batch path's (vector where available).
            if (result != 0 || std::abs(easting - expected.x[i]) > kMetre ||
                std::abs(northing - expected.y[i]) > kMetre || zone != expected.zone[i]) {
              ++mismatches;
            }
          } else {  // batch work on a shared object
            const Output got = convert(toGrid, points, 0, points.x.size());
            if (!(got == expected)) ++mismatches;
            double grid[2] = {3571686.387, 5540758.788}, geographic[2];
            toGeographic.transform(1, &grid[0], &grid[1], nullptr, &geographic[0], &geographic[1],
                                   nullptr, nullptr);
            int zone = 0;
            double longitude = 0.0, latitude = 0.0;
            NuvexConvertToLL(grid[0], grid[1], &longitude, &latitude, 1, &zone, 1);
            if (std::abs(longitude - geographic[0]) > kDegree ||
                std::abs(latitude - geographic[1]) > kDegree) {
              ++mismatches;
            }
          }
        }
      }
    });
  }
  for (std::thread& worker : workers) worker.join();
  EXPECT_EQ(mismatches.load(), 0);
}

}  // namespace
}  // namespace nuvex
