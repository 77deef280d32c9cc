// The nuvex command line as a whole: usage errors, inputs that cannot be read, lines passing
// through, the demo, and batches over the engine that must keep every line in its place.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "cli/cli_runner.h"
#include "nuvex/engine.h"
#include "support/scratch_directory.h"

namespace nuvex::testing {
namespace {

constexpr int kDataError = 1;
constexpr int kUsageError = 2;

class CliBehaviour : public ::testing::Test {
 protected:
  ScratchDirectory scratch_;
};

std::string firstLine(const std::string& text) {
  return text.substr(0, text.find('\n'));
}

// ---- Usage errors: status 2, nothing converted, the reason on standard error ------------------

TEST_F(CliBehaviour, RejectsOptionsThatDoNotFitTheConversion) {
  struct Case {
    const char* arguments;
    const char* message;  // first line of standard error
  };
  const std::vector<Case> cases = {
      {"to-ll -s 1 --zone 3",
       "--zone: Gauss-Krueger eastings of system 1 carry their zone in the millions"},
      {"to-ll -s 3 --zone 61", "--zone 61: UTM zones are 0 (from the easting) to 60"},
      {"from-ll -s 3 --zone 61", "--zone 61: zones of WGS84 / UTM are 1 to 60"},
      {"from-ll -s 1 --zone 120",
       "--zone 120: zones of Bessel 1841 / Gauss-Krueger 3 deg are 0 to 119"},
      {"from-ll -s 4 --zone-width 6 --zone 0",
       "--zone 0: zones of Krassowsky 1940 / Gauss-Krueger 6 deg are 1 to 60"},
      {"convert --from G:3 --to G:1 --zone 3", "--zone: the output is geographic and has no zone"},
      {"convert --from E:1 --to G:3 --zone-prefix",
       "--zone-prefix: the output is geographic and has no easting"},
      {"convert --from G:3 --to E:1 --from-zone 3",
       "--from-zone: the input is geographic and has no zone"},
      {"convert --from X:1 --to G:3",
       "--from: expected TYPE:SYSTEM with TYPE E (grid) or G (geographic) and SYSTEM 1 to 4, "
       "e.g. E:1"},
      {"convert --from E:5 --to G:3",
       "--from: expected TYPE:SYSTEM with TYPE E (grid) or G (geographic) and SYSTEM 1 to 4, "
       "e.g. E:1"},
  };
  for (const Case& testCase : cases) {
    SCOPED_TRACE(testCase.arguments);
    const CliResult result = runCli(testCase.arguments, "10 50\n");
    EXPECT_EQ(result.status, kUsageError);
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(firstLine(result.err), testCase.message);
  }
}

TEST_F(CliBehaviour, RejectsMalformedCommandLines) {
  for (const char* arguments :
       {"to-ll", "from-ll --system 5", "from-ll -s 0", "from-ll -s 3 --zone-width 4",
        "from-ll -s 3 -p 16", "from-ll -s 3 -p 1,2,3", "from-ll -s 3 -p 16", "from-ll -s 3 -p 3,",
        "from-ll -s 3 -p -1", "from-ll -s x", "convert --from E:1", "frobnicate",
        "from-ll -s 3 --bogus"}) {
    SCOPED_TRACE(arguments);
    const CliResult result = runCli(arguments, "10 50\n");
    EXPECT_EQ(result.status, kUsageError);
    EXPECT_EQ(result.out, "");
    EXPECT_NE(result.err.find("Run with --help for more information."), std::string::npos)
        << result.err;
  }
}

TEST_F(CliBehaviour, HelpExplainsTheMarkerAndGivesExamples) {
  const CliResult result = runCli("--help");
  EXPECT_EQ(result.status, 0);
  EXPECT_NE(result.out.find("\"*error* \""), std::string::npos);
  EXPECT_NE(result.out.find("Exit status: 0 all converted, 1 some line or file failed, 2 usage"),
            std::string::npos);
  EXPECT_NE(result.out.find("Examples:\n  echo \"10 50\" | nuvex from-ll --system 3"),
            std::string::npos);
  const CliResult version = runCli("--version");
  EXPECT_EQ(version.status, 0);
  EXPECT_EQ(version.out.rfind("nuvex ", 0), 0u) << version.out;
}

// ---- Inputs ------------------------------------------------------------------------------------

TEST_F(CliBehaviour, CommentsBlankLinesAndLineEndsPassThroughInPlace) {
  const CliResult result =
      runCli("from-ll -s 3 -p 1", "# id lon lat\r\n\r\n   \n10 50\r\n  # indented\n10 50");
  EXPECT_EQ(result.status, 0) << result.err;
  EXPECT_EQ(result.out,
            "# id lon lat\n\n   \n571666.4 5539109.8 32\n  # indented\n571666.4 5539109.8 32\n");
}

TEST_F(CliBehaviour, ReadsFilesInOrderAndGoesOnAfterOneThatCannotBeOpened) {
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
            "nuvex: third.txt:2: latitude \"abc\" is not a number\n");
}

TEST_F(CliBehaviour, EmptyInputConvertsNothingAndSucceeds) {
  const CliResult result = runCli("to-ll -s 1", "");
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(result.out, "");
  EXPECT_EQ(result.err, "");
}

// ---- Demo --------------------------------------------------------------------------------------

TEST_F(CliBehaviour, DemoPrintsATableForEverySystemAndIsTheDefault) {
  const CliResult demo = runCli("demo");
  EXPECT_EQ(demo.status, 0) << demo.err;
  EXPECT_EQ(demo.err, "");
  EXPECT_NE(demo.out.find("System"), std::string::npos);
  EXPECT_NE(demo.out.find("Easting (m)"), std::string::npos);
  for (const char* grid : {"1 Bessel 1841 / Gauss-Krueger 3 deg", "2 International 1924 / UTM",
                           "3 WGS84 / UTM", "4 Krassowsky 1940 / Gauss-Krueger 6 deg"}) {
    EXPECT_NE(demo.out.find(grid), std::string::npos) << grid;
  }
  // The reference point on system 3: the worked values of the projection.
  const std::size_t reference = demo.out.find("Reference point");
  ASSERT_NE(reference, std::string::npos);
  const std::size_t row = demo.out.find("3 WGS84 / UTM", reference);
  ASSERT_NE(row, std::string::npos);
  EXPECT_NE(firstLine(demo.out.substr(row)).find("32   571666.448   5539109.815"),
            std::string::npos)
      << firstLine(demo.out.substr(row));

  const CliResult bare = runCli(std::vector<std::string>{});
  EXPECT_EQ(bare.status, 0);
  EXPECT_EQ(bare.out, demo.out);
}

// ---- Batches over the engine -------------------------------------------------------------------

// What TRGU gives for one point from WGS84 to the UTM grid of system 2, formatted as the converter
// formats it by default, or the marked row when there is no path.
std::string expectedRow(double longitude, double latitude, const std::string& text) {
  const int one = 1;
  const int system = 2;
  const int wgs84 = 3;
  const int zoneWidth = 3;
  const int fromLongitude = 1;
  const int noZone = 0;
  GEO_XIN[1] = longitude;
  GEO_YIN[1] = latitude;
  if (TRGU("G", wgs84, "E", system, zoneWidth, one, fromLongitude, noZone) != 0) {
    return "*error* " + text;
  }
  char row[128];
  std::snprintf(row, sizeof row, "%.3f %.3f %d", GRID_XOUT[1], GRID_YOUT[1], GRID_ZONEOUT[1]);
  return row;
}

TEST_F(CliBehaviour, BatchesKeepEveryLineInPlaceAroundPointsWithoutPath) {
  // Points without a path at the first, last and first-after-full positions of the engine's
  // batches, two in a row, and a run of them, between comments and malformed lines.
  const std::vector<int> noPath = {
      0, 1, TRGU_MAXPT - 1, TRGU_MAXPT, TRGU_MAXPT + 1, 450, 451, 452, 453, 2 * TRGU_MAXPT + 99};
  const int pointCount = 2 * TRGU_MAXPT + 100;
  std::string input;
  std::string expected;
  std::string messages;
  int line = 0;
  for (int index = 0; index < pointCount; ++index) {
    const bool far = std::find(noPath.begin(), noPath.end(), index) != noPath.end();
    const double longitude = far ? 30.0 : 6.0 + (index % 90) * 0.1;
    const double latitude = far ? 10.0 : 47.5 + (index % 70) * 0.1;
    char text[64];
    std::snprintf(text, sizeof text, "%.4f %.4f", longitude, latitude);
    input += std::string(text) + "\n";
    const std::string row = expectedRow(longitude, latitude, text);
    expected += row + "\n";
    ++line;
    // The regions are not rectangles: some points of the grid have no path either.
    const bool marked = row.starts_with("*error*");
    EXPECT_TRUE(marked || !far) << text;
    if (marked) {
      messages +=
          "nuvex: <stdin>:" + std::to_string(line) + ": no transformation path for this point\n";
    }
    if (index % 97 == 0) {
      input += "# comment\n";
      expected += "# comment\n";
      ++line;
    }
    if (index % 131 == 0) {
      input += "bad line\n";
      expected += "*error* bad line\n";
      ++line;
      messages +=
          "nuvex: <stdin>:" + std::to_string(line) + ": longitude \"bad\" is not a number\n";
    }
  }
  const CliResult result = runCli("from-ll -s 2", input);
  EXPECT_EQ(result.status, kDataError);
  EXPECT_EQ(result.out, expected);
  EXPECT_EQ(result.err, messages);
}

TEST_F(CliBehaviour, ABatchWithoutAnyPathMarksEveryPoint) {
  std::string input;
  std::string expected;
  for (int index = 0; index < TRGU_MAXPT + 5; ++index) {
    input += "30 10 p" + std::to_string(index) + "\n";
    expected += "*error* 30 10 p" + std::to_string(index) + "\n";
  }
  const CliResult result = runCli("convert --from G:2 --to G:3", input);
  EXPECT_EQ(result.status, kDataError);
  EXPECT_EQ(result.out, expected);
  EXPECT_EQ(firstLine(result.err), "nuvex: <stdin>:1: no transformation path for this point");
}

}  // namespace
}  // namespace nuvex::testing
