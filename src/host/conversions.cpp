// The two conversion entry points: one point per call through element 1 of TRGU's arrays, under
// the conversion lock, traced to the host before and after.
#include "nuvex/engine.h"
#include "nuvex/host.h"
#include "platform/conversion_lock.h"

namespace {

using nuvex::platform::conversionLock;
using nuvex::platform::ScopedConversionLock;

constexpr char kGridType[] = "E";
constexpr char kGeographicType[] = "G";
constexpr int kWgs84System = 3;
constexpr int kZoneWidth = 3;  // 3 deg zones where the system offers a choice (system 4)
constexpr int kOnePoint = 1;
constexpr int kToLLZoneFromLongitude = 1;  // no effect: the target is geographic
constexpr int kToLLGivenZone = 4;          // no effect: the target is geographic
constexpr int kTraceLevel = 2;
constexpr double kZoneMultiplier = 1000000.0;  // m: the zone carried in an easting's millions
constexpr int kNotConverted = -1;
constexpr int kFirst = 1;  // the entry points use element 1 of the 1-based point arrays

int lowestSystem(int system) {
  return system < 1 ? 1 : system;
}

// A host that passes no place for a result simply does not receive it.
void writeResult(double* destination, double value) {
  if (destination != nullptr) *destination = value;
}

// Conversions need the lock that SetNuvexCallbacks readies; before it, nothing is converted.
bool conversionsAllowed() {
  return conversionLock().isInitialized();
}

}  // namespace

__attribute__((visibility("default"))) int NuvexConvertToLL(double x, double y, double* xOut,
                                                            double* yOut, int system, int* zone,
                                                            int writeZone) {
  if (!conversionsAllowed()) return kNotConverted;
  ScopedConversionLock lock(&conversionLock());
  const int fromSystem = lowestSystem(system);
  nuvex::GRID_XIN[kFirst] = x;
  nuvex::GRID_YIN[kFirst] = y;
  if (zone != nullptr) nuvex::GRID_ZONEIN[kFirst] = *zone;
  DllLog(kTraceLevel, "   xin , yin  = %14.4f, %14.4f, Zone = %d\n", x, y,
         nuvex::GRID_ZONEIN[kFirst]);

  const int result = nuvex::TRGU(kGridType, fromSystem, kGeographicType, kWgs84System, kZoneWidth,
                                 kOnePoint, kToLLZoneFromLongitude, kToLLGivenZone);

  const double longitude = nuvex::GEO_XOUT[kFirst];
  const double latitude = nuvex::GEO_YOUT[kFirst];
  writeResult(xOut, longitude);
  writeResult(yOut, latitude);
  if (writeZone != 0 && zone != nullptr) *zone = nuvex::GRID_ZONEIN[kFirst];
  DllLog(kTraceLevel, "NuvexConvertToLL xout, yout = %14.4f, %14.4f, Zone = %d\n", longitude,
         latitude, nuvex::GRID_ZONEIN[kFirst]);
  return result;
}

__attribute__((visibility("default"))) int NuvexConvertFromLL(double x, double y, double* xOut,
                                                              double* yOut, int system, int* zone,
                                                              int computeZone, int zonePrefix) {
  if (!conversionsAllowed()) return kNotConverted;
  ScopedConversionLock lock(&conversionLock());
  const int toSystem = lowestSystem(system);
  // A null zone reads as zone 0 and receives nothing: the caller has nowhere to take it.
  const int givenZone = zone != nullptr ? *zone : 0;
  nuvex::GEO_XIN[kFirst] = x;
  nuvex::GEO_YIN[kFirst] = y;
  nuvex::GRID_ZONEIN[kFirst] = givenZone;
  DllLog(kTraceLevel, "NuvexConvertFromLL xin , yin  = %14.4f, %14.4f, Zone = %d\n", x, y,
         givenZone);

  const int result = nuvex::TRGU(kGeographicType, kWgs84System, kGridType, toSystem, kZoneWidth,
                                 kOnePoint, computeZone, givenZone);

  double easting = nuvex::GRID_XOUT[kFirst];
  const double northing = nuvex::GRID_YOUT[kFirst];
  if (computeZone != 0 && zone != nullptr) *zone = nuvex::GRID_ZONEOUT[kFirst];
  if (zonePrefix != 0 && toSystem == kWgs84System) {
    easting += nuvex::GRID_ZONEOUT[kFirst] * kZoneMultiplier;
  }
  writeResult(xOut, easting);
  writeResult(yOut, northing);
  DllLog(kTraceLevel, "NuvexConvertFromLL xout, yout = %14.4f, %14.4f, Zone = %d\n", easting,
         northing, nuvex::GRID_ZONEOUT[kFirst]);
  return result;
}
