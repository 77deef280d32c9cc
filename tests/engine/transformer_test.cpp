// Transformer: the batch path gives every point what TRGU gives it, on each kernel path, and marks
// the points TRGU would stop at.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <stdexcept>
#include <string>
#include <vector>

#include "engine/batch.h"
#include "nuvex/engine.h"
#include "nuvex/transform.h"
#include "support/case_file.h"

namespace nuvex {
namespace {

using engine::KernelPath;

constexpr double kMetreTolerance = 1e-6;
constexpr double kDegreeTolerance = 1e-11;
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kZoneMillions = 1e6;  // m per zone number in a prefixed easting

struct Geographic {
  double longitude, latitude;
};

// Points on every route (A and B, A only, B only, outside with and without a Gauss-Krueger grid
// side, far away), on zone boundaries, and around every edge of both masks: the centre of each
// edge cell and the cell edges half a cell from it.
std::vector<Geographic> samplePoints() {
  std::vector<Geographic> points = {{10.0, 51.0}, {13.4, 52.5},  {11.0, 48.0}, {4.0, 48.0},
                                    {0.0, 40.0},  {-20.0, 10.0}, {7.5, 50.0},  {10.5, 50.0},
                                    {12.0, 50.0}, {13.5, 50.0},  {6.0, 52.3},  {9.0, 54.0}};
  constexpr double kHalfColumn = 1.0 / 6.0, kHalfRow = 1.0 / 10.0;  // deg
  for (const auto& c : testing::readCases("engine_region_edges.txt")) {
    const double latitude = c.number(3), longitude = c.number(4);
    for (const Geographic& p : {Geographic{longitude, latitude},
                                {longitude - kHalfColumn, latitude},
                                {longitude + kHalfColumn, latitude},
                                {longitude, latitude - kHalfRow},
                                {longitude, latitude + kHalfRow}}) {
      points.push_back(p);
    }
  }
  return points;
}

// How a grid input carries its zone: UTM eastings with or without the zone's millions, with or
// without a zone array; Gauss-Krueger eastings always carry it.
enum class ZoneInput { PlainWithZone, PrefixedWithoutZone, PrefixedWithZone, PlainWithoutZone };

struct GridPoints {
  std::vector<double> easting, northing;
  std::vector<int> zone;
};

GridPoints gridOf(const std::vector<Geographic>& points, int system, int width, ZoneInput input) {
  GridPoints grid;
  for (const Geographic& p : points) {
    GEO_XIN[1] = p.longitude;
    GEO_YIN[1] = p.latitude;
    TRGU("G", system, "E", system, width, 1, 1, 0);
    const bool prefixed = system == 2 || system == 3 ? input == ZoneInput::PrefixedWithZone ||
                                                           input == ZoneInput::PrefixedWithoutZone
                                                     : false;
    grid.easting.push_back(GRID_XOUT[1] + (prefixed ? GRID_ZONEOUT[1] * kZoneMillions : 0.0));
    grid.northing.push_back(GRID_YOUT[1]);
    grid.zone.push_back(GRID_ZONEOUT[1]);
  }
  return grid;
}

bool withZoneArray(ZoneInput input) {
  return input == ZoneInput::PlainWithZone || input == ZoneInput::PrefixedWithZone;
}

struct Batch {
  std::vector<double> x, y;
  std::vector<int> zone, status;
};

Batch run(const Transformer& t, const std::vector<double>& x, const std::vector<double>& y,
          const int* zone) {
  Batch out{std::vector<double>(x.size()), std::vector<double>(x.size()),
            std::vector<int>(x.size(), -99), std::vector<int>(x.size(), -99)};
  const std::size_t converted = t.transform(x.size(), x.data(), y.data(), zone, out.x.data(),
                                            out.y.data(), out.zone.data(), out.status.data());
  std::size_t expected = 0;
  for (int s : out.status) expected += s == kPointConverted ? 1 : 0;
  EXPECT_EQ(converted, expected);
  return out;
}

// Whether a grid point of a zone lies within the engine's band with room to spare (2 km of
// easting farther out is still within it), where the batch path projects as TRGU does.
bool clearlyWithinBand(int system, int zone, double easting, double northing) {
  constexpr double kRoom = 2000.0;  // m
  const bool prefixed = system == 1 || system == 4 || easting >= 10 * kZoneMillions;
  const double unprefixed = prefixed ? easting - zone * kZoneMillions : easting;
  const double outward = unprefixed >= 500000.0 ? kRoom : -kRoom;
  return withinProjectionBand(system, unprefixed, northing) &&
         withinProjectionBand(system, unprefixed + outward, northing);
}

// TRGU on point i alone (it would stop at a point without path), against the batch's result,
// wherever the batch promises TRGU's result: the engine's series within their band on both
// sides, a zone of the target's. Beyond the band the batch projects exactly (see
// ExactProjection cases), and a longitude is brought into the circle its zones number from.
void expectTrguResult(const Transformer& t, std::size_t i, double x, double y, int zone,
                      const Batch& batch) {
  const bool gridIn = t.source().type == CoordinateType::Grid;
  const bool gridOut = t.target().type == CoordinateType::Grid;
  GRID_XIN[1] = GEO_XIN[1] = x;
  GRID_YIN[1] = GEO_YIN[1] = y;
  GRID_ZONEIN[1] = zone;
  const int result =
      TRGU(gridIn ? "E" : "G", t.source().system, gridOut ? "E" : "G", t.target().system,
           t.zones().width, 1, t.zones().fromLongitude ? 1 : 0, t.zones().given);
  SCOPED_TRACE(::testing::Message()
               << "point " << i << ": " << x << ", " << y << ", zone " << zone);
  if (result == 0 && batch.status[i] == kPointWithoutPath) {
    // TRGU projects anything and extrapolates the shifts anywhere; the batch refuses what is no
    // point of the systems or lies outside the shifts' area, and says why.
    const RangeProblem why = t.explain(x, y, zone);
    EXPECT_NE(why, RangeProblem::None);
    EXPECT_TRUE(std::isnan(batch.x[i]) && std::isnan(batch.y[i]));
    return;
  }
  if (result != 0) {
    ASSERT_EQ(batch.status[i], kPointWithoutPath);
    EXPECT_TRUE(std::isnan(batch.x[i]) && std::isnan(batch.y[i]));
    EXPECT_EQ(batch.zone[i], 0);
    return;
  }
  ASSERT_EQ(batch.status[i], kPointConverted);
  const bool engineSeries =
      (!gridIn || clearlyWithinBand(t.source().system, GRID_ZONEIN[1], x, y)) &&
      (!gridOut ||
       (outputZoneRange(t.target().system, t.zones().width).contains(GRID_ZONEOUT[1]) &&
        clearlyWithinBand(t.target().system, GRID_ZONEOUT[1], GRID_XOUT[1], GRID_YOUT[1])));
  if (!engineSeries) return;
  const double tolerance = gridOut ? kMetreTolerance : kDegreeTolerance;
  EXPECT_NEAR(batch.x[i], gridOut ? GRID_XOUT[1] : GEO_XOUT[1], tolerance);
  EXPECT_NEAR(batch.y[i], gridOut ? GRID_YOUT[1] : GEO_YOUT[1], tolerance);
  EXPECT_EQ(batch.zone[i], gridOut ? GRID_ZONEOUT[1] : gridIn ? GRID_ZONEIN[1] : 0);
}

// Every test runs once on each kernel path this build and processor offer.
class TransformerPath : public ::testing::TestWithParam<KernelPath> {
 protected:
  void SetUp() override {
    if (!engine::kernelPathAvailable(GetParam())) GTEST_SKIP() << "path not available here";
    engine::setKernelPathForTesting(GetParam());
  }
  void TearDown() override { engine::setKernelPathForTesting(engine::fastestKernelPath()); }
};

int givenZoneOf(int system, int width) {
  if (system == 2 || system == 3) return 32;
  return system == 4 && width == 6 ? 2 : 3;
}

TEST_P(TransformerPath, AgreesWithTrguOnEveryRouteAndRegionEdge) {
  const std::vector<Geographic> points = samplePoints();
  std::vector<double> longitudes, latitudes;
  for (const Geographic& p : points) {
    longitudes.push_back(p.longitude);
    latitudes.push_back(p.latitude);
  }
  for (int from = 1; from <= 4; ++from) {
    for (int to = 1; to <= 4; ++to) {
      for (int width : from == 4 || to == 4 ? std::vector<int>{3, 6} : std::vector<int>{3}) {
        for (bool fromLongitude : {true, false}) {
          const ZoneChoice zones{width, fromLongitude, givenZoneOf(to, width)};
          SCOPED_TRACE(::testing::Message() << from << " -> " << to << " width " << width
                                            << (fromLongitude ? "" : " given zone"));
          for (CoordinateType toType : {CoordinateType::Grid, CoordinateType::Geographic}) {
            if (from != to || toType == CoordinateType::Grid) {  // G -> G within one system: below
              const Transformer t({CoordinateType::Geographic, from}, {toType, to}, zones);
              const Batch batch = run(t, longitudes, latitudes, nullptr);
              for (std::size_t i = 0; i < points.size(); ++i) {
                expectTrguResult(t, i, longitudes[i], latitudes[i], 0, batch);
              }
            }
            for (ZoneInput input : {ZoneInput::PlainWithZone, ZoneInput::PrefixedWithoutZone,
                                    ZoneInput::PrefixedWithZone, ZoneInput::PlainWithoutZone}) {
              SCOPED_TRACE(::testing::Message()
                           << "grid input variant " << static_cast<int>(input));
              const GridPoints grid = gridOf(points, from, width, input);
              const Transformer t({CoordinateType::Grid, from}, {toType, to}, zones);
              const Batch batch = run(t, grid.easting, grid.northing,
                                      withZoneArray(input) ? grid.zone.data() : nullptr);
              for (std::size_t i = 0; i < points.size(); ++i) {
                expectTrguResult(t, i, grid.easting[i], grid.northing[i],
                                 withZoneArray(input) ? grid.zone[i] : 0, batch);
              }
            }
          }
        }
      }
    }
  }
}

// A whole block and more; a real zone output array gets zone 0 for every point.
TEST_P(TransformerPath, GeographicWithinOneSystemIsTheInput) {
  const std::vector<double> lon = {10, 11, 12, 13, -20, 1, 2, 3, 4},
                            lat = {50, 51, 52, 53, 10, 40, 41, 42, 43};
  const Batch batch =
      run(Transformer({CoordinateType::Geographic, 3}, {CoordinateType::Geographic, 3}), lon, lat,
          nullptr);
  EXPECT_EQ(batch.x, lon);
  EXPECT_EQ(batch.y, lat);
  EXPECT_EQ(batch.zone, std::vector<int>(lon.size(), 0));
}

// A UTM easting of 10 000 000 m and more carries its zone in its millions: 10 300 000 m with zone
// 0 is 300 000 m in zone 10.
TEST_P(TransformerPath, UtmEastingOfTenMillionsWithZoneZeroCarriesItsZone) {
  for (int system : {2, 3}) {
    const Transformer t({CoordinateType::Grid, system}, {CoordinateType::Geographic, system});
    const std::vector<double> northing(8, 5500000.0);
    const std::vector<int> zones(8, 10);
    const Batch prefixed = run(t, std::vector<double>(8, 10300000.0), northing, nullptr);
    const Batch plain = run(t, std::vector<double>(8, 300000.0), northing, zones.data());
    for (std::size_t i = 0; i < 8; ++i) {
      EXPECT_EQ(prefixed.status[i], kPointConverted);
      EXPECT_EQ(prefixed.zone[i], 10);
      EXPECT_NEAR(prefixed.x[i], plain.x[i], kDegreeTolerance) << system;
      EXPECT_NEAR(prefixed.y[i], plain.y[i], kDegreeTolerance) << system;
    }
  }
}

TEST_P(TransformerPath, NonFiniteCoordinatesAreMarkedAndNothingElseChanges) {
  const Transformer t({CoordinateType::Geographic, 3}, {CoordinateType::Grid, 1});
  std::vector<double> lon, lat;
  for (int i = 0; i < 11; ++i) {
    lon.push_back(6.5 + 0.7 * i);
    lat.push_back(47.5 + 0.6 * i);
  }
  const Batch clean = run(t, lon, lat, nullptr);
  lon[0] = kNaN, lat[5] = kInf, lon[6] = -kInf, lat[10] = kNaN;
  const Batch dirty = run(t, lon, lat, nullptr);
  for (std::size_t i = 0; i < lon.size(); ++i) {
    if (std::isfinite(lon[i]) && std::isfinite(lat[i])) {
      EXPECT_EQ(dirty.status[i], clean.status[i]) << i;
      EXPECT_EQ(dirty.x[i], clean.x[i]) << i;
      EXPECT_EQ(dirty.y[i], clean.y[i]) << i;
      EXPECT_EQ(dirty.zone[i], clean.zone[i]) << i;
    } else {
      EXPECT_EQ(dirty.status[i], kPointWithoutPath) << i;
      EXPECT_TRUE(std::isnan(dirty.x[i]) && std::isnan(dirty.y[i])) << i;
      EXPECT_EQ(dirty.zone[i], 0) << i;
    }
  }
}

// count 0 touches nothing; null zone and status outputs, and outputs that are the inputs, give the
// same coordinates as separate arrays.
TEST_P(TransformerPath, CountZeroNullOutputsAndOutputsInPlace) {
  const Transformer t({CoordinateType::Grid, 3}, {CoordinateType::Grid, 1});
  EXPECT_EQ(t.transform(0, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr), 0u);
  std::vector<double> x, y;
  std::vector<int> zone;
  for (int i = 0; i < 9; ++i) {
    x.push_back(32400000.0 + 30000.0 * i);
    y.push_back(5300000.0 + 50000.0 * i);
    zone.push_back(i == 4 ? 0 : 32);
  }
  const Batch reference = run(t, x, y, zone.data());
  std::vector<double> xOut(x.size()), yOut(x.size());
  EXPECT_EQ(t.transform(x.size(), x.data(), y.data(), zone.data(), xOut.data(), yOut.data(),
                        nullptr, nullptr),
            x.size());
  EXPECT_EQ(xOut, reference.x);
  EXPECT_EQ(yOut, reference.y);
  t.transform(x.size(), x.data(), y.data(), zone.data(), x.data(), y.data(), zone.data(), nullptr);
  EXPECT_EQ(x, reference.x);
  EXPECT_EQ(y, reference.y);
  EXPECT_EQ(zone, reference.zone);
}

INSTANTIATE_TEST_SUITE_P(Kernel, TransformerPath,
                         ::testing::Values(KernelPath::Scalar, KernelPath::Vector),
                         [](const auto& info) {
                           return info.param == KernelPath::Scalar ? "Scalar" : "Vector";
                         });

// The vector path against the scalar reference, point by point, over a dense cloud around and
// beyond both regions (every lane position, mixed routes within a block, points without path), in
// both directions of the projection and through the datum chain.
TEST(Transformer, VectorPathMatchesScalarPathPointByPoint) {
  if (!engine::kernelPathAvailable(KernelPath::Vector)) GTEST_SKIP() << "no vector path here";
  std::vector<Geographic> cloud;
  std::uint64_t state = 12345;  // fixed linear congruential sequence
  auto uniform = [&state](double low, double high) {
    state = state * 6364136223846793005u + 1442695040888963407u;
    return low + (high - low) * static_cast<double>(state >> 11) / 9007199254740992.0;
  };
  for (int i = 0; i < 4003; ++i) cloud.push_back({uniform(2.0, 18.0), uniform(45.0, 57.0)});
  std::vector<double> lon, lat;
  for (const Geographic& p : cloud) {
    lon.push_back(p.longitude);
    lat.push_back(p.latitude);
  }
  using CT = CoordinateType;
  struct Conversion {
    CoordinateSystem from, to;
  };
  for (const Conversion& c :
       {Conversion{{CT::Geographic, 3}, {CT::Grid, 3}},
        Conversion{{CT::Geographic, 3}, {CT::Grid, 1}},
        Conversion{{CT::Geographic, 4}, {CT::Geographic, 2}},
        Conversion{{CT::Geographic, 1}, {CT::Grid, 2}},
        Conversion{{CT::Grid, 3}, {CT::Geographic, 3}}, Conversion{{CT::Grid, 1}, {CT::Grid, 3}},
        Conversion{{CT::Grid, 2}, {CT::Grid, 4}}}) {
    SCOPED_TRACE(::testing::Message() << c.from.system << " -> " << c.to.system);
    const Transformer t(c.from, c.to, {6, true, 0});
    const bool gridIn = c.from.type == CT::Grid;
    const GridPoints grid =
        gridIn ? gridOf(cloud, c.from.system, 6, ZoneInput::PlainWithZone) : GridPoints{};
    const std::vector<double>& x = gridIn ? grid.easting : lon;
    const std::vector<double>& y = gridIn ? grid.northing : lat;
    const int* zone = gridIn ? grid.zone.data() : nullptr;
    std::vector<Batch> results;
    for (KernelPath path : {KernelPath::Scalar, KernelPath::Vector}) {
      engine::setKernelPathForTesting(path);
      results.push_back(run(t, x, y, zone));
    }
    engine::setKernelPathForTesting(engine::fastestKernelPath());
    const double tolerance = c.to.type == CT::Grid ? kMetreTolerance : kDegreeTolerance;
    for (std::size_t i = 0; i < x.size(); ++i) {
      ASSERT_EQ(results[1].status[i], results[0].status[i]) << i;
      ASSERT_EQ(results[1].zone[i], results[0].zone[i]) << i;
      if (results[0].status[i] != kPointConverted) continue;
      ASSERT_NEAR(results[1].x[i], results[0].x[i], tolerance) << i;
      ASSERT_NEAR(results[1].y[i], results[0].y[i], tolerance) << i;
    }
  }
}

// A build that carries the vector path takes it wherever the processor runs it; the Windows build
// must carry it (its test run under Wine is where that path is checked for Windows).
TEST(Transformer, VectorPathIsBuiltInAndTakenWhereTheProcessorHasIt) {
  EXPECT_TRUE(NUVEX_VECTOR_PATH_BUILT || !NUVEX_TEST_ON_WINDOWS) << "Windows build without it";
  if (!NUVEX_VECTOR_PATH_BUILT) GTEST_SKIP() << "built without the vector path";
#if defined(__x86_64__)
  const bool processorHasIt = __builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma") &&
                              __builtin_cpu_supports("bmi") && __builtin_cpu_supports("bmi2");
#else
  const bool processorHasIt = false;
#endif
  EXPECT_EQ(engine::kernelPathAvailable(KernelPath::Vector), processorHasIt);
  EXPECT_EQ(engine::fastestKernelPath(), processorHasIt ? KernelPath::Vector : KernelPath::Scalar);
}

// There and back: a random point converted from the geographic coordinates of one system to the
// grid of another (zones from the longitude, and forced zones up to 3 deg away) and back, on every
// pair of systems whose route is the same both ways (the regions agree at the point and at its
// image; where the route changes on the way the directions differ by their shifts, and such points
// are left out, as are points either way refuses). Within a system it lands within 1 mm of where
// it started.
TEST(Transformer, ThereAndBackLandsWithinAMillimetreWhereTheRegionsAgree) {
  constexpr double kMetresPerDegree = 111320.0, kMillimetre = 0.001, kBetweenDatums = 0.060;
  std::uint64_t state = 16;
  auto uniform = [&state](double low, double high) {
    state = state * 6364136223846793005u + 1442695040888963407u;
    return low + (high - low) * static_cast<double>(state >> 11) / 9007199254740992.0;
  };
  std::vector<double> lon, lat;
  for (int i = 0; i < 400; ++i) {
    lon.push_back(uniform(4.0, 16.5));
    lat.push_back(uniform(46.0, 56.0));
  }
  using CT = CoordinateType;
  std::size_t compared = 0;
  for (int a = 1; a <= 4; ++a) {
    for (int b = 1; b <= 4; ++b) {
      for (int width : {3, 6}) {
        for (int given : {0, b == 2 || b == 3 ? 32 : (b == 4 && width == 6 ? 2 : 3)}) {
          SCOPED_TRACE(::testing::Message()
                       << a << " -> " << b << " width " << width << " zone " << given);
          const Transformer there({CT::Geographic, a}, {CT::Grid, b}, {width, given == 0, given});
          const Transformer back({CT::Grid, b}, {CT::Geographic, a}, {width, true, 0});
          const Batch grid = run(there, lon, lat, nullptr);
          const Batch home = run(back, grid.x, grid.y, grid.zone.data());
          double worst = 0.0;
          for (std::size_t i = 0; i < lon.size(); ++i) {
            if (grid.status[i] != kPointConverted || home.status[i] != kPointConverted) continue;
            // The forced zones' central meridian is 9 deg; round trips keep 1 mm up to 3 deg
            // from it (farther, up to the band's 4 deg, the two series add up to some 2 mm).
            if (given != 0 && std::fabs(lon[i] - 9.0) > 3.0) continue;
            // Where the point lies in the target system: the regions are tested there on the way
            // back.
            const Transformer shift({CT::Geographic, a}, {CT::Geographic, b});
            double imageLon = 0.0, imageLat = 0.0;
            shift.transform(1, &lon[i], &lat[i], nullptr, &imageLon, &imageLat, nullptr, nullptr);
            if (INREGA(lat[i], lon[i]) != INREGA(imageLat, imageLon) ||
                INREGB(lat[i], lon[i]) != INREGB(imageLat, imageLon)) {
              continue;
            }
            const double east = (home.x[i] - lon[i]) * kMetresPerDegree * std::cos(lat[i] / 57.3);
            const double north = (home.y[i] - lat[i]) * kMetresPerDegree;
            worst = std::max(worst, std::hypot(east, north));
            ++compared;
          }
          // Between datums the way back evaluates the shifts where the point arrived, not where
          // it started (the routes' rule): 4 to 49 mm over Germany, measured here.
          EXPECT_LE(worst, a == b ? kMillimetre : kBetweenDatums);
        }
      }
    }
  }
  EXPECT_GT(compared, 10000u);
}

RangeProblem problemNamed(const std::string& name) {
  using P = RangeProblem;
  for (const auto& [text, problem] : {std::pair<const char*, P>{"None", P::None},
                                      {"OutsideCoordinates", P::OutsideCoordinates},
                                      {"NoSuchZone", P::NoSuchZone},
                                      {"BeyondPole", P::BeyondPole},
                                      {"BeyondProjectionLimit", P::BeyondProjectionLimit},
                                      {"OutsidePolynomialArea", P::OutsidePolynomialArea},
                                      {"NotFinite", P::NotFinite},
                                      {"OutsideGrid", P::OutsideGrid},
                                      {"OutsideOfficialArea", P::OutsideOfficialArea},
                                      {"NoZoneOfTarget", P::NoZoneOfTarget},
                                      {"ImpossibleResult", P::ImpossibleResult}}) {
    if (name == text) return problem;
  }
  throw std::invalid_argument("no problem named " + name);
}

// Every interface gets the refusals through Transformer: the point is marked, and explain says why.
TEST(Transformer, RefusesWhatNoZoneOfItsSystemHoldsAndSaysWhy) {
  for (const auto& c : testing::readCases("engine_transformer_refusals.txt")) {
    SCOPED_TRACE(c.where());
    const CoordinateSystem from = *parseCoordinateSystem(c.fields.at(0));
    const CoordinateSystem to = *parseCoordinateSystem(c.fields.at(1));
    const int given = c.integer(3);
    const Transformer t(from, to, {c.integer(2), given == 0, given});
    const RangeProblem expected = problemNamed(c.fields.at(7));
    // Eight copies: the vector path's block and the scalar rest see the same point.
    const std::vector<double> x(9, c.number(4)), y(9, c.number(5));
    const std::vector<int> zone(9, c.integer(6));
    const Batch batch = run(t, x, y, zone.data());
    for (std::size_t i = 0; i < x.size(); ++i) {
      EXPECT_EQ(batch.status[i],
                expected == RangeProblem::None ? kPointConverted : kPointWithoutPath);
      EXPECT_EQ(std::isnan(batch.x[i]), expected != RangeProblem::None);
    }
    EXPECT_EQ(t.explain(x[0], y[0], zone[0]), expected);
    EXPECT_EQ(std::string(describeRangeProblem(expected)).empty(), expected == RangeProblem::None);
  }
}

template <typename Call>
void expectInvalidArgument(Call call, const std::string& message) {
  try {
    call();
    ADD_FAILURE() << "no exception; expected: " << message;
  } catch (const std::invalid_argument& e) {
    EXPECT_EQ(e.what(), message);
  }
}

TEST(Transformer, RefusesUnknownSystemsZoneWidthsAndMissingArrays) {
  using CT = CoordinateType;
  expectInvalidArgument(
      [] {
        Transformer({CT::Grid, 6}, {CT::Grid, 1});
      },
      "nuvex::Transformer: source system 6 is not one of 1 to 5");
  expectInvalidArgument(
      [] {
        Transformer({CT::Grid, 1}, {CT::Geographic, 0});
      },
      "nuvex::Transformer: target system 0 is not one of 1 to 5");
  expectInvalidArgument(
      [] {
        Transformer({CT::Grid, 1}, {CT::Grid, 4}, {4, true, 0});
      },
      "nuvex::Transformer: zone width 4 is not 3 or 6");
  const Transformer t({CT::Grid, 1}, {CT::Grid, 3});
  double value = 0.0;
  const char* names[] = {"x", "y", "xOut", "yOut"};
  for (std::size_t missing = 0; missing < std::size(names); ++missing) {
    double* arrays[] = {&value, &value, &value, &value};
    arrays[missing] = nullptr;
    expectInvalidArgument(
        [&] {
          t.transform(1, arrays[0], arrays[1], nullptr, arrays[2], arrays[3], nullptr, nullptr);
        },
        std::string("nuvex::Transformer::transform: ") + names[missing] +
            " is null but count is not 0");
  }
}

}  // namespace
}  // namespace nuvex
