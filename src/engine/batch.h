// The batch path behind Transformer: many points through one plan, on the scalar reference path
// or, where the build and the processor have it, on the vector path that converts eight points
// at once (AVX2 on x86-64, 128-bit SIMD in WebAssembly).
#pragma once

#include <cstddef>

#include "engine/point_conversion.h"
#include "nuvex/systems.h"

namespace nuvex::engine {

enum class KernelPath { Scalar, Vector };

// Whether the path was built in and this processor runs it (on x86-64 the vector path needs AVX2,
// FMA, BMI1 and BMI2).
bool kernelPathAvailable(KernelPath path);
// The vector path where available, else scalar. Chosen once per process.
KernelPath fastestKernelPath();
// The path Transformer takes: the fastest, unless a test has chosen another.
KernelPath activeKernelPath();
// Test hook (not public): makes Transformer take the given available path from now on.
void setKernelPathForTesting(KernelPath path);

// Converts count points on the given path (which must be available). Arrays as
// Transformer::transform; outputs may be the inputs themselves. Returns the points converted.
std::size_t convertPoints(const ConversionPlan& plan, KernelPath path, std::size_t count,
                          const double* x, const double* y, const int* zone, double* xOut,
                          double* yOut, int* zoneOut, int* status);

// One point of a batch on the scalar path, the reference of every path: checks its input against
// what the source can hold, converts it (series and datum shift as the plan says, each within its
// area) and checks the result against what the target can hold. Returns RangeProblem::None with
// the result, or why the point is marked, with NaN coordinates and zone 0 (checked_point.cpp).
RangeProblem convertBatchPoint(const ConversionPlan& plan, double x, double y, int zone,
                               PointResult& result);

// The same with a height, converted as the plan's official datum says (which must convert
// heights): also HeightOutOfRange and OutsideGeoid, with zResult NaN.
RangeProblem convertBatchPoint(const ConversionPlan& plan, double x, double y, double z, int zone,
                               PointResult& result, double& zResult);

// The most general form: a height (z: null for none; the plan's official datum must convert
// heights otherwise) and an epoch (the point's, for a route that needs one). zResult: the
// converted height, NaN for a marked point (a point without height: 0).
RangeProblem convertBatchPoint(const ConversionPlan& plan, double x, double y, const double* z,
                               double epoch, int zone, PointResult& result, double& zResult);

// Converts count points of an official plan that converts heights or needs epochs, on the given
// path (arrays as convertPoints; z and zOut: heights, null where the plan converts none; epoch:
// one per point, or null for the plan's). The vector blocks serve heights in two dimensions
// without epochs; the rest runs on the scalar path. Returns the points converted.
std::size_t convertPointsInFull(const ConversionPlan& plan, KernelPath path, std::size_t count,
                                const double* x, const double* y, const double* z,
                                const double* epoch, const int* zone, double* xOut, double* yOut,
                                double* zOut, int* zoneOut, int* status);

// Status of a point as transform reports it.
inline int statusOf(RangeProblem problem) {
  return problem == RangeProblem::None ? kPointDone : kPointNoPath;
}

// Whether a geographic point (deg) of the source system lies in the area of the polynomial datum
// shifts, where the chain may look for a route (region_grid.h has its edges).
bool insidePolynomialArea(double latitude, double longitude);

// ---- The vector path (built only with the vector library; see CMake) --------------------------

inline constexpr std::size_t kVectorLanes = 8;  // two AVX2 registers, or four 128-bit ones

// Whether this build carries a vector block (avx2_block.cpp, wasm_block.cpp) and the processor
// runs it.
bool vectorBlockSupported();
// Converts the first blocks * kVectorLanes points of the arrays (same layout and aliasing rules as
// convertPoints). Returns the points converted. mixedBlocks (may be null): how many blocks ran
// more than one branch of a stage (both series of a projection, more than one route of the
// datum chain) because their lanes took different ones.
std::size_t convertVectorBlocks(const ConversionPlan& plan, std::size_t blocks, const double* x,
                                const double* y, const int* zone, double* xOut, double* yOut,
                                int* zoneOut, int* status, std::size_t* mixedBlocks = nullptr);

// The same for an official plan with heights (z, zOut; null without) in two dimensions
// (OfficialDatum::heightsInThreeDimensions false) and epochs (one per point, or null for the
// plan's).
std::size_t convertVectorBlocksInFull(const ConversionPlan& plan, std::size_t blocks,
                                      const double* x, const double* y, const double* z,
                                      const double* epoch, const int* zone, double* xOut,
                                      double* yOut, double* zOut, int* zoneOut, int* status);

// Test hook (not public): how many lanes of vector blocks the calling thread has handed to the
// scalar path so far (lanes near an edge or outside what the series serve). Not in the
// WebAssembly build, which has no test programs.
std::size_t scalarLanesOfBlocksForTesting();

}  // namespace nuvex::engine
