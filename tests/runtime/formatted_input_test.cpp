// Formatted input: the field rules (table of single fields), the conversion string driver, the
// statement entries and their refusals.
#include "nuvex/runtime/formatted_input.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "nuvex/runtime/statements.h"
#include "runtime_session.h"
#include "support/scratch_directory.h"

namespace {

using nuvex::testing::ScratchDirectory;
using nuvex::testing::units::DiagnosticsCapture;
using nuvex::testing::units::RuntimeSession;

constexpr char kUntouched = '~';

class FormattedInputTest : public RuntimeSession {
 protected:
  // Starts an internal READ of one record; the record text stays alive in record_.
  void startInternal(const std::string& record, const char* format, bool pad = true) {
    record_.assign(record.begin(), record.end());
    record_.push_back('\0');
    begin_read_internal(record_.data(), 0, static_cast<uint32_t>(record.size() - 1), format);
    if (pad) f_unit(UNIT_INTERNAL)->mode |= UNIT_MODE_PAD;
  }
  int iostat() const { return f_unit(UNIT_INTERNAL)->iostat; }

  std::vector<char> record_;
};

std::string trim(const std::string& text) {
  size_t first = text.find_first_not_of(' ');
  size_t last = text.find_last_not_of(' ');
  return first == std::string::npos ? "" : text.substr(first, last - first + 1);
}

std::string unquote(const std::string& text) {
  size_t open = text.find('"');
  size_t close = text.rfind('"');
  return (open == std::string::npos || close == open) ? text
                                                      : text.substr(open + 1, close - open - 1);
}

struct FieldCase {
  std::string format, kind, record, expected;
  bool pad;
  int iostat;
};

std::vector<FieldCase> loadFieldCases() {
  std::ifstream table(NUVEX_TEST_DATA_DIR "/formatted_input_fields.txt");
  std::vector<FieldCase> cases;
  std::string line;
  while (std::getline(table, line)) {
    if (line.empty() || line[0] == '#') continue;
    std::vector<std::string> columns;
    std::stringstream parts(line);
    for (std::string column; std::getline(parts, column, '|');) columns.push_back(trim(column));
    if (columns.size() != 6) {
      ADD_FAILURE() << "bad line: " << line;
      continue;
    }
    cases.push_back({columns[0], columns[1], unquote(columns[3]), unquote(columns[4]),
                     columns[2] == "pad", std::atoi(columns[5].c_str())});
  }
  return cases;
}

// ---- Single fields --------------------------------------------------------------------------

TEST_F(FormattedInputTest, FieldTable) {
  std::vector<FieldCase> cases = loadFieldCases();
  ASSERT_GE(cases.size(), 60u);
  for (const FieldCase& c : cases) {
    SCOPED_TRACE(c.format + " " + c.kind + " \"" + c.record + "\"");
    startInternal(c.record, c.format.c_str(), c.pad);
    std::string got;
    if (c.kind == "i4" || c.kind == "i2" || c.kind == "i1") {
      int64_t value = 0;
      if (c.kind == "i4") {
        int32_t v = 0;
        readfmt(UNIT_INTERNAL, "%d", &v);
        value = v;
      } else if (c.kind == "i2") {
        int16_t v = 0;
        readfmt(UNIT_INTERNAL, "%hd", &v);
        value = v;
      } else {
        int8_t v = 0;
        readfmt(UNIT_INTERNAL, "%c", &v);
        value = v;
      }
      EXPECT_EQ(value, std::strtoll(c.expected.c_str(), nullptr, 10));
    } else if (c.kind == "r8" || c.kind == "r4") {
      double value = 0;
      if (c.kind == "r8") {
        readfmt(UNIT_INTERNAL, "%lf", &value);
      } else {
        float v = 0;
        readfmt(UNIT_INTERNAL, "%f", &v);
        value = v;
      }
      double expected = std::strtod(c.expected.c_str(), nullptr);
      if (std::isinf(expected)) {
        EXPECT_EQ(value, expected);
      } else {
        EXPECT_NEAR(value, expected, std::fabs(expected) * 1e-12 + 1e-300);
      }
    } else if (c.kind == "l4") {
      int32_t v = -1;
      readfmt(UNIT_INTERNAL, "%lt", &v);
      EXPECT_EQ(v, std::atoi(c.expected.c_str()));
    } else if (c.kind == "l1") {
      int8_t v = -1;
      readfmt(UNIT_INTERNAL, "%T", &v);
      EXPECT_EQ(v, std::atoi(c.expected.c_str()));
    } else if (c.kind[0] == 's' && c.kind != "str") {
      int size = std::atoi(c.kind.c_str() + 1);
      std::vector<char> dest(size + 1, kUntouched);
      dest[size - 1] = '\0';
      dest[size] = '#';  // sentinel: nothing past the item's bytes
      readfmt(UNIT_INTERNAL, "%S", dest.data(), size);
      EXPECT_STREQ(dest.data(), c.expected.c_str());
      EXPECT_EQ(dest[size], '#');
    } else if (c.kind == "str") {
      char dest[64];
      std::memset(dest, kUntouched, sizeof dest);
      readfmt(UNIT_INTERNAL, "%s", dest);
      EXPECT_STREQ(dest, c.expected.c_str());
    } else {
      ADD_FAILURE() << "unknown kind " << c.kind;
    }
    EXPECT_EQ(iostat(), c.iostat);
  }
}

TEST_F(FormattedInputTest, IntegerWithMoreDigitsThanTheItemWraps) {
  const std::string digits = "98765432109876543210987654321";
  uint32_t low = 0;  // the same digits modulo 2^32, which the item keeps
  for (char d : digits) low = low * 10u + static_cast<uint32_t>(d - '0');
  startInternal("-" + digits, "(I30)");
  int32_t value = 0;
  EXPECT_EQ(readfmt(UNIT_INTERNAL, "%d", &value), 1);
  EXPECT_EQ(static_cast<uint32_t>(value), 0u - low);
  EXPECT_EQ(iostat(), 0);
}

TEST_F(FormattedInputTest, IntegerUnderA2TakesTheCharacterBytes) {
  startInternal("ABCD", "(A2,A4)");
  int32_t first = 0, second = 0;
  int16_t shortItem = 0;
  EXPECT_EQ(readfmt(UNIT_INTERNAL, "%d", &first), 1);
  EXPECT_EQ(std::memcmp(&first, "AB  ", 4), 0);
  startInternal("ABCD", "(A4,A2)");
  EXPECT_EQ(readfmt(UNIT_INTERNAL, "%d %hd", &second, &shortItem), 2);
  EXPECT_EQ(std::memcmp(&second, "ABCD", 4), 0);
  EXPECT_EQ(std::memcmp(&shortItem, "  ", 2), 0) << "a padded record gives blanks";
}

// ---- Fields in a record ---------------------------------------------------------------------

TEST_F(FormattedInputTest, CommaEndsAField) {
  startInternal("12,34", "(I5,I5)");
  int32_t a = 0, b = 0;
  EXPECT_EQ(readfmt(UNIT_INTERNAL, "%d %d", &a, &b), 2);
  EXPECT_EQ(a, 12);
  EXPECT_EQ(b, 34);
  startInternal("1.5,-2,x", "(2F10.0,A1)");
  double x = 0, y = 0;
  char c[2] = {};
  EXPECT_EQ(readfmt(UNIT_INTERNAL, "%lf %lf %S", &x, &y, c, 2), 3);
  EXPECT_DOUBLE_EQ(x, 1.5);
  EXPECT_DOUBLE_EQ(y, -2.0);
  EXPECT_STREQ(c, "x");
}

TEST_F(FormattedInputTest, QCountsTheRestAndConsumesNothing) {
  startInternal("abcde", "(2X,Q,A3)");
  int32_t left = 0;
  char text[4] = {};
  EXPECT_EQ(readfmt(UNIT_INTERNAL, "%d %S", &left, text, 4), 2);
  EXPECT_EQ(left, 3);
  EXPECT_STREQ(text, "cde");
}

TEST_F(FormattedInputTest, ArraysReadOneFieldPerElement) {
  startInternal("1 2 3 4 5 6 7 8 ", "(8I2)");
  int32_t values[4] = {};
  int16_t shorts[2] = {};
  int8_t bytes[2] = {};
  EXPECT_EQ(readfmt(UNIT_INTERNAL, "%Ad %Ahd %Ac", int64_t{4}, values, int64_t{2}, shorts,
                    int64_t{2}, bytes),
            3);
  EXPECT_EQ(values[0] + values[1] * 10 + values[2] * 100 + values[3] * 1000, 4321);
  EXPECT_EQ(shorts[0] * 10 + shorts[1], 56);
  EXPECT_EQ(bytes[0] * 10 + bytes[1], 78);
}

TEST_F(FormattedInputTest, ElementsAfterAnErrorAreStoredFromEmptyFields) {
  startInternal("1x2345", "(3I2)");
  int32_t values[3] = {7, 7, 7};
  int32_t after = 7;
  EXPECT_EQ(readfmt(UNIT_INTERNAL, "%Ad %d", int64_t{3}, values, &after), 1);
  EXPECT_EQ(values[0], 1);
  EXPECT_EQ(values[1], 0);
  EXPECT_EQ(values[2], 0);
  EXPECT_EQ(after, 7) << "the driver stops before the next conversion";
  EXPECT_EQ(iostat(), 64);
}

TEST_F(FormattedInputTest, FixedLengthCharacterArray) {
  startInternal("abcdefgh", "(2A4)");
  char names[2][4];
  std::memset(names, kUntouched, sizeof names);
  EXPECT_EQ(readfmt(UNIT_INTERNAL, "%AS", int64_t{2}, &names[0][0], 4), 1);
  EXPECT_STREQ(names[0], "bcd");
  EXPECT_STREQ(names[1], "fgh");
}

TEST_F(FormattedInputTest, ComplexItemsReadTwoFields) {
  startInternal("  1.5 -2.5 3.25  4.0", "(4F5.0)");
  float single[2] = {};
  double pair[2] = {};
  EXPECT_EQ(readfmt(UNIT_INTERNAL, "%z %lz", single, pair), 2);
  EXPECT_FLOAT_EQ(single[0], 1.5f);
  EXPECT_FLOAT_EQ(single[1], -2.5f);
  EXPECT_DOUBLE_EQ(pair[0], 3.25);
  EXPECT_DOUBLE_EQ(pair[1], 4.0);
}

TEST_F(FormattedInputTest, StringArrayPrefixReadsOneString) {
  startInternal("abc 42", "(A3,I3)");
  char text[8] = {};
  int32_t value = 0;
  EXPECT_EQ(readfmt(UNIT_INTERNAL, "%As %d", int64_t{5}, text, &value), 2);
  EXPECT_STREQ(text, "abc");
  EXPECT_EQ(value, 42);
}

TEST_F(FormattedInputTest, UnknownConversionsCountButReadNothing) {
  startInternal("  5", "(I3)");
  int32_t value = 0;
  EXPECT_EQ(readfmt(UNIT_INTERNAL, "%k text\n%d", &value), 2);
  EXPECT_EQ(value, 5);
  EXPECT_EQ(readfmt(UNIT_INTERNAL, ""), 0);
  startInternal("  5", "(I3)");
  EXPECT_EQ(readfmt(UNIT_INTERNAL, "%d %", &value), 1) << "a NUL after % ends the string";
}

TEST_F(FormattedInputTest, StringWithoutWidthStopsAtTheEndOfAPaddedRecord) {
  startInternal("tail", "(2X,A)");
  char text[16];
  std::memset(text, kUntouched, sizeof text);
  EXPECT_EQ(readfmt(UNIT_INTERNAL, "%s", text), 1);
  EXPECT_STREQ(text, "il");
  EXPECT_EQ(iostat(), 0);
}

// ---- Descriptor mismatches ------------------------------------------------------------------

TEST_F(FormattedInputTest, ForeignDescriptorsAreReportedAndReadOn) {
  struct Case {
    const char* format;
    const char* record;
    const char* conv;
    const char* report;
    double value;
  } cases[] = {
      {"(L2)", ".T", "%d", "expecting 'I', 'B', 'O', 'Z', 'Q', or 'A' edit field\n(L2<<?>>)", 0},
      {"(A6)", "abcdef", "%d", "unsupported 'A' format width with integer input\n(A6<<?>>)", 0},
      {"(I2)", ".T", "%lt", "expecting 'L' edit field\n(I2<<?>>)", 1},
      {"(I4)", "1234", "%lf", "expecting 'D', 'E', 'F', or 'G' edit field\n(I4<<?>>)", 1234},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.format);
    DiagnosticsCapture capture;
    startInternal(c.record, c.format);
    double value = -1;
    if (std::strcmp(c.conv, "%lf") == 0) {
      readfmt(UNIT_INTERNAL, c.conv, &value);
    } else {
      int32_t item = -1;
      readfmt(UNIT_INTERNAL, c.conv, &item);
      value = item;
    }
    EXPECT_EQ(value, c.value);
    EXPECT_EQ(iostat(), 0);
    EXPECT_EQ(capture.text(), std::string("VOKS ERROR: ") + c.report + "\n");
  }
}

TEST_F(FormattedInputTest, CharacterUnderAnotherDescriptorIsReadAsA) {
  DiagnosticsCapture capture;
  startInternal("xyz", "(I2)");
  char text[4] = {};
  EXPECT_EQ(readfmt(UNIT_INTERNAL, "%S", text, 4), 1);
  EXPECT_STREQ(text, "xy ");
  EXPECT_EQ(capture.text(), "VOKS ERROR: expecting 'A' edit field\n(I2<<?>>)\n");
}

// ---- Statement entries ----------------------------------------------------------------------

class FormattedInputFilesTest : public FormattedInputTest {
 protected:
  ScratchDirectory scratch_;
};

TEST_F(FormattedInputFilesTest, SequentialReadFromAFileWrittenHere) {
  std::ofstream("data.txt") << "  42  3.50  T name\n"
                            << "   7\n";
  ASSERT_EQ(open_unit(8, "data.txt", "OLD", "FORMATTED", "", 0), 1);
  int32_t count = 0;
  double value = 0;
  int32_t flag = 0;
  char name[8] = {};
  EXPECT_EQ(readfmt_seq(8, "(I4,F6.2,L3,1X,A4)", "%d %lf", &count, &value), 2);
  EXPECT_EQ(readfmt(8, "%lt %s", &flag, name), 2);
  EXPECT_EQ(count, 42);
  EXPECT_DOUBLE_EQ(value, 3.5);
  EXPECT_EQ(flag, 1);
  EXPECT_STREQ(name, "name");
  EXPECT_EQ(readfmt_seq(8, "(I4)", "%d", &count), 1);
  EXPECT_EQ(count, 7);
}

TEST_F(FormattedInputFilesTest, PadDecidesTheEndOfAShortRecord) {
  std::ofstream("short.txt") << "12\n12\n";
  ASSERT_EQ(open_unit(8, "short.txt", "OLD", "FORMATTED", "", 0), 1);
  int32_t value = 0;
  EXPECT_EQ(readfmt_seq(8, "(I5)", "%d", &value), 1);
  EXPECT_EQ(value, 12);
  EXPECT_EQ(f_unit(8)->iostat, 0);
  set_unit_pad(8, "NO");
  EXPECT_EQ(readfmt_seq(8, "(I5)", "%d", &value), 1);
  EXPECT_EQ(f_unit(8)->iostat, 62);
}

TEST_F(FormattedInputFilesTest, RefusedStatements) {
  std::ofstream("in.txt") << "1\n";
  ASSERT_EQ(open_unit(8, "in.txt", "OLD", "FORMATTED", "", 0), 1);
  ASSERT_EQ(open_unit(9, "wo.txt", "NEW", "FORMATTED", "", 0), 1);
  set_unit_action(9, "WRITE");
  ASSERT_EQ(open_unit(10, "raw.bin", "UNKNOWN", "UNFORMATTED", "", 0), 1);
  int32_t value = 5;
  EXPECT_EQ(readfmt_seq(9, "(I1)", "%d", &value), 0);
  EXPECT_EQ(f_unit(9)->iostat, 70);
  EXPECT_EQ(readfmt(10, "%d", &value), 0);
  EXPECT_EQ(f_unit(10)->iostat, 36);
  EXPECT_EQ(readfmt(20, "%d", &value), 0);
  EXPECT_EQ(f_unit(20)->iostat, 31);
  EXPECT_EQ(readfmt(20, "%d", &value), 0) << "a failed unit refuses at once";
  EXPECT_EQ(value, 5);
}

TEST_F(FormattedInputFilesTest, FatalConditions) {
  std::ofstream("in.txt") << "1\n";
  ASSERT_EQ(open_unit(8, "in.txt", "OLD", "FORMATTED", "", 0), 1);
  int32_t value = 0;
  EXPECT_RUNTIME_FATAL(readfmt(8, "%d", &value), "missing format in readfmt()");
  EXPECT_RUNTIME_FATAL(readfmt_seq(100, "(I1)", "%d", &value),
                       "bad unit number used (100), valid units: 1 to 99");
  EXPECT_RUNTIME_FATAL(readfmt_rec(101, 1, "(I1)", "%d", &value),
                       "bad unit number used (101), valid units: 1 to 99");
  startInternal("ab", "(A1)");
  char one[1];
  EXPECT_RUNTIME_FATAL(readfmt(UNIT_INTERNAL, "%S", one, 1), "input str length must be >0");
}

}  // namespace
