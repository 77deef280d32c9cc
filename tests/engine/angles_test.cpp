// Degrees/minutes/seconds split with carry, and the join.
#include <gtest/gtest.h>

#include <limits>

#include "nuvex/engine.h"
#include "support/case_file.h"

namespace nuvex {
namespace {

using testing::readCases;

TEST(Deg2dms, SplitAndCarryCases) {
  for (const auto& line : readCases("engine_angles.txt")) {
    SCOPED_TRACE(line.where());
    const double angle = line.number(0);
    int degrees = -999, minutes = -999;
    double seconds = -999.0;
    DEG2DMS(angle, degrees, minutes, seconds, line.integer(1));
    EXPECT_EQ(degrees, line.integer(2));
    EXPECT_EQ(minutes, line.integer(3));
    EXPECT_NEAR(seconds, line.number(4), 5e-7);
  }
}

TEST(Deg2dms, ManyDecimalsNeverCarry) {
  // Half a unit of the 400th decimal is zero: nothing is ever carried, and nothing overflows.
  int degrees = 0, minutes = 0;
  double seconds = 0.0;
  DEG2DMS(50.99999999, degrees, minutes, seconds, std::numeric_limits<int>::max());
  EXPECT_EQ(degrees, 50);
  EXPECT_EQ(minutes, 59);
}

TEST(Deg2dms, UnrepresentableAnglesDoNotOverflow) {
  int degrees = 1, minutes = 1;
  double seconds = 0.0;
  DEG2DMS(std::numeric_limits<double>::quiet_NaN(), degrees, minutes, seconds, 2);
  EXPECT_EQ(degrees, 0);
  DEG2DMS(1e300, degrees, minutes, seconds, 2);
  EXPECT_EQ(degrees, std::numeric_limits<int>::max());
}

TEST(Dms2deg, JoinsTheParts) {
  EXPECT_DOUBLE_EQ(DMS2DEG(7, 45, 36.0), 7.76);
  EXPECT_DOUBLE_EQ(DMS2DEG(-7, -15, 0.0), -7.25);
  EXPECT_EQ(DMS2DEG(10, 30, 0.0), 10.5);
}

}  // namespace
}  // namespace nuvex
