// Degrees, minutes and seconds in the C interface, with the converter's conventions: the sign
// belongs to the whole angle, the parts are those of its magnitude, and seconds that would show
// as 60 at the caller's decimals are carried (the engine's DEG2DMS).
#include "nuvex/angles.h"

#include <cmath>
#include <cstdint>
#include <string>

#include "host/c_api/boundary.h"
#include "nuvex/engine.h"
#include "nuvex/nuvex.h"

namespace nuvex::c_api {
namespace {

constexpr double kSexagesimalBase = 60.0;  // minutes per degree, seconds per minute
// Degrees: larger values are no angle (as the converter reads them).
constexpr double kLargestDegrees = 1.0e6;

}  // namespace
}  // namespace nuvex::c_api

using nuvex::c_api::Failure;

int nuvex_deg2dms(double angle, int decimals, std::int32_t* sign, std::int32_t* degrees,
                  std::int32_t* minutes, double* seconds, nuvex_error* error) {
  using namespace nuvex::c_api;
  return guarded(error, [&] {
    requirePointer(sign, "sign");
    requirePointer(degrees, "degrees");
    requirePointer(minutes, "minutes");
    requirePointer(seconds, "seconds");
    if (!std::isfinite(angle)) throw Failure(NUVEX_ERROR_ARGUMENT, "angle is not a finite number");
    if (std::fabs(angle) > kLargestDegrees) {
      throw Failure(NUVEX_ERROR_ARGUMENT,
                    "angle " + std::to_string(angle) + " deg is beyond +-1e6 deg");
    }
    if (decimals < 0 || decimals > nuvex::kMostSecondDecimals) {
      throw Failure(NUVEX_ERROR_ARGUMENT,
                    "decimals " + std::to_string(decimals) + " is not 0 to 10");
    }
    const nuvex::AngleParts parts = nuvex::splitAngle(angle, decimals);
    *sign = parts.negative ? -1 : 1;
    *degrees = parts.degrees;
    *minutes = parts.minutes;
    *seconds = parts.seconds;
  });
}

int nuvex_dms2deg(std::int32_t sign, std::int32_t degrees, std::int32_t minutes, double seconds,
                  double* angle, nuvex_error* error) {
  using namespace nuvex::c_api;
  return guarded(error, [&] {
    requirePointer(angle, "angle");
    if (degrees < 0 || degrees > kLargestDegrees) {
      throw Failure(NUVEX_ERROR_ARGUMENT, "degrees " + std::to_string(degrees) +
                                              " are not 0 to 1000000 (the sign is apart)");
    }
    if (minutes < 0 || minutes >= kSexagesimalBase) {
      throw Failure(NUVEX_ERROR_ARGUMENT,
                    "minutes " + std::to_string(minutes) + " are not 0 to 59");
    }
    if (!(seconds >= 0.0 && seconds < kSexagesimalBase)) {
      throw Failure(NUVEX_ERROR_ARGUMENT,
                    "seconds " + std::to_string(seconds) + " are not 0 to below 60");
    }
    const double magnitude = nuvex::DMS2DEG(degrees, minutes, seconds);
    *angle = sign < 0 ? -magnitude : magnitude;
  });
}
