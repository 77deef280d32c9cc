// TRGU: batch conversion within and between systems through the process-wide point arrays.
#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <sstream>
#include <string>

#include "nuvex/engine.h"

namespace nuvex {
namespace {

constexpr double kUnset = -7777.0;  // what a test writes where TRGU must not
constexpr int kUnsetZone = -77;

void fillArrays() {
  for (int i = 0; i <= TRGU_MAXPT; ++i) {
    GRID_XIN[i] = GRID_YIN[i] = GEO_XIN[i] = GEO_YIN[i] = kUnset;
    GRID_XOUT[i] = GRID_YOUT[i] = GEO_XOUT[i] = GEO_YOUT[i] = kUnset;
    HGT_IN[i] = 100.0 + i;
    HGT_OUT[i] = kUnset;
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

void setGeographic(int i, double latitude, double longitude) {
  GEO_YIN[i] = latitude;
  GEO_XIN[i] = longitude;
}

void setGrid(int i, int zone, double easting, double northing) {
  GRID_ZONEIN[i] = zone;
  GRID_XIN[i] = easting;
  GRID_YIN[i] = northing;
}

class Trgu : public ::testing::Test {
 protected:
  void SetUp() override { fillArrays(); }
};

TEST_F(Trgu, NoPointsConvertNothing) {
  setGeographic(1, 50.0, 10.0);
  for (int count : {0, -1, INT_MIN}) {
    EXPECT_EQ(TRGU("G", 3, "E", 3, 6, count, 1, 0), 0) << count;
    EXPECT_EQ(TRGU("G", 3, "G", 1, 6, count, 1, 0), 0) << count;
    EXPECT_TRUE(untouched(1)) << count;
  }
}

TEST_F(Trgu, MorePointsThanTheArraysHoldAreRefusedUntouched) {
  for (int i = 1; i <= TRGU_MAXPT; ++i) setGrid(i, 0, 3571686.387, 5540758.788);
  EXPECT_EQ(TRGU("E", 1, "G", 1, 3, TRGU_MAXPT + 1, 1, 0), -1);
  EXPECT_EQ(TRGU("E", 1, "G", 3, 3, INT_MAX, 1, 0), -1);
  for (int i = 1; i <= TRGU_MAXPT; ++i) {
    ASSERT_TRUE(untouched(i)) << i;
    ASSERT_EQ(GRID_XIN[i], 3571686.387) << i;
    ASSERT_EQ(GRID_ZONEIN[i], 0) << i;
  }
  EXPECT_EQ(TRGU("E", 1, "G", 1, 3, TRGU_MAXPT, 1, 0), 0);
  EXPECT_NEAR(GEO_YOUT[TRGU_MAXPT], 50.0, 1e-7);
}

TEST_F(Trgu, SameSystemGeographicInputAlwaysEndsOnTheGrid) {
  setGeographic(1, 50.0, 10.0);
  setGeographic(2, 50.0, 10.0);
  ASSERT_EQ(TRGU("G", 3, "G", 3, 6, 2, 1, 0), 0);
  for (int i : {1, 2}) {
    EXPECT_EQ(GRID_ZONEOUT[i], 32);
    EXPECT_NEAR(GRID_XOUT[i], 571666.448, 5e-4);
    EXPECT_NEAR(GRID_YOUT[i], 5539109.815, 5e-4);
    EXPECT_TRUE(geoOutputUnset(i));
    EXPECT_EQ(HGT_OUT[i], HGT_IN[i]);
  }
  EXPECT_TRUE(untouched(3));
}

TEST_F(Trgu, SameSystemGridToGeographicIsTheInverseAlone) {
  setGrid(1, 0, 32571666.448, 5539109.815);
  ASSERT_EQ(TRGU("E", 3, "G", 3, 6, 1, 1, 0), 0);
  EXPECT_EQ(GRID_ZONEIN[1], 32);
  EXPECT_NEAR(GRID_XIN[1], 571666.448, 1e-8);
  EXPECT_NEAR(GEO_XOUT[1], 10.0, 1e-8);
  EXPECT_NEAR(GEO_YOUT[1], 50.0, 1e-8);
  EXPECT_TRUE(gridOutputUnset(1));
  EXPECT_EQ(HGT_OUT[1], HGT_IN[1]);
}

TEST_F(Trgu, SameSystemGridToGridChangesTheZone) {
  setGrid(1, 0, 3571686.387, 5540758.788);  // system 1, zone 3, (50, 10)
  ASSERT_EQ(TRGU("E", 1, "E", 1, 3, 1, 0, 4), 0);
  EXPECT_EQ(GRID_ZONEOUT[1], 4);
  EXPECT_GT(GRID_XOUT[1], 4000000.0);
  EXPECT_LT(GRID_XOUT[1], 4500000.0);  // west of the zone-4 meridian (12 deg)
  int zone = 0;
  double easting = GRID_XOUT[1], longitude = 0.0, latitude = 0.0;
  GRID2GEO(zone, easting, GRID_YOUT[1], longitude, latitude, 1, 3);
  EXPECT_NEAR(longitude, 10.0, 1e-8);
  EXPECT_NEAR(latitude, 50.0, 1e-8);
  EXPECT_EQ(HGT_OUT[1], HGT_IN[1]);
  EXPECT_TRUE(geoOutputUnset(1));
}

TEST_F(Trgu, TypeCodesIgnoreTrailingBlanksOnly) {
  setGrid(1, 0, 3571686.387, 5540758.788);
  ASSERT_EQ(TRGU("E  ", 1, "G ", 3, 3, 1, 1, 0), 0);
  EXPECT_NEAR(GEO_YOUT[1], 50.0, 0.01);  // the grid input was read
  // A lower-case code is no grid code: the geographic input arrays are read instead.
  fillArrays();
  setGeographic(1, 51.0, 10.0);
  ASSERT_EQ(TRGU("e", 1, "G", 3, 3, 1, 1, 0), 0);
  EXPECT_NEAR(GEO_YOUT[1], 51.0, 0.01);
  EXPECT_EQ(GRID_ZONEIN[1], kUnsetZone);
}

// Expected result of a route, built from the shift routines step by step. Steps are written as
// e.g. "SHIFT12+ SHIFT23-"; the direction factor is +-1/3600 as the system codes ascend or not.
void applyRoute(const std::string& steps, int fromSystem, int toSystem, double& latitude,
                double& longitude) {
  const double s = (fromSystem < toSystem ? 1.0 : -1.0) / 3600.0;
  std::istringstream in(steps);
  for (std::string step; in >> step;) {
    const double sign = step.back() == '+' ? 1.0 : -1.0;
    const std::string name = step.substr(0, step.size() - 1);
    double dLat = 0.0, dLon = 0.0;
    if (name == "SHIFT12")
      SHIFT12(latitude, longitude, dLat, dLon);
    else if (name == "SHIFT23")
      SHIFT23(latitude, longitude, dLat, dLon);
    else if (name == "LIN14")
      LIN14(latitude, longitude, dLat, dLon);
    else if (name == "LIN34")
      LIN34(latitude, longitude, dLat, dLon);
    else
      ADD_FAILURE() << "unknown step " << name;
    latitude += sign * s * dLat;
    longitude += sign * s * dLon;
  }
}

struct RouteCase {
  const char* name;
  int fromSystem, toSystem;
  double latitude, longitude;
  const char* steps;
};

TEST_F(Trgu, GeographicRoutesBetweenSystems) {
  const RouteCase cases[] = {
      {"1-3 region A", 1, 3, 51.0, 10.0, "SHIFT12+ SHIFT23+"},
      {"3-1 region A", 3, 1, 51.0, 10.0, "SHIFT12+ SHIFT23+"},
      {"1-3 region B", 1, 3, 52.5, 13.4, "LIN14+ LIN34-"},
      {"3-1 region B", 3, 1, 52.5, 13.4, "LIN14+ LIN34-"},
      {"1-2 region A", 1, 2, 48.0, 11.0, "SHIFT12+"},
      {"1-2 region B", 1, 2, 52.5, 13.4, "LIN14+ LIN34- SHIFT23-"},
      {"2-1 region B", 2, 1, 52.5, 13.4, "LIN14+ LIN34- SHIFT23-"},
      {"1-4 region B", 1, 4, 52.5, 13.4, "LIN14+"},
      {"2-3 region A", 2, 3, 48.0, 11.0, "SHIFT23+"},
      {"4-2 region B", 4, 2, 52.5, 13.4, "SHIFT23+ LIN34+"},
      {"4-3 region A", 4, 3, 48.0, 11.0, "LIN34+"},
  };
  for (const RouteCase& c : cases) {
    SCOPED_TRACE(c.name);
    fillArrays();
    setGeographic(1, c.latitude, c.longitude);
    ASSERT_EQ(TRGU("G", c.fromSystem, "G", c.toSystem, 3, 1, 1, 0), 0);
    double latitude = c.latitude, longitude = c.longitude;
    applyRoute(c.steps, c.fromSystem, c.toSystem, latitude, longitude);
    EXPECT_EQ(GEO_YOUT[1], latitude);
    EXPECT_EQ(GEO_XOUT[1], longitude);
    EXPECT_EQ(HGT_OUT[1], HGT_IN[1]);
    EXPECT_TRUE(gridOutputUnset(1));
  }
}

TEST_F(Trgu, LinearShiftWorkedValue) {
  // (51, 12) lies in region B only; pair 3-4 shifts alike in both regions.
  setGeographic(1, 51.0, 12.0);
  ASSERT_EQ(TRGU("G", 3, "G", 4, 3, 1, 1, 0), 0);
  EXPECT_NEAR(GEO_YOUT[1], 51.000426833, 1e-9);
  EXPECT_NEAR(GEO_XOUT[1], 12.001813391, 1e-9);
}

// Outside both regions the grid side decides: a Gauss-Krueger grid takes route A, a UTM grid or
// no grid at all has no path.
TEST_F(Trgu, OutsideBothRegionsTheGridSideDecides) {
  const double latitude = 48.0, longitude = 4.0;
  ASSERT_EQ(INREGA(latitude, longitude) + INREGB(latitude, longitude), 0);
  int zone = 0;
  const double cm = ZONECM(1, 0, 1, 3, longitude, zone);
  double easting = 0.0, northing = 0.0;
  GEO2GRID(cm, longitude, latitude, easting, northing, 1, 3);

  struct Case {
    const char* fromType;
    int fromSystem;
    const char* toType;
    int toSystem;
    int result;
  };
  const Case cases[] = {
      {"E", 1, "G", 3, 0},  {"G", 3, "E", 1, 0},  {"G", 3, "E", 4, 0},  {"E", 1, "E", 3, -1},
      {"G", 1, "G", 3, -1}, {"E", 2, "G", 3, -1}, {"G", 2, "E", 3, -1}, {"E", 3, "E", 2, -1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message()
                 << c.fromType << c.fromSystem << " -> " << c.toType << c.toSystem);
    fillArrays();
    setGeographic(1, latitude, longitude);
    setGrid(1, zone, easting, northing);
    EXPECT_EQ(TRGU(c.fromType, c.fromSystem, c.toType, c.toSystem, 3, 1, 1, 0), c.result);
    EXPECT_EQ(HGT_OUT[1], HGT_IN[1]);
    if (c.result != 0) {
      EXPECT_TRUE(gridOutputUnset(1) && geoOutputUnset(1));
    }
  }

  // System 1 grid to system 3 geographic: the unprojected point takes route A.
  fillArrays();
  setGrid(1, 0, easting, northing);
  ASSERT_EQ(TRGU("E", 1, "G", 3, 3, 1, 1, 0), 0);
  int z = 0;
  double e = easting, lon = 0.0, lat = 0.0;
  GRID2GEO(z, e, northing, lon, lat, 1, 3);
  applyRoute("SHIFT12+ SHIFT23+", 1, 3, lat, lon);
  EXPECT_EQ(GEO_YOUT[1], lat);
  EXPECT_EQ(GEO_XOUT[1], lon);
}

TEST_F(Trgu, PointWithoutPathStopsTheBatch) {
  setGeographic(1, 51.0, 10.0);
  setGeographic(2, 40.0, 0.0);  // outside both regions, no Gauss-Krueger side
  setGeographic(3, 52.0, 10.0);
  EXPECT_EQ(TRGU("G", 2, "G", 3, 6, 3, 1, 0), -1);
  EXPECT_FALSE(geoOutputUnset(1));
  EXPECT_EQ(HGT_OUT[1], HGT_IN[1]);
  EXPECT_TRUE(geoOutputUnset(2));
  EXPECT_EQ(HGT_OUT[2], HGT_IN[2]);  // the failing point's height is already copied
  EXPECT_TRUE(untouched(3));
}

TEST_F(Trgu, FailingGridPointHasItsZoneAndEastingAlreadyReduced) {
  int zone = 0;
  const double cm = ZONECM(1, 0, 3, 6, 0.5, zone);
  double easting = 0.0, northing = 0.0;
  GEO2GRID(cm, 0.5, 40.0, easting, northing, 3, 6);
  setGrid(1, 0, zone * 1e6 + easting, northing);
  EXPECT_EQ(TRGU("E", 3, "E", 2, 6, 1, 1, 0), -1);
  EXPECT_EQ(GRID_ZONEIN[1], 31);
  EXPECT_NEAR(GRID_XIN[1], easting, 1e-9);
  EXPECT_TRUE(gridOutputUnset(1));
}

TEST_F(Trgu, CrossSystemGridOutputUsesTheTargetZone) {
  setGeographic(1, 50.0, 10.0);
  ASSERT_EQ(TRGU("G", 3, "E", 1, 3, 1, 1, 0), 0);
  EXPECT_EQ(GRID_ZONEOUT[1], 3);
  const double gridEasting = GRID_XOUT[1];
  ASSERT_EQ(TRGU("G", 3, "G", 1, 3, 1, 1, 0), 0);
  int zone = 0;
  double easting = gridEasting, longitude = 0.0, latitude = 0.0;
  GRID2GEO(zone, easting, GRID_YOUT[1], longitude, latitude, 1, 3);
  EXPECT_NEAR(longitude, GEO_XOUT[1], 1e-9);
  EXPECT_NEAR(latitude, GEO_YOUT[1], 1e-9);
}

TEST_F(Trgu, OneToFourAndBackIsNotExact) {
  setGeographic(1, 52.5, 13.4);
  ASSERT_EQ(TRGU("G", 1, "G", 4, 3, 1, 1, 0), 0);
  setGeographic(1, GEO_YOUT[1], GEO_XOUT[1]);
  ASSERT_EQ(TRGU("G", 4, "G", 1, 3, 1, 1, 0), 0);
  EXPECT_NE(GEO_YOUT[1], 52.5);
  EXPECT_NE(GEO_XOUT[1], 13.4);
  EXPECT_NEAR(GEO_YOUT[1], 52.5, 1e-6);
  EXPECT_NEAR(GEO_XOUT[1], 13.4, 1e-6);
}

TEST_F(Trgu, UnknownSystemCodesHaveNoPath) {
  setGeographic(1, 51.0, 10.0);
  for (int system : {0, 5, -3, INT_MAX}) {
    EXPECT_EQ(TRGU("G", 3, "G", system, 3, 1, 1, 0), -1) << system;
    EXPECT_EQ(TRGU("G", system, "G", 1, 3, 1, 1, 0), -1) << system;
    EXPECT_TRUE(geoOutputUnset(1));
    double latitude = 51.0, longitude = 10.0;
    EXPECT_EQ(DATUMCHAIN(latitude, longitude, "G", system, "G", 2), -1);
  }
}

TEST_F(Trgu, ArraysBeyondTheBatchAreNeverTouched) {
  for (int i = 1; i <= 3; ++i) setGeographic(i, 50.0, 10.0);
  ASSERT_EQ(TRGU("G", 3, "G", 1, 3, 2, 1, 0), 0);
  EXPECT_FALSE(geoOutputUnset(2));
  EXPECT_TRUE(untouched(3));
  EXPECT_TRUE(untouched(0));
}

}  // namespace
}  // namespace nuvex
