// Coefficients of the linear datum shifts LIN14 and LIN34, read by the routines and by the vector
// path alike.
#pragma once

namespace nuvex::engine {

// d = -((p * longitude + q * latitude) + r), arc seconds from degrees.
struct LinearShift {
  double p;  // arc seconds per degree of longitude
  double q;  // arc seconds per degree of latitude
  double r;  // arc seconds
};

struct LinearShiftPair {
  LinearShift latitude;
  LinearShift longitude;
};

inline constexpr LinearShiftPair kLin14{{0.03051, 0.45799, -20.79045},
                                        {0.57098, -0.07783, -3.99976}};
inline constexpr LinearShiftPair kLin34{{0.06914, 0.03808, -4.30836}, {0.00448, -0.13721, 0.41574}};

}  // namespace nuvex::engine
