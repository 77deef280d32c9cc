// The linear datum shifts LIN14 (systems 1 -> 4) and LIN34 (systems 3 -> 4).
#include "nuvex/engine.h"

namespace nuvex {
namespace {

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

constexpr LinearShiftPair kLin14{{0.03051, 0.45799, -20.79045}, {0.57098, -0.07783, -3.99976}};
constexpr LinearShiftPair kLin34{{0.06914, 0.03808, -4.30836}, {0.00448, -0.13721, 0.41574}};

double evaluate(const LinearShift& shift, double latitude, double longitude) {
  return -((shift.p * longitude + shift.q * latitude) + shift.r);
}

void applyPair(const LinearShiftPair& pair, double latitude, double longitude, double& latShift,
               double& lonShift) {
  latShift = evaluate(pair.latitude, latitude, longitude);
  lonShift = evaluate(pair.longitude, latitude, longitude);
}

}  // namespace

void LIN14(const double& latitude, const double& longitude, double& latShift, double& lonShift) {
  applyPair(kLin14, latitude, longitude, latShift, lonShift);
}

void LIN34(const double& latitude, const double& longitude, double& latShift, double& lonShift) {
  applyPair(kLin34, latitude, longitude, latShift, lonShift);
}

}  // namespace nuvex
