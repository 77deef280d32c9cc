// Statement control on real files: set-up checks, direct-access positioning, record input and
// record output, and internal files.
#include "nuvex/runtime/statements.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "nuvex/runtime/formatted_input.h"
#include "runtime/statements_internal.h"
#include "runtime/unit_table_internal.h"
#include "runtime_session.h"
#include "support/scratch_directory.h"

namespace {

using nuvex::testing::ScratchDirectory;
using nuvex::testing::units::DiagnosticsCapture;
using nuvex::testing::units::RuntimeSession;

constexpr int kRecl = 80;

std::string fileContents(const char* name) {
  std::ifstream file(name, std::ios::binary);
  std::ostringstream text;
  text << file.rdbuf();
  return text.str();
}

void writeFile(const char* name, const std::string& contents) {
  std::ofstream(name, std::ios::binary) << contents;
}

class StatementsTest : public RuntimeSession {
 protected:
  void TearDown() override {
    RuntimeSession::TearDown();
    nuvex::runtime::setInternalStorageEnd(nullptr);
  }
  // A formatted direct-access file of `count` records, record k filled with the letter 'a' + k-1.
  void openDirect(int unit, int count) {
    std::string contents;
    for (int k = 0; k < count; ++k) contents.append(kRecl, static_cast<char>('a' + k));
    writeFile("direct.dat", contents);
    ASSERT_EQ(open_unit(unit, "direct.dat", "OLD", "FORMATTED", "DIRECT", kRecl), 1);
  }
  void openSequential(int unit, const char* name, const char* status = "UNKNOWN") {
    ASSERT_EQ(open_unit(unit, name, status, "FORMATTED", "", 0), 1);
  }
  // Writes `text` as the unit's output record through put_record.
  int emit(int unit, const std::string& text) {
    unit_record* record = f_unit(unit);
    clear_record(record);
    std::memcpy(record->record, text.data(), text.size());
    record->cursor = record->record + text.size();
    return put_record(record);
  }

  ScratchDirectory scratch_;
};

// ---- Set-up checks --------------------------------------------------------------------------

TEST_F(StatementsTest, ReadFromUnconnectedUnitLeavesItemsAlone) {
  int32_t value = 7;
  EXPECT_EQ(readfmt_seq(12, "(I5)", "%d", &value), 0);
  EXPECT_EQ(value, 7);
  EXPECT_EQ(f_unit(12)->iostat, 31);
  EXPECT_EQ(diagnostics(), "VOKS WARNING: Unit 12 is NOT opened\n");
}

TEST_F(StatementsTest, WrongFormOrAccessIsRefusedWithItsWarning) {
  openDirect(10, 1);
  openSequential(11, "seq.txt");
  ASSERT_EQ(open_unit(13, "raw.bin", "UNKNOWN", "UNFORMATTED", "", 0), 1);
  struct Case {
    void (*start)();
    int unit;
    int iostat;
    const char* warning;
  } cases[] = {
      {[] { begin_read_seq(10, "(I5)"); }, 10, 34, "Unit 10 is not opened for SEQUENTIAL I/O"},
      {[] { begin_write_seq(10, "(I5)"); }, 10, 34, "Unit 10 is not opened for SEQUENTIAL I/O"},
      {[] { begin_read_direct(11, 1, "(I5)"); }, 11, 35, "Unit 11 is not opened for DIRECT I/O"},
      {[] { begin_write_direct(11, 1, "(I5)"); }, 11, 35, "Unit 11 is not opened for DIRECT I/O"},
      {[] { begin_read_seq(13, "(I5)"); }, 13, 36, "Unit 13 is not opened for FORMATTED I/O"},
      {[] { begin_write_seq(13, "(I5)"); }, 13, 36, "Unit 13 is not opened for FORMATTED I/O"},
      {[] { begin_read_direct(10, 1, "*"); }, 10, 42,
       "Unit 10; List Directed DIRECT READ attempted"},
      {[] { begin_write_direct(14, 1, "(I5)"); }, 14, 31, "Unit 14 is NOT opened"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.warning);
    DiagnosticsCapture capture;
    c.start();
    EXPECT_EQ(f_unit(c.unit)->iostat, c.iostat);
    EXPECT_EQ(capture.text(), std::string("VOKS WARNING: ") + c.warning + "\n");
  }
}

TEST_F(StatementsTest, ListDirectedDirectReadReadsNothing) {
  openDirect(10, 2);
  char text[6] = "zzzzz";
  EXPECT_EQ(readfmt_rec(10, 1, "*", "%S", text, 6), 0);
  EXPECT_EQ(f_unit(10)->iostat, 42);
  EXPECT_STREQ(text, "zzzzz");
}

TEST_F(StatementsTest, WriteToUnconnectedUnitOpensScratchNamedFile) {
  begin_write_seq(12, "(A)");
  EXPECT_EQ(f_unit(12)->iostat, 0);
  EXPECT_EQ(emit(12, "hello"), 1);
  ASSERT_EQ(_cls_unit(12), 1);
  EXPECT_EQ(fileContents("scr12.dat"), "hello\n");
  EXPECT_EQ(diagnostics(), "VOKS WARNING: opening temp seq., formatted file on UNopened unit 12\n");
}

// ---- Direct access --------------------------------------------------------------------------

TEST_F(StatementsTest, DirectRecordIsReadAtItsOffset) {
  openDirect(10, 4);
  char text[4] = {};
  EXPECT_EQ(readfmt_rec(10, 3, "(A3)", "%S", text, 4), 1);
  EXPECT_STREQ(text, "ccc");
  EXPECT_EQ(ftello(f_unit(10)->stream), 3 * kRecl) << "the whole record was read";
  EXPECT_EQ(readfmt_rec(10, 1, "(A3)", "%S", text, 4), 1);
  EXPECT_STREQ(text, "aaa");
}

TEST_F(StatementsTest, DirectRecordIsWrittenAtItsOffset) {
  openDirect(10, 4);
  begin_write_direct(10, 3, "(A)");
  ASSERT_EQ(f_unit(10)->iostat, 0);
  EXPECT_EQ(ftello(f_unit(10)->stream), 160);
  EXPECT_EQ(emit(10, "third"), 1);
  ASSERT_EQ(_cls_unit(10), 1);
  std::string contents = fileContents("direct.dat");
  ASSERT_EQ(contents.size(), 4u * kRecl);
  EXPECT_EQ(contents.substr(2 * kRecl, kRecl), "third" + std::string(kRecl - 5, ' '));
  EXPECT_EQ(contents.substr(3 * kRecl), std::string(kRecl, 'd'));
}

TEST_F(StatementsTest, RecordZeroOrShortRecordIsAnError) {
  openDirect(10, 2);
  char text[4] = "xyz";
  EXPECT_EQ(readfmt_rec(10, 0, "(A3)", "%S", text, 4), 0);
  EXPECT_EQ(f_unit(10)->iostat, 43);
  EXPECT_EQ(readfmt_rec(10, -5, "(A3)", "%S", text, 4), 0);
  EXPECT_EQ(f_unit(10)->iostat, 43);
  EXPECT_EQ(readfmt_rec(10, 3, "(A3)", "%S", text, 4), 0);
  EXPECT_EQ(f_unit(10)->iostat, 61);
  EXPECT_STREQ(text, "xyz");
}

TEST_F(StatementsTest, DirectOffsetsBeyondTwoGigabytesDoNotOverflow) {
  openDirect(10, 1);
  const uint32_t record = 30000000;  // (record - 1) * 80 exceeds 2^31
  EXPECT_EQ(position_direct(10, record, "(A)"), 0);
  EXPECT_EQ(ftello(f_unit(10)->stream), static_cast<off_t>(record - 1) * kRecl);
}

TEST_F(StatementsTest, DirectWritesFollowEachOtherOnSlash) {
  openDirect(10, 3);
  begin_write_direct(10, 1, "(A)");
  unit_record* unit = f_unit(10);
  clear_record(unit);
  std::memcpy(unit->record, "one", 3);
  unit->cursor += 3;
  next_record(unit, 1);
  EXPECT_EQ(unit->fresh, 1u);
  EXPECT_EQ(emit(10, "two"), 1);
  ASSERT_EQ(_cls_unit(10), 1);
  std::string contents = fileContents("direct.dat");
  EXPECT_EQ(contents.substr(0, 4), "one ");
  EXPECT_EQ(contents.substr(kRecl, 4), "two ");
  EXPECT_EQ(contents.substr(2 * kRecl, 4), "cccc");
}

// ---- Sequential input -----------------------------------------------------------------------

TEST_F(StatementsTest, LongLineIsSplitIntoRecordsOfRecordLengthLessOne) {
  writeFile("long.txt", std::string(300, 'x') + "\nnext\n");
  openSequential(11, "long.txt", "OLD");
  std::vector<char> text(400, '\0');
  EXPECT_EQ(readfmt_seq(11, "(A)", "%s", text.data()), 1);
  EXPECT_EQ(std::strlen(text.data()), 255u);
  EXPECT_EQ(readfmt_seq(11, "(A)", "%s", text.data()), 1);
  EXPECT_EQ(std::strlen(text.data()), 45u);
  EXPECT_EQ(readfmt_seq(11, "(A)", "%s", text.data()), 1);
  EXPECT_STREQ(text.data(), "next");
}

TEST_F(StatementsTest, LineOfExactlyRecordLengthLessOneIsOneRecord) {
  writeFile("exact.txt", std::string(255, 'y') + "\nnext\n");
  openSequential(11, "exact.txt", "OLD");
  std::vector<char> text(400, '\0');
  EXPECT_EQ(readfmt_seq(11, "(A)", "%s", text.data()), 1);
  EXPECT_EQ(std::strlen(text.data()), 255u);
  EXPECT_EQ(readfmt_seq(11, "(A)", "%s", text.data()), 1);
  EXPECT_STREQ(text.data(), "next");
}

TEST_F(StatementsTest, EndOfFileStaysAnEndOfFile) {
  writeFile("short.txt", "  1\n");
  openSequential(11, "short.txt", "OLD");
  int32_t value = 0;
  EXPECT_EQ(readfmt_seq(11, "(I3)", "%d", &value), 1);
  EXPECT_EQ(value, 1);
  value = 9;
  EXPECT_EQ(readfmt_seq(11, "(I3)", "%d", &value), 0);
  EXPECT_EQ(f_unit(11)->iostat, -1);
  EXPECT_EQ(readfmt_seq(11, "(I3)", "%d", &value), 0);
  EXPECT_EQ(f_unit(11)->iostat, -1) << "not the stale record of the last read";
  EXPECT_EQ(value, 9);
}

TEST_F(StatementsTest, SlashAndReversionReadFurtherLines) {
  writeFile("lines.txt", "  1\n  2\n  3\n  4\n");
  openSequential(11, "lines.txt", "OLD");
  int32_t v[4] = {};
  EXPECT_EQ(readfmt_seq(11, "(I3/I3)", "%d %d %d %d", &v[0], &v[1], &v[2], &v[3]), 4);
  EXPECT_EQ(v[0] * 1000 + v[1] * 100 + v[2] * 10 + v[3], 1234);
}

TEST_F(StatementsTest, ReversionAtEndOfFileStopsQuietly) {
  writeFile("two.txt", "  1\n  2\n");
  openSequential(11, "two.txt", "OLD");
  int32_t v[3] = {0, 0, 7};
  EXPECT_EQ(readfmt_seq(11, "(I3)", "%d %d %d", &v[0], &v[1], &v[2]), 3);
  EXPECT_EQ(f_unit(11)->iostat, -1);
  EXPECT_EQ(v[1], 2);
  EXPECT_EQ(v[2], 0);
  EXPECT_EQ(diagnostics(), "") << "no format diagnostic for the item after the end";
}

// ---- Record output --------------------------------------------------------------------------

TEST_F(StatementsTest, PutRecordWritesLinesWithAndWithoutCarriageControl) {
  openSequential(11, "out.txt", "NEW");
  EXPECT_EQ(emit(11, ""), 1);
  EXPECT_EQ(emit(11, "plain"), 1);
  f_unit(11)->mode |= UNIT_MODE_CARRIAGE;
  EXPECT_EQ(emit(11, ""), 1);
  EXPECT_EQ(emit(11, " normal"), 1);
  EXPECT_EQ(emit(11, "1page"), 1);
  EXPECT_EQ(emit(11, "0double"), 1);
  EXPECT_EQ(emit(11, "+over"), 1);
  EXPECT_EQ(emit(11, "$prompt"), 1);
  EXPECT_EQ(emit(11, "$"), 1);
  ASSERT_EQ(_cls_unit(11), 1);
  EXPECT_EQ(fileContents("out.txt"), " \nplain\n\nnormal\n\fpage\n\ndouble\nover\rprompt");
}

TEST_F(StatementsTest, FullRecordGetsItsLineEndWithoutOverflow) {
  openSequential(11, "full.txt", "NEW");
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

TEST_F(StatementsTest, FailingWriteSetsIostat51AndKeepsTheRecord) {
  writeFile("ro.txt", "");
  ASSERT_EQ(open_unit(11, "ro.txt", "RO", "FORMATTED", "", 0), 1);
  EXPECT_EQ(emit(11, "lost"), -1);
  EXPECT_EQ(f_unit(11)->iostat, 51);
  EXPECT_EQ(std::string(f_unit(11)->record, 4), "lost");
}

TEST_F(StatementsTest, NothingIsWrittenAfterEndOfFileUnlessAllowed) {
  openSequential(11, "eof.txt", "NEW");
  unit_record* unit = f_unit(11);
  unit->state |= UNIT_STATE_EOF;
  int allowed = f_output_after_eof_allowed;
  f_output_after_eof_allowed = 0;
  EXPECT_EQ(emit(11, "dropped"), 1);
  f_output_after_eof_allowed = 1;
  EXPECT_EQ(emit(11, "kept"), 1);
  f_output_after_eof_allowed = allowed;
  ASSERT_EQ(_cls_unit(11), 1);
  EXPECT_EQ(fileContents("eof.txt"), "kept\n");
}

// ---- Internal files -------------------------------------------------------------------------

TEST_F(StatementsTest, InternalWriteBlanksTheTargetAndSlashMovesOneElementOn) {
  char storage[] = "xxxx\0yyyy\0zzzz";
  begin_write_internal(storage, 0, 3, "(A/A)");
  unit_record* unit = f_unit(UNIT_INTERNAL);
  EXPECT_EQ(std::string(storage, 4), "    ");
  EXPECT_EQ(unit->recl, 4u);
  next_record(unit, 1);
  EXPECT_EQ(unit->record, storage + 5);
  EXPECT_EQ(unit->fresh, 1u);
  EXPECT_EQ(std::string(storage + 5, 4), "yyyy") << "cleared lazily, before the next edit";
}

TEST_F(StatementsTest, InternalSubstringIsTheRecord) {
  char storage[] = "ab  42cd";
  int32_t value = 0;
  begin_read_internal(storage, 2, 5, "(I4)");
  EXPECT_EQ(readfmt(UNIT_INTERNAL, "%d", &value), 1);
  EXPECT_EQ(value, 42);
  char text[8] = {};
  begin_read_internal(storage, 2, 5, "(A6)");
  f_unit(UNIT_INTERNAL)->mode |= UNIT_MODE_PAD;
  EXPECT_EQ(readfmt(UNIT_INTERNAL, "%s", text), 1);
  EXPECT_STREQ(text, "  42  ") << "the end of the substring ends the record";
}

TEST_F(StatementsTest, BadInternalBoundsAreFatal) {
  char storage[] = "abc";
  EXPECT_RUNTIME_FATAL(begin_read_internal(storage, 2, 1, "(A)"),
                       "illegal substr bounds in internal I/O");
}

TEST_F(StatementsTest, BoundedInternalStorageEndsTheStatement) {
  char storage[] = "  1\0  2";
  nuvex::runtime::setInternalStorageEnd(storage + sizeof storage);
  int32_t v[3] = {};
  begin_read_internal(storage, 0, 2, "(I3)");
  EXPECT_EQ(readfmt(UNIT_INTERNAL, "%d %d %d", &v[0], &v[1], &v[2]), 3);
  EXPECT_EQ(v[0] * 10 + v[1], 12);
  EXPECT_EQ(f_unit(UNIT_INTERNAL)->iostat, -1);

  begin_write_internal(storage, 0, 2, "(I3)");
  unit_record* unit = f_unit(UNIT_INTERNAL);
  next_record(unit, 1);
  EXPECT_EQ(unit->iostat, 0);
  next_record(unit, 1);
  EXPECT_EQ(unit->iostat, 53);
  EXPECT_EQ(unit->record, storage + 4);
}

// ---- ntstr ----------------------------------------------------------------------------------

TEST_F(StatementsTest, NtstrTurnsNulIntoBlanksAndRecyclesItsSlots) {
  const char five[5] = {'a', 'b', '\0', 'd', 'e'};
  char* first = ntstr(five, 5);
  EXPECT_STREQ(first, "ab de");
  EXPECT_STREQ(ntstr(nullptr, 3), "");
  std::vector<std::string> results;
  for (int i = 1; i < 255; ++i) results.push_back(ntstr("xy", 2));
  EXPECT_STREQ(first, "ab de") << "valid for 255 calls";
  EXPECT_STREQ(ntstr("q", 1), "q");
}

}  // namespace
