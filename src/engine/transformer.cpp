// Transformer: the batch path over the engine's per-point routines, without shared state.
#include <cmath>
#include <limits>
#include <stdexcept>
#include <string>

#include "engine/type_codes.h"
#include "nuvex/engine.h"
#include "nuvex/transform.h"

namespace nuvex {
namespace {

constexpr int kFirstSystem = 1;
constexpr int kLastSystem = 4;

const char* typeCode(CoordinateType type) {
  return type == CoordinateType::Grid ? "E" : "G";
}

void checkSystem(const char* side, int system) {
  if (system < kFirstSystem || system > kLastSystem) {
    throw std::invalid_argument(std::string("nuvex::Transformer: ") + side + " system " +
                                std::to_string(system) + " is not one of 1, 2, 3, 4");
  }
}

struct PointResult {
  double x;
  double y;
  int zone;
};

}  // namespace

Transformer::Transformer(CoordinateSystem from, CoordinateSystem to, ZoneChoice zones)
    : from_(from), to_(to), zones_(zones) {
  checkSystem("source", from.system);
  checkSystem("target", to.system);
  if (zones.width != 3 && zones.width != 6) {
    throw std::invalid_argument("nuvex::Transformer: zone width " + std::to_string(zones.width) +
                                " is not 3 or 6");
  }
}

std::size_t Transformer::transform(std::size_t count, const double* x, const double* y,
                                   const int* zone, double* xOut, double* yOut, int* zoneOut,
                                   int* status) const {
  const bool gridInput = from_.type == CoordinateType::Grid;
  const bool gridOutput = to_.type == CoordinateType::Grid;
  const int zoneFromLongitude = zones_.fromLongitude ? 1 : 0;
  std::size_t converted = 0;
  for (std::size_t i = 0; i < count; ++i) {
    int pointStatus = kPointWithoutPath;
    PointResult result{std::numeric_limits<double>::quiet_NaN(),
                       std::numeric_limits<double>::quiet_NaN(), 0};
    if (std::isfinite(x[i]) && std::isfinite(y[i])) {
      double longitude = x[i];
      double latitude = y[i];
      int zoneIn = zone != nullptr ? zone[i] : 0;
      if (gridInput) {
        double easting = x[i];
        GRID2GEO(zoneIn, easting, y[i], longitude, latitude, from_.system, zones_.width);
      }
      if (DATUMCHAIN(latitude, longitude, typeCode(from_.type), from_.system, typeCode(to_.type),
                     to_.system) == 0) {
        pointStatus = kPointConverted;
        if (gridOutput) {
          const double centralMeridian = ZONECM(zoneFromLongitude, zones_.given, to_.system,
                                                zones_.width, longitude, result.zone);
          GEO2GRID(centralMeridian, longitude, latitude, result.x, result.y, to_.system,
                   zones_.width);
        } else {
          result = {longitude, latitude, gridInput ? zoneIn : 0};
        }
      }
    }
    xOut[i] = result.x;
    yOut[i] = result.y;
    if (zoneOut != nullptr) zoneOut[i] = result.zone;
    if (status != nullptr) status[i] = pointStatus;
    if (pointStatus == kPointConverted) ++converted;
  }
  return converted;
}

}  // namespace nuvex
