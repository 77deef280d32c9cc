// Statement control on real files: set-up checks, direct-access positioning, record input and
// record output, and internal files.
#include "nuvex/runtime/statements.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <sstream>

#include "nuvex/runtime/formatted_input.h"
#include "runtime/unit_table_internal.h"
#include "runtime_session.h"
#include "support/case_file.h"
#include "support/scratch_directory.h"

namespace {

constexpr int kRecl = 80;

// Read as text: the runtime writes text files, with Windows line ends on Windows.
std::string fileContents(const char* name) {
  std::ostringstream text;
  text << std::ifstream(name).rdbuf();
  return text.str();
}

class StatementsTest : public nuvex::testing::units::RuntimeSession {
 protected:
  // A formatted direct-access file of `count` records, record k filled with the letter 'a' + k-1.
  void openDirect(int unit, int count) {
    std::ofstream file("direct.dat", std::ios::binary);
    for (int k = 0; k < count; ++k) file << std::string(kRecl, static_cast<char>('a' + k));
    file.close();
    ASSERT_EQ(open_unit(unit, "direct.dat", "OLD", "FORMATTED", "DIRECT", kRecl), 1);
  }
  // A formatted sequential unit; with `contents` the file is written first and opened OLD.
  void openSequential(int unit, const char* name, const char* contents = nullptr) {
    if (contents != nullptr) std::ofstream(name, std::ios::binary) << contents;
    ASSERT_EQ(open_unit(unit, name, contents ? "OLD" : "UNKNOWN", "FORMATTED", "", 0), 1);
  }
  // Writes `text` as the unit's output record through put_record, or through a slash.
  int emit(int unit, const std::string& text, bool slash = false) {
    unit_record* record = f_unit(unit);
    clear_record(record);
    record->cursor = record->record + text.copy(record->record, text.size());
    return slash ? next_record(record, 1), 1 : put_record(record);
  }
  // One %s item: from record `record` of a direct unit, the next record of a sequential one, or
  // (no format) the statement already started.
  std::string readText(int unit, const char* format = "(A)", uint32_t record = 0) {
    char text[400] = {};
    record ? readfmt_rec(unit, record, format, "%s", text)
           : (format ? readfmt_seq(unit, format, "%s", text) : readfmt(unit, "%s", text));
    return text;
  }

  nuvex::testing::ScratchDirectory scratch_;
};

TEST_F(StatementsTest, WrongFormAccessOrConnectionIsRefusedWithItsWarning) {
  openDirect(10, 1);
  openSequential(11, "seq.txt");
  ASSERT_EQ(open_unit(13, "raw.bin", "UNKNOWN", "UNFORMATTED", "", 0), 1);
  for (const auto& c : nuvex::testing::readCases("statements_refusals.txt")) {
    nuvex::testing::units::DiagnosticsCapture capture;
    const std::string& kind = c.fields[0];
    const int unit = c.integer(1);
    const char* format = c.fields[2].c_str();
    int32_t value = 7;
    if (kind == "read_seq") readfmt_seq(unit, format, "%d", &value);
    if (kind == "read_direct") readfmt_rec(unit, 1, format, "%d", &value);
    if (kind == "write_seq") begin_write_seq(unit, format);
    if (kind == "write_direct") begin_write_direct(unit, 1, format);
    EXPECT_EQ(value, 7) << c.where();
    EXPECT_EQ(f_unit(unit)->iostat, c.integer(3)) << c.where();
    EXPECT_EQ(capture.text(), "VOKS WARNING: " + c.fields[4] + "\n") << c.where();
  }
  EXPECT_EQ(emit(12, "hello"), 1);
  ASSERT_EQ(_cls_unit(12), 1);
  EXPECT_EQ(fileContents("scr12.dat"), "hello\n");
}

TEST_F(StatementsTest, DirectRecordsAreReadAndWrittenAtTheirOffsets) {
  openDirect(10, 4);
  EXPECT_EQ(readText(10, "(A3)", 3), "ccc");
  EXPECT_EQ(ftello(f_unit(10)->stream), 3 * kRecl) << "the whole record was read";
  EXPECT_EQ(readText(10, "(A3)", 1), "aaa");
  begin_write_direct(10, 3, "(A)");
  EXPECT_EQ(ftello(f_unit(10)->stream), 2 * kRecl);
  EXPECT_EQ(emit(10, "third"), 1);
  begin_write_direct(10, 1, "(A)");
  emit(10, "one", true);
  EXPECT_EQ(f_unit(10)->fresh, 1u) << "a slash moves on to the next record";
  EXPECT_EQ(emit(10, "two"), 1);
  ASSERT_EQ(_cls_unit(10), 1);
  const std::string blanks(kRecl - 3, ' ');
  EXPECT_EQ(fileContents("direct.dat"),
            "one" + blanks + "two" + blanks + "third" + blanks.substr(2) + std::string(kRecl, 'd'));
}

TEST_F(StatementsTest, RecordZeroOrBeyondTheEndIsAnError) {
  openDirect(10, 2);
  for (int32_t record : {0, -5, 3}) {
    char text[4] = "xyz";
    EXPECT_EQ(readfmt_rec(10, record, "(A3)", "%S", text, 4), 0);
    EXPECT_EQ(f_unit(10)->iostat, record == 3 ? 61 : 43);
    EXPECT_STREQ(text, "xyz");
  }
}

TEST_F(StatementsTest, DirectOffsetsBeyondTwoGigabytesDoNotOverflow) {
  openDirect(10, 1);
  const uint32_t record = 30000000;  // (record - 1) * 80 exceeds 2^31
  EXPECT_EQ(position_direct(10, record, "(A)"), 0);
  EXPECT_EQ(ftello(f_unit(10)->stream), static_cast<off_t>(record - 1) * kRecl);
}

TEST_F(StatementsTest, LongLineIsSplitIntoRecordsOfRecordLengthLessOne) {
  const std::string lines = std::string(300, 'x') + "\n" + std::string(255, 'y') + "\nnext\n";
  openSequential(11, "long.txt", lines.c_str());
  for (const std::string& expected :
       {std::string(255, 'x'), std::string(45, 'x'), std::string(255, 'y'), std::string("next")}) {
    EXPECT_EQ(readText(11), expected);
  }
}

TEST_F(StatementsTest, SlashAndReversionReadFurtherLinesUntilAnEndOfFileThatStays) {
  openSequential(11, "lines.txt", "  1\n  2\n  3\n  4\n  5\n  6\n");
  int32_t v[4] = {};
  EXPECT_EQ(readfmt_seq(11, "(I3/I3)", "%Ad", int64_t{4}, v), 1);
  EXPECT_EQ(v[0] * 1000 + v[1] * 100 + v[2] * 10 + v[3], 1234);
  v[2] = 7;
  EXPECT_EQ(readfmt_seq(11, "(I3)", "%d %d %d", &v[0], &v[1], &v[2]), 3);
  EXPECT_EQ(f_unit(11)->iostat, -1);
  EXPECT_EQ(std::vector<int32_t>(v, v + 3), (std::vector<int32_t>{5, 6, 0}));
  EXPECT_EQ(diagnostics(), "") << "no format diagnostic for the item after the end";
  EXPECT_EQ(readfmt_seq(11, "(I3)", "%d", &v[3]), 0);
  EXPECT_EQ(f_unit(11)->iostat, -1) << "not the stale record of the last read";
  EXPECT_EQ(v[3], 4);
}

TEST_F(StatementsTest, PutRecordWritesLinesWithAndWithoutCarriageControl) {
  openSequential(11, "out.txt");
  for (const char* line :
       {"", "plain", "", " normal", "1page", "0double", "+over", "$prompt", "$"}) {
    EXPECT_EQ(emit(11, line), 1);
    if (std::strcmp(line, "plain") == 0) f_unit(11)->mode |= UNIT_MODE_CARRIAGE;
  }
  ASSERT_EQ(_cls_unit(11), 1);
  EXPECT_EQ(fileContents("out.txt"), " \nplain\n\nnormal\n\fpage\n\ndouble\nover\rprompt");
}

TEST_F(StatementsTest, FullRecordGetsItsLineEndWithoutOverflow) {
  openSequential(11, "full.txt");
  unit_record* unit = f_unit(11);
  std::string full(unit->recl, 'f');
  EXPECT_EQ(emit(11, full), 1);
  EXPECT_EQ(unit->record[unit->recl], '\0') << "the buffer's last byte stays NUL";
  EXPECT_EQ(unit->cursor, unit->record);
  EXPECT_EQ(emit(11, "ab"), 1);
  EXPECT_EQ(std::string(unit->record, 4), std::string("ab\n\0", 4));
  ASSERT_EQ(_cls_unit(11), 1);
  EXPECT_EQ(fileContents("full.txt"), full + "\nab\n");
}

TEST_F(StatementsTest, FailingOrEndedOutput) {
  std::ofstream("ro.txt") << "";
  ASSERT_EQ(open_unit(11, "ro.txt", "RO", "FORMATTED", "", 0), 1);
  EXPECT_EQ(emit(11, "lost"), -1);
  EXPECT_EQ(f_unit(11)->iostat, 51);
  EXPECT_EQ(std::string(f_unit(11)->record, 4), "lost") << "the record is kept";
  openSequential(12, "eof.txt");
  f_unit(12)->state |= UNIT_STATE_EOF;
  const int allowed = f_output_after_eof_allowed;
  for (int allow : {0, 1}) {
    f_output_after_eof_allowed = allow;
    EXPECT_EQ(emit(12, allow ? "kept" : "dropped"), 1);
  }
  f_output_after_eof_allowed = allowed;
  ASSERT_EQ(_cls_unit(12), 1);
  EXPECT_EQ(fileContents("eof.txt"), "kept\n");
}

TEST_F(StatementsTest, InternalFiles) {
  char storage[] = "xxxx\0yyyy\0zzzz";
  begin_write_internal(storage, 0, 3, "(A/A)");
  EXPECT_EQ(std::string(storage, 4), "    ") << "the target is blanked";
  next_record(f_unit(UNIT_INTERNAL), 1);
  EXPECT_EQ(f_unit(UNIT_INTERNAL)->record, storage + 5) << "a slash moves one element on";
  EXPECT_EQ(std::string(storage + 5, 4), "yyyy") << "cleared lazily, before the next edit";
  char substring[] = "ab  42cd";
  begin_read_internal(substring, 2, 5, "(A6)");
  f_unit(UNIT_INTERNAL)->mode |= UNIT_MODE_PAD;
  EXPECT_EQ(readText(UNIT_INTERNAL, nullptr), "  42  ") << "the substring ends the record";
  EXPECT_RUNTIME_FATAL(begin_read_internal(storage, 2, 1, "(A)"),
                       "illegal substr bounds in internal I/O");
}

// A FORMAT that asks for more records than the bounded internal file holds: end of file on
// input, iostat 53 and a warning on output, and nothing touched behind the last record's NUL.
TEST_F(StatementsTest, BoundedInternalFileEndsTheStatementAtItsLastRecord) {
  char storage[] = "  1\0  2\0#";
  const std::string before(storage, sizeof storage);
  int32_t v[3] = {0, 0, 7};
  begin_read_internal_bounded(storage, 0, 2, 2, "(I3)");
  EXPECT_EQ(readfmt(UNIT_INTERNAL, "%Ad", int64_t{3}, v), 1);
  EXPECT_EQ(std::vector<int32_t>(v, v + 3), (std::vector<int32_t>{1, 2, 0})) << "an empty field";
  EXPECT_EQ(f_unit(UNIT_INTERNAL)->iostat, -1);
  const int32_t out[3] = {4, 5, 6};
  begin_write_internal_bounded(storage, 0, 2, 2, "(I3)");
  EXPECT_EQ(wrtfmt(UNIT_INTERNAL, "%Ad\n", int64_t{3}, out), 1);
  EXPECT_EQ(f_unit(UNIT_INTERNAL)->iostat, 53);
  EXPECT_EQ(std::string(storage, sizeof storage), std::string("  4\0  5\0#", sizeof storage));
  EXPECT_EQ(diagnostics(), "VOKS WARNING: WRITE past the end of an internal file of 2 records\n");
  begin_read_internal_bounded(storage, 0, 2, 0, "(I3)");
  EXPECT_EQ(readfmt(UNIT_INTERNAL, "%d", v), 0);
  EXPECT_EQ(f_unit(UNIT_INTERNAL)->iostat, -1) << "no records: end of file at once";
  std::memcpy(storage, before.data(), before.size());
  begin_write_internal_bounded(storage, 0, 2, 0, "(I3)");
  EXPECT_EQ(f_unit(UNIT_INTERNAL)->iostat, 53);
  EXPECT_EQ(std::string(storage, sizeof storage), before) << "not even blanked";
}

TEST_F(StatementsTest, NtstrTurnsNulIntoBlanksAndRecyclesItsSlots) {
  const char five[5] = {'a', 'b', '\0', 'd', 'e'};
  char* first = ntstr(five, 5);
  EXPECT_STREQ(ntstr(nullptr, 3), "");
  for (int i = 1; i < 255; ++i) ntstr("xy", 2);
  EXPECT_STREQ(first, "ab de") << "valid for 255 calls";
}

}  // namespace
