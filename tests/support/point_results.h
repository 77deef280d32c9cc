// What a Transformer call gives for a set of points, and how two such results, or a result and a
// reference case, are compared: shared by the tests of heights and of epochs.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <numbers>
#include <string>
#include <vector>

namespace nuvex::testing {

struct PointResults {
  std::vector<double> x, y, z;  // z empty where no heights are converted
  std::vector<int> zone, status;
  std::size_t converted = 0;
};

// Metres between a result and the expected point: grid coordinates in the same zone (another zone
// is infinitely far), or geographic ones (deg) on a sphere near enough for a tolerance.
inline double horizontalDeviation(bool gridOutput, double x, double y, double ex, double ey) {
  constexpr double kZone = 1e6;                  // m: a zone number in an easting's millions
  constexpr double kMetresPerDegree = 111320.0;  // of latitude
  if (gridOutput) {
    if (std::floor(x / kZone) != std::floor(ex / kZone)) {
      return std::numeric_limits<double>::infinity();
    }
    return std::max(std::fabs(std::fmod(x, kZone) - std::fmod(ex, kZone)), std::fabs(y - ey));
  }
  const double metresPerLongitude = kMetresPerDegree * std::cos(ey * std::numbers::pi / 180);
  return std::max(std::fabs(x - ex) * metresPerLongitude, std::fabs(y - ey) * kMetresPerDegree);
}

inline bool sameBits(double a, double b) {
  return std::bit_cast<std::uint64_t>(a) == std::bit_cast<std::uint64_t>(b);
}

// The same result, but for the last bits: the vector blocks and the scalar path that converts the
// points left over round differently (and differently again in an unoptimised build), so where a
// point falls in a batch may change its last bits, never more.
inline bool sameButRounding(double a, double b) {
  constexpr double kRounding = 1e-14;  // relative: some tens of units in the last place
  return sameBits(a, b) || std::fabs(a - b) <= kRounding * std::max(std::fabs(a), std::fabs(b));
}

// Every field of the two results is the same, coordinates but for rounding.
inline void expectSameButRounding(const PointResults& a, const PointResults& b,
                                  const std::string& what) {
  ASSERT_EQ(a.x.size(), b.x.size());
  EXPECT_EQ(a.converted, b.converted) << what;
  for (std::size_t i = 0; i < a.x.size(); ++i) {
    EXPECT_TRUE(sameButRounding(a.x[i], b.x[i]) && sameButRounding(a.y[i], b.y[i]) &&
                (a.z.empty() || sameButRounding(a.z[i], b.z[i])))
        << what << ", point " << i << ": " << a.x[i] << " " << a.y[i] << " vs " << b.x[i] << " "
        << b.y[i];
    EXPECT_EQ(a.zone[i], b.zone[i]) << what << ", point " << i;
    EXPECT_EQ(a.status[i], b.status[i]) << what << ", point " << i;
  }
}

}  // namespace nuvex::testing
