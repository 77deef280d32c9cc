// Truncation of doubles to int without undefined behaviour for values an int cannot hold.
#pragma once

#include <climits>
#include <cmath>

namespace nuvex::engine {

// Truncates toward zero; values beyond the int range saturate, NaN gives 0. The engine's zone and
// degree numbers come from caller data, which may be anything.
inline int truncateToInt(double value) {
  if (std::isnan(value)) return 0;
  const double whole = std::trunc(value);
  if (whole >= static_cast<double>(INT_MAX)) return INT_MAX;
  if (whole <= static_cast<double>(INT_MIN)) return INT_MIN;
  return static_cast<int>(whole);
}

}  // namespace nuvex::engine
