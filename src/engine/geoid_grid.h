// Geoid undulation grids (the height of the geoid or quasigeoid above the ellipsoid), bilinear on
// the finest sub-grid that holds the point. Read from GeoTIFF files (engine/geotiff_grid.h); kept
// for the conversion of heights.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace nuvex::engine {

// One sub-grid in degrees, east and north positive. Nodes run row by row from the south, each row
// from the west; east and north are those of the last column and row of nodes.
struct GeoidSubGrid {
  double west, south, east, north;     // deg
  double longitudeStep, latitudeStep;  // deg
  double edgeTolerance;                // deg: how far outside a point still belongs (0 as read)
  int columns, rows;
  std::vector<float> undulations;     // m, NaN where the file holds no value
  std::vector<std::size_t> children;  // indices of the sub-grids nested directly inside
};

class GeoidGrid {
 public:
  GeoidGrid(std::string origin, std::vector<GeoidSubGrid> subGrids,
            std::vector<std::size_t> topLevel);

  // The undulation (m) at a point (deg), bilinear on the finest sub-grid that holds it (edges and
  // the sub-grids' edge tolerance included); nodes of the cell without a value are left out and
  // the others' weights scaled to one. False outside the grid and where no node of the cell
  // holds a value.
  bool undulationAt(double latitude, double longitude, double& metres) const;

  const std::vector<GeoidSubGrid>& subGrids() const { return subGrids_; }
  const std::string& origin() const { return origin_; }

 private:
  std::string origin_;
  std::vector<GeoidSubGrid> subGrids_;
  std::vector<std::size_t> topLevel_;
};

}  // namespace nuvex::engine
