// The exact transverse Mercator (Krueger's series to n^6) against GeographicLib's exact
// projection: the series themselves, and the batch path wherever it projects with them (beyond
// the engine's band, and everywhere in the official mode), on each kernel path.
#include "engine/exact_projection.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <string>

#include "engine/batch.h"
#include "nuvex/transform.h"
#include "support/case_file.h"

namespace nuvex {
namespace {

using engine::KernelPath;

constexpr double kMetres = 1e-5;  // GeographicLib's output has 6 decimals
// Near the limit (9000 km out) the series themselves depart from the exact projection, as
// measured: by 0.03 mm at 8887 km. The limit is where they reach 0.1 mm.
constexpr double kMetresNearTheLimit = 1e-4;
constexpr double kNearTheLimit = 8e6;  // m

double toleranceOf(double x) {
  return x > kNearTheLimit ? kMetresNearTheLimit : kMetres;
}
constexpr double kDegrees = 1e-10;  // about 0.01 mm
constexpr double kRadiansPerDegree = std::numbers::pi / 180.0;

struct ExactCase {
  std::string ellipsoid;
  engine::Ellipsoid axes;
  double k0, latitude, offset, x, y;
};

std::vector<ExactCase> exactCases() {
  std::vector<ExactCase> cases;
  for (const auto& c : testing::readCases("exact_projection.txt")) {
    cases.push_back({c.fields.at(0),
                     {c.number(1), c.number(2)},
                     c.number(3),
                     c.number(4),
                     c.number(5),
                     c.number(6),
                     c.number(7)});
  }
  return cases;
}

TEST(ExactProjection, SeriesMatchTheExactProjectionBothWays) {
  for (const ExactCase& c : exactCases()) {
    SCOPED_TRACE(c.ellipsoid + " " + std::to_string(c.latitude) + " " + std::to_string(c.offset));
    const engine::KruegerSeries series = engine::kruegerSeriesOf(c.axes);
    const engine::PlaneOffsets plane = engine::kruegerForward(
        series, c.latitude * kRadiansPerDegree, c.offset * kRadiansPerDegree);
    EXPECT_NEAR(c.k0 * plane.easting, c.x, toleranceOf(c.x));
    EXPECT_NEAR(c.k0 * plane.northing, c.y, toleranceOf(c.x));
    const engine::GeodeticOffsets back = engine::kruegerInverse(series, {c.y / c.k0, c.x / c.k0});
    EXPECT_NEAR(back.latitude / kRadiansPerDegree, c.latitude, kDegrees);
    EXPECT_NEAR(back.longitude / kRadiansPerDegree, c.offset, kDegrees);
  }
}

// Which system and mode project on an ellipsoid exactly at an offset: the official mode always
// (system 3 is ETRS89 on GRS80 there), the polynomial mode beyond the band.
struct Route {
  int system;
  DatumShift datum;
};

bool routeOf(const ExactCase& c, Route& route) {
  const bool beyondBand = c.offset > kProjectionBandDegrees;
  if (c.ellipsoid == "bessel1841")
    route = {1, DatumShift::Official};
  else if (c.ellipsoid == "grs80")
    route = {3, DatumShift::Official};
  else if (c.ellipsoid == "krassowsky1940")
    route = {4, DatumShift::Official};
  else if (c.ellipsoid == "international1924" && beyondBand)
    route = {2, DatumShift::Polynomial};
  else if (c.ellipsoid == "wgs84" && beyondBand)
    route = {3, DatumShift::Polynomial};
  else
    return false;
  return true;
}

class ExactPath : public ::testing::TestWithParam<KernelPath> {
 protected:
  void SetUp() override {
    if (!engine::kernelPathAvailable(GetParam())) GTEST_SKIP() << "path not available here";
    engine::setKernelPathForTesting(GetParam());
  }
  void TearDown() override { engine::setKernelPathForTesting(engine::fastestKernelPath()); }
};

// Eight copies of each point, so that the vector path takes them as one block.
TEST_P(ExactPath, TransformerProjectsExactlyWhereItPromisesTo) {
  constexpr int kZone = 32, kGaussKruegerZone = 3;  // both on 9 deg E
  constexpr double kMeridian = 9.0;
  std::size_t compared = 0;
  for (const ExactCase& c : exactCases()) {
    Route route{};
    if (!routeOf(c, route)) continue;
    SCOPED_TRACE(c.ellipsoid + " " + std::to_string(c.latitude) + " " + std::to_string(c.offset));
    const bool gaussKrueger = route.system == 1 || route.system == 4;
    const int zone = gaussKrueger ? kGaussKruegerZone : kZone;
    const Transformer forward({CoordinateType::Geographic, route.system},
                              {CoordinateType::Grid, route.system}, {3, false, zone},
                              {route.datum, ""});
    std::vector<double> lon(8, kMeridian + c.offset), lat(8, c.latitude), e(8), n(8);
    std::vector<int> zones(8), status(8);
    forward.transform(8, lon.data(), lat.data(), nullptr, e.data(), n.data(), zones.data(),
                      status.data());
    const double easting = c.x + 500000.0 + (gaussKrueger ? zone * 1e6 : 0.0);
    for (int k = 0; k < 8; ++k) {
      ASSERT_EQ(status[k], kPointConverted);
      EXPECT_NEAR(e[k], easting, toleranceOf(c.x));
      EXPECT_NEAR(n[k], c.y, toleranceOf(c.x));
    }
    // Back, where the easting can be written at all (its millions are the zone's).
    if (c.x + 500000.0 >= (gaussKrueger ? 1e6 : 1e7)) continue;
    const Transformer inverse({CoordinateType::Grid, route.system},
                              {CoordinateType::Geographic, route.system}, {3, true, 0},
                              {route.datum, ""});
    std::vector<double> x(8, easting), y(8, c.y), lonOut(8), latOut(8);
    std::vector<int> zoneIn(8, zone);
    inverse.transform(8, x.data(), y.data(), zoneIn.data(), lonOut.data(), latOut.data(),
                      zones.data(), status.data());
    for (int k = 0; k < 8; ++k) {
      ASSERT_EQ(status[k], kPointConverted);
      EXPECT_NEAR(lonOut[k], kMeridian + c.offset, kDegrees);
      EXPECT_NEAR(latOut[k], c.latitude, kDegrees);
    }
    ++compared;
  }
  EXPECT_GT(compared, 60u);
}

// A whole-state zone (UTM 32 from 5 to 15 deg E, the band's edge inside) in both modes, both ways:
// the vector path serves every lane, within and beyond the band, and agrees with the scalar path.
TEST(ExactVectorPath, ServesWholeStateZonesAndAgreesWithTheScalarPath) {
  if (!engine::kernelPathAvailable(KernelPath::Vector)) GTEST_SKIP() << "no vector path here";
  constexpr std::size_t kPoints = 800;
  std::vector<double> lon, lat;
  for (std::size_t i = 0; i < kPoints; ++i) {
    lon.push_back(5.05 + 9.9 * static_cast<double>(i) / kPoints);
    lat.push_back(47.5 + 7.0 * static_cast<double>((i * 37) % kPoints) / kPoints);
  }
  for (DatumShift datum : {DatumShift::Polynomial, DatumShift::Official}) {
    SCOPED_TRACE(datum == DatumShift::Official ? "official" : "polynomial");
    const Transformer forward({CoordinateType::Geographic, 3}, {CoordinateType::Grid, 3},
                              {3, false, 32}, {datum, ""});
    const Transformer inverse({CoordinateType::Grid, 3}, {CoordinateType::Geographic, 3},
                              {3, true, 0}, {datum, ""});
    std::vector<double> e(kPoints), n(kPoints), e1(kPoints), n1(kPoints);
    std::vector<double> lon2(kPoints), lat2(kPoints), lon1(kPoints), lat1(kPoints);
    std::vector<int> zone(kPoints), status(kPoints);
    engine::setKernelPathForTesting(KernelPath::Scalar);
    forward.transform(kPoints, lon.data(), lat.data(), nullptr, e1.data(), n1.data(), zone.data(),
                      status.data());
    inverse.transform(kPoints, e1.data(), n1.data(), zone.data(), lon1.data(), lat1.data(), nullptr,
                      nullptr);
    engine::setKernelPathForTesting(KernelPath::Vector);
    const std::size_t before = engine::scalarLanesOfBlocksForTesting();
    forward.transform(kPoints, lon.data(), lat.data(), nullptr, e.data(), n.data(), zone.data(),
                      status.data());
    inverse.transform(kPoints, e1.data(), n1.data(), zone.data(), lon2.data(), lat2.data(), nullptr,
                      status.data());
    EXPECT_EQ(engine::scalarLanesOfBlocksForTesting() - before, 0u);
    engine::setKernelPathForTesting(engine::fastestKernelPath());
    for (std::size_t i = 0; i < kPoints; ++i) {
      ASSERT_EQ(status[i], kPointConverted);
      EXPECT_NEAR(e[i], e1[i], 1e-8);
      EXPECT_NEAR(n[i], n1[i], 1e-8);
      EXPECT_NEAR(lon2[i], lon1[i], 1e-13);
      EXPECT_NEAR(lat2[i], lat1[i], 1e-13);
      // Exact both ways: back where it came from (the engine's series within the band are not).
      const bool exact = datum == DatumShift::Official || std::fabs(lon[i] - 9.0) > 4.01;
      if (exact) {
        EXPECT_NEAR(lon2[i], lon[i], 1e-11);
        EXPECT_NEAR(lat2[i], lat[i], 1e-11);
      }
    }
  }
}

// Each block takes the shortest series its lanes allow (per block, by the largest offset and
// latitude in it): blocks of one point each, from the meridian to far beyond the short series'
// reach and up to 84 deg, agree with the scalar path to the last micrometre both ways.
TEST(ExactVectorPath, EachBlockSeriesKeepsFullPrecision) {
  if (!engine::kernelPathAvailable(KernelPath::Vector)) GTEST_SKIP() << "no vector path here";
  std::vector<double> lon, lat;
  for (double latitude : {0.5, 30.0, 52.0, 60.0, 70.0, 80.0, 84.0}) {
    for (double offset : {0.5, 2.0, 3.5, 5.0, 5.9, 7.0, 12.0, 25.0}) {
      lon.insert(lon.end(), 8, 9.0 + offset);
      lat.insert(lat.end(), 8, latitude);
    }
  }
  const std::size_t n = lon.size();
  const Transformer forward({CoordinateType::Geographic, 3}, {CoordinateType::Grid, 3},
                            {3, false, 32}, {DatumShift::Official, ""});
  const Transformer inverse({CoordinateType::Grid, 3}, {CoordinateType::Geographic, 3},
                            {3, true, 0}, {DatumShift::Official, ""});
  std::vector<double> e(n), north(n), eScalar(n), nScalar(n), lonBack(n), latBack(n);
  std::vector<double> lonScalar(n), latScalar(n);
  std::vector<int> zone(n, 32), status(n);
  engine::setKernelPathForTesting(KernelPath::Scalar);
  forward.transform(n, lon.data(), lat.data(), nullptr, eScalar.data(), nScalar.data(), nullptr,
                    nullptr);
  inverse.transform(n, eScalar.data(), nScalar.data(), zone.data(), lonScalar.data(),
                    latScalar.data(), nullptr, nullptr);
  engine::setKernelPathForTesting(KernelPath::Vector);
  forward.transform(n, lon.data(), lat.data(), nullptr, e.data(), north.data(), nullptr, nullptr);
  inverse.transform(n, eScalar.data(), nScalar.data(), zone.data(), lonBack.data(), latBack.data(),
                    nullptr, status.data());
  engine::setKernelPathForTesting(engine::fastestKernelPath());
  for (std::size_t i = 0; i < n; i += 8) {
    SCOPED_TRACE(std::to_string(lat[i]) + " deg N, " + std::to_string(lon[i]) + " deg E");
    ASSERT_EQ(status[i], kPointConverted);
    EXPECT_NEAR(e[i], eScalar[i], 1e-8);
    EXPECT_NEAR(north[i], nScalar[i], 1e-8);
    EXPECT_NEAR(lonBack[i], lonScalar[i], 1e-13);
    EXPECT_NEAR(latBack[i], latScalar[i], 1e-13);
  }
}

INSTANTIATE_TEST_SUITE_P(Kernel, ExactPath,
                         ::testing::Values(KernelPath::Scalar, KernelPath::Vector));

}  // namespace
}  // namespace nuvex
