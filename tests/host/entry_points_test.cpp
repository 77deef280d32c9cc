// The two conversion entry points as a host sees them: arguments, results, zones and traces.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <thread>

#include "nuvex/engine.h"
#include "support/recording_host.h"

namespace {

using nuvex::testing::RecordingHost;

constexpr double kMillimetre = 1e-3;  // m
constexpr double kDegreeTolerance = 1e-9;

// Worked value: WGS84 longitude 10, latitude 50 in UTM zone 32.
constexpr double kLongitude = 10.0, kLatitude = 50.0;
constexpr double kUtmEasting = 571666.448, kUtmNorthing = 5539109.815;

TEST(ConvertFromLL, ProjectsIntoTheZoneOfTheLongitudeAndTracesBothEnds) {
  RecordingHost host;
  double easting = 0, northing = 0;
  int zone = 0;
  ASSERT_EQ(NuvexConvertFromLL(kLongitude, kLatitude, &easting, &northing, 3, &zone, 1, 0), 0);
  EXPECT_NEAR(easting, kUtmEasting, kMillimetre);
  EXPECT_NEAR(northing, kUtmNorthing, kMillimetre);
  EXPECT_EQ(zone, 32);
  ASSERT_EQ(host.seen().logs.size(), 2u);
  EXPECT_EQ(host.seen().logs[0].level, 2);
  EXPECT_EQ(host.seen().logs[0].text,
            "NuvexConvertFromLL xin , yin  =        10.0000,        50.0000, Zone = 0\n");
  EXPECT_EQ(host.seen().logs[1].text,
            "NuvexConvertFromLL xout, yout =    571666.4475,   5539109.8153, Zone = 32\n");
}

TEST(ConvertFromLL, ZonePrefixOnlyForSystem3) {
  RecordingHost host;
  double easting = 0, northing = 0;
  int zone = 0;
  ASSERT_EQ(NuvexConvertFromLL(9.0, kLatitude, &easting, &northing, 3, &zone, 1, 1), 0);
  EXPECT_EQ(zone, 32);
  EXPECT_NEAR(easting, 32500000.0, kMillimetre);
  zone = 0;
  ASSERT_EQ(NuvexConvertFromLL(9.0, kLatitude, &easting, &northing, 2, &zone, 1, 1), 0);
  EXPECT_LT(easting, 1000000.0);  // the datum shift moves it off 500000, but no prefix
}

TEST(ConvertFromLL, GivenZoneIsUsedAndLeftAlone) {
  RecordingHost host;
  double easting = 0, northing = 0;
  int zone = 33;
  ASSERT_EQ(NuvexConvertFromLL(kLongitude, kLatitude, &easting, &northing, 3, &zone, 0, 0), 0);
  EXPECT_EQ(zone, 33);
  EXPECT_LT(easting, 500000.0);  // west of the 15 deg meridian of zone 33
  // Also where there is no path (system 2 far outside the regions), when the last zone computed
  // is another one.
  zone = 36;
  EXPECT_EQ(NuvexConvertFromLL(30.0, 10.0, &easting, &northing, 2, &zone, 0, 0), -1);
  EXPECT_EQ(zone, 36);
}

TEST(ConvertFromLL, NullZoneDoesNotCrash) {
  RecordingHost host;
  double easting = 0, northing = 0;
  EXPECT_EQ(NuvexConvertFromLL(kLongitude, kLatitude, &easting, &northing, 3, nullptr, 1, 1), 0);
  EXPECT_NEAR(northing, kUtmNorthing, kMillimetre);
}

TEST(ConvertToLL, InverseOfTheWorkedValueWithFirstTraceIndented) {
  RecordingHost host;
  double longitude = 0, latitude = 0;
  int zone = 32;
  ASSERT_EQ(NuvexConvertToLL(kUtmEasting, kUtmNorthing, &longitude, &latitude, 3, &zone, 1), 0);
  EXPECT_NEAR(longitude, kLongitude, 1e-7);
  EXPECT_NEAR(latitude, kLatitude, 1e-7);
  ASSERT_EQ(host.seen().logs.size(), 2u);
  EXPECT_EQ(host.seen().logs[0].text.rfind("   xin , yin  = ", 0), 0u);
  EXPECT_EQ(host.seen().logs[1].text.rfind("NuvexConvertToLL xout, yout = ", 0), 0u);
}

TEST(ConvertToLL, SystemBelowOneConvertsAsSystem1AndWritesTheZoneBack) {
  RecordingHost host;
  double lon0 = 0, lat0 = 0, lon1 = 0, lat1 = 0;
  int zone0 = 0, zone1 = 0;
  ASSERT_EQ(NuvexConvertToLL(3571686.387, 5540758.788, &lon0, &lat0, 0, &zone0, 1), 0);
  ASSERT_EQ(NuvexConvertToLL(3571686.387, 5540758.788, &lon1, &lat1, 1, &zone1, 1), 0);
  EXPECT_EQ(lon0, lon1);
  EXPECT_EQ(lat0, lat1);
  EXPECT_EQ(zone0, 3);  // from the easting's millions
  // Bessel grid to WGS84: the datum shift of a few arc seconds is applied.
  EXPECT_NEAR(lon0, kLongitude, 2e-3);
  EXPECT_GT(std::abs(lon0 - kLongitude), 1e-4);
}

// The zone the easting decides is written back only when asked: a UTM easting with the zone's
// millions read with zone 0, and a Gauss-Krueger easting read with a zone it overrides.
TEST(ConvertToLL, WriteZoneZeroLeavesTheZoneAlone) {
  RecordingHost host;
  struct Case {
    double easting, northing;
    int system, zoneIn, zoneDecided;
  };
  for (const Case& c : {Case{32e6 + kUtmEasting, kUtmNorthing, 3, 0, 32},
                        Case{3571686.387, 5540758.788, 1, 7, 3}}) {
    for (int writeZone : {0, 1}) {
      double longitude = 0, latitude = 0;
      int zone = c.zoneIn;
      ASSERT_EQ(NuvexConvertToLL(c.easting, c.northing, &longitude, &latitude, c.system, &zone,
                                 writeZone),
                0);
      EXPECT_EQ(zone, writeZone != 0 ? c.zoneDecided : c.zoneIn) << c.system << " " << writeZone;
    }
  }
}

TEST(ConvertToLL, NullZoneUsesTheZoneLeftByThePreviousCall) {
  RecordingHost host;
  double longitude = 0, latitude = 0;
  int zone = 32;
  ASSERT_EQ(NuvexConvertToLL(kUtmEasting, kUtmNorthing, &longitude, &latitude, 3, &zone, 0), 0);
  double again = 0;
  ASSERT_EQ(NuvexConvertToLL(kUtmEasting, kUtmNorthing, &again, &latitude, 3, nullptr, 1), 0);
  EXPECT_EQ(again, longitude);
}

TEST(ConvertToLL, NoPathKeepsTheLastResultOfTheSameDirection) {
  RecordingHost host;
  double longitude = 0, latitude = 0;
  int zone = 32;
  ASSERT_EQ(NuvexConvertToLL(kUtmEasting, kUtmNorthing, &longitude, &latitude, 3, &zone, 0), 0);
  host.seen().logs.clear();
  // System 2 grid far outside both regions: UTM decides, and no route leads to WGS84.
  double lonOut = -1, latOut = -1;
  int farZone = 36;
  EXPECT_EQ(NuvexConvertToLL(500000.0, 1100000.0, &lonOut, &latOut, 2, &farZone, 0), -1);
  EXPECT_EQ(lonOut, longitude);
  EXPECT_EQ(latOut, latitude);
  EXPECT_EQ(host.seen().logs.size(), 2u);
}

TEST(EntryPoints, FatalReportLeavesThroughTheEntryPointAndReleasesTheLock) {
  RecordingHost host(/*throwOnFailure=*/true);
  double longitude = 0, latitude = 0;
  int zone = 3;
  testing::internal::CaptureStdout();
  EXPECT_THROW(NuvexConvertToLL(3500000.0, 5500000.0, &longitude, &latitude, 5, &zone, 0),
               nuvex::testing::HostFailure);
  const std::string printed = testing::internal::GetCapturedStdout();
  EXPECT_EQ(printed, " FATALER FEHLER IN *TRGU* -> stop\n \n");
  ASSERT_EQ(host.seen().failures.size(), 1u);
  EXPECT_EQ(host.seen().failures[0].text, "PELORA-Calculation Failed (exit Called)!");
  EXPECT_EQ(host.seen().failures[0].file, "NUVEX/TRGU");
  EXPECT_EQ(host.seen().failures[0].line, 55);
  // The lock was left while unwinding: another thread converts without waiting forever.
  int status = 1;
  std::thread other([&] {
    double e = 0, n = 0;
    int z = 0;
    status = NuvexConvertFromLL(kLongitude, kLatitude, &e, &n, 3, &z, 1, 0);
  });
  other.join();
  EXPECT_EQ(status, 0);
}

}  // namespace
