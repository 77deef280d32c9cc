// The vector path's blocks of eight against the scalar path: points in the random order of a
// register, whose lanes take every route of the datum chain within one block, stay on the vector
// path and get the scalar path's status, zone and coordinates; points whose unprojection falls on
// a mask edge keep the scalar path's decision.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <set>
#include <vector>

#include "engine/batch.h"
#include "engine/spatial_order.h"
#include "nuvex/engine.h"
#include "nuvex/transform.h"
#include "support/case_file.h"

namespace nuvex {
namespace {

using engine::KernelPath;
using CT = CoordinateType;

constexpr double kMetreTolerance = 1e-6;
constexpr double kDegreeTolerance = 1e-11;
constexpr std::size_t kLanes = engine::kVectorLanes;

struct Points {
  std::vector<double> x, y;
  std::vector<int> zone;
};

struct Batch {
  std::vector<double> x, y;
  std::vector<int> zone, status;
};

Batch run(const Transformer& t, KernelPath path, const Points& in) {
  engine::setKernelPathForTesting(path);
  const std::size_t n = in.x.size();
  Batch out{std::vector<double>(n), std::vector<double>(n), std::vector<int>(n, -99),
            std::vector<int>(n, -99)};
  t.transform(n, in.x.data(), in.y.data(), in.zone.empty() ? nullptr : in.zone.data(), out.x.data(),
              out.y.data(), out.zone.data(), out.status.data());
  engine::setKernelPathForTesting(engine::fastestKernelPath());
  return out;
}

// Lanes the vector blocks of one conversion hand to the scalar path.
std::size_t scalarLanesOf(const Transformer& t, const Points& in, Batch& out) {
  const std::size_t before = engine::scalarLanesOfBlocksForTesting();
  out = run(t, KernelPath::Vector, in);
  return engine::scalarLanesOfBlocksForTesting() - before;
}

void expectSameResults(const Transformer& t, const Batch& scalar, const Batch& vector) {
  const double tolerance = t.target().type == CT::Grid ? kMetreTolerance : kDegreeTolerance;
  for (std::size_t i = 0; i < scalar.x.size(); ++i) {
    ASSERT_EQ(vector.status[i], scalar.status[i]) << "point " << i;
    ASSERT_EQ(vector.zone[i], scalar.zone[i]) << "point " << i;
    if (scalar.status[i] != kPointConverted) {
      ASSERT_TRUE(std::isnan(vector.x[i]) && std::isnan(vector.y[i])) << "point " << i;
      continue;
    }
    ASSERT_NEAR(vector.x[i], scalar.x[i], tolerance) << "point " << i;
    ASSERT_NEAR(vector.y[i], scalar.y[i], tolerance) << "point " << i;
  }
}

// Uniform over both regions and a margin around them (some points without a path), in the order
// they were drawn: a fixed linear congruential sequence.
Points randomGeographic(std::size_t count) {
  std::uint64_t state = 20261207;
  auto uniform = [&state](double low, double high) {
    state = state * 6364136223846793005u + 1442695040888963407u;
    return low + (high - low) * static_cast<double>(state >> 11) / 9007199254740992.0;
  };
  Points p;
  for (std::size_t i = 0; i < count; ++i) {
    p.x.push_back(uniform(3.5, 16.5));
    p.y.push_back(uniform(46.0, 56.0));
  }
  return p;
}

// The same points as grid points of the system (zones from the longitude, in the zone array).
Points gridOf(const Points& geographic, int system, int width) {
  const Transformer t({CT::Geographic, system}, {CT::Grid, system}, {width, true, 0});
  Points grid{std::vector<double>(geographic.x.size()), std::vector<double>(geographic.x.size()),
              std::vector<int>(geographic.x.size())};
  t.transform(geographic.x.size(), geographic.x.data(), geographic.y.data(), nullptr, grid.x.data(),
              grid.y.data(), grid.zone.data(), nullptr);
  return grid;
}

// How many blocks have lanes in more than one of: region A, region B only, neither.
std::size_t mixedBlocks(const Points& geographic) {
  std::size_t mixed = 0;
  for (std::size_t first = 0; first + kLanes <= geographic.x.size(); first += kLanes) {
    std::set<int> kinds;
    for (std::size_t i = first; i < first + kLanes; ++i) {
      const double lat = geographic.y[i], lon = geographic.x[i];
      kinds.insert(INREGA(lat, lon) != 0 ? 1 : INREGB(lat, lon) != 0 ? 2 : 0);
    }
    if (kinds.size() > 1) ++mixed;
  }
  return mixed;
}

// The points of one call in spatial order: each point gets its own result. Calls of one chunk
// each run in their own order; the whole call, whose first chunk mixes routes and series in nearly
// every block, converts its later chunks in spatial order and writes each result back to its
// point, zones and statuses included, also in place of the input. (A block picks its series'
// short forms when all its lanes allow them, so the neighbours of a point may move its last bits.)
Batch runByChunks(const Transformer& t, const Points& in) {
  Batch out{std::vector<double>(in.x.size()), std::vector<double>(in.x.size()),
            std::vector<int>(in.x.size()), std::vector<int>(in.x.size())};
  for (std::size_t begin = 0; begin < in.x.size(); begin += engine::kOrderedChunkPoints) {
    const std::size_t count = std::min(engine::kOrderedChunkPoints, in.x.size() - begin);
    t.transform(count, in.x.data() + begin, in.y.data() + begin,
                in.zone.empty() ? nullptr : in.zone.data() + begin, out.x.data() + begin,
                out.y.data() + begin, out.zone.data() + begin, out.status.data() + begin);
  }
  return out;
}

TEST(VectorBlocks, AScatteredCallInSpatialOrderGivesEachPointItsOwnResult) {
  if (!engine::kernelPathAvailable(KernelPath::Vector)) GTEST_SKIP() << "no vector path here";
  const Points geographic = randomGeographic(3 * engine::kOrderedChunkPoints + 5);
  // Grid points in one zone (Gauss-Krueger zone 3 or UTM zone 32, with the zone in an array),
  // far beyond the band of either series on both sides.
  const auto inZone = [&geographic](int system, int zone) {
    const Transformer forced({CT::Geographic, system}, {CT::Grid, system}, {3, false, zone});
    const std::size_t n = geographic.x.size();
    Points grid{std::vector<double>(n), std::vector<double>(n), std::vector<int>(n)};
    forced.transform(n, geographic.x.data(), geographic.y.data(), nullptr, grid.x.data(),
                     grid.y.data(), grid.zone.data(), nullptr);
    return grid;
  };
  const Points gaussKrueger = inZone(1, 3), utm = inZone(3, 32);
  // Blocks that mix both routes and both series of both projections; UTM eastings with their
  // zones to Gauss-Krueger; and blocks that mix nothing but the series of the projection, those of
  // the unprojection, or the routes of the datum chain.
  const Transformer toUtm({CT::Grid, 1}, {CT::Grid, 3}, {3, false, 32});
  const Transformer toGaussKrueger({CT::Grid, 3}, {CT::Grid, 1}, {3, false, 3});
  const Transformer project({CT::Geographic, 3}, {CT::Grid, 3}, {3, false, 32});
  const Transformer unproject({CT::Grid, 3}, {CT::Geographic, 3}, {3, false, 0});
  const Transformer shift({CT::Geographic, 1}, {CT::Geographic, 3}, {3, false, 0});
  for (const auto& [t, in] : {std::pair{&toUtm, &gaussKrueger}, std::pair{&toGaussKrueger, &utm},
                              std::pair{&project, &geographic}, std::pair{&unproject, &utm},
                              std::pair{&shift, &geographic}}) {
    SCOPED_TRACE(::testing::Message()
                 << "system " << t->source().system << " to " << t->target().system);
    engine::setKernelPathForTesting(KernelPath::Vector);
    const Batch expected = runByChunks(*t, *in);
    const std::size_t orderedBefore = engine::orderedChunksForTesting();
    const Batch whole = run(*t, KernelPath::Vector, *in);
    EXPECT_EQ(engine::orderedChunksForTesting() - orderedBefore, 2u);
    expectSameResults(*t, expected, whole);

    // In place, without zones and statuses out.
    Batch inPlace{in->x, in->y, expected.zone, expected.status};
    engine::setKernelPathForTesting(KernelPath::Vector);
    t->transform(in->x.size(), inPlace.x.data(), inPlace.y.data(),
                 in->zone.empty() ? nullptr : in->zone.data(), inPlace.x.data(), inPlace.y.data(),
                 nullptr, nullptr);
    engine::setKernelPathForTesting(engine::fastestKernelPath());
    expectSameResults(*t, expected, inPlace);
  }
}

TEST(VectorBlocks, RandomOrderOverEveryRouteStaysOnTheVectorPathAndAgreesWithScalar) {
  if (!engine::kernelPathAvailable(KernelPath::Vector)) GTEST_SKIP() << "no vector path here";
  const Points geographic = randomGeographic(2003);  // blocks of eight and a scalar tail
  ASSERT_GT(mixedBlocks(geographic), 200u);
  for (int from = 1; from <= 4; ++from) {
    for (int to = 1; to <= 4; ++to) {
      for (int width : from == 4 || to == 4 ? std::vector<int>{3, 6} : std::vector<int>{3}) {
        const Points grid = gridOf(geographic, from, width);
        for (CT fromType : {CT::Geographic, CT::Grid}) {
          for (CT toType : {CT::Geographic, CT::Grid}) {
            SCOPED_TRACE(::testing::Message()
                         << (fromType == CT::Grid ? "E:" : "G:") << from << " -> "
                         << (toType == CT::Grid ? "E:" : "G:") << to << " width " << width);
            const Transformer t({fromType, from}, {toType, to}, {width, true, 0});
            const Points& in = fromType == CT::Grid ? grid : geographic;
            const Batch scalar = run(t, KernelPath::Scalar, in);
            Batch vector;
            EXPECT_EQ(scalarLanesOf(t, in, vector), 0u);
            expectSameResults(t, scalar, vector);
          }
        }
      }
    }
  }
}

// Latitudes from pole to pole (the vector path's own sines and cosines of a latitude are series
// that must hold over the whole quarter circle) and offsets up to 9 deg from the meridian (the
// engine's series, the exact series near the meridian and far from it), projected and back in
// every system, with the engine's series and with the exact ones.
TEST(VectorBlocks, EveryLatitudeAgreesWithScalarInEachSeries) {
  if (!engine::kernelPathAvailable(KernelPath::Vector)) GTEST_SKIP() << "no vector path here";
  constexpr double kCentralMeridian = 9.0;  // deg: Gauss-Krueger zone 3, UTM zone 32
  Points geographic;
  for (double latitude = -88.75; latitude <= 88.75; latitude += 0.25) {
    for (double offset : {-9.0, -5.5, -3.0, -0.75, 0.0, 1.25, 3.9, 7.0}) {
      geographic.x.push_back(kCentralMeridian + offset + latitude / 1000.0);
      geographic.y.push_back(latitude);
    }
  }
  for (int system = 1; system <= 4; ++system) {
    const int zone = system == 1 || system == 4 ? 3 : 32;
    for (DatumShift method : {DatumShift::Polynomial, DatumShift::Official}) {
      SCOPED_TRACE(::testing::Message()
                   << "system " << system << " official " << (method == DatumShift::Official));
      const Transformer forward({CT::Geographic, system}, {CT::Grid, system}, {3, false, zone},
                                {method, ""});
      const Batch scalarGrid = run(forward, KernelPath::Scalar, geographic);
      Batch vectorGrid;
      EXPECT_LT(scalarLanesOf(forward, geographic, vectorGrid), geographic.x.size() / 10);
      expectSameResults(forward, scalarGrid, vectorGrid);

      const Points grid{scalarGrid.x, scalarGrid.y, scalarGrid.zone};
      const Transformer inverse({CT::Grid, system}, {CT::Geographic, system}, {3, false, 0},
                                {method, ""});
      const Batch scalarBack = run(inverse, KernelPath::Scalar, grid);
      Batch vectorBack;
      EXPECT_LT(scalarLanesOf(inverse, grid, vectorBack), grid.x.size() / 10);
      expectSameResults(inverse, scalarBack, vectorBack);
    }
  }
}

// Longitudes on the western edge of the zones' circle (180 deg W for UTM) belong to the first zone
// and are the vector path's, like any other longitude inside the circle.
TEST(VectorBlocks, TheWesternEdgeOfTheZonesStaysOnTheVectorPath) {
  if (!engine::kernelPathAvailable(KernelPath::Vector)) GTEST_SKIP() << "no vector path here";
  Points edge;
  for (double latitude = -60.0; latitude < 60.0; latitude += 7.5) {
    edge.x.push_back(-180.0);
    edge.y.push_back(latitude);
  }
  const Transformer t({CT::Geographic, 3}, {CT::Grid, 3}, {6, true, 0});
  const Batch scalar = run(t, KernelPath::Scalar, edge);
  Batch vector;
  EXPECT_EQ(scalarLanesOf(t, edge, vector), 0u);
  expectSameResults(t, scalar, vector);
  EXPECT_EQ(vector.zone[0], 1);
}

// Gauss-Krueger points (system 1, zone 3) a few last-digit steps either side of every edge of a
// mask row's first and last cells, converted to UTM: the lanes whose unprojection could fall on
// the other side of the edge than the scalar path's must take the scalar path's route.
TEST(VectorBlocks, PointsOnAMaskEdgeTakeTheScalarPathsRoute) {
  if (!engine::kernelPathAvailable(KernelPath::Vector)) GTEST_SKIP() << "no vector path here";
  constexpr double kHalfColumn = 1.0 / 6.0, kHalfRow = 1.0 / 10.0;  // deg
  constexpr int kSteps = 48;  // last-digit steps of the easting or northing either side
  Points edges;
  std::vector<bool> acrossLongitude;
  for (const auto& c : testing::readCases("engine_region_edges.txt")) {
    const double latitude = c.number(3), longitude = c.number(4);
    edges.x.insert(edges.x.end(),
                   {longitude - kHalfColumn, longitude + kHalfColumn, longitude, longitude});
    edges.y.insert(edges.y.end(), {latitude, latitude, latitude - kHalfRow, latitude + kHalfRow});
    acrossLongitude.insert(acrossLongitude.end(), {true, true, false, false});
  }
  const Transformer toGrid({CT::Geographic, 1}, {CT::Grid, 1}, {3, false, 3});
  const Points onEdge = [&] {
    Points grid{std::vector<double>(edges.x.size()), std::vector<double>(edges.x.size()), {}};
    toGrid.transform(edges.x.size(), edges.x.data(), edges.y.data(), nullptr, grid.x.data(),
                     grid.y.data(), nullptr, nullptr);
    return grid;
  }();
  Points in;
  for (std::size_t e = 0; e < onEdge.x.size(); ++e) {
    double x = onEdge.x[e], y = onEdge.y[e];
    double& moved = acrossLongitude[e] ? x : y;
    for (int step = 0; step < kSteps; ++step) moved = std::nextafter(moved, -HUGE_VAL);
    for (int step = 0; step <= 2 * kSteps; ++step, moved = std::nextafter(moved, HUGE_VAL)) {
      in.x.push_back(x);
      in.y.push_back(y);
    }
  }
  const Transformer t({CT::Grid, 1}, {CT::Grid, 3}, {3, false, 32});
  Batch vector;
  EXPECT_GT(scalarLanesOf(t, in, vector), 0u);  // the guard sends lanes on the edge away
  expectSameResults(t, run(t, KernelPath::Scalar, in), vector);
}

}  // namespace
}  // namespace nuvex
