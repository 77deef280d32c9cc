// Throughput of formatted output, each beside a baseline read from the same run:
//   BM_WriteReportLine   records/s of WRITE (1X,I6,3F12.4,2X,E12.5) to a file
//   BM_ReadReportLine    records/s of the matching formatted READ from that file
//   BM_FpeditF / BM_SnprintfF   one F12.4 field: fpedit against snprintf("%12.4f")
//   BM_FpeditE / BM_SnprintfE   one E12.5 field: fpedit against snprintf("%12.5E")
// The same WRITE compiled with gfortran is timed by bench/gfortran/run.sh.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "nuvex/runtime.h"

namespace {

constexpr const char* kReportFormat = "(1X,I6,3F12.4,2X,E12.5)";
constexpr const char* kReportFile = "report.txt";
constexpr int kUnit = 10;
constexpr int kRecordsPerFile = 100000;  // the file is started afresh after this many records
constexpr int kValueCount = 64;

// Values of a typical report: a few digits before and after the point, both signs.
const double* sampleValues() {
  static const auto values = [] {
    struct Values {
      double v[kValueCount];
    } table{};
    for (int i = 0; i < kValueCount; ++i)
      table.v[i] = (i % 7 - 3) * 1234.56789 / (i + 1) + i * 0.125;
    return table;
  }();
  return values.v;
}

// The runtime started once, working in a private directory that is removed at exit.
void startRuntime() {
  static bool started = [] {
    static char directory[] = "/tmp/nuvex-bench-XXXXXX";
    if (::mkdtemp(directory) == nullptr || ::chdir(directory) != 0) std::abort();
    std::atexit([] {
      close_all_units();
      std::remove(kReportFile);
      ::rmdir(directory);
    });
    f_diagnostics = std::fopen("/dev/null", "w");
    f77ini();
    return true;
  }();
  (void)started;
}

void openReport(const char* status) {
  close_unit(kUnit);
  if (open_unit(kUnit, kReportFile, status, "FORMATTED", "", 0) != 1) std::abort();
}

void writeRecord(int i) {
  const double* v = sampleValues();
  wrtfmt_seq(kUnit, kReportFormat, "%d %lf %lf %lf %lf\n", i, v[i % kValueCount],
             v[(i + 1) % kValueCount], v[(i + 2) % kValueCount], v[(i + 3) % kValueCount] * 1e-3);
}

void BM_WriteReportLine(benchmark::State& state) {
  startRuntime();
  openReport("NEW");
  int written = 0;
  for (auto _ : state) {
    writeRecord(written);
    if (++written % kRecordsPerFile == 0) {
      state.PauseTiming();
      openReport("NEW");
      state.ResumeTiming();
    }
  }
  close_unit(kUnit);
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_WriteReportLine);

void BM_ReadReportLine(benchmark::State& state) {
  startRuntime();
  openReport("NEW");
  for (int i = 0; i < kRecordsPerFile; ++i) writeRecord(i);
  openReport("OLD");
  int id = 0;
  double a = 0, b = 0, c = 0, d = 0;
  int read = 0;
  for (auto _ : state) {
    readfmt_seq(kUnit, kReportFormat, "%d %lf %lf %lf %lf", &id, &a, &b, &c, &d);
    benchmark::DoNotOptimize(d);
    if (++read % kRecordsPerFile == 0) {
      state.PauseTiming();
      openReport("OLD");
      state.ResumeTiming();
    }
  }
  close_unit(kUnit);
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_ReadReportLine);

void fpeditField(benchmark::State& state, char code, int width, int digits) {
  const double* values = sampleValues();
  char field[32];
  int i = 0;
  for (auto _ : state) {
    edit_descriptor d{code, width, digits, 2};
    fpedit(values[i++ % kValueCount], &d, 0, 0, field);
    benchmark::DoNotOptimize(field);
  }
  state.SetItemsProcessed(state.iterations());
}

void snprintfField(benchmark::State& state, const char* format) {
  const double* values = sampleValues();
  char field[32];
  int i = 0;
  for (auto _ : state) {
    std::snprintf(field, sizeof field, format, values[i++ % kValueCount]);
    benchmark::DoNotOptimize(field);
  }
  state.SetItemsProcessed(state.iterations());
}

void BM_FpeditF(benchmark::State& state) {
  fpeditField(state, 'F', 12, 4);
}
void BM_SnprintfF(benchmark::State& state) {
  snprintfField(state, "%12.4f");
}
void BM_FpeditE(benchmark::State& state) {
  fpeditField(state, 'E', 12, 5);
}
void BM_SnprintfE(benchmark::State& state) {
  snprintfField(state, "%12.5E");
}
BENCHMARK(BM_FpeditF);
BENCHMARK(BM_SnprintfF);
BENCHMARK(BM_FpeditE);
BENCHMARK(BM_SnprintfE);

}  // namespace

BENCHMARK_MAIN();
