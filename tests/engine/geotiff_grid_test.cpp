// GeoTIFF grids against PROJ's results (geotiff_grid_shifts.txt, geotiff_geoid.txt; made by cct,
// see tests/generators/geotiff_grids): the state grids and BeTA2007 of data/, the synthetic grids
// of tests/data/geotiff/ (pixel-is-area, big-endian 64-bit floats, tiles, nested images,
// interleaved samples, Deflate and LZW), through the grid object and through a Transformer on every
// kernel path; and the refusal of malformed files, made here from the synthetic ones.
#include "engine/geotiff_grid.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <numbers>
#include <stdexcept>
#include <string>
#include <tuple>
#include <vector>

#include "engine/batch.h"
#include "engine/grid_files.h"
#include "engine/official_datum.h"
#include "nuvex/transform.h"
#include "support/case_file.h"
#include "support/scratch_directory.h"

namespace nuvex {
namespace {

using engine::KernelPath;
using engine::Ntv2Grid;
using engine::Radians;

constexpr double kDegreeTolerance = 1e-9;      // deg: 0.1 mm of PROJ
constexpr double kUndulationTolerance = 1e-6;  // m
constexpr double kRadiansPerDegree = std::numbers::pi / 180.0;

const CoordinateSystem kBesselGeographic{CoordinateType::Geographic, 1};
const CoordinateSystem kEtrsGeographic{CoordinateType::Geographic, 3};

std::string sourcePath(const std::string& relative) {
  return std::string(NUVEX_TEST_DATA_DIR) + "/../../" + relative;
}

std::vector<unsigned char> bytesOf(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::string written(const std::string& name, const std::vector<unsigned char>& bytes) {
  std::ofstream(name, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()),
             static_cast<std::streamsize>(bytes.size()));
  return name;
}

// The refusal of the file as the official datum's grid, or "" when the Transformer takes it.
std::string transformerRefusal(const std::string& path) {
  try {
    const Transformer t(kBesselGeographic, kEtrsGeographic, {},
                        DatumChoice{DatumShift::Official, path});
  } catch (const std::invalid_argument& e) {
    return e.what();
  }
  return "";
}

class GeoTiffAvailable : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!engine::geoTiffGridsSupported()) GTEST_SKIP() << "built without libtiff";
  }
};

// The largest deviation from PROJ (deg) per grid, for the record.
void reportDeviation(const std::map<std::string, double>& deviation) {
  for (const auto& [grid, degrees] : deviation) {
    std::printf("  %s: %.3g deg (%.3g m)\n", grid.c_str(), degrees, degrees * 111320.0);
  }
}

using GeoTiffShift = GeoTiffAvailable;

TEST_F(GeoTiffShift, GridObjectMatchesProjBothWays) {
  std::map<std::string, std::shared_ptr<const Ntv2Grid>> grids;
  std::map<std::string, double> deviation;
  for (const testing::TestCase& c : testing::readCases("geotiff_grid_shifts.txt")) {
    SCOPED_TRACE(c.where());
    const std::string& name = c.fields.at(0);
    if (!grids.count(name)) grids[name] = engine::readShiftGridFile(sourcePath(name));
    const bool forward = c.fields.at(1) == "G1";
    Radians p{c.number(4) * kRadiansPerDegree, c.number(5) * kRadiansPerDegree};
    const bool shifted = forward ? grids[name]->shiftForward(p) : grids[name]->shiftInverse(p);
    if (c.fields.at(6) == "none") {
      EXPECT_FALSE(shifted);
      continue;
    }
    ASSERT_TRUE(shifted);
    const double dx = std::fabs(p.longitude / kRadiansPerDegree - c.number(6));
    const double dy = std::fabs(p.latitude / kRadiansPerDegree - c.number(7));
    EXPECT_LE(dx, kDegreeTolerance);
    EXPECT_LE(dy, kDegreeTolerance);
    deviation[name] = std::max({deviation[name], dx, dy});
  }
  reportDeviation(deviation);
}

class GeoTiffPath : public ::testing::TestWithParam<KernelPath> {
 protected:
  void SetUp() override {
    if (!engine::geoTiffGridsSupported()) GTEST_SKIP() << "built without libtiff";
    if (!engine::kernelPathAvailable(GetParam())) GTEST_SKIP() << "path not available here";
    engine::setKernelPathForTesting(GetParam());
  }
  void TearDown() override { engine::setKernelPathForTesting(engine::fastestKernelPath()); }
};

// The official mode with DatumChoice::grid a GeoTIFF file: PROJ's results, and points outside
// the grid refused for that reason.
TEST_P(GeoTiffPath, OfficialModeMatchesProjAndRefusesPointsOutside) {
  std::map<std::tuple<std::string, std::string>, std::vector<testing::TestCase>> groups;
  for (const testing::TestCase& c : testing::readCases("geotiff_grid_shifts.txt")) {
    groups[{c.fields.at(0), c.fields.at(1)}].push_back(c);
  }
  for (const auto& [key, cases] : groups) {
    const auto& [grid, from] = key;
    const bool forward = from == "G1";
    const Transformer t(forward ? kBesselGeographic : kEtrsGeographic,
                        forward ? kEtrsGeographic : kBesselGeographic, {},
                        DatumChoice{DatumShift::Official, sourcePath(grid)});
    const std::size_t n = cases.size();
    std::vector<double> x(n), y(n);
    for (std::size_t i = 0; i < n; ++i) {
      x[i] = cases[i].number(4);
      y[i] = cases[i].number(5);
    }
    std::vector<double> xOut(n), yOut(n);
    std::vector<int> status(n);
    t.transform(n, x.data(), y.data(), nullptr, xOut.data(), yOut.data(), nullptr, status.data());
    for (std::size_t i = 0; i < n; ++i) {
      const testing::TestCase& c = cases[i];
      SCOPED_TRACE(c.where());
      if (c.fields.at(6) == "none") {
        EXPECT_EQ(status[i], kPointWithoutPath);
        EXPECT_EQ(t.explain(x[i], y[i], 0), RangeProblem::OutsideGrid);
        continue;
      }
      ASSERT_EQ(status[i], kPointConverted);
      EXPECT_NEAR(xOut[i], c.number(6), kDegreeTolerance);
      EXPECT_NEAR(yOut[i], c.number(7), kDegreeTolerance);
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Paths, GeoTiffPath,
                         ::testing::Values(KernelPath::Scalar, KernelPath::Vector),
                         [](const ::testing::TestParamInfo<KernelPath>& info) {
                           return info.param == KernelPath::Scalar ? "Scalar" : "Vector";
                         });

// BeTA2007 as GeoTIFF is the built-in NTv2 BeTA2007: the same nodes, the same floats, the same
// shifts both ways.
TEST_F(GeoTiffShift, Beta2007AsGeoTiffIsTheBuiltInGrid) {
  const auto tiff = engine::readShiftGridFile(sourcePath("data/de_adv_BETA2007.tif"));
  const auto builtIn = engine::builtInGrid();
  ASSERT_EQ(tiff->subGrids().size(), 1u);
  const engine::Ntv2SubGrid& a = tiff->subGrids()[0];
  const engine::Ntv2SubGrid& b = builtIn->subGrids()[0];
  EXPECT_EQ(a.columns, b.columns);
  EXPECT_EQ(a.rows, b.rows);
  for (const auto& [mine, theirs] : {std::pair{a.west, b.west}, std::pair{a.east, b.east},
                                     std::pair{a.south, b.south}, std::pair{a.north, b.north}}) {
    EXPECT_NEAR(mine, theirs, 1e-14);
  }
  EXPECT_TRUE(a.shifts == b.shifts);
  for (const std::string from : {"G1", "G3"}) {
    for (double lon = 5.45; lon < 15.7; lon += 0.37) {
      for (double lat = 46.95; lat < 55.4; lat += 0.29) {
        Radians p{lon * kRadiansPerDegree, lat * kRadiansPerDegree}, q = p;
        const bool one = from == "G1" ? tiff->shiftForward(p) : tiff->shiftInverse(p);
        const bool other = from == "G1" ? builtIn->shiftForward(q) : builtIn->shiftInverse(q);
        ASSERT_EQ(one, other) << lon << " " << lat;
        EXPECT_NEAR(p.longitude, q.longitude, 1e-15);
        EXPECT_NEAR(p.latitude, q.latitude, 1e-15);
      }
    }
  }
}

using GeoTiffGeoid = GeoTiffAvailable;

TEST_F(GeoTiffGeoid, UndulationsMatchProjAndNoValueIsNone) {
  std::map<std::string, std::unique_ptr<engine::GeoidGrid>> grids;
  double worst = 0.0;
  for (const testing::TestCase& c : testing::readCases("geotiff_geoid.txt")) {
    SCOPED_TRACE(c.where());
    const std::string& name = c.fields.at(0);
    if (!grids.count(name)) {
      grids[name] =
          std::make_unique<engine::GeoidGrid>(engine::readGeoTiffGeoidGridFile(sourcePath(name)));
    }
    double metres = 0.0;
    const bool found = grids[name]->undulationAt(c.number(2), c.number(1), metres);
    if (c.fields.at(3) == "none") {
      EXPECT_FALSE(found);
      continue;
    }
    ASSERT_TRUE(found);
    EXPECT_NEAR(metres, c.number(3), kUndulationTolerance);
    worst = std::max(worst, std::fabs(metres - c.number(3)));
  }
  std::printf("  largest deviation from vgridshift: %.3g m\n", worst);
}

TEST_F(GeoTiffGeoid, AHorizontalGridIsNoGeoidAndTheOtherWayRound) {
  EXPECT_THROW(engine::readGeoTiffGeoidGridFile(sourcePath("data/de_adv_BETA2007.tif")),
               std::invalid_argument);
  const std::string geoid = sourcePath("data/de_bkg_gcg2016.tif");
  EXPECT_EQ(transformerRefusal(geoid),
            "GeoTIFF grid " + geoid +
                ": image 1: it is a VERTICAL_OFFSET_GEOGRAPHIC_TO_VERTICAL grid, not a "
                "HORIZONTAL_OFFSET grid");
}

// ---------------------------------------------------------------------------------------------
// Malformed files, made from the synthetic grid area_float64_be.tif (uncompressed, big-endian).

std::vector<unsigned char> synthetic() {
  return bytesOf(sourcePath("tests/data/geotiff/area_float64_be.tif"));
}

// The bytes with the first `from` replaced by `to` (of the same length).
std::vector<unsigned char> patched(std::vector<unsigned char> bytes, const std::string& from,
                                   const std::string& to) {
  EXPECT_EQ(from.size(), to.size());
  const auto at =
      std::search(bytes.begin(), bytes.end(), from.begin(), from.end(),
                  [](unsigned char b, char c) { return b == static_cast<unsigned char>(c); });
  EXPECT_NE(at, bytes.end()) << from;
  if (at != bytes.end()) std::copy(to.begin(), to.end(), at);
  return bytes;
}

// The refusal of bytes as a horizontal grid, or "".
std::string refusalOf(const std::vector<unsigned char>& bytes) {
  try {
    engine::readGeoTiffShiftGrid(bytes.data(), bytes.size(), "sample.tif");
  } catch (const std::invalid_argument& e) {
    return e.what();
  }
  return "";
}

using GeoTiffRefusal = GeoTiffAvailable;

TEST_F(GeoTiffRefusal, TruncatedFilesAreRefusedWithTheirName) {
  testing::ScratchDirectory scratch;
  const std::vector<unsigned char> whole = synthetic();
  EXPECT_EQ(refusalOf(whole), "");
  for (std::size_t keep : {std::size_t{0}, std::size_t{3}, std::size_t{8}, std::size_t{200},
                           whole.size() / 2, whole.size() - 8}) {
    const std::vector<unsigned char> cut(whole.begin(), whole.begin() + static_cast<long>(keep));
    const std::string path = written("cut" + std::to_string(keep) + ".tif", cut);
    const std::string message = transformerRefusal(path);
    SCOPED_TRACE(message);
    EXPECT_NE(message.find(path), std::string::npos);
    EXPECT_EQ(message.rfind(keep < 4 ? "NTv2 grid " : "GeoTIFF grid ", 0), 0u);
  }
  // A compressed one cut inside its data.
  const std::vector<unsigned char> hessen =
      bytesOf(sourcePath("data/de_lgvl_saarland_SeTa2016.tif"));
  const std::vector<unsigned char> cut(hessen.begin(), hessen.begin() + 300000);
  EXPECT_NE(refusalOf(cut).find("cannot be decoded"), std::string::npos) << refusalOf(cut);
}

TEST_F(GeoTiffRefusal, BandsUnitsAndSignsMustBeKnown) {
  EXPECT_EQ(refusalOf(patched(synthetic(), "latitude_offset<", "north_offsets__<")),
            "GeoTIFF grid sample.tif: image 1: no band is latitude_offset (its bands: "
            "north_offsets__, longitude_offset)");
  EXPECT_EQ(refusalOf(patched(synthetic(), "HORIZONTAL_OFFSET", "GEOCENTRIC_OFFSET")),
            "GeoTIFF grid sample.tif: image 1: it is a GEOCENTRIC_OFFSET grid, not a "
            "HORIZONTAL_OFFSET grid");
  EXPECT_EQ(refusalOf(patched(synthetic(), "arc-second", "millimetre")),
            "GeoTIFF grid sample.tif: image 1: its offsets are in 'millimetre'; arc-second or "
            "degree are read");
  EXPECT_EQ(refusalOf(patched(synthetic(), ">west<", ">down<")),
            "GeoTIFF grid sample.tif: image 1: positive_value is 'down', neither east nor west");
}

TEST_F(GeoTiffRefusal, AnImageOfOneColumnOrRowHasNoCell) {
  // The ImageWidth and ImageLength entries (tags 256 and 257, LONG, big-endian): 9 and 7 nodes.
  const std::string width("\x01\x00\x00\x04\x00\x00\x00\x01\x00\x00\x00\x09", 12);
  const std::string length("\x01\x01\x00\x04\x00\x00\x00\x01\x00\x00\x00\x07", 12);
  std::string oneColumn = width, oneRow = length;
  oneColumn.back() = oneRow.back() = '\x01';
  EXPECT_NE(refusalOf(patched(synthetic(), width, oneColumn)).find("image 1: it is 1 x 7 nodes"),
            std::string::npos);
  EXPECT_NE(refusalOf(patched(synthetic(), length, oneRow)).find("image 1: it is 9 x 1 nodes"),
            std::string::npos);
}

TEST_F(GeoTiffRefusal, ANonFiniteNodeIsRefused) {
  std::vector<unsigned char> bytes = synthetic();
  // The last node's longitude offset: the file's last 8 bytes (big-endian double).
  const unsigned char nan[8] = {0x7f, 0xf8, 0, 0, 0, 0, 0, 0};
  std::copy(std::begin(nan), std::end(nan), bytes.end() - 8);
  EXPECT_EQ(
      refusalOf(bytes),
      "GeoTIFF grid sample.tif: image 1: the node in row 7, column 9 has a non-finite offset");
}

TEST_F(GeoTiffRefusal, GeoreferencingMustBeThere) {
  // The ModelTiepoint tag (33922 = 0x8482, big-endian) renamed to an unknown tag.
  const std::string tie("\x84\x82\x00\x0c", 4), other("\x84\x83\x00\x0c", 4);
  EXPECT_EQ(refusalOf(patched(synthetic(), tie, other)),
            "GeoTIFF grid sample.tif: image 1: it has no ModelTiepoint and ModelPixelScale tags "
            "(a grid is georeferenced by them)");
}

TEST_F(GeoTiffRefusal, OnlyBesselToGrs80GridsServeSystemOne) {
  testing::ScratchDirectory scratch;
  // Target WGS 84 (not known here), then target DHDN (Bessel to Bessel).
  const std::string wgs = written("wgs.tif", patched(synthetic(), ">4258<", ">4326<"));
  EXPECT_EQ(transformerRefusal(wgs),
            "GeoTIFF grid wgs.tif: it shifts from EPSG:4314 to EPSG:4326 (not a datum on Bessel "
            "1841 or GRS80 that nuvex knows), but the official shift of system 1 needs a grid "
            "from Bessel 1841 (a=6377397.155 m b=6356078.963 m) to GRS80 (a=6378137.000 m "
            "b=6356752.314 m)");
  const std::string bessel = written("bessel.tif", patched(synthetic(), ">4258<", ">4314<"));
  EXPECT_NE(transformerRefusal(bessel).find("it shifts from the ellipsoid a=6377397.155 m "
                                            "b=6356078.963 m to a=6377397.155 m"),
            std::string::npos);
  EXPECT_EQ(transformerRefusal(written("ok.tif", synthetic())), "");
}

// The format is the content's: a GeoTIFF grid named .gsb is read as GeoTIFF, and converts as
// under its own name.
TEST_F(GeoTiffRefusal, AnEpsgCodeTooLongForANumberIsRefused) {
  // The grid's name six letters shorter, the target's code six digits longer: the same length.
  const std::string items =
      "<Item name=\"grid_name\">SYNTHETIC</Item>\n  <Item "
      "name=\"target_crs_epsg_code\">4258</Item>";
  const std::string longCode =
      "<Item name=\"grid_name\">SYN</Item>\n  <Item "
      "name=\"target_crs_epsg_code\">4258000000</Item>";
  EXPECT_EQ(refusalOf(patched(synthetic(), items, longCode)),
            "GeoTIFF grid sample.tif: target_crs_epsg_code is '4258000000', not an EPSG code");
}

// A quasigeoid gives DHHN2016 heights: one that names another vertical CRS (here EVRF2007,
// EPSG:5621) belongs to another route.
TEST_F(GeoTiffRefusal, AGeoidOfAnotherHeightSystemIsRefused) {
  const std::vector<unsigned char> geoid = bytesOf(sourcePath("data/de_bkg_gcg2016.tif"));
  const std::string target = "<Item name=\"target_crs_epsg_code\">";
  const std::vector<unsigned char> evrf = patched(geoid, target + "7837", target + "5621");
  try {
    engine::readGeoTiffGeoidGrid(evrf.data(), evrf.size(), "evrf.tif");
    ADD_FAILURE() << "a geoid of EVRF2007 heights was taken";
  } catch (const std::invalid_argument& e) {
    EXPECT_STREQ(e.what(),
                 "GeoTIFF grid evrf.tif: it gives heights in EPSG:5621, but normal heights are "
                 "DHHN2016 (EPSG:7837)");
  }
}

TEST_F(GeoTiffRefusal, AGridIsReadByItsContentNotItsName) {
  testing::ScratchDirectory scratch;
  const std::string tif = sourcePath("data/de_hvbg_hessen_HeTA2010.tif");
  const std::string gsb = written("hessen.gsb", bytesOf(tif));
  const Transformer a(kBesselGeographic, kEtrsGeographic, {}, {DatumShift::Official, tif});
  const Transformer b(kBesselGeographic, kEtrsGeographic, {}, {DatumShift::Official, gsb});
  double x[2] = {8.5, 8.5}, y[2] = {50.5, 50.5};
  double xa = 0, ya = 0, xb = 0, yb = 0;
  a.transform(1, x, y, nullptr, &xa, &ya, nullptr, nullptr);
  b.transform(1, x + 1, y + 1, nullptr, &xb, &yb, nullptr, nullptr);
  EXPECT_EQ(xa, xb);
  EXPECT_EQ(ya, yb);
  EXPECT_NEAR(xa, 8.4990215278, 1e-10);  // cct -d 10 +proj=hgridshift (grids/README.md)
  EXPECT_NEAR(ya, 50.4987944539, 1e-10);
  // And an NTv2 file named .tif is read as NTv2.
  const std::string ntv2 =
      written("ntv2.tif", bytesOf(std::string(NUVEX_TEST_DATA_DIR) + "/ntv2/nested_le.gsb"));
  EXPECT_EQ(transformerRefusal(ntv2), "");
}

// A build without libtiff (the Windows cross build) refuses GeoTIFF grids, saying why; NTv2 grids
// serve as ever.
TEST(GeoTiffUnavailable, ABuildWithoutLibtiffSaysSo) {
  if (engine::geoTiffGridsSupported()) GTEST_SKIP() << "built with libtiff";
  const std::string tif = sourcePath("data/de_hvbg_hessen_HeTA2010.tif");
  EXPECT_EQ(transformerRefusal(tif), "GeoTIFF grid " + tif +
                                         ": this build of nuvex reads no GeoTIFF grids (it was "
                                         "built without libtiff); give the grid as an NTv2 file "
                                         "(.gsb)");
  EXPECT_EQ(transformerRefusal(std::string(NUVEX_TEST_DATA_DIR) + "/ntv2/nested_le.gsb"), "");
  // The quasigeoid is one too: heights between DHHN2016 and ellipsoidal ones are refused.
  try {
    const Transformer t(kEtrsGeographic, kEtrsGeographic, {}, DatumChoice{DatumShift::Official, ""},
                        HeightChoice{HeightKind::Normal, HeightKind::Ellipsoidal, ""});
    ADD_FAILURE() << "heights converted without the quasigeoid";
  } catch (const std::invalid_argument& e) {
    EXPECT_NE(std::string(e.what()).find("converts no heights"), std::string::npos) << e.what();
  }
}

}  // namespace
}  // namespace nuvex
