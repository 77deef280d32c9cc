/* A C client of the C interface, as a C program binds to libnuvex_c.so or nuvex_c.dll: it
 * converts a lattice of points from four threads on shared transformers, checks the refusals of
 * bad calls, the reasons of points without a path, heights (with an options struct of the size
 * callers built before the heights had) and ITRF2020 at an epoch (with one of the size before the
 * epoch), and writes every conversion to a binary file that compare_with_engine checks against
 * the C++ engine.
 * Usage: threaded_client <results file> */
#include <math.h>
#include <pthread.h>
#include <stddef.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "nuvex/nuvex.h"

#define THREADS 4
#define SIDE 150 /* points per lattice side, over both regions of the datum shifts and beyond */
#define POINTS (SIDE * SIDE)
#define SYSTEM_NAME_BYTES 8

struct conversion {
  char source[SYSTEM_NAME_BYTES];
  char target[SYSTEM_NAME_BYTES];
};

static const struct conversion conversions[] = {
    {"G:3", "E:1"}, {"G:3", "E:4"}, {"G:2", "G:3"}, {"G:3", "E:3"}};

struct share {
  const nuvex_transformer* transformer;
  size_t first, count;
  const double *x, *y;
  double *x_out, *y_out;
  int32_t *zone_out, *status;
  int result;
};

static void* convert_share(void* argument) {
  struct share* s = (struct share*)argument;
  nuvex_error error;
  s->result = nuvex_transform(s->transformer, s->count, s->x + s->first, s->y + s->first, NULL,
                              s->x_out + s->first, s->y_out + s->first, s->zone_out + s->first,
                              s->status + s->first, &error);
  if (s->result != 0) fprintf(stderr, "nuvex_transform: %s\n", error.message);
  return NULL;
}

/* A refusal with the expected code; 1 when it is not. */
static int expect_code(const char* what, int code, const nuvex_error* error, int expected) {
  if (code == expected && error->code == expected && error->message[0] != '\0') return 0;
  fprintf(stderr, "%s: code %d (%d), \"%s\" instead of code %d\n", what, code, error->code,
          error->message, expected);
  return 1;
}

static int check_refusals(void) {
  int failures = 0;
  nuvex_error error;
  nuvex_options small;
  nuvex_transformer* t = nuvex_transformer_create(NULL, "G:3", NULL, &error);
  failures +=
      t != NULL || expect_code("null source", NUVEX_ERROR_SYSTEM, &error, NUVEX_ERROR_SYSTEM);
  t = nuvex_transformer_create("E:1", "G:9", NULL, &error);
  failures +=
      t != NULL || expect_code("unknown target", NUVEX_ERROR_SYSTEM, &error, NUVEX_ERROR_SYSTEM);
  nuvex_options_init(&small);
  /* One byte short of the first version, which ends with grid (later versions are larger). */
  small.size = offsetof(nuvex_options, grid) + sizeof small.grid - 1;
  t = nuvex_transformer_create("E:1", "G:3", &small, &error);
  failures += t != NULL || expect_code("small options", NUVEX_ERROR_OPTIONS_SIZE, &error,
                                       NUVEX_ERROR_OPTIONS_SIZE);
  failures += expect_code(
      "null handle", nuvex_transform(NULL, 1, NULL, NULL, NULL, NULL, NULL, NULL, NULL, &error),
      &error, NUVEX_ERROR_ARGUMENT);
  t = nuvex_transformer_create("G:3", "E:3", NULL, &error);
  if (t == NULL) return failures + 1;
  {
    /* A count of more doubles than memory holds is no count of points (SIZE_MAX: -1 cast). */
    const double lon = 10.0, lat = 50.0;
    double x = 0.0, y = 0.0;
    failures +=
        expect_code("count SIZE_MAX",
                    nuvex_transform(t, SIZE_MAX, &lon, &lat, NULL, &x, &y, NULL, NULL, &error),
                    &error, NUVEX_ERROR_ARGUMENT);
    failures += x != 0.0;
  }
  nuvex_transformer_destroy(t);
  return failures;
}

/* Reasons as a C program reads them: the point converts, or the reason's number and text. */
static int check_reasons(void) {
  static const struct {
    double lon, lat;
    int reason;
  } points[] = {{10.0, 50.0, NUVEX_REASON_NONE},
                {10.0, 90.5, NUVEX_REASON_OUTSIDE_COORDINATES},
                {0.0, 50.0, NUVEX_REASON_NOT_FINITE}, /* longitude NaN, set below */
                {10.0, 70.0, NUVEX_REASON_OUTSIDE_POLYNOMIAL_AREA}};
  int failures = 0;
  size_t i;
  nuvex_error error;
  nuvex_transformer* t = nuvex_transformer_create("G:3", "E:1", NULL, &error);
  if (t == NULL) return 1;
  for (i = 0; i < sizeof points / sizeof points[0]; ++i) {
    int32_t reason = -1;
    const char* text;
    const double lon = points[i].reason == NUVEX_REASON_NOT_FINITE ? NAN : points[i].lon;
    if (nuvex_explain(t, lon, points[i].lat, 0, &reason, &error) != 0) {
      fprintf(stderr, "nuvex_explain: %s\n", error.message);
      ++failures;
      continue;
    }
    text = nuvex_reason_text(reason);
    if (reason != points[i].reason || (reason == NUVEX_REASON_NONE) != (text[0] == '\0')) {
      fprintf(stderr, "%g %g: reason %d (%s) instead of %d\n", points[i].lon, points[i].lat,
              (int)reason, text, points[i].reason);
      ++failures;
    }
  }
  failures += strcmp(nuvex_reason_text(-1), "unknown reason") != 0;
  failures += expect_code("explain without reason", nuvex_explain(t, 10.0, 50.0, 0, NULL, &error),
                          &error, NUVEX_ERROR_ARGUMENT);
  nuvex_transformer_destroy(t);
  return failures;
}

/* DHDN Gauss-Krueger zone 3 with a DHHN2016 height to ETRS89 UTM zone 32 with an ellipsoidal
   one, against PROJ 9.1.1 (tests/data/interface_heights.txt, which gives the cct command); a NaN
   height has its own reason. */
static int check_heights(void) {
  const double x = 3514881.4679, y = 5685234.0224, expected_x = 514801.643959750130,
               expected_y = 5683399.846769998781, expected_z = 296.723969022768;
  double z = 250.0, x_out = 0.0, y_out = 0.0, z_out = 0.0;
  int32_t status = 1, reason = -1;
  int failures = 0;
  nuvex_error error;
  nuvex_options options;
  nuvex_transformer* t;
  nuvex_options_init(&options);
  options.datum = 1;
  options.height_to = NUVEX_HEIGHT_ELLIPSOIDAL; /* the source's kind from its compound name */
  t = nuvex_transformer_create("EPSG:31467+7837", "EPSG:25832", &options, &error);
  if (t == NULL && strstr(error.message, "converts no heights") != NULL) {
    printf("heights: skipped, %s\n", error.message); /* a build without GeoTIFF grids */
    return 0;
  }
  if (t == NULL) {
    fprintf(stderr, "heights: %s\n", error.message);
    return 1;
  }
  if (nuvex_transform3d(t, 1, &x, &y, &z, NULL, NULL, &x_out, &y_out, &z_out, NULL, &status,
                        &error) != 0 ||
      status != NUVEX_POINT_CONVERTED || fabs(x_out - expected_x) > 1e-4 ||
      fabs(y_out - expected_y) > 1e-4 || fabs(z_out - expected_z) > 1e-4) {
    fprintf(stderr, "heights: %.6f %.6f %.6f (status %d) instead of %.6f %.6f %.6f\n", x_out, y_out,
            z_out, (int)status, expected_x, expected_y, expected_z);
    ++failures;
  }
  failures += expect_code("2D call with heights",
                          nuvex_transform(t, 1, &x, &y, NULL, &x_out, &y_out, NULL, NULL, &error),
                          &error, NUVEX_ERROR_ARGUMENT);
  if (nuvex_explain3d(t, x, y, NAN, NULL, 0, &reason, &error) != 0 ||
      reason != NUVEX_REASON_HEIGHT_OUT_OF_RANGE) {
    fprintf(stderr, "NaN height: reason %d instead of %d\n", (int)reason,
            NUVEX_REASON_HEIGHT_OUT_OF_RANGE);
    ++failures;
  }
  nuvex_transformer_destroy(t);
  /* A caller built before the heights: its struct ends after grid, and what lies beyond it is
     not read (nuvex_options_init wrote 0 there; a caller's stack would hold anything). */
  options.size = offsetof(nuvex_options, grid) + sizeof options.grid;
  options.height_to = 7;
  t = nuvex_transformer_create("G:3", "E:3", &options, &error);
  if (t == NULL) {
    fprintf(stderr, "options of the first version: %s\n", error.message);
    return failures + 1;
  }
  nuvex_transformer_destroy(t);
  return failures;
}

/* ITRF2020 10 E 50 N at 2026.9 to DHDN Gauss-Krueger zone 3, against PROJ 9.1.1
   (tests/data/interface_epochs.txt, which gives the cct command): the epoch of the options, one
   per point (NaN is none), the forgotten epoch, and options of a caller built before the epoch
   with the epoch in the source's name. */
static int check_epochs(void) {
  const double lon[2] = {10.0, 10.0}, lat[2] = {50.0, 50.0}, epochs[2] = {2026.9, NAN},
               expected_x = 3571769.205583703239, expected_y = 5540886.352708543651;
  double x[2] = {0.0, 0.0}, y[2] = {0.0, 0.0};
  int32_t status[2] = {1, 1}, reason = -1;
  int failures = 0;
  nuvex_error error;
  nuvex_options options;
  nuvex_transformer* t;
  nuvex_options_init(&options);
  options.datum = 1;
  t = nuvex_transformer_create("EPSG:9990", "EPSG:31467", &options, &error);
  if (t == NULL) {
    fprintf(stderr, "epochs: %s\n", error.message);
    return 1;
  }
  failures += expect_code("forgotten epoch",
                          nuvex_transform(t, 1, lon, lat, NULL, x, y, NULL, status, &error), &error,
                          NUVEX_ERROR_ARGUMENT);
  if (nuvex_transform3d(t, 2, lon, lat, NULL, epochs, NULL, x, y, NULL, NULL, status, &error) !=
          0 ||
      status[0] != NUVEX_POINT_CONVERTED || fabs(x[0] - expected_x) > 1e-4 ||
      fabs(y[0] - expected_y) > 1e-4 || status[1] != NUVEX_POINT_WITHOUT_PATH || !isnan(x[1])) {
    fprintf(stderr, "epochs per point: %.6f %.6f (status %d, %d) instead of %.6f %.6f\n", x[0],
            y[0], (int)status[0], (int)status[1], expected_x, expected_y);
    ++failures;
  }
  if (nuvex_explain3d(t, lon[1], lat[1], 0.0, &epochs[1], 0, &reason, &error) != 0 ||
      reason != NUVEX_REASON_EPOCH_OUT_OF_RANGE) {
    fprintf(stderr, "NaN epoch: reason %d instead of %d\n", (int)reason,
            NUVEX_REASON_EPOCH_OUT_OF_RANGE);
    ++failures;
  }
  nuvex_transformer_destroy(t);
  /* A caller built before the epoch: its struct ends after geoid, and what lies beyond it is not
     read (an epoch of 1 would be refused). */
  options.size = offsetof(nuvex_options, geoid) + sizeof options.geoid;
  options.epoch = 1.0;
  t = nuvex_transformer_create("EPSG:9990@2026.9", "EPSG:31467", &options, &error);
  if (t == NULL) {
    fprintf(stderr, "options before the epoch: %s\n", error.message);
    return failures + 1;
  }
  if (nuvex_transform(t, 1, lon, lat, NULL, x, y, NULL, status, &error) != 0 ||
      status[0] != NUVEX_POINT_CONVERTED || fabs(x[0] - expected_x) > 1e-4) {
    fprintf(stderr, "the name's epoch: %.6f (status %d) instead of %.6f\n", x[0], (int)status[0],
            expected_x);
    ++failures;
  }
  nuvex_transformer_destroy(t);
  return failures;
}

int main(int argc, char** argv) {
  static double x[POINTS], y[POINTS], x_out[POINTS], y_out[POINTS];
  static int32_t zone_out[POINTS], status[POINTS];
  size_t i, c;
  int failures = check_refusals() + check_reasons() + check_heights() + check_epochs();
  FILE* out;
  if (argc != 2) {
    fprintf(stderr, "usage: threaded_client <results file>\n");
    return 2;
  }
  out = fopen(argv[1], "wb");
  if (out == NULL) {
    perror(argv[1]);
    return 2;
  }
  for (i = 0; i < POINTS; ++i) {
    x[i] = 2.0 + 16.0 * (double)(i % SIDE) / (SIDE - 1);
    y[i] = 44.0 + 14.0 * (double)(i / SIDE) / (SIDE - 1);
  }
  for (c = 0; c < sizeof conversions / sizeof conversions[0]; ++c) {
    nuvex_error error;
    pthread_t threads[THREADS];
    struct share shares[THREADS];
    uint64_t count = POINTS;
    int w;
    nuvex_transformer* t =
        nuvex_transformer_create(conversions[c].source, conversions[c].target, NULL, &error);
    if (t == NULL) {
      fprintf(stderr, "%s -> %s: %s\n", conversions[c].source, conversions[c].target,
              error.message);
      return 1;
    }
    for (w = 0; w < THREADS; ++w) {
      struct share s;
      s.transformer = t;
      s.first = (size_t)POINTS * (size_t)w / THREADS;
      s.count = (size_t)POINTS * (size_t)(w + 1) / THREADS - s.first;
      s.x = x;
      s.y = y;
      s.x_out = x_out;
      s.y_out = y_out;
      s.zone_out = zone_out;
      s.status = status;
      s.result = -1;
      shares[w] = s;
      if (pthread_create(&threads[w], NULL, convert_share, &shares[w]) != 0) return 1;
    }
    for (w = 0; w < THREADS; ++w) {
      pthread_join(threads[w], NULL);
      failures += shares[w].result != 0;
    }
    nuvex_transformer_destroy(t);
    fwrite(&conversions[c], sizeof conversions[c], 1, out);
    fwrite(&count, sizeof count, 1, out);
    fwrite(x, sizeof x[0], POINTS, out);
    fwrite(y, sizeof y[0], POINTS, out);
    fwrite(x_out, sizeof x_out[0], POINTS, out);
    fwrite(y_out, sizeof y_out[0], POINTS, out);
    fwrite(zone_out, sizeof zone_out[0], POINTS, out);
    fwrite(status, sizeof status[0], POINTS, out);
  }
  if (fclose(out) != 0) return 2;
  printf("nuvex %s: %d points in %d conversions from %d threads, %d failures\n", nuvex_version(),
         POINTS, (int)(sizeof conversions / sizeof conversions[0]), THREADS, failures);
  return failures == 0 ? 0 : 1;
}
