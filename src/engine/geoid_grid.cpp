// The geoid grid's lookup and interpolation: the NTv2 shift's rules (finest sub-grid, edge
// tolerance, bilinear weights) on one value per node, nodes without a value left out.
#include "engine/geoid_grid.h"

#include <cmath>
#include <utility>

#include "engine/ntv2_grid.h"

namespace nuvex::engine {
namespace {

bool contains(const GeoidSubGrid& grid, double latitude, double longitude) {
  const double t = grid.edgeTolerance;
  return latitude >= grid.south - t && latitude <= grid.north + t && longitude >= grid.west - t &&
         longitude <= grid.east + t;
}

}  // namespace

GeoidGrid::GeoidGrid(std::string origin, std::vector<GeoidSubGrid> subGrids,
                     std::vector<std::size_t> topLevel)
    : origin_(std::move(origin)), subGrids_(std::move(subGrids)), topLevel_(std::move(topLevel)) {}

bool GeoidGrid::undulationAt(double latitude, double longitude, double& metres) const {
  const std::vector<std::size_t>* candidates = &topLevel_;
  const GeoidSubGrid* found = nullptr;
  // One grid without sub-grids (as GCG2016 is) needs no search.
  if (subGrids_.size() == 1) {
    if (!contains(subGrids_[0], latitude, longitude)) return false;
    found = &subGrids_[0];
    candidates = &found->children;
  }
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
  // The image holds the point: a slack of a whole step refuses nothing and only brings rounding
  // beyond the last node back to the edge's cell.
  cellOf(longitude - found->west, found->longitudeStep, found->longitudeStep, found->columns,
         column, x);
  cellOf(latitude - found->south, found->latitudeStep, found->latitudeStep, found->rows, row, y);
  const auto columns = static_cast<std::size_t>(found->columns);
  const float* v00 = found->undulations.data() + static_cast<std::size_t>(row) * columns +
                     static_cast<std::size_t>(column);
  const float* v01 = v00 + columns;
  // Nodes without a value drop out and the others' weights are scaled to one, as the reference
  // implementation does: a cell at the coast still has an undulation where any node has one.
  const double nodes[] = {v00[0], v00[1], v01[0], v01[1]};
  const double weights[] = {(1.0 - x) * (1.0 - y), x * (1.0 - y), (1.0 - x) * y, x * y};
  // Most cells hold four values: their weighted sum, in the loop's order, needs no test per node
  // and no scaling (the reference implementation scales only where a node is missing).
  const double all = ((nodes[0] * weights[0] + nodes[1] * weights[1]) + nodes[2] * weights[2]) +
                     nodes[3] * weights[3];
  if (!std::isnan(all)) {
    metres = all;
    return true;
  }
  double value = 0.0, weight = 0.0;
  for (int k = 0; k < 4; ++k) {
    if (std::isnan(nodes[k])) continue;
    value += nodes[k] * weights[k];
    weight += weights[k];
  }
  if (!(weight > 0.0)) return false;  // no node of the cell holds a value
  if (weight != 1.0) value /= weight;
  metres = value;
  return true;
}

}  // namespace nuvex::engine
