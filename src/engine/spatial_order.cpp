// The vector blocks in spatial order: a chunk's points sorted by the cell of a coarse lattice over
// their input coordinates, converted in that order and written back to their own places.
#include "engine/spatial_order.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <limits>
#include <memory>

#include "engine/batch.h"

namespace nuvex::engine {
namespace {

static_assert(kOrderedChunkPoints % kVectorLanes == 0, "a chunk is whole blocks");
static_assert(kOrderedChunkPoints <= 65536, "positions in a chunk are 16-bit");

// 16 x 16 cells over the extent of a chunk's points: eight points a cell on average, a block's
// worth (larger chunks in finer cells measured no better).
constexpr unsigned kCellBits = 4;
constexpr unsigned kCellsPerSide = 1u << kCellBits;
constexpr std::size_t kCells = std::size_t{1} << (2 * kCellBits);

// Later chunks are ordered when more than a quarter of the first chunk's blocks ran more than
// one branch of a stage: then the order costs less than it saves.
bool mostlyMixed(std::size_t mixedBlocks, std::size_t blocks) {
  return 4 * mixedBlocks > blocks;
}

thread_local std::size_t orderedChunks = 0;  // for orderedChunksForTesting

// The range of one coordinate over a chunk; NaN takes no part in it.
struct Extent {
  double low = std::numeric_limits<double>::infinity();
  double high = -std::numeric_limits<double>::infinity();

  void take(double value) {
    low = value < low ? value : low;
    high = value > high ? value : high;
  }
  // Cells per unit of the coordinate; 0 when the points do not spread (or spread without bound),
  // which puts them all into one cell.
  double cellsPerUnit() const {
    const double width = high - low;
    return width > 0.0 && std::isfinite(width) ? kCellsPerSide / width : 0.0;
  }
};

unsigned cellOf(double value, double low, double cellsPerUnit) {
  const double cell = (value - low) * cellsPerUnit;
  if (!(cell >= 0.0)) return 0;  // NaN as well: its place in the order does not matter
  return cell < kCellsPerSide ? static_cast<unsigned>(cell) : kCellsPerSide - 1;
}

// The bits of a cell index spread to every other bit, for the Morton order.
constexpr std::array<std::uint16_t, kCellsPerSide> kSpreadBits = [] {
  std::array<std::uint16_t, kCellsPerSide> spread{};
  for (unsigned value = 0; value < kCellsPerSide; ++value) {
    for (unsigned bit = 0; bit < kCellBits; ++bit) {
      spread[value] =
          static_cast<std::uint16_t>(spread[value] | ((value >> bit) & 1u) << (2 * bit));
    }
  }
  return spread;
}();

// Morton order of the cells: cells near in the order lie near on both axes, so eight points
// in a row of the order are neighbours whichever way the branches' edges run.
unsigned cellKey(unsigned column, unsigned row) {
  return kSpreadBits[column] | static_cast<unsigned>(kSpreadBits[row]) << 1;
}

// A chunk's points in spatial order and their results, reused from chunk to chunk.
class OrderedChunk {
 public:
  std::size_t convert(const ConversionPlan& plan, std::size_t count, const double* x,
                      const double* y, const int* zone, double* xOut, double* yOut, int* zoneOut,
                      int* status) {
    sortByCell(count, x, y);
    for (std::size_t k = 0; k < count; ++k) {
      x_[k] = x[order_[k]];
      y_[k] = y[order_[k]];
      if (zone != nullptr) zone_[k] = zone[order_[k]];
    }
    const std::size_t converted = convertVectorBlocks(
        plan, count / kVectorLanes, x_.data(), y_.data(), zone != nullptr ? zone_.data() : nullptr,
        xOut_.data(), yOut_.data(), zoneOut_.data(), status_.data());
    for (std::size_t k = 0; k < count; ++k) {
      xOut[order_[k]] = xOut_[k];
      yOut[order_[k]] = yOut_[k];
      if (zoneOut != nullptr) zoneOut[order_[k]] = zoneOut_[k];
      if (status != nullptr) status[order_[k]] = status_[k];
    }
    return converted;
  }

 private:
  // order_: the input position of each place, by a counting sort of the cells' keys (stable, so
  // the points of one cell keep their input order).
  void sortByCell(std::size_t count, const double* x, const double* y) {
    Extent xs, ys;
    for (std::size_t i = 0; i < count; ++i) {
      xs.take(x[i]);
      ys.take(y[i]);
    }
    const double xCells = xs.cellsPerUnit(), yCells = ys.cellsPerUnit();
    firstOfCell_.fill(0);
    for (std::size_t i = 0; i < count; ++i) {
      key_[i] = static_cast<std::uint16_t>(
          cellKey(cellOf(x[i], xs.low, xCells), cellOf(y[i], ys.low, yCells)));
      ++firstOfCell_[key_[i] + 1];
    }
    for (std::size_t cell = 1; cell <= kCells; ++cell) firstOfCell_[cell] += firstOfCell_[cell - 1];
    for (std::size_t i = 0; i < count; ++i) {
      order_[firstOfCell_[key_[i]]++] = static_cast<std::uint16_t>(i);
    }
  }

  std::array<std::uint16_t, kOrderedChunkPoints> order_, key_;
  std::array<std::uint32_t, kCells + 1> firstOfCell_;
  std::array<double, kOrderedChunkPoints> x_, y_, xOut_, yOut_;
  std::array<int, kOrderedChunkPoints> zone_, zoneOut_, status_;
};

}  // namespace

std::size_t convertVectorBlocksInSpatialOrder(const ConversionPlan& plan, std::size_t blocks,
                                              const double* x, const double* y, const int* zone,
                                              double* xOut, double* yOut, int* zoneOut,
                                              int* status) {
  const std::size_t count = blocks * kVectorLanes;
  std::unique_ptr<OrderedChunk> ordered;  // made once the first chunk asks for it
  std::size_t converted = 0;
  for (std::size_t begin = 0; begin < count; begin += kOrderedChunkPoints) {
    const std::size_t points = std::min(kOrderedChunkPoints, count - begin);
    const int* chunkZone = zone != nullptr ? zone + begin : nullptr;
    int* chunkZoneOut = zoneOut != nullptr ? zoneOut + begin : nullptr;
    int* chunkStatus = status != nullptr ? status + begin : nullptr;
    if (ordered != nullptr) {
      converted += ordered->convert(plan, points, x + begin, y + begin, chunkZone, xOut + begin,
                                    yOut + begin, chunkZoneOut, chunkStatus);
      ++orderedChunks;
      continue;
    }
    std::size_t mixedBlocks = 0;
    converted +=
        convertVectorBlocks(plan, points / kVectorLanes, x + begin, y + begin, chunkZone,
                            xOut + begin, yOut + begin, chunkZoneOut, chunkStatus, &mixedBlocks);
    if (begin == 0 && mostlyMixed(mixedBlocks, points / kVectorLanes)) {
      ordered.reset(new OrderedChunk);  // default-initialised: the chunk writes before it reads
    }
  }
  return converted;
}

std::size_t orderedChunksForTesting() {
  return orderedChunks;
}

}  // namespace nuvex::engine
