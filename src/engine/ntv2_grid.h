// NTv2 horizontal shift grids: the reader (any byte order, sub-grids nested under parents) and
// the shift itself, bilinear on the finest sub-grid that holds the point. The same model holds a
// GeoTIFF horizontal offset grid (engine/geotiff_grid.h reads it into an Ntv2Grid): one loader
// per file format, one lookup and shift.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace nuvex::engine {

// A point this many (latitude step + longitude step) outside a sub-grid still belongs to it and
// takes the shift of the nearest edge, as in the reference implementation: about 0.3 m for a
// grid of 6' x 10'. The same for every file format.
inline constexpr double kSubGridEdgeTolerance = 1e-5;

// A geographic point in radians, east and north positive.
struct Radians {
  double longitude;
  double latitude;
};

// One sub-grid, converted to east-positive radians when read. Nodes run row by row from the
// south, each row from the west (the file stores each row from the east). The edges lie within
// +-90 deg of latitude and +-180 deg of longitude, a whole number of steps apart: east and north
// are those of the last column and row of nodes.
struct Ntv2SubGrid {
  std::string name;                    // as the file has it (trailing blanks removed)
  double west, south, east, north;     // rad
  double longitudeStep, latitudeStep;  // rad
  double edgeTolerance;                // rad: how far outside a point still belongs
  int columns, rows;
  // Per node the latitude shift, then the east-positive longitude shift (rad, single precision
  // as the file carries them).
  std::vector<float> shifts;
  std::vector<std::size_t> children;  // indices of the sub-grids nested directly inside
};

// What the overview header says the grid shifts between: the names of the two datums (as the
// file has them, free text) and their ellipsoids' semi-axes (m). A GeoTIFF grid names its datums
// by EPSG code ("EPSG:4314 (DHDN)"), with the axes of the ellipsoids nuvex knows for them (NaN
// for a code it does not know), and may name neither (named false: nothing to check).
struct Ntv2Datums {
  std::string from, to;         // SYSTEM_F, SYSTEM_T
  double majorFrom, minorFrom;  // MAJOR_F, MINOR_F (m)
  double majorTo, minorTo;      // MAJOR_T, MINOR_T (m)
  bool fromNamed = true, toNamed = true;
};

// The inverse shift iterates on the forward one until a step is this small (rad), at most so often.
inline constexpr int kMaxInverseIterations = 10;
inline constexpr double kInverseTolerance = 1e-12;

class Ntv2Grid {
 public:
  // Reads an NTv2 file from its bytes. `origin` names the file in every error. Throws
  // std::invalid_argument naming the origin and what is wrong (text taken from the file shown
  // through printableText); never reads outside the bytes. Every sub-grid header is checked, and
  // the nodes they declare found within the bytes, before the nodes of any sub-grid are read.
  Ntv2Grid(const unsigned char* bytes, std::size_t size, const std::string& origin);

  // Reads the file at path: a regular file only (a directory, device, pipe or socket is refused
  // before it is opened). The headers are read first and the nodes they declare checked against
  // the file's size before anything is allocated for them. Every failure, including one of the
  // file system, is a std::invalid_argument naming the path and the fault.
  static Ntv2Grid fromFile(const std::string& path);

  // A grid another loader has read: `kind` names the format in messages ("GeoTIFF grid"), the
  // sub-grids hold their children's indices and `topLevel` those of the sub-grids nested in none.
  Ntv2Grid(std::string kind, std::string origin, Ntv2Datums datums,
           std::vector<Ntv2SubGrid> subGrids, std::vector<std::size_t> topLevel);

  // The finest sub-grid that holds the point (edges and a tolerance of 1e-5 of the steps beyond
  // them included: such a point takes the edge's shift), or null.
  const Ntv2SubGrid* subGridAt(Radians point) const;

  // Adds the interpolated shift to the point. Returns false (point untouched) outside the grid
  // or when the shifted point would lie beyond +-90 deg of latitude or +-180 deg of longitude.
  bool shiftForward(Radians& point) const;
  // The point whose forward shift is the given one: from the point less its shift, each
  // iteration takes the shift of the finest sub-grid that holds the current guess (as the
  // forward shift would) until the correction is below 1e-12 rad, within 10 iterations. Returns
  // false (point untouched) outside the grid, when a guess leaves it, when the iteration does not
  // settle, or for a result beyond +-90 deg of latitude or +-180 deg of longitude.
  bool shiftInverse(Radians& point) const;

  // Interpolated shift (rad) on one sub-grid, or false outside it.
  static bool interpolate(const Ntv2SubGrid& grid, Radians point, Radians& shift);

  const std::vector<Ntv2SubGrid>& subGrids() const { return subGrids_; }
  const Ntv2Datums& datums() const { return datums_; }
  const std::string& origin() const { return origin_; }
  // "NTv2 grid" or the other loader's format, for messages.
  const std::string& kind() const { return kind_; }

  class ByteSource;  // where the reader takes its bytes from (memory or a file)

 private:
  Ntv2Grid(const ByteSource& source, const std::string& origin);

  std::string kind_ = "NTv2 grid";
  std::string origin_;
  Ntv2Datums datums_{};
  std::vector<Ntv2SubGrid> subGrids_;
  std::vector<std::size_t> topLevel_;
};

// One axis of a grid's cell lookup: the cell index and the fraction within it, or false outside
// the nodes by more than the tolerance (rad). Within it, the point takes the edge node's value.
bool cellOf(double offset, double step, double tolerance, int nodes, int& index, double& fraction);

}  // namespace nuvex::engine
