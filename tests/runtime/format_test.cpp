// FORMAT interpretation: descriptor parsing, repetition, groups and reversion, control edits
// and the diagnostics of malformed FORMAT texts.
#include "nuvex/runtime/format.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "nuvex/runtime/formatted_input.h"
#include "nuvex/runtime/statements.h"
#include "runtime/statements_internal.h"
#include "runtime_session.h"

namespace {

using nuvex::testing::units::DiagnosticsCapture;
using nuvex::testing::units::RuntimeSession;

// Room for several internal records of up to 20 columns: each is followed by its NUL.
struct InternalStorage {
  explicit InternalStorage(const std::vector<std::string>& records, size_t recl = 20) : recl(recl) {
    bytes.assign((recl + 1) * (records.size() + 1), '\0');
    for (size_t i = 0; i < records.size(); ++i) {
      std::memcpy(bytes.data() + i * (recl + 1), records[i].data(), records[i].size());
    }
  }
  char* data() { return bytes.data(); }
  uint32_t last() const { return static_cast<uint32_t>(recl - 1); }
  size_t recl;
  std::vector<char> bytes;
};

class FormatTest : public RuntimeSession {
 protected:
  // Starts an input statement on the internal unit and returns it.
  unit_record* startRead(InternalStorage& storage, const char* format) {
    begin_read_internal(storage.data(), 0, storage.last(), format);
    return f_unit(UNIT_INTERNAL);
  }
  unit_record* startWrite(InternalStorage& storage, const char* format) {
    begin_write_internal(storage.data(), 0, storage.last(), format);
    return f_unit(UNIT_INTERNAL);
  }
  edit_descriptor nextDescriptor(unit_record* unit, int writing = 0) {
    edit_descriptor d{};
    advance_format(unit, 0, writing);
    next_edit_descriptor(unit, &d);
    return d;
  }
  std::string recordText(unit_record* unit) const { return std::string(unit->record, unit->recl); }
};

void expectDescriptor(const edit_descriptor& d, char code, int width, int digits, int exponent) {
  EXPECT_EQ(d.code, code);
  EXPECT_EQ(d.width, width);
  EXPECT_EQ(d.digits, digits);
  EXPECT_EQ(d.exponent, exponent);
}

// ---- Data edit descriptors ----------------------------------------------------------------

TEST_F(FormatTest, DescriptorFieldsAndDefaults) {
  struct Case {
    const char* format;
    char code;
    int width, digits, exponent;
  } cases[] = {
      {"(E12.4E3)", 'E', 12, 4, 3}, {"(E12.4)", 'E', 12, 4, 2}, {"(F10)", 'F', 10, -1, 2},
      {"(I)", 'I', 12, -1, 2},      {"(Z0)", 'Z', 12, -1, 2},   {"(i5.3)", 'I', 5, 3, 2},
      {"(A)", 'A', 0, -1, 2},       {"(Q)", 'Q', 0, -1, 2},     {"( g 10 . 3 e 4 )", 'G', 10, 3, 4},
      {"(D9.2E1)", 'D', 9, 2, 2},   {"(L3)", 'L', 3, -1, 2},
  };
  InternalStorage storage({"1"});
  for (const Case& c : cases) {
    SCOPED_TRACE(c.format);
    unit_record* unit = startRead(storage, c.format);
    expectDescriptor(nextDescriptor(unit), c.code, c.width, c.digits, c.exponent);
  }
}

TEST_F(FormatTest, DiagnosticsOfMalformedFormats) {
  std::ifstream table(NUVEX_TEST_DATA_DIR "/format_diagnostics.txt");
  ASSERT_TRUE(table.is_open());
  std::string line;
  int rows = 0;
  while (std::getline(table, line)) {
    if (line.empty() || line[0] == '#') continue;
    size_t tab = line.find('\t');
    ASSERT_NE(tab, std::string::npos) << line;
    std::string format = line.substr(0, tab);
    std::string expected;
    for (size_t i = tab + 1; i < line.size(); ++i) {
      if (line.compare(i, 2, "\\n") == 0) {
        expected += '\n';
        ++i;
      } else {
        expected += line[i];
      }
    }
    SCOPED_TRACE(format);
    DiagnosticsCapture capture;
    InternalStorage storage({"12345678901234567890"});
    unit_record* unit = startRead(storage, format.c_str());
    nextDescriptor(unit);
    EXPECT_EQ(capture.text(), expected);
    ++rows;
  }
  EXPECT_GE(rows, 25);
}

TEST_F(FormatTest, RepeatedDescriptorIsReadOnceAndCopied) {
  InternalStorage storage({"1", "2"});
  unit_record* unit = startRead(storage, "(3I4)");
  expectDescriptor(nextDescriptor(unit), 'I', 4, -1, 2);
  const char* afterText = unit->format->fcursor;
  EXPECT_EQ(*afterText, ')');
  for (int copy = 0; copy < 2; ++copy) {
    expectDescriptor(nextDescriptor(unit), 'I', 4, -1, 2);
    EXPECT_EQ(unit->format->fcursor, afterText);
    EXPECT_EQ(unit->record, storage.data()) << "a copy must not advance the record";
  }
  nextDescriptor(unit);  // the fourth item reverts to the next record
  EXPECT_EQ(unit->record, storage.data() + storage.recl + 1);
}

// ---- Groups and reversion -------------------------------------------------------------------

TEST_F(FormatTest, ReversionReadsOneRecordPerItem) {
  InternalStorage storage({"   11", "   22", "   33"}, 5);
  begin_read_internal(storage.data(), 0, 4, "(I5)");
  int32_t a = 0, b = 0, c = 0;
  EXPECT_EQ(readfmt(UNIT_INTERNAL, "%d %d %d", &a, &b, &c), 3);
  EXPECT_EQ(a, 11);
  EXPECT_EQ(b, 22);
  EXPECT_EQ(c, 33);
  EXPECT_EQ(f_unit(UNIT_INTERNAL)->iostat, 0);
}

TEST_F(FormatTest, ReversionResumesAtTheLastTopLevelGroupWithItsCount) {
  // The 1X applies to the first record only: reversion resumes at 2(I3,F5.1), twice again.
  InternalStorage storage({"X 12  1.5 34  2.5", " 56  3.5 78  4.5"}, 17);
  begin_read_internal(storage.data(), 0, 16, "(1X,2(I3,F5.1))");
  int32_t i[4] = {};
  double f[4] = {};
  EXPECT_EQ(readfmt(UNIT_INTERNAL, "%d %lf %d %lf %d %lf %d %lf", &i[0], &f[0], &i[1], &f[1], &i[2],
                    &f[2], &i[3], &f[3]),
            8);
  EXPECT_EQ(f_unit(UNIT_INTERNAL)->iostat, 0);
  int32_t expectedI[4] = {12, 34, 56, 78};
  double expectedF[4] = {1.5, 2.5, 3.5, 4.5};
  for (int k = 0; k < 4; ++k) {
    EXPECT_EQ(i[k], expectedI[k]) << k;
    EXPECT_DOUBLE_EQ(f[k], expectedF[k]) << k;
  }
  format_state* format = f_unit(UNIT_INTERNAL)->format;
  EXPECT_EQ(format->reversion_level, 1);
  EXPECT_EQ(format->reversion_repeat, 2);
  EXPECT_EQ(*format->reversion, '(');
}

TEST_F(FormatTest, SevenLevelsAreAcceptedAndAnEighthIsPassedOver) {
  InternalStorage storage({"42"});
  {
    DiagnosticsCapture capture;
    begin_read_internal(storage.data(), 0, 1, "((((((( I2 )))))))");
    int32_t value = 0;
    EXPECT_EQ(readfmt(UNIT_INTERNAL, "%d", &value), 1);
    EXPECT_EQ(value, 42);
    EXPECT_EQ(capture.text(), "");
  }
  DiagnosticsCapture capture;
  InternalStorage deep({"123"});
  // The eighth level, (I1), has no slot: it is reported and skipped whole, and I3 follows.
  begin_read_internal(deep.data(), 0, 2,
                      "((((((("
                      "(I1)"
                      ",I3)))))))");
  int32_t value = 0;
  EXPECT_EQ(readfmt(UNIT_INTERNAL, "%d", &value), 1);
  EXPECT_EQ(value, 123);
  EXPECT_EQ(capture.text(),
            "VOKS ERROR: ()'s in format nested too deeply\n(((((((<<?>>(I1),I3)))))))\n");
  EXPECT_EQ(f_unit(UNIT_INTERNAL)->format->level, 6);
}

TEST_F(FormatTest, FormatWithoutDataDescriptorStopsAfterOneReversion) {
  InternalStorage storage({"a", "b", "c", "d"}, 4);
  DiagnosticsCapture capture;
  unit_record* unit = startRead(storage, "(1X)");
  advance_format(unit, 0, 0);
  EXPECT_EQ(unit->record, storage.data() + storage.recl + 1) << "one reversion, one record";
  EXPECT_EQ(capture.text(), "VOKS ERROR: no data edit descriptor in format\n(1X<<?>>)\n");
}

TEST_F(FormatTest, HugeRepeatCountsOfControlEditsEndQuickly) {
  InternalStorage storage({""}, 10);
  unit_record* unit = startWrite(storage, "(999999999(999999999('ab',TL1)),I1)");
  // The full record has set iostat 53, so no descriptor is handed out; the walk stands at I1.
  expectDescriptor(nextDescriptor(unit, 1), '\0', 0, -1, 2);
  EXPECT_STREQ(unit->format->fcursor, "I1)");
  EXPECT_EQ(recordText(unit), "aaaaaaaaaa") << "the same as all the repetitions would leave";
  EXPECT_EQ(unit->cursor - unit->record, 9);
  EXPECT_EQ(unit->iostat, 53);

  InternalStorage input({"12345"}, 5);
  unit = startRead(input, "(2000000000(1X),TL2,I1)");
  nextDescriptor(unit);
  EXPECT_EQ(unit->cursor - unit->record, 3);
}

// ---- Control edits --------------------------------------------------------------------------

TEST_F(FormatTest, SignModeAppliesUntilChanged) {
  InternalStorage storage({""});
  unit_record* unit = startWrite(storage, "(SP,F8.2,SS,F8.2,SP,F8.2,S,F8.2)");
  uint32_t expected[] = {FORMAT_FLAG_SP, 0, FORMAT_FLAG_SP, 0};
  for (uint32_t flag : expected) {
    nextDescriptor(unit, 1);
    EXPECT_EQ(unit->format->edit_flags & FORMAT_FLAG_SP, flag);
  }
}

TEST_F(FormatTest, BlankModeAndScaleFactor) {
  InternalStorage storage({""});
  unit_record* unit = startRead(storage, "(BZ,I1,bn,I1,-2P,F3.1,P,F3.1)");
  nextDescriptor(unit);
  EXPECT_NE(unit->format->edit_flags & FORMAT_FLAG_BZ, 0u);
  nextDescriptor(unit);
  EXPECT_EQ(unit->format->edit_flags & FORMAT_FLAG_BZ, 0u);
  nextDescriptor(unit);
  EXPECT_EQ(unit->format->scale, -2);
  nextDescriptor(unit);
  EXPECT_EQ(unit->format->scale, 0);
}

TEST_F(FormatTest, TabsAndSkipsStayInsideTheRecord) {
  struct Case {
    const char* format;
    int column;  // from 1, where the cursor stands at the data descriptor
  } cases[] = {
      {"(T5,I1)", 5},     {"(T0,I1)", 1},        {"(T99,I1)", 10}, {"(5X,TL10,I1)", 1},
      {"(5X,TL2,I1)", 4}, {"(5X,TL5,I1)", 1},    {"(TR3,I1)", 4},  {"(TR20,I1)", 10},
      {"(TT1,I1)", 8},    {"(TT2,I1)", 10},      {"(3X,X,I1)", 5}, {"(99X,I1)", 11},
      {"(t4,tl1,I1)", 3}, {"(5X,T2,TR1,I1)", 3},
  };
  InternalStorage storage({"abcdefghij"}, 10);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.format);
    unit_record* unit = startRead(storage, c.format);
    nextDescriptor(unit);
    EXPECT_EQ(unit->cursor - unit->record + 1, c.column);
  }
}

TEST_F(FormatTest, LiteralsAreWrittenOnOutput) {
  InternalStorage storage({""}, 12);
  unit_record* unit = startWrite(storage, "('it''s',2X,3Hend,\"q\",I1)");
  nextDescriptor(unit, 1);
  EXPECT_EQ(recordText(unit), "it's  endq  ");
  EXPECT_EQ(unit->iostat, 0);
}

TEST_F(FormatTest, LiteralBeyondTheRecordSetsIostat53) {
  InternalStorage storage({""}, 4);
  unit_record* unit = startWrite(storage, "('abcdef',I1)");
  nextDescriptor(unit, 1);
  EXPECT_EQ(recordText(unit), "abcd");
  EXPECT_EQ(unit->iostat, 53);
}

TEST_F(FormatTest, ColonStopsAFinishingWalk) {
  InternalStorage storage({""}, 12);
  unit_record* unit = startWrite(storage, "(I5,:,'end')");
  nextDescriptor(unit, 1);
  unit->cursor += 5;  // the item's field
  advance_format(unit, 1, 1);
  EXPECT_EQ(recordText(unit), std::string(12, ' '));

  unit = startWrite(storage, "(I5,'end')");
  nextDescriptor(unit, 1);
  unit->cursor += 5;
  f_current_format_label = 10;
  advance_format(unit, 1, 1);
  EXPECT_EQ(recordText(unit), "     end    ");
  EXPECT_EQ(f_current_format_label, 0) << "the finished format clears its label";
}

TEST_F(FormatTest, SlashAdvancesTheInternalRecord) {
  InternalStorage storage({"  1", "  2", "  3"}, 3);
  begin_read_internal(storage.data(), 0, 2, "(I3/I3//)");
  int32_t a = 0, b = 0;
  EXPECT_EQ(readfmt(UNIT_INTERNAL, "%d %d", &a, &b), 2);
  EXPECT_EQ(a, 1);
  EXPECT_EQ(b, 2);
}

TEST_F(FormatTest, DollarMarksTheFirstColumnOnOutput) {
  InternalStorage storage({""}, 4);
  unit_record* unit = startWrite(storage, "('x',$,I1)");
  nextDescriptor(unit, 1);
  EXPECT_EQ(recordText(unit), "$   ");
  unit = startWrite(storage, "('1',$,I1)");
  nextDescriptor(unit, 1);
  EXPECT_EQ(recordText(unit), "1   ");
}

// ---- Lookup and start -----------------------------------------------------------------------

TEST_F(FormatTest, FindFormatByLabel) {
  format_table_entry table[] = {{100, "(I5)"}, {200, "(F8.2)"}, {0, nullptr}};
  EXPECT_STREQ(find_format(200, table), "(F8.2)");
  EXPECT_EQ(f_current_format_label, 200);
  EXPECT_RUNTIME_FATAL(find_format(300, table), "format reference wasn't found for '300'");
}

TEST_F(FormatTest, LabelAppearsInFormatDiagnostics) {
  InternalStorage storage({"1"});
  format_table_entry table[] = {{100, "(I0)"}, {0, nullptr}};
  DiagnosticsCapture capture;
  unit_record* unit = startRead(storage, find_format(100, table));
  nextDescriptor(unit);
  EXPECT_EQ(capture.text(), "VOKS ERROR: field width must be > 0\n100 FORMAT(I<<?>>0)\n");
}

TEST_F(FormatTest, MissingOrUnparenthesisedFormatIsFatal) {
  InternalStorage storage({"1"});
  EXPECT_RUNTIME_FATAL(startRead(storage, "   "),
                       "missing format in read/write initialization for unit 100");
  EXPECT_RUNTIME_FATAL(startRead(storage, nullptr),
                       "missing format in read/write initialization for unit 100");
  EXPECT_RUNTIME_FATAL(startRead(storage, "  I5,F8.2,I5,F8.2,I5,F8.2)"),
                       "expecting '(' for format beginning: I5,F8.2,I5,F8.2,I5,F");
}

TEST_F(FormatTest, InitialBlankModeFollowsTheUnit) {
  InternalStorage storage({"1"});
  unit_record* unit = startRead(storage, "(I1)");
  EXPECT_EQ(unit->format->edit_flags, 0u);
  unit->mode |= UNIT_MODE_BLANK_ZERO;
  init_format(UNIT_INTERNAL, "(I1)");
  EXPECT_EQ(unit->format->edit_flags, static_cast<uint32_t>(FORMAT_FLAG_BZ));
}

}  // namespace
