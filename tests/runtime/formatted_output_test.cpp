// Formatted WRITE statements: the per-item rules on an internal file (the whole record compared,
// with a sentinel after it), and whole statements written to real files compared byte for byte.
#include "nuvex/runtime/formatted_output.h"

#include <cstdint>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>

#include "nuvex/runtime/statements.h"
#include "runtime/runtime_session.h"
#include "runtime/statements_internal.h"
#include "support/scratch_directory.h"

namespace nuvex::testing::units {
namespace {

constexpr char kSentinel = '#';

std::string fileBytes(const char* path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
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
    return storage_.substr(std::size_t(index) * (length_ + 1), length_);
  }
  bool sentinelIntact() const { return storage_.back() == kSentinel; }
  unit_record* internalUnit() { return f_unit(UNIT_INTERNAL); }

  std::string storage_;
  uint32_t length_ = 0;
};

// ---- Items on an internal file ------------------------------------------------------------

TEST_F(FormattedOutput, StringsUnderA) {
  internalFile(12, "(A5,A2,A)");
  EXPECT_EQ(wrtfmt(UNIT_INTERNAL, "%s %s %s\n", "abc", "abc", "abc"), 3);
  EXPECT_EQ(record(), "  abcababc  ");
  EXPECT_TRUE(sentinelIntact());
}

TEST_F(FormattedOutput, CharactersAndLogicals) {
  internalFile(16, "(A3,L3,L1,I4,Q3,L3)");
  EXPECT_EQ(wrtfmt(UNIT_INTERNAL, "%c %t %T %c %c %ht\n", 'x', 1, 0, 'A', 'y', 0x10000), 6);
  // 0x10000 as a 2-byte logical is 0: false.
  EXPECT_EQ(record(), "  x  TF  65    F");
}

TEST_F(FormattedOutput, LogicalUnderAnotherDescriptorWarns) {
  internalFile(6, "(I3,F3.1)");
  wrtfmt(UNIT_INTERNAL, "%t %c\n", 1, 'z');
  EXPECT_EQ(record(), "      ");
  EXPECT_EQ(diagnostics(),
            "VOKS WARNING: unknown field descriptor w/logical output\n"
            "VOKS WARNING: unknown field descriptor w/char output\n");
}

TEST_F(FormattedOutput, IntegersUnderIOZAndA) {
  internalFile(26, "(I5,I5.3,Z4,O4,A4,A2,Q2)");
  const int bytes = 0x44434241;  // "ABCD" in memory order on a little-endian machine
  EXPECT_EQ(wrtfmt(UNIT_INTERNAL, "%d %d %d %d %d %hd %d\n", -42, 7, 255, 8, bytes, 0x4241, 9), 7);
  EXPECT_EQ(record(), "  -42  007  ff  10ABCDAB  ");
}

TEST_F(FormattedOutput, IntegerUnderARealDescriptorIsReported) {
  internalFile(8, "(F8.2)");
  wrtfmt(UNIT_INTERNAL, "%d\n", 5);
  EXPECT_EQ(record(), "        ");
  EXPECT_EQ(diagnostics(),
            "VOKS ERROR: expecting 'I', 'B', 'O', 'Z', 'Q', or 'A' edit field - not F\n"
            "(F8.2<<?>>)\n");
}

TEST_F(FormattedOutput, StringUnderAnotherDescriptorIsEditedAsA) {
  internalFile(6, "(I6)");
  wrtfmt(UNIT_INTERNAL, "%s\n", "ab");
  EXPECT_EQ(record(), "    ab");
  EXPECT_EQ(diagnostics(), "VOKS ERROR: expecting 'A' edit field\n(I6<<?>>)\n");
}

TEST_F(FormattedOutput, RealsUnderEveryDescriptor) {
  internalFile(40, "(F5.1,E10.3,G10.3,D10.3,L2)");
  EXPECT_EQ(wrtfmt(UNIT_INTERNAL, "%f %f %lf %f %f\n", 9.96, 1234.5, 5.0, 1234.5, 1.0), 5);
  EXPECT_EQ(record(), " 10.0 0.123E+04  5.00     0.123D+04     ");
  EXPECT_EQ(diagnostics(),
            "VOKS ERROR: expecting 'D', 'E', 'F', or 'G' edit field\n"
            "(F5.1,E10.3,G10.3,D10.3,L2<<?>>)\n");
}

TEST_F(FormattedOutput, RealUnderAShowsItsBytes) {
  internalFile(14, "(A4,A10)");
  double value = 0.0;
  std::memcpy(&value, "ABCDEFG\0", sizeof value);
  wrtfmt(UNIT_INTERNAL, "%f %f\n", value, value);
  EXPECT_EQ(record(), "****  ABCDEFG ");
}

TEST_F(FormattedOutput, ScaleFactorAndSignModeComeFromTheFormat) {
  internalFile(44, "(SP,F8.2,SS,F8.2,2P,E12.4,1P,E10.3)");
  wrtfmt(UNIT_INTERNAL, "%f %f %f %f\n", 1.5, 1.5, 1234.5, 0.0);
  EXPECT_EQ(record(), "   +1.50    1.50  12.345E+02 0.000E-01      ");
}

TEST_F(FormattedOutput, WideRealFieldsAreCutTo127Columns) {
  internalFile(200, "(F150.2)");
  wrtfmt(UNIT_INTERNAL, "%f\n", 1.5);
  EXPECT_EQ(record(), std::string(123, ' ') + "1.50" + std::string(73, ' '));
}

TEST_F(FormattedOutput, WideIntegerFieldsAreReportedAndFilledWithAsterisks) {
  internalFile(210, "(I200,I3)");
  wrtfmt(UNIT_INTERNAL, "%d %d\n", 42, 7);
  EXPECT_EQ(record(), std::string(200, '*') + "  7" + std::string(7, ' '));
  EXPECT_EQ(diagnostics(), "VOKS ERROR: I edit width is too big\n(I200<<?>>,I3)\n");
}

TEST_F(FormattedOutput, ArraysOfEveryElementType) {
  internalFile(60, "(3I3,2I3,2F5.1,2F5.1,3L2,2L2,A2)");
  const int32_t ints[] = {1, -2, 3};
  const int16_t shorts[] = {-4, 5};
  const float floats[] = {1.5f, -2.5f};
  const double doubles[] = {3.5, 4.0};
  const signed char logicals1[] = {1, 0, -1};
  const int32_t logicals4[] = {0, 7};
  const char chars[] = {'q'};
  EXPECT_EQ(wrtfmt(UNIT_INTERNAL, "%Ad %Ahd %Af %Alf %AT %At %Ac\n", int64_t(3), ints, int64_t(2),
                   shorts, int64_t(2), floats, int64_t(2), doubles, int64_t(3), logicals1,
                   int64_t(2), logicals4, int64_t(1), chars),
            7);
  EXPECT_EQ(record(), "  1 -2  3 -4  5  1.5 -2.5  3.5  4.0 T F T F T q" + std::string(13, ' '));
}

TEST_F(FormattedOutput, ArrayOfStringsIsFatal) {
  internalFile(8, "(A8)");
  const char* strings[] = {"a"};
  EXPECT_RUNTIME_FATAL(wrtfmt(UNIT_INTERNAL, "%As\n", int64_t(1), strings),
                       "array of strings isn't supported");
}

TEST_F(FormattedOutput, UnknownConversionIsCountedWithoutAnArgument) {
  internalFile(4, "(I4)");
  EXPECT_EQ(wrtfmt(UNIT_INTERNAL, "%z %d\n", 5), 2);
  EXPECT_EQ(record(), "   5");
  EXPECT_EQ(wrtfmt(UNIT_INTERNAL, ""), 0);
}

TEST_F(FormattedOutput, FullRecordStopsTheConversionString) {
  internalFile(10, "(I8,I8,I8)");
  EXPECT_EQ(wrtfmt(UNIT_INTERNAL, "%d %d %d\n", 1, 2, 3), 2);
  EXPECT_EQ(internalUnit()->iostat, 53);
  EXPECT_EQ(record(), "       1  ");
  EXPECT_TRUE(sentinelIntact());
}

TEST_F(FormattedOutput, SlashMovesToTheNextInternalRecord) {
  internalFile(4, "(I4/I4)", 2);
  wrtfmt(UNIT_INTERNAL, "%d %d\n", 1, 2);
  EXPECT_EQ(record(0), "   1");
  EXPECT_EQ(record(1), "   2");
  EXPECT_TRUE(sentinelIntact());
}

// With the storage's end known, the newline after the last record ends the statement normally;
// only output that would need another record is refused, and the storage is left alone.
TEST_F(FormattedOutput, LastRecordOfBoundedStorageEndsTheStatementCleanly) {
  internalFile(4, "(I4)");
  nuvex::runtime::setInternalStorageEnd(storage_.data() + 5);
  EXPECT_EQ(wrtfmt(UNIT_INTERNAL, "%d\n", 1), 1);
  EXPECT_EQ(internalUnit()->iostat, 0);
  EXPECT_EQ(wrtfmt(UNIT_INTERNAL, "%d\n", 2), 1);
  EXPECT_EQ(internalUnit()->iostat, 53);
  nuvex::runtime::setInternalStorageEnd(nullptr);
  EXPECT_EQ(record(), "   1");
  EXPECT_TRUE(sentinelIntact());
}

TEST_F(FormattedOutput, AStatementMayContinueOverSeveralCalls) {
  internalFile(8, "(2I4)");
  EXPECT_EQ(wrtfmt(UNIT_INTERNAL, "%d ", 1), 1);
  EXPECT_EQ(wrtfmt(UNIT_INTERNAL, "%d\n", 2), 1);
  EXPECT_EQ(record(), "   1   2");
}

// ---- Statement checks ---------------------------------------------------------------------

TEST_F(FormattedOutput, BadUnitNumbersAreFatal) {
  EXPECT_RUNTIME_FATAL(wrtfmt_seq(150, "(I3)", "%d\n", 1),
                       "bad unit number used (150), valid units: 1 to 99");
}

TEST_F(FormattedOutput, CarriageFlagOfABadUnitIsFatal) {
  EXPECT_RUNTIME_FATAL(set_unit_carriage_flag(100, 1),
                       "bad unit number used (100), valid units: 1 to 99");
}

// ---- Whole statements on files ------------------------------------------------------------

class FormattedFiles : public FormattedOutput {
 protected:
  void SetUp() override {
    FormattedOutput::SetUp();
    ASSERT_EQ(open_unit(kUnit, "out.txt", "NEW", "FORMATTED", "", 0), 1);
  }
  std::string written() {
    close_unit(kUnit);
    return fileBytes("out.txt");
  }
  static constexpr int kUnit = 10;
  ScratchDirectory directory_;
};

TEST_F(FormattedFiles, RefusedStatementsSetIostat) {
  ASSERT_EQ(open_unit(20, "ro.txt", "NEW", "FORMATTED", "", 0), 1);
  set_unit_action(20, "READ");
  EXPECT_EQ(wrtfmt_seq(20, "(I3)", "%d\n", 1), 0);
  EXPECT_EQ(f_unit(20)->iostat, 54);

  EXPECT_EQ(wrtfmt(21, "%d\n", 1), 0);
  EXPECT_EQ(f_unit(21)->iostat, 31);

  ASSERT_EQ(open_unit(22, "u.bin", "NEW", "UNFORMATTED", "", 0), 1);
  EXPECT_EQ(wrtfmt(22, "%d\n", 1), 0);
  EXPECT_EQ(f_unit(22)->iostat, 36);
}

TEST_F(FormattedFiles, ContinuingWithoutAStartedFormatIsFatal) {
  EXPECT_RUNTIME_FATAL(wrtfmt(kUnit, "%d\n", 1), "missing format in wrtfmt()");
}

TEST_F(FormattedFiles, ContinuingOnTheStandardInputUnitIsFatal) {
  EXPECT_RUNTIME_FATAL(wrtfmt(UNIT_STDIN, "%d\n", 1),
                       "bad unit number used (101), valid units: 1 to 99");
}

TEST_F(FormattedFiles, UnconnectedUnitIsOpenedOnAScratchNamedFile) {
  EXPECT_EQ(wrtfmt_seq(12, "(I3)", "%d\n", 5), 1);
  close_unit(12);
  EXPECT_EQ(fileBytes("scr12.dat"), "  5\n");
  EXPECT_EQ(diagnostics(), "VOKS WARNING: opening temp seq., formatted file on UNopened unit 12\n");
}

TEST_F(FormattedFiles, ReversionWritesOneRecordPerPass) {
  const int32_t values[] = {1, 2, 3, 4, 5};
  EXPECT_EQ(wrtfmt_seq(kUnit, "(1X,'X=',2(I3,:,','))", "%Ad\n", int64_t(5), values), 1);
  EXPECT_EQ(written(), " X=  1,  2,\n  3,  4,\n  5\n");
}

TEST_F(FormattedFiles, SlashColonAndTrailingLiterals) {
  wrtfmt_seq(kUnit, "(I3/I3,' end')", "%d %d\n", 1, 2);
  wrtfmt_seq(kUnit, "(I3,:,' end')", "%d\n", 3);
  wrtfmt_seq(kUnit, "(I3,' end')", "%d\n", 4);
  EXPECT_EQ(written(), "  1\n  2 end\n  3\n  4 end\n");
}

TEST_F(FormattedFiles, TabsAndSkips) {
  wrtfmt_seq(kUnit, "(T5,'x',TL3,'y',TR2,'z',2X,I1)", "%d\n", 9);
  EXPECT_EQ(written(), "  y xz  9\n");
}

TEST_F(FormattedFiles, CarriageControlCharacters) {
  set_unit_carriage_flag(kUnit, 1);
  wrtfmt_seq(kUnit, "('1',I2)", "%d\n", 1);
  wrtfmt_seq(kUnit, "('0',I2)", "%d\n", 2);
  wrtfmt_seq(kUnit, "('+',I2)", "%d\n", 3);
  wrtfmt_seq(kUnit, "(' ',I2)", "%d\n", 4);
  wrtfmt_seq(kUnit, "(I2,$)", "%d\n", 5);
  wrtfmt_seq(kUnit, "(' ',I2)", "%d\n", 6);
  set_unit_carriage_flag(kUnit, 0);
  wrtfmt_seq(kUnit, "('1',I2)", "%d\n", 7);
  EXPECT_EQ(written(), "\f 1\n\n 2\n 3\r 4\n5 6\n1 7\n");
}

TEST_F(FormattedFiles, WithoutCarriageControlTheFirstColumnIsData) {
  wrtfmt_seq(kUnit, "('1',I2)", "%d\n", 1);
  wrtfmt_seq(kUnit, "()", "\n");
  EXPECT_EQ(written(), "1 1\n \n");
}

TEST_F(FormattedFiles, RecordsOfAllKindsOfItems) {
  wrtfmt_seq(kUnit, "(1X,I6,3F12.4,2X,E12.5)", "%d %f %f %f %f\n", 42, 1.5, -2.25, 1e6, 0.00125);
  wrtfmt_seq(kUnit, "(A,1X,L1,1X,SP,I4,SS,1X,Z4)", "%s %t %d %d\n", "name", 1, 17, 255);
  EXPECT_EQ(written(),
            "     42      1.5000     -2.25001000000.0000   0.12500E-02\n"
            "name T  +17   ff\n");
}

TEST_F(FormattedFiles, StatementContinuedByWrtfmt) {
  EXPECT_EQ(wrtfmt_seq(kUnit, "(3I3)", "%d ", 1), 1);
  EXPECT_EQ(wrtfmt(kUnit, "%d ", 2), 1);
  EXPECT_EQ(wrtfmt(kUnit, "%d\n", 3), 1);
  EXPECT_EQ(written(), "  1  2  3\n");
}

TEST_F(FormattedFiles, DirectAccessRecords) {
  ASSERT_EQ(open_unit(11, "direct.dat", "NEW", "FORMATTED", "DIRECT", 8), 1);
  EXPECT_EQ(wrtfmt_rec(11, 2, "(I4,A3)", "%d %s\n", 22, "bb"), 2);
  EXPECT_EQ(wrtfmt_rec(11, 1, "(I4)", "%d\n", 1), 1);
  EXPECT_EQ(wrtfmt_rec(11, 0, "(I4)", "%d\n", 1), 0);
  EXPECT_EQ(f_unit(11)->iostat, 43);
  close_unit(11);
  EXPECT_EQ(fileBytes("direct.dat"), std::string("   1    ") + "  22 bb ");
}

TEST_F(FormattedFiles, FullRecordOfAFileSetsIostat53) {
  std::string wide(300, 'w');
  EXPECT_EQ(wrtfmt_seq(kUnit, "(A,I3)", "%s %d\n", wide.c_str(), 1), 1);
  EXPECT_EQ(f_unit(kUnit)->iostat, 53);
}

}  // namespace
}  // namespace nuvex::testing::units
