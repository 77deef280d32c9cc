// The linear datum shifts LIN14 (systems 1 -> 4) and LIN34 (systems 3 -> 4).
#include "engine/linear_shifts.h"

#include "nuvex/engine.h"

namespace nuvex {
namespace {

using engine::LinearShift;
using engine::LinearShiftPair;

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
  applyPair(engine::kLin14, latitude, longitude, latShift, lonShift);
}

void LIN34(const double& latitude, const double& longitude, double& latShift, double& lonShift) {
  applyPair(engine::kLin34, latitude, longitude, latShift, lonShift);
}

}  // namespace nuvex
