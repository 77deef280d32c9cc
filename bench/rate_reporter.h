// Console output as usual, plus the rates of every run kept by name, so that a benchmark program
// can print the ratios its targets name after the run (a ratio within one run is what stays
// meaningful on a shared machine).
#pragma once

#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

namespace nuvex::bench {

class RateReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      // With repetitions only the mean stands for the benchmark.
      if (run.run_type == Run::RT_Aggregate && run.aggregate_name != "mean") continue;
      for (const auto& [counter, value] : run.counters) {
        counters_[counter][run.run_name.str()] = value.value;
      }
    }
    ConsoleReporter::ReportRuns(runs);
  }

  // Values of one counter (e.g. "items_per_second") by run name.
  const std::map<std::string, double>& counter(const std::string& name) const {
    static const std::map<std::string, double> none;
    const auto found = counters_.find(name);
    return found != counters_.end() ? found->second : none;
  }
  const std::map<std::string, double>& rates() const { return counter("items_per_second"); }

  // "fast vs base: 3.21x (target 3.0x)" from the items per second of two runs, if both ran.
  void printRatio(const std::string& fast, const std::string& base, double target = 0.0) const {
    const auto f = rates().find(fast), b = rates().find(base);
    if (f == rates().end() || b == rates().end() || b->second <= 0.0) return;
    std::printf("%s vs %s: %.2fx", fast.c_str(), base.c_str(), f->second / b->second);
    if (target > 0.0) std::printf(" (target %.1fx)", target);
    std::printf("\n");
  }

 private:
  std::map<std::string, std::map<std::string, double>> counters_;
};

// Runs the registered benchmarks through a RateReporter, then summary(reporter).
template <typename Summary>
int runWithRates(int argc, char** argv, Summary summary) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  RateReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  summary(reporter);
  benchmark::Shutdown();
  return 0;
}

}  // namespace nuvex::bench
