// A host of the coordinate library, written as a Windows application would be: it loads the
// library at run time, finds the three entry points by their exported names, installs its own
// callback record and converts points, also on several threads at once. Its reportFailure ends a
// calculation by throwing, as the library requires of hosts.
//
// Usage: nuvex_host_example [library [expected-results]]
//   library           path of Nuvex64.dll or libnuvex.so (default: that name, found by the system)
//   expected-results  lines as this program prints them; every result must agree with its line
//                     (kMetres, kDegrees), else the exit status is 1
#include <atomic>
#include <cmath>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <exception>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "library.h"

// The callback record as this host declares it: 784 bytes, the size and 97 pointer-sized slots,
// of which it fills the first three. The layout is the whole contract.
struct HostCallbacks {
  std::uint64_t structSize;
  void (*logMessage)(int level, const char* format, ...);
  void (*reportFailure)(const char* text, int code, const void* reserved, const char* file,
                        int line);
  void (*showMessage)(const char* format, ...);
  void* unusedSlots[94];
};
static_assert(sizeof(HostCallbacks) == 784, "the record the library expects");

namespace {

constexpr double kMetres = 1e-9;    // m: agreement of grid results
constexpr double kDegrees = 1e-14;  // deg: about 1e-9 m on the ground
constexpr int kThreads = 4;
constexpr int kRoundsPerThread = 200;
constexpr int kFatalSystem = 5;  // a system code the projection rejects as fatal

// What the host throws from reportFailure to end the calculation that failed.
class CalculationAborted : public std::exception {};

std::atomic<bool> echoTraces{true};
std::atomic<int> traceLines{0};

void logMessage(int level, const char* format, ...) {
  ++traceLines;
  if (!echoTraces) return;
  std::printf("log %d: ", level);
  std::va_list args;
  va_start(args, format);
  std::vprintf(format, args);
  va_end(args);
}

void reportFailure(const char* text, int code, const void*, const char* file, int line) {
  std::printf("failure: %s (code %d, %s:%d)\n", text != nullptr ? text : "-", code, file, line);
  throw CalculationAborted();
}

void showMessage(const char* format, ...) {
  std::va_list args;
  va_start(args, format);
  std::vprintf(format, args);
  va_end(args);
  std::printf("\n");
}

struct Conversion {
  bool fromLL;  // WGS84 longitude/latitude to the grid of `system`, else the grid to WGS84
  int system;
  double x, y;
  int zone;
  int status = 0;
  double xOut = 0, yOut = 0;
  int zoneOut = 0;
};

// Points on each system in both directions, and one without a transformation path.
std::vector<Conversion> samplePoints() {
  return {
      {true, 3, 10.0, 50.0, 0},
      {true, 1, 10.0, 50.0, 0},
      {true, 2, 9.0, 48.0, 0},
      {true, 4, 13.4, 52.5, 0},
      {false, 3, 571666.4475, 5539109.8153, 32},
      {false, 1, 3571686.387, 5540758.788, 0},
      {false, 4, 4590000.0, 5820000.0, 0},
      {false, 2, 500000.0, 1100000.0, 36},
  };
}

void convert(const EntryPoints& entry, Conversion& c) {
  c.zoneOut = c.zone;
  c.status = c.fromLL ? entry.convertFromLL(c.x, c.y, &c.xOut, &c.yOut, c.system, &c.zoneOut, 1, 0)
                      : entry.convertToLL(c.x, c.y, &c.xOut, &c.yOut, c.system, &c.zoneOut, 1);
}

std::string describe(const Conversion& c) {
  char line[256];
  std::snprintf(line, sizeof line, "%s %d %.17g %.17g -> %d %.17g %.17g %d",
                c.fromLL ? "from-ll" : "to-ll", c.system, c.x, c.y, c.status, c.xOut, c.yOut,
                c.zoneOut);
  return line;
}

bool agrees(const Conversion& c, const std::string& expectedLine) {
  char direction[16];
  int system = 0, status = 0, zone = 0;
  double x = 0, y = 0, xOut = 0, yOut = 0;
  if (std::sscanf(expectedLine.c_str(), "%15s %d %lf %lf -> %d %lf %lf %d", direction, &system, &x,
                  &y, &status, &xOut, &yOut, &zone) != 8) {
    return false;
  }
  const double tolerance = c.fromLL ? kMetres : kDegrees;
  return direction == std::string(c.fromLL ? "from-ll" : "to-ll") && system == c.system &&
         x == c.x && y == c.y && status == c.status && zone == c.zoneOut &&
         std::abs(xOut - c.xOut) <= tolerance && std::abs(yOut - c.yOut) <= tolerance;
}

std::vector<std::string> readExpected(const char* path) {
  std::vector<std::string> lines;
  std::ifstream in(path);
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (!line.empty() && line[0] != '#') lines.push_back(line);
  }
  return lines;
}

// Every thread converts the sample points again and again; the library's lock keeps each result
// exactly the serial one. Returns the number of differing results.
int convertOnThreads(const EntryPoints& entry, const std::vector<Conversion>& serial) {
  std::atomic<int> differences{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&] {
      for (int round = 0; round < kRoundsPerThread; ++round) {
        std::vector<Conversion> points = samplePoints();
        for (std::size_t i = 0; i < points.size(); ++i) {
          convert(entry, points[i]);
          const bool converted = serial[i].status == 0;  // else the outputs are another call's
          if (points[i].status != serial[i].status ||
              (converted &&
               (points[i].xOut != serial[i].xOut || points[i].yOut != serial[i].yOut))) {
            ++differences;
          }
        }
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  return differences;
}

// A fatal report ends the conversion with the host's exception; the library's lock is released
// on the way out, so another thread converts at once.
bool abortsAndReleasesTheLock(const EntryPoints& entry) {
  double x = 0, y = 0;
  int zone = 3;
  try {
    entry.convertToLL(3500000.0, 5500000.0, &x, &y, kFatalSystem, &zone, 0);
    return false;
  } catch (const CalculationAborted&) {
    std::printf("calculation aborted by the host's exception\n");
  }
  int status = -2;
  std::thread other([&] { status = entry.convertFromLL(10.0, 50.0, &x, &y, 3, &zone, 1, 0); });
  other.join();
  return status == 0;
}

}  // namespace

int main(int argc, char** argv) {
  const char* path = argc > 1 ? argv[1] : kLibraryName;
  EntryPoints entry{};
  std::string error;
  if (!loadEntryPoints(path, entry, error)) {
    std::fprintf(stderr, "cannot load %s: %s\n", path, error.c_str());
    return 1;
  }
  bool ok = true;
  double x = 0, y = 0;
  int zone = 0;
  if (entry.convertFromLL(10.0, 50.0, &x, &y, 3, &zone, 1, 0) == 0) {
    std::printf("error: a conversion ran before the callbacks were installed\n");
    ok = false;
  }

  HostCallbacks callbacks{};
  callbacks.structSize = sizeof callbacks;
  callbacks.logMessage = logMessage;
  callbacks.reportFailure = reportFailure;
  callbacks.showMessage = showMessage;
  entry.setCallbacks(callbacks);

  std::vector<Conversion> serial = samplePoints();
  const std::vector<std::string> expected =
      argc > 2 ? readExpected(argv[2]) : std::vector<std::string>{};
  if (argc > 2 && expected.size() != serial.size()) {
    std::printf("error: %zu expected results for %zu points\n", expected.size(), serial.size());
    ok = false;
  }
  for (std::size_t i = 0; i < serial.size(); ++i) {
    convert(entry, serial[i]);
    std::printf("%s\n", describe(serial[i]).c_str());
    if (i < expected.size() && !agrees(serial[i], expected[i])) {
      std::printf("error: expected %s\n", expected[i].c_str());
      ok = false;
    }
  }

  echoTraces = false;
  const int differences = convertOnThreads(entry, serial);
  std::printf("%d threads x %d rounds: %d results differ from the serial ones\n", kThreads,
              kRoundsPerThread, differences);
  ok = ok && differences == 0;
  if (!abortsAndReleasesTheLock(entry)) {
    std::printf("error: the conversion lock was not released after the abort\n");
    ok = false;
  }
  std::printf("%d trace lines; %s\n", traceLines.load(), ok ? "all as expected" : "FAILED");
  return ok ? 0 : 1;
}
