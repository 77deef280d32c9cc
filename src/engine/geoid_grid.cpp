// The geoid grid's lookup and interpolation: the NTv2 shift's rules (finest sub-grid, edge
// tolerance, weights) on one value per node.
#include "engine/geoid_grid.h"

#include <cmath>
#include <utility>

namespace nuvex::engine {
namespace {

bool contains(const GeoidSubGrid& grid, double latitude, double longitude) {
  const double t = grid.edgeTolerance;
  return latitude >= grid.south - t && latitude <= grid.north + t && longitude >= grid.west - t &&
         longitude <= grid.east + t;
}

// The cell index and the fraction within it along one axis; a point within the tolerance beyond
// the last node takes the edge's value.
void cellOf(double offset, double step, int nodes, int& index, double& fraction) {
  const double scaled = offset / step;
  const double last = static_cast<double>(nodes - 1);
  if (scaled <= 0.0) {
    index = 0;
    fraction = 0.0;
  } else if (scaled >= last) {
    index = nodes - 2;
    fraction = 1.0;
  } else {
    const double cell = std::floor(scaled);
    index = static_cast<int>(cell);
    fraction = scaled - cell;
  }
}

}  // namespace

GeoidGrid::GeoidGrid(std::string origin, std::vector<GeoidSubGrid> subGrids,
                     std::vector<std::size_t> topLevel)
    : origin_(std::move(origin)), subGrids_(std::move(subGrids)), topLevel_(std::move(topLevel)) {}

bool GeoidGrid::undulationAt(double latitude, double longitude, double& metres) const {
  const std::vector<std::size_t>* candidates = &topLevel_;
  const GeoidSubGrid* found = nullptr;
  for (bool descended = true; descended;) {
    descended = false;
    for (std::size_t index : *candidates) {
      if (contains(subGrids_[index], latitude, longitude)) {
        found = &subGrids_[index];
        candidates = &found->children;
        descended = true;
        break;
      }
    }
  }
  if (found == nullptr) return false;  // NaN coordinates too
  int column = 0, row = 0;
  double x = 0.0, y = 0.0;
  cellOf(longitude - found->west, found->longitudeStep, found->columns, column, x);
  cellOf(latitude - found->south, found->latitudeStep, found->rows, row, y);
  const auto columns = static_cast<std::size_t>(found->columns);
  const float* v00 = found->undulations.data() + static_cast<std::size_t>(row) * columns +
                     static_cast<std::size_t>(column);
  const float* v01 = v00 + columns;
  const double value = (1.0 - x) * (1.0 - y) * v00[0] + x * (1.0 - y) * v00[1] +
                       (1.0 - x) * y * v01[0] + x * y * v01[1];
  if (std::isnan(value)) return false;  // a node of the cell holds no value
  metres = value;
  return true;
}

}  // namespace nuvex::engine
