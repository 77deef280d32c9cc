// Zone rules and series constants of the transverse Mercator projection, read by the scalar
// routines and by the vector path alike.
#pragma once

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

}  // namespace nuvex::engine
