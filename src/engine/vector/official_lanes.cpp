// The official datum stage of the vector block: EPSG:1775 and the forward grid shift four lanes
// at a time (AVX2, FMA, SLEEF's sine and cosine), the inverse grid shift and grids with nested
// sub-grids lane by lane on the scalar routines, which stay the reference.
//
// The vector Helmert step avoids arc tangents of whole angles: the step moves a point by some
// 1e-5 rad, so the new latitude and longitude are the old ones plus a small angle whose tangent
// follows from the geocentric coordinates exactly; its arc tangent is a short series.
#include "engine/vector/official_lanes.h"

#include <immintrin.h>

#include <array>
#include <cmath>
#include <numbers>

#include "engine/batch.h"
#include "engine/vector/vector_math.h"

namespace nuvex::engine {
namespace {

// Every function here is built for AVX2: baseline (SSE) code between the vector stages would cost
// a change of register state at each call.
#define VECTOR_CODE __attribute__((target("avx2,fma")))

constexpr std::size_t kQuarter = 4;   // lanes per register
constexpr double kEdgeMargin = 1e-9;  // deg: about 0.1 mm
constexpr double kRadiansPerDegree = std::numbers::pi / 180.0;
constexpr double kDegreesPerRadianExact = 180.0 / std::numbers::pi;
constexpr double kMarginRadians = kEdgeMargin * kRadiansPerDegree;
constexpr double kRadiansPerArcSecond = kRadiansPerDegree / 3600.0;
constexpr double kPerMillion = 1e-6;

using Lanes = std::array<double, kVectorLanes>;

VECTOR_CODE bool near(double value, double edge, double margin) {
  return std::fabs(value - edge) < margin;
}

VECTOR_CODE bool nearSubGridEdge(const Ntv2Grid& grid, double latitude, double longitude) {
  const double phi = latitude * kRadiansPerDegree, lambda = longitude * kRadiansPerDegree;
  for (const Ntv2SubGrid& g : grid.subGrids()) {
    const double t = g.edgeTolerance;
    if (near(phi, g.south - t, kMarginRadians) || near(phi, g.north + t, kMarginRadians) ||
        near(lambda, g.west - t, kMarginRadians) || near(lambda, g.east + t, kMarginRadians)) {
      return true;
    }
  }
  return false;
}

VECTOR_CODE bool nearAreaEdge(double latitude, double longitude) {
  const AreaOfUse& a = kPulkovo83ToEtrs89Area;
  return near(latitude, a.south, kEdgeMargin) || near(latitude, a.north, kEdgeMargin) ||
         near(longitude, a.west, kEdgeMargin) || near(longitude, a.east, kEdgeMargin);
}

VECTOR_CODE bool usesGrid(const OfficialDatum& datum) {
  for (int i = 0; i < datum.stepCount(); ++i) {
    const OfficialStep step = datum.step(i);
    if (step == OfficialStep::GridForward || step == OfficialStep::GridInverse) return true;
  }
  return false;
}

VECTOR_CODE bool usesHelmert(const OfficialDatum& datum) {
  for (int i = 0; i < datum.stepCount(); ++i) {
    const OfficialStep step = datum.step(i);
    if (step == OfficialStep::HelmertForward || step == OfficialStep::HelmertInverse) return true;
  }
  return false;
}

VECTOR_CODE bool inArea(double latitude, double longitude) {
  const AreaOfUse& a = kPulkovo83ToEtrs89Area;
  return latitude >= a.south && latitude <= a.north && longitude >= a.west && longitude <= a.east;
}

// The area of use is checked on the system 4 side: before the first step, after the last.
VECTOR_CODE bool startsInArea(const OfficialDatum& datum, double latitude, double longitude) {
  return datum.stepCount() == 0 || datum.step(0) != OfficialStep::HelmertForward ||
         inArea(latitude, longitude);
}

VECTOR_CODE bool endsInArea(const OfficialDatum& datum, double latitude, double longitude) {
  return datum.stepCount() == 0 ||
         datum.step(datum.stepCount() - 1) != OfficialStep::HelmertInverse ||
         inArea(latitude, longitude);
}

// Whether the unprojection's last bits could put the point on the other side of an edge.
VECTOR_CODE bool decisionMayTip(const OfficialDatum& datum, double latitude, double longitude) {
  return (usesGrid(datum) && nearSubGridEdge(datum.grid(), latitude, longitude)) ||
         (usesHelmert(datum) && nearAreaEdge(latitude, longitude));
}

// The edges where a lane's decision could tip (deg), gathered once per block so that the lanes
// are checked four at a time; a grid of many sub-grids is checked lane by lane instead.
constexpr std::size_t kMaxEdges = 8;

struct Edges {
  std::array<double, kMaxEdges> latitude{}, longitude{};
  std::size_t latitudes = 0, longitudes = 0;
  bool laneByLane = false;

  void add(double south, double north, double west, double east) {
    if (latitudes + 2 > kMaxEdges || longitudes + 2 > kMaxEdges) {
      laneByLane = true;
      return;
    }
    latitude[latitudes++] = south;
    latitude[latitudes++] = north;
    longitude[longitudes++] = west;
    longitude[longitudes++] = east;
  }
};

VECTOR_CODE Edges edgesOf(const OfficialDatum& datum) {
  Edges edges;
  if (usesGrid(datum)) {
    for (const Ntv2SubGrid& g : datum.grid().subGrids()) {
      const double t = g.edgeTolerance;
      edges.add((g.south - t) * kDegreesPerRadianExact, (g.north + t) * kDegreesPerRadianExact,
                (g.west - t) * kDegreesPerRadianExact, (g.east + t) * kDegreesPerRadianExact);
    }
  }
  // Only EPSG:1775 has an area of use to check.
  if (usesHelmert(datum)) {
    const AreaOfUse& a = kPulkovo83ToEtrs89Area;
    edges.add(a.south, a.north, a.west, a.east);
  }
  return edges;
}

// The lanes (bit k) within the margin of an edge.
VECTOR_CODE unsigned tippingLanes(const OfficialDatum& datum, const Edges& edges,
                                  const double* latitude, const double* longitude) {
  unsigned tipping = 0;
  if (edges.laneByLane) {
    for (std::size_t k = 0; k < kVectorLanes; ++k) {
      if (decisionMayTip(datum, latitude[k], longitude[k])) tipping |= 1u << k;
    }
    return tipping;
  }
  const __m256d sign = _mm256_set1_pd(-0.0), margin = _mm256_set1_pd(kEdgeMargin);
  for (std::size_t half = 0; half < kVectorLanes; half += kQuarter) {
    const __m256d lat = _mm256_loadu_pd(latitude + half), lon = _mm256_loadu_pd(longitude + half);
    __m256d nearEdge = _mm256_setzero_pd();
    for (std::size_t i = 0; i < edges.latitudes; ++i) {
      const __m256d distance = _mm256_andnot_pd(sign, lat - _mm256_set1_pd(edges.latitude[i]));
      nearEdge = _mm256_or_pd(nearEdge, _mm256_cmp_pd(distance, margin, _CMP_LT_OQ));
    }
    for (std::size_t i = 0; i < edges.longitudes; ++i) {
      const __m256d distance = _mm256_andnot_pd(sign, lon - _mm256_set1_pd(edges.longitude[i]));
      nearEdge = _mm256_or_pd(nearEdge, _mm256_cmp_pd(distance, margin, _CMP_LT_OQ));
    }
    tipping |= static_cast<unsigned>(_mm256_movemask_pd(nearEdge)) << half;
  }
  return tipping;
}

// ---- Vector helpers (four lanes) ---------------------------------------------------------------

VECTOR_CODE inline __m256d splat(double v) {
  return _mm256_set1_pd(v);
}

struct Ellipsoid4 {
  double a, b, e2, secondE2;
};

Ellipsoid4 termsOf(const Ellipsoid& ellipsoid) {
  const double f = 1.0 / ellipsoid.inverseFlattening;
  const double e2 = f * (2.0 - f);
  return {ellipsoid.semiMajorAxis, ellipsoid.semiMajorAxis * (1.0 - f), e2, e2 / (1.0 - e2)};
}

// Derived once, when the library is loaded.
const Ellipsoid4 kKrassowskyTerms = termsOf(krassowskyEllipsoid());
const Ellipsoid4 kGrs80Terms = termsOf(kGrs80);

// atan t for |t| < 1e-3: t - t^3/3 + t^5/5 (the next term is below 1e-21).
VECTOR_CODE inline __m256d smallArcTangent(__m256d t) {
  const __m256d t2 = t * t;
  return t * (splat(1.0) - t2 * (splat(1.0 / 3.0) - t2 * splat(1.0 / 5.0)));
}

// The seven parameters of four lanes: translations (m), rotations (rad) and the scale as a factor.
struct Parameters4 {
  __m256d tx, ty, tz, rx, ry, rz, scale;
};

VECTOR_CODE Parameters4 parametersOf(const HelmertParameters& h) {
  return {splat(h.tx),
          splat(h.ty),
          splat(h.tz),
          splat(h.rx * kRadiansPerArcSecond),
          splat(h.ry * kRadiansPerArcSecond),
          splat(h.rz * kRadiansPerArcSecond),
          splat(1.0 + h.scale * kPerMillion)};
}

// A parameter at each lane's epoch: value + rate * years.
VECTOR_CODE inline __m256d atEpoch(double value, double rate, __m256d years) {
  return _mm256_add_pd(splat(value), _mm256_mul_pd(splat(rate), years));
}

// EPSG:10586's parameters at each lane's epoch, formed as frameParametersAt forms them.
VECTOR_CODE Parameters4 frameParametersOf(const double* epoch) {
  const TimeDependentHelmert& f = kItrf2020ToEtrf2000;
  const __m256d years = _mm256_sub_pd(_mm256_loadu_pd(epoch), splat(f.referenceEpoch));
  const __m256d arcSecond = splat(kRadiansPerArcSecond);
  return {atEpoch(f.at.tx, f.rate.tx, years),
          atEpoch(f.at.ty, f.rate.ty, years),
          atEpoch(f.at.tz, f.rate.tz, years),
          _mm256_mul_pd(atEpoch(f.at.rx, f.rate.rx, years), arcSecond),
          _mm256_mul_pd(atEpoch(f.at.ry, f.rate.ry, years), arcSecond),
          _mm256_mul_pd(atEpoch(f.at.rz, f.rate.rz, years), arcSecond),
          _mm256_add_pd(splat(1.0), _mm256_mul_pd(atEpoch(f.at.scale, f.rate.scale, years),
                                                  splat(kPerMillion)))};
}

// One seven-parameter step (Position Vector, forward or its inverse as the method defines it) from
// one ellipsoid to another, on four lanes of radians, in place.
VECTOR_CODE void sevenParameters4(const Ellipsoid4& from, const Ellipsoid4& to, bool forward,
                                  const Parameters4& h, double* phi, double* lambda) {
  const __m256d rx = h.rx, ry = h.ry, rz = h.rz, scale = h.scale;

  const __m256d latitude = _mm256_loadu_pd(phi), longitude = _mm256_loadu_pd(lambda);
  // One call of the eight-lane routine: latitudes in the low half, longitudes in the high half.
  const SinCos8 angles = sinCos8(latitude, longitude);
  const struct { __m256d sin, cos; } p{angles.sinLo, angles.cosLo}, l{angles.sinHi, angles.cosHi};
  const __m256d n = splat(from.a) / _mm256_sqrt_pd(splat(1.0) - splat(from.e2) * p.sin * p.sin);
  const __m256d x = n * p.cos * l.cos, y = n * p.cos * l.sin;
  const __m256d z = n * splat(1.0 - from.e2) * p.sin;
  __m256d x2, y2, z2;
  if (forward) {
    x2 = scale * (x - rz * y + ry * z) + h.tx;
    y2 = scale * (rz * x + y - rx * z) + h.ty;
    z2 = scale * (-ry * x + rx * y + z) + h.tz;
  } else {
    const __m256d xs = (x - h.tx) / scale, ys = (y - h.ty) / scale, zs = (z - h.tz) / scale;
    x2 = xs + rz * ys - ry * zs;
    y2 = -rz * xs + ys + rx * zs;
    z2 = ry * xs - rx * ys + zs;
  }
  // Bowring's formula on the target ellipsoid, its angles as sines and cosines.
  const __m256d pp = _mm256_sqrt_pd(x2 * x2 + y2 * y2);
  const __m256d za = z2 * splat(to.a), pb = pp * splat(to.b);
  const __m256d inverseR = splat(1.0) / _mm256_sqrt_pd(za * za + pb * pb);
  const __m256d c = pb * inverseR, s = za * inverseR;
  const __m256d num = z2 + splat(to.secondE2 * to.b) * s * s * s;
  const __m256d den = pp - splat(to.e2 * to.a) * c * c * c;
  // tan(new - old) of latitude and longitude.
  const __m256d tanDPhi = (num * p.cos - den * p.sin) / (den * p.cos + num * p.sin);
  const __m256d tanDLambda = (y2 * l.cos - x2 * l.sin) / (x2 * l.cos + y2 * l.sin);
  _mm256_storeu_pd(phi, latitude + smallArcTangent(tanDPhi));
  _mm256_storeu_pd(lambda, longitude + smallArcTangent(tanDLambda));
}

// EPSG:1775 forward or inverse on four lanes.
VECTOR_CODE void helmert4(bool forward, double* phi, double* lambda) {
  const Parameters4 parameters = parametersOf(kPulkovo83ToEtrs89);
  sevenParameters4(forward ? kKrassowskyTerms : kGrs80Terms,
                   forward ? kGrs80Terms : kKrassowskyTerms, forward, parameters, phi, lambda);
}

// EPSG:10586 forward (ITRF2020 to ETRS89) or inverse on four lanes at their epochs.
VECTOR_CODE void frame4(bool forward, double* phi, double* lambda, const double* epoch) {
  sevenParameters4(kGrs80Terms, kGrs80Terms, forward, frameParametersOf(epoch), phi, lambda);
}

// The shifts of four nodes (two floats each, read as one 64-bit word) as doubles.
VECTOR_CODE inline void gatherNode(const long long* base, __m128i node, __m256d& latitude,
                                   __m256d& longitude) {
  const __m256i order = _mm256_setr_epi32(0, 2, 4, 6, 1, 3, 5, 7);
  const __m256 pairs =
      _mm256_permutevar8x32_ps(_mm256_castsi256_ps(_mm256_i32gather_epi64(base, node, 8)), order);
  latitude = _mm256_cvtps_pd(_mm256_castps256_ps128(pairs));
  longitude = _mm256_cvtps_pd(_mm256_extractf128_ps(pairs, 1));
}

// The lanes whose cell coordinates (x, y in steps from the first node) lie strictly inside a
// grid of columns x rows nodes, so that the cell and the next nodes exist.
VECTOR_CODE inline __m256d strictlyInsideNodes(__m256d x, __m256d y, int columns, int rows) {
  return _mm256_and_pd(_mm256_and_pd(_mm256_cmp_pd(x, splat(0.0), _CMP_GE_OQ),
                                     _mm256_cmp_pd(x, splat(columns - 1.0), _CMP_LT_OQ)),
                       _mm256_and_pd(_mm256_cmp_pd(y, splat(0.0), _CMP_GE_OQ),
                                     _mm256_cmp_pd(y, splat(rows - 1.0), _CMP_LT_OQ)));
}

// The shift (rad) at four lanes on a grid of one sub-grid, bilinear as the scalar routine forms
// it; returns the mask of the lanes strictly inside the nodes (the others' shifts are
// meaningless).
VECTOR_CODE __m256d shiftAt4(const Ntv2SubGrid& g, __m256d latitude, __m256d longitude,
                             __m256d& dLat, __m256d& dLon) {
  const __m256d x = (longitude - splat(g.west)) / splat(g.longitudeStep);
  const __m256d y = (latitude - splat(g.south)) / splat(g.latitudeStep);
  const __m256d inside = strictlyInsideNodes(x, y, g.columns, g.rows);
  const __m256d column = _mm256_and_pd(_mm256_floor_pd(x), inside);
  const __m256d row = _mm256_and_pd(_mm256_floor_pd(y), inside);
  const __m256d fx = x - column, fy = y - row;
  const __m128i node = _mm256_cvttpd_epi32(row * splat(g.columns) + column);
  const auto* base = reinterpret_cast<const long long*>(g.shifts.data());
  const __m128i east = _mm_set1_epi32(1), north = _mm_set1_epi32(g.columns);
  __m256d lat00, lon00, lat10, lon10, lat01, lon01, lat11, lon11;
  gatherNode(base, node, lat00, lon00);
  gatherNode(base, _mm_add_epi32(node, east), lat10, lon10);
  gatherNode(base, _mm_add_epi32(node, north), lat01, lon01);
  gatherNode(base, _mm_add_epi32(_mm_add_epi32(node, north), east), lat11, lon11);
  // The scalar routine's weights, formed in the same order.
  const __m256d m11 = fx * fy, m01 = (splat(1.0) - fx) * fy;
  const __m256d yc = splat(1.0) - fy;
  const __m256d m00 = (splat(1.0) - fx) * yc, m10 = fx * yc;
  dLat = m00 * lat00 + m10 * lat10 + m01 * lat01 + m11 * lat11;
  dLon = m00 * lon00 + m10 * lon10 + m01 * lon01 + m11 * lon11;
  return inside;
}

// The forward grid shift of four lanes on a grid of one sub-grid; returns the lanes (bit k) it
// served: those strictly inside the nodes whose result stays within +-90 deg of latitude and
// +-180 deg of longitude. The others are untouched (the scalar routine decides on them).
VECTOR_CODE unsigned gridForward4(const Ntv2SubGrid& g, double* phi, double* lambda) {
  const __m256d latitude = _mm256_loadu_pd(phi), longitude = _mm256_loadu_pd(lambda);
  __m256d dLat, dLon;
  const __m256d inside = shiftAt4(g, latitude, longitude, dLat, dLon);
  if (_mm256_movemask_pd(inside) == 0) return 0;
  const __m256d newLatitude = latitude + dLat, newLongitude = longitude + dLon;
  const __m256d sign = splat(-0.0);
  const __m256d kept =
      _mm256_and_pd(inside, _mm256_and_pd(_mm256_cmp_pd(_mm256_andnot_pd(sign, newLatitude),
                                                        splat(std::numbers::pi / 2), _CMP_LE_OQ),
                                          _mm256_cmp_pd(_mm256_andnot_pd(sign, newLongitude),
                                                        splat(std::numbers::pi), _CMP_LE_OQ)));
  _mm256_storeu_pd(phi, _mm256_blendv_pd(latitude, newLatitude, kept));
  _mm256_storeu_pd(lambda, _mm256_blendv_pd(longitude, newLongitude, kept));
  return static_cast<unsigned>(_mm256_movemask_pd(kept));
}

// The inverse grid shift of four lanes on a grid of one sub-grid, iterated as
// Ntv2Grid::shiftInverse iterates, each lane until its own step is small enough; returns the lanes
// it served: those whose every guess lay strictly inside the nodes and that settled on the
// ellipsoid. The others are untouched (the scalar routine decides on them).
VECTOR_CODE unsigned gridInverse4(const Ntv2SubGrid& g, double* phi, double* lambda) {
  const __m256d latitude = _mm256_loadu_pd(phi), longitude = _mm256_loadu_pd(lambda);
  __m256d dLat, dLon;
  __m256d alive = shiftAt4(g, latitude, longitude, dLat, dLon);
  __m256d guessLat = latitude - dLat, guessLon = longitude - dLon;
  __m256d settled = _mm256_setzero_pd();
  const __m256d tolerance = splat(kInverseTolerance * kInverseTolerance);
  for (int iteration = 0; iteration < kMaxInverseIterations; ++iteration) {
    alive = _mm256_and_pd(alive, shiftAt4(g, guessLat, guessLon, dLat, dLon));
    const __m256d stepLon = guessLon + dLon - longitude, stepLat = guessLat + dLat - latitude;
    const __m256d moving = _mm256_andnot_pd(settled, alive);
    guessLon = _mm256_blendv_pd(guessLon, guessLon - stepLon, moving);
    guessLat = _mm256_blendv_pd(guessLat, guessLat - stepLat, moving);
    const __m256d small =
        _mm256_cmp_pd(stepLon * stepLon + stepLat * stepLat, tolerance, _CMP_LE_OQ);
    settled = _mm256_or_pd(settled, _mm256_and_pd(moving, small));
    if (_mm256_movemask_pd(_mm256_andnot_pd(settled, alive)) == 0) break;
  }
  const __m256d sign = splat(-0.0);
  const __m256d kept = _mm256_and_pd(
      settled,
      _mm256_and_pd(
          _mm256_cmp_pd(_mm256_andnot_pd(sign, guessLat), splat(std::numbers::pi / 2), _CMP_LE_OQ),
          _mm256_cmp_pd(_mm256_andnot_pd(sign, guessLon), splat(std::numbers::pi), _CMP_LE_OQ)));
  _mm256_storeu_pd(phi, _mm256_blendv_pd(latitude, guessLat, kept));
  _mm256_storeu_pd(lambda, _mm256_blendv_pd(longitude, guessLon, kept));
  return static_cast<unsigned>(_mm256_movemask_pd(kept));
}

// One step on the active lanes; returns the lanes still active (a lane without a value leaves).
VECTOR_CODE unsigned applyStep(const OfficialDatum& datum, OfficialStep step, Lanes& phi,
                               Lanes& lambda, const double* epoch, unsigned active) {
  unsigned vectorServed = 0;
  if (step == OfficialStep::HelmertForward || step == OfficialStep::HelmertInverse) {
    for (std::size_t half = 0; half < kVectorLanes; half += kQuarter) {
      helmert4(step == OfficialStep::HelmertForward, phi.data() + half, lambda.data() + half);
    }
    return active;
  }
  if (step == OfficialStep::FrameForward || step == OfficialStep::FrameInverse) {
    for (std::size_t half = 0; half < kVectorLanes; half += kQuarter) {
      frame4(step == OfficialStep::FrameForward, phi.data() + half, lambda.data() + half,
             epoch + half);
    }
    return active;
  }
  const Ntv2Grid& grid = datum.grid();
  if (grid.subGrids().size() == 1) {
    const bool forward = step == OfficialStep::GridForward;
    for (std::size_t half = 0; half < kVectorLanes; half += kQuarter) {
      const Ntv2SubGrid& g = grid.subGrids()[0];
      vectorServed |= (forward ? gridForward4(g, phi.data() + half, lambda.data() + half)
                               : gridInverse4(g, phi.data() + half, lambda.data() + half))
                      << half;
    }
  }
  for (std::size_t k = 0; k < kVectorLanes; ++k) {
    const unsigned bit = 1u << k;
    if ((active & bit) == 0 || (vectorServed & bit) != 0) continue;
    Radians point{lambda[k], phi[k]};
    if (!datum.apply(step, point)) {
      active &= ~bit;
      continue;
    }
    phi[k] = point.latitude;
    lambda[k] = point.longitude;
  }
  return active;
}

// The undulations of four lanes (rad) on a geoid grid of one sub-grid, as GeoidGrid::undulationAt
// forms them where the four nodes of the cell hold values; returns the lanes (bit k) it served:
// those strictly inside the nodes, in cells of four values. The others are the scalar routine's.
VECTOR_CODE unsigned undulations4(const GeoidSubGrid& g, const double* phi, const double* lambda,
                                  double* undulation) {
  const __m256d latitude = _mm256_loadu_pd(phi) * splat(kDegreesPerRadianExact);
  const __m256d longitude = _mm256_loadu_pd(lambda) * splat(kDegreesPerRadianExact);
  const __m256d x = (longitude - splat(g.west)) / splat(g.longitudeStep);
  const __m256d y = (latitude - splat(g.south)) / splat(g.latitudeStep);
  const __m256d inside = strictlyInsideNodes(x, y, g.columns, g.rows);
  const unsigned insideLanes = static_cast<unsigned>(_mm256_movemask_pd(inside));
  if (insideLanes == 0) return 0;
  // Lanes outside read the first cell instead: their results are dropped.
  const __m256d column = _mm256_and_pd(_mm256_floor_pd(x), inside);
  const __m256d row = _mm256_and_pd(_mm256_floor_pd(y), inside);
  const __m128i node = _mm256_cvttpd_epi32(row * splat(g.columns) + column);
  const float* base = g.undulations.data();
  const __m128i next = _mm_set1_epi32(1), above = _mm_set1_epi32(g.columns);
  const __m256d v00 = _mm256_cvtps_pd(_mm_i32gather_ps(base, node, 4));
  const __m256d v10 = _mm256_cvtps_pd(_mm_i32gather_ps(base, _mm_add_epi32(node, next), 4));
  const __m128i upper = _mm_add_epi32(node, above);
  const __m256d v01 = _mm256_cvtps_pd(_mm_i32gather_ps(base, upper, 4));
  const __m256d v11 = _mm256_cvtps_pd(_mm_i32gather_ps(base, _mm_add_epi32(upper, next), 4));
  const __m256d fx = x - column, fy = y - row;
  const __m256d gx = splat(1.0) - fx, gy = splat(1.0) - fy;
  // The scalar routine's products and sums, in its order and unfused.
  const __m256d w00 = _mm256_mul_pd(gx, gy), w10 = _mm256_mul_pd(fx, gy);
  const __m256d w01 = _mm256_mul_pd(gx, fy), w11 = _mm256_mul_pd(fx, fy);
  const __m256d sum =
      _mm256_add_pd(_mm256_add_pd(_mm256_add_pd(_mm256_mul_pd(v00, w00), _mm256_mul_pd(v10, w10)),
                                  _mm256_mul_pd(v01, w01)),
                    _mm256_mul_pd(v11, w11));
  _mm256_storeu_pd(undulation, sum);
  const unsigned valued =
      static_cast<unsigned>(_mm256_movemask_pd(_mm256_cmp_pd(sum, sum, _CMP_ORD_Q)));
  return insideLanes & valued;
}

// The heights of the active lanes, at their ETRS89 points; returns the lanes still active.
VECTOR_CODE unsigned changeHeights(const OfficialDatum& datum, const Lanes& phi,
                                   const Lanes& lambda, double* height, unsigned active) {
  unsigned vectorServed = 0;
  const HeightRoute& route = datum.heightRoute();
  if (heightsMeetGeoid(route.from, route.to) && route.geoid->subGrids().size() == 1) {
    const GeoidSubGrid& grid = route.geoid->subGrids()[0];
    const double sign = route.from == HeightKind::Ellipsoidal ? -1.0 : 1.0;
    Lanes undulation{};
    for (std::size_t half = 0; half < kVectorLanes; half += kQuarter) {
      vectorServed |=
          undulations4(grid, phi.data() + half, lambda.data() + half, undulation.data() + half)
          << half;
    }
    for (std::size_t k = 0; k < kVectorLanes; ++k) {
      if ((vectorServed & active & (1u << k)) != 0) height[k] += sign * undulation[k];
    }
  }
  for (std::size_t k = 0; k < kVectorLanes; ++k) {
    const unsigned bit = 1u << k;
    if ((active & bit) == 0 || (vectorServed & bit) != 0) continue;
    if (!datum.changeHeightInEtrs89({lambda[k], phi[k]}, height[k])) active &= ~bit;
  }
  return active;
}

}  // namespace

VECTOR_CODE unsigned shiftOfficialLanes(const OfficialDatum& datum, double* latitude,
                                        double* longitude, double* height, const double* epoch,
                                        unsigned lanes) {
  const Edges edges = edgesOf(datum);
  unsigned active = lanes & ~tippingLanes(datum, edges, latitude, longitude);
  Lanes phi{}, lambda{};
  for (std::size_t k = 0; k < kVectorLanes; ++k) {
    const unsigned bit = 1u << k;
    if ((active & bit) != 0 && !startsInArea(datum, latitude[k], longitude[k])) active &= ~bit;
    phi[k] = latitude[k] * kRadiansPerDegree;
    lambda[k] = longitude[k] * kRadiansPerDegree;
  }
  int i = 0;
  for (; i < datum.stepCount() && active != 0 && leadsIntoEtrs89(datum.step(i)); ++i) {
    active = applyStep(datum, datum.step(i), phi, lambda, epoch, active);
  }
  if (height != nullptr) active = changeHeights(datum, phi, lambda, height, active);
  for (; i < datum.stepCount() && active != 0; ++i) {
    active = applyStep(datum, datum.step(i), phi, lambda, epoch, active);
  }
  Lanes newLatitude{}, newLongitude{};
  for (std::size_t k = 0; k < kVectorLanes; ++k) {
    newLatitude[k] = phi[k] * kDegreesPerRadianExact;
    newLongitude[k] = lambda[k] * kDegreesPerRadianExact;
  }
  active &= ~tippingLanes(datum, edges, newLatitude.data(), newLongitude.data());
  unsigned served = 0;
  for (std::size_t k = 0; k < kVectorLanes; ++k) {
    const unsigned bit = 1u << k;
    if ((active & bit) == 0 || !endsInArea(datum, newLatitude[k], newLongitude[k])) continue;
    if (!datum.keepsPosition()) {
      latitude[k] = newLatitude[k];
      longitude[k] = newLongitude[k];
    }
    served |= bit;
  }
  return served;
}

}  // namespace nuvex::engine
