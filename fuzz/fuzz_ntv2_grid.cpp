// Fuzzes the NTv2 reader with arbitrary files: a file is either refused with
// std::invalid_argument or read, and then every sub-grid shifts points at its corners, its centre
// and just outside, both ways. Any read outside the bytes is a sanitizer report.
//
// A grid the official datum shift takes (Bessel 1841 to GRS80) also shifts points inside each
// sub-grid, near its edges and nodes, on the vector path's official stage (where the processor
// has AVX2) and on the scalar path: a lane the vector stage serves must be one the scalar path
// converts, to the same point; a lane it leaves must be untouched.
#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <numbers>
#include <stdexcept>
#include <utility>
#include <vector>

#include "engine/batch.h"
#include "engine/ntv2_grid.h"
#include "engine/official_datum.h"
#include "engine/point_conversion.h"
#include "grid_probes.h"
#if NUVEX_VECTOR_PATH_BUILT
#include "engine/vector/official_lanes.h"
#endif

namespace {

using nuvex::engine::Ntv2Grid;
using nuvex::engine::Ntv2SubGrid;
using nuvex::engine::Radians;

using nuvex::fuzz::shiftAround;

#if NUVEX_VECTOR_PATH_BUILT
constexpr double kDegreesPerRadian = 180.0 / std::numbers::pi;
constexpr std::size_t kLanes = nuvex::engine::kVectorLanes;
constexpr std::size_t kMaxSubGrids = 8;  // sub-grids whose points are shifted on both paths
constexpr double kSameResult = 1e-9;     // deg: the vector stage's last bits

// Points (deg) inside a sub-grid and on its edges: fractions of its extent, the nodes next to
// its edges and the edges themselves, within the edge tolerance and beyond it.
std::vector<Radians> pointsOf(const Ntv2SubGrid& sub) {
  const double t = sub.edgeTolerance;
  const double along[] = {0.0, 0.013, 0.25, 0.5, 0.77, 0.999, 1.0};
  std::vector<Radians> points;
  for (double fx : along) {
    for (double fy : along) {
      points.push_back(
          {sub.west + fx * (sub.east - sub.west), sub.south + fy * (sub.north - sub.south)});
    }
  }
  const double middleLongitude = (sub.west + sub.east) / 2,
               middleLatitude = (sub.south + sub.north) / 2;
  for (double d : {-2.0 * t, -0.5 * t, 0.5 * t, 2.0 * t, sub.longitudeStep / 2}) {
    points.push_back({sub.east + d, middleLatitude});
    points.push_back({sub.west - d, middleLatitude});
    points.push_back({middleLongitude, sub.north + d});
    points.push_back({middleLongitude, sub.south - d});
    points.push_back({sub.east - sub.longitudeStep + d, sub.north - sub.latitudeStep + d});
  }
  for (Radians& p : points) p = {p.longitude * kDegreesPerRadian, p.latitude * kDegreesPerRadian};
  return points;
}

// Both directions of the grid shift, eight lanes at a time, against the scalar path.
void compareKernelPaths(const std::shared_ptr<const Ntv2Grid>& grid) {
  if (!nuvex::engine::kernelPathAvailable(nuvex::engine::KernelPath::Vector)) return;
  std::vector<Radians> points;
  for (std::size_t i = 0; i < grid->subGrids().size() && i < kMaxSubGrids; ++i) {
    const std::vector<Radians> more = pointsOf(grid->subGrids()[i]);
    points.insert(points.end(), more.begin(), more.end());
  }
  for (const auto& [from, to] : {std::pair{1, 3}, std::pair{3, 1}}) {
    const nuvex::engine::OfficialDatum datum(from, to, grid);
    for (std::size_t first = 0; first < points.size(); first += kLanes) {
      double latitude[kLanes], longitude[kLanes];
      for (std::size_t k = 0; k < kLanes; ++k) {
        const Radians& p = points[(first + k) % points.size()];
        latitude[k] = p.latitude;
        longitude[k] = p.longitude;
      }
      double vectorLatitude[kLanes], vectorLongitude[kLanes];
      std::copy(latitude, latitude + kLanes, vectorLatitude);
      std::copy(longitude, longitude + kLanes, vectorLongitude);
      const unsigned served = nuvex::engine::shiftOfficialLanes(
          datum, vectorLatitude, vectorLongitude, nullptr, nullptr, (1u << kLanes) - 1);
      for (std::size_t k = 0; k < kLanes; ++k) {
        double scalarLatitude = latitude[k], scalarLongitude = longitude[k];
        const nuvex::RangeProblem problem = datum.shift(scalarLatitude, scalarLongitude);
        if ((served & (1u << k)) == 0) {
          if (vectorLatitude[k] != latitude[k] || vectorLongitude[k] != longitude[k]) {
            __builtin_trap();  // a lane left to the scalar path was changed
          }
          continue;
        }
        if (problem != nuvex::RangeProblem::None ||
            !(std::fabs(vectorLatitude[k] - scalarLatitude) <= kSameResult) ||
            !(std::fabs(vectorLongitude[k] - scalarLongitude) <= kSameResult)) {
          __builtin_trap();  // the vector stage converted what the scalar path does not, or
                             // to another point
        }
      }
    }
  }
}
#endif

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::shared_ptr<const Ntv2Grid> grid;
  try {
    grid = std::make_shared<const Ntv2Grid>(data, size, "fuzz input");
  } catch (const std::invalid_argument&) {
    return 0;
  }
  for (const Ntv2SubGrid& sub : grid->subGrids()) shiftAround(*grid, sub);
#if NUVEX_VECTOR_PATH_BUILT
  try {
    nuvex::engine::requireBesselToGrs80(*grid);
  } catch (const std::invalid_argument&) {
    return 0;  // not a grid for the official shift
  }
  compareKernelPaths(grid);
#endif
  return 0;
}
