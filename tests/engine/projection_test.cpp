// Zone choice, forward and inverse projection, meridian arc and footpoint latitude.
#include <gtest/gtest.h>

#include <cmath>

#include "engine/geodetic_tables.h"
#include "engine_data.h"
#include "nuvex/engine.h"

namespace nuvex {
namespace {

using testing::readDataLines;

constexpr double kMillimetre = 0.0005;  // half a unit of the third decimal of a metre
constexpr double kRho = engine::kDegreesPerRadian;

TEST(Zonecm, ZoneAndCentralMeridianCases) {
  for (const auto& line : readDataLines("engine_zonecm.txt")) {
    SCOPED_TRACE(line.where());
    const int flag = line.integer(0), given = line.integer(1), system = line.integer(2),
              width = line.integer(3);
    const double longitude = line.number(4);
    int zone = -999;
    EXPECT_EQ(ZONECM(flag, given, system, width, longitude, zone), line.number(6));
    EXPECT_EQ(zone, line.integer(5));
  }
}

TEST(Geo2grid, WorkedValuesToTheMillimetre) {
  for (const auto& line : readDataLines("engine_projection.txt")) {
    SCOPED_TRACE(line.where());
    const int system = line.integer(0), width = line.integer(1);
    const double latitude = line.number(2), longitude = line.number(3);
    int zone = 0;
    const double centralMeridian = ZONECM(1, 0, system, width, longitude, zone);
    EXPECT_EQ(zone, line.integer(4));
    EXPECT_EQ(centralMeridian, line.number(5));
    double easting = 0.0, northing = 0.0;
    GEO2GRID(centralMeridian, longitude, latitude, easting, northing, system, width);
    EXPECT_NEAR(easting, line.number(6), kMillimetre);
    EXPECT_NEAR(northing, line.number(7), kMillimetre);
  }
}

TEST(Geo2grid, OnTheCentralMeridianOnlyPrefixAndArcRemain) {
  for (double latitude : {-30.0, 0.0, 47.5, 80.0}) {
    double easting = 0.0, northing = 0.0;
    GEO2GRID(9.0, 9.0, latitude, easting, northing, 1, 3);
    EXPECT_EQ(easting, 3500000.0) << latitude;
    EXPECT_EQ(northing, MERARC(latitude, 1)) << latitude;
  }
}

TEST(Geo2grid, ZonePrefixFollowsTheCentralMeridianNotTheZone) {
  // Six-degree Krassowsky zone of central meridian 15 is zone 3; a negative meridian rounds
  // away from zero.
  struct Case {
    int system, width;
    double centralMeridian, longitude;
    double prefix;
  };
  const Case cases[] = {{4, 6, 15.0, 15.0, 3.0}, {4, 3, 15.0, 15.0, 5.0},
                        {1, 3, 12.0, 12.0, 4.0}, {1, 3, -3.0, -3.0, -1.0},
                        {4, 6, -3.0, -3.0, 0.0}, {4, 6, -9.0, -9.0, -1.0}};
  for (const Case& c : cases) {
    double easting = 0.0, northing = 0.0;
    GEO2GRID(c.centralMeridian, c.longitude, 10.0, easting, northing, c.system, c.width);
    EXPECT_EQ(easting, c.prefix * 1000000.0 + 500000.0) << c.system << " " << c.centralMeridian;
  }
}

TEST(Geo2grid, UtmEastingsCarryNoZone) {
  double easting = 0.0, northing = 0.0;
  GEO2GRID(15.0, 15.0, 50.0, easting, northing, 2, 6);
  EXPECT_EQ(easting, 500000.0);
}

TEST(Geo2grid, SystemsReadOnlyTheirOwnRow) {
  double e2 = 0, n2 = 0, e3 = 0, n3 = 0;
  GEO2GRID(9.0, 10.0, 50.0, e2, n2, 2, 6);
  GEO2GRID(9.0, 10.0, 50.0, e3, n3, 3, 6);
  EXPECT_GT(std::fabs(e2 - e3), 1.0);
  EXPECT_GT(std::fabs(n2 - n3), 1.0);
}

// Zone and easting handling of the inverse projection: the easting is reduced in place.
TEST(Grid2geo, ZonePrefixRules) {
  struct Case {
    int system, width, zoneIn;
    double eastingIn;
    int zoneOut;
    double eastingOut, centralMeridian;
  };
  const Case cases[] = {
      {1, 3, 0, 3571686.387, 3, 571686.387, 9.0},
      {1, 3, 17, 3571686.387, 3, 571686.387, 9.0},  // the millions decide, not the zone given
      {4, 6, 0, 2571696.319, 2, 571696.319, 9.0},
      {4, 3, 0, 4500000.0, 4, 500000.0, 12.0},
      {3, 6, 0, 32571666.448, 32, 571666.448, 9.0},
      {3, 6, 0, 32500000.0, 32, 500000.0, 9.0},
      {3, 6, 0, 571666.448, 0, 571666.448, -183.0},
      {3, 6, 0, 5500000.0, 5, 5500000.0, -153.0},  // below 10000000: no prefix to remove
      {3, 6, 0, 10500000.0, 10, 500000.0, -123.0},
      {3, 6, 33, 33500000.0, 33, 500000.0, 15.0},
      {2, 6, 32, 500000.0, 32, 500000.0, 9.0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.system << " " << c.eastingIn << " " << c.zoneIn);
    int zone = c.zoneIn;
    double easting = c.eastingIn, longitude = 0.0, latitude = 0.0;
    GRID2GEO(zone, easting, 5540000.0, longitude, latitude, c.system, c.width);
    EXPECT_EQ(zone, c.zoneOut);
    EXPECT_NEAR(easting, c.eastingOut, 1e-8);
    // Where the easting lies on the central meridian the longitude is that meridian.
    if (easting == 500000.0) {
      EXPECT_EQ(longitude, c.centralMeridian);
    }
  }
}

TEST(Grid2geo, InvertsTheWorkedValues) {
  for (const auto& line : readDataLines("engine_projection.txt")) {
    SCOPED_TRACE(line.where());
    const int system = line.integer(0), width = line.integer(1);
    int zone = line.integer(4);
    double easting = line.number(6), longitude = 0.0, latitude = 0.0;
    GRID2GEO(zone, easting, line.number(7), longitude, latitude, system, width);
    EXPECT_NEAR(latitude, line.number(2), 1e-7);
    EXPECT_NEAR(longitude, line.number(3), 1e-7);
  }
}

// Forward then inverse within 1.5 deg of the central meridian reproduces the point to better
// than 0.1 mm on the ground (the truncated series lose accuracy further out).
TEST(Projection, RoundTripWithinAZoneIsBelowATenthOfAMillimetre) {
  constexpr double kMetresPerDegree = 111320.0;
  constexpr double kTenthMillimetre = 1e-4;
  struct System {
    int code, width;
    double centralMeridian;
  };
  const System systems[] = {{1, 3, 9.0}, {2, 6, 9.0}, {3, 6, 9.0}, {4, 6, 9.0}, {4, 3, 12.0}};
  for (const System& s : systems) {
    for (double latitude = -80.0; latitude <= 80.0; latitude += 2.5) {
      for (double offset = -1.5; offset <= 1.5; offset += 0.25) {
        const double longitude = s.centralMeridian + offset;
        double easting = 0.0, northing = 0.0;
        GEO2GRID(s.centralMeridian, longitude, latitude, easting, northing, s.code, s.width);
        int zone = 0;
        double lon = 0.0, lat = 0.0;
        if (s.code == 2 || s.code == 3) zone = 32;
        GRID2GEO(zone, easting, northing, lon, lat, s.code, s.width);
        const double north = (lat - latitude) * kMetresPerDegree;
        const double east = (lon - longitude) * kMetresPerDegree * std::cos(latitude / kRho);
        ASSERT_LT(std::hypot(north, east), kTenthMillimetre)
            << "system " << s.code << " lat " << latitude << " lon " << longitude;
      }
    }
  }
}

// ---- The multiple-angle recurrence against the series with a sine call per multiple --------

struct DirectSines {
  double s2, s4, s6, s8, s10;
};

DirectSines directSines(double x) {
  return {std::sin(2 * x), std::sin(4 * x), std::sin(6 * x), std::sin(8 * x), std::sin(10 * x)};
}

double referenceArc(int system, double latitude) {
  const auto& r = engine::geodeticRow(system);
  const double phi = latitude / kRho;
  const DirectSines s = directSines(phi);
  return r.arc[0] * phi * kRho - r.arc[1] * s.s2 + r.arc[2] * s.s4 - r.arc[3] * s.s6 +
         r.arc[4] * s.s8 - r.arc[5] * s.s10;
}

double referenceFootpoint(int system, double northing) {
  const auto& r = engine::geodeticRow(system);
  const double sigma = northing / (r.arc[0] * r.scaleFactor * kRho);
  const DirectSines s = directSines(sigma);
  return sigma * kRho + r.footpoint[0] * s.s2 + r.footpoint[1] * s.s4 + r.footpoint[2] * s.s6 +
         r.footpoint[3] * s.s8 + r.footpoint[4] * s.s10;
}

struct Grid {
  double easting, northing;
};

Grid referenceForward(int system, double centralMeridian, double longitude, double latitude) {
  const auto& r = engine::geodeticRow(system);
  const double e2 = r.secondEccentricity * r.secondEccentricity;
  const double phi = latitude / kRho;
  const double l = longitude / kRho - centralMeridian / kRho;
  const double cs = std::cos(phi), t = std::tan(phi), eta2 = e2 * cs * cs;
  const double n = r.semiMajorAxis * std::sqrt(1 + e2) / std::sqrt(1 + eta2);
  const double y = n * cs * l + n * std::pow(cs, 3) * (1 - t * t + eta2) * std::pow(l, 3) / 6 +
                   n * std::pow(cs, 5) * (5 - 18 * t * t + std::pow(t, 4)) * std::pow(l, 5) / 120;
  const double x =
      referenceArc(system, latitude) + n * cs * cs * t * l * l / 2 +
      n * std::pow(cs, 4) * t * (5 - t * t + 9 * eta2) * std::pow(l, 4) / 24 +
      n * std::pow(cs, 6) * t * (61 - 58 * t * t + std::pow(t, 4)) * std::pow(l, 6) / 720;
  return {r.scaleFactor * y + 500000.0, r.scaleFactor * x};
}

struct Geographic {
  double longitude, latitude;
};

Geographic referenceInverse(int system, double centralMeridian, double easting, double northing) {
  const auto& r = engine::geodeticRow(system);
  const double e2 = r.secondEccentricity * r.secondEccentricity;
  const double y = (easting - 500000.0) / r.scaleFactor;
  const double phi = referenceFootpoint(system, northing) / kRho;
  const double cs = std::cos(phi), t = std::tan(phi), eta2 = e2 * cs * cs;
  const double n = r.semiMajorAxis * std::sqrt(1 + e2) / std::sqrt(1 + eta2);
  const double t2 = t * t, t4 = t2 * t2;
  const double lat =
      phi * kRho - kRho * (1 + eta2) * t * y * y / (2 * n * n) +
      kRho * t * (5 + 3 * t2 + 6 * eta2 * (1 - t2)) * std::pow(y, 4) / (24 * std::pow(n, 4)) -
      kRho * t * (61 + 90 * t2 + 45 * t4) * std::pow(y, 6) / (720 * std::pow(n, 6));
  const double lon = centralMeridian + kRho * y / (n * cs) -
                     kRho * (1 + 2 * t2 + eta2) * std::pow(y, 3) / (6 * std::pow(n, 3) * cs) +
                     kRho * (5 + 28 * t2 + 24 * t4) * std::pow(y, 5) / (120 * std::pow(n, 5) * cs);
  return {lon, lat};
}

constexpr double kMicrometre = 1e-6;        // m
constexpr double kMicrometreAngle = 1e-11;  // deg, about 1 um on the ground

TEST(Projection, RecurrenceMatchesDirectSinesFromEquatorTo85Degrees) {
  for (int system = 1; system <= 4; ++system) {
    const int width = system == 1 ? 3 : 6;
    for (double latitude = 0.0; latitude <= 85.0; latitude += 0.25) {
      SCOPED_TRACE(::testing::Message() << "system " << system << " latitude " << latitude);
      EXPECT_NEAR(MERARC(latitude, system), referenceArc(system, latitude), kMicrometre);
      const double northing = referenceArc(system, latitude);
      EXPECT_NEAR(FOOTLAT(northing, system), referenceFootpoint(system, northing),
                  kMicrometreAngle);
      for (double offset : {-3.0, -1.0, 0.0, 0.7, 2.9}) {
        double easting = 0.0, north = 0.0;
        GEO2GRID(9.0, 9.0 + offset, latitude, easting, north, system, width);
        const Grid expected = referenceForward(system, 9.0, 9.0 + offset, latitude);
        const double prefix = system == 1 ? 3e6 : (system == 4 ? 2e6 : 0.0);
        EXPECT_NEAR(easting - prefix, expected.easting, kMicrometre);
        EXPECT_NEAR(north, expected.northing, kMicrometre);

        int zone = system == 1 ? 0 : 32;
        double gridEasting = expected.easting + prefix, lon = 0.0, lat = 0.0;
        GRID2GEO(zone, gridEasting, expected.northing, lon, lat, system, width);
        const Geographic inverse =
            referenceInverse(system, 9.0, expected.easting, expected.northing);
        EXPECT_NEAR(lon, inverse.longitude, kMicrometreAngle);
        EXPECT_NEAR(lat, inverse.latitude, kMicrometreAngle);
      }
    }
  }
}

TEST(Footlat, DividesTheUnreducedNorthingByTheScale) {
  // A UTM northing is the scaled arc: its footpoint is the latitude of the unscaled arc.
  const double arc = MERARC(50.0, 3);
  EXPECT_NEAR(FOOTLAT(arc * 0.9996, 3), 50.0, 1e-7);
  EXPECT_NEAR(FOOTLAT(MERARC(50.0, 1), 1), 50.0, 1e-7);
}

}  // namespace
}  // namespace nuvex
