// The published parameters of the official datum transformations: the ellipsoids they run
// through and EPSG:1775 ("Pulkovo 1942(83) to ETRS89 (2)") with its area of use.
#pragma once

#include "engine/ellipsoids.h"

namespace nuvex::engine {

// The Krassowsky flattening (the semi-major axis is the geodetic row's own, which equals the
// defining one) and GRS80, onto which EPSG:1775 is defined: ellipsoids.h.
inline constexpr double kKrassowskyInverseFlattening = kKrassowsky1940.inverseFlattening;

// A seven-parameter transformation in the Position Vector convention, applied to geocentric
// coordinates: X' = T + (1 + s) R X with the rotations taken as small angles.
struct HelmertParameters {
  double tx, ty, tz;  // m
  double rx, ry, rz;  // arc seconds
  double scale;       // parts per million
};

inline constexpr HelmertParameters kPulkovo83ToEtrs89{24.9,   -126.4, -93.2, -0.063,
                                                      -0.247, -0.041, 1.01};

// Where EPSG:1775 applies (deg, edges included), on the Krassowsky side.
struct AreaOfUse {
  double south, north, west, east;
};

inline constexpr AreaOfUse kPulkovo83ToEtrs89Area{50.2, 54.74, 9.92, 15.04};

}  // namespace nuvex::engine
