// The published parameters of the official datum transformations: the ellipsoids they run
// through and EPSG:1775 ("Pulkovo 1942(83) to ETRS89 (2)") with its area of use.
#pragma once

namespace nuvex::engine {

// An ellipsoid by its defining constants. The semi-major axes of systems 1 and 4 are the
// geodetic rows' own (geodetic_tables.h); the flattenings are the defining ones.
struct Ellipsoid {
  double semiMajorAxis;      // m
  double inverseFlattening;  // 1/f
};

inline constexpr double kKrassowskyInverseFlattening = 298.3;
// GRS80, the ellipsoid of ETRS89, onto which EPSG:1775 is defined. System 3's grid keeps the
// engine's WGS84 row: the two ellipsoids differ by 0.1 mm in the semi-minor axis, which moves a
// UTM coordinate in Germany by at most 0.2 mm.
inline constexpr Ellipsoid kGrs80{6378137.0, 298.257222101};

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
