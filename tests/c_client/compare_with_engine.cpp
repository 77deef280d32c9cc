// Checks the conversions the C client wrote against the C++ engine: every point with the same
// status and zone, and the same coordinates within the agreement of the engine's scalar and
// vector paths (a thread's share of points need not start on a vector block). Usage:
// compare_with_engine <results file>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "nuvex/systems.h"
#include "nuvex/transform.h"

namespace {

constexpr std::size_t kSystemNameBytes = 8;

template <typename T>
bool read(std::ifstream& in, std::vector<T>& values, std::size_t count) {
  values.resize(count);
  return static_cast<bool>(in.read(reinterpret_cast<char*>(values.data()),
                                   static_cast<std::streamsize>(count * sizeof(T))));
}

constexpr double kMetreTolerance = 1e-6;
constexpr double kDegreeTolerance = 1e-11;

bool near(double a, double b, bool geographic) {
  return std::fabs(a - b) <= (geographic ? kDegreeTolerance : kMetreTolerance);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) return 2;
  std::ifstream in(argv[1], std::ios::binary);
  int conversions = 0, differences = 0, withoutPath = 0;
  char names[2][kSystemNameBytes];
  std::uint64_t count = 0;
  while (in.read(names[0], kSystemNameBytes) && in.read(names[1], kSystemNameBytes) &&
         in.read(reinterpret_cast<char*>(&count), sizeof count)) {
    std::vector<double> x, y, xOut, yOut;
    std::vector<std::int32_t> zoneOut, status;
    if (!read(in, x, count) || !read(in, y, count) || !read(in, xOut, count) ||
        !read(in, yOut, count) || !read(in, zoneOut, count) || !read(in, status, count)) {
      std::fprintf(stderr, "%s: truncated\n", argv[1]);
      return 1;
    }
    const nuvex::Transformer engine(nuvex::parseSystemName(names[0], "source").system,
                                    nuvex::parseSystemName(names[1], "target").system);
    std::vector<double> ex(count), ey(count);
    std::vector<int> ezone(count), estatus(count);
    engine.transform(count, x.data(), y.data(), nullptr, ex.data(), ey.data(), ezone.data(),
                     estatus.data());
    const bool geographic = engine.target().type == nuvex::CoordinateType::Geographic;
    for (std::size_t i = 0; i < count; ++i) {
      const bool same =
          status[i] == estatus[i] && (status[i] != nuvex::kPointConverted ||
                                      (near(xOut[i], ex[i], geographic) &&
                                       near(yOut[i], ey[i], geographic) && zoneOut[i] == ezone[i]));
      if (!same && ++differences <= 5) {
        std::fprintf(
            stderr,
            "%s -> %s point %zu (%.10g, %.10g): C %d %.17g %.17g %d, C++ %d %.17g %.17g %d\n",
            names[0], names[1], i, x[i], y[i], status[i], xOut[i], yOut[i], zoneOut[i], estatus[i],
            ex[i], ey[i], ezone[i]);
      }
      withoutPath += status[i] != nuvex::kPointConverted;
    }
    ++conversions;
  }
  std::printf("%d conversions checked, %d points without path, %d differ from the C++ engine\n",
              conversions, withoutPath, differences);
  return conversions > 0 && withoutPath > 0 && differences == 0 ? 0 : 1;
}
