// The points the batch benchmarks convert: a lattice over UTM zone 32 and Gauss-Krueger zone 3 in
// Germany (lon 7.6..10.4, lat 47.5..54.9), as geographic coordinates and as grid coordinates of
// one zone. Shared by bench_transform and batch_rate, so that their figures are on the same points.
#pragma once

#include <cstddef>
#include <vector>

#include "nuvex/transform.h"

namespace nuvex::bench {

inline constexpr int kUtmZone = 32;  // central meridian 9 deg E

struct GeographicPoints {
  std::vector<double> longitude, latitude;  // deg
};

inline GeographicPoints lattice(std::size_t count) {
  GeographicPoints g;
  constexpr std::size_t kColumns = 500;
  const std::size_t rows = (count + kColumns - 1) / kColumns;
  for (std::size_t i = 0; i < count; ++i) {
    g.longitude.push_back(7.6 + 2.8 * static_cast<double>(i % kColumns) / kColumns);
    g.latitude.push_back(47.5 + 7.4 * static_cast<double>(i / kColumns) / rows);
  }
  return g;
}

struct GridPoints {
  std::vector<double> easting, northing;  // m
  std::vector<int> zone;
};

// The lattice (given in system 3) on the grid of a system, all in one zone.
inline GridPoints gridOf(const GeographicPoints& g, int system, int zone) {
  const Transformer t({CoordinateType::Geographic, 3}, {CoordinateType::Grid, system},
                      {3, false, zone});
  GridPoints grid{std::vector<double>(g.longitude.size()), std::vector<double>(g.longitude.size()),
                  std::vector<int>(g.longitude.size())};
  t.transform(g.longitude.size(), g.longitude.data(), g.latitude.data(), nullptr,
              grid.easting.data(), grid.northing.data(), grid.zone.data(), nullptr);
  return grid;
}

}  // namespace nuvex::bench
