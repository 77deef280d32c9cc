// TRGU: converts points 1..pointCount of the process-wide arrays between systems and types.
#include "engine/type_codes.h"
#include "nuvex/engine.h"

namespace nuvex {
namespace {

constexpr int kConverted = 0;
constexpr int kNotConverted = -1;

struct Codes {
  int toSystem;
  int zoneWidth;
  int zoneFromLongitude;
  int givenZone;
};

// Geographic (lon, lat) of point i into the grid output arrays, with the zone ZONECM chooses.
void projectToOutput(int i, double longitude, double latitude, const Codes& c) {
  const double centralMeridian =
      ZONECM(c.zoneFromLongitude, c.givenZone, c.toSystem, c.zoneWidth, longitude, GRID_ZONEOUT[i]);
  GEO2GRID(centralMeridian, longitude, latitude, GRID_XOUT[i], GRID_YOUT[i], c.toSystem,
           c.zoneWidth);
}

void unprojectInput(int i, int system, int zoneWidth, double& longitude, double& latitude) {
  GRID2GEO(GRID_ZONEIN[i], GRID_XIN[i], GRID_YIN[i], longitude, latitude, system, zoneWidth);
}

int convertWithinSystem(const char* fromType, const char* toType, int system, int pointCount,
                        const Codes& codes) {
  enum class Case { GeographicToGrid, GridToGeographic, GridToGrid };
  const Case which = engine::isGeographicType(fromType) ? Case::GeographicToGrid
                     : engine::isGeographicType(toType) ? Case::GridToGeographic
                                                        : Case::GridToGrid;
  for (int i = 1; i <= pointCount; ++i) {
    double longitude = 0.0;
    double latitude = 0.0;
    switch (which) {
      case Case::GeographicToGrid:
        projectToOutput(i, GEO_XIN[i], GEO_YIN[i], codes);
        break;
      case Case::GridToGeographic:
        unprojectInput(i, system, codes.zoneWidth, longitude, latitude);
        GEO_XOUT[i] = longitude;
        GEO_YOUT[i] = latitude;
        break;
      case Case::GridToGrid:
        unprojectInput(i, system, codes.zoneWidth, longitude, latitude);
        projectToOutput(i, longitude, latitude, codes);
        break;
    }
    HGT_OUT[i] = HGT_IN[i];
  }
  return kConverted;
}

int convertBetweenSystems(const char* fromType, int fromSystem, const char* toType, int pointCount,
                          const Codes& codes) {
  const bool gridInput = engine::isGridType(fromType);
  const bool geographicOutput = engine::isGeographicType(toType);
  for (int k = 1; k <= pointCount; ++k) {
    HGT_OUT[k] = HGT_IN[k];
    double longitude = 0.0;
    double latitude = 0.0;
    if (gridInput) {
      unprojectInput(k, fromSystem, codes.zoneWidth, longitude, latitude);
    } else {
      longitude = GEO_XIN[k];
      latitude = GEO_YIN[k];
    }
    if (DATUMCHAIN(latitude, longitude, fromType, fromSystem, toType, codes.toSystem) != 0) {
      return kNotConverted;
    }
    if (geographicOutput) {
      GEO_XOUT[k] = longitude;
      GEO_YOUT[k] = latitude;
    } else {
      projectToOutput(k, longitude, latitude, codes);
    }
  }
  return kConverted;
}

}  // namespace

int TRGU(const char* fromType, const int& fromSystem, const char* toType, const int& toSystem,
         const int& zoneWidth, const int& pointCount, const int& zoneFromLongitude,
         const int& givenZone) {
  // More points than the arrays hold would run past them: refuse the call untouched.
  if (pointCount > TRGU_MAXPT) return kNotConverted;
  const Codes codes{toSystem, zoneWidth, zoneFromLongitude, givenZone};
  if (fromSystem == toSystem) {
    return convertWithinSystem(fromType, toType, fromSystem, pointCount, codes);
  }
  return convertBetweenSystems(fromType, fromSystem, toType, pointCount, codes);
}

}  // namespace nuvex
