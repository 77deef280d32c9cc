// Heights in the official mode against PROJ's results (heights_geoid.txt, heights_chain.txt,
// heights_helmert3d.txt; made by cct, see tests/generators/heights) on every kernel path; what the
// constructor refuses; which points are marked and that they leave their neighbours alone; and
// that heights carried along or kept change nothing else.
#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cctype>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <initializer_list>
#include <limits>
#include <map>
#include <numbers>
#include <optional>
#include <set>
#include <stdexcept>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "engine/batch.h"
#include "engine/geotiff_grid.h"
#include "nuvex/transform.h"
#include "support/case_file.h"
#include "support/point_results.h"

namespace nuvex {
namespace {

using engine::KernelPath;

constexpr double kTolerance = 1e-4;  // m: 0.1 mm of PROJ, in position and in height
// Between two conversions that should agree up to rounding (the vector path's own tolerance).
constexpr double kMetreAgreement = 1e-6;
constexpr double kDegreeAgreement = 1e-11;
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

const DatumChoice kOfficial{DatumShift::Official, ""};

std::string sourcePath(const std::string& relative) {
  return std::string(NUVEX_TEST_DATA_DIR) + "/../../" + relative;
}

// ---- Case files --------------------------------------------------------------------------------

// One side of a case line: "E:1+N" (grid of system 1, DHHN2016 normal height), "G:4+h"
// (geographic of system 4, ellipsoidal height).
struct Side {
  CoordinateSystem system;
  HeightKind height;
};

Side sideOf(const std::string& code) {
  const std::optional<CoordinateSystem> system = parseCoordinateSystem(code.substr(0, 3));
  if (!system || code.size() != 5 || code[3] != '+' || (code[4] != 'h' && code[4] != 'N')) {
    throw std::runtime_error("no side of a height case: " + code);
  }
  return {*system, code[4] == 'h' ? HeightKind::Ellipsoidal : HeightKind::Normal};
}

Transformer heightTransformer(const std::string& from, const std::string& to, int zone,
                              const std::string& geoid = "") {
  const Side source = sideOf(from), target = sideOf(to);
  return Transformer(source.system, target.system, ZoneChoice{3, zone == 0, zone}, kOfficial,
                     HeightChoice{source.height, target.height, geoid});
}

// The same conversion without heights.
Transformer horizontalTransformer(const std::string& from, const std::string& to, int zone) {
  return Transformer(sideOf(from).system, sideOf(to).system, ZoneChoice{3, zone == 0, zone},
                     kOfficial);
}

struct Points {
  std::vector<double> x, y, z;
};

using Results = testing::PointResults;

// Converts the points in batches of `batch` (no zone array: grid input carries its zone).
Results run(const Transformer& t, const Points& in, std::size_t batch = 0) {
  const std::size_t n = in.x.size();
  Results out{std::vector<double>(n), std::vector<double>(n), std::vector<double>(n),
              std::vector<int>(n, -99), std::vector<int>(n, -99)};
  if (batch == 0) batch = std::max<std::size_t>(n, 1);
  for (std::size_t at = 0; at < n; at += batch) {
    const std::size_t count = std::min(batch, n - at);
    out.converted += t.transform(count, &in.x[at], &in.y[at], &in.z[at], nullptr, &out.x[at],
                                 &out.y[at], &out.z[at], &out.zone[at], &out.status[at]);
  }
  return out;
}

Results runWithoutHeights(const Transformer& t, const Points& in) {
  const std::size_t n = in.x.size();
  Results out{std::vector<double>(n),
              std::vector<double>(n),
              {},
              std::vector<int>(n, -99),
              std::vector<int>(n, -99)};
  out.converted = t.transform(n, in.x.data(), in.y.data(), nullptr, out.x.data(), out.y.data(),
                              out.zone.data(), out.status.data());
  return out;
}

// The cases of a file that share their systems, heights and output zone: one conversion.
struct Group {
  std::vector<testing::TestCase> cases;
  Points points;
};

using GroupKey = std::tuple<std::string, std::string, int>;  // from, to, output zone

std::map<GroupKey, Group> groupsOf(const std::string& file) {
  std::map<GroupKey, Group> groups;
  for (const testing::TestCase& c : testing::readCases(file)) {
    Group& g = groups[{c.fields.at(0), c.fields.at(1), c.integer(2)}];
    g.cases.push_back(c);
    g.points.x.push_back(c.number(3));
    g.points.y.push_back(c.number(4));
    g.points.z.push_back(c.number(5));
  }
  return groups;
}

// Each file with the reasons a point PROJ refuses may be marked with: the quasigeoid's, and on
// the longer routes also the horizontal grid's or EPSG:1775's.
struct CaseFile {
  const char* name;
  std::set<RangeProblem> refusals;
};

const CaseFile kCaseFiles[] = {
    {"heights_geoid.txt", {RangeProblem::OutsideGeoid}},
    {"heights_chain.txt", {RangeProblem::OutsideGeoid, RangeProblem::OutsideGrid}},
    {"heights_helmert3d.txt",
     {RangeProblem::OutsideGeoid, RangeProblem::OutsideGrid, RangeProblem::OutsideOfficialArea}}};

class HeightPath : public ::testing::TestWithParam<KernelPath> {
 protected:
  void SetUp() override {
    if (!engine::geoTiffGridsSupported()) GTEST_SKIP() << "built without the quasigeoid";
    if (!engine::kernelPathAvailable(GetParam())) GTEST_SKIP() << "path not available here";
    engine::setKernelPathForTesting(GetParam());
  }
  void TearDown() override { engine::setKernelPathForTesting(engine::fastestKernelPath()); }
};

TEST_P(HeightPath, MatchesProjOnEveryRouteAndMarksWhatProjRefuses) {
  double worstPosition = 0.0, worstHeight = 0.0;
  for (const CaseFile& file : kCaseFiles) {
    for (const auto& [key, group] : groupsOf(file.name)) {
      const auto& [from, to, zone] = key;
      const Transformer t = heightTransformer(from, to, zone);
      const bool gridOutput = sideOf(to).system.type == CoordinateType::Grid;
      const Results r = run(t, group.points);
      std::size_t expectedConverted = 0;
      for (std::size_t i = 0; i < group.cases.size(); ++i) {
        const testing::TestCase& c = group.cases[i];
        SCOPED_TRACE(c.where());
        const RangeProblem why = t.explain(c.number(3), c.number(4), c.number(5), 0);
        if (c.fields.at(6) == "none") {
          EXPECT_EQ(r.status[i], kPointWithoutPath);
          EXPECT_TRUE(std::isnan(r.x[i]) && std::isnan(r.y[i]) && std::isnan(r.z[i]));
          EXPECT_TRUE(file.refusals.count(why)) << "marked " << rangeProblemName(why);
          continue;
        }
        ++expectedConverted;
        EXPECT_EQ(why, RangeProblem::None) << rangeProblemName(why);
        EXPECT_EQ(r.status[i], kPointConverted);
        if (r.status[i] != kPointConverted) continue;
        const double position =
            testing::horizontalDeviation(gridOutput, r.x[i], r.y[i], c.number(6), c.number(7));
        const double height = std::fabs(r.z[i] - c.number(8));
        EXPECT_LE(position, kTolerance) << r.x[i] << " " << r.y[i];
        EXPECT_LE(height, kTolerance) << r.z[i];
        worstPosition = std::max(worstPosition, position);
        worstHeight = std::max(worstHeight, height);
      }
      EXPECT_EQ(r.converted, expectedConverted) << from << " -> " << to;
    }
  }
  std::printf("  largest deviation from cct: %.3g m in position, %.3g m in height\n", worstPosition,
              worstHeight);
}

// A batch gives every point what it gets alone or in any other batch, whether the batch fills the
// vector path's blocks of eight, leaves a rest or is shorter than a block; refused points (a
// height out of range among them) included.
TEST_P(HeightPath, BatchSizesGiveTheSameResults) {
  constexpr std::size_t kPoints = 100;
  for (const CaseFile& file : kCaseFiles) {
    for (const auto& [key, group] : groupsOf(file.name)) {
      const auto& [from, to, zone] = key;
      const Transformer t = heightTransformer(from, to, zone);
      Points in;
      for (std::size_t i = 0; i < kPoints; ++i) {
        const std::size_t k = (i * 7) % group.cases.size();
        in.x.push_back(group.points.x[k]);
        in.y.push_back(group.points.y[k]);
        in.z.push_back(group.points.z[k] + 0.37 * static_cast<double>(i % 5));
      }
      in.z[13] = kNaN;
      in.z[57] = 2e4;
      const Results whole = run(t, in);
      for (const std::size_t batch : {1, 7, 8, 9}) {
        testing::expectSameButRounding(
            run(t, in, batch), whole,
            from + " -> " + to + " in batches of " + std::to_string(batch));
      }
    }
  }
}

// ---- Which points are marked -------------------------------------------------------------------

// A route, a point it converts and one it refuses (in the same system), and why.
struct RefusalRoute {
  const char* from;
  const char* to;
  int zone;
  double x, y;        // converted
  double farX, farY;  // refused
  RangeProblem farProblem;
};

const RefusalRoute kRefusalRoutes[] = {
    // Gauss-Krueger zone 3 in Hesse, and in Alsace, where GCG2016 has no value.
    {"E:1+N", "E:3+h", 32, 3461899.7793, 5499897.3963, 3352218.78, 5375408.6906,
     RangeProblem::OutsideGeoid},
    // Berlin's surroundings, and Hesse, outside EPSG:1775's area.
    {"G:4+h", "G:3+h", 0, 12.0, 52.0, 9.0, 51.0, RangeProblem::OutsideOfficialArea},
    {"G:1+N", "G:4+N", 0, 12.0, 52.0, 9.0, 51.0, RangeProblem::OutsideOfficialArea},
};

// Heights not finite or beyond 10 km are marked as such and 10 km itself is converted; a marked
// point leaves the others of its batch as they are without it (its lane of a vector block
// included); outputs may be the inputs.
TEST_P(HeightPath, MarksHeightsOutOfRangeAndLeavesTheirNeighboursAlone) {
  const std::vector<double> heights = {100.0,   kNaN,     250.0,   kInf,     -kInf, 1e9,
                                       10000.5, -10000.5, 10000.0, -10000.0, 300.0, 120.0};
  const std::set<std::size_t> outOfRange = {1, 3, 4, 5, 6, 7};
  const std::size_t far = heights.size() - 1;  // the refused position
  for (const RefusalRoute& route : kRefusalRoutes) {
    SCOPED_TRACE(std::string(route.from) + " -> " + route.to);
    const Transformer t = heightTransformer(route.from, route.to, route.zone);
    Points in{std::vector<double>(heights.size(), route.x),
              std::vector<double>(heights.size(), route.y), heights};
    in.x[far] = route.farX;
    in.y[far] = route.farY;
    const Results r = run(t, in);
    EXPECT_EQ(r.converted, heights.size() - outOfRange.size() - 1);
    // The same batch with every marked point replaced by one that converts.
    Points clean = in;
    for (const std::size_t i : outOfRange) clean.z[i] = 100.0;
    clean.x[far] = route.x;
    clean.y[far] = route.y;
    const Results reference = run(t, clean);
    EXPECT_EQ(reference.converted, heights.size());
    for (std::size_t i = 0; i < heights.size(); ++i) {
      SCOPED_TRACE("point " + std::to_string(i) + ", height " + std::to_string(heights[i]));
      const RangeProblem why = t.explain(in.x[i], in.y[i], in.z[i], 0);
      if (outOfRange.count(i) || i == far) {
        EXPECT_EQ(why, i == far ? route.farProblem : RangeProblem::HeightOutOfRange)
            << rangeProblemName(why);
        EXPECT_EQ(r.status[i], kPointWithoutPath);
        EXPECT_TRUE(std::isnan(r.x[i]) && std::isnan(r.y[i]) && std::isnan(r.z[i]));
        EXPECT_EQ(r.zone[i], 0);
        continue;
      }
      EXPECT_EQ(why, RangeProblem::None) << rangeProblemName(why);
      EXPECT_EQ(r.status[i], kPointConverted);
      EXPECT_TRUE(testing::sameButRounding(r.x[i], reference.x[i]) &&
                  testing::sameButRounding(r.y[i], reference.y[i]) &&
                  testing::sameButRounding(r.z[i], reference.z[i]));
      EXPECT_EQ(r.zone[i], reference.zone[i]);
    }
    // In place: the outputs are the input arrays.
    Results inPlace{in.x, in.y, in.z, std::vector<int>(heights.size()),
                    std::vector<int>(heights.size())};
    inPlace.converted = t.transform(heights.size(), inPlace.x.data(), inPlace.y.data(),
                                    inPlace.z.data(), nullptr, inPlace.x.data(), inPlace.y.data(),
                                    inPlace.z.data(), inPlace.zone.data(), inPlace.status.data());
    testing::expectSameButRounding(inPlace, r, "in place");
  }
}

INSTANTIATE_TEST_SUITE_P(Paths, HeightPath,
                         ::testing::Values(KernelPath::Scalar, KernelPath::Vector),
                         [](const ::testing::TestParamInfo<KernelPath>& info) {
                           return info.param == KernelPath::Scalar ? "Scalar" : "Vector";
                         });

class HeightsWithGeoid : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!engine::geoTiffGridsSupported()) GTEST_SKIP() << "built without the quasigeoid";
  }
};

// ---- What the constructor refuses --------------------------------------------------------------

const CoordinateSystem kE1{CoordinateType::Grid, 1}, kG1{CoordinateType::Geographic, 1},
    kE3{CoordinateType::Grid, 3}, kG3{CoordinateType::Geographic, 3}, kE4{CoordinateType::Grid, 4},
    kG4{CoordinateType::Geographic, 4};
constexpr HeightKind kNone = HeightKind::None, kEllipsoidal = HeightKind::Ellipsoidal,
                     kNormal = HeightKind::Normal;

std::string lowerCase(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text;
}

// The constructor's refusal, or "" when it takes the choice.
std::string refusalOf(CoordinateSystem from, CoordinateSystem to, const DatumChoice& datum,
                      const HeightChoice& heights) {
  try {
    const Transformer t(from, to, {}, datum, heights);
  } catch (const std::invalid_argument& e) {
    return *e.what() == '\0' ? "(empty message)" : e.what();
  }
  return "";
}

// The refusal names each of the words (in any letter case).
void expectRefusalNaming(const std::string& refusal, std::initializer_list<std::string> words,
                         const std::string& what) {
  ASSERT_NE(refusal, "") << what << " accepted";
  for (const std::string& word : words) {
    EXPECT_NE(lowerCase(refusal).find(lowerCase(word)), std::string::npos)
        << what << ": '" << word << "' not in '" << refusal << "'";
  }
}

TEST_F(HeightsWithGeoid, TakesEveryRouteWithAHeightOnBothSides) {
  for (const auto& [from, to, heights] :
       {std::tuple{kE1, kE3, HeightChoice{kNormal, kEllipsoidal, ""}},
        std::tuple{kG3, kE1, HeightChoice{kEllipsoidal, kNormal, ""}},
        std::tuple{kG4, kG3, HeightChoice{kEllipsoidal, kEllipsoidal, ""}},
        std::tuple{kE4, kE3, HeightChoice{kNormal, kEllipsoidal, ""}},
        std::tuple{kG1, kG4, HeightChoice{kNormal, kEllipsoidal, ""}},
        std::tuple{kE1, kE4, HeightChoice{kNormal, kNormal, ""}},
        std::tuple{kG3, kG3,
                   HeightChoice{kEllipsoidal, kNormal, sourcePath("data/de_bkg_gcg2016.tif")}},
        std::tuple{kG3, kG3, HeightChoice{kNone, kNone, ""}}}) {
    EXPECT_EQ(refusalOf(from, to, kOfficial, heights), "")
        << from.system << " -> " << to.system << " " << static_cast<int>(heights.from) << " "
        << static_cast<int>(heights.to);
  }
}

TEST_F(HeightsWithGeoid, RefusesWhatItCannotConvertNamingTheFault) {
  expectRefusalNaming(refusalOf(kE1, kE3, kOfficial, {kEllipsoidal, kEllipsoidal, ""}),
                      {"source", "system 1", "ellipsoidal"}, "ellipsoidal heights on system 1");
  expectRefusalNaming(refusalOf(kG3, kG1, kOfficial, {kEllipsoidal, kEllipsoidal, ""}),
                      {"target", "system 1", "ellipsoidal"}, "ellipsoidal heights on system 1");
  expectRefusalNaming(refusalOf(kE1, kE3, kOfficial, {kNormal, kNone, ""}), {"target", "height"},
                      "a height on the source only");
  expectRefusalNaming(refusalOf(kE1, kE3, kOfficial, {kNone, kEllipsoidal, ""}),
                      {"source", "height"}, "a height on the target only");
  expectRefusalNaming(refusalOf(kE1, kE3, {}, {kNormal, kEllipsoidal, ""}), {"official"},
                      "heights in the polynomial mode");
  expectRefusalNaming(refusalOf(kG1, kG3, {}, {kNormal, kNormal, ""}), {"official"},
                      "heights in the polynomial mode");
}

// A geoid file is only taken where a normal height meets an ellipsoidal one, and only when it
// is a quasigeoid that can be read; the refusals name the file.
TEST_F(HeightsWithGeoid, RefusesAGeoidFileItCannotUseNamingIt) {
  const std::string geoid = sourcePath("data/de_bkg_gcg2016.tif");
  expectRefusalNaming(refusalOf(kE1, kE4, kOfficial, {kNormal, kNormal, geoid}), {geoid},
                      "a geoid between normal heights");
  expectRefusalNaming(refusalOf(kG4, kG3, kOfficial, {kEllipsoidal, kEllipsoidal, geoid}), {geoid},
                      "a geoid between ellipsoidal heights");
  expectRefusalNaming(refusalOf(kG3, kG3, kOfficial, {kNone, kNone, geoid}), {geoid},
                      "a geoid without heights");
  const std::string missing = sourcePath("data/no_such_geoid.tif");
  expectRefusalNaming(refusalOf(kG3, kG3, kOfficial, {kEllipsoidal, kNormal, missing}), {missing},
                      "a missing geoid file");
  const std::string horizontal = sourcePath("data/de_adv_BETA2007.tif");
  expectRefusalNaming(refusalOf(kG3, kG3, kOfficial, {kEllipsoidal, kNormal, horizontal}),
                      {horizontal}, "a horizontal grid as the geoid");
}

// ---- Heights carried along or kept -------------------------------------------------------------

// Points of system 1 in zone 3: in Germany, in Alsace (no GCG2016 value), south of BeTA2007.
Points besselGridPoints() {
  Points p;
  for (const auto& [x, y] : {std::pair{3461899.7793, 5499897.3963},
                             {3581960.05, 5458768.4065},
                             {3352218.78, 5375408.6906},
                             {3500000.0, 5180000.0},
                             {3430817.1892, 5806625.9238}}) {
    p.x.push_back(x);
    p.y.push_back(y);
  }
  return p;
}

// Without heights, z comes out as it went in, to the bit and whatever the point's status (NaN,
// infinite and huge heights, points without path), and x and y as the overload without heights
// gives them.
TEST(HeightsCarried, WithoutHeightsZIsCopiedAndTheRestIsAsWithout) {
  const double payloadNaN = std::bit_cast<double>(std::uint64_t{0x7ff8000000012345});
  const std::vector<double> z = {123.456, payloadNaN, -kInf, 1e300, -0.0};
  for (const auto& [t, in] :
       {std::pair{Transformer(kE1, kE3, ZoneChoice{3, false, 32}, kOfficial), besselGridPoints()},
        std::pair{Transformer(kG1, kE3, {}, {}),
                  Points{{10.0, 13.4, 30.0, 7.0, 9.0}, {51.0, 52.5, 10.0, 50.0, 60.0}, {}}}}) {
    Points withZ = in;
    withZ.z = z;
    const Results r = run(t, withZ);
    const Results without = runWithoutHeights(t, in);
    EXPECT_EQ(r.converted, without.converted);
    for (std::size_t i = 0; i < z.size(); ++i) {
      EXPECT_TRUE(testing::sameBits(r.z[i], z[i])) << "point " << i;
      EXPECT_TRUE(testing::sameBits(r.x[i], without.x[i]) &&
                  testing::sameBits(r.y[i], without.y[i]))
          << "point " << i;
      EXPECT_EQ(r.zone[i], without.zone[i]) << "point " << i;
      EXPECT_EQ(r.status[i], without.status[i]) << "point " << i;
      EXPECT_EQ(t.explain(withZ.x[i], withZ.y[i], z[i], 0), t.explain(withZ.x[i], withZ.y[i], 0))
          << "point " << i;
    }
    std::vector<double> zInPlace = z;
    std::vector<double> x(z.size()), y(z.size());
    t.transform(z.size(), withZ.x.data(), withZ.y.data(), zInPlace.data(), nullptr, x.data(),
                y.data(), zInPlace.data(), nullptr, nullptr);
    for (std::size_t i = 0; i < z.size(); ++i)
      EXPECT_TRUE(testing::sameBits(zInPlace[i], z[i])) << i;
  }
}

// A normal height stays as it is between normal heights, on the routes through ETRS89 too; no
// quasigeoid is asked, so points where GCG2016 has no value are converted as without heights.
TEST_F(HeightsWithGeoid, NormalToNormalKeepsTheHeightAndTheHorizontal) {
  Points lattice;
  for (double lon = 9.0; lon <= 15.5; lon += 0.5) {
    for (double lat = 49.5; lat <= 55.0; lat += 0.5) {
      lattice.x.push_back(lon);
      lattice.y.push_back(lat);
      lattice.z.push_back(100.0 + lon * lat);
    }
  }
  Points bessel = besselGridPoints();
  bessel.z = {10.0, 2000.5, -3.25, 400.0, 7.0};
  for (const auto& [from, to, zone, in] :
       {std::tuple{"E:1+N", "E:3+N", 32, bessel}, std::tuple{"G:4+N", "G:1+N", 0, lattice},
        std::tuple{"G:1+N", "E:4+N", 4, lattice}, std::tuple{"G:3+N", "E:4+N", 0, lattice}}) {
    SCOPED_TRACE(std::string(from) + " -> " + to);
    const Results r = run(heightTransformer(from, to, zone), in);
    const Results without = runWithoutHeights(horizontalTransformer(from, to, zone), in);
    EXPECT_EQ(r.converted, without.converted);
    const double agreement =
        sideOf(to).system.type == CoordinateType::Grid ? kMetreAgreement : kDegreeAgreement;
    for (std::size_t i = 0; i < in.x.size(); ++i) {
      SCOPED_TRACE("point " + std::to_string(i));
      ASSERT_EQ(r.status[i], without.status[i]);
      if (r.status[i] != kPointConverted) continue;
      EXPECT_TRUE(testing::sameBits(r.z[i], in.z[i])) << r.z[i];
      EXPECT_NEAR(r.x[i], without.x[i], agreement);
      EXPECT_NEAR(r.y[i], without.y[i], agreement);
      EXPECT_EQ(r.zone[i], without.zone[i]);
    }
  }
}

// The horizontal shift of a point with a normal height is the one without heights (on system 4:
// EPSG:1775 at height 0), and an ellipsoidal ETRS89 height does not move it either; only
// ellipsoidal heights on system 4 do (EPSG:1775 in three dimensions).
TEST_F(HeightsWithGeoid, HeightsMoveNoPointButThroughEpsg1775InThreeDimensions) {
  for (const CaseFile& file : kCaseFiles) {
    for (const auto& [key, group] : groupsOf(file.name)) {
      const auto& [from, to, zone] = key;
      const bool threeDimensional =
          (sideOf(from).system.system == 4 && sideOf(from).height == HeightKind::Ellipsoidal) ||
          (sideOf(to).system.system == 4 && sideOf(to).height == HeightKind::Ellipsoidal);
      if (threeDimensional) continue;
      SCOPED_TRACE(from + " -> " + to);
      const Results r = run(heightTransformer(from, to, zone), group.points);
      const Results without =
          runWithoutHeights(horizontalTransformer(from, to, zone), group.points);
      const double agreement =
          sideOf(to).system.type == CoordinateType::Grid ? kMetreAgreement : kDegreeAgreement;
      for (std::size_t i = 0; i < group.cases.size(); ++i) {
        if (r.status[i] != kPointConverted) continue;
        SCOPED_TRACE(group.cases[i].where());
        ASSERT_EQ(without.status[i], kPointConverted);
        EXPECT_NEAR(r.x[i], without.x[i], agreement);
        EXPECT_NEAR(r.y[i], without.y[i], agreement);
        EXPECT_EQ(r.zone[i], without.zone[i]);
      }
    }
  }
}

// Within one system only the height changes: a geographic point stays as given to the bit, also
// on system 4, whose normal and ellipsoidal heights meet in ETRS89 through EPSG:1775 and back.
TEST_F(HeightsWithGeoid, WithinOneSystemThePositionStaysAsGiven) {
  for (const int system : {3, 4}) {
    for (const auto& [from, to] : {std::pair{kNormal, kEllipsoidal}, {kEllipsoidal, kNormal}}) {
      const CoordinateSystem geographic{CoordinateType::Geographic, system};
      const Transformer t(geographic, geographic, {}, kOfficial, {from, to, ""});
      Points in;
      for (int i = 0; i < 20; ++i) {  // vector blocks and the scalar rest
        in.x.push_back(10.123456789 + 0.1 * i);
        in.y.push_back(52.3456789 + 0.05 * i);
        in.z.push_back(100.0 + i);
      }
      for (const KernelPath path : {KernelPath::Scalar, KernelPath::Vector}) {
        if (!engine::kernelPathAvailable(path)) continue;
        engine::setKernelPathForTesting(path);
        const Results r = run(t, in);
        engine::setKernelPathForTesting(engine::fastestKernelPath());
        for (std::size_t i = 0; i < in.x.size(); ++i) {
          SCOPED_TRACE("system " + std::to_string(system) + ", point " + std::to_string(i));
          ASSERT_EQ(r.status[i], kPointConverted);
          EXPECT_TRUE(testing::sameBits(r.x[i], in.x[i]) && testing::sameBits(r.y[i], in.y[i]));
          // The undulation above GRS80 is some 40 m here; the Krassowsky ellipsoid, moved by
          // EPSG:1775, lies within a metre or two of the quasigeoid.
          EXPECT_GT(std::fabs(r.z[i] - in.z[i]), system == 3 ? 30.0 : 0.1);
        }
      }
    }
  }
}

// ---- The calls that do not fit the Transformer -------------------------------------------------

TEST_F(HeightsWithGeoid, CallsWithoutHeightsOrArraysAreRefused) {
  const Transformer t = heightTransformer("G:3+h", "G:3+N", 0);
  double x = 10.0, y = 50.0, z = 100.0, out[3] = {};
  EXPECT_THROW(t.transform(1, &x, &y, nullptr, &out[0], &out[1], nullptr, nullptr),
               std::invalid_argument);
  EXPECT_THROW(t.explain(x, y, 0), std::invalid_argument);
  EXPECT_THROW(
      t.transform(1, &x, &y, nullptr, nullptr, &out[0], &out[1], &out[2], nullptr, nullptr),
      std::invalid_argument);
  EXPECT_THROW(t.transform(1, &x, &y, &z, nullptr, &out[0], &out[1], nullptr, nullptr, nullptr),
               std::invalid_argument);
  EXPECT_EQ(t.transform(0, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                        nullptr),
            0u);
  EXPECT_EQ(t.transform(1, &x, &y, &z, nullptr, &out[0], &out[1], &out[2], nullptr, nullptr), 1u);
  EXPECT_NEAR(out[2], 100.0 - 47.809500694, 1e-6);  // GCG2016 at 10 deg E, 50 deg N
}

// ---- The geoid as a file -----------------------------------------------------------------------

// GCG2016 read from its file is the built-in one.
TEST_F(HeightsWithGeoid, Gcg2016FromItsFileIsTheBuiltInOne) {
  for (const auto& [key, group] : groupsOf("heights_geoid.txt")) {
    const auto& [from, to, zone] = key;
    testing::expectSameButRounding(
        run(heightTransformer(from, to, zone, sourcePath("data/de_bkg_gcg2016.tif")), group.points),
        run(heightTransformer(from, to, zone), group.points), from + " -> " + to);
  }
}

// Another quasigeoid (the synthetic pixel-is-area grid of tests/data/geotiff) gives its own
// undulations, as PROJ reads them from it (geotiff_geoid.txt).
TEST_F(HeightsWithGeoid, AnotherGeoidFileGivesItsUndulations) {
  const std::string name = "tests/data/geotiff/geoid_area.tif";
  const Transformer t = heightTransformer("G:3+N", "G:3+h", 0, sourcePath(name));
  std::size_t compared = 0;
  for (const testing::TestCase& c : testing::readCases("geotiff_geoid.txt")) {
    if (c.fields.at(0) != name) continue;
    SCOPED_TRACE(c.where());
    const Points in{{c.number(1)}, {c.number(2)}, {100.0}};
    const Results r = run(t, in);
    ++compared;
    if (c.fields.at(3) == "none") {
      EXPECT_EQ(r.status[0], kPointWithoutPath);
      EXPECT_EQ(t.explain(in.x[0], in.y[0], in.z[0], 0), RangeProblem::OutsideGeoid);
      continue;
    }
    ASSERT_EQ(r.status[0], kPointConverted);
    EXPECT_NEAR(r.z[0], 100.0 + c.number(3), 1e-6);
  }
  EXPECT_GT(compared, 50u);
}

}  // namespace
}  // namespace nuvex
