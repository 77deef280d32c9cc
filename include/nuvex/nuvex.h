/* nuvex C interface: the batch transformation engine behind a stable C ABI (C99), for programs in
 * C and for every language that binds to C (.NET P/Invoke, Delphi, R, Rust, Go, Julia, ...).
 * Library: libnuvex_c.so on Linux, nuvex_c.dll with its import library nuvex_c.lib on Windows;
 * CMake target nuvex::nuvex_c.
 *
 * Systems (codes 1..5): 1 Bessel 1841 / Gauss-Krueger 3 deg zones, 2 International 1924 / UTM,
 * 3 WGS84 / UTM, 4 Krassowsky 1940 / Gauss-Krueger 3 or 6 deg zones, 5 ITRF2020 (GRS80) / UTM
 * (datum 1 only), named "E:n" (grid: easting and northing in metres) or "G:n" (geographic:
 * longitude and latitude in decimal degrees). Gauss-Krueger eastings carry their zone in their
 * millions. Heights (metres) are carried along, or converted with the official datum
 * transformations (nuvex_options.height_from/height_to, nuvex_transform3d). System 5 meets the
 * others at the points' epoch (nuvex_options.epoch, or one per point in nuvex_transform3d).
 *
 * Every call returns an error code (0: none) and fills the caller's nuvex_error, when given, with
 * the code and a message. Nothing the library allocates is freed by the caller except through
 * nuvex_transformer_destroy; no C++ exception leaves the library. */
#ifndef NUVEX_NUVEX_H
#define NUVEX_NUVEX_H

#include <stddef.h>
#include <stdint.h>

#if defined(_WIN32)
#if defined(NUVEX_C_BUILDING)
#define NUVEX_C_API __declspec(dllexport)
#else
#define NUVEX_C_API __declspec(dllimport)
#endif
#else
#define NUVEX_C_API __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Error codes of nuvex_error.code and of the calls' results. */
enum nuvex_error_code {
  NUVEX_OK = 0,
  NUVEX_ERROR_ARGUMENT = 1,     /* a NULL handle or array, an option out of its range */
  NUVEX_ERROR_SYSTEM = 2,       /* a NULL source or target, or one that names no system */
  NUVEX_ERROR_OPTIONS_SIZE = 3, /* options.size smaller than the first version of the struct */
  NUVEX_ERROR_UNAVAILABLE = 4,  /* a mode a build does not have (this version has every mode) */
  NUVEX_ERROR_OUT_OF_MEMORY = 5,
  NUVEX_ERROR_INTERNAL = 6 /* an unexpected failure; the message says what */
};

/* Kinds of heights (nuvex_options.height_from, height_to). */
enum nuvex_height {
  NUVEX_HEIGHT_NONE = 0,        /* none (as an option: the kind the side's name gives, if any) */
  NUVEX_HEIGHT_ELLIPSOIDAL = 1, /* above the ellipsoid: system 3 ETRS89/GRS80, 4 Krassowsky */
  NUVEX_HEIGHT_DHHN2016 = 2     /* DHHN2016 normal heights, above the quasigeoid (1, 3, 4) */
};

/* Status of one point after nuvex_transform. */
enum nuvex_point_status {
  NUVEX_POINT_CONVERTED = 0,
  NUVEX_POINT_WITHOUT_PATH = -1 /* no transformation path or no valid input: outputs NaN, zone 0 */
};

/* Why a point gets NUVEX_POINT_WITHOUT_PATH (nuvex_explain): the library's reasons, with the
   library's numbers; nuvex_reason_text gives each one's text. Later versions may add reasons. */
enum nuvex_reason {
  NUVEX_REASON_NONE = 0,                    /* the point converts */
  NUVEX_REASON_NOT_FINITE = 1,              /* a coordinate is NaN or infinite */
  NUVEX_REASON_OUTSIDE_COORDINATES = 2,     /* beyond -180..180 / -90..90 deg or 1e9 m */
  NUVEX_REASON_NO_SUCH_ZONE = 3,            /* its zone is none of the source's */
  NUVEX_REASON_BEYOND_POLE = 4,             /* a northing longer than the meridian to the pole */
  NUVEX_REASON_BEYOND_PROJECTION_LIMIT = 5, /* too far from its zone's central meridian */
  NUVEX_REASON_OUTSIDE_GRID = 6,            /* datum 1: outside the NTv2 grid */
  NUVEX_REASON_OUTSIDE_OFFICIAL_AREA = 7,   /* datum 1: outside EPSG:1775's area of use */
  NUVEX_REASON_OUTSIDE_POLYNOMIAL_AREA = 8, /* datum 0: outside the shift polynomials' area */
  NUVEX_REASON_NO_ZONE_OF_TARGET = 9,       /* its zone would be none of the target grid's */
  NUVEX_REASON_IMPOSSIBLE_RESULT = 10,      /* the result would be no point */
  NUVEX_REASON_HEIGHT_OUT_OF_RANGE = 11,    /* a height not finite or beyond 10 km */
  NUVEX_REASON_OUTSIDE_GEOID = 12,          /* where the quasigeoid grid holds no value */
  NUVEX_REASON_EPOCH_OUT_OF_RANGE = 13      /* system 5: an epoch not from 1990 to 2100 */
};

typedef struct nuvex_transformer nuvex_transformer; /* opaque */
typedef struct nuvex_error {
  int code;          /* 0: no error */
  char message[256]; /* zero-terminated UTF-8; cut to at most 255 bytes, between characters */
} nuvex_error;

typedef struct nuvex_options {
  size_t size;    /* sizeof(nuvex_options) as the caller knows it: the struct may grow */
  int zone_width; /* 3 or 6 (deg; 6 only changes system 4); 0: 3, or what source/target fix */
  int zone;       /* 0: each point's zone from its longitude; otherwise this zone for every point */
  int zone_prefix;  /* 1: UTM eastings carry the zone in their millions */
  int datum;        /* 0 polynomial (default, metre-level), 1 official (centimetre-level) */
  const char* grid; /* datum 1 only: an NTv2 or GeoTIFF grid file for system 1; NULL: the
                       built-in BeTA2007 */
  /* The heights, added after the first version: read only as far as size covers them (the
     smaller struct of a caller built before them means 0, 0, NULL). */
  int height_from;   /* a nuvex_height; 0: the kind the source's name gives, or none */
  int height_to;     /* a nuvex_height; 0: the kind the target's name gives, or none */
  const char* geoid; /* heights between DHHN2016 and ellipsoidal only: a GeoTIFF quasigeoid grid
                        (undulations, m); NULL: the built-in GCG2016 */
  /* Added after the heights, read only as far as size covers it (before it: 0). */
  double epoch; /* between system 5 (ITRF2020) and another system only: the epoch of every point,
                   a decimal year from 1990 to 2100 (2026.9); 0 or NaN: none (the names' epoch,
                   "EPSG:9990@2026.9", or one per point in nuvex_transform3d) */
} nuvex_options;

/* Fills options with the defaults (zone width 0: 3 deg, zones from the longitude, no zone prefix,
   the polynomial datum shifts) and its size. A zero-filled struct with its size set means the same.
   datum 1 takes the official transformations: the NTv2 grid BeTA2007 (built in; or `grid`) between
   systems 1 and 3, EPSG:1775 between 4 and 3, both between 1 and 4; system 3 is taken as ETRS89.
   System 2 has none: nuvex_transformer_create refuses it beside another system with datum 1.
   Heights are converted with datum 1 only, between two kinds (height_from and height_to both
   given, or both from the names): DHHN2016 and ETRS89 ellipsoidal heights meet through the
   quasigeoid (H = h - N, N at the point's ETRS89 position), system 4 ellipsoidal heights go
   through EPSG:1775 in three dimensions, DHHN2016 to DHHN2016 keeps the height. System 1 has no
   ellipsoidal heights; system 2 no heights at all. A transformer that converts heights converts
   with nuvex_transform3d only. System 5 (ITRF2020, WGS 84 (G2296) taken as the same) needs
   datum 1: EPSG:10586 joins it to ETRS89 at the points' epoch, which a conversion between it
   and another system needs (epoch, or a name's, or one per point in nuvex_transform3d).
 */
NUVEX_C_API void nuvex_options_init_sized(nuvex_options* options, size_t size);
/* The initialiser of the first version, kept for programs built against it: it fills the fields
   that version had (up to grid) and sets size to theirs, writing nothing beyond. Programs built
   with this header reach nuvex_options_init_sized with their own struct's size through the macro
   below; callers through a foreign-function interface call nuvex_options_init_sized with the size
   of the struct they declare. */
NUVEX_C_API void(nuvex_options_init)(nuvex_options* options);
#define nuvex_options_init(options) nuvex_options_init_sized((options), sizeof *(options))

/* source/target as the converter writes them ("E:1", "G:3", or EPSG codes such as "EPSG:31467");
   a compound name with DHHN2016 heights, "EPSG:31467+7837" (also "E:1+7837", on systems 1, 3
   and 4), and the 3D code "EPSG:4937" (ETRS89, ellipsoidal heights) name their side's heights.
   options NULL: the defaults; error may be NULL. Returns NULL on failure, with error filled. A
   zone (option) must be one of the target grid's zones (0..119 for 3 deg, 1..60 for 6 deg zones);
   zone and zone_prefix need a grid target. A name that fixes a zone (a projected EPSG code) fixes
   it for its side: the output zone, or the zone of every input point (a UTM point's zone, if
   given (not 0), must be it; a Gauss-Krueger easting's millions must name it); one of system 4
   fixes the zone width (zone_width 0 takes it). Options that contradict a name are refused (a
   height kind other than the one a compound or 3D name gives); so are datum 1 with system 2, a
   grid file that cannot be read, heights with datum 0 or on one side only, ellipsoidal heights
   on system 1, and a geoid where no heights use one or that cannot be read. System 5 ("G:5",
   "E:5", "EPSG:9990", 3D "EPSG:9989") is refused with datum 0; an epoch after '@' in a name
   ("EPSG:9990@2026.9", a decimal year or a date "2026-12-07") is the points' epoch, and so is
   options.epoch: the two must agree (and the names' with each other), options.epoch must lie
   from 1990 to 2100 and is refused where the conversion needs no epoch. A conversion that needs
   an epoch is not refused without one: its points may bring their own (nuvex_transform3d). */
NUVEX_C_API nuvex_transformer* nuvex_transformer_create(const char* source, const char* target,
                                                        const nuvex_options* options,
                                                        nuvex_error* error);

/* The batch call, safe from any number of threads on one transformer. x/y: easting/northing (m)
   or longitude/latitude (deg); zone: zones of UTM input eastings (0: from the easting's
   millions), NULL for 0 everywhere. x_out/y_out may be x/y themselves. zone, zone_out and status
   may be NULL. status[i]: 0 converted, -1 no path (outputs NaN, zone_out 0); a point outside its
   coordinates' range (lon -180..180, lat -90..90 deg, grid within 1e9 m), with a UTM zone that does
   not fit its easting, or not finite has no path; nuvex_explain says why. Returns 0, or an error
   code with error filled (a NULL handle, a NULL array with count > 0, a count of more doubles than
   an array can hold, a conversion that needs an epoch without options.epoch or a name's),
   writing no output. */
NUVEX_C_API int nuvex_transform(const nuvex_transformer* t, size_t count, const double* x,
                                const double* y, const int32_t* zone, double* x_out, double* y_out,
                                int32_t* zone_out, int32_t* status, nuvex_error* error);

/* nuvex_transform with a height and an epoch per point. z in, z_out out (m; z_out may be z):
   both required with count > 0 where heights are converted; elsewhere z may be NULL (no heights:
   z_out is not written and may be NULL too), and a given z needs z_out. With heights converted
   (height_from, height_to) a point also has no path when its height is not finite or beyond
   10 km, or where the quasigeoid holds no value (NUVEX_REASON_HEIGHT_OUT_OF_RANGE,
   NUVEX_REASON_OUTSIDE_GEOID); every point without a path then has z_out NaN. Without them z_out
   is z as given, whatever the status. epoch: between system 5 (ITRF2020) and another system, the
   points' own epochs (decimal years; one that is NaN or outside 1990..2100 leaves its point
   without a path, NUVEX_REASON_EPOCH_OUT_OF_RANGE), in place of options.epoch; NULL: the
   options' (or a name's) epoch, which the transformer then needs. An epoch array for any other
   conversion is refused (NUVEX_ERROR_ARGUMENT), as nuvex_transform refuses a transformer that
   converts heights. */
NUVEX_C_API int nuvex_transform3d(const nuvex_transformer* t, size_t count, const double* x,
                                  const double* y, const double* z, const double* epoch,
                                  const int32_t* zone, double* x_out, double* y_out, double* z_out,
                                  int32_t* zone_out, int32_t* status, nuvex_error* error);

/* Why nuvex_transform marks the point (x, y, zone as it takes them) as without a path: fills
   *reason with a nuvex_reason, NUVEX_REASON_NONE when the point converts. For messages: it
   converts the point once more. Returns 0, or an error code (a NULL handle or reason; a
   transformer that converts heights, or needs an epoch it does not have, which need
   nuvex_explain3d) writing nothing. */
NUVEX_C_API int nuvex_explain(const nuvex_transformer* t, double x, double y, int32_t zone,
                              int32_t* reason, nuvex_error* error);

/* The same for a point with a height and an epoch, as nuvex_transform3d takes them: also the
   height's reasons where heights are converted (a height carried along is never a reason; z is
   then unused), and the epoch's: epoch points to the point's own epoch (NaN is none:
   NUVEX_REASON_EPOCH_OUT_OF_RANGE), or is NULL for the options' epoch, as in nuvex_transform3d
   and with its refusals. */
NUVEX_C_API int nuvex_explain3d(const nuvex_transformer* t, double x, double y, double z,
                                const double* epoch, int32_t zone, int32_t* reason,
                                nuvex_error* error);

/* The library's text of a reason, e.g. "northing beyond the pole"; "" for NUVEX_REASON_NONE,
   "unknown reason" for a number that is no reason. Static: never NULL, never freed. */
NUVEX_C_API const char* nuvex_reason_text(int reason);

NUVEX_C_API void nuvex_transformer_destroy(nuvex_transformer* t); /* NULL: nothing */

/* "0.1.0": the library's version. */
NUVEX_C_API const char* nuvex_version(void);

/* Splits an angle (deg) as the converter writes it in degrees, minutes and seconds: *sign is -1
   or 1 for the whole angle (1 for an angle that shows as zero), *degrees, *minutes (0..59) and
   *seconds (0 <= s < 60) are those of its magnitude. decimals (0..10) is the number of decimals
   the caller shows of the seconds: seconds that would show as 60 carry into the minutes and
   degrees. Returns 0, or an error code (a NULL output, an angle that is not finite or beyond
   +-1e6 deg, decimals outside 0..10) writing nothing. */
NUVEX_C_API int nuvex_deg2dms(double angle, int decimals, int32_t* sign, int32_t* degrees,
                              int32_t* minutes, double* seconds, nuvex_error* error);

/* Joins degrees (0..1e6), minutes (0..59) and seconds (0 <= s < 60) into decimal degrees; sign < 0
   makes the whole angle negative (-1, 30, 0 is -1.5 deg). Returns 0, or an error code (a NULL
   output, a part out of its range) writing nothing. */
NUVEX_C_API int nuvex_dms2deg(int32_t sign, int32_t degrees, int32_t minutes, double seconds,
                              double* angle, nuvex_error* error);

#ifdef __cplusplus
}
#endif

#endif /* NUVEX_NUVEX_H */
