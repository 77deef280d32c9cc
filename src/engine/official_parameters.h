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

// A time-dependent seven-parameter transformation (Position Vector): the parameters at an epoch
// t (decimal year) are at + rate * (t - referenceEpoch), each in the units above (rates per year).
struct TimeDependentHelmert {
  HelmertParameters at;
  HelmertParameters rate;
  double referenceEpoch;  // decimal year
};

// EPSG:10586, "ITRF2020 to ETRF2000 (1)": ITRF2020 (system 5) to ETRS89 on GRS80. Translations
// 53.8, 51.8, -82.2 mm (rates 0.1, 0.0, -1.7 mm/a); rotations 2.106, 12.740, -20.592 mas (rates
// 0.081, 0.490, -0.792 mas/a); scale 2.25 ppb (rate 0.11 ppb/a); reference epoch 2015.0.
inline constexpr TimeDependentHelmert kItrf2020ToEtrf2000{
    {0.0538, 0.0518, -0.0822, 0.002106, 0.012740, -0.020592, 0.00225},
    {0.0001, 0.0, -0.0017, 0.000081, 0.000490, -0.000792, 0.00011},
    2015.0};

// Where EPSG:1775 applies (deg, edges included), on the Krassowsky side.
struct AreaOfUse {
  double south, north, west, east;
};

inline constexpr AreaOfUse kPulkovo83ToEtrs89Area{50.2, 54.74, 9.92, 15.04};

}  // namespace nuvex::engine
