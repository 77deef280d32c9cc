/* The C interface in a few lines: WGS84 longitude and latitude to Gauss-Krueger (Bessel 1841,
 * system 1) and back, why a point has no path, a latitude in degrees, minutes and seconds, and a
 * refused system name.
 * Build: see CMakeLists.txt beside it (find_package(nuvex), target nuvex::nuvex_c). */
#include <stdio.h>

#include "nuvex/nuvex.h"

#define COUNT 3

int main(void) {
  const double lon[COUNT] = {10.0, 13.4, 0.0};
  const double lat[COUNT] = {51.0, 52.5, 40.0}; /* the last has no path to system 1 */
  double easting[COUNT], northing[COUNT], lon_back[COUNT], lat_back[COUNT];
  int32_t zone[COUNT], status[COUNT], sign, degrees, minutes;
  double seconds;
  nuvex_error error;
  nuvex_transformer* to_grid = nuvex_transformer_create("G:3", "E:1", NULL, &error);
  nuvex_transformer* to_wgs84 = nuvex_transformer_create("E:1", "G:3", NULL, &error);
  int i;
  if (to_grid == NULL || to_wgs84 == NULL) {
    fprintf(stderr, "nuvex: %s\n", error.message);
    return 1;
  }
  if (nuvex_transform(to_grid, COUNT, lon, lat, NULL, easting, northing, zone, status, &error) !=
          0 ||
      nuvex_transform(to_wgs84, COUNT, easting, northing, NULL, lon_back, lat_back, NULL, NULL,
                      &error) != 0) {
    fprintf(stderr, "nuvex: %s\n", error.message);
    return 1;
  }
  printf("nuvex %s\n", nuvex_version());
  for (i = 0; i < COUNT; ++i) {
    if (status[i] != NUVEX_POINT_CONVERTED) {
      int32_t reason = NUVEX_REASON_NONE;
      nuvex_explain(to_grid, lon[i], lat[i], 0, &reason, &error);
      printf("%.4f %.4f: no transformation path: %s\n", lon[i], lat[i], nuvex_reason_text(reason));
      continue;
    }
    printf("%.4f %.4f -> E %.3f N %.3f zone %d -> %.9f %.9f\n", lon[i], lat[i], easting[i],
           northing[i], (int)zone[i], lon_back[i], lat_back[i]);
  }
  nuvex_transformer_destroy(to_grid);
  nuvex_transformer_destroy(to_wgs84);

  if (nuvex_deg2dms(lat[1], 2, &sign, &degrees, &minutes, &seconds, &error) == 0) {
    printf("latitude %.4f = %d deg %02d' %05.2f\" %c\n", lat[1], (int)degrees, (int)minutes,
           seconds, sign < 0 ? 'S' : 'N');
  }
  if (nuvex_transformer_create("E:7", "G:3", NULL, &error) == NULL) {
    printf("refused (code %d): %s\n", error.code, error.message);
  }
  return 0;
}
