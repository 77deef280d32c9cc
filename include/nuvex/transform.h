// nuvex batch transformation: converts any number of points between two coordinate systems,
// from any number of threads at once. It runs the same per-point work as TRGU (same routes through
// the regions, same zone rules, same zone-prefix handling) without TRGU's process-wide arrays, its
// lock or its 300-point limit.
//
// Systems (codes 1..4) as in TRGU: 1 Bessel 1841 / Gauss-Krueger, 2 International 1924 / UTM,
// 3 WGS84 / UTM, 4 Krassowsky 1940 / Gauss-Krueger (3 or 6 deg zones). Grid coordinates are metres
// (Gauss-Krueger eastings carry the zone in their millions), geographic coordinates decimal
// degrees. Heights are converted in the official mode where a HeightChoice asks for it; otherwise
// callers carry them along.
#pragma once

#include <cstddef>
#include <limits>
#include <memory>
#include <string>

#include "nuvex/systems.h"

namespace nuvex {

namespace engine {
class OfficialDatum;
}

// How output zones are chosen, as TRGU's arguments: width 3 or 6 (deg; 6 only changes system 4),
// the zone from each point's longitude, or else `given` for every point.
struct ZoneChoice {
  int width = 3;
  bool fromLongitude = true;
  int given = 0;
};

// How the datum is shifted between systems. Polynomial: the engine's own shift polynomials and
// linear fits (metre-level; the default, exactly as TRGU). Official: the transformations the
// surveying authorities publish, centimetre-level:
//   1 <-> 3  the NTv2 grid (`grid`, or the built-in BeTA2007 when empty), bilinear on the finest
//            sub-grid holding the point; the inverse iterates to 1e-12 rad;
//   4 <-> 3  EPSG:1775 "Pulkovo 1942(83) to ETRS89 (2)" (Position Vector, through geocentric
//            coordinates, Krassowsky to GRS80, height 0), within its area of use
//            50.2..54.74 N, 9.92..15.04 E checked on the system 4 side;
//   1 <-> 4  through ETRS89.
// System 3 is taken as ETRS89 (EPSG relates it to WGS84 by a null transformation, 1 m). A point
// outside the grid or the area of use has no path. System 2 has no official transformation.
enum class DatumShift { Polynomial, Official };

struct DatumChoice {
  DatumShift method = DatumShift::Polynomial;
  std::string grid;  // Official only: an NTv2 or GeoTIFF grid file (told apart by content) for
                     // system 1 <-> ETRS89; empty: BeTA2007
  // Official only: the epoch (decimal year, kEarliestEpoch to kLatestEpoch) of every point of a
  // conversion between system 5 (ITRF2020) and another system, where the points bring none of
  // their own (PointArrays::epoch); NaN: none.
  double epoch = std::numeric_limits<double>::quiet_NaN();
};

// The arrays of one call of Transformer::transform: every one count long; those that may be null
// say what null means.
struct PointArrays {
  const double* x = nullptr;      // easting (m) or longitude (deg)
  const double* y = nullptr;      // northing (m) or latitude (deg)
  const double* z = nullptr;      // heights (m): converted, or carried where none are converted
  const double* epoch = nullptr;  // decimal years, where the route needs them; null: the
                                  // DatumChoice's
  const int* zone = nullptr;      // grid input's zones; null: 0 for every point
};
struct ResultArrays {
  double* x = nullptr;
  double* y = nullptr;
  double* z = nullptr;  // required with PointArrays::z
  int* zone = nullptr;
  int* status = nullptr;
};

// Heights, official mode only. With a kind on both sides, every point carries a height (m) that
// is converted with it: an ellipsoidal ETRS89 height h and a DHHN2016 height H meet through the
// quasigeoid, H = h - N, N interpolated bilinearly at the point's ETRS89 position; system 4
// ellipsoidal heights go through EPSG:1775 in three dimensions (a normal height on system 4 leaves
// the horizontal shift as it is without heights, at height 0). Normal to normal keeps the height.
// System 1 (DHDN) has no ellipsoidal heights in practice: its heights are DHHN2016 ones.
struct HeightChoice {
  HeightKind from = HeightKind::None;
  HeightKind to = HeightKind::None;
  std::string geoid;  // a vertical GeoTIFF grid (ETRS89 to DHHN2016); empty: the built-in GCG2016
};

// Status of one point after Transformer::transform.
inline constexpr int kPointConverted = 0;
// No transformation path, or no point to convert or to give: input outside what its system can
// hold, a result that is no point of the target (see RangeProblem in nuvex/systems.h).
inline constexpr int kPointWithoutPath = -1;

class Transformer {
 public:
  // Throws std::invalid_argument for a system outside 1..4, a zone width other than 3 or 6 and a
  // grid given with the polynomial mode; in the official mode also for system 2 beside another
  // system and for a grid file that is missing, unreadable, truncated or malformed (the message
  // names the file and what is wrong). The file is read here, once. Heights: throws for a kind on
  // one side only, heights in the polynomial mode, ellipsoidal heights on system 1, a geoid given
  // where no normal height meets an ellipsoidal one, and a geoid file that cannot serve (also in a
  // build that reads no GeoTIFF grids, the built-in GCG2016 being one).
  Transformer(CoordinateSystem from, CoordinateSystem to, ZoneChoice zones = {},
              DatumChoice datum = {}, HeightChoice heights = {});

  // Converts count points given as separate arrays. Grid input: x easting (m), y northing (m),
  // zone (null: 0 for every point, i.e. taken from the easting's millions or the longitude);
  // geographic input: x longitude, y latitude (deg). Outputs may be the inputs themselves; zoneOut
  // and status may be null. status[i] is kPointConverted, or kPointWithoutPath with xOut/yOut NaN
  // and zoneOut 0. A point is marked so when its input lies outside what its system can hold
  // (checkInput of nuvex/systems.h: coordinates out of range or not finite, no zone of the
  // system, beyond the pole, more than kProjectionBandDegrees from its zone's central meridian),
  // when it has no transformation path, or when its result would be no point of the target
  // (checkOutput: not finite, beyond 90 deg latitude, a zone the target grid does not have). A
  // zone forced by ZoneChoice::given is used however far the point lies from it (the interfaces
  // warn; see fartherThanZoneWidth). A geographic output within one system is the input itself.
  // Returns the number of points converted. Throws std::invalid_argument when count is not 0 and x,
  // y, xOut or yOut is null. Safe to call from any number of threads at once on the same object.
  // Throws std::invalid_argument when the Transformer converts heights (they need the overload
  // below).
  std::size_t transform(std::size_t count, const double* x, const double* y, const int* zone,
                        double* xOut, double* yOut, int* zoneOut, int* status) const;

  // The general form (the overloads above and below are it): outputs may be the inputs
  // themselves. Throws std::invalid_argument as they do, and also when the route needs an epoch
  // (between system 5 and another system) and neither the points nor the DatumChoice give one;
  // a point's epoch outside kEarliestEpoch..kLatestEpoch (or NaN) marks it EpochOutOfRange.
  std::size_t transform(std::size_t count, const PointArrays& in, const ResultArrays& out) const;

  // The same with a height per point: z in, zOut out (m; zOut may be z). Without heights
  // (HeightKind::None on both sides) zOut is z as given, whatever the point's status. With them
  // a point is also marked when its height is not finite or beyond kLargestHeight, or when the
  // quasigeoid holds no value at it (outside the grid, or a cell without value); zOut is then NaN.
  // Throws std::invalid_argument when count is not 0 and z or zOut is null.
  std::size_t transform(std::size_t count, const double* x, const double* y, const double* z,
                        const int* zone, double* xOut, double* yOut, double* zOut, int* zoneOut,
                        int* status) const;

  // Why the point (x, y, zone as transform takes them) is marked by transform, or
  // RangeProblem::None when it is converted. For messages: it converts the point once more.
  RangeProblem explain(double x, double y, int zone) const;
  // The same for a point with a height (the only form for a Transformer that converts heights).
  RangeProblem explain(double x, double y, double z, int zone) const;
  // The same with the point's own epoch, as PointArrays::epoch gives it (NaN is no epoch, as there:
  // EpochOutOfRange where the route needs one); z is unused where no heights are converted. The
  // forms without an epoch take the DatumChoice's.
  RangeProblem explain(double x, double y, double z, double epoch, int zone) const;

  CoordinateSystem source() const { return from_; }
  CoordinateSystem target() const { return to_; }
  ZoneChoice zones() const { return zones_; }
  const DatumChoice& datum() const { return datum_; }
  const HeightChoice& heights() const { return heights_; }
  bool convertsHeights() const { return heights_.from != HeightKind::None; }

 private:
  CoordinateSystem from_;
  CoordinateSystem to_;
  ZoneChoice zones_;
  DatumChoice datum_;
  HeightChoice heights_;
  std::shared_ptr<const engine::OfficialDatum> official_;  // null in the polynomial mode
};

}  // namespace nuvex
