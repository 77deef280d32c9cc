// Zone rules and series constants of the transverse Mercator projection, read by the scalar
// routines and by the vector path alike.
#pragma once

#include <cmath>

namespace nuvex::engine {

inline constexpr int kBesselSystem = 1;
inline constexpr int kKrassowskySystem = 4;
inline constexpr int kThreeDegreeZoneWidth = 3;
inline constexpr double kThreeDegreeZone = 3.0;             // deg
inline constexpr double kSixDegreeZone = 6.0;               // deg
inline constexpr double kHalfThreeDegreeZone = 1.5;         // deg: 3 deg zones are centred on 3*z
inline constexpr double kUtmZoneOffset = 31.0;              // UTM zone 31 starts at 0 deg
inline constexpr double kUtmCentralMeridianOffset = 183.0;  // deg: central meridian 6*z - 183
inline constexpr double kRoundingHalf = 0.5;
// Only an easting of eight digits carries a UTM zone; 5500000 is a plain (if odd) easting.
inline constexpr double kSmallestPrefixedUtmEasting = 10000000.0;  // m

// 1/k! of the series terms, multiplied rather than divided by (the divider is the bottleneck).
inline constexpr double kInverseFactorial2 = 1.0 / 2.0;
inline constexpr double kInverseFactorial3 = 1.0 / 6.0;
inline constexpr double kInverseFactorial4 = 1.0 / 24.0;
inline constexpr double kInverseFactorial5 = 1.0 / 120.0;
inline constexpr double kInverseFactorial6 = 1.0 / 720.0;

// Gauss-Krueger systems carry the zone in the easting's millions.
inline bool isGaussKrueger(int system) {
  return system == kBesselSystem || system == kKrassowskySystem;
}

inline bool usesThreeDegreeZones(int system, int zoneWidth) {
  return system == kBesselSystem ||
         (system == kKrassowskySystem && zoneWidth == kThreeDegreeZoneWidth);
}

// Central meridian (deg) of a zone.
inline double centralMeridianOfZone(int system, int zoneWidth, int zone) {
  if (usesThreeDegreeZones(system, zoneWidth)) return kThreeDegreeZone * zone;
  if (system == kKrassowskySystem) return (zone - 1.0) * kSixDegreeZone + kThreeDegreeZone;
  return zone * kSixDegreeZone - kUtmCentralMeridianOffset;
}

// Zone number carried in a Gauss-Krueger easting, recomputed from the central meridian (deg):
// rounded half away from zero. Kept in double so that any central meridian is safe.
inline double zonePrefixOfCentralMeridian(int system, int zoneWidth, double centralMeridian) {
  const double q = usesThreeDegreeZones(system, zoneWidth)
                       ? centralMeridian / kThreeDegreeZone
                       : (centralMeridian - kThreeDegreeZone) / kSixDegreeZone + 1.0;
  return std::trunc(q < 0.0 ? q - kRoundingHalf : q + kRoundingHalf);
}

// The western edge (deg) of the longitudes a grid's zones number from the longitude: -180 for
// UTM zones 1..60, 0 for 6 deg Gauss-Krueger zones 1..60, -1.5 for 3 deg zones 0..119. A
// longitude is taken into [edge, edge + 360) before its zone is chosen, so that 180 and -180
// fall into the same zone.
inline double westernEdgeOfZones(int system, int zoneWidth) {
  if (usesThreeDegreeZones(system, zoneWidth)) return -kHalfThreeDegreeZone;
  if (system == kKrassowskySystem) return 0.0;
  return -kUtmCentralMeridianOffset + kThreeDegreeZone;
}

}  // namespace nuvex::engine
