// The official datum transformations between systems 1, 3 and 4: the NTv2 grid shift between
// system 1 and ETRS89 (system 3) and EPSG:1775 between system 4 and ETRS89; 1 <-> 4 runs through
// ETRS89. Made once per Transformer and read from any number of threads.
#pragma once

#include <array>
#include <limits>
#include <memory>
#include <string>

#include "engine/geoid_grid.h"
#include "engine/ntv2_grid.h"
#include "engine/official_parameters.h"
#include "nuvex/systems.h"

namespace nuvex::engine {

// Grid: the NTv2 shift of system 1; Helmert: EPSG:1775 of system 4; Frame: EPSG:10586 of system
// 5 at an epoch. Forward steps lead into ETRS89, inverse ones out of it.
enum class OfficialStep {
  GridForward,
  GridInverse,
  HelmertForward,
  HelmertInverse,
  FrameForward,
  FrameInverse
};

inline constexpr int kMaxOfficialSteps = 2;
// The epoch of a route that needs none.
inline constexpr double kNoEpoch = std::numeric_limits<double>::quiet_NaN();

// Geocentric coordinates (m).
struct Geocentric {
  double x, y, z;
};

// Geodetic (rad, height 0) to geocentric on an ellipsoid, and back (the height dropped).
Geocentric geocentricOf(const Ellipsoid& ellipsoid, Radians point);
Radians geodeticOf(const Ellipsoid& ellipsoid, const Geocentric& point);
// The same with the ellipsoidal height (m).
Geocentric geocentricOf(const Ellipsoid& ellipsoid, Radians point, double height);
Radians geodeticOf(const Ellipsoid& ellipsoid, const Geocentric& point, double& height);

// EPSG:1775 on geocentric coordinates, forward (Pulkovo 1942(83) to ETRS89) and its inverse as
// the method defines it (the transposed rotation).
Geocentric helmertForward(const HelmertParameters& h, const Geocentric& p);
Geocentric helmertInverse(const HelmertParameters& h, const Geocentric& p);

// The Krassowsky ellipsoid of system 4.
Ellipsoid krassowskyEllipsoid();

// Whether a system 4 point (deg) lies in EPSG:1775's area of use.
bool inPulkovo83Area(double latitude, double longitude);

// Throws std::invalid_argument, naming the grid's origin and the ellipsoid axes its header gives,
// unless the grid shifts from Bessel 1841 (system 1) to GRS80 (ETRS89): MAJOR_F, MINOR_F,
// MAJOR_T and MINOR_T each within 1 m of those ellipsoids' semi-axes. The datum names (SYSTEM_F,
// SYSTEM_T) are free text that differs between files (DHDN, DE_DHDN, PD/83, RD/83) and decide
// nothing.
void requireBesselToGrs80(const Ntv2Grid& grid);

// What the official routes do with heights (HeightChoice of nuvex/transform.h): the kinds on each
// side and, where a normal height meets an ellipsoidal one, the quasigeoid.
struct HeightRoute {
  HeightKind from = HeightKind::None;
  HeightKind to = HeightKind::None;
  std::shared_ptr<const GeoidGrid> geoid;  // null where the route needs none
};

// Whether a step takes the point into ETRS89 (rather than out of it).
inline bool leadsIntoEtrs89(OfficialStep step) {
  return step == OfficialStep::GridForward || step == OfficialStep::HelmertForward ||
         step == OfficialStep::FrameForward;
}

// EPSG:10586's parameters at an epoch (decimal year).
HelmertParameters frameParametersAt(double epoch);

// Whether a height route between the kinds needs the quasigeoid.
bool heightsMeetGeoid(HeightKind from, HeightKind to);

class OfficialDatum {
 public:
  // Systems 1, 3 and 4 (the caller refuses the others). grid: the NTv2 file for system 1; empty
  // for the built-in BeTA2007. Throws std::invalid_argument for a grid file that cannot serve:
  // one that cannot be read (Ntv2Grid::fromFile) or that shifts between other ellipsoids
  // (requireBesselToGrs80).
  OfficialDatum(int fromSystem, int toSystem, const std::string& gridFile);
  // The same with a grid already read (checked as above when the route uses it).
  OfficialDatum(int fromSystem, int toSystem, std::shared_ptr<const Ntv2Grid> grid);
  // With heights (kinds on both sides; the caller has refused what cannot be converted).
  OfficialDatum(int fromSystem, int toSystem, const std::string& gridFile, HeightRoute heights);

  // Moves a geographic point (deg) from the source system to the target; RangeProblem::None, or
  // with the point untouched OutsideGrid or OutsideOfficialArea. epoch: the decimal year of a
  // route through system 5 (needsEpoch; the caller has checked it), else unused.
  RangeProblem shift(double& latitude, double& longitude, double epoch = kNoEpoch) const;
  // The same with a height (m) of the source's kind, made one of the target's: through ETRS89,
  // where the quasigeoid is read at the ETRS89 position. Also OutsideGeoid, with the point and
  // height untouched. Needs the height route.
  RangeProblem shiftWithHeight(double& latitude, double& longitude, double& height,
                               double epoch = kNoEpoch) const;
  // Whether the route runs through EPSG:10586, which needs the epoch.
  bool needsEpoch() const;

  // Whether the route converts heights, and whether it needs three dimensions for them (a system 4
  // ellipsoidal height through EPSG:1775, or a height changed within system 4): the vector stage
  // serves only the others.
  bool convertsHeights() const { return heights_.from != HeightKind::None; }
  // Whether the route changes only the height (within one system).
  bool keepsPosition() const { return keepsPosition_; }
  const HeightRoute& heightRoute() const { return heights_; }
  bool heightsInThreeDimensions() const;
  // The height change at the ETRS89 point of a route in two dimensions: by the quasigeoid where
  // a normal height meets an ellipsoidal one, else none. False where the quasigeoid has no value.
  bool changeHeightInEtrs89(Radians point, double& height) const;

  int stepCount() const { return stepCount_; }
  OfficialStep step(int index) const { return steps_[static_cast<std::size_t>(index)]; }
  const Ntv2Grid& grid() const { return *grid_; }

  // One step on a point in radians; false (point untouched) outside the grid. The area of use
  // of EPSG:1775 is the callers' to check, in degrees, before the first and after the last step.
  bool apply(OfficialStep step, Radians& point, double epoch = kNoEpoch) const;
  bool startsInPulkovoArea(double latitude, double longitude) const;
  bool endsInPulkovoArea(double latitude, double longitude) const;

 private:
  // One step with a height: the Helmert steps in three dimensions where the height on their
  // far side is ellipsoidal (threeDimensional), else as in two; the grid steps leave it alone.
  bool applyWithHeight(OfficialStep step, Radians& point, double& height, bool threeDimensional,
                       double epoch) const;
  // The height, ellipsoidal on ETRS89 at the ETRS89 point, from a height of the source's kind.
  bool etrs89Height(Radians point, double height, double& ellipsoidal) const;
  bool undulationAt(Radians point, double& metres) const;

  int stepCount_ = 0;
  std::array<OfficialStep, kMaxOfficialSteps> steps_{};
  std::shared_ptr<const Ntv2Grid> grid_;
  HeightRoute heights_;
  bool keepsPosition_ = false;  // within one system: only the height changes
};

// The built-in BeTA2007 grid, read once per process.
std::shared_ptr<const Ntv2Grid> builtInGrid();

}  // namespace nuvex::engine
