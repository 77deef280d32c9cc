// Angle utilities: decimal degrees to degrees/minutes/seconds for display, and back.
#include "engine/integer_conversion.h"
#include "nuvex/engine.h"

namespace nuvex {
namespace {

constexpr double kMinutesPerDegree = 60.0;
constexpr double kSecondsPerMinute = 60.0;
constexpr double kSecondsPerDegree = 3600.0;
constexpr double kHalfUnitDigit = 5.0;  // half a unit of the last decimal is 5 / 10^(n+1)
constexpr double kDecimalBase = 10.0;

void split(double angle, int& degrees, int& minutes, double& seconds) {
  degrees = engine::truncateToInt(angle);
  const double r = (angle - degrees) * kMinutesPerDegree;
  minutes = engine::truncateToInt(r);
  seconds = (r - minutes) * kSecondsPerMinute;
}

// 10^exponent by repeated squaring (exact for every exponent a double can show exactly).
double powerOfTen(long long exponent) {
  double result = 1.0;
  double base = kDecimalBase;
  while (exponent > 0) {
    if ((exponent & 1) != 0) result *= base;
    base *= base;
    exponent >>= 1;
  }
  return result;
}

}  // namespace

void DEG2DMS(const double& angle, int& degrees, int& minutes, double& seconds,
             const int& decimals) {
  split(angle, degrees, minutes, seconds);
  if (decimals < 1) return;
  // Seconds that would be shown as 60 at this many decimals are carried into the minutes by
  // splitting the angle moved up by half a unit of the last decimal shown.
  const double half = kHalfUnitDigit / powerOfTen(static_cast<long long>(decimals) + 1);
  if (seconds >= kSecondsPerMinute - half && seconds < kSecondsPerMinute) {
    split(angle + half / kSecondsPerDegree, degrees, minutes, seconds);
  }
}

double DMS2DEG(const int& degrees, const int& minutes, const double& seconds) {
  return (minutes / kMinutesPerDegree + degrees) + seconds / kSecondsPerDegree;
}

}  // namespace nuvex
