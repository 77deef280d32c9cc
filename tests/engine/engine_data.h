// Reads the declarative case tables of the engine tests: one case per line, fields separated by
// blanks, '#' starts a comment line.
#pragma once

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace nuvex::testing {

struct DataLine {
  int lineNumber;
  std::vector<std::string> fields;

  double number(std::size_t i) const { return std::stod(fields.at(i)); }
  int integer(std::size_t i) const { return std::stoi(fields.at(i)); }
  std::string where() const { return "data line " + std::to_string(lineNumber); }
};

inline std::vector<DataLine> readDataLines(const std::string& fileName) {
  std::ifstream in(std::string(NUVEX_TEST_DATA_DIR) + "/" + fileName);
  EXPECT_TRUE(in.is_open()) << fileName;
  std::vector<DataLine> lines;
  std::string text;
  for (int number = 1; std::getline(in, text); ++number) {
    std::istringstream fields(text);
    DataLine line{number, {}};
    for (std::string field; fields >> field;) line.fields.push_back(field);
    if (line.fields.empty() || line.fields.front().front() == '#') continue;
    lines.push_back(line);
  }
  EXPECT_FALSE(lines.empty()) << fileName;
  return lines;
}

}  // namespace nuvex::testing
