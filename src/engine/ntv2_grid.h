// NTv2 horizontal shift grids: the reader (any byte order, sub-grids nested under parents) and
// the shift itself, bilinear on the finest sub-grid that holds the point.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace nuvex::engine {

// A geographic point in radians, east and north positive.
struct Radians {
  double longitude;
  double latitude;
};

// One sub-grid, converted to east-positive radians when read. Nodes run row by row from the
// south, each row from the west (the file stores each row from the east).
struct Ntv2SubGrid {
  std::string name;
  double west, south, east, north;     // rad
  double longitudeStep, latitudeStep;  // rad
  double edgeTolerance;                // rad: how far outside a point still belongs
  int columns, rows;
  // Per node the latitude shift, then the east-positive longitude shift (rad, single precision
  // as the file carries them).
  std::vector<float> shifts;
  std::vector<std::size_t> children;  // indices of the sub-grids nested directly inside
};

class Ntv2Grid {
 public:
  // Reads an NTv2 file from its bytes. `origin` names the file in every error. Throws
  // std::invalid_argument naming the origin and what is wrong; never reads outside the bytes.
  Ntv2Grid(const unsigned char* bytes, std::size_t size, const std::string& origin);

  // Reads the file at path (errors name it: missing, unreadable, or as above).
  static Ntv2Grid fromFile(const std::string& path);

  // The finest sub-grid that holds the point (edges and a tolerance of 1e-5 of the steps beyond
  // them included: such a point takes the edge's shift), or null.
  const Ntv2SubGrid* subGridAt(Radians point) const;

  // Adds the interpolated shift to the point. Returns false (point untouched) outside the grid.
  bool shiftForward(Radians& point) const;
  // The point whose forward shift is the given one, iterated to 1e-12 rad. Returns false
  // (point untouched) outside the grid or when the iteration does not settle.
  bool shiftInverse(Radians& point) const;

  // Interpolated shift (rad) on one sub-grid, or false outside it.
  static bool interpolate(const Ntv2SubGrid& grid, Radians point, Radians& shift);

  const std::vector<Ntv2SubGrid>& subGrids() const { return subGrids_; }
  const std::string& origin() const { return origin_; }

 private:
  std::string origin_;
  std::vector<Ntv2SubGrid> subGrids_;
  std::vector<std::size_t> topLevel_;
};

}  // namespace nuvex::engine
