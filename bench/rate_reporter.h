// Console output as usual, plus the rates of every run kept by name, so that a benchmark program
// can print the ratios its targets name after the run (a ratio within one run is what stays
// meaningful on a shared machine). With --benchmark_repetitions=N each benchmark keeps its best
// repetition: on a shared machine the other work only ever slows a repetition down, so the
// fastest is the one nearest the program's own speed, for the baseline as for the program.
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
      if (run.run_type == Run::RT_Aggregate || run.error_occurred) continue;
      for (const auto& [counter, value] : run.counters) {
        keepBest(counters_[counter], run.run_name.str(), counter, value.value);
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
  // Rates are best high; the other counters (times per point) best low.
  static void keepBest(std::map<std::string, double>& byRun, const std::string& run,
                       const std::string& counter, double value) {
    const auto [kept, first] = byRun.emplace(run, value);
    if (first) return;
    const bool higherIsBetter = counter == "items_per_second" || counter == "bytes_per_second";
    if (higherIsBetter ? value > kept->second : value < kept->second) kept->second = value;
  }

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
