// TRGU: batch conversion within and between systems through the process-wide point arrays.
#include <gtest/gtest.h>

#include <climits>
#include <map>
#include <sstream>
#include <string>

#include "nuvex/engine.h"
#include "support/case_file.h"

namespace nuvex {
namespace {

constexpr double kUnset = -7777.0;  // what a test writes where TRGU must not
constexpr int kUnsetZone = -77;

void fillArrays() {
  for (int i = 0; i <= TRGU_MAXPT; ++i) {
    GRID_XIN[i] = GRID_YIN[i] = GEO_XIN[i] = GEO_YIN[i] = kUnset;
    GRID_XOUT[i] = GRID_YOUT[i] = GEO_XOUT[i] = GEO_YOUT[i] = HGT_OUT[i] = kUnset;
    HGT_IN[i] = 100.0 + i;
    GRID_ZONEIN[i] = GRID_ZONEOUT[i] = kUnsetZone;
  }
}
bool gridOutputUnset(int i) {
  return GRID_XOUT[i] == kUnset && GRID_YOUT[i] == kUnset && GRID_ZONEOUT[i] == kUnsetZone;
}
bool geoOutputUnset(int i) {
  return GEO_XOUT[i] == kUnset && GEO_YOUT[i] == kUnset;
}
bool untouched(int i) {
  return gridOutputUnset(i) && geoOutputUnset(i) && HGT_OUT[i] == kUnset;
}
// Both input sides get the same numbers (x: easting or longitude, y: northing or latitude): the
// type code decides which side TRGU reads.
void setPoint(int i, double x, double y, int zone = kUnsetZone) {
  GRID_XIN[i] = GEO_XIN[i] = x;
  GRID_YIN[i] = GEO_YIN[i] = y;
  GRID_ZONEIN[i] = zone;
}

// Moves a point along steps such as "SHIFT12+ SHIFT23-" with the shift routines themselves.
void applyRoute(const std::string& steps, bool ascending, double& latitude, double& longitude) {
  using Shift = void (*)(const double&, const double&, double&, double&);
  const std::map<std::string, Shift> shifts = {
      {"SHIFT12", SHIFT12}, {"SHIFT23", SHIFT23}, {"LIN14", LIN14}, {"LIN34", LIN34}};
  std::istringstream in(steps);
  for (std::string step; in >> step;) {
    const double factor = (step.back() == '+') == ascending ? 1.0 / 3600.0 : -1.0 / 3600.0;
    double dLat = 0.0, dLon = 0.0;
    shifts.at(step.substr(0, step.size() - 1))(latitude, longitude, dLat, dLon);
    latitude += factor * dLat;
    longitude += factor * dLon;
  }
}

TEST(Trgu, PathsBetweenSystems) {
  for (const auto& c : testing::readCases("engine_trgu_paths.txt")) {
    SCOPED_TRACE(c.where());
    fillArrays();
    const int from = c.integer(1), to = c.integer(3), result = c.integer(6);
    double latitude = c.number(4), longitude = c.number(5);
    setPoint(1, longitude, latitude);
    if (c.fields[0] == "E") {  // the point projected on its own system, and unprojected again
      int zone = 0;
      double easting = 0.0, northing = 0.0;
      GEO2GRID(ZONECM(1, 0, from, 3, longitude, zone), longitude, latitude, easting, northing, from,
               3);
      setPoint(1, easting, northing, zone);
      GRID2GEO(zone, easting, northing, longitude, latitude, from, 3);
    } else {
      double lat = latitude, lon = longitude;
      EXPECT_EQ(DATUMCHAIN(lat, lon, "G", from, c.fields[2].c_str(), to), result);
    }
    EXPECT_EQ(TRGU(c.fields[0].c_str(), from, c.fields[2].c_str(), to, 3, 1, 1, 0), result);
    EXPECT_EQ(HGT_OUT[1], HGT_IN[1]);  // copied even for a point without path
    EXPECT_EQ(gridOutputUnset(1), c.fields[2] == "G" || result != 0);
    EXPECT_EQ(geoOutputUnset(1), c.fields[2] == "E" || result != 0);
    if (c.fields[7].empty()) continue;
    applyRoute(c.fields[7], from < to, latitude, longitude);
    EXPECT_EQ(GEO_YOUT[1], latitude);
    EXPECT_EQ(GEO_XOUT[1], longitude);
  }
}

TEST(Trgu, SinglePointCases) {
  for (const auto& c : testing::readCases("engine_trgu_points.txt")) {
    SCOPED_TRACE(c.where());
    fillArrays();
    setPoint(1, c.number(6), c.number(7), c.integer(8));
    const bool givenZone = !c.fields[5].empty(), gridOut = !c.fields[12].empty();
    ASSERT_EQ(TRGU(c.fields[0].c_str(), c.integer(1), c.fields[2].c_str(), c.integer(3),
                   c.integer(4), 1, givenZone ? 0 : 1, givenZone ? c.integer(5) : 0),
              c.integer(9));
    EXPECT_EQ(GRID_ZONEIN[1], c.integer(10));
    EXPECT_NEAR(GRID_XIN[1], c.number(11), 1e-6);
    EXPECT_EQ(HGT_OUT[1], HGT_IN[1]);
    EXPECT_EQ(gridOutputUnset(1), !gridOut);
    EXPECT_EQ(geoOutputUnset(1), gridOut || c.integer(9) != 0);
    if (c.fields[13].empty()) continue;
    EXPECT_EQ(GRID_ZONEOUT[1], gridOut ? c.integer(12) : kUnsetZone);
    EXPECT_NEAR(gridOut ? GRID_XOUT[1] : GEO_XOUT[1], c.number(13), c.number(15));
    EXPECT_NEAR(gridOut ? GRID_YOUT[1] : GEO_YOUT[1], c.number(14), c.number(15));
  }
}

TEST(Trgu, PointCountsOutsideTheArraysConvertNothing) {
  fillArrays();
  for (int i = 1; i <= TRGU_MAXPT; ++i) setPoint(i, 3571686.387, 5540758.788, 0);
  for (int count : {0, -1, INT_MIN, TRGU_MAXPT + 1, INT_MAX}) {
    for (int toSystem : {1, 3}) {  // within one system and across
      EXPECT_EQ(TRGU("E", 1, "G", toSystem, 3, count, 1, 0), count > 0 ? -1 : 0) << count;
    }
  }
  for (int i = 0; i <= TRGU_MAXPT; ++i) {
    ASSERT_TRUE(untouched(i)) << i;
    ASSERT_EQ(GRID_XIN[i], i == 0 ? kUnset : 3571686.387) << i;  // not even reduced
  }
  EXPECT_EQ(TRGU("E", 1, "G", 1, 3, TRGU_MAXPT, 1, 0), 0);
  EXPECT_NEAR(GEO_YOUT[TRGU_MAXPT], 50.0, 1e-7);
  EXPECT_TRUE(untouched(0));
}

TEST(Trgu, PointWithoutPathStopsTheBatchThere) {
  fillArrays();
  setPoint(1, 10.0, 51.0);
  setPoint(2, 0.0, 40.0);  // outside both regions, no Gauss-Krueger side
  setPoint(3, 10.0, 52.0);
  EXPECT_EQ(TRGU("G", 2, "G", 3, 6, 3, 1, 0), -1);
  EXPECT_FALSE(geoOutputUnset(1));
  EXPECT_TRUE(geoOutputUnset(2));
  for (int i : {1, 2}) EXPECT_EQ(HGT_OUT[i], HGT_IN[i]);  // the failing point's one too
  EXPECT_TRUE(untouched(3));
}

TEST(Trgu, OneToFourAndBackIsCloseButNotExact) {
  fillArrays();
  setPoint(1, 13.4, 52.5);
  ASSERT_EQ(TRGU("G", 1, "G", 4, 3, 1, 1, 0), 0);
  setPoint(1, GEO_XOUT[1], GEO_YOUT[1]);
  ASSERT_EQ(TRGU("G", 4, "G", 1, 3, 1, 1, 0), 0);
  EXPECT_TRUE(GEO_YOUT[1] != 52.5 && GEO_XOUT[1] != 13.4);
  EXPECT_NEAR(GEO_YOUT[1], 52.5, 1e-6);
  EXPECT_NEAR(GEO_XOUT[1], 13.4, 1e-6);
}

}  // namespace
}  // namespace nuvex
