// Conversions through the nuvex command line: the cases of tests/data/cli_conversions.txt and
// tests/data/cli_malformed_lines.txt, and round trips through two commands.
#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <fstream>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "cli/cli_runner.h"
#include "support/scratch_directory.h"

namespace nuvex::testing {
namespace {

constexpr std::string_view kCaseSeparator = " | ";

struct DataCase {
  int lineNumber;
  std::vector<std::string> parts;
};

// Cases of a data file: non-comment lines split at " | " (the parts are not trimmed: leading and
// trailing blanks of an input line are part of the case).
std::vector<DataCase> readCases(const std::string& fileName, std::size_t partCount) {
  std::ifstream file(std::string(NUVEX_TEST_DATA_DIR) + "/" + fileName);
  EXPECT_TRUE(file.is_open()) << fileName;
  std::vector<DataCase> cases;
  std::string line;
  int lineNumber = 0;
  while (std::getline(file, line)) {
    ++lineNumber;
    if (line.empty() || line.front() == '#') continue;
    DataCase dataCase{lineNumber, {}};
    std::string_view rest = line;
    for (std::size_t at = rest.find(kCaseSeparator); at != std::string_view::npos;
         at = rest.find(kCaseSeparator)) {
      dataCase.parts.emplace_back(rest.substr(0, at));
      rest.remove_prefix(at + kCaseSeparator.size());
    }
    dataCase.parts.emplace_back(rest);
    EXPECT_EQ(dataCase.parts.size(), partCount) << fileName << ":" << lineNumber;
    if (dataCase.parts.size() == partCount) cases.push_back(std::move(dataCase));
  }
  return cases;
}

std::string_view trimmed(std::string_view text) {
  const std::size_t first = text.find_first_not_of(" \t");
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

// Fields of an output line, separated as the converter separates them: by commas when the first
// field is followed by one, else by blanks.
std::vector<std::string> fieldsOf(std::string_view line) {
  std::vector<std::string> fields;
  const std::size_t firstEnd = line.find_first_of(" ,");
  const std::size_t next = line.find_first_not_of(' ', firstEnd);
  if (firstEnd != std::string_view::npos && next != std::string_view::npos && line[next] == ',') {
    for (std::size_t comma = line.find(',');; comma = line.find(',')) {
      fields.emplace_back(trimmed(line.substr(0, comma)));
      if (comma == std::string_view::npos) break;
      line.remove_prefix(comma + 1);
    }
    return fields;
  }
  // Blank-separated: the numeric fields come first; the rest is compared as one text.
  std::string_view rest = trimmed(line);
  while (!rest.empty()) {
    const std::size_t blank = rest.find(' ');
    fields.emplace_back(rest.substr(0, blank));
    if (blank == std::string_view::npos) break;
    rest = trimmed(rest.substr(blank));
  }
  return fields;
}

bool readNumber(std::string_view text, double& value) {
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  return error == std::errc{} && end == text.data() + text.size();
}

void expectLineMatches(std::string_view actual, std::string_view expected,
                       std::string_view tolerance) {
  if (tolerance == "exact") {
    EXPECT_EQ(actual, expected);
    return;
  }
  double limit = 0.0;
  ASSERT_TRUE(readNumber(tolerance, limit)) << "tolerance " << tolerance;
  const std::vector<std::string> actualFields = fieldsOf(actual);
  const std::vector<std::string> expectedFields = fieldsOf(expected);
  ASSERT_EQ(actualFields.size(), expectedFields.size()) << "output: " << actual;
  for (std::size_t index = 0; index < expectedFields.size(); ++index) {
    double want = 0.0;
    double got = 0.0;
    if (readNumber(expectedFields[index], want) && readNumber(actualFields[index], got)) {
      EXPECT_NEAR(got, want, limit) << "field " << index + 1 << " of: " << actual;
    } else {
      EXPECT_EQ(actualFields[index], expectedFields[index]) << "output: " << actual;
    }
  }
}

class CliConversion : public ::testing::Test {
 protected:
  ScratchDirectory scratch_;
};

TEST_F(CliConversion, ConvertsTheCasesOfTheDataFile) {
  for (const DataCase& dataCase : readCases("cli_conversions.txt", 4)) {
    SCOPED_TRACE("cli_conversions.txt:" + std::to_string(dataCase.lineNumber));
    const CliResult result = runCli(dataCase.parts[0], dataCase.parts[1] + "\n");
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.err, "");
    ASSERT_FALSE(result.out.empty());
    ASSERT_EQ(result.out.back(), '\n');
    const std::string_view line(result.out.data(), result.out.size() - 1);
    ASSERT_EQ(line.find('\n'), std::string_view::npos) << "one line in, one line out";
    expectLineMatches(line, dataCase.parts[2], trimmed(dataCase.parts[3]));
  }
}

TEST_F(CliConversion, MarksTheMalformedLinesOfTheDataFileAndNamesTheReason) {
  for (const DataCase& dataCase : readCases("cli_malformed_lines.txt", 3)) {
    SCOPED_TRACE("cli_malformed_lines.txt:" + std::to_string(dataCase.lineNumber));
    const CliResult result = runCli(dataCase.parts[0], dataCase.parts[1] + "\n");
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.out, "*error* " + dataCase.parts[1] + "\n");
    EXPECT_EQ(result.err, "nuvex: <stdin>:1: " + dataCase.parts[2] + "\n");
  }
}

TEST_F(CliConversion, GridOutputOfFromLLFeedsToLLForEverySystem) {
  // System 3 is the projection alone; the others go through a datum shift each way, which is
  // evaluated where the point is and so returns within a few centimetres, not exactly.
  struct Case {
    std::string system;
    std::string tolerance;  // deg
    bool zoneIsExtra;       // Gauss-Krueger: the zone column of the grid output becomes an extra
  };
  const std::vector<Case> cases = {{"1", "1e-6", true},
                                   {"2", "1e-6", false},
                                   {"3", "2e-8", false},
                                   {"4", "1e-6", true},
                                   {"4 --zone-width 6", "1e-6", true}};
  const std::string points = "10 50 a\n13.405 52.52 b\n6.9583 50.9413 c\n11.5755 48.1372 d\n";
  for (const Case& testCase : cases) {
    SCOPED_TRACE("system " + testCase.system);
    const CliResult grid = runCli("from-ll -p 6 -s " + testCase.system, points);
    ASSERT_EQ(grid.status, 0) << grid.err;
    const CliResult back = runCli("to-ll -p 3,10 -s " + testCase.system, grid.out);
    ASSERT_EQ(back.status, 0) << back.err;

    std::istringstream expected(points);
    std::istringstream actual(back.out);
    std::string want;
    std::string got;
    while (std::getline(expected, want)) {
      ASSERT_TRUE(std::getline(actual, got));
      std::vector<std::string> gotFields = fieldsOf(got);
      ASSERT_EQ(gotFields.size(), testCase.zoneIsExtra ? 4u : 3u) << got;
      if (testCase.zoneIsExtra) gotFields.erase(gotFields.begin() + 2);
      expectLineMatches(gotFields[0] + " " + gotFields[1] + " " + gotFields[2], want,
                        testCase.tolerance);
    }
    EXPECT_FALSE(std::getline(actual, got));
  }
}

TEST_F(CliConversion, ZoneChangeWithinOneSystemGoesAndComesBack) {
  // A point near the border of zones 32 and 33, where both series are accurate.
  const CliResult start = runCli("from-ll -s 3 -p 6", "11.9 50\n");
  ASSERT_EQ(start.status, 0) << start.err;
  const CliResult east = runCli("convert --from E:3 --to E:3 --zone 33 -p 6", start.out);
  ASSERT_EQ(east.status, 0) << east.err;
  const std::vector<std::string> fields = fieldsOf(east.out.substr(0, east.out.size() - 1));
  ASSERT_EQ(fields.size(), 3u);
  EXPECT_EQ(fields[2], "33");
  double easting = 0.0;
  ASSERT_TRUE(readNumber(fields[0], easting));
  EXPECT_LT(easting, 500000.0) << "11.9 deg lies west of the central meridian of zone 33";

  const CliResult back = runCli("convert --from E:3 --to E:3 --zone 32 -p 6", east.out);
  ASSERT_EQ(back.status, 0) << back.err;
  expectLineMatches(back.out.substr(0, back.out.size() - 1),
                    start.out.substr(0, start.out.size() - 1), "0.001");
}

}  // namespace
}  // namespace nuvex::testing
