// The ellipsoids by their defining constants, as the geodetic authorities publish them: the
// official datum transformations run through them, and the exact transverse Mercator projects on
// them. (The engine's own series read the rows of geodetic_tables.h, whose constants are the
// engine's historical ones.)
#pragma once

namespace nuvex::engine {

struct Ellipsoid {
  double semiMajorAxis;      // a (m)
  double inverseFlattening;  // 1/f
};

inline constexpr Ellipsoid kBessel1841{6377397.155, 299.1528128};
inline constexpr Ellipsoid kInternational1924{6378388.0, 297.0};
inline constexpr Ellipsoid kWgs84{6378137.0, 298.257223563};
inline constexpr Ellipsoid kKrassowsky1940{6378245.0, 298.3};
// GRS80, the ellipsoid of ETRS89: system 3 in the official datum mode.
inline constexpr Ellipsoid kGrs80{6378137.0, 298.257222101};

}  // namespace nuvex::engine
