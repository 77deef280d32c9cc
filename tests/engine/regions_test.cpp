// Regions of validity: mask lookups, edges and unsafe coordinates.
#include <gtest/gtest.h>

#include <limits>

#include "nuvex/engine.h"
#include "support/case_file.h"

namespace nuvex {
namespace {

using testing::readCases;

TEST(Regions, MembershipCases) {
  for (const auto& line : readCases("engine_regions.txt")) {
    SCOPED_TRACE(line.where());
    const double latitude = line.number(0), longitude = line.number(1);
    EXPECT_EQ(INREGA(latitude, longitude), line.integer(2));
    EXPECT_EQ(INREGB(latitude, longitude), line.integer(3));
    int code = 0;
    EXPECT_EQ(REGBCODE(latitude, longitude, code), line.integer(3));
    EXPECT_EQ(code, line.integer(3) != 0 ? 2 : -1);
  }
}

// A mask row one cell too long or too short gives a point a path it must not have, or takes one.
TEST(Regions, EveryMaskRowAtItsFirstAndLastCellAndJustOutside) {
  for (const auto& c : readCases("engine_region_edges.txt")) {
    SCOPED_TRACE(c.where());
    const auto lookup = c.fields[0] == "A" ? INREGA : INREGB;
    EXPECT_EQ(lookup(c.number(3), c.number(4)), c.integer(5));
  }
}

TEST(Regions, NonFiniteAndFarAwayCoordinatesAreOutside) {
  constexpr double inf = std::numeric_limits<double>::infinity();
  constexpr double nan = std::numeric_limits<double>::quiet_NaN();
  const double inside[2] = {51.0, 10.0};  // in both regions
  const double bad[] = {nan, inf, -inf, 1e300, -1e300, 3e9, -3e9};
  for (double value : bad) {
    EXPECT_EQ(INREGA(value, inside[1]), 0) << value;
    EXPECT_EQ(INREGA(inside[0], value), 0) << value;
    EXPECT_EQ(INREGB(value, inside[1]), 0) << value;
    EXPECT_EQ(INREGB(inside[0], value), 0) << value;
    int code = 0;
    EXPECT_EQ(REGBCODE(value, value, code), 0) << value;
    EXPECT_EQ(code, -1);
  }
}

}  // namespace
}  // namespace nuvex
