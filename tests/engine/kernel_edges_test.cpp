// Points whose discrete decisions could tip on the last bits: within a hair of a region-cell
// edge after unprojection, of a zone edge after unprojection or after the datum shift, or of the
// engine's 4 deg band (where the projection steps from the engine's series to Krueger's). The
// edges are found on the scalar path by bisection (where its status or zone changes) and the
// points stepped off them by less than the vector path's decision margin; the vector path must
// give them what the scalar path gives, coordinates bit for bit.
#include <gtest/gtest.h>

#include <cmath>
#include <tuple>
#include <vector>

#include "engine/batch.h"
#include "nuvex/engine.h"
#include "nuvex/transform.h"

namespace nuvex {
namespace {

using engine::KernelPath;
using CT = CoordinateType;

struct Outcome {
  std::vector<double> x, y;
  std::vector<int> zone, status;
};

Outcome convert(const Transformer& t, KernelPath path, const std::vector<double>& x,
                const std::vector<double>& y, int zone) {
  engine::setKernelPathForTesting(path);
  const std::vector<int> zones(x.size(), zone);
  Outcome out{std::vector<double>(x.size()), std::vector<double>(x.size()),
              std::vector<int>(x.size()), std::vector<int>(x.size())};
  t.transform(x.size(), x.data(), y.data(), zone != 0 ? zones.data() : nullptr, out.x.data(),
              out.y.data(), out.zone.data(), out.status.data());
  engine::setKernelPathForTesting(engine::fastestKernelPath());
  return out;
}

// Whether the scalar path's result is TRGU's to the bit: the engine's series, within the band.
bool sameAsTrgu(const Transformer& t, double x, double y, int zone) {
  const Outcome o = convert(t, KernelPath::Scalar, {x}, {y}, zone);
  const bool gridIn = t.source().type == CoordinateType::Grid;
  const bool gridOut = t.target().type == CoordinateType::Grid;
  GRID_XIN[1] = GEO_XIN[1] = x;
  GRID_YIN[1] = GEO_YIN[1] = y;
  GRID_ZONEIN[1] = zone;
  TRGU(gridIn ? "E" : "G", t.source().system, gridOut ? "E" : "G", t.target().system,
       t.zones().width, 1, t.zones().fromLongitude ? 1 : 0, t.zones().given);
  return o.x[0] == (gridOut ? GRID_XOUT[1] : GEO_XOUT[1]) &&
         o.y[0] == (gridOut ? GRID_YOUT[1] : GEO_YOUT[1]);
}

// An edge: the point moves along x (or y) from `near` to `far`, between which the scalar path's
// status or zone changes.
struct Edge {
  const char* what;
  CoordinateSystem from, to;
  int zone;            // of the grid input, 0 for geographic input
  bool alongX;         // the coordinate that crosses the edge
  double fixed;        // the other coordinate
  double near, far;    // the crossing coordinate on either side
  double largestStep;  // within the margin: a few 1e-10 cells or zones (m or deg)
  ZoneChoice zones = {};
};

// Region A's cells are 20' by 12'; the column west of 7 deg 20' at 47.5 N and the row south of
// 47.2 N at 10 deg 10' E are outside it (UTM zone 32 grid). Zone edges: UTM zones 32/33 at 12 E,
// Gauss-Krueger zones 3/4 at 10.5 E.
// clang-format off
const Edge kEdges[] = {
    {"region column after unprojection", {CT::Grid, 2}, {CT::Geographic, 3}, 32, true,
     5261000.0, 390000.0, 360000.0, 1e-5},
    {"region row after unprojection", {CT::Grid, 2}, {CT::Geographic, 3}, 32, false,
     588000.0, 5240000.0, 5216000.0, 1e-5},
    {"UTM zone after unprojection", {CT::Grid, 3}, {CT::Grid, 3}, 32, true,
     5540000.0, 710000.0, 720000.0, 1e-4},
    {"UTM zone after the datum shift", {CT::Geographic, 2}, {CT::Grid, 3}, 0, true,
     50.0, 11.99, 12.01, 2e-9},
    {"Gauss-Krueger zone after the datum shift", {CT::Geographic, 3}, {CT::Grid, 1}, 0, true,
     50.0, 10.49, 10.51, 1e-9},
    {"band's edge of grid input", {CT::Grid, 3}, {CT::Geographic, 3}, 32, true,
     5540000.0, 770000.0, 800000.0, 1e-7},
    {"band's edge of grid input at 62 deg N", {CT::Grid, 3}, {CT::Geographic, 3}, 32, true,
     6890000.0, 690000.0, 720000.0, 1e-7},
    {"band's edge after the datum shift", {CT::Geographic, 1}, {CT::Grid, 3}, 0, true,
     51.0, 12.99, 13.01, 1e-10, {3, false, 32}},
};
// clang-format on

TEST(KernelEdges, PointsWithinTheDecisionMarginGetTheScalarResultOnTheVectorPath) {
  if (!engine::kernelPathAvailable(KernelPath::Vector)) GTEST_SKIP() << "no vector path here";
  for (const Edge& e : kEdges) {
    SCOPED_TRACE(e.what);
    const Transformer t(e.from, e.to, e.zones);
    auto at = [&](double c) {
      const double x = e.alongX ? c : e.fixed, y = e.alongX ? e.fixed : c;
      const Outcome o = convert(t, KernelPath::Scalar, {x}, {y}, e.zone);
      return std::tuple{o.status[0], o.zone[0], sameAsTrgu(t, x, y, e.zone)};
    };
    double near = e.near, far = e.far;
    ASSERT_NE(at(near), at(far)) << "no edge between the two sides";
    while (std::nextafter(near, far) != far) {
      const double middle = near + (far - near) / 2;
      (at(middle) == at(near) ? near : far) = middle;
    }
    std::vector<double> along;
    for (double step = e.largestStep; step > e.largestStep * 1e-6; step /= 3) {
      along.insert(along.end(), {near + step, near - step, far + step, far - step});
    }
    along.insert(along.end(), {near, far, std::nextafter(far, 2 * far - near),
                               std::nextafter(near, 2 * near - far)});
    while (along.size() % engine::kVectorLanes != 0) along.push_back(near);
    const std::vector<double> fixed(along.size(), e.fixed);
    const std::vector<double>& x = e.alongX ? along : fixed;
    const std::vector<double>& y = e.alongX ? fixed : along;
    const Outcome scalar = convert(t, KernelPath::Scalar, x, y, e.zone);
    const Outcome vector = convert(t, KernelPath::Vector, x, y, e.zone);
    for (std::size_t i = 0; i < along.size(); ++i) {
      SCOPED_TRACE(::testing::Message() << "at " << std::hexfloat << along[i]);
      EXPECT_EQ(vector.status[i], scalar.status[i]);
      EXPECT_EQ(vector.zone[i], scalar.zone[i]);
      if (scalar.status[i] != kPointConverted) continue;
      EXPECT_EQ(vector.x[i], scalar.x[i]);
      EXPECT_EQ(vector.y[i], scalar.y[i]);
    }
  }
}

}  // namespace
}  // namespace nuvex
