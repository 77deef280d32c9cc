// The C interface as C callers see it: refusals with their codes and messages, every point's
// status written, results as the C++ Transformer gives them (with the zone prefix and the input
// checks the other interfaces apply), and the angle conversions of the converter.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <limits>
#include <memory>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "nuvex/nuvex.h"
#include "nuvex/transform.h"
#include "support/case_file.h"

namespace nuvex {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr std::int32_t kUnwritten = 99;  // status and zone before the call

struct Destroy {
  void operator()(nuvex_transformer* t) const { nuvex_transformer_destroy(t); }
};
using Handle = std::unique_ptr<nuvex_transformer, Destroy>;

Handle create(const char* source, const char* target, const nuvex_options* options = nullptr) {
  nuvex_error error{};
  Handle t(nuvex_transformer_create(source, target, options, &error));
  EXPECT_NE(t, nullptr) << error.message;
  EXPECT_EQ(error.code, NUVEX_OK);
  return t;
}

// Options of a case: key=value fields over the defaults.
nuvex_options caseOptions(const std::string& text, std::string& grid) {
  nuvex_options options;
  nuvex_options_init(&options);
  std::istringstream fields(text == "-" ? "" : text);
  for (std::string field; fields >> field;) {
    const std::string key = field.substr(0, field.find('='));
    const std::string value = field.substr(field.find('=') + 1);
    if (key == "grid") {
      grid = value;
      options.grid = grid.c_str();
      continue;
    }
    const int number = std::stoi(value);
    if (key == "size") options.size = static_cast<std::size_t>(number);
    if (key == "zone_width") options.zone_width = number;
    if (key == "zone") options.zone = number;
    if (key == "zone_prefix") options.zone_prefix = number;
    if (key == "datum") options.datum = number;
  }
  return options;
}

TEST(CInterface, RefusesEachBadTransformerWithItsCodeAndMessage) {
  for (const auto& c : testing::readCases("c_api_refusals.txt")) {
    SCOPED_TRACE(c.where());
    const std::string& source = c.fields.at(0);
    const std::string& target = c.fields.at(1);
    std::string grid;
    const nuvex_options options = caseOptions(c.fields.at(2), grid);
    nuvex_error error{};
    nuvex_transformer* t =
        nuvex_transformer_create(source == "<NULL>" ? nullptr : source.c_str(),
                                 target == "<NULL>" ? nullptr : target.c_str(),
                                 c.fields.at(2) == "-" ? nullptr : &options, &error);
    EXPECT_EQ(t, nullptr);
    nuvex_transformer_destroy(t);
    EXPECT_EQ(error.code, c.integer(3));
    EXPECT_STREQ(error.message, c.fields.at(4).c_str());
    // Without an error record the refusal is the same NULL.
    EXPECT_EQ(nuvex_transformer_create(source == "<NULL>" ? nullptr : source.c_str(),
                                       target == "<NULL>" ? nullptr : target.c_str(),
                                       c.fields.at(2) == "-" ? nullptr : &options, nullptr),
              nullptr);
  }
}

TEST(CInterface, OptionsOfALaterVersionAreReadAsFarAsKnown) {
  struct LaterOptions {
    nuvex_options first;
    double added;  // a field of a later version
  } later{};
  later.first.size = sizeof later;
  later.first.zone = 33;
  later.added = 1.0;
  const Handle t = create("G:3", "E:3", &later.first);
  const double lon = 10.0, lat = 50.0;
  double x = 0, y = 0;
  std::int32_t zone = 0;
  ASSERT_EQ(nuvex_transform(t.get(), 1, &lon, &lat, nullptr, &x, &y, &zone, nullptr, nullptr), 0);
  EXPECT_EQ(zone, 33);
}

// A program built against an older, smaller struct initialises it through the initialiser it was
// linked with: nothing beyond its struct is written. The sized initialiser writes as far as told.
TEST(CInterface, InitialisersWriteNoFurtherThanTheCallersStruct) {
  constexpr std::size_t kFirstVersion = offsetof(nuvex_options, grid) + sizeof(const char*);
  constexpr unsigned char kUntouched = 0xAB;
  alignas(nuvex_options) unsigned char buffer[sizeof(nuvex_options) + 16];
  const auto untouchedFrom = [&](std::size_t first) {
    return std::all_of(buffer + first, std::end(buffer),
                       [&](unsigned char b) { return b == kUntouched; });
  };
  auto* options = reinterpret_cast<nuvex_options*>(buffer);
  std::memset(buffer, kUntouched, sizeof buffer);
  (nuvex_options_init)(options);
  EXPECT_TRUE(untouchedFrom(kFirstVersion));
  EXPECT_EQ(options->size, kFirstVersion);
  EXPECT_EQ(options->datum, 0);
  EXPECT_EQ(options->grid, nullptr);
  for (const std::size_t size : {kFirstVersion, kFirstVersion + 8, sizeof(nuvex_options)}) {
    std::memset(buffer, kUntouched, sizeof buffer);
    nuvex_options_init_sized(options, size);
    EXPECT_TRUE(untouchedFrom(size)) << size;
    EXPECT_EQ(options->size, size);
  }
  std::memset(buffer, kUntouched, sizeof buffer);
  nuvex_options_init(options);  // the header's: the whole struct of this version
  EXPECT_EQ(options->size, sizeof(nuvex_options));
  EXPECT_TRUE(untouchedFrom(sizeof(nuvex_options)));
}

TEST(CInterface, MessagesLongerThanTheRecordAreCut) {
  const std::string longName(1000, 'E');
  nuvex_error error{};
  EXPECT_EQ(nuvex_transformer_create(longName.c_str(), "G:3", nullptr, &error), nullptr);
  EXPECT_EQ(error.code, NUVEX_ERROR_SYSTEM);
  EXPECT_EQ(std::strlen(error.message), sizeof error.message - 1);
}

// Length of the UTF-8 character that starts with byte, 0 for a byte that starts none.
std::size_t characterLength(unsigned char byte) {
  if (byte < 0x80) return 1;
  if ((byte & 0xE0) == 0xC0) return 2;
  if ((byte & 0xF0) == 0xE0) return 3;
  if ((byte & 0xF8) == 0xF0) return 4;
  return 0;
}

// Whether text is whole UTF-8 characters.
bool isWholeUtf8(const std::string& text) {
  for (std::size_t i = 0; i < text.size();) {
    const std::size_t length = characterLength(static_cast<unsigned char>(text[i]));
    if (length == 0 || i + length > text.size()) return false;
    for (std::size_t k = 1; k < length; ++k) {
      if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) return false;
    }
    i += length;
  }
  return true;
}

// Regression: the cut fell at byte 255 wherever it was, also inside a character of a name the
// message repeats (a system name, a grid file's), and left a broken one at its end.
TEST(CInterface, LongMessagesAreCutBetweenCharacters) {
  // 2, 3 and 4 byte characters (Ä, €, U+1D11E), shifted by 0 to 3 ASCII bytes so that the cut
  // meets every byte of them.
  for (const std::string character : {"\xC3\x84", "\xE2\x82\xAC", "\xF0\x9D\x84\x9E"}) {
    for (std::size_t shift = 0; shift < 4; ++shift) {
      std::string name(shift, 'x');
      while (name.size() < 400) name += character;
      const std::string grid = name + ".gsb";
      nuvex_options official;
      nuvex_options_init(&official);
      official.datum = 1;
      official.grid = grid.c_str();
      for (const auto& [source, options] :
           {std::pair<const char*, const nuvex_options*>{name.c_str(), nullptr},
            {"G:1", &official}}) {
        SCOPED_TRACE(std::to_string(character.size()) + "-byte characters after " +
                     std::to_string(shift) + " ASCII bytes, " +
                     (options == nullptr ? "source name" : "grid file"));
        nuvex_error error{};
        ASSERT_EQ(nuvex_transformer_create(source, "G:3", options, &error), nullptr);
        const std::string message = error.message;
        EXPECT_TRUE(isWholeUtf8(message)) << message;
        // At most the bytes of one character are left off.
        EXPECT_LE(message.size(), sizeof error.message - 1);
        EXPECT_GT(message.size(), sizeof error.message - 1 - character.size());
        // The name is in the message as it was given, cut or not.
        EXPECT_NE(message.find(name.substr(0, 100)), std::string::npos) << message;
      }
    }
  }
}

TEST(CInterface, RefusesANullHandleOrArrayWithoutWritingOutput) {
  const Handle t = create("G:3", "E:3");
  const double x[2] = {10.0, 11.0}, y[2] = {50.0, 51.0};
  double xOut[2] = {7, 7}, yOut[2] = {7, 7};
  std::int32_t status[2] = {kUnwritten, kUnwritten};
  struct Call {
    const nuvex_transformer* t;
    const double *x, *y;
    double *xOut, *yOut;
    const char* message;
  };
  for (const Call& call : {Call{nullptr, x, y, xOut, yOut, "transformer is NULL"},
                           Call{t.get(), nullptr, y, xOut, yOut, "x is NULL with count 2"},
                           Call{t.get(), x, nullptr, xOut, yOut, "y is NULL with count 2"},
                           Call{t.get(), x, y, nullptr, yOut, "x_out is NULL with count 2"},
                           Call{t.get(), x, y, xOut, nullptr, "y_out is NULL with count 2"}}) {
    nuvex_error error{};
    EXPECT_EQ(nuvex_transform(call.t, 2, call.x, call.y, nullptr, call.xOut, call.yOut, nullptr,
                              status, &error),
              NUVEX_ERROR_ARGUMENT);
    EXPECT_EQ(error.code, NUVEX_ERROR_ARGUMENT);
    EXPECT_STREQ(error.message, call.message);
    EXPECT_EQ(nuvex_transform(call.t, 2, call.x, call.y, nullptr, call.xOut, call.yOut, nullptr,
                              status, nullptr),
              NUVEX_ERROR_ARGUMENT);
  }
  EXPECT_EQ(xOut[0], 7.0);
  EXPECT_EQ(status[1], kUnwritten);
  // Regression: a count of more doubles than memory holds (a negative count cast to size_t, a
  // size in bytes whose product overflows) was taken as points, and the call read past the arrays.
  for (const std::size_t count : {SIZE_MAX, SIZE_MAX / sizeof(double) + 1,
                                  static_cast<std::size_t>(PTRDIFF_MAX) / sizeof(double) + 1}) {
    nuvex_error error{};
    EXPECT_EQ(nuvex_transform(t.get(), count, x, y, nullptr, xOut, yOut, nullptr, status, &error),
              NUVEX_ERROR_ARGUMENT);
    EXPECT_EQ(error.message,
              "count " + std::to_string(count) + " is more points than an array can hold");
    EXPECT_EQ(nuvex_transform(t.get(), count, x, y, nullptr, xOut, yOut, nullptr, status, nullptr),
              NUVEX_ERROR_ARGUMENT);
  }
  EXPECT_EQ(xOut[0], 7.0);
  EXPECT_EQ(status[0], kUnwritten);
  // No points: nothing to read or write, and the error record is cleared.
  nuvex_error error{NUVEX_ERROR_INTERNAL, "stale"};
  EXPECT_EQ(nuvex_transform(t.get(), 0, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                            nullptr, &error),
            0);
  EXPECT_EQ(error.code, NUVEX_OK);
  EXPECT_STREQ(error.message, "");
}

// Points on both sides of the regions' edges, outside every region, outside the coordinates'
// range and not finite; more than one chunk of the library's work.
struct Lattice {
  std::vector<double> x, y;
};
Lattice geographicLattice() {
  Lattice p;
  for (int i = 0; i < 2500; ++i) {
    p.x.push_back(-2.0 + 20.0 * (i % 50) / 49.0);
    p.y.push_back(44.0 + 14.0 * (i / 50) / 49.0);
  }
  for (const auto& [x, y] : {std::pair{10.0, 90.5}, {181.0, 50.0}, {kNaN, 50.0}, {10.0, -kNaN}}) {
    p.x.push_back(x);
    p.y.push_back(y);
  }
  return p;
}

TEST(CInterface, ConvertsAsTheTransformerAndWritesEveryStatus) {
  const Lattice p = geographicLattice();
  const std::size_t n = p.x.size();
  for (const auto& [source, target] :
       {std::pair{"G:3", "E:1"}, {"G:3", "E:3"}, {"G:2", "G:3"}, {"G:3", "E:4"}}) {
    SCOPED_TRACE(std::string(source) + " -> " + target);
    const Handle t = create(source, target);
    std::vector<double> x(n), y(n);
    std::vector<std::int32_t> zone(n, kUnwritten), status(n, kUnwritten);
    ASSERT_EQ(nuvex_transform(t.get(), n, p.x.data(), p.y.data(), nullptr, x.data(), y.data(),
                              zone.data(), status.data(), nullptr),
              0);
    const Transformer reference(*parseCoordinateSystem(source), *parseCoordinateSystem(target));
    std::vector<double> rx(n), ry(n);
    std::vector<int> rzone(n), rstatus(n);
    reference.transform(n, p.x.data(), p.y.data(), nullptr, rx.data(), ry.data(), rzone.data(),
                        rstatus.data());
    int withoutPath = 0;
    for (std::size_t i = 0; i < n; ++i) {
      SCOPED_TRACE(i);
      const bool valid = withinCoordinateRange(CoordinateType::Geographic, p.x[i], p.y[i]);
      ASSERT_EQ(status[i], valid ? rstatus[i] : kPointWithoutPath);
      if (status[i] != kPointConverted) {
        ++withoutPath;
        ASSERT_TRUE(std::isnan(x[i]) && std::isnan(y[i]));
        ASSERT_EQ(zone[i], 0);
        continue;
      }
      ASSERT_EQ(x[i], rx[i]);  // the same engine: the same bits
      ASSERT_EQ(y[i], ry[i]);
      ASSERT_EQ(zone[i], rzone[i]);
    }
    EXPECT_GE(withoutPath, 4);
  }
}

TEST(CInterface, ConvertsInPlaceAndWithoutOptionalArrays) {
  const Lattice p = geographicLattice();
  const std::size_t n = p.x.size();
  const Handle t = create("G:3", "E:1");
  std::vector<double> x(n), y(n);
  std::vector<std::int32_t> status(n);
  ASSERT_EQ(nuvex_transform(t.get(), n, p.x.data(), p.y.data(), nullptr, x.data(), y.data(),
                            nullptr, status.data(), nullptr),
            0);
  std::vector<double> inPlaceX = p.x, inPlaceY = p.y;
  ASSERT_EQ(nuvex_transform(t.get(), n, inPlaceX.data(), inPlaceY.data(), nullptr, inPlaceX.data(),
                            inPlaceY.data(), nullptr, nullptr, nullptr),
            0);
  for (std::size_t i = 0; i < n; ++i) {
    SCOPED_TRACE(i);
    if (status[i] != kPointConverted) {
      ASSERT_TRUE(std::isnan(inPlaceX[i]));
      continue;
    }
    ASSERT_EQ(inPlaceX[i], x[i]);
    ASSERT_EQ(inPlaceY[i], y[i]);
  }
}

TEST(CInterface, UtmEastingsCarryTheirZoneWhenAsked) {
  nuvex_options options;
  nuvex_options_init(&options);
  options.zone_prefix = 1;
  const Handle prefixed = create("G:3", "E:3", &options);
  const Handle plain = create("G:3", "E:3");
  const double lon[2] = {10.0, 12.5}, lat[2] = {50.0, 50.0};
  double x[2], y[2], px[2], py[2];
  std::int32_t zone[2];
  ASSERT_EQ(nuvex_transform(plain.get(), 2, lon, lat, nullptr, x, y, zone, nullptr, nullptr), 0);
  ASSERT_EQ(
      nuvex_transform(prefixed.get(), 2, lon, lat, nullptr, px, py, nullptr, nullptr, nullptr), 0);
  for (int i = 0; i < 2; ++i) {
    EXPECT_EQ(px[i], x[i] + zone[i] * 1e6);
    EXPECT_EQ(py[i], y[i]);
  }
  // Gauss-Krueger eastings carry their zone anyway.
  const Handle gaussKrueger = create("G:3", "E:1");
  const Handle gaussKruegerPrefixed = create("G:3", "E:1", &options);
  double gx[2], gpx[2], gy[2];
  ASSERT_EQ(
      nuvex_transform(gaussKrueger.get(), 2, lon, lat, nullptr, gx, gy, nullptr, nullptr, nullptr),
      0);
  ASSERT_EQ(nuvex_transform(gaussKruegerPrefixed.get(), 2, lon, lat, nullptr, gpx, gy, nullptr,
                            nullptr, nullptr),
            0);
  EXPECT_EQ(gpx[0], gx[0]);
  EXPECT_EQ(gpx[1], gx[1]);
  // Back: the prefixed easting names its zone; a zone that contradicts it is no input.
  const Handle back = create("E:3", "G:3");
  const std::int32_t zones[3] = {0, 32, 31};
  const double e[3] = {px[0], px[0], px[0]}, n[3] = {py[0], py[0], py[0]};
  double bx[3], by[3];
  std::int32_t status[3];
  ASSERT_EQ(nuvex_transform(back.get(), 3, e, n, zones, bx, by, nullptr, status, nullptr), 0);
  EXPECT_EQ(status[0], kPointConverted);
  EXPECT_NEAR(bx[0], 10.0, 1e-9);
  EXPECT_EQ(status[1], kPointConverted);
  EXPECT_EQ(status[2], kPointWithoutPath);
  EXPECT_TRUE(std::isnan(bx[2]));
}

TEST(CInterface, EpsgCodesFixTheirZones) {
  nuvex_options zone32;
  nuvex_options_init(&zone32);
  zone32.zone = 32;
  // The output zone of a projected code, also beyond the zone's meridians.
  const double lon[2] = {10.0, 12.5}, lat[2] = {50.0, 50.0};
  double x[2], y[2], ex[2], ey[2];
  std::int32_t zone[2], epsgZone[2];
  ASSERT_EQ(nuvex_transform(create("G:3", "E:3", &zone32).get(), 2, lon, lat, nullptr, x, y, zone,
                            nullptr, nullptr),
            0);
  ASSERT_EQ(nuvex_transform(create("EPSG:4326", "EPSG:32632").get(), 2, lon, lat, nullptr, ex, ey,
                            epsgZone, nullptr, nullptr),
            0);
  for (int i = 0; i < 2; ++i) {
    EXPECT_EQ(ex[i], x[i]);
    EXPECT_EQ(ey[i], y[i]);
    EXPECT_EQ(epsgZone[i], 32);
  }
  // The input zone of a projected code: UTM points are of that zone (a given zone must be it),
  // Gauss-Krueger eastings must carry it.
  const std::int32_t zones[2] = {32, 33};
  double bx[2], by[2];
  std::int32_t status[2];
  ASSERT_EQ(nuvex_transform(create("EPSG:32632", "G:3").get(), 2, ex, ey, zones, bx, by, nullptr,
                            status, nullptr),
            0);
  EXPECT_EQ(status[0], kPointConverted);
  EXPECT_NEAR(bx[0], 10.0, 1e-9);
  EXPECT_EQ(status[1], kPointWithoutPath);
  ASSERT_EQ(nuvex_transform(create("EPSG:32632", "G:3").get(), 2, ex, ey, nullptr, bx, by, nullptr,
                            status, nullptr),
            0);
  EXPECT_EQ(status[1], kPointConverted);
  EXPECT_NEAR(bx[1], 12.5, 5e-8);  // 3.5 deg out: forward and inverse series differ by 2 mm
  // Regression: zone 0 gives no zone (as a NULL array does), but a point with 0 was refused.
  const std::int32_t noZones[2] = {0, 0};
  double zx[2], zy[2];
  ASSERT_EQ(nuvex_transform(create("EPSG:32632", "G:3").get(), 2, ex, ey, noZones, zx, zy, nullptr,
                            status, nullptr),
            0);
  EXPECT_EQ(status[0], kPointConverted);
  EXPECT_EQ(status[1], kPointConverted);
  EXPECT_EQ(zx[1], bx[1]);
  EXPECT_EQ(zy[1], by[1]);
  const double eastings[2] = {3500000.0, 4500000.0}, northings[2] = {5540000.0, 5540000.0};
  ASSERT_EQ(nuvex_transform(create("EPSG:31467", "G:3").get(), 2, eastings, northings, nullptr, bx,
                            by, nullptr, status, nullptr),
            0);
  EXPECT_EQ(status[0], kPointConverted);
  EXPECT_EQ(status[1], kPointWithoutPath);
}

// datum 1 takes the official transformations; the point is PROJ 9.1.1's (cct -d 9
// +proj=hgridshift +grids=BETA2007.gsb, and the EPSG:1775 pipeline of projinfo -k operation
// EPSG:1775 -o PROJ), as in cli_conversions.txt.
TEST(CInterface, OfficialDatumIsTheOfficialTransformation) {
  nuvex_options official;
  nuvex_options_init(&official);
  official.datum = 1;
  const struct {
    const char* source;
    double lon, lat, expectedLon, expectedLat;
  } cases[] = {{"G:1", 10.0, 50.0, 9.998811456, 49.998857303},
               {"EPSG:4178", 13.0, 52.0, 12.998155081, 51.999600076}};
  for (const auto& c : cases) {
    double lon = 0.0, lat = 0.0;
    std::int32_t status = kUnwritten;
    ASSERT_EQ(nuvex_transform(create(c.source, "EPSG:4258", &official).get(), 1, &c.lon, &c.lat,
                              nullptr, &lon, &lat, nullptr, &status, nullptr),
              0);
    EXPECT_EQ(status, kPointConverted) << c.source;
    EXPECT_NEAR(lon, c.expectedLon, 1e-9) << c.source;
    EXPECT_NEAR(lat, c.expectedLat, 1e-9) << c.source;
  }
}

// ---- Reasons ------------------------------------------------------------------------------------

#define NUVEX_REASON(name) \
  { name, #name }
const struct {
  int value;
  const char* name;
} kCReasons[] = {NUVEX_REASON(NUVEX_REASON_NONE),
                 NUVEX_REASON(NUVEX_REASON_NOT_FINITE),
                 NUVEX_REASON(NUVEX_REASON_OUTSIDE_COORDINATES),
                 NUVEX_REASON(NUVEX_REASON_NO_SUCH_ZONE),
                 NUVEX_REASON(NUVEX_REASON_BEYOND_POLE),
                 NUVEX_REASON(NUVEX_REASON_BEYOND_PROJECTION_LIMIT),
                 NUVEX_REASON(NUVEX_REASON_OUTSIDE_GRID),
                 NUVEX_REASON(NUVEX_REASON_OUTSIDE_OFFICIAL_AREA),
                 NUVEX_REASON(NUVEX_REASON_OUTSIDE_POLYNOMIAL_AREA),
                 NUVEX_REASON(NUVEX_REASON_NO_ZONE_OF_TARGET),
                 NUVEX_REASON(NUVEX_REASON_IMPOSSIBLE_RESULT),
                 NUVEX_REASON(NUVEX_REASON_HEIGHT_OUT_OF_RANGE),
                 NUVEX_REASON(NUVEX_REASON_OUTSIDE_GEOID),
                 NUVEX_REASON(NUVEX_REASON_EPOCH_OUT_OF_RANGE)};
#undef NUVEX_REASON

std::string upperCase(std::string text) {
  for (char& c : text) c = c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
  return text;
}

// The C name of a reason: NUVEX_REASON_ and the library's name in capitals ("none" for None).
std::string cReasonName(RangeProblem problem) {
  const std::string name = rangeProblemName(problem);
  return "NUVEX_REASON_" + upperCase(name.empty() ? "none" : name);
}

// The reason a case file names ("outside_grid"), as its number.
int reasonNumber(const std::string& name) {
  for (int i = 0; i < kRangeProblemCount; ++i) {
    if (cReasonName(static_cast<RangeProblem>(i)) == "NUVEX_REASON_" + upperCase(name)) return i;
  }
  throw std::invalid_argument("no reason " + name);
}

TEST(CInterface, ReasonsAreTheLibrarysByNumberNameAndText) {
  ASSERT_EQ(std::size(kCReasons), static_cast<std::size_t>(kRangeProblemCount));
  for (int i = 0; i < kRangeProblemCount; ++i) {
    const auto problem = static_cast<RangeProblem>(i);
    SCOPED_TRACE(rangeProblemName(problem));
    EXPECT_EQ(kCReasons[i].value, i);
    EXPECT_EQ(kCReasons[i].name, cReasonName(problem));
    EXPECT_STREQ(nuvex_reason_text(i), describeRangeProblem(problem));
  }
  for (const int unknown : {-1, kRangeProblemCount, 1000, std::numeric_limits<int>::min(),
                            std::numeric_limits<int>::max()}) {
    ASSERT_NE(nuvex_reason_text(unknown), nullptr) << unknown;
    EXPECT_STREQ(nuvex_reason_text(unknown), "unknown reason") << unknown;
  }
}

TEST(CInterface, ExplainsEachRefusedPointOfTheCaseFile) {
  std::vector<std::string> seen;
  for (const auto& c : testing::readCases("c_api_reasons.txt")) {
    SCOPED_TRACE(c.where());
    std::string grid;
    const nuvex_options options = caseOptions(c.fields.at(2), grid);
    const Handle t = create(c.fields.at(0).c_str(), c.fields.at(1).c_str(),
                            c.fields.at(2) == "-" ? nullptr : &options);
    ASSERT_NE(t, nullptr);
    const double x = c.number(3), y = c.number(4);
    const std::int32_t zone = c.integer(5);
    const int expected = reasonNumber(c.fields.at(6));
    std::int32_t reason = kUnwritten;
    nuvex_error error{NUVEX_ERROR_INTERNAL, "stale"};
    ASSERT_EQ(nuvex_explain(t.get(), x, y, zone, &reason, &error), 0) << error.message;
    EXPECT_EQ(error.code, NUVEX_OK);
    EXPECT_EQ(reason, expected) << nuvex_reason_text(reason);
    double xOut = 0.0, yOut = 0.0;
    std::int32_t status = kUnwritten;
    ASSERT_EQ(nuvex_transform(t.get(), 1, &x, &y, &zone, &xOut, &yOut, nullptr, &status, nullptr),
              0);
    EXPECT_EQ(status, expected == NUVEX_REASON_NONE ? kPointConverted : kPointWithoutPath);
    seen.push_back(c.fields.at(6));
  }
  // Every reason a point can show has its rows. Not no_zone_of_target: output zones go round the
  // globe, and a zone given for every point is checked when the transformer is made; nor
  // impossible_result: the polynomials' area ends before the pole.
  for (const char* reason : {"none", "not_finite", "outside_coordinates", "no_such_zone",
                             "beyond_pole", "beyond_projection_limit", "outside_grid",
                             "outside_official_area", "outside_polynomial_area"}) {
    EXPECT_TRUE(std::find(seen.begin(), seen.end(), reason) != seen.end()) << reason;
  }
}

// Grid points around the zones' central meridians and edges, the poles and the regions, with
// zones given and not, and the lattice's geographic points.
struct GridLattice {
  std::vector<double> x, y;
  std::vector<std::int32_t> zone;
};
GridLattice gridLattice(double firstEasting, double lastEasting) {
  GridLattice p;
  for (int i = 0; i < 1600; ++i) {
    p.x.push_back(firstEasting + (lastEasting - firstEasting) * (i % 40) / 39.0);
    p.y.push_back(-10.1e6 + 20.2e6 * (i / 40) / 39.0);
    p.zone.push_back((i % 3 == 0) ? 0 : 31 + i % 3);
  }
  for (const auto& [x, y] : {std::pair{kNaN, 5.5e6}, {3.5e6, 2e9}}) {
    p.x.push_back(x);
    p.y.push_back(y);
    p.zone.push_back(0);
  }
  return p;
}

// nuvex_explain says none exactly for the points nuvex_transform converts, and, where the C
// interface adds nothing to the engine's rules, what Transformer::explain says.
TEST(CInterface, ExplainsEveryPointTransformMarksAndNoOther) {
  nuvex_options official;
  nuvex_options_init(&official);
  official.datum = 1;
  const Lattice geographic = geographicLattice();
  GridLattice geographicPoints{geographic.x, geographic.y,
                               std::vector<std::int32_t>(geographic.x.size(), 0)};
  const struct {
    const char* source;
    const char* target;
    const nuvex_options* options;
    GridLattice points;
  } conversions[] = {
      {"G:3", "E:1", nullptr, geographicPoints},
      {"G:2", "G:3", nullptr, geographicPoints},
      {"G:3", "E:4", nullptr, geographicPoints},
      {"G:1", "G:3", &official, geographicPoints},
      {"G:4", "EPSG:25833", &official, geographicPoints},
      {"E:1", "G:3", nullptr, gridLattice(1.0e6, 6.0e6)},
      {"E:3", "E:2", nullptr, gridLattice(-5.0e5, 3.35e7)},
      {"EPSG:31467", "G:3", nullptr, gridLattice(2.5e6, 4.5e6)},
      {"EPSG:32632", "E:1", nullptr, gridLattice(-5.0e5, 3.35e7)},
  };
  for (const auto& c : conversions) {
    SCOPED_TRACE(std::string(c.source) + " -> " + c.target);
    const Handle t = create(c.source, c.target, c.options);
    const std::size_t n = c.points.x.size();
    std::vector<double> x(n), y(n);
    std::vector<std::int32_t> status(n, kUnwritten);
    ASSERT_EQ(
        nuvex_transform(t.get(), n, c.points.x.data(), c.points.y.data(), c.points.zone.data(),
                        x.data(), y.data(), nullptr, status.data(), nullptr),
        0);
    const NamedSystem from = parseSystemName(c.source, "source");
    const NamedSystem to = parseSystemName(c.target, "target");
    const Transformer reference(
        from.system, to.system,
        {to.zoneWidth.value_or(3), !to.zone.has_value(), to.zone.value_or(0)},
        {c.options != nullptr ? DatumShift::Official : DatumShift::Polynomial, ""});
    std::array<int, kRangeProblemCount> counts{};
    for (std::size_t i = 0; i < n; ++i) {
      SCOPED_TRACE(i);
      std::int32_t reason = kUnwritten;
      ASSERT_EQ(
          nuvex_explain(t.get(), c.points.x[i], c.points.y[i], c.points.zone[i], &reason, nullptr),
          0);
      ASSERT_TRUE(reason >= 0 && reason < kRangeProblemCount) << reason;
      ++counts[static_cast<std::size_t>(reason)];
      ASSERT_EQ(reason == NUVEX_REASON_NONE, status[i] == kPointConverted)
          << c.points.x[i] << " " << c.points.y[i] << " zone " << c.points.zone[i] << ": "
          << nuvex_reason_text(reason);
      if (!from.zone) {
        ASSERT_EQ(reason, static_cast<int>(
                              reference.explain(c.points.x[i], c.points.y[i], c.points.zone[i])));
      }
    }
    // Both kinds of point are there.
    EXPECT_GT(counts[NUVEX_REASON_NONE], 0);
    EXPECT_LT(counts[NUVEX_REASON_NONE], static_cast<int>(n));
  }
}

TEST(CInterface, ExplainRefusesANullHandleOrReason) {
  const Handle t = create("G:3", "E:3");
  std::int32_t reason = kUnwritten;
  nuvex_error error{};
  EXPECT_EQ(nuvex_explain(nullptr, 10.0, 50.0, 0, &reason, &error), NUVEX_ERROR_ARGUMENT);
  EXPECT_STREQ(error.message, "transformer is NULL");
  EXPECT_EQ(nuvex_explain(t.get(), 10.0, 50.0, 0, nullptr, &error), NUVEX_ERROR_ARGUMENT);
  EXPECT_STREQ(error.message, "reason is NULL");
  EXPECT_EQ(nuvex_explain(t.get(), 10.0, 50.0, 0, nullptr, nullptr), NUVEX_ERROR_ARGUMENT);
  EXPECT_EQ(reason, kUnwritten);
}

TEST(CInterface, ReportsItsVersion) {
  EXPECT_STREQ(nuvex_version(), NUVEX_VERSION_TEXT);
}

TEST(CInterface, SplitsAndJoinsAnglesAsTheConverterWritesThem) {
  for (const auto& c : testing::readCases("c_api_angles.txt")) {
    SCOPED_TRACE(c.where());
    nuvex_error error{};
    if (c.fields.at(0) == "deg2dms") {
      std::int32_t sign = 0, degrees = 0, minutes = 0;
      double seconds = -1.0;
      ASSERT_EQ(
          nuvex_deg2dms(c.number(1), c.integer(2), &sign, &degrees, &minutes, &seconds, &error), 0)
          << error.message;
      EXPECT_EQ(sign, c.integer(3));
      EXPECT_EQ(degrees, c.integer(4));
      EXPECT_EQ(minutes, c.integer(5));
      EXPECT_NEAR(seconds, c.number(6), 1e-7);
    } else {
      double angle = kNaN;
      ASSERT_EQ(
          nuvex_dms2deg(c.integer(1), c.integer(2), c.integer(3), c.number(4), &angle, &error), 0)
          << error.message;
      EXPECT_NEAR(angle, c.number(5), 1e-12);
    }
  }
}

TEST(CInterface, RefusesAnglesItCannotSplitOrJoin) {
  std::int32_t sign = 0, degrees = 0, minutes = 0;
  double seconds = 0.0, angle = 7.0;
  nuvex_error error{};
  EXPECT_EQ(nuvex_deg2dms(kNaN, 2, &sign, &degrees, &minutes, &seconds, &error),
            NUVEX_ERROR_ARGUMENT);
  EXPECT_STREQ(error.message, "angle is not a finite number");
  EXPECT_EQ(nuvex_deg2dms(-2e6, 2, &sign, &degrees, &minutes, &seconds, &error),
            NUVEX_ERROR_ARGUMENT);
  EXPECT_STREQ(error.message, "angle -2000000.000000 deg is beyond +-1e6 deg");
  EXPECT_EQ(nuvex_deg2dms(10.0, 11, &sign, &degrees, &minutes, &seconds, &error),
            NUVEX_ERROR_ARGUMENT);
  EXPECT_STREQ(error.message, "decimals 11 is not 0 to 10");
  EXPECT_EQ(nuvex_deg2dms(10.0, -1, &sign, &degrees, &minutes, &seconds, &error),
            NUVEX_ERROR_ARGUMENT);
  EXPECT_EQ(nuvex_deg2dms(10.0, 2, &sign, &degrees, nullptr, &seconds, &error),
            NUVEX_ERROR_ARGUMENT);
  EXPECT_STREQ(error.message, "minutes is NULL");
  EXPECT_EQ(nuvex_dms2deg(1, 10, 60, 0.0, &angle, &error), NUVEX_ERROR_ARGUMENT);
  EXPECT_STREQ(error.message, "minutes 60 are not 0 to 59");
  EXPECT_EQ(nuvex_dms2deg(1, 10, 0, 60.0, &angle, &error), NUVEX_ERROR_ARGUMENT);
  EXPECT_EQ(nuvex_dms2deg(1, 10, 0, kNaN, &angle, &error), NUVEX_ERROR_ARGUMENT);
  EXPECT_EQ(nuvex_dms2deg(1, -1, 0, 0.0, &angle, &error), NUVEX_ERROR_ARGUMENT);
  EXPECT_STREQ(error.message, "degrees -1 are not 0 to 1000000 (the sign is apart)");
  EXPECT_EQ(nuvex_dms2deg(1, 1000001, 0, 0.0, &angle, &error), NUVEX_ERROR_ARGUMENT);
  EXPECT_EQ(nuvex_deg2dms(1000000.01, 2, &sign, &degrees, &minutes, &seconds, &error),
            NUVEX_ERROR_ARGUMENT);
  EXPECT_EQ(nuvex_dms2deg(1, 10, 0, 0.0, nullptr, &error), NUVEX_ERROR_ARGUMENT);
  EXPECT_EQ(angle, 7.0);
}

}  // namespace
}  // namespace nuvex
