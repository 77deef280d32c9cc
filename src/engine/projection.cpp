// Transverse Mercator projection of the four systems: zone choice, forward and inverse series,
// meridian arc and footpoint latitude. The series are the engine's own (truncated terms included)
// and are kept exactly as they have always been evaluated, so that results match earlier output.
#include <cmath>
#include <cstdio>

#include "engine/geodetic_tables.h"
#include "engine/integer_conversion.h"
#include "engine/multiple_angles.h"
#include "engine/projection_rules.h"
#include "nuvex/engine.h"
#include "nuvex/host.h"

namespace nuvex {
namespace {

using engine::centralMeridianOfZone;
using engine::EvenMultipleSines;
using engine::GeodeticRow;
using engine::isGaussKrueger;
using engine::kDegreesPerRadian;
using engine::kFalseEasting;
using engine::kHalfThreeDegreeZone;
using engine::kInverseFactorial2;
using engine::kInverseFactorial3;
using engine::kInverseFactorial4;
using engine::kInverseFactorial5;
using engine::kInverseFactorial6;
using engine::kKrassowskySystem;
using engine::kSixDegreeZone;
using engine::kSmallestPrefixedUtmEasting;
using engine::kThreeDegreeZone;
using engine::kUtmCentralMeridianOffset;
using engine::kUtmZoneOffset;
using engine::kZoneMultiplier;
using engine::usesThreeDegreeZones;
using engine::zonePrefixOfCentralMeridian;

// The fatal report of the projection: the lines the engine writes to standard output (the stop
// line and a blank line), then the host's failure report from the driver's source position.
constexpr const char* kFatalText = " FATALER FEHLER IN *TRGU* -> stop\n \n";
constexpr const char* kStopText = "FATALER FEHLER IN *TRGU* -> stop";  // what() of the abort
constexpr const char* kFatalReportFile = "NUVEX/TRGU";
constexpr int kFatalReportLine = 55;
constexpr int kFatalReportCode = 0;

// Does not return: DllExitFatal throws if the host's reportFailure comes back.
[[noreturn]] void reportUnknownSystem() {
  std::fputs(kFatalText, stdout);
  std::fflush(stdout);  // the host may end the process from reportFailure
  DllExitFatal(kFatalReportCode, kFatalReportFile, kFatalReportLine, kStopText);
}

// Every reader of the tables goes through here: an unknown code has no row to read.
const GeodeticRow& rowOrFatal(int system) {
  if (!engine::isKnownSystem(system)) reportUnknownSystem();
  return engine::geodeticRow(system);
}

int zoneOfLongitude(int system, int zoneWidth, double longitude) {
  if (usesThreeDegreeZones(system, zoneWidth)) {
    return engine::truncateToInt((longitude + kHalfThreeDegreeZone) / kThreeDegreeZone);
  }
  if (system == kKrassowskySystem) return engine::truncateToInt(longitude / kSixDegreeZone + 1.0);
  return engine::truncateToInt(longitude / kSixDegreeZone + kUtmZoneOffset);
}

// Meridian arc series at phi (rad) with the sines of its even multiples.
double meridianArc(const GeodeticRow& row, double phi, const EvenMultipleSines& s) {
  const double* c = row.arc;
  return phi * c[0] * kDegreesPerRadian - c[1] * s.sin2 + c[2] * s.sin4 - c[3] * s.sin6 +
         c[4] * s.sin8 - c[5] * s.sin10;
}

// Derived quantities at a latitude: cos, tan, eta^2 and the prime vertical radius N.
struct LatitudeTerms {
  double cs;
  double t;
  double eta2;
  double n;
};

LatitudeTerms latitudeTerms(const GeodeticRow& row, double sinPhi, double cosPhi) {
  LatitudeTerms terms{};
  terms.cs = cosPhi;
  terms.t = sinPhi / cosPhi;
  const double e2 = row.secondEccentricity * row.secondEccentricity;
  terms.eta2 = e2 * cosPhi * cosPhi;
  terms.n = row.semiMajorAxis * std::sqrt(1.0 + e2) / std::sqrt(1.0 + terms.eta2);
  return terms;
}

}  // namespace

double ZONECM(const int& zoneFromLongitude, const int& givenZone, const int& system,
              const int& zoneWidth, const double& longitude, int& zone) {
  const int z = zoneFromLongitude != 0 ? zoneOfLongitude(system, zoneWidth, longitude) : givenZone;
  zone = z;
  return centralMeridianOfZone(system, zoneWidth, z);
}

void GEO2GRID(const double& centralMeridian, const double& longitude, const double& latitude,
              double& easting, double& northing, const int& system, const int& zoneWidth) {
  const GeodeticRow& row = rowOrFatal(system);
  const double phi = latitude / kDegreesPerRadian;
  const double l = longitude / kDegreesPerRadian - centralMeridian / kDegreesPerRadian;
  const double sinPhi = std::sin(phi);
  const double cosPhi = std::cos(phi);
  const LatitudeTerms p = latitudeTerms(row, sinPhi, cosPhi);

  const double t2 = p.t * p.t;
  const double t4 = t2 * t2;
  const double cs2 = p.cs * p.cs;
  const double l2 = l * l;
  // N multiplies every term: taken out of the brackets, the terms need not wait for the square
  // root and division behind N.
  const double y =
      p.n * (p.cs * l + cs2 * p.cs * (1.0 - t2 + p.eta2) * l2 * l * kInverseFactorial3 +
             cs2 * cs2 * p.cs * (5.0 - 18.0 * t2 + t4) * l2 * l2 * l * kInverseFactorial5);
  const double g = meridianArc(row, phi, engine::multipleSinesOfAngle(sinPhi, cosPhi));
  const double x =
      g +
      p.n * (cs2 * p.t * l2 * kInverseFactorial2 +
             cs2 * cs2 * p.t * (5.0 - t2 + 9.0 * p.eta2) * l2 * l2 * kInverseFactorial4 +
             cs2 * cs2 * cs2 * p.t * (61.0 - 58.0 * t2 + t4) * l2 * l2 * l2 * kInverseFactorial6);

  const double k0 = row.scaleFactor;
  northing = k0 * x;
  const double gridEasting = k0 * y + kFalseEasting;
  easting =
      isGaussKrueger(system)
          ? zonePrefixOfCentralMeridian(system, zoneWidth, centralMeridian) * kZoneMultiplier +
                gridEasting
          : gridEasting;
}

void GRID2GEO(int& zone, double& easting, const double& northing, double& longitude,
              double& latitude, const int& system, const int& zoneWidth) {
  const GeodeticRow& row = rowOrFatal(system);
  if (isGaussKrueger(system)) {
    // The easting's millions decide; a zone passed in is of no account.
    zone = engine::truncateToInt(easting / kZoneMultiplier);
    easting -= zone * kZoneMultiplier;
  } else {
    if (zone == 0) zone = engine::truncateToInt(easting / kZoneMultiplier);
    if (easting >= kSmallestPrefixedUtmEasting) easting -= zone * kZoneMultiplier;
  }
  const double centralMeridian = centralMeridianOfZone(system, zoneWidth, zone);

  const double y = (easting - kFalseEasting) / row.scaleFactor;
  const double phiR = FOOTLAT(northing, system) / kDegreesPerRadian;
  const LatitudeTerms p = latitudeTerms(row, std::sin(phiR), std::cos(phiR));

  // The series in powers of y/N: one division instead of one per term.
  const double t2 = p.t * p.t;
  const double t4 = t2 * t2;
  const double u = y / p.n;
  const double u2 = u * u;
  const double u4 = u2 * u2;
  const double rho = kDegreesPerRadian;
  latitude = phiR * rho - rho * (1.0 + p.eta2) * p.t * u2 * kInverseFactorial2 +
             rho * p.t * (5.0 + 3.0 * t2 + 6.0 * p.eta2 * (1.0 - t2)) * u4 * kInverseFactorial4 -
             rho * p.t * (61.0 + 90.0 * t2 + 45.0 * t4) * u4 * u2 * kInverseFactorial6;
  const double rhoPerCos = rho / p.cs;
  longitude = centralMeridian + rhoPerCos * u -
              rhoPerCos * (1.0 + 2.0 * t2 + p.eta2) * u2 * u * kInverseFactorial3 +
              rhoPerCos * (5.0 + 28.0 * t2 + 24.0 * t4) * u4 * u * kInverseFactorial5;
}

double MERARC(const double& latitude, const int& system) {
  const GeodeticRow& row = rowOrFatal(system);
  const double phi = latitude / kDegreesPerRadian;
  return meridianArc(row, phi, engine::multipleSinesOfAngle(std::sin(phi), std::cos(phi)));
}

double FOOTLAT(const double& northing, const int& system) {
  const GeodeticRow& row = rowOrFatal(system);
  const double sigma = northing / (row.arc[0] * row.scaleFactor * kDegreesPerRadian);
  const EvenMultipleSines s =
      engine::multipleSinesOfDoubleAngle(std::sin(2.0 * sigma), std::cos(2.0 * sigma));
  const double* b = row.footpoint;
  return sigma * kDegreesPerRadian + b[0] * s.sin2 + b[1] * s.sin4 + b[2] * s.sin6 + b[3] * s.sin8 +
         b[4] * s.sin10;
}

}  // namespace nuvex
