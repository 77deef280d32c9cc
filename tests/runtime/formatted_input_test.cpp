// Formatted input: the field rules (tests/data/formatted_input_fields.txt), the conversion string
// driver, the statement entries and their refusals.
#include "nuvex/runtime/formatted_input.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "nuvex/runtime/statements.h"
#include "runtime_session.h"
#include "support/case_file.h"
#include "support/scratch_directory.h"

namespace {

using nuvex::testing::units::DiagnosticsCapture;

constexpr char kUntouched = '~';

class FormattedInputTest : public nuvex::testing::units::RuntimeSession {
 protected:
  // Starts an internal READ of one record; the record text stays alive in record_.
  void startInternal(const std::string& record, const char* format, bool pad = true) {
    record_.assign(record.begin(), record.end());
    record_.push_back('\0');
    begin_read_internal(record_.data(), 0, static_cast<uint32_t>(record.size() - 1), format);
    if (pad) f_unit(UNIT_INTERNAL)->mode |= UNIT_MODE_PAD;
  }
  int iostat() const { return f_unit(UNIT_INTERNAL)->iostat; }
  // One numeric item of type T, which starts as -1 so that a missing store shows.
  template <typename T>
  double readNumber(const char* conversion) {
    T value = static_cast<T>(-1);
    readfmt(UNIT_INTERNAL, conversion, &value);
    return static_cast<double>(value);
  }
  // One character item: %S of `size` bytes (size - 1 of them '~', a sentinel after) or %s.
  std::string readCharacters(const std::string& kind) {
    std::vector<char> dest(64, kUntouched);
    if (kind == "str") {
      readfmt(UNIT_INTERNAL, "%s", dest.data());
      return dest.data();
    }
    const int size = std::stoi(kind.substr(1));
    dest[size - 1] = '\0';
    dest[size] = '#';
    readfmt(UNIT_INTERNAL, "%S", dest.data(), size);
    EXPECT_EQ(dest[size], '#') << "nothing past the item's bytes";
    return dest.data();
  }

  std::vector<char> record_;
};

// A column of the field table without the blanks and double quotes around it.
std::string column(const nuvex::testing::TestCase& c, size_t i) {
  return std::regex_replace(c.fields.at(i), std::regex(R"(^ *"?|"? *$)"), "");
}

TEST_F(FormattedInputTest, FieldTable) {
  const auto cases = nuvex::testing::readCases("formatted_input_fields.txt");
  ASSERT_GE(cases.size(), 70u);
  for (const auto& c : cases) {
    std::istringstream kinds(column(c, 1)), values(column(c, 4));
    DiagnosticsCapture capture;
    const std::string format = column(c, 0);  // walked in place while the items are read
    startInternal(column(c, 3), format.c_str(), column(c, 2) == "pad");
    for (std::string kind, expected; kinds >> kind && std::getline(values, expected, ';');) {
      if (kind[0] == 's') {
        EXPECT_EQ(readCharacters(kind), expected) << c.where();
        continue;
      }
      double value = kind == "i4"   ? readNumber<int32_t>("%d")
                     : kind == "i2" ? readNumber<int16_t>("%hd")
                     : kind == "i1" ? readNumber<int8_t>("%c")
                     : kind == "r8" ? readNumber<double>("%lf")
                     : kind == "r4" ? readNumber<float>("%f")
                     : kind == "l4" ? readNumber<int32_t>("%lt")
                                    : readNumber<int8_t>("%T");
      double want = std::stod(expected);
      const bool near = std::fabs(value - want) <= std::fabs(want) * 1e-12 + 1e-300;
      EXPECT_TRUE(std::isinf(want) ? value == want : near) << c.where() << ": " << value;
    }
    EXPECT_TRUE(kinds.eof() && values.eof()) << c.where() << ": as many values as items";
    EXPECT_EQ(iostat(), std::stoi(column(c, 5))) << c.where();
    const std::string report = c.fields.size() < 7 ? "" : "VOKS ERROR: " + column(c, 6) + "\n";
    EXPECT_EQ(report.empty() ? "" : capture.text(),
              std::regex_replace(report, std::regex(R"(\\n)"), "\n"))
        << c.where();
  }
}

TEST_F(FormattedInputTest, IntegerWithMoreDigitsThanTheItemWrapsWithoutError) {
  startInternal("-98765432109876543210987654321", "(I30)");
  EXPECT_EQ(readNumber<int32_t>("%d"), 507048783) << "the digits modulo 2^32";
  EXPECT_EQ(iostat(), 0);
}

TEST_F(FormattedInputTest, IntegerUnderA2TakesTheCharacterBytes) {
  struct {
    int32_t first = 0, second = 0;
    int16_t shortItem = 0;
  } items;  // 10 contiguous bytes
  startInternal("ABCD", "(A2,A4)");
  EXPECT_EQ(readfmt(UNIT_INTERNAL, "%d", &items.first), 1);
  startInternal("ABCD", "(A4,A2)");
  EXPECT_EQ(readfmt(UNIT_INTERNAL, "%d %hd", &items.second, &items.shortItem), 2);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(&items), 10), "AB  ABCD  ")
      << "a padded record gives blanks";
}

TEST_F(FormattedInputTest, ArrayAndComplexItemsReadOneFieldPerElement) {
  int32_t values[4] = {};
  int16_t shorts[2] = {};
  int8_t bytes[2] = {};
  startInternal("1 2 3 4 5 6 7 8 ", "(8I2)");
  EXPECT_EQ(readfmt(UNIT_INTERNAL, "%Ad %Ahd %Ac", int64_t{4}, values, int64_t{2}, shorts,
                    int64_t{2}, bytes),
            3);
  EXPECT_EQ(values[0] + values[1] * 10 + values[2] * 100 + values[3] * 1000, 4321);
  EXPECT_EQ(shorts[0] * 10 + shorts[1] + bytes[0] * 1000 + bytes[1] * 100, 7856);
  float single[2] = {};
  double pair[2] = {};
  startInternal("  1.5 -2.5 3.25  4.0", "(4F5.0)");
  EXPECT_EQ(readfmt(UNIT_INTERNAL, "%z %lz", single, pair), 2);
  EXPECT_EQ(std::vector<double>({single[0], single[1], pair[0], pair[1]}),
            std::vector<double>({1.5, -2.5, 3.25, 4.0}));
  char names[2][4];
  std::memset(names, kUntouched, sizeof names);
  startInternal("abcdefgh", "(2A4)");
  EXPECT_EQ(readfmt(UNIT_INTERNAL, "%AS", int64_t{2}, &names[0][0], 4), 1);
  EXPECT_EQ(std::string(names[0]) + names[1], "bcdfgh");
  char text[8] = {};
  startInternal("abc 42", "(A3,I3)");
  EXPECT_EQ(readfmt(UNIT_INTERNAL, "%As %d", int64_t{5}, text, &values[0]), 2);
  EXPECT_EQ(text + std::to_string(values[0]), "abc42") << "%As reads one string";
}

TEST_F(FormattedInputTest, ElementsAfterAnErrorAreStoredFromEmptyFields) {
  int32_t values[3] = {7, 7, 7}, after = 7;
  startInternal("1x2345", "(3I2)");
  EXPECT_EQ(readfmt(UNIT_INTERNAL, "%Ad %d", int64_t{3}, values, &after), 1);
  EXPECT_EQ(std::vector<int32_t>(values, values + 3), std::vector<int32_t>({1, 0, 0}));
  EXPECT_EQ(after, 7) << "the driver stops before the next conversion";
  EXPECT_EQ(iostat(), 64);
}

TEST_F(FormattedInputTest, ConversionStringOddities) {
  int32_t value = 0;
  startInternal("  5", "(I3)");
  EXPECT_EQ(readfmt(UNIT_INTERNAL, "%k text\n%d", &value), 2) << "unknown ones count, read nothing";
  EXPECT_EQ(value, 5);
  EXPECT_EQ(readfmt(UNIT_INTERNAL, ""), 0);
  startInternal("  5", "(I3)");
  EXPECT_EQ(readfmt(UNIT_INTERNAL, "%d %", &value), 1) << "a NUL after % ends the string";
}

class FormattedInputFilesTest : public FormattedInputTest {
 protected:
  void openInput(int unit, const char* name, const char* contents) {
    std::ofstream(name) << contents;
    ASSERT_EQ(open_unit(unit, name, "OLD", "FORMATTED", "", 0), 1);
  }
  nuvex::testing::ScratchDirectory scratch_;
};

TEST_F(FormattedInputFilesTest, SequentialReadWithPadOrNoPad) {
  openInput(8, "data.txt", "  42  3.50  T name\n   7\n  12\n  12\n");
  int32_t count = 0, flag = 0;
  double value = 0;
  char name[8] = {};
  EXPECT_EQ(readfmt_seq(8, "(I4,F6.2,L3,1X,A4)", "%d %lf", &count, &value), 2);
  EXPECT_EQ(readfmt(8, "%lt %s", &flag, name), 2);
  EXPECT_EQ(std::to_string(count) + std::to_string(value) + std::to_string(flag) + name,
            "423.5000001name");
  EXPECT_EQ(readfmt_seq(8, "(I4)", "%d", &count), 1);
  EXPECT_EQ(count, 7);
  for (int iostat : {0, 62}) {  // PAD, then no PAD, on a short record
    if (iostat != 0) set_unit_pad(8, "NO");
    EXPECT_EQ(readfmt_seq(8, "(I5)", "%d", &count), 1);
    EXPECT_EQ(count, 12);
    EXPECT_EQ(f_unit(8)->iostat, iostat);
  }
}

TEST_F(FormattedInputFilesTest, RefusedAndFatalStatements) {
  openInput(8, "in.txt", "1\n");
  ASSERT_EQ(open_unit(9, "wo.txt", "NEW", "FORMATTED", "", 0), 1);
  set_unit_action(9, "WRITE");
  ASSERT_EQ(open_unit(10, "raw.bin", "UNKNOWN", "UNFORMATTED", "", 0), 1);
  int32_t value = 5;
  EXPECT_EQ(readfmt_seq(9, "(I1)", "%d", &value), 0);
  EXPECT_EQ(f_unit(9)->iostat, 70);
  EXPECT_EQ(readfmt(10, "%d", &value), 0);
  EXPECT_EQ(f_unit(10)->iostat, 36);
  for (int twice = 0; twice < 2; ++twice) {  // a failed unit refuses at once
    EXPECT_EQ(readfmt(20, "%d", &value), 0);
    EXPECT_EQ(f_unit(20)->iostat, 31);
  }
  EXPECT_EQ(value, 5);
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
