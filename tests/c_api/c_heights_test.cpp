// Heights through the C interface: conversions against PROJ's results, the kinds of heights from
// the options or from compound names, refusals with their codes and messages, the points whose
// heights cannot be converted, heights carried along, and option structs of callers built before
// the heights were added.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <iterator>
#include <limits>
#include <map>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "engine/geotiff_grid.h"
#include "nuvex/nuvex.h"
#include "nuvex/transform.h"
#include "support/case_file.h"

namespace nuvex {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInfinity = std::numeric_limits<double>::infinity();
constexpr std::int32_t kUnwritten = 99;
constexpr double kMetres = 1e-4;        // 0.1 mm of PROJ
constexpr double kDegrees = 1e-9;       // about 0.1 mm
constexpr double kBeyondHeights = 1e9;  // a height far beyond any on the Earth

struct Destroy {
  void operator()(nuvex_transformer* t) const { nuvex_transformer_destroy(t); }
};
using Handle = std::unique_ptr<nuvex_transformer, Destroy>;

Handle create(const char* source, const char* target, const nuvex_options* options) {
  nuvex_error error{};
  Handle t(nuvex_transformer_create(source, target, options, &error));
  EXPECT_NE(t, nullptr) << source << " -> " << target << ": " << error.message;
  return t;
}

// The official datum shifts with heights of the given kinds.
nuvex_options withHeights(int from, int to) {
  nuvex_options options;
  nuvex_options_init(&options);
  options.datum = 1;
  options.height_from = from;
  options.height_to = to;
  return options;
}

int heightOption(const std::string& word) {
  static const std::map<std::string, int> kinds = {{"none", NUVEX_HEIGHT_NONE},
                                                   {"ellipsoidal", NUVEX_HEIGHT_ELLIPSOIDAL},
                                                   {"dhhn2016", NUVEX_HEIGHT_DHHN2016}};
  return kinds.at(word);
}

bool geographic(const std::string& name) {
  return name.rfind("G:", 0) == 0 || name == "EPSG:4937" || name.rfind("EPSG:4258", 0) == 0 ||
         name == "EPSG:4178";
}

// One conversion of the case file: every point in one call, then again with z_out on z.
// The quasigeoid is a GeoTIFF grid: a build without them (the Windows cross build) converts no
// heights, and says so (GeoTiffUnavailable in the engine tests).
class CHeights : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!engine::geoTiffGridsSupported()) GTEST_SKIP() << "built without GeoTIFF grids";
  }
};

TEST_F(CHeights, ConvertAsProj) {
  for (const auto& c : testing::readCases("interface_heights.txt")) {
    SCOPED_TRACE(c.where());
    const std::string& source = c.fields.at(0);
    const std::string& target = c.fields.at(1);
    const nuvex_options options =
        withHeights(heightOption(c.fields.at(2)), heightOption(c.fields.at(3)));
    const Handle t = create(source.c_str(), target.c_str(), &options);
    ASSERT_NE(t, nullptr);
    const double x = c.number(4), y = c.number(5);
    double z = c.number(6);
    double xOut = kNaN, yOut = kNaN, zOut = kNaN;
    std::int32_t status = kUnwritten;
    nuvex_error error{};
    ASSERT_EQ(nuvex_transform3d(t.get(), 1, &x, &y, &z, nullptr, nullptr, &xOut, &yOut, &zOut,
                                nullptr, &status, &error),
              NUVEX_OK)
        << error.message;
    ASSERT_EQ(status, NUVEX_POINT_CONVERTED);
    const double tolerance = geographic(target) ? kDegrees : kMetres;
    EXPECT_NEAR(xOut, c.number(7), tolerance);
    EXPECT_NEAR(yOut, c.number(8), tolerance);
    EXPECT_NEAR(zOut, c.number(9), kMetres);
    // In place: the height array is the output's.
    ASSERT_EQ(nuvex_transform3d(t.get(), 1, &x, &y, &z, nullptr, nullptr, &xOut, &yOut, &z, nullptr,
                                &status, nullptr),
              NUVEX_OK);
    EXPECT_EQ(z, zOut);
  }
}

TEST_F(CHeights, CompoundNamesGiveTheirKinds) {
  const double x = 3514881.4679, y = 5685234.0224, z = 250.0;
  const nuvex_options explicitKinds = withHeights(NUVEX_HEIGHT_DHHN2016, NUVEX_HEIGHT_ELLIPSOIDAL);
  const nuvex_options fromNames = withHeights(NUVEX_HEIGHT_NONE, NUVEX_HEIGHT_NONE);
  const nuvex_options agreeing = withHeights(NUVEX_HEIGHT_DHHN2016, NUVEX_HEIGHT_ELLIPSOIDAL);
  std::vector<std::array<double, 3>> results;
  for (const auto& [source, target, options] :
       {std::tuple{"E:1", "G:3", &explicitKinds},
        std::tuple{"EPSG:31467+7837", "EPSG:4937", &fromNames},
        std::tuple{"E:1+EPSG:7837", "EPSG:4937", &fromNames},
        std::tuple{"EPSG:31467+7837", "G:3", &agreeing}}) {
    SCOPED_TRACE(std::string(source) + " -> " + target);
    const Handle t = create(source, target, options);
    ASSERT_NE(t, nullptr);
    std::array<double, 3> out{};
    std::int32_t status = kUnwritten;
    ASSERT_EQ(nuvex_transform3d(t.get(), 1, &x, &y, &z, nullptr, nullptr, &out[0], &out[1], &out[2],
                                nullptr, &status, nullptr),
              NUVEX_OK);
    EXPECT_EQ(status, NUVEX_POINT_CONVERTED);
    results.push_back(out);
  }
  for (const auto& out : results) EXPECT_EQ(out, results.front());
  EXPECT_NE(results.front()[2], z);  // converted, not carried
}

TEST_F(CHeights, RefusesEachBadChoiceWithItsCodeAndMessage) {
  const std::string missing = std::string(NUVEX_TEST_DATA_DIR) + "/no_such_geoid.tif";
  nuvex_options badKind = withHeights(3, NUVEX_HEIGHT_ELLIPSOIDAL);
  nuvex_options contradiction = withHeights(NUVEX_HEIGHT_ELLIPSOIDAL, NUVEX_HEIGHT_ELLIPSOIDAL);
  nuvex_options oneSide = withHeights(NUVEX_HEIGHT_DHHN2016, NUVEX_HEIGHT_NONE);
  nuvex_options polynomial = withHeights(NUVEX_HEIGHT_DHHN2016, NUVEX_HEIGHT_ELLIPSOIDAL);
  polynomial.datum = 0;
  nuvex_options ellipsoidal = withHeights(NUVEX_HEIGHT_ELLIPSOIDAL, NUVEX_HEIGHT_ELLIPSOIDAL);
  nuvex_options geoidAlone = withHeights(NUVEX_HEIGHT_NONE, NUVEX_HEIGHT_NONE);
  geoidAlone.geoid = missing.c_str();
  nuvex_options geoidUnused = ellipsoidal;
  geoidUnused.geoid = missing.c_str();
  nuvex_options geoidMissing = withHeights(NUVEX_HEIGHT_DHHN2016, NUVEX_HEIGHT_ELLIPSOIDAL);
  geoidMissing.geoid = missing.c_str();
  const struct {
    const char *source, *target;
    const nuvex_options* options;
    int code;
    std::string message;  // the whole message, or its start where it ends in the engine's words
  } refusals[] = {
      {"E:1", "G:3", &badKind, NUVEX_ERROR_ARGUMENT,
       "height_from 3 is not 0 (none), 1 (ellipsoidal) or 2 (DHHN2016)"},
      {"EPSG:31467+7837", "G:3", &contradiction, NUVEX_ERROR_ARGUMENT,
       "height_from 1 (ellipsoidal): EPSG:31467+7837 has heights 2 (DHHN2016)"},
      {"E:1", "G:3", &oneSide, NUVEX_ERROR_ARGUMENT,
       "heights: the source has heights 2 (DHHN2016) and the target none: give height_to (or "
       "name a compound CRS)"},
      {"EPSG:4937", "EPSG:25832", nullptr, NUVEX_ERROR_ARGUMENT,
       "heights: the source has heights 1 (ellipsoidal) and the target none: give height_to (or "
       "name a compound CRS)"},
      {"E:1", "G:3", &polynomial, NUVEX_ERROR_ARGUMENT,
       "heights are converted with datum 1 (official) only"},
      {"G:1", "G:3", &ellipsoidal, NUVEX_ERROR_ARGUMENT,
       "nuvex::Transformer: the source is system 1"},
      {"E:1", "G:3", &geoidAlone, NUVEX_ERROR_ARGUMENT,
       "geoid: a quasigeoid is read only where heights are converted"},
      {"G:4", "G:3", &geoidUnused, NUVEX_ERROR_ARGUMENT, "nuvex::Transformer: a geoid ("},
      {"E:1", "G:3", &geoidMissing, NUVEX_ERROR_ARGUMENT, ""},  // names the file, below
      {"E:2+7837", "G:3", nullptr, NUVEX_ERROR_SYSTEM, "source 'E:2+7837': DHHN2016 heights"},
      {"EPSG:31467+5783", "G:3", nullptr, NUVEX_ERROR_SYSTEM,
       "source 'EPSG:31467+5783': the vertical CRS '5783' is not supported"},
  };
  for (const auto& r : refusals) {
    SCOPED_TRACE(std::string(r.source) + " -> " + r.target + ": " + r.message);
    nuvex_error error{};
    EXPECT_EQ(nuvex_transformer_create(r.source, r.target, r.options, &error), nullptr);
    EXPECT_EQ(error.code, r.code);
    EXPECT_EQ(std::string(error.message).substr(0, r.message.size()), r.message) << error.message;
    if (r.options == &geoidMissing) {
      EXPECT_NE(std::string(error.message).find("no_such_geoid.tif"), std::string::npos)
          << error.message;
    }
  }
}

TEST_F(CHeights, TwoDimensionalCallsOfAHeightsTransformerAreRefused) {
  const nuvex_options options = withHeights(NUVEX_HEIGHT_DHHN2016, NUVEX_HEIGHT_ELLIPSOIDAL);
  const Handle t = create("EPSG:4258+7837", "EPSG:4937", &options);
  ASSERT_NE(t, nullptr);
  const double x[2] = {10.0, 11.0}, y[2] = {50.0, 51.0}, z[2] = {100.0, 200.0};
  double xOut[2] = {7, 7}, yOut[2] = {7, 7}, zOut[2] = {7, 7};
  std::int32_t status[2] = {kUnwritten, kUnwritten};
  std::int32_t reason = kUnwritten;
  nuvex_error error{};
  EXPECT_EQ(nuvex_transform(t.get(), 2, x, y, nullptr, xOut, yOut, nullptr, status, &error),
            NUVEX_ERROR_ARGUMENT);
  EXPECT_STREQ(error.message, "the transformer converts heights: call nuvex_transform3d with z");
  EXPECT_EQ(nuvex_explain(t.get(), 10.0, 50.0, 0, &reason, &error), NUVEX_ERROR_ARGUMENT);
  EXPECT_STREQ(error.message, "the transformer converts heights: call nuvex_explain3d with z");
  EXPECT_EQ(nuvex_transform3d(t.get(), 2, x, y, nullptr, nullptr, nullptr, xOut, yOut, zOut,
                              nullptr, status, &error),
            NUVEX_ERROR_ARGUMENT);
  EXPECT_STREQ(error.message, "z is NULL with count 2");
  EXPECT_EQ(nuvex_transform3d(t.get(), 2, x, y, z, nullptr, nullptr, xOut, yOut, nullptr, nullptr,
                              status, &error),
            NUVEX_ERROR_ARGUMENT);
  EXPECT_STREQ(error.message, "z_out is NULL with count 2");
  EXPECT_EQ(xOut[0], 7.0);
  EXPECT_EQ(zOut[1], 7.0);
  EXPECT_EQ(status[0], kUnwritten);
  EXPECT_EQ(reason, kUnwritten);
}

// Points whose heights cannot be converted, beside ones that convert and one whose position has
// no path: the status, a NaN height for each marked point, and nuvex_explain3d's reason.
TEST_F(CHeights, MarksPointsWhoseHeightsCannotBeConverted) {
  const nuvex_options options = withHeights(NUVEX_HEIGHT_DHHN2016, NUVEX_HEIGHT_ELLIPSOIDAL);
  const Handle t = create("EPSG:4258+7837", "EPSG:4937", &options);
  ASSERT_NE(t, nullptr);
  const struct {
    double lon, lat, height;
    int reason;
  } points[] = {
      {10.0, 50.0, 100.0, NUVEX_REASON_NONE},
      {10.0, 50.0, kNaN, NUVEX_REASON_HEIGHT_OUT_OF_RANGE},
      {10.0, 50.0, kBeyondHeights, NUVEX_REASON_HEIGHT_OUT_OF_RANGE},
      {10.0, 50.0, -kBeyondHeights, NUVEX_REASON_HEIGHT_OUT_OF_RANGE},
      {10.0, 50.0, kInfinity, NUVEX_REASON_HEIGHT_OUT_OF_RANGE},
      {5.7014159, 52.3619409, 10.0, NUVEX_REASON_OUTSIDE_GEOID},  // the Netherlands
      {10.0, 95.0, 100.0, NUVEX_REASON_OUTSIDE_COORDINATES},
      {13.7885598, 51.9487479, 35.25, NUVEX_REASON_NONE},
  };
  const std::size_t n = std::size(points);
  std::vector<double> x, y, z;
  for (const auto& p : points) {
    x.push_back(p.lon);
    y.push_back(p.lat);
    z.push_back(p.height);
  }
  std::vector<double> xOut(n), yOut(n), zOut(n);
  std::vector<std::int32_t> status(n, kUnwritten);
  ASSERT_EQ(
      nuvex_transform3d(t.get(), n, x.data(), y.data(), z.data(), nullptr, nullptr, xOut.data(),
                        yOut.data(), zOut.data(), nullptr, status.data(), nullptr),
      NUVEX_OK);
  for (std::size_t i = 0; i < n; ++i) {
    SCOPED_TRACE(i);
    std::int32_t reason = kUnwritten;
    ASSERT_EQ(nuvex_explain3d(t.get(), x[i], y[i], z[i], nullptr, 0, &reason, nullptr), NUVEX_OK);
    EXPECT_EQ(reason, points[i].reason) << nuvex_reason_text(reason);
    const bool converted = points[i].reason == NUVEX_REASON_NONE;
    EXPECT_EQ(status[i], converted ? NUVEX_POINT_CONVERTED : NUVEX_POINT_WITHOUT_PATH);
    EXPECT_EQ(std::isnan(xOut[i]) && std::isnan(yOut[i]) && std::isnan(zOut[i]), !converted);
  }
  EXPECT_NEAR(zOut[0], 147.809500694132, kMetres);  // the case file's first point
}

// Without height kinds the heights come through as given, for every point; the positions are
// those of nuvex_transform, bit for bit.
TEST_F(CHeights, HeightsAreCarriedAlongWithoutKinds) {
  std::vector<double> x, y, z;
  for (int i = 0; i < 3000; ++i) {  // more than one chunk of the library's work
    x.push_back(2.0 + 16.0 * (i % 60) / 59.0);
    y.push_back(44.0 + 14.0 * (i / 60) / 49.0);
    z.push_back(i % 7 == 0 ? kNaN : i % 11 == 0 ? kBeyondHeights : 0.25 * i);
  }
  const std::size_t n = x.size();
  nuvex_options official;
  nuvex_options_init(&official);
  official.datum = 1;
  for (const nuvex_options* options : std::array<const nuvex_options*, 2>{nullptr, &official}) {
    SCOPED_TRACE(options == nullptr ? "polynomial" : "official");
    const Handle t = create("G:3", "E:1", options);
    std::vector<double> x2(n), y2(n), x3(n), y3(n), zOut(n);
    std::vector<std::int32_t> status2(n), status3(n);
    ASSERT_EQ(nuvex_transform(t.get(), n, x.data(), y.data(), nullptr, x2.data(), y2.data(),
                              nullptr, status2.data(), nullptr),
              NUVEX_OK);
    ASSERT_EQ(
        nuvex_transform3d(t.get(), n, x.data(), y.data(), z.data(), nullptr, nullptr, x3.data(),
                          y3.data(), zOut.data(), nullptr, status3.data(), nullptr),
        NUVEX_OK);
    int withoutPath = 0;
    for (std::size_t i = 0; i < n; ++i) {
      SCOPED_TRACE(i);
      ASSERT_EQ(status3[i], status2[i]);
      withoutPath += status3[i] != NUVEX_POINT_CONVERTED;
      ASSERT_TRUE(std::isnan(x2[i]) ? std::isnan(x3[i]) : x3[i] == x2[i]);
      ASSERT_TRUE(std::isnan(y2[i]) ? std::isnan(y3[i]) : y3[i] == y2[i]);
      ASSERT_TRUE(std::isnan(z[i]) ? std::isnan(zOut[i]) : zOut[i] == z[i]);
    }
    EXPECT_GT(withoutPath, 0);  // carried also where the position has no path
    std::int32_t reason = kUnwritten;
    ASSERT_EQ(nuvex_explain3d(t.get(), 10.0, 50.0, kNaN, nullptr, 0, &reason, nullptr), NUVEX_OK);
    EXPECT_EQ(reason, NUVEX_REASON_NONE);  // a carried height is no reason
  }
}

// Many points with heights in one call, over chunks of the library's work and a named source
// zone: what the C++ Transformer gives for the same arrays, bit for bit.
TEST_F(CHeights, ConvertsManyPointsAsTheTransformer) {
  std::vector<double> x, y, z;
  for (int i = 0; i < 2500; ++i) {
    x.push_back(3.3e6 + 0.8e6 * (i % 50) / 49.0);  // zones 3 and 4
    y.push_back(5.2e6 + 1.0e6 * (i / 50) / 49.0);
    z.push_back(i % 13 == 0 ? kNaN : -50.0 + 0.5 * i);
  }
  const std::size_t n = x.size();
  const nuvex_options options = withHeights(NUVEX_HEIGHT_DHHN2016, NUVEX_HEIGHT_ELLIPSOIDAL);
  const Handle t = create("EPSG:31467+7837", "EPSG:25832", &options);
  ASSERT_NE(t, nullptr);
  std::vector<double> xOut(n), yOut(n), zOut(n);
  std::vector<std::int32_t> zone(n), status(n);
  ASSERT_EQ(
      nuvex_transform3d(t.get(), n, x.data(), y.data(), z.data(), nullptr, nullptr, xOut.data(),
                        yOut.data(), zOut.data(), zone.data(), status.data(), nullptr),
      NUVEX_OK);
  const Transformer reference({CoordinateType::Grid, 1}, {CoordinateType::Grid, 3}, {3, false, 32},
                              {DatumShift::Official, ""},
                              {HeightKind::Normal, HeightKind::Ellipsoidal, ""});
  std::vector<double> rx(n), ry(n), rz(n);
  std::vector<int> rzone(n), rstatus(n);
  reference.transform(n, x.data(), y.data(), z.data(), nullptr, rx.data(), ry.data(), rz.data(),
                      rzone.data(), rstatus.data());
  int converted = 0;
  for (std::size_t i = 0; i < n; ++i) {
    SCOPED_TRACE(i);
    // The source's name refuses eastings of other zones than 3.
    const bool zone3 = std::trunc(x[i] / 1e6) == 3;
    ASSERT_EQ(status[i], zone3 ? rstatus[i] : NUVEX_POINT_WITHOUT_PATH);
    if (status[i] != NUVEX_POINT_CONVERTED) {
      ASSERT_TRUE(std::isnan(xOut[i]) && std::isnan(yOut[i]) && std::isnan(zOut[i]));
      continue;
    }
    ++converted;
    ASSERT_EQ(xOut[i], rx[i]);
    ASSERT_EQ(yOut[i], ry[i]);
    ASSERT_EQ(zOut[i], rz[i]);
    ASSERT_EQ(zone[i], 32);
  }
  EXPECT_GT(converted, 1000);
  EXPECT_LT(converted, static_cast<int>(n));
}

// A caller built before the heights were added passes a smaller struct: the fields beyond its
// size are not read (here they hold what would be refused), and compound names still give their
// kinds. A size that ends between two of the new fields reads the first only.
TEST_F(CHeights, OptionsOfTheFirstVersionAreReadAsFarAsTheyGo) {
  constexpr std::size_t kFirstVersion = offsetof(nuvex_options, grid) + sizeof(const char*);
  nuvex_options old;
  nuvex_options_init(&old);
  old.size = kFirstVersion;
  old.datum = 1;
  old.height_from = 7;
  old.height_to = -1;
  old.geoid = "no_such_geoid.tif";
  const double lon = 10.0, lat = 50.0;
  double x = kNaN, y = kNaN, z = 100.0, zOut = kNaN;
  std::int32_t status = kUnwritten;
  {
    const Handle t = create("G:3", "E:3", &old);
    ASSERT_NE(t, nullptr);
    ASSERT_EQ(nuvex_transform(t.get(), 1, &lon, &lat, nullptr, &x, &y, nullptr, &status, nullptr),
              NUVEX_OK);
    EXPECT_EQ(status, NUVEX_POINT_CONVERTED);
  }
  {
    const Handle t = create("EPSG:4258+7837", "EPSG:4937", &old);
    ASSERT_NE(t, nullptr);
    ASSERT_EQ(nuvex_transform3d(t.get(), 1, &lon, &lat, &z, nullptr, nullptr, &x, &y, &zOut,
                                nullptr, &status, nullptr),
              NUVEX_OK);
    EXPECT_NEAR(zOut, 147.809500694132, kMetres);
  }
  nuvex_options partly = old;
  partly.size = offsetof(nuvex_options, height_to);  // height_from, not height_to
  partly.height_from = NUVEX_HEIGHT_DHHN2016;
  nuvex_error error{};
  EXPECT_EQ(nuvex_transformer_create("E:1", "G:3", &partly, &error), nullptr);
  EXPECT_STREQ(error.message,
               "heights: the source has heights 2 (DHHN2016) and the target none: give height_to "
               "(or name a compound CRS)");
}

}  // namespace
}  // namespace nuvex
