// The vocabulary every interface shares: names of systems, zone ranges and input ranges.
#include "nuvex/systems.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <stdexcept>

namespace nuvex {
namespace {

TEST(SystemNames, ReadAndWrittenAlike) {
  for (const char* text : {"E:1", "G:2", "E:3", "G:4", "E:5"}) {
    const std::optional<CoordinateSystem> parsed = parseCoordinateSystem(text);
    ASSERT_TRUE(parsed) << text;
    EXPECT_EQ(formatCoordinateSystem(*parsed), text);
  }
  EXPECT_EQ(formatCoordinateSystem(*parseCoordinateSystem("g:3")), "G:3");
  for (const char* text : {"", "E:0", "E:6", "X:1", "E1", "E:12", "E-1", " E:1"}) {
    EXPECT_FALSE(parseCoordinateSystem(text)) << text;
  }
}

TEST(SystemNames, RefusalSaysWhatIsAccepted) {
  try {
    parseSystemName("E:9", "source");
    FAIL() << "E:9 accepted";
  } catch (const std::invalid_argument& error) {
    EXPECT_STREQ(error.what(),
                 "source 'E:9' is not a coordinate system: write TYPE:SYSTEM with TYPE E (grid) "
                 "or G (geographic) and SYSTEM 1 to 5, e.g. 'E:1' or 'G:3', or an EPSG code, "
                 "e.g. 'EPSG:31467'");
  }
  const NamedSystem named = parseSystemName("E:4", "target");
  EXPECT_EQ(named.system.type, CoordinateType::Grid);
  EXPECT_EQ(named.system.system, 4);
  EXPECT_FALSE(named.zone);
}

TEST(SystemZones, RangesFollowTheZoneWidth) {
  EXPECT_EQ(outputZoneRange(1, kSixDegreeZones).highest, 119);   // always 3 deg
  EXPECT_EQ(outputZoneRange(2, kThreeDegreeZones).highest, 60);  // always 6 deg
  EXPECT_EQ(outputZoneRange(4, kThreeDegreeZones).lowest, 0);
  EXPECT_EQ(outputZoneRange(4, kSixDegreeZones).lowest, 1);
  EXPECT_EQ(systemTitle(4, kSixDegreeZones), "Krassowsky 1940 / Gauss-Krueger 6 deg");
  EXPECT_EQ(systemTitle(3, kThreeDegreeZones), "WGS84 / UTM");
  EXPECT_THROW(describeSystem(0), std::out_of_range);
  EXPECT_THROW(describeSystem(6), std::out_of_range);
}

// The official transformations join systems 1, 3 and 4; system 2 only to itself.
TEST(SystemDatums, OnlyInternational1924LacksAnOfficialPath) {
  for (int from = kFirstSystem; from <= kLastSystem; ++from) {
    for (int to = kFirstSystem; to <= kLastSystem; ++to) {
      const bool lacking = from != to && (from == 2 || to == 2);
      EXPECT_EQ(officialDatumProblem(from, to).has_value(), lacking) << from << " " << to;
    }
  }
  EXPECT_EQ(officialDatumProblem(3, 2).value_or(""),
            "system 2 (International 1924) has no official datum transformation");
}

TEST(InputChecks, BoundsAreInclusiveAndNaNIsOutside) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  EXPECT_TRUE(withinCoordinateRange(CoordinateType::Geographic, 180.0, 90.0));
  EXPECT_TRUE(withinCoordinateRange(CoordinateType::Geographic, -180.0, -90.0));
  EXPECT_FALSE(withinCoordinateRange(CoordinateType::Geographic, std::nextafter(180.0, 181.0), 0));
  EXPECT_FALSE(withinCoordinateRange(CoordinateType::Geographic, 0, std::nextafter(-90.0, -91.0)));
  EXPECT_FALSE(withinCoordinateRange(CoordinateType::Geographic, nan, 0));
  EXPECT_TRUE(withinCoordinateRange(CoordinateType::Grid, 1e9, -1e9));
  EXPECT_FALSE(withinCoordinateRange(CoordinateType::Grid, 0, std::nextafter(1e9, 2e9)));
  EXPECT_FALSE(withinCoordinateRange(CoordinateType::Grid, 0, nan));
}

TEST(InputChecks, UtmZoneAgreesWithThePrefix) {
  EXPECT_TRUE(utmZoneFitsEasting(0, 32571666.0));   // zone from the prefix
  EXPECT_FALSE(utmZoneFitsEasting(0, 571666.0));    // no prefix to take it from
  EXPECT_TRUE(utmZoneFitsEasting(32, 571666.0));    // plain easting, given zone
  EXPECT_TRUE(utmZoneFitsEasting(32, 32571666.0));  // prefix agrees
  EXPECT_FALSE(utmZoneFitsEasting(33, 32571666.0));
  EXPECT_TRUE(utmZoneFitsEasting(60, 9999999.0));
  EXPECT_FALSE(utmZoneFitsEasting(61, 571666.0));
  EXPECT_FALSE(utmZoneFitsEasting(-1, 571666.0));
}

}  // namespace
}  // namespace nuvex
