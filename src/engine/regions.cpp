// The regions of validity of the datum shifts: two coarse masks of 20' x 12' cells.
#include <array>
#include <cmath>
#include <cstdint>

#include "engine/region_grid.h"
#include "nuvex/engine.h"

namespace nuvex {
namespace {

// The inside cells of one mask row: columns first..last (1-based), or none when first is 0.
struct ColumnRun {
  int first;
  int last;
};

constexpr ColumnRun kNone{0, 0};

using engine::kColumnsPerDegree;
using engine::kRowsPerDegree;

template <std::size_t Rows>
struct RegionMask {
  double westEdge;   // deg, western edge of column 1
  double southEdge;  // deg, southern edge of row 1
  int columns;
  std::array<ColumnRun, Rows> rows;  // row 1 first (southernmost)
};

// Region A: 27 columns from 5 deg E, 41 rows from 47 deg N.
constexpr RegionMask<41> kRegionA{
    engine::kRegionAWestEdge,
    engine::kRegionASouthEdge,
    27,
    {{
        kNone,   {16, 19}, {8, 25}, {8, 25}, {8, 25}, {8, 25}, {8, 27}, {8, 27}, {8, 27},
        {8, 27}, {4, 27},  {4, 27}, {4, 24}, {4, 23}, {4, 23}, {4, 23}, {4, 22}, {4, 22},
        {3, 18}, {3, 18},  {3, 18}, {3, 18}, {3, 18}, {3, 18}, {3, 18}, {5, 20}, {5, 20},
        {5, 20}, {5, 20},  {5, 20}, {5, 20}, {5, 20}, {5, 20}, {5, 20}, {5, 20}, {9, 20},
        {9, 20}, {9, 20},  {9, 20}, {9, 20}, {9, 15},
    }},
};

// Region B: 17 columns from 9 deg 40' E, 24 rows from 50 deg N.
constexpr RegionMask<24> kRegionB{
    engine::kRegionBWestEdge,
    engine::kRegionBSouthEdge,
    17,
    {{
        {2, 9},  {2, 11}, {1, 12}, {1, 17}, {1, 17}, {1, 17}, {1, 17}, {1, 17},
        {3, 17}, {3, 17}, {3, 17}, {4, 16}, {4, 16}, {4, 16}, {4, 15}, {4, 15},
        {3, 15}, {3, 15}, {4, 15}, {4, 15}, {4, 15}, {6, 15}, {8, 13}, {11, 13},
    }},
};

// 1-based cell index of a coordinate: 1 + trunc(perDegree * (value - edge)), or 0 when it falls
// outside 1..count. The range is checked in double before any conversion, so non-finite or far
// away coordinates are simply outside.
int cellIndex(double value, double edge, double perDegree, int count) {
  const double offset = std::trunc(perDegree * (value - edge));
  if (!(offset >= 0.0 && offset < static_cast<double>(count))) return 0;
  return 1 + static_cast<int>(offset);
}

template <std::size_t Rows>
int inside(const RegionMask<Rows>& mask, double latitude, double longitude) {
  const int column = cellIndex(longitude, mask.westEdge, kColumnsPerDegree, mask.columns);
  const int row = cellIndex(latitude, mask.southEdge, kRowsPerDegree, static_cast<int>(Rows));
  if (column == 0 || row == 0) return 0;
  const ColumnRun& run = mask.rows[static_cast<std::size_t>(row - 1)];
  return run.first != 0 && column >= run.first && column <= run.last ? 1 : 0;
}

// One word of bits per mask row (bit c: column c + 1 is inside).
template <std::size_t Rows>
constexpr std::array<std::uint32_t, Rows> rowBitsOf(const RegionMask<Rows>& mask) {
  std::array<std::uint32_t, Rows> bits{};
  for (std::size_t r = 0; r < Rows; ++r) {
    const ColumnRun& run = mask.rows[r];
    if (run.first == 0) continue;
    for (int column = run.first; column <= run.last; ++column) bits[r] |= 1u << (column - 1);
  }
  return bits;
}

static_assert(kRegionA.columns <= 32 && kRegionB.columns <= 32, "a mask row must fit one word");
constexpr auto kRegionARowBits = rowBitsOf(kRegionA);
constexpr auto kRegionBRowBits = rowBitsOf(kRegionB);

constexpr int kInsideRegionBCode = 2;
constexpr int kOutsideRegionCode = -1;

}  // namespace

int INREGA(const double& latitude, const double& longitude) {
  return inside(kRegionA, latitude, longitude);
}

int INREGB(const double& latitude, const double& longitude) {
  return inside(kRegionB, latitude, longitude);
}

int REGBCODE(const double& latitude, const double& longitude, int& regionCode) {
  const int result = INREGB(latitude, longitude);
  regionCode = result != 0 ? kInsideRegionBCode : kOutsideRegionCode;
  return result;
}

namespace engine {

const RegionBits& regionBitsA() {
  static constexpr RegionBits bits{kRegionA.westEdge, kRegionA.southEdge, kRegionA.columns,
                                   static_cast<int>(kRegionARowBits.size()),
                                   kRegionARowBits.data()};
  return bits;
}

const RegionBits& regionBitsB() {
  static constexpr RegionBits bits{kRegionB.westEdge, kRegionB.southEdge, kRegionB.columns,
                                   static_cast<int>(kRegionBRowBits.size()),
                                   kRegionBRowBits.data()};
  return bits;
}

}  // namespace engine
}  // namespace nuvex
