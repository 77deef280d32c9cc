// The batch loop: blocks of four on the vector path where it runs, the rest point by point on the
// scalar reference path.
#include "engine/batch.h"

#include <atomic>
#include <cmath>
#include <limits>
#include <stdexcept>

#include "engine/official_datum.h"
#include "engine/spatial_order.h"

namespace nuvex::engine {

bool kernelPathAvailable(KernelPath path) {
  return path == KernelPath::Scalar || vectorBlockSupported();
}

KernelPath fastestKernelPath() {
  static const KernelPath fastest =
      kernelPathAvailable(KernelPath::Vector) ? KernelPath::Vector : KernelPath::Scalar;
  return fastest;
}

namespace {

std::atomic<KernelPath>& chosenPath() {
  static std::atomic<KernelPath> path{fastestKernelPath()};
  return path;
}

}  // namespace

KernelPath activeKernelPath() {
  return chosenPath().load(std::memory_order_relaxed);
}

void setKernelPathForTesting(KernelPath path) {
  if (!kernelPathAvailable(path)) throw std::logic_error("kernel path not available here");
  chosenPath().store(path, std::memory_order_relaxed);
}

std::size_t convertPoints(const ConversionPlan& plan, KernelPath path, std::size_t count,
                          const double* x, const double* y, const int* zone, double* xOut,
                          double* yOut, int* zoneOut, int* status) {
  std::size_t converted = 0;
  std::size_t i = 0;
  if (path == KernelPath::Vector) {
    const std::size_t blocks = count / kVectorLanes;
    converted =
        convertVectorBlocksInSpatialOrder(plan, blocks, x, y, zone, xOut, yOut, zoneOut, status);
    i = blocks * kVectorLanes;
  }
  for (; i < count; ++i) {
    PointResult result{};
    const int pointStatus =
        statusOf(convertBatchPoint(plan, x[i], y[i], zone != nullptr ? zone[i] : 0, result));
    xOut[i] = result.x;
    yOut[i] = result.y;
    if (zoneOut != nullptr) zoneOut[i] = result.zone;
    if (status != nullptr) status[i] = pointStatus;
    if (pointStatus == kPointDone) ++converted;
  }
  return converted;
}

std::size_t convertPointsInFull(const ConversionPlan& plan, KernelPath path, std::size_t count,
                                const double* x, const double* y, const double* z,
                                const double* epoch, const int* zone, double* xOut, double* yOut,
                                double* zOut, int* zoneOut, int* status) {
  std::size_t converted = 0;
  std::size_t i = 0;
  const OfficialDatum& official = *plan.official;
  if (path == KernelPath::Vector && !official.heightsInThreeDimensions()) {
    const std::size_t blocks = count / kVectorLanes;
    converted = convertVectorBlocksInFull(plan, blocks, x, y, z, epoch, zone, xOut, yOut, zOut,
                                          zoneOut, status);
    i = blocks * kVectorLanes;
  }
  for (; i < count; ++i) {
    PointResult result{};
    double height = 0.0;
    const int pointStatus = statusOf(convertBatchPoint(
        plan, x[i], y[i], z != nullptr ? &z[i] : nullptr, epoch != nullptr ? epoch[i] : plan.epoch,
        zone != nullptr ? zone[i] : 0, result, height));
    xOut[i] = result.x;
    yOut[i] = result.y;
    if (zOut != nullptr) zOut[i] = height;
    if (zoneOut != nullptr) zoneOut[i] = result.zone;
    if (status != nullptr) status[i] = pointStatus;
    if (pointStatus == kPointDone) ++converted;
  }
  return converted;
}

}  // namespace nuvex::engine
