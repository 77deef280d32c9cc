// Formatted WRITE statements: the per-item rules on an internal file (the whole record compared,
// with a sentinel after it), and whole statements written to real files compared byte for byte.
#include "nuvex/runtime/formatted_output.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "nuvex/runtime/statements.h"
#include "runtime/runtime_session.h"
#include "support/case_file.h"
#include "support/scratch_directory.h"

namespace nuvex::testing::units {
namespace {

constexpr char kSentinel = '#';
constexpr int kUnit = 10;  // the sequential file of whole statements

// "\n" in a data file stands for a newline.
std::string unescaped(std::string text) {
  for (std::size_t at; (at = text.find("\\n")) != std::string::npos;) text.replace(at, 2, "\n");
  return text;
}

// Writes a data-file statement one conversion per call (a statement may continue over several
// calls), so that its items can be of any type: strings for %s, reals for %f, integers otherwise
// ('x': the character's code). With a FORMAT, the first call starts the statement.
int writeInPieces(int unit, const char* format, const std::string& conv, const std::string& items) {
  const auto write = [&](const char* piece, auto item) {
    const char* starting = std::exchange(format, nullptr);
    return starting == nullptr ? wrtfmt(unit, piece, item)
                               : wrtfmt_seq(unit, starting, piece, item);
  };
  std::istringstream values(items);
  int processed = 0;
  for (std::size_t start = 0, next; start < conv.size(); start = next) {
    next = std::min(conv.find('%', start + 1), conv.size());
    const std::string piece = conv.substr(start, next - start);
    const char letter = piece[0] == '%' ? piece[piece.find_first_not_of("%hl")] : '\0';
    std::string value = "0";  // a surplus argument for text without an item
    if (letter != '\0' && std::strchr("sScTtdifg", letter) != nullptr) values >> value;
    if (letter == 's')
      processed += write(piece.c_str(), value.c_str());
    else if (letter == 'f')
      processed += write(piece.c_str(), std::stod(value));
    else  // an integer or a character's code
      processed +=
          write(piece.c_str(), value[0] == '\'' ? value.at(1) : std::stoi(value, nullptr, 0));
  }
  return processed;
}

class FormattedOutput : public RuntimeSession {
 protected:
  // Storage for an internal file of `records` records of `length` characters (each followed by
  // its NUL byte) and a sentinel behind them.
  void internalFile(uint32_t length, const char* format, int records = 1) {
    length_ = length;
    storage_.assign(std::size_t(length + 1) * records + 1, kSentinel);
    begin_write_internal(storage_.data(), 0, length - 1, format);
  }
  std::string record(int index = 0) const {
    EXPECT_EQ(storage_.back(), kSentinel) << "wrote past the storage";
    return storage_.substr(std::size_t(index) * (length_ + 1), length_);
  }
  void openFile() { EXPECT_EQ(open_unit(kUnit, "out.txt", "NEW", "FORMATTED", "", 0), 1); }
  // The text of the file of `unit` after closing it (line ends read as '\n', also where they
  // are Windows line ends); the file is removed.
  std::string written(int unit = kUnit, const char* path = "out.txt") {
    close_unit(unit);
    std::ifstream in(path);
    const std::string bytes{std::istreambuf_iterator<char>(in), {}};
    std::remove(path);
    return bytes;
  }
  int16_t iostat(int unit = UNIT_INTERNAL) { return f_unit(unit)->iostat; }

  ScratchDirectory directory_;
  std::string storage_;
  uint32_t length_ = 0;
};

TEST_F(FormattedOutput, StatementsOfTheDataFile) {
  for (const TestCase& c : readCases("output_statements.txt")) {
    DiagnosticsCapture capture;
    const bool file = c.fields.at(0) == "file";
    const char* format = c.fields.at(1).c_str();
    file ? openFile() : internalFile(uint32_t(c.integer(0)), format);
    const int unit = file ? kUnit : UNIT_INTERNAL;
    EXPECT_EQ(
        writeInPieces(unit, file ? format : nullptr, unescaped(c.fields.at(2)), c.fields.at(3)),
        c.integer(4))
        << c.where();
    EXPECT_EQ(iostat(unit), c.integer(5)) << c.where();
    EXPECT_EQ(file ? written() : record(), unescaped(c.fields.at(6))) << c.where();
    EXPECT_EQ(capture.text(), unescaped(c.fields.at(7))) << c.where();
  }
}

TEST_F(FormattedOutput, ArraysOfEveryElementType) {
  internalFile(60, "(3I3,2I3,2F5.1,2F5.1,3L2,2L2,A2)");
  const int32_t ints[] = {1, -2, 3}, logicals4[] = {0, 7};
  const int16_t shorts[] = {-4, 5};
  const float floats[] = {1.5f, -2.5f};
  const double doubles[] = {3.5, 4.0};
  const signed char logicals1[] = {1, 0, -1};
  EXPECT_EQ(wrtfmt(UNIT_INTERNAL, "%Ad %Ahd %Af %Alf %AT %At %Ac\n", int64_t(3), ints, int64_t(2),
                   shorts, int64_t(2), floats, int64_t(2), doubles, int64_t(3), logicals1,
                   int64_t(2), logicals4, int64_t(1), "q"),
            7);
  EXPECT_EQ(record(), "  1 -2  3 -4  5  1.5 -2.5  3.5  4.0 T F T F T q" + std::string(13, ' '));
  internalFile(8, "(A8)");
  const char* strings[] = {"a"};  // one statement of its own
  EXPECT_RUNTIME_FATAL(wrtfmt(UNIT_INTERNAL, "%As\n", int64_t(1), strings),
                       "array of strings isn't supported");
}

// Regression: the newline after the last record of bounded storage ended the statement with an
// error; only output that would need another record is refused, and the storage is left alone.
TEST_F(FormattedOutput, LastRecordOfBoundedStorageEndsTheStatementCleanly) {
  internalFile(4, "(I4/I4)", 2);
  begin_write_internal_bounded(storage_.data(), 0, 3, 2, "(I4/I4)");
  EXPECT_EQ(wrtfmt(UNIT_INTERNAL, "%d %d\n", 1, 2), 2);  // the slash moves to the next record
  EXPECT_EQ(iostat(), 0);
  EXPECT_EQ(diagnostics(), "");
  EXPECT_EQ(wrtfmt(UNIT_INTERNAL, "%d\n", 3), 0);
  EXPECT_EQ(iostat(), 53);
  EXPECT_EQ(diagnostics(), "VOKS WARNING: WRITE past the end of an internal file of 2 records\n");
  EXPECT_EQ(record(0) + record(1), "   1   2");
}

TEST_F(FormattedOutput, RefusedAndMisusedStatements) {
  openFile();
  EXPECT_RUNTIME_FATAL(wrtfmt(kUnit, "%d\n", 1), "missing format in wrtfmt()");
  EXPECT_RUNTIME_FATAL(wrtfmt(UNIT_STDIN, "%d\n", 1),
                       "bad unit number used (101), valid units: 1 to 99");
  EXPECT_RUNTIME_FATAL(wrtfmt_seq(150, "(I3)", "%d\n", 1),
                       "bad unit number used (150), valid units: 1 to 99");
  EXPECT_RUNTIME_FATAL(set_unit_carriage_flag(100, 1),
                       "bad unit number used (100), valid units: 1 to 99");
  ASSERT_EQ(open_unit(20, "ro.txt", "NEW", "FORMATTED", "", 0), 1);
  set_unit_action(20, "READ");
  ASSERT_EQ(open_unit(22, "u.bin", "NEW", "UNFORMATTED", "", 0), 1);
  EXPECT_EQ(wrtfmt_seq(20, "(I3)", "%d\n", 1) + wrtfmt(21, "%d\n", 1) + wrtfmt(22, "%d\n", 1), 0);
  // read-only, not connected, unformatted
  EXPECT_EQ(std::vector<int>({iostat(20), iostat(21), iostat(22)}), std::vector<int>({54, 31, 36}));
  EXPECT_EQ(wrtfmt_seq(kUnit, "(A,I3)", "%s %d\n", std::string(300, 'w').c_str(), 1), 1);
  EXPECT_EQ(iostat(kUnit), 53);  // the record of the file is full
}

TEST_F(FormattedOutput, CarriageControlAndStatementsOfMixedItems) {
  openFile();
  set_unit_carriage_flag(kUnit, 1);
  int value = 0;
  for (const char* format : {"('1',I2)", "('0',I2)", "('+',I2)", "(' ',I2)", "(I2,$)", "(' ',I2)"})
    wrtfmt_seq(kUnit, format, "%d\n", ++value);
  set_unit_carriage_flag(kUnit, 0);  // the first column is data again
  wrtfmt_seq(kUnit, "(1X,I6,3F12.4,2X,E12.5)", "%d %f %f %f %f\n", 42, 1.5, -2.25, 1e6, 0.00125);
  wrtfmt_seq(kUnit, "(A,1X,L1,1X,SP,I4,SS,1X,Z4)", "%s %t %d %d\n", "name", 1, 17, 255);
  EXPECT_EQ(written(),
            "\f 1\n\n 2\n 3\r 4\n5 6\n"
            "     42      1.5000     -2.25001000000.0000   0.12500E-02\n"
            "name T  +17   ff\n");
}

TEST_F(FormattedOutput, DirectAccessRecords) {
  ASSERT_EQ(open_unit(11, "direct.dat", "NEW", "FORMATTED", "DIRECT", 8), 1);
  EXPECT_EQ(wrtfmt_rec(11, 2, "(I4,A3)", "%d %s\n", 22, "bb"), 2);
  EXPECT_EQ(wrtfmt_rec(11, 1, "(I4)", "%d\n", 1), 1);
  EXPECT_EQ(wrtfmt_rec(11, 0, "(I4)", "%d\n", 1), 0);
  EXPECT_EQ(iostat(11), 43);
  EXPECT_EQ(written(11, "direct.dat"), std::string("   1    ") + "  22 bb ");
}

}  // namespace
}  // namespace nuvex::testing::units
