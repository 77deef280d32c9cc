// EPSG codes: how they are read, and every row of the table against the CRS's definition in
// PROJ's EPSG database (tests/data/epsg_codes.txt): ellipsoid, central meridian, scale, false
// easting, and one point projected both ways by the engine against PROJ's projection.
#include <gtest/gtest.h>

#include <cmath>
#include <set>
#include <stdexcept>
#include <string>

#include "engine/geodetic_tables.h"
#include "nuvex/engine.h"
#include "nuvex/systems.h"
#include "nuvex/transform.h"
#include "support/case_file.h"

namespace nuvex {
namespace {

using testing::readCases;
using testing::TestCase;

// Fields of tests/data/epsg_codes.txt.
enum Field {
  kCode,
  kKind,
  kName,
  kEllipsoid,
  kSemiMajorAxis,
  kInverseFlattening,
  kOriginLatitude,
  kCentralMeridian,
  kScale,
  kFalseEasting,
  kFalseNorthing,
  kLongitude,
  kLatitude,
  kEasting,
  kNorthing,
};

constexpr double kMetreTolerance = 0.001;
// Relative: e' of the engine's Bessel row differs from the published flattening's in the eighth
// digit, and system 3 serves GRS 1980 (ETRS89), whose e' differs from WGS84's by 5e-9.
constexpr double kEccentricityTolerance = 1e-8;
constexpr double kMetresPerDegree = 111320.0;  // on the ground, for angle differences

double secondEccentricity(double inverseFlattening) {
  const double f = 1.0 / inverseFlattening;
  return std::sqrt(f * (2.0 - f)) / (1.0 - f);
}

// ---- Reading names ------------------------------------------------------------------------------

TEST(EpsgNames, ProjectedCodeFixesSystemZoneAndWidth) {
  const NamedSystem gk = parseSystemName("EPSG:31467", "source");
  EXPECT_EQ(gk.system.type, CoordinateType::Grid);
  EXPECT_EQ(gk.system.system, 1);
  EXPECT_EQ(gk.zone, 3);
  EXPECT_EQ(gk.zoneWidth, 3);
  EXPECT_EQ(gk.epsgCode, 31467);
  const NamedSystem utm = parseSystemName("epsg:25832", "target");
  EXPECT_EQ(utm.system.system, 3);
  EXPECT_EQ(utm.zone, 32);
  const NamedSystem pulkovo = parseSystemName("Epsg:3835", "target");
  EXPECT_EQ(pulkovo.system.system, 4);
  EXPECT_EQ(pulkovo.zone, 3);
  EXPECT_EQ(pulkovo.zoneWidth, 6);
}

TEST(EpsgNames, GeographicCodeFixesNoZone) {
  const NamedSystem wgs84 = parseSystemName("EPSG:4326", "source");
  EXPECT_EQ(wgs84.system.type, CoordinateType::Geographic);
  EXPECT_EQ(wgs84.system.system, 3);
  EXPECT_FALSE(wgs84.zone);
  EXPECT_FALSE(wgs84.zoneWidth);
  EXPECT_EQ(parseSystemName("EPSG:4258", "source").system.system, 3);  // ETRS89 as WGS84
}

std::string refusal(const char* text) {
  try {
    parseSystemName(text, "source");
  } catch (const std::invalid_argument& error) {
    return error.what();
  }
  return "accepted";
}

TEST(EpsgNames, OgcUrnsAndBareNumbersNameCodesToo) {
  for (const char* text :
       {"urn:ogc:def:crs:EPSG::31467", "URN:OGC:DEF:CRS:epsg:9.8.1:31467", "31467"}) {
    const NamedSystem named = parseSystemName(text, "source");
    EXPECT_EQ(named.epsgCode, 31467) << text;
    EXPECT_EQ(named.zone, 3) << text;
  }
  EXPECT_EQ(parseSystemName("4326", "source").system.type, CoordinateType::Geographic);
  // A bare system code lacks its type; a URN without its code is no code.
  EXPECT_NE(refusal("3").find("source '3' is not a coordinate system"), std::string::npos);
  for (const char* text :
       {"urn:ogc:def:crs:EPSG::", "urn:ogc:def:crs:EPSG::x", "urn:ogc:def:crs:EPSG::1:2"}) {
    EXPECT_NE(refusal(text).find("is not an EPSG code: write EPSG:n"), std::string::npos) << text;
  }
}

TEST(EpsgNames, UnknownCodeNamesTheSupportedCodesOfItsKind) {
  EXPECT_EQ(refusal("EPSG:31470"),
            "source 'EPSG:31470' is not a supported EPSG code; supported codes like it: 31469 "
            "(DHDN / 3-degree Gauss-Kruger zone 5), 31468 (DHDN / 3-degree Gauss-Kruger zone 4), "
            "31467 (DHDN / 3-degree Gauss-Kruger zone 3)");
  // Geographic beside geographic of the same datum, not the projected or other datums nearby.
  EXPECT_EQ(refusal("EPSG:4327"),
            "source 'EPSG:4327' is not a supported EPSG code; supported codes like it: 4326 (WGS "
            "84)");
  EXPECT_EQ(similarEpsgCodes(4231, 3), (std::vector<int>{4230}));
  EXPECT_EQ(similarEpsgCodes(25839, 2), (std::vector<int>{25838, 25837}));
  EXPECT_EQ(similarEpsgCodes(5666, 3), (std::vector<int>{5665, 5664, 5673}));  // Pulkovo, not DHDN
  // Far from any run of its hundred (3857, Web Mercator) or alone in it: the nearest by number.
  EXPECT_TRUE(similarEpsgCodes(3857, 3).empty());
  EXPECT_TRUE(similarEpsgCodes(8888, 3).empty());
  EXPECT_NE(refusal("EPSG:3857").find("is not a supported EPSG code; nearest: 3841"),
            std::string::npos);
  // UTM south: no false northing in the engine's grids.
  EXPECT_EQ(refusal("EPSG:32732"),
            "source 'EPSG:32732' is WGS 84 / UTM zone 32S: UTM south zones are not supported, the "
            "grids have no false northing (subtract 10000000 m from the northings and name "
            "EPSG:32632, WGS 84 / UTM zone 32N)");
  EXPECT_NE(refusal("EPSG:32760").find("is WGS 84 / UTM zone 60S"), std::string::npos);
  EXPECT_NE(refusal("EPSG:32761").find("nearest: 32660"), std::string::npos);  // not a UTM zone
  for (const char* text : {"EPSG:", "EPSG:31467x", "EPSG:-1", "EPSG: 4326", "EPSG:1234567890"}) {
    EXPECT_NE(refusal(text).find("is not an EPSG code: write EPSG:n"), std::string::npos) << text;
  }
  EXPECT_NE(refusal("ESPG:4326").find("is not a coordinate system"), std::string::npos);
}

// ---- The table ----------------------------------------------------------------------------------

TEST(EpsgTable, RowsAreOrderedAndFitTheirSystem) {
  int previous = 0;
  for (const EpsgCode& row : epsgCodes()) {
    EXPECT_LT(previous, row.code);
    previous = row.code;
    EXPECT_EQ(findEpsgCode(row.code), &row);
    if (row.system.type == CoordinateType::Geographic) {
      EXPECT_EQ(row.zone, 0) << row.code;
      continue;
    }
    EXPECT_EQ(hasThreeDegreeZones(row.system.system, row.zoneWidth), row.zoneWidth == 3)
        << row.code;
    EXPECT_TRUE(outputZoneRange(row.system.system, row.zoneWidth).contains(row.zone)) << row.code;
  }
  EXPECT_EQ(findEpsgCode(31470), nullptr);
  EXPECT_EQ(nearestEpsgCodes(4327, 2), (std::vector<int>{4326, 4314}));
}

// Every row of the table has a line of PROJ's definition, and every line a row.
TEST(EpsgTable, EveryRowIsCheckedAgainstProj) {
  std::set<int> checked;
  for (const TestCase& c : readCases("epsg_codes.txt")) checked.insert(c.integer(kCode));
  std::set<int> table;
  for (const EpsgCode& row : epsgCodes()) table.insert(row.code);
  EXPECT_EQ(table, checked);
}

// Ellipsoid, kind and name of every code against PROJ's definition.
TEST(EpsgTable, EllipsoidAndNameAsProjDefinesThem) {
  for (const TestCase& c : readCases("epsg_codes.txt")) {
    const EpsgCode* row = findEpsgCode(c.integer(kCode));
    ASSERT_NE(row, nullptr) << c.where();
    EXPECT_EQ(row->name, c.fields[kName]) << c.where();
    const bool grid = c.fields[kKind] == "grid";
    EXPECT_EQ(row->system.type, grid ? CoordinateType::Grid : CoordinateType::Geographic)
        << c.where();
    // System 5 (ITRF2020 on GRS80) has no table of its own: it projects as system 3 does.
    const int tableSystem =
        row->system.system == kItrf2020System ? kWgs84System : row->system.system;
    const engine::GeodeticRow& tables = engine::geodeticRow(tableSystem);
    EXPECT_EQ(tables.semiMajorAxis, c.number(kSemiMajorAxis)) << c.where();
    const double expected = secondEccentricity(c.number(kInverseFlattening));
    EXPECT_NEAR(tables.secondEccentricity / expected, 1.0, kEccentricityTolerance) << c.where();
  }
}

// Central meridian, scale and false easting of every projected code: the engine's zone of the
// row must be the CRS's projection.
TEST(EpsgTable, ZoneIsTheProjectionProjDefines) {
  for (const TestCase& c : readCases("epsg_codes.txt")) {
    if (c.fields[kKind] != "grid") continue;
    const EpsgCode& row = *findEpsgCode(c.integer(kCode));
    const int system = row.system.system;
    EXPECT_EQ(c.number(kOriginLatitude), 0.0) << c.where();
    EXPECT_EQ(c.number(kFalseNorthing), 0.0) << c.where();
    int zone = 0;
    const double centralMeridian = ZONECM(0, row.zone, system, row.zoneWidth, 0.0, zone);
    EXPECT_EQ(centralMeridian, c.number(kCentralMeridian)) << c.where();
    EXPECT_EQ(engine::geodeticRow(system).scaleFactor, c.number(kScale)) << c.where();
    const double prefix = isGaussKrueger(system) ? row.zone * kZoneMultiplier : 0.0;
    EXPECT_EQ(prefix + engine::kFalseEasting, c.number(kFalseEasting)) << c.where();
  }
}

// One point per projected code, both ways, against PROJ's projection of it (1 mm).
TEST(EpsgTable, PointProjectsAsProjDoes) {
  for (const TestCase& c : readCases("epsg_codes.txt")) {
    if (c.fields[kKind] != "grid") continue;
    const EpsgCode& row = *findEpsgCode(c.integer(kCode));
    const CoordinateSystem geographic{CoordinateType::Geographic, row.system.system};
    const ZoneChoice fixed{row.zoneWidth, false, row.zone};

    const double longitude = c.number(kLongitude);
    const double latitude = c.number(kLatitude);
    double easting = 0, northing = 0;
    int zone = 0, status = 1;
    Transformer(geographic, row.system, fixed)
        .transform(1, &longitude, &latitude, nullptr, &easting, &northing, &zone, &status);
    ASSERT_EQ(status, kPointConverted) << c.where();
    EXPECT_EQ(zone, row.zone) << c.where();
    EXPECT_NEAR(easting, c.number(kEasting), kMetreTolerance) << c.where();
    EXPECT_NEAR(northing, c.number(kNorthing), kMetreTolerance) << c.where();

    const double projEasting = c.number(kEasting);
    const double projNorthing = c.number(kNorthing);
    double lon = 0, lat = 0;
    Transformer(row.system, geographic, fixed)
        .transform(1, &projEasting, &projNorthing, &row.zone, &lon, &lat, nullptr, &status);
    ASSERT_EQ(status, kPointConverted) << c.where();
    const double radians = latitude * std::acos(-1.0) / 180.0;
    EXPECT_NEAR((lon - longitude) * kMetresPerDegree * std::cos(radians), 0.0, kMetreTolerance)
        << c.where();
    EXPECT_NEAR((lat - latitude) * kMetresPerDegree, 0.0, kMetreTolerance) << c.where();
  }
}

}  // namespace
}  // namespace nuvex
