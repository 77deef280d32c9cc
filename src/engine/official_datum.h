// The official datum transformations between systems 1, 3 and 4: the NTv2 grid shift between
// system 1 and ETRS89 (system 3) and EPSG:1775 between system 4 and ETRS89; 1 <-> 4 runs through
// ETRS89. Made once per Transformer and read from any number of threads.
#pragma once

#include <array>
#include <memory>
#include <string>

#include "engine/ntv2_grid.h"
#include "engine/official_parameters.h"
#include "nuvex/systems.h"

namespace nuvex::engine {

enum class OfficialStep { GridForward, GridInverse, HelmertForward, HelmertInverse };

inline constexpr int kMaxOfficialSteps = 2;

// Geocentric coordinates (m).
struct Geocentric {
  double x, y, z;
};

// Geodetic (rad, height 0) to geocentric on an ellipsoid, and back (the height dropped).
Geocentric geocentricOf(const Ellipsoid& ellipsoid, Radians point);
Radians geodeticOf(const Ellipsoid& ellipsoid, const Geocentric& point);

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

class OfficialDatum {
 public:
  // Systems 1, 3 and 4 (the caller refuses the others). grid: the NTv2 file for system 1; empty
  // for the built-in BeTA2007. Throws std::invalid_argument for a grid file that cannot serve:
  // one that cannot be read (Ntv2Grid::fromFile) or that shifts between other ellipsoids
  // (requireBesselToGrs80).
  OfficialDatum(int fromSystem, int toSystem, const std::string& gridFile);
  // The same with a grid already read (checked as above when the route uses it).
  OfficialDatum(int fromSystem, int toSystem, std::shared_ptr<const Ntv2Grid> grid);

  // Moves a geographic point (deg) from the source system to the target; RangeProblem::None, or
  // with the point untouched OutsideGrid or OutsideOfficialArea.
  RangeProblem shift(double& latitude, double& longitude) const;

  int stepCount() const { return stepCount_; }
  OfficialStep step(int index) const { return steps_[static_cast<std::size_t>(index)]; }
  const Ntv2Grid& grid() const { return *grid_; }

  // One step on a point in radians; false (point untouched) outside the grid. The area of use
  // of EPSG:1775 is the callers' to check, in degrees, before the first and after the last step.
  bool apply(OfficialStep step, Radians& point) const;
  bool startsInPulkovoArea(double latitude, double longitude) const;
  bool endsInPulkovoArea(double latitude, double longitude) const;

 private:
  int stepCount_ = 0;
  std::array<OfficialStep, kMaxOfficialSteps> steps_{};
  std::shared_ptr<const Ntv2Grid> grid_;
};

// The built-in BeTA2007 grid, read once per process.
std::shared_ptr<const Ntv2Grid> builtInGrid();

}  // namespace nuvex::engine
