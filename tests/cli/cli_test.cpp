// The nuvex command line as a whole, run as a child process: conversions, tables and malformed
// lines of the data files, round trips through two commands, usage errors, inputs that cannot be
// read, lines passing through, the demo, blocks and threads that must keep every line in place,
// and the manual page against --help.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "engine/geotiff_grid.h"
#include "nuvex/engine.h"
#include "support/case_file.h"
#include "support/scratch_directory.h"

namespace nuvex::testing {
namespace {

struct CliResult {
  int status = -1;  // exit status; 128 + signal number when the process was killed
  std::string out, err;
};

std::string readWholeFile(const std::string& name) {
  std::ifstream file(name, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

void writeWholeFile(const std::string& name, std::string_view text) {
  std::ofstream(name, std::ios::binary) << text;
}

// Runs the built converter inside the scratch directory; the shell does the redirections (the
// arguments of the tests are plain words).
// wrapper: a command the converter runs under, e.g. "timeout 20".
CliResult runCli(const std::string& arguments, std::string_view input = {},
                 const std::string& wrapper = {}) {
  writeWholeFile("cli-stdin.txt", input);
  const std::string command = wrapper + " '" NUVEX_CLI_PATH "' " + arguments +
                              " <cli-stdin.txt >cli-stdout.txt 2>cli-stderr.txt";
  const int status = std::system(command.c_str());
  constexpr int kSignalled = 128;
  return {WIFEXITED(status) ? WEXITSTATUS(status) : kSignalled + WTERMSIG(status),
          readWholeFile("cli-stdout.txt"), readWholeFile("cli-stderr.txt")};
}

constexpr int kDataError = 1;
constexpr int kUsageError = 2;

std::string firstLine(const std::string& text) {
  return text.substr(0, text.find('\n'));
}
bool contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

class Cli : public ::testing::Test {
 protected:
  ScratchDirectory scratch_;
};

TEST_F(Cli, RejectsTheCommandLinesOfTheDataFile) {
  for (const TestCase& c : readCases("cli_usage_errors.txt")) {
    SCOPED_TRACE(c.where());
    const CliResult result = runCli(c.fields.at(0), "10 50\n");
    EXPECT_EQ(result.status, kUsageError);
    EXPECT_EQ(result.out, "");
    if (c.fields.at(1).empty()) {
      EXPECT_TRUE(contains(result.err, "Run with --help for more information.")) << result.err;
    } else {
      EXPECT_EQ(firstLine(result.err), c.fields[1]);
    }
  }
}

TEST_F(Cli, HelpExplainsTheMarkerAndGivesExamples) {
  const CliResult help = runCli("--help"), version = runCli("--version");
  EXPECT_EQ(help.status + version.status, 0);
  EXPECT_TRUE(contains(help.out, "\"*error* \""));
  EXPECT_TRUE(
      contains(help.out, "Exit status: 0 all converted, 1 some line or file failed, 2 usage"));
  EXPECT_TRUE(contains(help.out, "Examples:\n  echo \"10 50\" | nuvex from-ll --system 3"));
  EXPECT_EQ(version.out.rfind("nuvex ", 0), 0u) << version.out;
}

TEST_F(Cli, CommentsBlankLinesAndLineEndsPassThroughInPlace) {
  const CliResult result =
      runCli("from-ll -s 3 -p 1", "# id lon lat\r\n\r\n   \n10 50\r\n  # indented\n10 50");
  EXPECT_EQ(result.status, 0) << result.err;
  EXPECT_EQ(result.out,
            "# id lon lat\n\n   \n571666.4 5539109.8 32\n  # indented\n571666.4 5539109.8 32\n");
  const CliResult empty = runCli("to-ll -s 1", "");
  EXPECT_EQ(empty.status, 0);
  EXPECT_EQ(empty.out + empty.err, "");
}

TEST_F(Cli, ReadsFilesInOrderAndGoesOnAfterOneThatCannotBeOpened) {
  writeWholeFile("first.txt", "10 50 one\n");
  writeWholeFile("third.txt", "# third\n10 abc\n10 50 three\n");
  const CliResult result =
      runCli("from-ll -s 3 -p 0 first.txt missing.txt . - third.txt", "10 50 stdin\n");
  EXPECT_EQ(result.status, kDataError);
  EXPECT_EQ(result.out,
            "571666 5539110 32 one\n571666 5539110 32 stdin\n# third\n*error* 10 abc\n"
            "571666 5539110 32 three\n");
  EXPECT_EQ(result.err,
            "nuvex: missing.txt: cannot open: No such file or directory\n"
            "nuvex: .: is a directory\n"
            "nuvex: third.txt:2: latitude \"abc\" is not a number\n"
            "nuvex: 5 lines read, 3 converted, 1 refused (1 unreadable)\n");
}

TEST_F(Cli, DemoPrintsATableForEverySystemAndNoArgumentsTheUsage) {
  const CliResult demo = runCli("demo"), bare = runCli("");
  EXPECT_EQ(demo.status + bare.status, 0) << demo.err;
  EXPECT_EQ(demo.err, "");
  EXPECT_TRUE(bare.out.starts_with("nuvex ") && contains(bare.out, "Usage: nuvex"));
  EXPECT_TRUE(contains(bare.out, "\n  nuvex demo\n")) << bare.out;
  for (const char* text :
       {"System", "Easting (m)", "1 Bessel 1841 / Gauss-Krueger 3 deg",
        "2 International 1924 / UTM", "3 WGS84 / UTM", "4 Krassowsky 1940 / Gauss-Krueger 6 deg"}) {
    EXPECT_TRUE(contains(demo.out, text)) << text;
  }
  // Every sample has a converted row for each of the five grids.
  std::size_t rows = 0;
  for (std::size_t at = demo.out.find(" mm\n"); at != std::string::npos;
       at = demo.out.find(" mm\n", at + 1)) {
    ++rows;
  }
  EXPECT_EQ(rows, 7U * 5U) << demo.out;
  // The reference point on system 3: the worked values of the projection.
  const std::size_t reference = demo.out.find("Reference point");
  ASSERT_NE(reference, std::string::npos);
  const std::string row = firstLine(demo.out.substr(demo.out.find("3 WGS84 / UTM", reference)));
  EXPECT_TRUE(contains(row, "32   571666.448   5539109.815")) << row;
}

// What TRGU gives for one point from WGS84 to the UTM grid of system 2 as the converter prints it
// by default, or the marked row when there is no path.
std::string expectedRow(double longitude, double latitude, const std::string& text) {
  GEO_XIN[1] = longitude;
  GEO_YIN[1] = latitude;
  if (TRGU("G", 3, "E", 2, 3, 1, 1, 0) != 0) return "*error* " + text;
  char row[128];
  std::snprintf(row, sizeof row, "%.3f %.3f %d", GRID_XOUT[1], GRID_YOUT[1], GRID_ZONEOUT[1]);
  return row;
}

TEST_F(Cli, BatchesKeepEveryLineInPlaceAroundPointsWithoutPath) {
  // Points without a path at the first, last and first-after-full positions of the engine's
  // batches, two in a row, and a run of them, between comments and malformed lines.
  const std::set<int> noPath = {0,   1,   TRGU_MAXPT - 1,     TRGU_MAXPT, TRGU_MAXPT + 1, 450, 451,
                                452, 453, 2 * TRGU_MAXPT + 99};
  std::string input, expected, messages;
  int lines = 0, converted = 0, unreadable = 0, withoutPath = 0;
  auto addLine = [&](const std::string& in, const std::string& out, const std::string& message) {
    input += in + "\n";
    expected += out + "\n";
    ++lines;
    if (!message.empty()) messages += "nuvex: <stdin>:" + std::to_string(lines) + message;
  };
  for (int index = 0; index < 2 * TRGU_MAXPT + 100; ++index) {
    const bool far = noPath.contains(index);
    char text[64];
    std::snprintf(text, sizeof text, "%.4f %.4f", far ? 30.0 : 6.0 + (index % 90) * 0.1,
                  far ? 10.0 : 47.5 + (index % 70) * 0.1);
    double longitude = 0.0, latitude = 0.0;
    std::sscanf(text, "%lf %lf", &longitude, &latitude);
    // The regions are not rectangles: some points of the grid have no path either.
    const std::string row = expectedRow(longitude, latitude, text);
    EXPECT_TRUE(!far || row.starts_with("*error*")) << text;
    ++(row.starts_with("*error*") ? withoutPath : converted);
    addLine(text, row,
            row.starts_with("*error*")
                ? ": outside the area of the polynomial datum shifts (5 deg E to 15 deg 20' E, 47 "
                  "deg N to 55 deg 12' N, Germany and its borders)\n"
                : "");
    if (index % 97 == 0) addLine("# comment", "# comment", "");
    if (index % 131 == 0) {
      addLine("bad line", "*error* bad line", ": longitude \"bad\" is not a number\n");
      ++unreadable;
    }
  }
  const CliResult result = runCli("from-ll -s 2", input);
  EXPECT_EQ(result.status, kDataError);
  EXPECT_EQ(result.out, expected);
  EXPECT_EQ(result.err, messages + "nuvex: " + std::to_string(lines) + " lines read, " +
                            std::to_string(converted) + " converted, " +
                            std::to_string(unreadable + withoutPath) + " refused (" +
                            std::to_string(unreadable) + " unreadable, " +
                            std::to_string(withoutPath) + " outside_polynomial_area)\n");

  // A whole batch and more without any path: every point marked.
  input = expected = "";
  for (int index = 0; index < TRGU_MAXPT + 5; ++index) {
    input += "30 10 p" + std::to_string(index) + "\n";
    expected += "*error* 30 10 p" + std::to_string(index) + "\n";
  }
  const CliResult none = runCli("convert --from G:2 --to G:3", input);
  EXPECT_EQ(none.status, kDataError);
  EXPECT_EQ(none.out, expected);
  EXPECT_EQ(firstLine(none.err),
            "nuvex: <stdin>:1: outside the area of the polynomial datum shifts (5 deg E to 15 deg "
            "20' E, 47 deg N to 55 deg 12' N, Germany and its borders)");
}

// Numbers within the tolerance, everything between them (separators, extra columns) exactly.
void expectLineMatches(const std::string& actual, const std::string& expected, double tolerance) {
  const char *a = actual.c_str(), *e = expected.c_str();
  while (*a != '\0' || *e != '\0') {
    char *aEnd = nullptr, *eEnd = nullptr;
    // Words such as "nan" or "inf" in extra columns are text, not numbers.
    const double got = std::isalpha(static_cast<unsigned char>(*a)) ? 0.0 : std::strtod(a, &aEnd);
    const double want = std::isalpha(static_cast<unsigned char>(*e)) ? 0.0 : std::strtod(e, &eEnd);
    if (aEnd != nullptr && aEnd != a && eEnd != nullptr && eEnd != e) {
      EXPECT_NEAR(got, want, tolerance) << "at \"" << a << "\" of: " << actual;
      a = aEnd, e = eEnd;
    } else {
      ASSERT_EQ(*a, *e) << "at \"" << a << "\" of: " << actual << "\nexpected: " << expected;
      ++a, ++e;
    }
  }
}

std::vector<std::string> words(const std::string& line) {
  std::istringstream stream(line);
  return {std::istream_iterator<std::string>(stream), std::istream_iterator<std::string>()};
}

TEST_F(Cli, ConvertsTheCasesOfTheDataFile) {
  for (const TestCase& c : readCases("cli_conversions.txt")) {
    SCOPED_TRACE(c.where());
    const CliResult result = runCli(c.fields.at(0), c.fields.at(1) + "\n");
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.err, "");
    ASSERT_EQ(std::count(result.out.begin(), result.out.end(), '\n'), 1) << "one line in, one out";
    ASSERT_EQ(result.out.back(), '\n');
    const std::string line = result.out.substr(0, result.out.size() - 1);
    if (c.fields.at(3) == "exact") {
      EXPECT_EQ(line, c.fields[2]);
    } else {
      expectLineMatches(line, c.fields[2], c.number(3));
    }
  }
}

TEST_F(Cli, MarksTheMalformedLinesOfTheDataFileAndNamesTheReason) {
  for (const TestCase& c : readCases("cli_malformed_lines.txt")) {
    SCOPED_TRACE(c.where());
    const CliResult result = runCli(c.fields.at(0), c.fields.at(1) + "\n");
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.out, "*error* " + c.fields[1] + "\n");
    EXPECT_EQ(result.err, "nuvex: <stdin>:1: " + c.fields.at(2) + "\n");
  }
}

TEST_F(Cli, GridOutputOfFromLLFeedsToLLForEverySystem) {
  // System 3 is the projection alone; the others go through a datum shift each way, which is
  // evaluated where the point is and so returns within a few centimetres, not exactly. On the
  // Gauss-Krueger systems 1 and 4 the zone column of the grid output comes back as an extra.
  const std::string points = "10 50 a\n13.405 52.52 b\n6.9583 50.9413 c\n11.5755 48.1372 d\n";
  for (const std::string system : {"1", "2", "3", "4", "4 --zone-width 6"}) {
    SCOPED_TRACE("system " + system);
    const double tolerance = system == "3" ? 2e-8 : 1e-6;  // deg
    const CliResult grid = runCli("from-ll -p 6 -s " + system, points);
    const CliResult back = runCli("to-ll -p 3,10 -s " + system, grid.out);
    ASSERT_EQ(grid.status + back.status, 0) << grid.err << back.err;
    std::istringstream expected(points), actual(back.out);
    for (std::string want, got; std::getline(expected, want);) {
      ASSERT_TRUE(std::getline(actual, got));
      const std::vector<std::string> w = words(want), g = words(got);
      ASSERT_EQ(g.size(), system[0] == '1' || system[0] == '4' ? 4u : 3u) << got;
      EXPECT_NEAR(std::stod(g[0]), std::stod(w[0]), tolerance) << got;
      EXPECT_NEAR(std::stod(g[1]), std::stod(w[1]), tolerance) << got;
      EXPECT_EQ(g.back(), w.back());
    }
    std::string rest;
    EXPECT_FALSE(std::getline(actual, rest));
  }
}

}  // namespace
}  // namespace nuvex::testing

namespace nuvex::testing {
namespace {

// The escapes of cli_tables.txt: \n \r \t \\ \p (a bar) and \xHH.
std::string unescape(const std::string& text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\\' || i + 1 == text.size()) {
      out += text[i];
      continue;
    }
    const char code = text[++i];
    if (code == 'x') {
      out += static_cast<char>(std::stoi(text.substr(i + 1, 2), nullptr, 16));
      i += 2;
    } else {
      out += code == 'n'   ? '\n'
             : code == 'r' ? '\r'
             : code == 't' ? '\t'
             : code == 'p' ? '|'
                           : code;
    }
  }
  return out;
}

TEST_F(Cli, ConvertsTheTablesOfTheDataFile) {
  for (const TestCase& c : readCases("cli_tables.txt")) {
    SCOPED_TRACE(c.where());
    const CliResult result = runCli(unescape(c.fields.at(0)), unescape(c.fields.at(1)));
    EXPECT_EQ(result.out, unescape(c.fields.at(2)));
    EXPECT_EQ(result.err, unescape(c.fields.at(3)));
    EXPECT_EQ(result.status, c.integer(4));
  }
}

TEST_F(Cli, DmsOutputReadsBackToTheSamePointWithinItsLastDecimal) {
  constexpr double kLastDecimal = 1e-4 / 3600.0;  // deg: 0.0001" at --dms=4
  std::string input;
  std::vector<std::pair<double, double>> points;
  for (int i = 0; i < 500; ++i) {
    const double longitude = -179.999 + i * 0.71993171, latitude = -89.999 + i * 0.35977013;
    points.emplace_back(longitude, latitude);
    char line[64];
    std::snprintf(line, sizeof line, "%.10f %.10f\n", longitude, latitude);
    input += line;
  }
  const CliResult dms = runCli("convert --from G:3 --to G:3 --dms=4", input);
  const CliResult back = runCli("convert --from G:3 --to G:3 -p 3,12", dms.out);
  ASSERT_EQ(dms.status + back.status, 0) << dms.err << back.err;
  std::istringstream lines(back.out);
  for (const auto& [longitude, latitude] : points) {
    double x = 0.0, y = 0.0;
    ASSERT_TRUE(lines >> x >> y);
    EXPECT_NEAR(x, longitude, kLastDecimal);
    EXPECT_NEAR(y, latitude, kLastDecimal);
  }
}

// Seconds that round up to 10 or 60 at the decimals shown, at every number of decimals: the text
// has two digits before the decimals, and 60 is carried into the minutes (and degrees). The
// expected texts follow from how the angles are made: D°M' plus seconds just below 10 or 60.
TEST_F(Cli, DmsSecondsRoundingUpAcrossTenAndSixtyKeepTwoDigitsAndCarry) {
  struct Start {
    int degrees, minutes, seconds;  // the angle rounds up to these seconds (10 or 60)
  };
  constexpr Start kStarts[] = {{0, 0, 10}, {0, 2, 10},  {45, 13, 10}, {12, 34, 10}, {89, 59, 10},
                               {0, 0, 60}, {0, 59, 60}, {9, 59, 60},  {89, 59, 60}, {179, 59, 60}};
  // Fractions of the half unit below the rounding target: all round up (the half way itself
  // is left out, as the binary angle falls on either side of it).
  constexpr double kFractions[] = {0.001, 0.1, 0.25, 0.4, 0.5, 0.6, 0.75, 0.9, 0.999};
  auto dmsText = [](int degrees, int minutes, int seconds, int decimals, char hemisphere) {
    if (seconds == 60) seconds = 0, ++minutes;
    if (minutes == 60) minutes = 0, ++degrees;
    char text[64];
    std::snprintf(text, sizeof text, "%d\xC2\xB0%02d'%02d%s%.*s\"%c", degrees, minutes, seconds,
                  decimals > 0 ? "." : "", decimals, "0000000000", hemisphere);
    return std::string(text);
  };
  for (int decimals = 0; decimals <= 10; ++decimals) {
    const long double halfUnit = 0.5L * std::pow(10.0L, -decimals);  // seconds
    std::string input, expected;
    for (const Start& s : kStarts) {
      for (double fraction : kFractions) {
        const long double seconds = s.seconds - fraction * halfUnit;
        const double angle = static_cast<double>(s.degrees + s.minutes / 60.0L + seconds / 3600.0L);
        // Only where a double resolves the distances to the target and to the half way well.
        const double resolution = 3600.0 * (std::nextafter(angle, 1e3) - angle);  // seconds
        if (resolution > std::min(fraction, 1 - fraction) * halfUnit / 16) continue;
        const bool latitude = angle <= 90.0;
        char line[80];
        std::snprintf(line, sizeof line, "%.17g %.17g\n", angle, latitude ? -angle : 0.0);
        input += line;
        expected += dmsText(s.degrees, s.minutes, s.seconds, decimals, 'E') + " " +
                    (latitude ? dmsText(s.degrees, s.minutes, s.seconds, decimals, 'S')
                              : dmsText(0, 0, 0, decimals, 'N')) +
                    "\n";
      }
    }
    SCOPED_TRACE("--dms=" + std::to_string(decimals));
    const CliResult result =
        runCli("convert --from G:3 --to G:3 --dms=" + std::to_string(decimals), input);
    EXPECT_EQ(result.status, 0) << result.err;
    std::istringstream got(result.out), want(expected), in(input);
    for (std::string g, w, i; std::getline(want, w) && std::getline(in, i);) {
      std::getline(got, g);
      EXPECT_EQ(g, w) << "input " << i;
    }
  }
}

TEST_F(Cli, ThreadsAndBlocksKeepEveryLineInPlace) {
  // Some 7 blocks of lines (512 KiB each) and a short last one, with malformed lines and points
  // without a path among them.
  constexpr std::size_t kBlockBytes = 512 << 10, kShortTail = 60 << 10;
  std::string input, messages;
  int lines = 0, unreadable = 0, withoutPath = 0;
  for (int i = 0; input.size() < 7 * kBlockBytes || input.size() % kBlockBytes > kShortTail ||
                  input.size() % kBlockBytes < 100;
       ++i) {
    char line[64];
    const std::string where = "nuvex: many.txt:" + std::to_string(i + 1) + ": ";
    ++lines;
    if (i % 9973 == 0) {
      std::snprintf(line, sizeof line, "bad %d\n", i);
      messages += where + "longitude \"bad\" is not a number\n";
      ++unreadable;
    } else if (i % 7919 == 0) {
      ++withoutPath;
      std::snprintf(line, sizeof line, "30 10 far%d\n", i);
      messages += where +
                  "outside the area of the polynomial datum shifts (5 deg E to 15 deg 20' E, 47 "
                  "deg N to 55 deg 12' N, Germany and its borders)\n";
    } else {
      std::snprintf(line, sizeof line, "%.6f %.6f p%d\n", 9.0 + (i % 200) * 0.01,
                    50.0 + (i % 100) * 0.01, i);
    }
    input += line;
  }
  writeWholeFile("many.txt", input);
  const CliResult one = runCli("from-ll -s 2 --threads 1 many.txt");
  const CliResult three = runCli("from-ll -s 2 --threads 3 many.txt");
  const CliResult piped = runCli("from-ll -s 2 --threads 2", input);
  EXPECT_EQ(one.status, kDataError);
  EXPECT_EQ(std::count(one.out.begin(), one.out.end(), '\n'),
            std::count(input.begin(), input.end(), '\n'));
  // One summary at the end: lines read, converted, refused by reason.
  EXPECT_EQ(one.err, messages + "nuvex: " + std::to_string(lines) + " lines read, " +
                         std::to_string(lines - unreadable - withoutPath) + " converted, " +
                         std::to_string(unreadable + withoutPath) + " refused (" +
                         std::to_string(unreadable) + " unreadable, " +
                         std::to_string(withoutPath) + " outside_polynomial_area)\n");
  EXPECT_TRUE(three.out == one.out && three.err == one.err && three.status == one.status);
  EXPECT_TRUE(piped.out == one.out && piped.status == one.status);
  EXPECT_EQ(piped.err, std::regex_replace(one.err, std::regex("many\\.txt"), "<stdin>"));
}

// An EPSG code names a system (and a zone): converting by codes gives what converting by the
// systems and zones gives, datum shifts included.
TEST_F(Cli, EpsgCodesConvertAsTheSystemsTheyName) {
  const std::string gk = "3571686.387 5540758.788 a\n3587394.998803 5672271.091181 b\n";
  const std::string geo = "10 50 a\n13.405 52.52 b\n";
  const struct {
    std::string byCode, bySystem, input;
  } pairs[] = {
      {"convert --from EPSG:31467 --to EPSG:25832", "convert --from E:1 --to E:3 --zone 32", gk},
      {"convert --from EPSG:31467 --to EPSG:4326", "convert --from E:1 --to G:3", gk},
      {"convert --from EPSG:4326 --to EPSG:31468", "convert --from G:3 --to E:1 --zone 4", geo},
      {"convert --from EPSG:4258 --to EPSG:2398", "convert --from G:3 --to E:4 --zone 4", geo},
      // The same codes written as OGC URNs (with and without a version) and as bare numbers
      {"convert --from urn:ogc:def:crs:EPSG::31467 --to URN:OGC:DEF:CRS:EPSG:9.8.1:25832",
       "convert --from E:1 --to E:3 --zone 32", gk},
      {"to-ll -s 31467", "to-ll -s 1", gk},
      {"from-ll -s 25833", "from-ll -s 3 --zone 33", geo},
      {"convert --from EPSG:4230 --to EPSG:5664",
       "convert --from G:2 --to E:4 --zone 2 "
       "--zone-width 6",
       geo},
  };
  for (const auto& pair : pairs) {
    SCOPED_TRACE(pair.byCode);
    const CliResult byCode = runCli(pair.byCode, pair.input);
    const CliResult bySystem = runCli(pair.bySystem, pair.input);
    EXPECT_EQ(byCode.status + bySystem.status, 0) << byCode.err << bySystem.err;
    EXPECT_EQ(byCode.out, bySystem.out);
  }
}

TEST_F(Cli, ListPrintsEveryCodeWithItsSystemAndZone) {
  const CliResult list = runCli("list");
  EXPECT_EQ(list.status, 0);
  EXPECT_TRUE(
      contains(list.out, "\n31467  E:1       3     3 DHDN / 3-degree Gauss-Kruger zone 3\n"));
  EXPECT_TRUE(contains(list.out, "\n4326   G:3       -     - WGS 84\n"));
  EXPECT_TRUE(contains(list.out, "official datum mode"));
  for (const TestCase& c : readCases("epsg_codes.txt")) {
    EXPECT_TRUE(contains(list.out, "\n" + c.fields.at(0) + " ")) << c.fields[0];
  }
}

// EPSG:4937 is a row of the table like any other; compound codes are no rows, so the list says
// how they are written.
TEST_F(Cli, ListShowsTheThreeDimensionalCodeAndHowCompoundCodesAreWritten) {
  const CliResult list = runCli("list");
  EXPECT_EQ(list.status, 0);
  EXPECT_TRUE(contains(list.out, "\n4937   G:3       -     - ETRS89 (3D, ellipsoidal height)\n"))
      << list.out;
  EXPECT_TRUE(contains(list.out, "\n4258   G:3       -     - ETRS89\n"));
  EXPECT_TRUE(contains(list.out,
                       "\nCompound: any code of systems 1, 3 and 4 + 7837 (DHHN2016 height), e.g. "
                       "EPSG:31467+7837.\n"));
}

// A zone forced on points far from it converts them, with one warning for the whole input.
TEST_F(Cli, AZoneForcedFarFromThePointsIsWarnedOfOnce) {
  const CliResult far = runCli("from-ll -s 3 --zone 32", "10 50\n30 50\n31 50\n10 51\n");
  EXPECT_EQ(far.status, 0) << far.err;
  EXPECT_EQ(std::count(far.out.begin(), far.out.end(), '\n'), 4);
  EXPECT_EQ(far.err,
            "nuvex: warning: zone 32 lies more than 6 deg of longitude from some points; they "
            "are converted exactly, but check that the zone is the one meant\n");
  const CliResult near = runCli("from-ll -s 3 --zone 32", "12.9 50\n5.1 50\n");
  EXPECT_EQ(near.status + near.err.size(), 0u) << near.err;
}

// Standard error is written by the calling thread alone, in input order: the warning about a
// forced zone comes with the block of the first far point, after the messages of the blocks
// before it, however the threads finish. (Regression: a worker wrote the warning itself, racing
// with the calling thread on std::cerr, and a short block converted ahead put it before the
// messages of a long block still converting.) The first block holds some 50000 points and
// malformed lines; the second, one far point whose line is longer than a block, then a malformed
// line: it converts long before the first.
TEST_F(Cli, TheFarZoneWarningComesInInputOrderAmongTheMessagesOfManyThreads) {
  constexpr std::size_t kBlockBytes = 512 << 10;  // the converter's block
  std::string input, messages;
  std::size_t line = 0, refused = 0;
  auto add = [&](const std::string& text, bool malformed) {
    input += text + "\n";
    ++line;
    refused += malformed ? 1 : 0;
    if (malformed) {
      messages +=
          "nuvex: many.txt:" + std::to_string(line) + ": longitude \"bad\" is not a number\n";
    }
  };
  while (input.size() < kBlockBytes - 100) {
    const bool malformed = line % 997 == 0;
    add(malformed ? "bad 50" : "9.5 50.1", malformed);
  }
  add("30 50 " + std::string(kBlockBytes + 1000, 'x'), false);
  messages +=
      "nuvex: warning: zone 32 lies more than 6 deg of longitude from some points; they are "
      "converted exactly, but check that the zone is the one meant\n";
  add("bad 50", true);
  messages += "nuvex: " + std::to_string(line) + " lines read, " + std::to_string(line - refused) +
              " converted, " + std::to_string(refused) + " refused (" + std::to_string(refused) +
              " unreadable)\n";
  writeWholeFile("many.txt", input);
  const CliResult result = runCli("from-ll -s 3 --zone 32 --threads 2 many.txt");
  EXPECT_EQ(result.status, kDataError);
  EXPECT_EQ(std::count(result.out.begin(), result.out.end(), '\n'), static_cast<long>(line));
  EXPECT_EQ(result.err, messages);
}

// A grid is read from a regular file only: a named pipe (which could block the reader for ever,
// and whose content one reader would take from another) is a usage error that says so.
TEST_F(Cli, AGridFromANamedPipeIsRefused) {
  ASSERT_EQ(std::system("mkfifo grid.gsb"), 0);
  const CliResult result =
      runCli("convert --from G:1 --to G:3 --datum official --grid grid.gsb -p 3,8",
             "10.0666637 55.9823353\n", "timeout 20");
  EXPECT_EQ(result.status, 2) << result.err;
  EXPECT_NE(result.err.find("is not a regular file"), std::string::npos) << result.err;
}

// --grid takes a GeoTIFF grid as it takes an NTv2 one (PROJ: cct -d 10 +proj=hgridshift
// +grids=de_hvbg_hessen_HeTA2010.tif gives 8.4990215278 50.4987944539); a point outside it is
// refused for that reason.
TEST_F(Cli, GridTakesGeoTiffGrids) {
  if (!engine::geoTiffGridsSupported()) GTEST_SKIP() << "built without libtiff";
  const CliResult result =
      runCli("convert --from G:1 --to G:3 --datum official --grid " NUVEX_TEST_DATA_DIR
             "/../../data/de_hvbg_hessen_HeTA2010.tif -p 3,10",
             "8.5 50.5\n13.0 52.0\n");
  EXPECT_EQ(result.status, kDataError) << result.err;
  EXPECT_EQ(result.out.substr(0, result.out.find('\n')), "8.4990215278 50.4987944539");
  EXPECT_NE(result.err.find("outside"), std::string::npos) << result.err;
}

// ---- Heights ------------------------------------------------------------------------------------

// Numbers within their tolerances (one per numeric field in order, the last for the rest),
// everything between them exactly.
void expectLineMatchesEach(const std::string& actual, const std::string& expected,
                           const std::vector<double>& tolerances) {
  const char *a = actual.c_str(), *e = expected.c_str();
  std::size_t field = 0;
  while (*a != '\0' || *e != '\0') {
    char *aEnd = nullptr, *eEnd = nullptr;
    const double got = std::isalpha(static_cast<unsigned char>(*a)) ? 0.0 : std::strtod(a, &aEnd);
    const double want = std::isalpha(static_cast<unsigned char>(*e)) ? 0.0 : std::strtod(e, &eEnd);
    if (aEnd != nullptr && aEnd != a && eEnd != nullptr && eEnd != e) {
      EXPECT_NEAR(got, want, tolerances[std::min(field++, tolerances.size() - 1)])
          << "at \"" << a << "\" of: " << actual;
      a = aEnd, e = eEnd;
    } else {
      ASSERT_EQ(*a, *e) << "at \"" << a << "\" of: " << actual << "\nexpected: " << expected;
      ++a, ++e;
    }
  }
}

std::vector<std::string> linesOf(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream stream(text);
  for (std::string line; std::getline(stream, line);) lines.push_back(line);
  return lines;
}

class CliHeights : public Cli {
 protected:
  void SetUp() override {
    // The quasigeoid is a GeoTIFF grid: a build without libtiff converts no heights.
    if (!engine::geoTiffGridsSupported()) GTEST_SKIP() << "built without libtiff";
  }
};

TEST_F(CliHeights, ConvertsTheCasesOfTheDataFileAsProjDoes) {
  for (const TestCase& c : readCases("cli_heights.txt")) {
    SCOPED_TRACE(c.where());
    std::string input = unescape(c.fields.at(1));
    if (!input.ends_with('\n')) input += '\n';
    const CliResult result = runCli(c.fields.at(0), input);
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.err, "");
    std::vector<double> tolerances;
    std::istringstream listed(c.fields.at(3));
    for (std::string tolerance; std::getline(listed, tolerance, ',');) {
      tolerances.push_back(std::stod(tolerance));
    }
    const std::vector<std::string> got = linesOf(result.out), want = linesOf(unescape(c.fields[2]));
    ASSERT_EQ(got.size(), want.size()) << result.out;
    for (std::size_t i = 0; i < got.size(); ++i) expectLineMatchesEach(got[i], want[i], tolerances);
  }
}

// A height that is no number makes its line unreadable; one the library refuses (not finite,
// beyond 10 km, -1e999 read as minus infinity) or a point outside the quasigeoid is refused with
// the library's reason; the lines after them convert. The point converted is cli_heights.txt's.
TEST_F(CliHeights, RefusesHeightsItCannotConvertAndGoesOn) {
  const CliResult result = runCli("convert --from EPSG:4937 --to EPSG:4258+7837 --datum official",
                                  "13.7885598 51.9487479 76.5 a\n10 50 abc b\n10 50 nan c\n"
                                  "10 50 1e9 d\n16.5 51 10 e\n10 50\n10 50 -1e999 f\n"
                                  "13.7885598 51.9487479 76.5 g\n");
  EXPECT_EQ(result.status, kDataError);
  EXPECT_EQ(result.out,
            "13.78855980 51.94874790 35.334 a\n*error* 10 50 abc b\n*error* 10 50 nan c\n"
            "*error* 10 50 1e9 d\n*error* 16.5 51 10 e\n*error* 10 50\n*error* 10 50 -1e999 f\n"
            "13.78855980 51.94874790 35.334 g\n");
  const std::string outOfRange =
      ": a height that is not a finite number within 10 km of the ellipsoid\n";
  EXPECT_EQ(
      result.err,
      "nuvex: <stdin>:2: height \"abc\" is not a number\n"
      "nuvex: <stdin>:3" +
          outOfRange + "nuvex: <stdin>:4" + outOfRange +
          "nuvex: <stdin>:5: outside the quasigeoid grid, or in a cell of it without value "
          "(GCG2016: Germany)\n"
          "nuvex: <stdin>:6: too few fields: expected longitude, latitude and height, found "
          "2\n"
          "nuvex: <stdin>:7" +
          outOfRange +
          "nuvex: 8 lines read, 2 converted, 6 refused (2 unreadable, 3 height_out_of_range, 1 "
          "outside_geoid)\n");
}

// --geoid takes the quasigeoid from a file: GCG2016's own file gives what the built-in grid
// gives; a file that cannot be read, or that is no vertical grid, is a usage error.
TEST_F(CliHeights, GeoidTakesAVerticalGeoTiffGrid) {
  const std::string conversion =
      "convert --from EPSG:31467+7837 --to EPSG:25832 --height-to ellipsoidal --datum official";
  const std::string points =
      "3514881.4679 5685234.0224 250.0 p1\n3437131.0190 5428790.6050 512.25\n";
  const CliResult builtIn = runCli(conversion, points);
  const CliResult file =
      runCli(conversion + " --geoid " NUVEX_TEST_DATA_DIR "/../../data/de_bkg_gcg2016.tif", points);
  EXPECT_EQ(builtIn.status + file.status, 0) << builtIn.err << file.err;
  EXPECT_EQ(file.out, builtIn.out);
  EXPECT_EQ(firstLine(builtIn.out), "514801.644 5683399.847 296.724 32 p1");
  const CliResult missing = runCli(conversion + " --geoid no-such-geoid.tif", points);
  EXPECT_EQ(missing.status, kUsageError);
  EXPECT_EQ(missing.out, "");
  EXPECT_TRUE(missing.err.starts_with("--geoid: ") && contains(missing.err, "no-such-geoid.tif"))
      << missing.err;
  const CliResult horizontal = runCli(
      conversion + " --geoid " NUVEX_TEST_DATA_DIR "/../../data/de_adv_BETA2007.tif", points);
  EXPECT_EQ(horizontal.status, kUsageError);
  EXPECT_TRUE(horizontal.err.starts_with("--geoid: ")) << horizontal.err;
}

// The heights travel with their points through blocks on several threads: the same output on one
// thread and three, every line in its place.
TEST_F(CliHeights, ThreadsAndBlocksCarryEveryHeightWithItsPoint) {
  constexpr std::size_t kBlockBytes = 512 << 10;  // the converter's block
  std::string input;
  for (int i = 0; input.size() < 3 * kBlockBytes; ++i) {
    char line[64];
    std::snprintf(line, sizeof line, "%.6f %.6f %d p%d\n", 9.0 + (i % 200) * 0.01,
                  50.0 + (i % 100) * 0.01, i % 1000, i);
    input += line;
  }
  writeWholeFile("heights.txt", input);
  const std::string conversion =
      "convert --from EPSG:4258+7837 --to EPSG:4937 --datum official -p 6 heights.txt";
  const CliResult one = runCli(conversion + " --threads 1");
  const CliResult three = runCli(conversion + " --threads 3");
  EXPECT_EQ(one.status + three.status, 0) << one.err << three.err;
  EXPECT_EQ(three.out, one.out);
  // h = H + N, with N within 30 to 60 m around Germany: each line's height is its own plus N.
  const std::vector<std::string> in = linesOf(input), out = linesOf(one.out);
  ASSERT_EQ(out.size(), in.size());
  for (std::size_t i = 0; i < in.size(); i += 997) {
    const std::vector<std::string> a = words(in[i]), b = words(out[i]);
    ASSERT_EQ(b.size(), 4u) << out[i];
    EXPECT_EQ(b[3], a[3]);
    const double undulation = std::stod(b[2]) - std::stod(a[2]);
    EXPECT_TRUE(undulation > 30.0 && undulation < 60.0) << in[i] << " -> " << out[i];
  }
}

// ---- System 5: ITRF2020 at an epoch
// --------------------------------------------------------------

// The README's GNSS examples are cases of the file: their command lines and input lines must stand
// in the README as the test runs them.
void expectInReadme(const TestCase& c, const std::string& arguments, const std::string& input) {
  static const std::string readme = readWholeFile(NUVEX_TEST_DATA_DIR "/../../README.md");
  EXPECT_TRUE(contains(readme, "nuvex " + arguments)) << "README lacks: nuvex " << arguments;
  for (const std::string& line : linesOf(input)) {
    EXPECT_TRUE(contains(readme, "    " + line + "\n"))
        << c.file << " line in no README block: " << line;
  }
}

TEST_F(Cli, ConvertsTheEpochCasesOfTheDataFileAsProjDoes) {
  for (const TestCase& c : readCases("cli_epochs.txt")) {
    SCOPED_TRACE(c.where());
    const std::string& file = c.fields.at(0);
    const std::string& arguments = c.fields.at(1);
    // DHHN2016 heights need the quasigeoid, a GeoTIFF grid.
    if (contains(arguments, "+7837") && !engine::geoTiffGridsSupported()) continue;
    const std::string input = unescape(c.fields.at(2));
    CliResult result;
    if (file.empty()) {
      result = runCli(arguments, input);
    } else {
      expectInReadme(c, arguments, input);
      writeWholeFile(file, input);
      result = runCli(arguments);
    }
    EXPECT_EQ(result.err, unescape(c.fields.at(4)));
    EXPECT_EQ(result.status, c.integer(5));
    std::vector<double> tolerances;
    std::istringstream listed(c.fields.at(6));
    for (std::string tolerance; std::getline(listed, tolerance, ',');) {
      tolerances.push_back(std::stod(tolerance));
    }
    const std::vector<std::string> got = linesOf(result.out), want = linesOf(unescape(c.fields[3]));
    ASSERT_EQ(got.size(), want.size()) << result.out;
    for (std::size_t i = 0; i < got.size(); ++i) expectLineMatchesEach(got[i], want[i], tolerances);
  }
}

// The epochs travel with their points through blocks on several threads: each line comes out as
// the same point converted alone at its epoch gives it. Every position comes with four epochs, one
// per line in a row, which must give four different results (some 2.5 cm a year apart).
TEST_F(Cli, ThreadsAndBlocksCarryEveryEpochWithItsPoint) {
  constexpr std::size_t kBlockBytes = 512 << 10;  // the converter's block
  const std::vector<std::string> epochs = {"1995.5", "2010-06-15", "2026.9", "2100"};
  std::string input;
  std::vector<std::string> byEpoch(epochs.size());
  for (int i = 0; input.size() < 3 * kBlockBytes || i % 4 != 0; ++i) {
    char line[80];
    std::snprintf(line, sizeof line, "%.6f %.6f %s p%d\n", 6.0 + (i / 4 % 900) * 0.01,
                  47.5 + (i / 4 % 700) * 0.01, epochs[i % 4].c_str(), i);
    input += line;
    byEpoch[i % 4] += line;
  }
  writeWholeFile("epochs.txt", input);
  const std::string conversion = "convert --from EPSG:9990 --to EPSG:25832 --datum official -p 4";
  const CliResult one = runCli(conversion + " --epoch-column 3 --threads 1 epochs.txt");
  const CliResult three = runCli(conversion + " --epoch-column 3 --threads 3 epochs.txt");
  EXPECT_EQ(one.status + three.status, 0) << one.err << three.err;
  EXPECT_EQ(one.err + three.err, "");
  EXPECT_EQ(three.out, one.out);
  const std::vector<std::string> out = linesOf(one.out);
  ASSERT_EQ(out.size(), linesOf(input).size());
  for (std::size_t e = 0; e < epochs.size(); ++e) {
    SCOPED_TRACE("--epoch " + epochs[e]);
    writeWholeFile("one-epoch.txt", byEpoch[e]);
    const CliResult alone = runCli(conversion + " --epoch " + epochs[e] + " one-epoch.txt");
    EXPECT_EQ(alone.status, 0) << alone.err;
    const std::vector<std::string> expected = linesOf(alone.out);
    ASSERT_EQ(expected.size() * epochs.size(), out.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
      ASSERT_EQ(out[i * epochs.size() + e], expected[i]) << "line " << i * epochs.size() + e + 1;
    }
  }
  for (std::size_t i = 0; i + 3 < out.size(); i += 997 * 4) {
    const std::set<std::string> positions = {words(out[i])[1], words(out[i + 1])[1],
                                             words(out[i + 2])[1], words(out[i + 3])[1]};
    EXPECT_EQ(positions.size(), 4u) << out[i];
  }
}

// System 5's codes are rows of the table; the list says how an epoch is written.
TEST_F(Cli, ListShowsSystemFiveAndHowAnEpochIsWritten) {
  const CliResult list = runCli("list");
  EXPECT_EQ(list.status, 0);
  for (const char* row : {"\n9989   G:5       -     - ITRF2020 (3D, ellipsoidal height)\n",
                          "\n9990   G:5       -     - ITRF2020\n",
                          "\n10605  G:5       -     - WGS 84 (G2296) (3D, ellipsoidal height)\n",
                          "\n10606  G:5       -     - WGS 84 (G2296)\n"}) {
    EXPECT_TRUE(contains(list.out, row)) << row;
  }
  EXPECT_TRUE(contains(list.out, "EPSG:9990@2026.9")) << list.out;
  EXPECT_TRUE(contains(list.out, "--epoch-column")) << list.out;
}

// Every option --help shows for a command is in the manual page, and the reverse.
TEST_F(Cli, ManualPageNamesTheOptionsOfHelp) {
  const std::string manual = readWholeFile(NUVEX_TEST_DATA_DIR "/../../tools/nuvex.1");
  ASSERT_FALSE(manual.empty());
  const std::regex helpOption("--[a-z][a-z-]+");
  const std::regex manualOption(R"(\\-\\-([a-z]+(\\-[a-z]+)*))");  // roff writes - as \-
  std::set<std::string> inHelp, inManual;
  for (const char* command : {"", "to-ll", "from-ll", "convert", "list", "demo"}) {
    const std::string help = runCli(std::string(command) + " --help").out;
    for (std::sregex_iterator m(help.begin(), help.end(), helpOption), end; m != end; ++m) {
      inHelp.insert(m->str());
    }
  }
  for (std::sregex_iterator m(manual.begin(), manual.end(), manualOption), end; m != end; ++m) {
    inManual.insert(std::regex_replace(m->str(), std::regex(R"(\\)"), ""));
  }
  EXPECT_EQ(inManual, inHelp);
}

}  // namespace
}  // namespace nuvex::testing
