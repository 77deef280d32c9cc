// System 5 (ITRF2020 at an epoch) through the C interface: conversions against PROJ's results
// (interface_epochs.txt) with the epoch of the options, of a name and per point; points whose own
// epoch is none, with their reason; the forgotten epoch; refusals of epochs that contradict each
// other or change nothing and of the polynomial mode; option structs of callers built before the
// epoch; and many points as the C++ Transformer converts them.
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
#include <utility>
#include <vector>

#include "nuvex/nuvex.h"
#include "nuvex/transform.h"
#include "support/case_file.h"

namespace nuvex {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInfinity = std::numeric_limits<double>::infinity();
constexpr std::int32_t kUnwritten = 99;
constexpr double kUntouched = 7.0;  // an output before the call
constexpr double kMetres = 1e-4;    // 0.1 mm of PROJ
constexpr double kDegrees = 1e-9;   // about 0.1 mm
// ITRF2020 10 E 50 N at 2026.9 in DHDN Gauss-Krueger zone 3 (the case file's third block).
constexpr double kLongitude = 10.0, kLatitude = 50.0, kEpoch = 2026.9;
constexpr double kEasting = 3571769.205583703239, kNorthing = 5540886.352708543651;

struct Destroy {
  void operator()(nuvex_transformer* t) const { nuvex_transformer_destroy(t); }
};
using Handle = std::unique_ptr<nuvex_transformer, Destroy>;

Handle create(const std::string& source, const std::string& target, const nuvex_options* options) {
  nuvex_error error{};
  Handle t(nuvex_transformer_create(source.c_str(), target.c_str(), options, &error));
  EXPECT_NE(t, nullptr) << source << " -> " << target << ": " << error.message;
  return t;
}

// The official datum shifts with the given epoch (0: none).
nuvex_options official(double epoch = 0.0) {
  nuvex_options options;
  nuvex_options_init(&options);
  options.datum = 1;
  options.epoch = epoch;
  return options;
}

bool geographic(const std::string& name) {
  return name == "EPSG:9990" || name == "EPSG:9989" || name == "EPSG:4258" || name == "EPSG:4937";
}

// The points of one block of the case file: a conversion, its points at their epochs.
struct Block {
  std::vector<std::string> epochTexts;
  std::vector<double> epoch, x, y, z, xExpected, yExpected, zExpected;
  bool heights = false;
  std::size_t size() const { return x.size(); }
};

std::map<std::pair<std::string, std::string>, Block> caseBlocks() {
  std::map<std::pair<std::string, std::string>, Block> blocks;
  for (const auto& c : testing::readCases("interface_epochs.txt")) {
    Block& block = blocks[{c.fields.at(0), c.fields.at(1)}];
    block.heights = c.fields.at(5) != "-";
    block.epochTexts.push_back(c.fields.at(2));
    block.epoch.push_back(c.number(2));
    block.x.push_back(c.number(3));
    block.y.push_back(c.number(4));
    block.z.push_back(block.heights ? c.number(5) : kNaN);
    block.xExpected.push_back(c.number(6));
    block.yExpected.push_back(c.number(7));
    block.zExpected.push_back(block.heights ? c.number(8) : kNaN);
  }
  return blocks;
}

// Converts points [first, first + count) of the block with nuvex_transform3d (the points' own
// epochs when perPoint) and compares them with PROJ's results.
void expectAsProj(const nuvex_transformer* t, const std::string& target, const Block& block,
                  std::size_t first, std::size_t count, bool perPoint) {
  std::vector<double> xOut(count, kUntouched), yOut(count, kUntouched), zOut(count, kUntouched);
  std::vector<std::int32_t> status(count, kUnwritten);
  nuvex_error error{};
  ASSERT_EQ(
      nuvex_transform3d(t, count, &block.x[first], &block.y[first],
                        block.heights ? &block.z[first] : nullptr,
                        perPoint ? &block.epoch[first] : nullptr, nullptr, xOut.data(), yOut.data(),
                        block.heights ? zOut.data() : nullptr, nullptr, status.data(), &error),
      NUVEX_OK)
      << error.message;
  const double tolerance = geographic(target) ? kDegrees : kMetres;
  for (std::size_t i = 0; i < count; ++i) {
    SCOPED_TRACE("epoch " + block.epochTexts[first + i]);
    EXPECT_EQ(status[i], NUVEX_POINT_CONVERTED);
    EXPECT_NEAR(xOut[i], block.xExpected[first + i], tolerance);
    EXPECT_NEAR(yOut[i], block.yExpected[first + i], tolerance);
    if (block.heights) {
      EXPECT_NEAR(zOut[i], block.zExpected[first + i], kMetres);
    } else {
      EXPECT_EQ(zOut[i], kUntouched);  // no heights, none written
    }
  }
}

TEST(CEpochs, ConvertAsProj) {
  for (const auto& [names, block] : caseBlocks()) {
    const auto& [source, target] = names;
    SCOPED_TRACE(source + " -> " + target);
    // Every point at its own epoch, in one call.
    const nuvex_options withoutEpoch = official();
    const Handle perPoint = create(source, target, &withoutEpoch);
    ASSERT_NE(perPoint, nullptr);
    expectAsProj(perPoint.get(), target, block, 0, block.size(), true);
    for (std::size_t i = 0; i < block.size(); ++i) {
      std::int32_t reason = kUnwritten;
      ASSERT_EQ(nuvex_explain3d(perPoint.get(), block.x[i], block.y[i], block.z[i], &block.epoch[i],
                                0, &reason, nullptr),
                NUVEX_OK);
      EXPECT_EQ(reason, NUVEX_REASON_NONE);
      // The epoch of the options or of either name serves every point of a call.
      const nuvex_options withEpoch = official(block.epoch[i]);
      const std::string at = "@" + block.epochTexts[i];
      for (const auto& [from, to, options] :
           {std::tuple{source, target, &withEpoch}, std::tuple{source + at, target, &withoutEpoch},
            std::tuple{source, target + at, &withoutEpoch}}) {
        SCOPED_TRACE(from + " -> " + to);
        const Handle t = create(from, to, options);
        ASSERT_NE(t, nullptr);
        expectAsProj(t.get(), target, block, i, 1, false);
      }
    }
  }
}

TEST(CEpochs, TwoDimensionalCallsTakeTheOptionsEpoch) {
  const nuvex_options options = official(kEpoch);
  const Handle t = create("EPSG:9990", "EPSG:31467", &options);
  ASSERT_NE(t, nullptr);
  double x = kNaN, y = kNaN;
  std::int32_t zone = kUnwritten, status = kUnwritten, reason = kUnwritten;
  ASSERT_EQ(nuvex_transform(t.get(), 1, &kLongitude, &kLatitude, nullptr, &x, &y, &zone, &status,
                            nullptr),
            NUVEX_OK);
  EXPECT_EQ(status, NUVEX_POINT_CONVERTED);
  EXPECT_EQ(zone, 3);
  EXPECT_NEAR(x, kEasting, kMetres);
  EXPECT_NEAR(y, kNorthing, kMetres);
  ASSERT_EQ(nuvex_explain(t.get(), 2.0, kLatitude, 0, &reason, nullptr), NUVEX_OK);
  EXPECT_EQ(reason, NUVEX_REASON_OUTSIDE_GRID);
  // A height carried along beside the points' epochs, which take the options' place.
  const double epochs[2] = {kEpoch, 1995.0}, lon[2] = {kLongitude, kLongitude},
               lat[2] = {kLatitude, kLatitude}, z[2] = {100.0, kNaN};
  double xOut[2], yOut[2], zOut[2];
  ASSERT_EQ(nuvex_transform3d(t.get(), 2, lon, lat, z, epochs, nullptr, xOut, yOut, zOut, nullptr,
                              nullptr, nullptr),
            NUVEX_OK);
  EXPECT_EQ(xOut[0], x);
  EXPECT_NE(xOut[1], x);  // some 30 years of 2.5 cm
  EXPECT_EQ(zOut[0], 100.0);
  EXPECT_TRUE(std::isnan(zOut[1]));
}

// Points whose own epoch is none beside ones that convert and ones whose coordinates are none:
// the status, NaN outputs, and nuvex_explain3d's reason for each.
TEST(CEpochs, PointsWithoutAnEpochHaveTheirReason) {
  const struct {
    double lon, lat, epoch;
    int reason;
  } points[] = {
      {kLongitude, kLatitude, kEpoch, NUVEX_REASON_NONE},
      {kLongitude, kLatitude, kNaN, NUVEX_REASON_EPOCH_OUT_OF_RANGE},
      {kLongitude, kLatitude, 1989.5, NUVEX_REASON_EPOCH_OUT_OF_RANGE},
      {kLongitude, kLatitude, 2100.5, NUVEX_REASON_EPOCH_OUT_OF_RANGE},
      {kLongitude, kLatitude, -kInfinity, NUVEX_REASON_EPOCH_OUT_OF_RANGE},
      {kLongitude, kLatitude, 0.0, NUVEX_REASON_EPOCH_OUT_OF_RANGE},  // per point 0 is no "none"
      {kLongitude, 95.0, kNaN, NUVEX_REASON_OUTSIDE_COORDINATES},     // judged before the epoch
      {2.0, kLatitude, kEpoch, NUVEX_REASON_OUTSIDE_GRID},            // outside BeTA2007
      {9.0, 48.5, 1990.0, NUVEX_REASON_NONE},
      {9.0, 48.5, 2100.0, NUVEX_REASON_NONE},
  };
  const std::size_t n = std::size(points);
  std::vector<double> x, y, epoch;
  for (const auto& p : points) {
    x.push_back(p.lon);
    y.push_back(p.lat);
    epoch.push_back(p.epoch);
  }
  const nuvex_options withoutEpoch = official();
  const nuvex_options withEpoch = official(kEpoch);
  const Handle t = create("EPSG:9990", "EPSG:31467", &withoutEpoch);
  const Handle fixed = create("EPSG:9990", "EPSG:31467", &withEpoch);
  ASSERT_TRUE(t != nullptr && fixed != nullptr);
  std::vector<double> xOut(n), yOut(n);
  std::vector<std::int32_t> zone(n, kUnwritten), status(n, kUnwritten);
  ASSERT_EQ(
      nuvex_transform3d(t.get(), n, x.data(), y.data(), nullptr, epoch.data(), nullptr, xOut.data(),
                        yOut.data(), nullptr, zone.data(), status.data(), nullptr),
      NUVEX_OK);
  EXPECT_NEAR(xOut[0], kEasting, kMetres);
  for (std::size_t i = 0; i < n; ++i) {
    SCOPED_TRACE(i);
    std::int32_t reason = kUnwritten;
    ASSERT_EQ(nuvex_explain3d(t.get(), x[i], y[i], 0.0, &epoch[i], 0, &reason, nullptr), NUVEX_OK);
    EXPECT_EQ(reason, points[i].reason) << nuvex_reason_text(reason);
    const bool converted = points[i].reason == NUVEX_REASON_NONE;
    EXPECT_EQ(status[i], converted ? NUVEX_POINT_CONVERTED : NUVEX_POINT_WITHOUT_PATH);
    EXPECT_EQ(std::isnan(xOut[i]) && std::isnan(yOut[i]) && zone[i] == 0, !converted);
    // Without its own epoch the point takes the options': only its coordinates are reasons.
    ASSERT_EQ(nuvex_explain3d(fixed.get(), x[i], y[i], 0.0, nullptr, 0, &reason, nullptr),
              NUVEX_OK);
    const bool coordinates = points[i].reason == NUVEX_REASON_OUTSIDE_COORDINATES ||
                             points[i].reason == NUVEX_REASON_OUTSIDE_GRID;
    EXPECT_EQ(reason, coordinates ? points[i].reason : NUVEX_REASON_NONE);
  }
  EXPECT_NE(std::string(nuvex_reason_text(NUVEX_REASON_EPOCH_OUT_OF_RANGE)).find("1990 to 2100"),
            std::string::npos);
}

constexpr char kForgotten[] =
    "the conversion between system 5 (ITRF2020) and another system needs the epoch of its "
    "points: set options.epoch (or name it, 'EPSG:9990@2026.9'), or give ";

TEST(CEpochs, TheForgottenEpochNamesTheOption) {
  const nuvex_options options = official();
  const Handle t = create("EPSG:9990", "EPSG:31467", &options);  // the points may bring epochs
  ASSERT_NE(t, nullptr);
  double x = kUntouched, y = kUntouched;
  std::int32_t status = kUnwritten, reason = kUnwritten;
  nuvex_error error{};
  EXPECT_EQ(nuvex_transform(t.get(), 1, &kLongitude, &kLatitude, nullptr, &x, &y, nullptr, &status,
                            &error),
            NUVEX_ERROR_ARGUMENT);
  EXPECT_EQ(std::string(error.message),
            std::string(kForgotten) + "nuvex_transform3d one per point");
  EXPECT_EQ(nuvex_transform3d(t.get(), 1, &kLongitude, &kLatitude, nullptr, nullptr, nullptr, &x,
                              &y, nullptr, nullptr, &status, &error),
            NUVEX_ERROR_ARGUMENT);
  EXPECT_EQ(std::string(error.message),
            std::string(kForgotten) + "nuvex_transform3d one per point");
  EXPECT_EQ(nuvex_explain(t.get(), kLongitude, kLatitude, 0, &reason, &error),
            NUVEX_ERROR_ARGUMENT);
  EXPECT_EQ(std::string(error.message), std::string(kForgotten) + "nuvex_explain3d one per point");
  EXPECT_EQ(nuvex_explain3d(t.get(), kLongitude, kLatitude, 0.0, nullptr, 0, &reason, &error),
            NUVEX_ERROR_ARGUMENT);
  EXPECT_EQ(x, kUntouched);
  EXPECT_EQ(status, kUnwritten);
  EXPECT_EQ(reason, kUnwritten);
  // The other way round, too.
  const Handle back = create("EPSG:31467", "G:5", &options);
  ASSERT_NE(back, nullptr);
  EXPECT_EQ(nuvex_transform(back.get(), 1, &kEasting, &kNorthing, nullptr, &x, &y, nullptr, nullptr,
                            &error),
            NUVEX_ERROR_ARGUMENT);
  EXPECT_EQ(std::string(error.message).substr(0, std::size(kForgotten) - 1), kForgotten);
}

TEST(CEpochs, EpochsForAConversionWithoutOneAreRefused) {
  const nuvex_options options = official();
  const Handle t = create("G:3", "E:3", &options);
  ASSERT_NE(t, nullptr);
  double x = kUntouched, y = kUntouched;
  std::int32_t reason = kUnwritten;
  nuvex_error error{};
  const char* message =
      "epoch: the conversion needs none (only one between system 5 (ITRF2020) and another system "
      "does); pass NULL";
  EXPECT_EQ(nuvex_transform3d(t.get(), 1, &kLongitude, &kLatitude, nullptr, &kEpoch, nullptr, &x,
                              &y, nullptr, nullptr, nullptr, &error),
            NUVEX_ERROR_ARGUMENT);
  EXPECT_STREQ(error.message, message);
  EXPECT_EQ(nuvex_explain3d(t.get(), kLongitude, kLatitude, 0.0, &kEpoch, 0, &reason, &error),
            NUVEX_ERROR_ARGUMENT);
  EXPECT_STREQ(error.message, message);
  EXPECT_EQ(x, kUntouched);
  EXPECT_EQ(reason, kUnwritten);
}

TEST(CEpochs, RefusesEpochsThatContradictOrChangeNothing) {
  const struct {
    const char *source, *target;
    double epoch;
    int datum;
    int code;
    const char* message;
  } refusals[] = {
      {"EPSG:9990", "EPSG:31467", 1989.99, 1, NUVEX_ERROR_ARGUMENT,
       "epoch 1989.99 is no decimal year from 1990 to 2100 (0: none)"},
      {"EPSG:9990", "EPSG:31467", -2026.9, 1, NUVEX_ERROR_ARGUMENT,
       "epoch -2026.9 is no decimal year from 1990 to 2100 (0: none)"},
      {"EPSG:9990", "EPSG:31467", kInfinity, 1, NUVEX_ERROR_ARGUMENT,
       "epoch inf is no decimal year from 1990 to 2100 (0: none)"},
      {"EPSG:9990@2026.9", "EPSG:31467", 2026.5, 1, NUVEX_ERROR_ARGUMENT,
       "epoch 2026.5: EPSG:9990@2026.9 names the epoch 2026.9"},
      {"EPSG:4258", "EPSG:9990@2020", 2026.9, 1, NUVEX_ERROR_ARGUMENT,
       "epoch 2026.9: EPSG:9990@2020 names the epoch 2020"},
      {"EPSG:9990@2026.9", "EPSG:25832@2026-12-07", 0.0, 1, NUVEX_ERROR_ARGUMENT,
       "EPSG:9990@2026.9 and EPSG:25832@2026-12-07 name different epochs"},
      {"G:3", "E:1", 2026.9, 1, NUVEX_ERROR_ARGUMENT,
       "epoch: read only between system 5 (ITRF2020) and another system"},
      {"G:5", "E:5", 2026.9, 1, NUVEX_ERROR_ARGUMENT,
       "epoch: read only between system 5 (ITRF2020) and another system"},
      {"EPSG:9990", "EPSG:31467", 2026.9, 0, NUVEX_ERROR_ARGUMENT,
       "system 5 (ITRF2020) is converted with datum 1 (official) only: EPSG:10586 at an epoch"},
      {"G:5", "G:5", 0.0, 0, NUVEX_ERROR_ARGUMENT,
       "system 5 (ITRF2020) is converted with datum 1 (official) only: EPSG:10586 at an epoch"},
      {"EPSG:9990@2150", "G:3", 0.0, 1, NUVEX_ERROR_SYSTEM,
       "source 'EPSG:9990@2150': the epoch '2150' is no decimal year or date from 1990 to 2100, "
       "e.g. 'EPSG:9990@2026.9'"},
  };
  for (const auto& r : refusals) {
    SCOPED_TRACE(std::string(r.source) + " -> " + r.target);
    nuvex_options options = official(r.epoch);
    options.datum = r.datum;
    nuvex_error error{};
    EXPECT_EQ(nuvex_transformer_create(r.source, r.target, &options, &error), nullptr);
    EXPECT_EQ(error.code, r.code);
    EXPECT_STREQ(error.message, r.message);
  }
  // What is none: 0 and NaN; a name's epoch that nothing uses is only read.
  for (const double none : {0.0, kNaN}) {
    const nuvex_options options = official(none);
    EXPECT_NE(create("G:3", "E:1", &options), nullptr);
    EXPECT_NE(create("EPSG:9990@2026.9", "E:5", &options), nullptr);
  }
  const nuvex_options agreeing = official(kEpoch);
  EXPECT_NE(create("EPSG:9990@2026.9", "EPSG:31467@2026.9", &agreeing), nullptr);
}

// A caller built before the epoch passes a smaller struct: the field beyond its size is not read
// (here it holds what would be refused), and a name's epoch still counts.
TEST(CEpochs, OptionsWithoutTheEpochAreReadAsFarAsTheyGo) {
  constexpr std::size_t kHeightsVersion = offsetof(nuvex_options, geoid) + sizeof(const char*);
  constexpr std::size_t kFirstVersion = offsetof(nuvex_options, grid) + sizeof(const char*);
  for (const std::size_t size : {kHeightsVersion, kFirstVersion}) {
    SCOPED_TRACE(size);
    nuvex_options old = official(1.0);
    old.size = size;
    EXPECT_NE(create("G:3", "E:3", &old), nullptr);
    const Handle t = create("EPSG:9990@2026.9", "EPSG:31467", &old);
    ASSERT_NE(t, nullptr);
    double x = kNaN, y = kNaN;
    ASSERT_EQ(nuvex_transform(t.get(), 1, &kLongitude, &kLatitude, nullptr, &x, &y, nullptr,
                              nullptr, nullptr),
              NUVEX_OK);
    EXPECT_NEAR(x, kEasting, kMetres);
    EXPECT_NEAR(y, kNorthing, kMetres);
  }
  nuvex_options full = official(1.0);
  nuvex_error error{};
  EXPECT_EQ(nuvex_transformer_create("EPSG:9990", "EPSG:31467", &full, &error), nullptr);
  EXPECT_STREQ(error.message, "epoch 1 is no decimal year from 1990 to 2100 (0: none)");
}

// Many points at their own epochs, over chunks of the library's work and zones per point, with
// and without heights: what the C++ Transformer gives for the same arrays, bit for bit.
TEST(CEpochs, ConvertsManyPointsAsTheTransformer) {
  std::vector<double> x, y, z, epoch;
  for (int i = 0; i < 2600; ++i) {
    x.push_back(4.0 + 12.5 * (i % 52) / 51.0);
    y.push_back(46.5 + 9.5 * (i / 52) / 49.0);
    z.push_back(-50.0 + 1.25 * i);
    epoch.push_back(i % 97 == 0 ? kNaN : 1985.0 + 120.0 * (i % 89) / 88.0);
  }
  const std::size_t n = x.size();
  for (const bool heights : {false, true}) {
    SCOPED_TRACE(heights ? "EPSG:9989 -> EPSG:4937" : "EPSG:9990 -> E:1");
    const nuvex_options options = official();
    const Handle t =
        heights ? create("EPSG:9989", "EPSG:4937", &options) : create("EPSG:9990", "E:1", &options);
    ASSERT_NE(t, nullptr);
    std::vector<double> xOut(n), yOut(n), zOut(n);
    std::vector<std::int32_t> zone(n), status(n);
    ASSERT_EQ(
        nuvex_transform3d(t.get(), n, x.data(), y.data(), heights ? z.data() : nullptr,
                          epoch.data(), nullptr, xOut.data(), yOut.data(),
                          heights ? zOut.data() : nullptr, zone.data(), status.data(), nullptr),
        NUVEX_OK);
    const HeightKind kind = heights ? HeightKind::Ellipsoidal : HeightKind::None;
    const Transformer reference(
        {CoordinateType::Geographic, kItrf2020System},
        {heights ? CoordinateType::Geographic : CoordinateType::Grid, heights ? 3 : 1}, {},
        {DatumShift::Official, ""}, {kind, kind, ""});
    std::vector<double> rx(n), ry(n), rz(n);
    std::vector<int> rzone(n), rstatus(n);
    reference.transform(
        n, PointArrays{x.data(), y.data(), heights ? z.data() : nullptr, epoch.data(), nullptr},
        ResultArrays{rx.data(), ry.data(), heights ? rz.data() : nullptr, rzone.data(),
                     rstatus.data()});
    int converted = 0;
    for (std::size_t i = 0; i < n; ++i) {
      SCOPED_TRACE(i);
      ASSERT_EQ(status[i], rstatus[i]);
      ASSERT_EQ(zone[i], rzone[i]);
      if (status[i] != NUVEX_POINT_CONVERTED) {
        ASSERT_TRUE(std::isnan(xOut[i]) && std::isnan(yOut[i]));
        continue;
      }
      ++converted;
      ASSERT_EQ(xOut[i], rx[i]);
      ASSERT_EQ(yOut[i], ry[i]);
      if (heights) {
        ASSERT_EQ(zOut[i], rz[i]);
      }
    }
    EXPECT_GT(converted, 1000);
    EXPECT_LT(converted, static_cast<int>(n));
  }
}

}  // namespace
}  // namespace nuvex
