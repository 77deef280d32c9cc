// A worked calculation in the style of translated Fortran: a closed traverse read from a
// list-directed input file, reduced to leg lengths, bearings, perimeter and area, its stations
// converted from Gauss-Krueger (system 1) to WGS84, and a report written with FORMATs and
// carriage control. An unformatted scratch file carries the converted stations from the first
// pass to the second, as a larger calculation would carry intermediate results.
//
// The Fortran each part stands for is quoted beside it. Run in a directory holding
// stations.txt; the report goes to report.txt.
#include <nuvex/engine.h>
#include <nuvex/runtime.h>

#include <cmath>
#include <cstdio>
#include <cstring>

namespace {

// Unit numbers and files (OPEN statements of the original).
constexpr int kInput = 10;    // stations.txt, list-directed input
constexpr int kReport = 20;   // report.txt, formatted output with carriage control
constexpr int kScratch = 30;  // unformatted scratch file between the passes

constexpr int kMaxStations = 50;
constexpr int kNameLength = 12;                      // CHARACTER*12 NAME(50)
constexpr double kDegreesPerRadian = 57.2957795131;  // the engine's constant
constexpr int kBessel = 1;                           // Gauss-Krueger, 3 degree zones
constexpr int kWgs84 = 3;
constexpr int kZoneWidth = 3;

// COMMON /STATNS/
struct Stations {
  int count = 0;
  double scale = 1.0;  // grid scale factor applied to the leg lengths
  int number[kMaxStations] = {};
  char name[kMaxStations][kNameLength + 1] = {};
  double easting[kMaxStations] = {}, northing[kMaxStations] = {}, height[kMaxStations] = {};
};

// READ (10,*) TITLE / READ (10,*) N, SCALE / READ (10,*) NUM(I), NAME(I), E(I), N(I), H(I)
bool readStations(FILE* input, char* title, int titleLength, Stations& s) {
  fscanlst(input, "%S", title, int64_t{titleLength});
  fscanlst(input, "%d %lf", &s.count, &s.scale);
  if (scanlst_status() != 0 || s.count < 1 || s.count > kMaxStations) return false;
  for (int i = 0; i < s.count; ++i) {
    fscanlst(input, "%d %S %lf %lf %lf", &s.number[i], s.name[i], int64_t{kNameLength + 1},
             &s.easting[i], &s.northing[i], &s.height[i]);
    if (scanlst_status() != 0) return false;
  }
  return true;
}

// LEN_TRIM: the length without trailing blanks.
int lenTrim(const char* text) {
  int length = static_cast<int>(std::strlen(text));
  while (length > 0 && text[length - 1] == ' ') --length;
  return length;
}

// Bearing from north through east in degrees, 0 to 360.
double bearing(double dEast, double dNorth) {
  double degrees = std::atan2(dEast, dNorth) * kDegreesPerRadian;
  return degrees < 0.0 ? degrees + 360.0 : degrees;
}

// WRITE (30) NUM, LON, LAT: one framed record built with sprtunf, written with f_putblock.
void writeScratchRecord(FILE* scratch, int number, double longitude, double latitude) {
  char record[64];
  const int32_t length =
      static_cast<int32_t>(sprtunf(record + 4, "%d %lf %lf", number, longitude, latitude));
  sprtunf(record, "%d", length);
  sprtunf(record + 4 + length, "%d", length);
  f_putblock(scratch, -1, static_cast<size_t>(length) + 8, record);
}

// Pass 1: every station to WGS84 through TRGU, the results to the scratch file.
bool convertStations(const Stations& s, FILE* scratch) {
  for (int i = 0; i < s.count; ++i) {
    nuvex::GRID_XIN[i + 1] = s.easting[i];
    nuvex::GRID_YIN[i + 1] = s.northing[i];
    nuvex::HGT_IN[i + 1] = s.height[i];
  }
  // CALL TRGU('E', 1, 'G', 3, 3, N, 1, 0)
  if (nuvex::TRGU("E", kBessel, "G", kWgs84, kZoneWidth, s.count, 1, 0) != 0) return false;
  for (int i = 0; i < s.count; ++i) {
    writeScratchRecord(scratch, s.number[i], nuvex::GEO_XOUT[i + 1], nuvex::GEO_YOUT[i + 1]);
  }
  return true;
}

void writeHeader(const char* title, const Stations& s) {
  CHRTMP line;
  f_tmpinit(&line, 1);
  // WRITE (COUNT, '(I3)') N: an internal file of one record of 3 characters
  char count[4] = "";
  begin_write_internal_bounded(count, 0, 2, 1, "(I3)");
  wrtfmt(UNIT_INTERNAL, "%d\n", s.count);
  // TITLE(1:LEN_TRIM(TITLE)) // ',' // COUNT // ' stations'; '1' in column 1 starts a page
  CHRTMP trimmed;
  f_tmpinit(&trimmed, 1);
  const char* heading = f_concat(&line, f_subs(&trimmed, title, 0, lenTrim(title) - 1), ",", count,
                                 " stations", nullptr);
  wrtfmt_seq(kReport, "('1',A)", "%s\n", heading);
  f_tmpfree(&trimmed, 1);
  wrtfmt_seq(kReport, "(' ',A,F10.6)", "%s %lf\n", "grid scale factor", s.scale);
  f_tmpfree(&line, 1);
}

// Pass 2: the scratch records back, one report line per station.
void writeStations(const Stations& s, FILE* scratch) {
  wrtfmt_seq(kReport, "('0',A4,2X,A12,2A14,2A13)", "%s %s %s %s %s %s\n", "No.", "Station",
             "Easting", "Northing", "Longitude", "Latitude");
  std::rewind(scratch);
  for (int i = 0; i < s.count; ++i) {
    int32_t number = 0;
    double longitude = 0.0, latitude = 0.0;
    if (fscanunf(scratch, "%d %lf %lf", &number, &longitude, &latitude) != 3) break;
    // One WRITE statement in two calls: started with its FORMAT, continued, ended by "\n".
    wrtfmt_seq(kReport, "(' ',I4,2X,A12,2F14.3,2F13.7)", "%d %s", number, s.name[i]);
    wrtfmt(kReport, "%lf %lf %lf %lf\n", s.easting[i], s.northing[i], longitude, latitude);
  }
}

// The legs of the closed polygon, its perimeter and its area (shoelace formula).
void writeLegs(const Stations& s) {
  CHRTMP leg[3];
  f_tmpinit(leg, 3);
  wrtfmt_seq(kReport, "('0',A,T26,A,T38,A)", "%s %s %s\n", "Leg", "Length", "Bearing");
  double perimeter = 0.0, twiceArea = 0.0;
  for (int i = 0; i < s.count; ++i) {
    const int j = (i + 1) % s.count;
    const double dEast = s.easting[j] - s.easting[i];
    const double dNorth = s.northing[j] - s.northing[i];
    const double length = std::sqrt(dEast * dEast + dNorth * dNorth) * s.scale;
    perimeter += length;
    twiceArea += s.easting[i] * s.northing[j] - s.easting[j] * s.northing[i];
    // NAME(I)(4:LEN_TRIM(NAME(I))) // ' - ' // NAME(J)(4:LEN_TRIM(NAME(J))): the names without
    // their common prefix "KB "; each part needs a temporary of its own
    const char* from = f_subs(&leg[0], s.name[i], 3, lenTrim(s.name[i]) - 1);
    const char* to = f_subs(&leg[1], s.name[j], 3, lenTrim(s.name[j]) - 1);
    const char* label = f_concat(&leg[2], from, " - ", to, nullptr);
    wrtfmt_seq(kReport, "(1X,A22,F11.3,F11.4)", "%s %lf %lf\n", label, length,
               bearing(dEast, dNorth));
  }
  // NINT(ABS(TWICEA) / 2 * SCALE**2): the area to the square metre
  const int32_t area = nint(std::fabs(twiceArea) / 2.0 * dipow(s.scale, 2));
  wrtfmt_seq(kReport, "('0',A,F12.3,A/' ',A,I12,A)", "%s %lf %s %s %d %s\n", "Perimeter", perimeter,
             " m", "Area     ", area, " m2");
  f_tmpfree(leg, 3);
}

}  // namespace

int main() {
  f77ini();
  char title[61] = "";
  Stations stations;
  // OPEN (10, FILE='stations.txt', STATUS='OLD') and the report and scratch units
  if (open_unit_once(kInput, "stations.txt", "RO", "FORMATTED", "", 0) != 1 ||
      open_unit_once(kReport, "report.txt", "NEW", "FORMATTED", "", 0) != 1 ||
      open_unit_once(kScratch, "", "SCRATCH", "UNFORMATTED", "", 0) != 1) {
    std::fputs("survey: cannot open the files (is stations.txt here?)\n", stderr);
    return 1;
  }
  set_unit_carriage_control(kReport, "FORTRAN");
  if (!readStations(f_unit(kInput)->stream, title, sizeof title, stations)) {
    std::fprintf(stderr, "survey: stations.txt unreadable (list input status %d)\n",
                 scanlst_status());
    return 1;
  }
  if (!convertStations(stations, f_unit(kScratch)->stream)) {
    std::fputs("survey: a station lies outside the transformation regions\n", stderr);
    return 1;
  }
  writeHeader(title, stations);
  writeStations(stations, f_unit(kScratch)->stream);
  writeLegs(stations);
  const int iostat = f_unit(kReport)->iostat;
  close_all_units();  // the scratch file is removed
  if (iostat != 0) {
    std::fprintf(stderr, "survey: writing the report failed (iostat %d)\n", iostat);
    return 1;
  }
  return 0;
}
