// Constant geodetic data of the four systems: ellipsoid, grid scale, and the coefficients of the
// meridian arc and footpoint latitude series. Rows are read by system code (1..4).
#pragma once

#include <array>

namespace nuvex::engine {

// Degrees per radian as the engine stores it. Every angle conversion uses this value, not 180/pi
// at full precision: the series coefficients were fitted against it.
inline constexpr double kDegreesPerRadian = 57.2957795131;

inline constexpr int kFirstSystem = 1;
inline constexpr int kLastSystem = 4;
inline constexpr int kSystemCount = kLastSystem - kFirstSystem + 1;

inline constexpr double kFalseEasting = 500000.0;     // m, added after scaling by k0
inline constexpr double kZoneMultiplier = 1000000.0;  // m per zone number in an easting

struct GeodeticRow {
  double semiMajorAxis;       // a (m)
  double secondEccentricity;  // e' (dimensionless)
  double scaleFactor;         // k0 (dimensionless)
  double arc[6];              // meridian arc: c0 (m per degree), c1..c5 (m)
  double footpoint[5];        // footpoint latitude: b1..b5 (deg)
};

// Row i - 1 belongs to system code i.
extern const std::array<GeodeticRow, kSystemCount> kGeodeticRows;

inline bool isKnownSystem(int system) {
  return system >= kFirstSystem && system <= kLastSystem;
}

// The row of a known system code; callers check isKnownSystem first.
inline const GeodeticRow& geodeticRow(int system) {
  return kGeodeticRows[static_cast<std::size_t>(system - kFirstSystem)];
}

}  // namespace nuvex::engine
