// System 5 (ITRF2020 at an epoch) against PROJ's results (itrf2020_etrs89.txt, itrf2020_chain.txt;
// made by cct, see tests/generators/itrf2020) on every kernel path, with the epoch given per call
// and per point; which epochs mark a point and which the constructor refuses; conversions within
// system 5, which need none; and the names that carry an epoch.
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
#include <vector>

#include "engine/batch.h"
#include "nuvex/systems.h"
#include "nuvex/transform.h"
#include "support/case_file.h"
#include "support/point_results.h"

namespace nuvex {
namespace {

using engine::KernelPath;

constexpr double kTolerance = 1e-4;  // m: 0.1 mm of PROJ, in position and in height
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

constexpr double kThisWinter = 2026.9;  // the epoch of the checks that need just one

DatumChoice officialAt(double epoch) {
  return DatumChoice{DatumShift::Official, "", epoch};
}

const CoordinateSystem kE1{CoordinateType::Grid, 1}, kE3{CoordinateType::Grid, 3},
    kG3{CoordinateType::Geographic, 3}, kG4{CoordinateType::Geographic, 4},
    kE5{CoordinateType::Grid, 5}, kG5{CoordinateType::Geographic, 5},
    kG2{CoordinateType::Geographic, 2};

std::string lowerCase(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text;
}

// The message names each of the words (in any letter case).
void expectNaming(const std::string& message, std::initializer_list<std::string> words,
                  const std::string& what) {
  ASSERT_NE(message, "") << what << " accepted";
  for (const std::string& word : words) {
    EXPECT_NE(lowerCase(message).find(lowerCase(word)), std::string::npos)
        << what << ": '" << word << "' not in '" << message << "'";
  }
}

// ---- Case files --------------------------------------------------------------------------------

// One side of a case line: "E:5" (grid of system 5, no heights), "G:5+h" (geographic, ellipsoidal
// heights converted with the point).
struct Side {
  CoordinateSystem system;
  HeightKind height;
};

Side sideOf(const std::string& code) {
  const std::optional<CoordinateSystem> system = parseCoordinateSystem(code.substr(0, 3));
  const bool heights = code.size() == 5 && code.substr(3) == "+h";
  if (!system || (code.size() != 3 && !heights)) {
    throw std::runtime_error("no side of an ITRF2020 case: " + code);
  }
  return {*system, heights ? HeightKind::Ellipsoidal : HeightKind::None};
}

Transformer itrfTransformer(const std::string& from, const std::string& to, int zone,
                            double epoch = kNaN) {
  const Side source = sideOf(from), target = sideOf(to);
  return Transformer(source.system, target.system, ZoneChoice{3, zone == 0, zone},
                     officialAt(epoch), HeightChoice{source.height, target.height, ""});
}

struct Points {
  std::vector<double> x, y, z;  // z empty: no heights
  std::vector<double> epoch;
  std::vector<int> zone;  // empty: grid input carries its zone
};

using Results = testing::PointResults;

enum class Epochs { OfTheCall, PerPoint };

// Converts the points in batches of `batch` through the general transform, the epochs from the
// Transformer or from the points.
Results run(const Transformer& t, const Points& in, Epochs epochs, std::size_t batch = 0) {
  const std::size_t n = in.x.size();
  const bool heights = !in.z.empty();
  Results out{std::vector<double>(n), std::vector<double>(n), std::vector<double>(heights ? n : 0),
              std::vector<int>(n, -99), std::vector<int>(n, -99)};
  if (batch == 0) batch = std::max<std::size_t>(n, 1);
  for (std::size_t at = 0; at < n; at += batch) {
    const PointArrays points{&in.x[at], &in.y[at], heights ? &in.z[at] : nullptr,
                             epochs == Epochs::PerPoint ? &in.epoch[at] : nullptr,
                             in.zone.empty() ? nullptr : &in.zone[at]};
    const ResultArrays results{&out.x[at], &out.y[at], heights ? &out.z[at] : nullptr,
                               &out.zone[at], &out.status[at]};
    out.converted += t.transform(std::min(batch, n - at), points, results);
  }
  return out;
}

// The cases of a file that share their systems, output zone and (where grouped by it) epoch.
struct Group {
  std::vector<testing::TestCase> cases;
  Points points;
};

using GroupKey = std::tuple<std::string, std::string, int, std::string>;  // epoch "": mixed

std::map<GroupKey, Group> groupsOf(const std::string& file, Epochs epochs) {
  std::map<GroupKey, Group> groups;
  for (const testing::TestCase& c : testing::readCases(file)) {
    const std::string epoch = epochs == Epochs::OfTheCall ? c.fields.at(3) : "";
    Group& g = groups[{c.fields.at(0), c.fields.at(1), c.integer(2), epoch}];
    g.cases.push_back(c);
    g.points.x.push_back(c.number(4));
    g.points.y.push_back(c.number(5));
    if (c.fields.at(6) != "-") g.points.z.push_back(c.number(6));
    g.points.epoch.push_back(c.number(3));
  }
  return groups;
}

const char* const kCaseFiles[] = {"itrf2020_etrs89.txt", "itrf2020_chain.txt"};

// What a point PROJ refuses may be marked with: outside BeTA2007 or EPSG:1775's area of use.
const std::set<RangeProblem> kRefusals = {RangeProblem::OutsideGrid,
                                          RangeProblem::OutsideOfficialArea};

struct Deviations {
  double position = 0.0, height = 0.0;
};

// Checks a group's results against cct's, and that explain agrees with the marks.
void expectCct(const Transformer& t, const GroupKey& key, const Group& group, const Results& r,
               Epochs epochs, Deviations& worst) {
  const auto& [from, to, zone, epoch] = key;
  const bool gridOutput = sideOf(to).system.type == CoordinateType::Grid;
  const bool heights = !group.points.z.empty();
  std::size_t expectedConverted = 0;
  for (std::size_t i = 0; i < group.cases.size(); ++i) {
    const testing::TestCase& c = group.cases[i];
    SCOPED_TRACE(c.where());
    const double z = heights ? c.number(6) : 0.0;
    const RangeProblem why = epochs == Epochs::PerPoint
                                 ? t.explain(c.number(4), c.number(5), z, c.number(3), 0)
                                 : t.explain(c.number(4), c.number(5), z, 0);
    if (c.fields.at(7) == "none") {
      EXPECT_EQ(r.status[i], kPointWithoutPath);
      EXPECT_TRUE(std::isnan(r.x[i]) && std::isnan(r.y[i]));
      EXPECT_TRUE(kRefusals.count(why)) << "marked " << rangeProblemName(why);
      continue;
    }
    ++expectedConverted;
    EXPECT_EQ(why, RangeProblem::None) << rangeProblemName(why);
    EXPECT_EQ(r.status[i], kPointConverted);
    if (r.status[i] != kPointConverted) continue;
    if (gridOutput) {
      EXPECT_EQ(r.zone[i], zone);
    }
    const double position =
        testing::horizontalDeviation(gridOutput, r.x[i], r.y[i], c.number(7), c.number(8));
    EXPECT_LE(position, kTolerance) << r.x[i] << " " << r.y[i];
    worst.position = std::max(worst.position, position);
    if (!heights) continue;
    const double height = std::fabs(r.z[i] - c.number(9));
    EXPECT_LE(height, kTolerance) << r.z[i];
    worst.height = std::max(worst.height, height);
  }
  EXPECT_EQ(r.converted, expectedConverted) << from << " -> " << to << " at " << epoch;
}

class ItrfPath : public ::testing::TestWithParam<KernelPath> {
 protected:
  void SetUp() override {
    if (!engine::kernelPathAvailable(GetParam())) GTEST_SKIP() << "path not available here";
    engine::setKernelPathForTesting(GetParam());
  }
  void TearDown() override { engine::setKernelPathForTesting(engine::fastestKernelPath()); }
};

TEST_P(ItrfPath, MatchesCctWithTheEpochOfTheCall) {
  Deviations worst;
  for (const char* file : kCaseFiles) {
    for (const auto& [key, group] : groupsOf(file, Epochs::OfTheCall)) {
      const auto& [from, to, zone, epoch] = key;
      const Transformer t = itrfTransformer(from, to, zone, std::stod(epoch));
      expectCct(t, key, group, run(t, group.points, Epochs::OfTheCall), Epochs::OfTheCall, worst);
    }
  }
  std::printf("  largest deviation from cct: %.3g m in position, %.3g m in height\n",
              worst.position, worst.height);
}

// One call converts points of several epochs, each at its own; an epoch of the call does not
// overrule the points'.
TEST_P(ItrfPath, MatchesCctWithAnEpochPerPoint) {
  Deviations worst;
  for (const char* file : kCaseFiles) {
    for (const auto& [key, group] : groupsOf(file, Epochs::PerPoint)) {
      const auto& [from, to, zone, epoch] = key;
      const std::set<double> epochs(group.points.epoch.begin(), group.points.epoch.end());
      EXPECT_GE(epochs.size(), from == "G:5" && to == "E:1" ? 1u : 2u) << from << " -> " << to;
      for (const double ofTheCall : {kNaN, 1995.0}) {
        SCOPED_TRACE(from + " -> " + to + ", epoch of the call " + std::to_string(ofTheCall));
        const Transformer t = itrfTransformer(from, to, zone, ofTheCall);
        expectCct(t, key, group, run(t, group.points, Epochs::PerPoint), Epochs::PerPoint, worst);
      }
    }
  }
  std::printf("  largest deviation from cct: %.3g m in position, %.3g m in height\n",
              worst.position, worst.height);
}

// A batch gives every point what it gets alone or in any other batch, whether the batch fills a
// vector block of eight, leaves a rest or is shorter than a block; epochs mixed in every block.
TEST_P(ItrfPath, BatchSizesGiveTheSameResults) {
  constexpr std::size_t kPoints = 60;
  for (const char* file : kCaseFiles) {
    for (const auto& [key, group] : groupsOf(file, Epochs::PerPoint)) {
      const auto& [from, to, zone, epoch] = key;
      const Transformer t = itrfTransformer(from, to, zone);
      Points in;
      for (std::size_t i = 0; i < kPoints; ++i) {
        const std::size_t k = (i * 7) % group.cases.size();
        in.x.push_back(group.points.x[k]);
        in.y.push_back(group.points.y[k]);
        if (!group.points.z.empty()) in.z.push_back(group.points.z[k]);
        in.epoch.push_back(1990.0 + static_cast<double>((i * 37) % 111));
      }
      in.epoch[13] = kNaN;
      const Results whole = run(t, in, Epochs::PerPoint);
      for (const std::size_t batch : {1, 7, 8, 9}) {
        testing::expectSameButRounding(
            run(t, in, Epochs::PerPoint, batch), whole,
            from + " -> " + to + " in batches of " + std::to_string(batch));
      }
    }
  }
}

// ---- Epochs that mark a point ------------------------------------------------------------------

// A route and a point it converts at every acceptable epoch.
struct EpochRoute {
  const char* from;
  const char* to;
  int zone;
  double x, y, z;  // z: NaN where the route converts no heights
};

const EpochRoute kEpochRoutes[] = {
    {"G:5", "G:3", 0, 10.0, 50.0, kNaN},
    {"G:3", "E:5", 32, 10.0, 50.0, kNaN},
    {"E:5", "E:1", 3, 32595816.3975, 5601416.9776, kNaN},
    {"E:5", "E:4", 5, 33378925.0, 5800000.0, kNaN},
    {"G:5+h", "G:3+h", 0, 11.5, 48.4, 2305.432},
};

// NaN, infinite and epochs beyond 1990..2100 mark their points EpochOutOfRange (a NaN epoch of a
// point too where the call has one); the years at the ends are converted; a marked point leaves
// the others of its batch (its vector block included) as they are without it.
TEST_P(ItrfPath, MarksEpochsOutOfRangeAndLeavesTheirNeighboursAlone) {
  const std::vector<double> epochs = {2026.9, kNaN,   2020.5, 1989.9, 2100.1, kInf,  -kInf,
                                      1990.0, 2100.0, 2035.0, 0.0,    1e300,  2015.0};
  const std::set<std::size_t> outOfRange = {1, 3, 4, 5, 6, 10, 11};
  for (const EpochRoute& route : kEpochRoutes) {
    for (const double ofTheCall : {kNaN, kThisWinter}) {
      SCOPED_TRACE(std::string(route.from) + " -> " + route.to + ", epoch of the call " +
                   std::to_string(ofTheCall));
      const Transformer t = itrfTransformer(route.from, route.to, route.zone, ofTheCall);
      const bool heights = !std::isnan(route.z);
      Points in{std::vector<double>(epochs.size(), route.x),
                std::vector<double>(epochs.size(), route.y),
                std::vector<double>(heights ? epochs.size() : 0, route.z),
                epochs,
                {}};
      const Results r = run(t, in, Epochs::PerPoint);
      EXPECT_EQ(r.converted, epochs.size() - outOfRange.size());
      Points clean = in;
      for (const std::size_t i : outOfRange) clean.epoch[i] = kThisWinter;
      const Results reference = run(t, clean, Epochs::PerPoint);
      for (std::size_t i = 0; i < epochs.size(); ++i) {
        SCOPED_TRACE("point " + std::to_string(i) + ", epoch " + std::to_string(epochs[i]));
        if (outOfRange.count(i)) {
          EXPECT_EQ(r.status[i], kPointWithoutPath);
          EXPECT_TRUE(std::isnan(r.x[i]) && std::isnan(r.y[i]));
          if (heights) {
            EXPECT_TRUE(std::isnan(r.z[i]));
          }
          EXPECT_EQ(r.zone[i], 0);
          // explain takes the point's epoch as the per-point array gives it, NaN too.
          EXPECT_EQ(t.explain(route.x, route.y, route.z, epochs[i], 0),
                    RangeProblem::EpochOutOfRange);
          continue;
        }
        EXPECT_EQ(t.explain(route.x, route.y, route.z, epochs[i], 0), RangeProblem::None);
        ASSERT_EQ(r.status[i], kPointConverted);
        EXPECT_TRUE(testing::sameButRounding(r.x[i], reference.x[i]) &&
                    testing::sameButRounding(r.y[i], reference.y[i]) &&
                    (!heights || testing::sameButRounding(r.z[i], reference.z[i])));
        EXPECT_EQ(r.zone[i], reference.zone[i]);
      }
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Paths, ItrfPath, ::testing::Values(KernelPath::Scalar, KernelPath::Vector),
                         [](const ::testing::TestParamInfo<KernelPath>& info) {
                           return info.param == KernelPath::Scalar ? "Scalar" : "Vector";
                         });

// The years at the ends are taken as the epoch of a call too, and give what a point of that
// epoch gets.
TEST(ItrfEpoch, TheEndsOfTheRangeServeAsEpochOfTheCall) {
  for (const double epoch : {kEarliestEpoch, kLatestEpoch}) {
    const Transformer ofTheCall(kG5, kG3, {}, officialAt(epoch));
    const Transformer perPoint(kG5, kG3, {}, officialAt(kNaN));
    const Points in{{10.0, 13.4}, {50.0, 52.5}, {}, {epoch, epoch}, {}};
    testing::expectSameButRounding(run(ofTheCall, in, Epochs::OfTheCall),
                                   run(perPoint, in, Epochs::PerPoint),
                                   "epoch " + std::to_string(epoch));
  }
}

// ---- Epochs missing or refused -----------------------------------------------------------------

std::string refusalOfTransform(const Transformer& t, bool heights) {
  double x = 10.0, y = 50.0, z = 100.0, out[3] = {};
  try {
    t.transform(1, PointArrays{&x, &y, heights ? &z : nullptr, nullptr, nullptr},
                ResultArrays{&out[0], &out[1], heights ? &out[2] : nullptr, nullptr, nullptr});
  } catch (const std::invalid_argument& e) {
    return *e.what() == '\0' ? "(empty message)" : e.what();
  }
  return "";
}

// A conversion between system 5 and another system without an epoch would be off by decimetres
// without a word: transform and explain refuse it, naming the epoch.
TEST(ItrfEpoch, ForgottenEpochIsRefusedNamingIt) {
  struct Route {
    CoordinateSystem from, to;
    HeightKind height;
  };
  for (const auto& [from, to, height] :
       {Route{kG5, kG3, HeightKind::None}, Route{kG3, kG5, HeightKind::None},
        Route{kE5, kE1, HeightKind::None}, Route{kG4, kE5, HeightKind::None},
        Route{kG5, kG3, HeightKind::Ellipsoidal}}) {
    SCOPED_TRACE(std::to_string(from.system) + " -> " + std::to_string(to.system));
    const Transformer t(from, to, ZoneChoice{3, false, from.system == 5 ? 3 : 32}, officialAt(kNaN),
                        HeightChoice{height, height, ""});
    const bool heights = height != HeightKind::None;
    expectNaming(refusalOfTransform(t, heights), {"epoch"}, "no epoch");
    EXPECT_THROW(t.explain(10.0, 50.0, 100.0, 0), std::invalid_argument);
    // With its own epoch the point needs none of the call's; NaN is no epoch (the grid input
    // here is no point of its system, which is said first).
    if (from.type == CoordinateType::Geographic) {
      EXPECT_EQ(t.explain(10.0, 50.0, 100.0, kNaN, 0), RangeProblem::EpochOutOfRange);
    }
    if (!heights) {
      double x = 10.0, y = 50.0, out[2] = {};
      EXPECT_THROW(t.transform(1, &x, &y, nullptr, &out[0], &out[1], nullptr, nullptr),
                   std::invalid_argument);
      EXPECT_THROW(t.explain(10.0, 50.0, 0), std::invalid_argument);
    }
  }
}

std::string refusalOf(CoordinateSystem from, CoordinateSystem to, const DatumChoice& datum) {
  try {
    const Transformer t(from, to, {}, datum);
  } catch (const std::invalid_argument& e) {
    return *e.what() == '\0' ? "(empty message)" : e.what();
  }
  return "";
}

// System 5 is joined to the others only by the official transformations; an epoch of the call
// outside 1990..2100 is refused at once rather than marking every point.
TEST(ItrfEpoch, ConstructorRefusesWhatCannotServe) {
  for (const auto& [from, to] :
       {std::pair{kG5, kG3}, {kG3, kG5}, {kE5, kE5}, {kG5, kG5}, {kE5, kE1}}) {
    expectNaming(refusalOf(from, to, DatumChoice{}), {"official"}, "the polynomial mode");
  }
  for (const double epoch : {1989.0, 2101.0, 1989.999, kInf, -kInf}) {
    expectNaming(refusalOf(kG5, kG3, officialAt(epoch)), {"epoch"},
                 "epoch " + std::to_string(epoch));
  }
  expectNaming(refusalOf(kG5, kG2, officialAt(kThisWinter)), {"system 2"}, "system 2");
  for (const double epoch : {kEarliestEpoch, kLatestEpoch, kThisWinter, kNaN}) {
    EXPECT_EQ(refusalOf(kG5, kG3, officialAt(epoch)), "") << epoch;
    EXPECT_EQ(refusalOf(kE1, kE5, officialAt(epoch)), "") << epoch;
  }
}

// ---- Within system 5 ---------------------------------------------------------------------------

// A lattice around the globe, every UTM zone's central meridian and beyond, and the vector
// blocks' rest.
Points globalLattice() {
  Points p;
  for (double lon = -177.0; lon <= 177.0; lon += 6.5) {
    for (const double lat : {-60.0, -10.5, 0.0, 30.25, 52.1, 71.0}) {
      p.x.push_back(lon);
      p.y.push_back(lat);
      p.epoch.push_back(kNaN);
    }
  }
  return p;
}

// Within system 5 no epoch is needed, nor looked at where given: geographic points come back as
// given, and its UTM is system 3's in the official mode (GRS80, every zone).
TEST(ItrfSameSystem, NeedsNoEpochAndProjectsAsSystem3) {
  const Points lattice = globalLattice();
  for (const KernelPath path : {KernelPath::Scalar, KernelPath::Vector}) {
    if (!engine::kernelPathAvailable(path)) continue;
    engine::setKernelPathForTesting(path);
    const Transformer same(kG5, kG5, {}, officialAt(kNaN));
    for (const Epochs epochs : {Epochs::OfTheCall, Epochs::PerPoint}) {
      const Results r = run(same, lattice, epochs);
      EXPECT_EQ(r.converted, lattice.x.size());
      for (std::size_t i = 0; i < lattice.x.size(); ++i) {
        EXPECT_TRUE(testing::sameBits(r.x[i], lattice.x[i]) &&
                    testing::sameBits(r.y[i], lattice.y[i]))
            << i;
      }
    }
    const Results utm = run(Transformer(kG5, kE5, {}, officialAt(kNaN)), lattice, Epochs::PerPoint);
    const Results utm3 =
        run(Transformer(kG3, kE3, {}, officialAt(kNaN)), lattice, Epochs::OfTheCall);
    testing::expectSameButRounding(utm, utm3, "G:5 -> E:5 as G:3 -> E:3");
    const Points grid{utm.x, utm.y, {}, lattice.epoch, utm.zone};
    testing::expectSameButRounding(
        run(Transformer(kE5, kG5, {}, officialAt(kNaN)), grid, Epochs::PerPoint),
        run(Transformer(kE3, kG3, {}, officialAt(kNaN)), grid, Epochs::OfTheCall),
        "E:5 -> G:5 as E:3 -> G:3");
    engine::setKernelPathForTesting(engine::fastestKernelPath());
  }
}

// ---- The size of the shift ---------------------------------------------------------------------

// Metres from (lon, lat) to (toLon, toLat) on GRS80 by the radii of curvature at the point: far
// below a millimetre off for a shift of a metre.
double shiftMetres(double lon, double lat, double toLon, double toLat) {
  constexpr double kA = 6378137.0, kF = 1 / 298.257222101;
  constexpr double kE2 = kF * (2 - kF), kRadians = std::numbers::pi / 180;
  const double w = std::sqrt(1 - kE2 * std::pow(std::sin(lat * kRadians), 2));
  const double meridian = kA * (1 - kE2) / (w * w * w), prime = kA / w;
  return std::hypot((toLon - lon) * kRadians * prime * std::cos(lat * kRadians),
                    (toLat - lat) * kRadians * meridian);
}

// At 2026.9 ITRF2020 lies 0.937 m from ETRS89 in Hamburg and 0.987 m in Munich (cct, see
// tests/generators/itrf2020); the shift grows with the years as Europe drifts north-east.
TEST(ItrfShift, HamburgAndMunichAtTheEndOf2026) {
  const Transformer t(kG5, kG3, {}, officialAt(kThisWinter));
  const Points cities{{9.993, 11.576}, {53.551, 48.137}, {}, {}, {}};
  const Results r = run(t, cities, Epochs::OfTheCall);
  ASSERT_EQ(r.converted, 2u);
  EXPECT_NEAR(shiftMetres(cities.x[0], cities.y[0], r.x[0], r.y[0]), 0.9372, 5e-4);
  EXPECT_NEAR(shiftMetres(cities.x[1], cities.y[1], r.x[1], r.y[1]), 0.9872, 5e-4);
}

// ---- Names that carry an epoch -----------------------------------------------------------------

TEST(ItrfEpochNames, ParseEpochReadsDecimalYearsAndDates) {
  EXPECT_EQ(parseEpoch("2026.9"), 2026.9);
  EXPECT_EQ(parseEpoch("2026"), 2026.0);
  EXPECT_EQ(parseEpoch("2026-12-07"), 2026.0 + 340.0 / 365.0);
  EXPECT_EQ(parseEpoch("2024-12-31"), 2024.0 + 365.0 / 366.0);  // a leap year
  EXPECT_EQ(parseEpoch("2026-01-01"), 2026.0);
  for (const char* text :
       {"", ".", "x", "2026.9.1", "+2026", "-2026", "2026e0", " 2026", "2026 ", "2026-13-01",
        "2026-02-29", "2026-00-10", "2026-1-07", "26-12-07", "2026/12/07", "2026-12-07T00"}) {
    EXPECT_FALSE(parseEpoch(text).has_value()) << "'" << text << "'";
  }
  // Digits beyond any year are refused, not overflowed.
  EXPECT_FALSE(parseEpoch(std::string(400, '9')).has_value());
  EXPECT_FALSE(parseEpoch(std::string(65, '2')).has_value());
  EXPECT_TRUE(isAcceptableEpoch(kEarliestEpoch) && isAcceptableEpoch(kLatestEpoch));
  for (const double epoch : {1989.999, 2100.001, kNaN, kInf}) {
    EXPECT_FALSE(isAcceptableEpoch(epoch)) << epoch;
  }
}

TEST(ItrfEpochNames, EpsgCodesOfSystem5CarryTheirEpoch) {
  struct Named {
    const char* text;
    HeightKind height;
    std::optional<double> epoch;
  };
  for (const auto& [text, height, epoch] :
       {Named{"EPSG:9990@2026.9", HeightKind::None, 2026.9},
        Named{"EPSG:9989@2026.9", HeightKind::Ellipsoidal, 2026.9},
        Named{"EPSG:10606@2030", HeightKind::None, 2030.0},
        Named{"EPSG:10605@1990.0", HeightKind::Ellipsoidal, 1990.0},
        Named{"EPSG:9990@2026-12-07", HeightKind::None, 2026.0 + 340.0 / 365.0},
        Named{"EPSG:9990", HeightKind::None, std::nullopt},
        Named{"EPSG:10605", HeightKind::Ellipsoidal, std::nullopt}}) {
    SCOPED_TRACE(text);
    const NamedSystem named = parseSystemName(text, "source");
    EXPECT_EQ(named.system.type, CoordinateType::Geographic);
    EXPECT_EQ(named.system.system, kItrf2020System);
    EXPECT_EQ(named.height, height);
    EXPECT_EQ(named.epoch, epoch);
    EXPECT_FALSE(named.zone.has_value());
  }
}

TEST(ItrfEpochNames, MalformedEpochsAreRefusedNamingTheEpoch) {
  for (const char* text :
       {"EPSG:9990@", "EPSG:9990@x", "EPSG:9990@2026.9.1", "EPSG:9990@1989.9", "EPSG:9990@2100.1",
        "EPSG:9990@-2026", "EPSG:9990@2026-13-01", "EPSG:9990@2026-02-30", "EPSG:9990@ 2026.9",
        "EPSG:9990@2026.9@2027", "EPSG:9990@@2026.9"}) {
    std::string message;
    try {
      parseSystemName(text, "source");
    } catch (const std::invalid_argument& e) {
      message = e.what();
    }
    expectNaming(message, {"epoch"}, text);
  }
}

// DHHN2016 heights go with Germany's systems; the global frame's heights are ellipsoidal.
TEST(ItrfEpochNames, NoDhhn2016HeightsOnTheGlobalFrame) {
  std::string message;
  try {
    parseSystemName("EPSG:9990+7837", "source");
  } catch (const std::invalid_argument& e) {
    message = e.what();
  }
  expectNaming(message, {"DHHN2016", "system 5"}, "EPSG:9990+7837");
}

}  // namespace
}  // namespace nuvex
