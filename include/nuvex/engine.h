// nuvex transformation engine: the driver TRGU with its point arrays, the transverse Mercator
// projection of the four systems, the datum shifts, the regions of validity and the angle
// utilities.
//
// Systems (1-based codes): 1 Bessel 1841 / Gauss-Krueger 3 deg zones, 2 International 1924 / UTM,
// 3 WGS84 / UTM, 4 Krassowsky 1940 / Gauss-Krueger 3 or 6 deg zones. Grid coordinates are metres
// (Gauss-Krueger eastings carry the zone in their millions), geographic coordinates decimal
// degrees, datum shifts arc seconds. Every routine takes its arguments by reference, in the
// manner of the numerical code it serves. The engine is not reentrant: TRGU keeps its points in
// the process-wide arrays below, so callers serialise (the host entry points hold a lock).
#pragma once

#include <array>

namespace nuvex {

// ---- Point arrays of TRGU --------------------------------------------------------------------
// Twelve process-wide arrays indexed from 1 to TRGU_MAXPT (element 0 is never used). Zero at load,
// they keep their contents between calls.
inline constexpr int TRGU_MAXPT = 300;
using PointArray = double[TRGU_MAXPT + 1];
using ZoneArray = int[TRGU_MAXPT + 1];

extern PointArray GRID_XIN;     // input easting (m); GRID2GEO removes a zone prefix in place
extern PointArray GRID_YIN;     // input northing (m)
extern ZoneArray GRID_ZONEIN;   // input zone; GRID2GEO writes back the zone it used
extern PointArray GEO_XIN;      // input longitude (deg)
extern PointArray GEO_YIN;      // input latitude (deg)
extern PointArray HGT_IN;       // input height, carried unchanged
extern PointArray GRID_XOUT;    // output easting (m), zone in its millions for systems 1 and 4
extern PointArray GRID_YOUT;    // output northing (m)
extern ZoneArray GRID_ZONEOUT;  // output zone, as chosen by ZONECM
extern PointArray GEO_XOUT;     // output longitude (deg)
extern PointArray GEO_YOUT;     // output latitude (deg)
extern PointArray HGT_OUT;      // output height (= input height)

// Converts points 1..pointCount of the arrays from (fromType, fromSystem) to (toType, toSystem).
// Types are "E" (grid) or "G" (geographic), compared with trailing blanks ignored. zoneWidth 3
// selects 3 deg zones for system 4. With zoneFromLongitude non-zero each output zone follows from
// the longitude, else givenZone is used. Returns 0 when every point was converted (also for
// pointCount < 1), -1 when a point has no transformation path (TRGU stops there) or when
// pointCount exceeds TRGU_MAXPT (nothing is converted).
int TRGU(const char* fromType, const int& fromSystem, const char* toType, const int& toSystem,
         const int& zoneWidth, const int& pointCount, const int& zoneFromLongitude,
         const int& givenZone);

// ---- Projection (transverse Mercator series of the engine) -----------------------------------

// Zone (out) and central meridian (deg, result) for a longitude (deg) or for givenZone.
double ZONECM(const int& zoneFromLongitude, const int& givenZone, const int& system,
              const int& zoneWidth, const double& longitude, int& zone);
// Forward projection of (longitude, latitude) in degrees about centralMeridian (deg) to easting
// and northing (m). A system outside 1..4 is a fatal report (the calculation is aborted).
void GEO2GRID(const double& centralMeridian, const double& longitude, const double& latitude,
              double& easting, double& northing, const int& system, const int& zoneWidth);
// Inverse projection; zone and easting are updated in place (zone from the easting's millions for
// Gauss-Krueger, prefix removed). Longitude and latitude out in degrees.
void GRID2GEO(int& zone, double& easting, const double& northing, double& longitude,
              double& latitude, const int& system, const int& zoneWidth);
// Meridian arc length (m) from the equator to latitude (deg).
double MERARC(const double& latitude, const int& system);
// Footpoint latitude (deg) of an unreduced grid northing (m).
double FOOTLAT(const double& northing, const int& system);

// ---- Datum shifts (arc seconds) ---------------------------------------------------------------

inline constexpr int POLY_CAPACITY = 100;                  // room of term and coefficient vectors
using PolyVector = std::array<double, POLY_CAPACITY + 1>;  // 1-based, element 0 unused

// Terms 1, x, x^2, ... of the complete bivariate polynomial of the module degree, in fixed order.
void POLTERMS(const double& x, const double& y, PolyVector& terms);
// Sum of coefficient[k] * term[k]; a sum below 1e-38 in magnitude is exactly 0.0.
double POLEVAL(const double& x, const double& y, const PolyVector& coefficients);

// Shift from system 1 to 2 at (latitude, longitude) in degrees; shifts out in arc seconds.
void SHIFT12(const double& latitude, const double& longitude, double& latShift, double& lonShift);
// Shift from system 2 to 3.
void SHIFT23(const double& latitude, const double& longitude, double& latShift, double& lonShift);
// Linear shift from system 1 to 4.
void LIN14(const double& latitude, const double& longitude, double& latShift, double& lonShift);
// Linear shift from system 3 to 4.
void LIN34(const double& latitude, const double& longitude, double& latShift, double& lonShift);

// ---- Regions of validity ----------------------------------------------------------------------

int INREGA(const double& latitude, const double& longitude);  // 1 inside region A, else 0
int INREGB(const double& latitude, const double& longitude);  // 1 inside region B, else 0
// INREGB, also writing 2 (inside B) or -1 (outside) to regionCode.
int REGBCODE(const double& latitude, const double& longitude, int& regionCode);

// ---- Datum chain ------------------------------------------------------------------------------

// Moves a geographic point (deg, in the input system) to the target system along the route its
// region selects. Returns 0, or -1 when the point has no transformation path.
int DATUMCHAIN(double& latitude, double& longitude, const char* fromType, const int& fromSystem,
               const char* toType, const int& toSystem);

// ---- Angle utilities --------------------------------------------------------------------------

// Splits an angle (deg) into degrees, minutes and seconds; with decimals >= 1 seconds that would
// show as 60 at that many decimals are carried into the minutes.
void DEG2DMS(const double& angle, int& degrees, int& minutes, double& seconds, const int& decimals);
// Joins degrees, minutes and seconds into decimal degrees.
double DMS2DEG(const int& degrees, const int& minutes, const double& seconds);

}  // namespace nuvex
