// Reader of declarative test data: one case per line, fields separated by '|', kept exactly as
// written (no trimming, so leading blanks of expected texts count). Empty lines and lines that
// start with '#' (comments, provenance) are skipped.
#pragma once

#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace nuvex::testing {

struct TestCase {
  std::string file;
  int line = 0;
  std::vector<std::string> fields;

  // "file:line" for failure messages.
  std::string where() const { return file + ":" + std::to_string(line); }
  double number(std::size_t i) const { return std::stod(fields.at(i)); }
  int integer(std::size_t i) const { return std::stoi(fields.at(i)); }
};

// Reads tests/data/<name>; throws when the file is missing so that a lost data file fails loudly.
inline std::vector<TestCase> readCases(const std::string& name, char separator = '|') {
  const std::string path = std::string(NUVEX_TEST_DATA_DIR) + "/" + name;
  std::ifstream in(path);
  if (!in) throw std::runtime_error("missing test data " + path);
  std::vector<TestCase> cases;
  std::string text;
  for (int line = 1; std::getline(in, text); ++line) {
    if (!text.empty() && text.back() == '\r') text.pop_back();
    if (text.empty() || text[0] == '#') continue;
    TestCase c{name, line, {}};
    std::size_t start = 0;
    for (std::size_t bar; (bar = text.find(separator, start)) != std::string::npos; start = bar + 1) {
      c.fields.push_back(text.substr(start, bar - start));
    }
    c.fields.push_back(text.substr(start));
    cases.push_back(std::move(c));
  }
  return cases;
}

}  // namespace nuvex::testing
