// The even multiple-angle sines of the projection series, from one sine/cosine pair.
#pragma once

namespace nuvex::engine {

struct EvenMultipleSines {
  double sin2;  // sin 2x
  double sin4;
  double sin6;
  double sin8;
  double sin10;
};

// Chebyshev recurrence sin((k+1)y) = 2 cos y sin(ky) - sin((k-1)y) with y = 2x. It replaces four
// sine calls per series; it adds a few units in the last place of each sine, which even the
// largest series coefficient keeps far under a micrometre.
inline EvenMultipleSines multipleSinesOfDoubleAngle(double sin2x, double cos2x) {
  const double twoCos = 2.0 * cos2x;
  EvenMultipleSines s{};
  s.sin2 = sin2x;
  s.sin4 = twoCos * s.sin2;
  s.sin6 = twoCos * s.sin4 - s.sin2;
  s.sin8 = twoCos * s.sin6 - s.sin4;
  s.sin10 = twoCos * s.sin8 - s.sin6;
  return s;
}

// The same from sin x and cos x (double-angle formulas), for callers that need both anyway.
inline EvenMultipleSines multipleSinesOfAngle(double sinX, double cosX) {
  return multipleSinesOfDoubleAngle(2.0 * sinX * cosX, (cosX - sinX) * (cosX + sinX));
}

}  // namespace nuvex::engine
