// The official datum transformations against PROJ's results (case files official_*.txt, made by
// cct; see tests/generators/official_datum), on every kernel path, and the refusals around them.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <map>
#include <numbers>
#include <stdexcept>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "engine/batch.h"
#include "engine/ntv2_grid.h"
#include "nuvex/transform.h"
#include "support/case_file.h"
#include "support/scratch_directory.h"

namespace nuvex {
namespace {

using engine::KernelPath;

constexpr double kGeographicTolerance = 1e-4;  // m: 0.1 mm of PROJ
constexpr double kGridTolerance = 1e-4;        // m: exact projection, 0.1 mm of PROJ
constexpr double kMetresPerDegree = 111320.0;  // of latitude, near enough for a tolerance

const char* const kCaseFiles[] = {
    "official_grid_forward.txt",       "official_grid_inverse.txt",
    "official_helmert_forward.txt",    "official_helmert_inverse.txt",
    "official_gk3_utm32.txt",          "official_utm32_gk3.txt",
    "official_gk4_utm33.txt",          "official_bessel_krassowsky.txt",
    "official_nested_grid.txt",        "official_strong_child.txt",
    "official_inverse_iterations.txt", "official_whole_state_zones.txt"};

std::string gridPath(const std::string& name) {
  return std::string(NUVEX_TEST_DATA_DIR) + "/ntv2/" + name;
}

CoordinateSystem systemOf(const std::string& code) {
  return {code[0] == 'E' ? CoordinateType::Grid : CoordinateType::Geographic, code[1] - '0'};
}

// One conversion of a case file: the cases that share grid, systems and zone.
struct Group {
  std::vector<testing::TestCase> cases;
  std::vector<double> x, y;
};

using GroupKey = std::tuple<std::string, std::string, std::string, int>;

std::map<GroupKey, Group> groupsOf(const char* file) {
  std::map<GroupKey, Group> groups;
  for (const testing::TestCase& c : testing::readCases(file)) {
    Group& g = groups[{c.fields.at(0), c.fields.at(1), c.fields.at(2), c.integer(3)}];
    g.cases.push_back(c);
    g.x.push_back(c.number(4));
    g.y.push_back(c.number(5));
  }
  return groups;
}

Transformer officialTransformer(const GroupKey& key) {
  const auto& [grid, from, to, zone] = key;
  return Transformer(systemOf(from), systemOf(to), ZoneChoice{3, zone == 0, zone},
                     DatumChoice{DatumShift::Official, grid == "builtin" ? "" : gridPath(grid)});
}

class OfficialPath : public ::testing::TestWithParam<KernelPath> {
 protected:
  void SetUp() override {
    if (!engine::kernelPathAvailable(GetParam())) GTEST_SKIP() << "path not available here";
    engine::setKernelPathForTesting(GetParam());
  }
  void TearDown() override { engine::setKernelPathForTesting(engine::fastestKernelPath()); }
};

TEST_P(OfficialPath, MatchesProjOnEveryRouteAndMarksPointsWithoutPath) {
  for (const char* file : kCaseFiles) {
    for (const auto& [key, group] : groupsOf(file)) {
      const Transformer t = officialTransformer(key);
      const bool gridOutput = std::get<2>(key)[0] == 'E';
      const std::size_t n = group.x.size();
      std::vector<double> x(n), y(n);
      std::vector<int> zone(n), status(n);
      t.transform(n, group.x.data(), group.y.data(), nullptr, x.data(), y.data(), zone.data(),
                  status.data());
      for (std::size_t i = 0; i < n; ++i) {
        const testing::TestCase& c = group.cases[i];
        SCOPED_TRACE(c.where());
        if (c.fields.at(6) == "none") {
          EXPECT_EQ(status[i], kPointWithoutPath);
          EXPECT_TRUE(std::isnan(x[i]) && std::isnan(y[i]));
          continue;
        }
        EXPECT_EQ(status[i], kPointConverted);
        if (status[i] != kPointConverted) continue;
        const double ex = c.number(6), ey = c.number(7);
        if (gridOutput) {
          // A Gauss-Krueger easting carries its zone: compare within the zone.
          EXPECT_NEAR(std::fmod(x[i], 1e6), std::fmod(ex, 1e6), kGridTolerance);
          EXPECT_NEAR(x[i] - std::fmod(x[i], 1e6), ex - std::fmod(ex, 1e6), 0.5);
          EXPECT_NEAR(y[i], ey, kGridTolerance);
        } else {
          const double metresPerLongitude =
              kMetresPerDegree * std::cos(ey * std::numbers::pi / 180);
          EXPECT_NEAR((x[i] - ex) * metresPerLongitude, 0.0, kGeographicTolerance);
          EXPECT_NEAR((y[i] - ey) * kMetresPerDegree, 0.0, kGeographicTolerance);
        }
      }
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Paths, OfficialPath,
                         ::testing::Values(KernelPath::Scalar, KernelPath::Vector),
                         [](const ::testing::TestParamInfo<KernelPath>& info) {
                           return info.param == KernelPath::Scalar ? "Scalar" : "Vector";
                         });

// Points well inside the grid and the area of use stay on the vector path (the scalar path takes
// only lanes at edges), on every route that the block serves.
TEST(OfficialVectorPath, ServesPointsInsideOnTheVectorPath) {
  if (!engine::kernelPathAvailable(KernelPath::Vector)) GTEST_SKIP() << "no vector path here";
  engine::setKernelPathForTesting(KernelPath::Vector);
  constexpr std::size_t kPoints = 800;
  std::vector<double> lon, lat;
  for (std::size_t i = 0; i < kPoints; ++i) {  // inside BeTA2007 and EPSG:1775's area
    lon.push_back(10.5 + 4.0 * static_cast<double>(i % 41) / 41.0);
    lat.push_back(50.6 + 3.8 * static_cast<double>(i % 37) / 37.0);
  }
  const CoordinateSystem g1{CoordinateType::Geographic, 1}, g3{CoordinateType::Geographic, 3},
      g4{CoordinateType::Geographic, 4};
  for (const auto& [from, to] :
       {std::pair{g1, g3}, std::pair{g4, g3}, std::pair{g3, g4}, std::pair{g1, g4}}) {
    const Transformer t(from, to, {}, DatumChoice{DatumShift::Official, ""});
    std::vector<double> x(kPoints), y(kPoints);
    const std::size_t before = engine::scalarLanesOfBlocksForTesting();
    EXPECT_EQ(
        t.transform(kPoints, lon.data(), lat.data(), nullptr, x.data(), y.data(), nullptr, nullptr),
        kPoints);
    EXPECT_EQ(engine::scalarLanesOfBlocksForTesting() - before, 0u) << from.system << to.system;
  }
  engine::setKernelPathForTesting(engine::fastestKernelPath());
}

// Both byte orders of the same nested grid read to the same sub-grids and shifts.
TEST(Ntv2Grid, ByteOrdersReadAlike) {
  const engine::Ntv2Grid big = engine::Ntv2Grid::fromFile(gridPath("nested_be.gsb"));
  const engine::Ntv2Grid little = engine::Ntv2Grid::fromFile(gridPath("nested_le.gsb"));
  ASSERT_EQ(big.subGrids().size(), 4u);
  ASSERT_EQ(little.subGrids().size(), 4u);
  for (std::size_t i = 0; i < 4; ++i) {
    EXPECT_EQ(big.subGrids()[i].name, little.subGrids()[i].name);
    EXPECT_EQ(big.subGrids()[i].shifts, little.subGrids()[i].shifts);
    EXPECT_EQ(big.subGrids()[i].children, little.subGrids()[i].children);
  }
}

std::vector<unsigned char> bytesOf(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::string refusalOf(const std::vector<unsigned char>& bytes) {
  try {
    engine::Ntv2Grid grid(bytes.data(), bytes.size(), "sample.gsb");
  } catch (const std::invalid_argument& e) {
    return e.what();
  }
  return "";
}

void putInt32(std::vector<unsigned char>& bytes, std::size_t offset, int value) {
  for (int i = 0; i < 4; ++i) bytes[offset + 3 - i] = static_cast<unsigned char>(value >> (8 * i));
}

// Malformed grids are refused with the file's name and the fault; nothing is read past the end
// (the sanitizer builds check that on every truncation).
TEST(Ntv2Grid, RefusesMalformedFilesNamingTheFault) {
  const std::vector<unsigned char> good = bytesOf(gridPath("nested_be.gsb"));
  ASSERT_EQ(refusalOf(good), "");
  for (std::size_t size = 0; size < good.size() - 16; size += 7) {
    const std::string why = refusalOf({good.begin(), good.begin() + static_cast<long>(size)});
    EXPECT_NE(why.find("NTv2 grid sample.gsb: "), std::string::npos) << size;
  }
  auto withInt = [&](std::size_t offset, int value) {
    std::vector<unsigned char> bytes = good;
    putInt32(bytes, offset, value);
    return refusalOf(bytes);
  };
  EXPECT_NE(withInt(8, 12).find("NUM_OREC"), std::string::npos);
  EXPECT_NE(withInt(40, 1000).find("NUM_FILE is 1000"), std::string::npos);
  EXPECT_NE(withInt(40, 0).find("NUM_FILE is 0"), std::string::npos);
  EXPECT_NE(withInt(176 + 168, 99).find("GS_COUNT is 99"), std::string::npos);
  std::vector<unsigned char> orphan = good;
  const std::size_t second = 176 + 176 + 10 * 12 * 16;  // the parent's header and 120 nodes
  orphan[second + 24] = 'X';
  EXPECT_NE(refusalOf(orphan).find("PARENT 'XARENT'"), std::string::npos);
  std::vector<unsigned char> type = good;
  type[56] = 'M';
  EXPECT_NE(refusalOf(type).find("GS_TYPE"), std::string::npos);
}

TEST(OfficialTransformer, RefusesWhatItCannotServe) {
  const CoordinateSystem g1{CoordinateType::Geographic, 1}, g2{CoordinateType::Geographic, 2},
      e3{CoordinateType::Grid, 3};
  const DatumChoice official{DatumShift::Official, ""};
  try {
    Transformer(g2, e3, {}, official);
    ADD_FAILURE() << "system 2 accepted";
  } catch (const std::invalid_argument& e) {
    EXPECT_NE(std::string(e.what()).find("system 2"), std::string::npos);
  }
  EXPECT_THROW(Transformer(e3, g2, {}, official), std::invalid_argument);
  EXPECT_THROW(Transformer(g1, e3, {}, {DatumShift::Polynomial, gridPath("nested_be.gsb")}),
               std::invalid_argument);
  const std::string missing = gridPath("no_such_grid.gsb");
  try {
    Transformer(g1, e3, {}, {DatumShift::Official, missing});
    ADD_FAILURE() << "missing grid accepted";
  } catch (const std::invalid_argument& e) {
    EXPECT_NE(std::string(e.what()).find(missing), std::string::npos);
  }
  testing::ScratchDirectory scratch;
  const std::string cut = (scratch.path() / "cut.gsb").string();
  {
    const std::vector<unsigned char> bytes = bytesOf(gridPath("nested_le.gsb"));
    std::ofstream out(cut, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), 1000);
  }
  try {
    Transformer(g1, e3, {}, {DatumShift::Official, cut});
    ADD_FAILURE() << "truncated grid accepted";
  } catch (const std::invalid_argument& e) {
    EXPECT_NE(std::string(e.what()).find(cut + ": truncated"), std::string::npos) << e.what();
  }
}

}  // namespace
}  // namespace nuvex
