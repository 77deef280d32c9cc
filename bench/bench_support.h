// What the engine benchmarks share: choosing the kernel path a run measures, and PROJ as the
// baseline measured in the same run (its forward proj_trans_array over a fresh copy of the points
// each iteration, and the operation it chose for a pair of CRSs).
#pragma once

#include <benchmark/benchmark.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "engine/batch.h"

#if defined(NUVEX_HAVE_PROJ)
#include <proj.h>
#endif

namespace nuvex::bench {

// Takes the kernel path of the run's first argument; false (run skipped) where it is missing.
inline bool choosePath(benchmark::State& state) {
  const auto path = static_cast<nuvex::engine::KernelPath>(state.range(0));
  if (!nuvex::engine::kernelPathAvailable(path)) {
    state.SkipWithError("kernel path not available on this processor or build");
    return false;
  }
  nuvex::engine::setKernelPathForTesting(path);
  return true;
}

#if defined(NUVEX_HAVE_PROJ)
// Times op forward over copies of input (the copy is not timed) and counts its points.
inline void timeProjArray(benchmark::State& state, PJ* op, const std::vector<PJ_COORD>& input) {
  std::vector<PJ_COORD> work(input.size());
  for (auto _ : state) {
    state.PauseTiming();
    work = input;
    state.ResumeTiming();
    benchmark::DoNotOptimize(proj_trans_array(op, PJ_FWD, work.size(), work.data()));
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * input.size()));
}

// PROJ's operation between two CRSs, easting (longitude) first, in a context of its own.
class ProjOperation {
 public:
  ProjOperation(const char* source, const char* target) : context_(proj_context_create()) {
    PJ* raw = proj_create_crs_to_crs(context_, source, target, nullptr);
    op_ = raw != nullptr ? proj_normalize_for_visualization(context_, raw) : nullptr;
    proj_destroy(raw);
  }
  ProjOperation(const ProjOperation&) = delete;
  ProjOperation& operator=(const ProjOperation&) = delete;
  ~ProjOperation() {
    proj_destroy(op_);
    proj_context_destroy(context_);
  }

  PJ* get() const { return op_; }
  // Description and definition of the operation the last transformation used.
  std::pair<std::string, std::string> lastUsed() const {
    PJ* used = proj_trans_get_last_used_operation(op_);
    const PJ_PROJ_INFO info = proj_pj_info(used != nullptr ? used : op_);
    std::pair<std::string, std::string> result{info.description != nullptr ? info.description : "?",
                                               info.definition != nullptr ? info.definition : ""};
    proj_destroy(used);
    return result;
  }

 private:
  PJ_CONTEXT* context_;
  PJ* op_;
};
#endif

}  // namespace nuvex::bench
