// Angles split into degrees, minutes and seconds the way every interface writes them
// (nuvex/angles.h), over the engine's DEG2DMS.
#include <cmath>
#include <cstdio>
#include <string_view>

#include "nuvex/angles.h"
#include "nuvex/engine.h"

namespace nuvex {
namespace {

constexpr double kSecondsPerDegree = 3600.0;

// Whether the seconds show as zero at that many decimals.
bool showsAsZero(double seconds, int decimals) {
  char text[64];
  const int length = std::snprintf(text, sizeof text, "%.*f", decimals, seconds);
  return std::string_view(text, static_cast<std::size_t>(length)).find_first_not_of("0.") ==
         std::string_view::npos;
}

}  // namespace

AngleParts splitAngle(double angle, int decimals) {
  double magnitude = std::fabs(angle);
  int splitDecimals = decimals;
  if (decimals < 1) {
    // DEG2DMS carries only from one decimal on: whole seconds are rounded first, so that the
    // split of the rounded angle cannot show 60 seconds.
    magnitude = std::round(magnitude * kSecondsPerDegree) / kSecondsPerDegree;
    splitDecimals = 1;
  }
  AngleParts parts{false, 0, 0, 0.0};
  DEG2DMS(magnitude, parts.degrees, parts.minutes, parts.seconds, splitDecimals);
  const bool zero =
      parts.degrees == 0 && parts.minutes == 0 && showsAsZero(parts.seconds, decimals);
  parts.negative = angle < 0.0 && !zero;
  return parts;
}

}  // namespace nuvex
