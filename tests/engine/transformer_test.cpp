// Transformer: the batch path gives every point what TRGU gives it.
#include <gtest/gtest.h>

#include <cmath>
#include <stdexcept>
#include <vector>

#include "nuvex/engine.h"
#include "nuvex/transform.h"

namespace nuvex {
namespace {

// Geographic points across Germany and beyond both regions (lon, lat in degrees).
const std::vector<std::pair<double, double>> kPoints = {{10.0, 50.0}, {6.1, 51.2},  {13.4, 52.5},
                                                        {9.5, 47.8},  {14.9, 54.1}, {-20.0, 10.0}};

TEST(Transformer, GeographicToGridAgreesWithTrguOnEveryPair) {
  for (int from = 1; from <= 4; ++from) {
    for (int to = 1; to <= 4; ++to) {
      SCOPED_TRACE(testing::Message() << from << " -> " << to);
      const Transformer transformer({CoordinateType::Geographic, from}, {CoordinateType::Grid, to});
      for (const auto& [lon, lat] : kPoints) {
        GEO_XIN[1] = lon;
        GEO_YIN[1] = lat;
        const int trgu = TRGU("G", from, "E", to, 3, 1, 1, 0);
        double x = 0, y = 0;
        int zone = 0, status = 0;
        transformer.transform(1, &lon, &lat, nullptr, &x, &y, &zone, &status);
        ASSERT_EQ(status, trgu);
        if (trgu != 0) {
          EXPECT_TRUE(std::isnan(x) && std::isnan(y));
          continue;
        }
        EXPECT_NEAR(x, GRID_XOUT[1], 1e-6);
        EXPECT_NEAR(y, GRID_YOUT[1], 1e-6);
        EXPECT_EQ(zone, GRID_ZONEOUT[1]);
      }
    }
  }
}

TEST(Transformer, RefusesUnknownSystemsAndZoneWidths) {
  EXPECT_THROW(Transformer({CoordinateType::Grid, 5}, {CoordinateType::Grid, 1}),
               std::invalid_argument);
  EXPECT_THROW(Transformer({CoordinateType::Grid, 1}, {CoordinateType::Grid, 0}),
               std::invalid_argument);
  EXPECT_THROW(Transformer({CoordinateType::Grid, 1}, {CoordinateType::Grid, 4}, {4, true, 0}),
               std::invalid_argument);
}

}  // namespace
}  // namespace nuvex
