// Conversions from many threads at once give exactly the serial results: the conversion lock
// serialises every use of the engine's process-wide point arrays. (A point without a path keeps
// whatever the previous conversion left, which depends on the interleaving: only statuses are
// compared for those.)
#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "support/recording_host.h"

namespace {

struct Conversion {
  double longitude, latitude;
  int system;
  double easting = 0, northing = 0;
  int zone = 0;
  double backLongitude = 0, backLatitude = 0;
  int status = 0;
};

void convert(Conversion& c) {
  c.status =
      NuvexConvertFromLL(c.longitude, c.latitude, &c.easting, &c.northing, c.system, &c.zone, 1, 0);
  if (c.status != 0) return;  // the outputs hold another conversion's results
  int zone = c.zone;
  c.status = NuvexConvertToLL(c.easting, c.northing, &c.backLongitude, &c.backLatitude, c.system,
                              &zone, 0);
}

std::vector<Conversion> samplePoints() {
  std::vector<Conversion> points;
  for (int i = 0; i < 400; ++i) {
    points.push_back({6.0 + 0.021 * i, 47.5 + 0.0175 * i, 1 + i % 4});
  }
  return points;
}

TEST(Concurrency, EightThreadsGiveExactlyTheSerialResults) {
  nuvex::testing::RecordingHost host;
  std::vector<Conversion> serial = samplePoints();
  int converted = 0;
  for (Conversion& c : serial) {
    convert(c);
    converted += c.status == 0;
  }
  ASSERT_GT(converted, 300);

  constexpr int kThreads = 8;
  std::vector<std::vector<Conversion>> perThread(kThreads, samplePoints());
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&perThread, t] {
      for (int round = 0; round < 5; ++round) {
        for (Conversion& c : perThread[t]) convert(c);
      }
    });
  }
  for (std::thread& thread : threads) thread.join();

  for (const auto& results : perThread) {
    for (std::size_t i = 0; i < serial.size(); ++i) {
      EXPECT_EQ(results[i].status, serial[i].status) << i;
      if (serial[i].status != 0) continue;
      EXPECT_EQ(results[i].easting, serial[i].easting) << i;
      EXPECT_EQ(results[i].northing, serial[i].northing) << i;
      EXPECT_EQ(results[i].zone, serial[i].zone) << i;
      EXPECT_EQ(results[i].backLongitude, serial[i].backLongitude) << i;
      EXPECT_EQ(results[i].backLatitude, serial[i].backLatitude) << i;
    }
  }
}

}  // namespace
