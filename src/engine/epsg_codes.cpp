// The EPSG codes that name one of the four systems (nuvex/systems.h), and their lookup. Each row
// of the table below is checked against the definition of the code in the EPSG dataset (ellipsoid,
// central meridian, false easting, scale) and against a point projected on that definition.
#include <algorithm>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "nuvex/systems.h"

namespace nuvex {
namespace {

// A run of consecutive codes: codes firstCode..lastCode are the zones firstZone, firstZone + 1,
// ... of one grid, named prefix + zone + suffix. A geographic CRS is a run of one code with zone 0
// and no zone in its name.
struct CodeRun {
  int firstCode;
  int lastCode;
  int system;
  CoordinateType type;
  int firstZone;  // projected: zone of firstCode; geographic: 0
  int zoneWidth;  // degrees: 3 or 6 (projected); geographic: 0
  const char* prefix;
  const char* suffix;
  HeightKind height = HeightKind::None;
};

constexpr CoordinateType kGeo = CoordinateType::Geographic;
constexpr CoordinateType kGrid = CoordinateType::Grid;
constexpr int kNone = 0;

// clang-format off
constexpr CodeRun kCodeRuns[] = {
    // code    last   sys type   zone width  name
    // DHDN: Bessel 1841, 3 deg Gauss-Krueger (false easting zone * 1000000 + 500000 m).
    {4314,  4314,  1, kGeo,  kNone, kNone, "DHDN", ""},
    {5520,  5520,  1, kGrid, 1,     3,     "DHDN / 3-degree Gauss-Kruger zone ", ""},
    {5676,  5679,  1, kGrid, 2,     3,     "DHDN / 3-degree Gauss-Kruger zone ", " (E-N)"},
    {5680,  5680,  1, kGrid, 1,     3,     "DHDN / 3-degree Gauss-Kruger zone ", " (E-N)"},
    {31466, 31469, 1, kGrid, 2,     3,     "DHDN / 3-degree Gauss-Kruger zone ", ""},
    // ED50: International 1924, UTM north.
    {4230,  4230,  2, kGeo,  kNone, kNone, "ED50", ""},
    {23028, 23038, 2, kGrid, 28,    6,     "ED50 / UTM zone ", "N"},
    // WGS 84: UTM north.
    {4326,  4326,  3, kGeo,  kNone, kNone, "WGS 84", ""},
    {32601, 32660, 3, kGrid, 1,     6,     "WGS 84 / UTM zone ", "N"},
    // ETRS89 as system 3 (exact in the official datum mode only, see nuvex/systems.h).
    {4258,  4258,  3, kGeo,  kNone, kNone, "ETRS89", ""},
    {4937,  4937,  3, kGeo,  kNone, kNone, "ETRS89", "", HeightKind::Ellipsoidal},  // 3D
    {25828, 25838, 3, kGrid, 28,    6,     "ETRS89 / UTM zone ", "N"},
    // ITRF2020 and WGS 84 (G2296), the same system within 1 to 2 cm (EPSG:10608, a null
    // transformation), 2D and 3D.
    {9989,  9989,  5, kGeo,  kNone, kNone, "ITRF2020", "", HeightKind::Ellipsoidal},  // 3D
    {9990,  9990,  5, kGeo,  kNone, kNone, "ITRF2020", ""},
    {10605, 10605, 5, kGeo,  kNone, kNone, "WGS 84 (G2296)", "", HeightKind::Ellipsoidal},  // 3D
    {10606, 10606, 5, kGeo,  kNone, kNone, "WGS 84 (G2296)", ""},
    // Pulkovo 1942(83): Krassowsky 1940, 3 and 6 deg Gauss-Krueger.
    {4178,  4178,  4, kGeo,  kNone, kNone, "Pulkovo 1942(83)", ""},
    {2397,  2399,  4, kGrid, 3,     3,     "Pulkovo 1942(83) / 3-degree Gauss-Kruger zone ", ""},
    {3834,  3836,  4, kGrid, 2,     6,     "Pulkovo 1942(83) / Gauss-Kruger zone ", ""},
    {3841,  3841,  4, kGrid, 6,     3,     "Pulkovo 1942(83) / 3-degree Gauss-Kruger zone ", ""},
    {4417,  4417,  4, kGrid, 7,     3,     "Pulkovo 1942(83) / 3-degree Gauss-Kruger zone ", ""},
    {4434,  4434,  4, kGrid, 8,     3,     "Pulkovo 1942(83) / 3-degree Gauss-Kruger zone ", ""},
    {5664,  5665,  4, kGrid, 2,     6,     "Pulkovo 1942(83) / Gauss-Kruger zone ", " (E-N)"},
    {5673,  5675,  4, kGrid, 3,     3,     "Pulkovo 1942(83) / 3-degree Gauss-Kruger zone ", " (E-N)"},
};
// clang-format on

std::vector<EpsgCode> expandRuns() {
  std::vector<EpsgCode> codes;
  for (const CodeRun& run : kCodeRuns) {
    for (int code = run.firstCode; code <= run.lastCode; ++code) {
      const int zone = run.type == kGrid ? run.firstZone + (code - run.firstCode) : kNone;
      std::string name = run.prefix;
      if (run.type == kGrid) name += std::to_string(zone);
      name += run.suffix;
      codes.push_back(
          {code, std::move(name), {run.type, run.system}, zone, run.zoneWidth, run.height});
    }
  }
  std::sort(codes.begin(), codes.end(),
            [](const EpsgCode& a, const EpsgCode& b) { return a.code < b.code; });
  return codes;
}

const std::vector<EpsgCode>& table() {
  static const std::vector<EpsgCode> codes = expandRuns();
  return codes;
}

}  // namespace

std::span<const EpsgCode> epsgCodes() {
  return table();
}

const EpsgCode* findEpsgCode(int code) {
  const std::vector<EpsgCode>& codes = table();
  const auto found = std::lower_bound(codes.begin(), codes.end(), code,
                                      [](const EpsgCode& row, int c) { return row.code < c; });
  return found != codes.end() && found->code == code ? &*found : nullptr;
}

namespace {

// EPSG numbers the zones of one grid in a run, e.g. ETRS89 / UTM zones 28N-38N are 25828-25838:
// a code a few numbers from a run, in its hundred, is most likely of the run's kind. Farther away
// the ranges of other kinds begin (3857, Web Mercator, among Pulkovo codes at 3834-3841).
constexpr int kCodeHundred = 100;
constexpr int kRunReach = 10;
constexpr std::string_view kDatumEnd = " / ";  // "ETRS89 / UTM zone 32N": the datum, then the grid

// The datum of a row as EPSG names it: the whole name of a geographic CRS, the part before " / "
// of a projected one.
std::string_view datumOf(const EpsgCode& row) {
  const std::string_view name = row.name;
  return name.substr(0, name.find(kDatumEnd));
}

bool sameKind(const EpsgCode& a, const EpsgCode& b) {
  return a.system.type == b.system.type && datumOf(a) == datumOf(b);
}

}  // namespace

std::vector<int> similarEpsgCodes(int code, std::size_t count) {
  const EpsgCode* neighbour = nullptr;
  for (const EpsgCode& row : table()) {
    if (row.code / kCodeHundred != code / kCodeHundred || std::abs(row.code - code) > kRunReach) {
      continue;
    }
    if (neighbour == nullptr || std::abs(row.code - code) < std::abs(neighbour->code - code)) {
      neighbour = &row;
    }
  }
  if (neighbour == nullptr) return {};
  std::vector<int> codes;
  for (const EpsgCode& row : table()) {
    if (sameKind(row, *neighbour)) codes.push_back(row.code);
  }
  const auto distance = [code](int other) {
    return std::abs(static_cast<long long>(other) - code);
  };
  std::stable_sort(codes.begin(), codes.end(),
                   [&](int a, int b) { return distance(a) < distance(b); });
  codes.resize(std::min(count, codes.size()));
  return codes;
}

std::vector<int> nearestEpsgCodes(int code, std::size_t count) {
  std::vector<int> codes;
  for (const EpsgCode& row : table()) codes.push_back(row.code);
  const auto distance = [code](int other) {
    return std::abs(static_cast<long long>(other) - code);
  };
  std::stable_sort(codes.begin(), codes.end(),
                   [&](int a, int b) { return distance(a) < distance(b); });
  codes.resize(std::min(count, codes.size()));
  return codes;
}

}  // namespace nuvex
