// Converts one point through the installed shared library.
#include <nuvex/host.h>

#include <cmath>
#include <cstdio>

int main() {
  DLLCallbacks record{};
  record.structSize = sizeof record;
  SetNuvexCallbacks(record);
  double easting = 0, northing = 0;
  int zone = 0;
  if (NuvexConvertFromLL(10.0, 50.0, &easting, &northing, 3, &zone, 1, 0) != 0) return 1;
  std::printf("%d %.3f %.3f\n", zone, easting, northing);
  return std::fabs(easting - 571666.448) < 1e-3 ? 0 : 1;
}
