// The NTv2 reader and the grid shift on synthetic grids (values by construction, written by
// tests/support/ntv2_writer.h): what a grid file may be and say before the official datum shift
// takes it, the same point on every kernel path and in blocks of any length, and the shift's
// limits. The grids with reference values from PROJ are in official_datum_test.cpp.
#include "engine/ntv2_grid.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "engine/batch.h"
#include "engine/official_datum.h"
#include "engine/printable_text.h"
#include "nuvex/transform.h"
#include "support/ntv2_writer.h"
#include "support/scratch_directory.h"

namespace nuvex {
namespace {

using engine::KernelPath;
using engine::Ntv2Grid;
using testing::Ntv2Layout;
using testing::Ntv2SubGridSpec;

constexpr double kSecondsPerDegree = 3600.0;
constexpr double kDegreeTolerance = 1e-11;  // the vector path's last bits

const CoordinateSystem kBesselGeographic{CoordinateType::Geographic, 1};
const CoordinateSystem kEtrsGeographic{CoordinateType::Geographic, 3};

// The refusal of bytes as a grid, or "" when they are read.
std::string refusalOf(const std::vector<unsigned char>& bytes) {
  try {
    const Ntv2Grid grid(bytes.data(), bytes.size(), "sample.gsb");
  } catch (const std::invalid_argument& e) {
    return e.what();
  }
  return "";
}

// The refusal of the file as the official datum's grid, or "" when the Transformer takes it.
std::string transformerRefusal(const std::string& path,
                               const CoordinateSystem& to = kEtrsGeographic) {
  try {
    const Transformer t(kBesselGeographic, to, {}, DatumChoice{DatumShift::Official, path});
  } catch (const std::invalid_argument& e) {
    return e.what();
  }
  return "";
}

std::string written(const std::string& name, const std::vector<unsigned char>& bytes) {
  std::ofstream out(name, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
  return (std::filesystem::current_path() / name).string();
}

bool isPrintableAscii(const std::string& text) {
  for (const char c : text) {
    if (c < 0x20 || c > 0x7E) return false;
  }
  return true;
}

// A sub-grid over 10..12.5 E, 50..51 N, 0.25 deg steps, shifts varying over it.
Ntv2SubGridSpec plainSubGrid() {
  Ntv2SubGridSpec g;
  g.eastWest = -12.5 * kSecondsPerDegree;
  g.shift = [](double latitude, double westLongitude) {
    return std::pair<float, float>{static_cast<float>(0.4 + 1e-5 * (latitude - 180000.0)),
                                   static_cast<float>(-1.2 - 1e-5 * (westLongitude + 36000.0))};
  };
  return g;
}

Ntv2Layout gridOf(const Ntv2SubGridSpec& subGrid) {
  Ntv2Layout layout;
  layout.subGrids = {subGrid};
  return layout;
}

TEST(PrintableText, EscapesEveryByteOutsidePrintableAscii) {
  const struct {
    std::string bytes, shown;
  } cases[] = {
      {"DHDN90", "DHDN90"},
      {"", ""},
      {"a b~", "a b~"},
      {"\xFF\xFF", "\\xFF\\xFF"},
      {std::string("\0\x1B[31m", 6), "\\x00\\x1B[31m"},
      {"\x7F\x80", "\\x7F\\x80"},
      {"Th\xC3\xBCringen", "Th\\xC3\\xBCringen"},
      {"back\\slash", "back\\\\slash"},
      {"\t\r\n", "\\x09\\x0D\\x0A"},
  };
  for (const auto& c : cases) EXPECT_EQ(engine::printableText(c.bytes), c.shown) << c.shown;
}

// Regression: a grid whose edges are not a whole number of steps apart had its node count
// rounded, and the scalar path refused points beyond the header's edge that the vector path
// converted with the rounded nodes.
TEST(Ntv2Reader, RefusesEdgesThatAreNotAWholeNumberOfStepsApart) {
  Ntv2SubGridSpec wide = plainSubGrid();
  wide.eastWest = -(10.0 + 10.6 * 0.25) * kSecondsPerDegree;
  EXPECT_EQ(refusalOf(ntv2Bytes(gridOf(wide))),
            "NTv2 grid sample.gsb: sub-grid 1 (GRID): its edges are not a whole number of steps "
            "apart (W_LONG - E_LONG is 10.6 steps); the last nodes would not lie on the edges");
  Ntv2SubGridSpec tall = plainSubGrid();
  tall.north = (50.0 + 3.4 * 0.25) * kSecondsPerDegree;
  EXPECT_NE(refusalOf(ntv2Bytes(gridOf(tall))).find("(N_LAT - S_LAT is 3.4 steps)"),
            std::string::npos);
  // Rounding in the program that wrote the file is no fault.
  Ntv2SubGridSpec rounded = plainSubGrid();
  rounded.eastWest -= 1e-9 * rounded.longitudeStep;
  rounded.north += 1e-9 * rounded.latitudeStep;
  EXPECT_EQ(refusalOf(ntv2Bytes(gridOf(rounded))), "");
}

// The same point, alone and repeated in blocks of 7, 8, 9 and 17, gets the same status and
// value on every line and on every kernel path: inside, on and near the edges, and where a grid
// with a rounded node count would put nodes beyond its edges.
TEST(Ntv2KernelPaths, SamePointGetsTheSameResultOnEveryLine) {
  testing::ScratchDirectory scratch;
  Ntv2SubGridSpec wide = plainSubGrid();
  wide.eastWest = -(10.0 + 10.6 * 0.25) * kSecondsPerDegree;  // the last node at 12.75 E
  const std::string whole = written("whole.gsb", ntv2Bytes(gridOf(plainSubGrid())));
  const std::string notWhole = written("not_whole.gsb", ntv2Bytes(gridOf(wide)));
  EXPECT_EQ(transformerRefusal(whole), "");
  EXPECT_NE(transformerRefusal(notWhole).find("not a whole number of steps"), std::string::npos);

  const double longitudes[] = {11.0,        10.0,        12.5,         12.5 + 1e-6, 12.5 + 1e-5,
                               12.5 - 1e-7, 10.0 - 1e-6, 10.0 - 1e-4,  12.6,        12.66,
                               12.7,        12.74,       12.75 + 1e-7, 12.8};
  const double latitudes[] = {50.5, 50.0, 51.0 + 1e-6, 50.0 - 1e-5};
  std::vector<KernelPath> paths{KernelPath::Scalar};
  if (engine::kernelPathAvailable(KernelPath::Vector)) paths.push_back(KernelPath::Vector);
  for (const std::string& grid : {whole, notWhole}) {
    if (!transformerRefusal(grid).empty()) continue;  // refused: checked above
    const Transformer t(kBesselGeographic, kEtrsGeographic, {}, {DatumShift::Official, grid});
    for (const double longitude : longitudes) {
      for (const double latitude : latitudes) {
        SCOPED_TRACE(grid + " " + std::to_string(longitude) + " " + std::to_string(latitude));
        bool first = true;
        double x0 = 0, y0 = 0;
        int status0 = 0;
        for (const KernelPath path : paths) {
          engine::setKernelPathForTesting(path);
          for (const std::size_t n : {1u, 7u, 8u, 9u, 17u}) {
            const std::vector<double> lon(n, longitude), lat(n, latitude);
            std::vector<double> x(n), y(n);
            std::vector<int> status(n);
            t.transform(n, lon.data(), lat.data(), nullptr, x.data(), y.data(), nullptr,
                        status.data());
            for (std::size_t i = 0; i < n; ++i) {
              if (first) {
                x0 = x[i];
                y0 = y[i];
                status0 = status[i];
                first = false;
              }
              ASSERT_EQ(status[i], status0) << "line " << i + 1 << " of " << n;
              if (status0 != kPointConverted) continue;
              ASSERT_NEAR(x[i], x0, kDegreeTolerance) << "line " << i + 1 << " of " << n;
              ASSERT_NEAR(y[i], y0, kDegreeTolerance) << "line " << i + 1 << " of " << n;
            }
          }
        }
      }
    }
  }
  engine::setKernelPathForTesting(engine::fastestKernelPath());
}

// Regression: any NTv2 file served as system 1's grid (a Clarke 1880 -> RGF93 grid converted
// DHDN points). The header's ellipsoids decide; the datum names are free text.
TEST(Ntv2Datums, OnlyBesselToGrs80GridsServeSystemOne) {
  testing::ScratchDirectory scratch;
  Ntv2Layout clarke = gridOf(plainSubGrid());
  clarke.from = "NTF";
  clarke.to = "RGF93";
  clarke.majorFrom = 6378249.2;
  clarke.minorFrom = 6356515.0;
  clarke.minorTo = 6356752.314140356;
  const std::string clarkePath = written("clarke.gsb", ntv2Bytes(clarke));
  EXPECT_EQ(transformerRefusal(clarkePath),
            "NTv2 grid " + clarkePath +
                ": it shifts from the ellipsoid a=6378249.200 m b=6356515.000 m to a=6378137.000 m "
                "b=6356752.314 m ('NTF' to 'RGF93'), but the official shift of system 1 needs a "
                "grid from Bessel 1841 (a=6377397.155 m b=6356078.963 m) to GRS80 (a=6378137.000 "
                "m b=6356752.314 m)");
  EXPECT_NE(transformerRefusal(clarkePath, {CoordinateType::Grid, 4}), "");
  // A grid within one datum (Bessel to Bessel), a bare one (no axes), and names of any bytes.
  Ntv2Layout besselOnly = gridOf(plainSubGrid());
  besselOnly.majorTo = 6377397.155;
  besselOnly.minorTo = 6356078.963;
  besselOnly.to = "CH1903+\xFF";
  const std::string besselPath = written("bessel.gsb", ntv2Bytes(besselOnly));
  const std::string besselRefusal = transformerRefusal(besselPath);
  EXPECT_NE(besselRefusal.find("to a=6377397.155 m b=6356078.963 m ('DHDN' to 'CH1903+\\xFF')"),
            std::string::npos)
      << besselRefusal;
  Ntv2Layout bare = gridOf(plainSubGrid());
  bare.majorFrom = bare.minorFrom = bare.majorTo = bare.minorTo = 0.0;
  EXPECT_NE(transformerRefusal(written("bare.gsb", ntv2Bytes(bare))).find("a=0.000 m b=0.000 m"),
            std::string::npos);
  Ntv2Layout nan = gridOf(plainSubGrid());
  nan.minorFrom = std::nan("");
  EXPECT_NE(transformerRefusal(written("nan.gsb", ntv2Bytes(nan))), "");
  Ntv2Layout namibia = gridOf(plainSubGrid());
  namibia.majorFrom = 6377483.865;
  namibia.minorFrom = 6356165.383;
  EXPECT_NE(transformerRefusal(written("namibia.gsb", ntv2Bytes(namibia))), "");
  Ntv2Layout offByTwo = gridOf(plainSubGrid());
  offByTwo.minorTo += 2.0;
  EXPECT_NE(transformerRefusal(written("off_by_two.gsb", ntv2Bytes(offByTwo))), "");

  // Other names, axes rounded otherwise: served.
  for (const auto& [from, to, minorFrom, minorTo] :
       {std::tuple{"DE_DHDN", "ETRS89", 6356078.96282, 6356752.31414},
        std::tuple{"PD/83", "ETRS89", 6356078.9629, 6356752.3141},
        std::tuple{"RD/83", "ETRS89_", 6356078.963, 6356752.314245},
        std::tuple{"", "", 6356078.963, 6356752.314}}) {
    Ntv2Layout state = gridOf(plainSubGrid());
    state.from = from;
    state.to = to;
    state.minorFrom = minorFrom;
    state.minorTo = minorTo;
    EXPECT_EQ(transformerRefusal(written("state.gsb", ntv2Bytes(state))), "") << from;
  }
  // Routes without the grid do not read it.
  EXPECT_NO_THROW(Transformer({CoordinateType::Geographic, 4}, kEtrsGeographic, {},
                              DatumChoice{DatumShift::Official, clarkePath}));
  // PROJ's French grid, where the system has it.
  const std::string french = "/usr/share/proj/ntf_r93.gsb";
  if (std::filesystem::exists(french)) {
    EXPECT_NE(transformerRefusal(french).find("a=6378249.200 m b=6356515.000 m"),
              std::string::npos);
  }
}

// Regression: a shift of any size was added, a longitude of 287.78 deg passed for a point.
TEST(Ntv2Limits, ShiftsBeyondTheWorldGiveNoPointAndEdgesMustLieOnIt) {
  testing::ScratchDirectory scratch;
  Ntv2SubGridSpec far = plainSubGrid();
  far.shift = [](double, double) { return std::pair<float, float>{0.5F, -1.0e6F}; };
  Ntv2SubGridSpec north = plainSubGrid();
  north.shift = [](double, double) { return std::pair<float, float>{1.5e5F, -1.0F}; };
  for (const auto& [name, subGrid] :
       {std::pair{"far_east.gsb", far}, std::pair{"north.gsb", north}}) {
    const Transformer t(kBesselGeographic, kEtrsGeographic, {},
                        {DatumShift::Official, written(name, ntv2Bytes(gridOf(subGrid)))});
    std::vector<KernelPath> paths{KernelPath::Scalar};
    if (engine::kernelPathAvailable(KernelPath::Vector)) paths.push_back(KernelPath::Vector);
    for (const KernelPath path : paths) {
      engine::setKernelPathForTesting(path);
      const std::size_t n = 9;
      const std::vector<double> lon(n, 11.0), lat(n, 50.5);
      std::vector<double> x(n), y(n);
      std::vector<int> status(n);
      t.transform(n, lon.data(), lat.data(), nullptr, x.data(), y.data(), nullptr, status.data());
      for (std::size_t i = 0; i < n; ++i) {
        EXPECT_EQ(status[i], kPointWithoutPath) << name << " line " << i + 1 << ": " << x[i];
      }
    }
    engine::setKernelPathForTesting(engine::fastestKernelPath());
  }

  Ntv2SubGridSpec southPole = plainSubGrid();
  southPole.south = -90.25 * kSecondsPerDegree;
  southPole.north = -89.0 * kSecondsPerDegree;
  EXPECT_EQ(refusalOf(ntv2Bytes(gridOf(southPole))),
            "NTv2 grid sample.gsb: sub-grid 1 (GRID): its edges (S_LAT -324900, N_LAT -320400, "
            "E_LONG -45000, W_LONG -36000 arc seconds) lie beyond 90 deg of latitude or 180 deg of "
            "longitude");
  Ntv2SubGridSpec west = plainSubGrid();
  west.westWest = 180.25 * kSecondsPerDegree;
  west.eastWest = 179.0 * kSecondsPerDegree;
  EXPECT_NE(refusalOf(ntv2Bytes(gridOf(west))).find("lie beyond"), std::string::npos);
  Ntv2SubGridSpec east = plainSubGrid();
  east.westWest = -179.0 * kSecondsPerDegree;
  east.eastWest = -180.5 * kSecondsPerDegree;
  EXPECT_NE(refusalOf(ntv2Bytes(gridOf(east))).find("lie beyond"), std::string::npos);
  // Up to the antimeridian and the pole: read.
  Ntv2SubGridSpec edge = plainSubGrid();
  edge.westWest = -179.0 * kSecondsPerDegree;
  edge.eastWest = -180.0 * kSecondsPerDegree;
  edge.south = 89.0 * kSecondsPerDegree;
  edge.north = 90.0 * kSecondsPerDegree;
  EXPECT_EQ(refusalOf(ntv2Bytes(gridOf(edge))), "");
}

// A chain of n sub-grids, each nested in the one before (the smallest: 2 x 2 nodes), made from
// one written sub-grid with its names replaced.
std::vector<unsigned char> chainOf(int n) {
  Ntv2SubGridSpec g;
  g.latitudeStep = g.north - g.south;
  g.longitudeStep = g.westWest - g.eastWest;
  const std::vector<unsigned char> one = ntv2Bytes(gridOf(g));
  constexpr std::size_t kHeader = 176, kSubGrid = 176 + 4 * 16, kEnd = 16;
  std::vector<unsigned char> bytes(one.begin(), one.begin() + kHeader);
  bytes[40] = static_cast<unsigned char>(n);  // NUM_FILE, little-endian
  bytes[41] = static_cast<unsigned char>(n >> 8);
  bytes[42] = static_cast<unsigned char>(n >> 16);
  auto name = [](int i) {
    std::string text = i < 0 ? "NONE" : "G" + std::to_string(i);
    text.resize(8, ' ');
    return text;
  };
  for (int i = 0; i < n; ++i) {
    const std::size_t at = bytes.size();
    bytes.insert(bytes.end(), one.begin() + kHeader, one.begin() + kHeader + kSubGrid);
    const std::string self = name(i), parent = name(i - 1);
    std::copy(self.begin(), self.end(), bytes.begin() + static_cast<long>(at + 8));
    std::copy(parent.begin(), parent.end(), bytes.begin() + static_cast<long>(at + 24));
  }
  bytes.insert(bytes.end(), one.end() - kEnd, one.end());
  return bytes;
}

double secondsToRead(const std::vector<unsigned char>& bytes) {
  double best = 1e9;
  for (int run = 0; run < 3; ++run) {
    const auto start = std::chrono::steady_clock::now();
    const Ntv2Grid grid(bytes.data(), bytes.size(), "chain");
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    best = std::min(best, took.count());
  }
  return best;
}

// Regression: each sub-grid's parent was searched among all before it, so that a chain of
// 80,000 sub-grids (19 MB) took 16 s to read. Ten times the sub-grids must take about ten times
// as long, not a hundred (bench/bench_ntv2_grid.cpp measures the rate).
TEST(Ntv2Reader, ReadsLongChainsOfSubGridsInLinearTime) {
  const std::vector<unsigned char> small = chainOf(3000), large = chainOf(30000);
  const Ntv2Grid grid(large.data(), large.size(), "chain");
  ASSERT_EQ(grid.subGrids().size(), 30000u);
  EXPECT_EQ(grid.subGrids()[29998].children, std::vector<std::size_t>{29999});
  const double ratio = secondsToRead(large) / secondsToRead(small);
  EXPECT_LT(ratio, 40.0) << "reading 10 times the sub-grids took " << ratio << " times as long";
}

// Regression: --grid /dev/zero grew to 1 GB, a FIFO blocked for ever, a directory threw
// std::ios_base::failure. Only regular files are read; every fault names the file.
TEST(Ntv2Files, OnlyRegularFilesAreReadAndEveryFaultIsAnInvalidArgument) {
  testing::ScratchDirectory scratch;
  auto fileRefusal = [](const std::string& path) -> std::string {
    try {
      Ntv2Grid::fromFile(path);
    } catch (const std::invalid_argument& e) {
      return e.what();
    }
    return "";
  };
  const std::string directory = scratch.path().string();
  EXPECT_EQ(fileRefusal(directory), "NTv2 grid " + directory + ": is a directory, not a grid file");
  EXPECT_EQ(transformerRefusal(directory), fileRefusal(directory));
  const std::string missing = (scratch.path() / "missing.gsb").string();
  EXPECT_EQ(fileRefusal(missing), "NTv2 grid " + missing + ": cannot be opened");
  const std::string notRegular =
      ": is not a regular file (a device, pipe or socket); a grid is read from a file";
#if !NUVEX_TEST_ON_WINDOWS
  for (const std::string device : {"/dev/zero", "/dev/null"}) {
    if (std::filesystem::exists(device)) {
      EXPECT_EQ(fileRefusal(device), "NTv2 grid " + device + notRegular);
    }
  }
  const std::string fifo = (scratch.path() / "fifo.gsb").string();
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  EXPECT_EQ(fileRefusal(fifo), "NTv2 grid " + fifo + notRegular);
  const std::string link = (scratch.path() / "link.gsb").string();
  const std::string target = written("target.gsb", ntv2Bytes(gridOf(plainSubGrid())));
  std::filesystem::create_symlink(target, link);
  EXPECT_EQ(fileRefusal(link), "");
#endif
  // A header that declares more nodes than the file holds: refused before they are read.
  std::vector<unsigned char> bytes = ntv2Bytes(gridOf(plainSubGrid()));
  bytes.resize(bytes.size() - 200);
  const std::string cut = written("cut.gsb", bytes);
  EXPECT_EQ(fileRefusal(cut), "NTv2 grid " + cut +
                                  ": truncated: the file's 1048 bytes end before sub-grid 1 "
                                  "(GRID)'s 55 nodes (bytes 352..1232)");
  EXPECT_EQ(fileRefusal(written("empty.gsb", {})),
            "NTv2 grid " + (scratch.path() / "empty.gsb").string() +
                ": truncated: the file's 0 bytes end before the overview header (bytes 0..176)");
}

// Regression: texts of the file went into messages as they were: a file of 0xFF bytes gave
// Python an empty ValueError, the converter printed escape sequences to the terminal.
TEST(Ntv2Reader, ShowsTextsOfTheFileEscaped) {
  const std::vector<unsigned char> ff(400, 0xFF);
  EXPECT_EQ(refusalOf(ff),
            "NTv2 grid sample.gsb: overview header: expected the key NUM_OREC, found "
            "'\\xFF\\xFF\\xFF\\xFF\\xFF\\xFF\\xFF\\xFF'");
  Ntv2Layout layout = gridOf(plainSubGrid());
  Ntv2SubGridSpec child = plainSubGrid();
  child.name = "\x1B[2J\xC3";
  child.parent = "P\x07";
  layout.subGrids.push_back(child);
  const std::string orphan = refusalOf(ntv2Bytes(layout));
  EXPECT_EQ(orphan,
            "NTv2 grid sample.gsb: sub-grid 2 (\\x1B[2J\\xC3): its PARENT 'P\\x07' is no earlier "
            "sub-grid");
  std::vector<unsigned char> type = ntv2Bytes(gridOf(plainSubGrid()));
  type[56] = 0x9B;
  EXPECT_EQ(refusalOf(type),
            "NTv2 grid sample.gsb: GS_TYPE is '\\x9BECONDS'; only SECONDS is supported");
  for (std::size_t at = 0; at < 176 + 176; at += 16) {  // every key of both headers
    std::vector<unsigned char> key = ntv2Bytes(gridOf(plainSubGrid()));
    key[at] = 0xE9;
    const std::string why = refusalOf(key);
    EXPECT_TRUE(isPrintableAscii(why)) << why;
  }
}

}  // namespace
}  // namespace nuvex
