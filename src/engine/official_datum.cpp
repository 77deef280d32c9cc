// The official routes: NTv2 grid shift (system 1 <-> ETRS89) and EPSG:1775 through geocentric
// coordinates (system 4 <-> ETRS89), each marked where it has no value rather than extended.
#include "engine/official_datum.h"

#include <cmath>
#include <cstdio>
#include <numbers>
#include <stdexcept>
#include <string>
#include <utility>

#include "engine/embedded_grid.h"
#include "engine/geodetic_tables.h"
#include "engine/grid_files.h"
#include "engine/point_conversion.h"
#include "engine/printable_text.h"

namespace nuvex::engine {
namespace {

constexpr int kBessel = 1;
constexpr int kKrassowsky = 4;
constexpr int kItrf2020 = 5;

constexpr double kRadiansPerDegree = std::numbers::pi / 180.0;
constexpr double kDegreesPerRadianExact = 180.0 / std::numbers::pi;
constexpr double kRadiansPerArcSecond = kRadiansPerDegree / 3600.0;
constexpr double kPerMillion = 1e-6;
// How far a grid header's semi-axes may be from the ellipsoids' (m): files round them to a
// millimetre or so; the next ellipsoids (Bessel's Namibian and Norwegian variants, Krassowsky,
// International 1924, Clarke 1880) differ by 80 m and more.
constexpr double kAxisTolerance = 1.0;

struct EllipsoidTerms {
  double a, b, e2, secondE2;  // a, b (m), e^2, e'^2
};

EllipsoidTerms termsOf(const Ellipsoid& ellipsoid) {
  const double f = 1.0 / ellipsoid.inverseFlattening;
  const double e2 = f * (2.0 - f);
  return {ellipsoid.semiMajorAxis, ellipsoid.semiMajorAxis * (1.0 - f), e2, e2 / (1.0 - e2)};
}

// Only the routes between system 1 and another system shift on the grid.
bool routeUsesGrid(int fromSystem, int toSystem) {
  return (fromSystem == kBessel) != (toSystem == kBessel);
}

}  // namespace

Ellipsoid krassowskyEllipsoid() {
  return {geodeticRow(kKrassowsky).semiMajorAxis, kKrassowskyInverseFlattening};
}

Geocentric geocentricOf(const Ellipsoid& ellipsoid, Radians point) {
  const EllipsoidTerms e = termsOf(ellipsoid);
  const double sinPhi = std::sin(point.latitude), cosPhi = std::cos(point.latitude);
  const double n = e.a / std::sqrt(1.0 - e.e2 * sinPhi * sinPhi);
  return {n * cosPhi * std::cos(point.longitude), n * cosPhi * std::sin(point.longitude),
          n * (1.0 - e.e2) * sinPhi};
}

// Bowring's formula: one step, exact to micrometres for points near the ellipsoid.
Radians geodeticOf(const Ellipsoid& ellipsoid, const Geocentric& point) {
  const EllipsoidTerms e = termsOf(ellipsoid);
  const double p = std::hypot(point.x, point.y);
  const double theta = std::atan2(point.z * e.a, p * e.b);
  const double c = std::cos(theta), s = std::sin(theta);
  return {std::atan2(point.y, point.x),
          std::atan2(point.z + e.secondE2 * e.b * s * s * s, p - e.e2 * e.a * c * c * c)};
}

Geocentric geocentricOf(const Ellipsoid& ellipsoid, Radians point, double height) {
  const EllipsoidTerms e = termsOf(ellipsoid);
  const double sinPhi = std::sin(point.latitude), cosPhi = std::cos(point.latitude);
  const double n = e.a / std::sqrt(1.0 - e.e2 * sinPhi * sinPhi);
  return {(n + height) * cosPhi * std::cos(point.longitude),
          (n + height) * cosPhi * std::sin(point.longitude), (n * (1.0 - e.e2) + height) * sinPhi};
}

// The height from the latitude by the form that keeps its precision at every latitude (neither
// p / cos(phi) near the pole nor z / sin(phi) near the equator).
Radians geodeticOf(const Ellipsoid& ellipsoid, const Geocentric& point, double& height) {
  const Radians geodetic = geodeticOf(ellipsoid, point);
  const EllipsoidTerms e = termsOf(ellipsoid);
  const double sinPhi = std::sin(geodetic.latitude), cosPhi = std::cos(geodetic.latitude);
  height = std::hypot(point.x, point.y) * cosPhi + point.z * sinPhi -
           e.a * std::sqrt(1.0 - e.e2 * sinPhi * sinPhi);
  return geodetic;
}

Geocentric helmertForward(const HelmertParameters& h, const Geocentric& p) {
  const double rx = h.rx * kRadiansPerArcSecond, ry = h.ry * kRadiansPerArcSecond,
               rz = h.rz * kRadiansPerArcSecond;
  const double scale = 1.0 + h.scale * kPerMillion;
  return {scale * (p.x - rz * p.y + ry * p.z) + h.tx, scale * (rz * p.x + p.y - rx * p.z) + h.ty,
          scale * (-ry * p.x + rx * p.y + p.z) + h.tz};
}

Geocentric helmertInverse(const HelmertParameters& h, const Geocentric& p) {
  const double rx = h.rx * kRadiansPerArcSecond, ry = h.ry * kRadiansPerArcSecond,
               rz = h.rz * kRadiansPerArcSecond;
  const double scale = 1.0 + h.scale * kPerMillion;
  const double x = (p.x - h.tx) / scale, y = (p.y - h.ty) / scale, z = (p.z - h.tz) / scale;
  return {x + rz * y - ry * z, -rz * x + y + rx * z, ry * x - rx * y + z};
}

bool inPulkovo83Area(double latitude, double longitude) {
  const AreaOfUse& area = kPulkovo83ToEtrs89Area;
  return latitude >= area.south && latitude <= area.north && longitude >= area.west &&
         longitude <= area.east;
}

std::shared_ptr<const Ntv2Grid> builtInGrid() {
  static const std::shared_ptr<const Ntv2Grid> grid =
      std::make_shared<const Ntv2Grid>(kBeta2007Bytes, kBeta2007Size, "BETA2007.gsb (built in)");
  return grid;
}

// The grid of the route: the file's, or the built-in one; none where the route needs none.
std::shared_ptr<const Ntv2Grid> gridOfRoute(int fromSystem, int toSystem,
                                            const std::string& gridFile) {
  if (!routeUsesGrid(fromSystem, toSystem)) return nullptr;
  if (gridFile.empty()) return builtInGrid();
  return readShiftGridFile(gridFile);
}

void requireBesselToGrs80(const Ntv2Grid& grid) {
  struct Axes {
    double major, minor;  // m
  };
  const double bessel = geodeticRow(kBessel).semiMajorAxis;
  const double besselEccentricity = geodeticRow(kBessel).secondEccentricity;
  const Axes from{bessel, bessel / std::sqrt(1.0 + besselEccentricity * besselEccentricity)};
  const Axes to{kGrs80.semiMajorAxis,
                kGrs80.semiMajorAxis * (1.0 - 1.0 / kGrs80.inverseFlattening)};
  const Ntv2Datums& d = grid.datums();
  const auto near = [](double axis, double expected) {
    return std::fabs(axis - expected) <= kAxisTolerance;  // NaN: not near
  };
  // A side the file leaves unnamed (a GeoTIFF grid without its CRS) has nothing to check.
  const bool fromFits =
      !d.fromNamed || (near(d.majorFrom, from.major) && near(d.minorFrom, from.minor));
  const bool toFits = !d.toNamed || (near(d.majorTo, to.major) && near(d.minorTo, to.minor));
  if (fromFits && toFits) return;
  const auto axes = [](double major, double minor) {
    char text[96];
    std::snprintf(text, sizeof text, "a=%.3f m b=%.3f m", major, minor);
    return std::string(text);
  };
  const std::string needed =
      ", but the official shift of system 1 needs a grid from Bessel 1841 (" +
      axes(from.major, from.minor) + ") to GRS80 (" + axes(to.major, to.minor) + ")";
  const bool axesKnown = d.fromNamed && d.toNamed && !std::isnan(d.majorFrom) &&
                         !std::isnan(d.minorFrom) && !std::isnan(d.majorTo) &&
                         !std::isnan(d.minorTo);
  if (axesKnown) {
    throw std::invalid_argument(
        grid.kind() + " " + grid.origin() + ": it shifts from the ellipsoid " +
        axes(d.majorFrom, d.minorFrom) + " to " + axes(d.majorTo, d.minorTo) + " ('" +
        printableText(d.from) + "' to '" + printableText(d.to) + "')" + needed);
  }
  // A GeoTIFF grid names its datums by code: each side as the file names it.
  const auto side = [](bool named, const std::string& name, double major) {
    if (!named) return std::string("an unnamed datum");
    return printableText(name) +
           (std::isnan(major) ? " (not a datum on Bessel 1841 or GRS80 that nuvex knows)" : "");
  };
  throw std::invalid_argument(grid.kind() + " " + grid.origin() + ": it shifts from " +
                              side(d.fromNamed, d.from, d.majorFrom) + " to " +
                              side(d.toNamed, d.to, d.majorTo) + needed);
}

OfficialDatum::OfficialDatum(int fromSystem, int toSystem, const std::string& gridFile)
    : OfficialDatum(fromSystem, toSystem, gridOfRoute(fromSystem, toSystem, gridFile)) {}

OfficialDatum::OfficialDatum(int fromSystem, int toSystem, std::shared_ptr<const Ntv2Grid> grid) {
  if (routeUsesGrid(fromSystem, toSystem)) {
    if (grid == nullptr) throw std::invalid_argument("the official shift of system 1 needs a grid");
    requireBesselToGrs80(*grid);
    grid_ = std::move(grid);
  }
  // Into ETRS89 from the source, then out of it into the target.
  if (fromSystem == toSystem) return;
  if (fromSystem == kBessel) steps_[stepCount_++] = OfficialStep::GridForward;
  if (fromSystem == kKrassowsky) steps_[stepCount_++] = OfficialStep::HelmertForward;
  if (fromSystem == kItrf2020) steps_[stepCount_++] = OfficialStep::FrameForward;
  if (toSystem == kBessel) steps_[stepCount_++] = OfficialStep::GridInverse;
  if (toSystem == kKrassowsky) steps_[stepCount_++] = OfficialStep::HelmertInverse;
  if (toSystem == kItrf2020) steps_[stepCount_++] = OfficialStep::FrameInverse;
}

HelmertParameters frameParametersAt(double epoch) {
  const TimeDependentHelmert& f = kItrf2020ToEtrf2000;
  const double years = epoch - f.referenceEpoch;
  const auto at = [years](double value, double rate) { return value + rate * years; };
  return {at(f.at.tx, f.rate.tx),      at(f.at.ty, f.rate.ty), at(f.at.tz, f.rate.tz),
          at(f.at.rx, f.rate.rx),      at(f.at.ry, f.rate.ry), at(f.at.rz, f.rate.rz),
          at(f.at.scale, f.rate.scale)};
}

bool OfficialDatum::needsEpoch() const {
  for (int i = 0; i < stepCount_; ++i) {
    const OfficialStep step = steps_[static_cast<std::size_t>(i)];
    if (step == OfficialStep::FrameForward || step == OfficialStep::FrameInverse) return true;
  }
  return false;
}

OfficialDatum::OfficialDatum(int fromSystem, int toSystem, const std::string& gridFile,
                             HeightRoute heights)
    : OfficialDatum(fromSystem, toSystem, gridFile) {
  heights_ = std::move(heights);
  // Within one system only the height changes; within systems 4 and 5 a normal height meets an
  // ellipsoidal one in ETRS89 all the same: through their transformation and back.
  keepsPosition_ = fromSystem == toSystem;
  if (keepsPosition_ && heightsMeetGeoid(heights_.from, heights_.to)) {
    if (fromSystem == kKrassowsky) {
      steps_ = {OfficialStep::HelmertForward, OfficialStep::HelmertInverse};
      stepCount_ = kMaxOfficialSteps;
    } else if (fromSystem == kItrf2020) {
      steps_ = {OfficialStep::FrameForward, OfficialStep::FrameInverse};
      stepCount_ = kMaxOfficialSteps;
    }
  }
}

bool heightsMeetGeoid(HeightKind from, HeightKind to) {
  return (from == HeightKind::Normal && to == HeightKind::Ellipsoidal) ||
         (from == HeightKind::Ellipsoidal && to == HeightKind::Normal);
}

bool OfficialDatum::apply(OfficialStep step, Radians& point, double epoch) const {
  switch (step) {
    case OfficialStep::GridForward:
      return grid_->shiftForward(point);
    case OfficialStep::GridInverse:
      return grid_->shiftInverse(point);
    case OfficialStep::HelmertForward:
      point = geodeticOf(
          kGrs80, helmertForward(kPulkovo83ToEtrs89, geocentricOf(krassowskyEllipsoid(), point)));
      return true;
    case OfficialStep::HelmertInverse:
      point = geodeticOf(krassowskyEllipsoid(),
                         helmertInverse(kPulkovo83ToEtrs89, geocentricOf(kGrs80, point)));
      return true;
    case OfficialStep::FrameForward:
      point =
          geodeticOf(kGrs80, helmertForward(frameParametersAt(epoch), geocentricOf(kGrs80, point)));
      return true;
    case OfficialStep::FrameInverse:
      point =
          geodeticOf(kGrs80, helmertInverse(frameParametersAt(epoch), geocentricOf(kGrs80, point)));
      return true;
  }
  return false;
}

bool OfficialDatum::applyWithHeight(OfficialStep step, Radians& point, double& height,
                                    bool threeDimensional, double epoch) const {
  if (!threeDimensional) return apply(step, point, epoch);
  switch (step) {
    case OfficialStep::HelmertForward:
      point = geodeticOf(
          kGrs80,
          helmertForward(kPulkovo83ToEtrs89, geocentricOf(krassowskyEllipsoid(), point, height)),
          height);
      return true;
    case OfficialStep::HelmertInverse:
      point = geodeticOf(krassowskyEllipsoid(),
                         helmertInverse(kPulkovo83ToEtrs89, geocentricOf(kGrs80, point, height)),
                         height);
      return true;
    case OfficialStep::FrameForward:
      point = geodeticOf(
          kGrs80, helmertForward(frameParametersAt(epoch), geocentricOf(kGrs80, point, height)),
          height);
      return true;
    case OfficialStep::FrameInverse:
      point = geodeticOf(
          kGrs80, helmertInverse(frameParametersAt(epoch), geocentricOf(kGrs80, point, height)),
          height);
      return true;
    default:
      return apply(step, point, epoch);
  }
}

bool OfficialDatum::undulationAt(Radians point, double& metres) const {
  return heights_.geoid->undulationAt(point.latitude * kDegreesPerRadianExact,
                                      point.longitude * kDegreesPerRadianExact, metres);
}

bool OfficialDatum::startsInPulkovoArea(double latitude, double longitude) const {
  return stepCount_ == 0 || steps_[0] != OfficialStep::HelmertForward ||
         inPulkovo83Area(latitude, longitude);
}

bool OfficialDatum::endsInPulkovoArea(double latitude, double longitude) const {
  return stepCount_ == 0 ||
         steps_[static_cast<std::size_t>(stepCount_ - 1)] != OfficialStep::HelmertInverse ||
         inPulkovo83Area(latitude, longitude);
}

RangeProblem OfficialDatum::shift(double& latitude, double& longitude, double epoch) const {
  if (stepCount_ == 0) return RangeProblem::None;
  // The area of use is checked in degrees as given (an edge point stays on its edge).
  if (!startsInPulkovoArea(latitude, longitude)) return RangeProblem::OutsideOfficialArea;
  Radians point{longitude * kRadiansPerDegree, latitude * kRadiansPerDegree};
  for (int i = 0; i < stepCount_; ++i) {
    if (!apply(steps_[static_cast<std::size_t>(i)], point, epoch)) return RangeProblem::OutsideGrid;
  }
  const double newLongitude = point.longitude * kDegreesPerRadianExact;
  const double newLatitude = point.latitude * kDegreesPerRadianExact;
  if (!endsInPulkovoArea(newLatitude, newLongitude)) return RangeProblem::OutsideOfficialArea;
  longitude = newLongitude;
  latitude = newLatitude;
  return RangeProblem::None;
}

bool OfficialDatum::heightsInThreeDimensions() const {
  // An ellipsoidal height on the side of a seven-parameter step goes through it.
  const auto ellipsoidalThrough = [&](HeightKind kind, OfficialStep helmert, OfficialStep frame) {
    if (kind != HeightKind::Ellipsoidal) return false;
    for (int i = 0; i < stepCount_; ++i) {
      const OfficialStep step = steps_[static_cast<std::size_t>(i)];
      if (step == helmert || step == frame) return true;
    }
    return false;
  };
  return (keepsPosition_ && stepCount_ > 0) ||
         ellipsoidalThrough(heights_.from, OfficialStep::HelmertForward,
                            OfficialStep::FrameForward) ||
         ellipsoidalThrough(heights_.to, OfficialStep::HelmertInverse, OfficialStep::FrameInverse);
}

bool OfficialDatum::changeHeightInEtrs89(Radians point, double& height) const {
  if (!heightsMeetGeoid(heights_.from, heights_.to)) return true;
  double undulation = 0.0;
  if (!undulationAt(point, undulation)) return false;
  height = heights_.from == HeightKind::Ellipsoidal ? height - undulation : height + undulation;
  return true;
}

RangeProblem OfficialDatum::shiftWithHeight(double& latitude, double& longitude, double& height,
                                            double epoch) const {
  if (!startsInPulkovoArea(latitude, longitude)) return RangeProblem::OutsideOfficialArea;
  Radians point{longitude * kRadiansPerDegree, latitude * kRadiansPerDegree};
  const bool fromEllipsoidal = heights_.from == HeightKind::Ellipsoidal;
  const bool toEllipsoidal = heights_.to == HeightKind::Ellipsoidal;
  double ellipsoidal = fromEllipsoidal ? height : 0.0;  // on the ellipsoid of the current datum
  int i = 0;
  for (; i < stepCount_ && leadsIntoEtrs89(steps_[static_cast<std::size_t>(i)]); ++i) {
    if (!applyWithHeight(steps_[static_cast<std::size_t>(i)], point, ellipsoidal, fromEllipsoidal,
                         epoch)) {
      return RangeProblem::OutsideGrid;
    }
  }
  // In ETRS89, where the quasigeoid is given.
  double undulation = 0.0;
  if (heightsMeetGeoid(heights_.from, heights_.to) && !undulationAt(point, undulation)) {
    return RangeProblem::OutsideGeoid;
  }
  if (!fromEllipsoidal) ellipsoidal = height + undulation;  // normal to normal: unused
  double newHeight = fromEllipsoidal && !toEllipsoidal ? ellipsoidal - undulation : height;
  for (; i < stepCount_; ++i) {
    if (!applyWithHeight(steps_[static_cast<std::size_t>(i)], point, ellipsoidal, toEllipsoidal,
                         epoch)) {
      return RangeProblem::OutsideGrid;
    }
  }
  if (toEllipsoidal) newHeight = ellipsoidal;
  const double newLongitude = point.longitude * kDegreesPerRadianExact;
  const double newLatitude = point.latitude * kDegreesPerRadianExact;
  if (!endsInPulkovoArea(newLatitude, newLongitude)) return RangeProblem::OutsideOfficialArea;
  if (!keepsPosition_) {
    longitude = newLongitude;
    latitude = newLatitude;
  }
  height = newHeight;
  return RangeProblem::None;
}

}  // namespace nuvex::engine
