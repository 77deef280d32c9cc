// FORMAT interpretation: descriptor parsing, repetition, groups and reversion, control edits
// and the diagnostics of malformed FORMAT texts. Case lists live in tests/data/format_*.txt.
#include "nuvex/runtime/format.h"

#include <gtest/gtest.h>

#include <regex>
#include <string>
#include <vector>

#include "nuvex/runtime/formatted_input.h"
#include "nuvex/runtime/statements.h"
#include "runtime_session.h"
#include "support/case_file.h"

namespace {

using nuvex::testing::readCases;

class FormatTest : public nuvex::testing::units::RuntimeSession {
 protected:
  // Starts a statement on internal records of `recl` columns, each followed by its NUL, plus one
  // spare record.
  unit_record* start(const char* format, std::vector<std::string> records = {""}, size_t recl = 20,
                     bool writing = false) {
    recl_ = recl;
    bytes_.assign((recl + 1) * (records.size() + 1), '\0');
    for (size_t i = 0; i < records.size(); ++i) records[i].copy(record(i), recl);
    const uint32_t last = static_cast<uint32_t>(recl - 1);
    writing ? begin_write_internal(bytes_.data(), 0, last, format)
            : begin_read_internal(bytes_.data(), 0, last, format);
    return f_unit(UNIT_INTERNAL);
  }
  char* record(size_t i) { return bytes_.data() + i * (recl_ + 1); }
  edit_descriptor next(unit_record* unit, int writing = 0) {
    edit_descriptor d{};
    advance_format(unit, 0, writing);
    next_edit_descriptor(unit, &d);
    return d;
  }
  // Reads an array of `count` integers through `format`.
  std::vector<int32_t> readInts(const char* format, std::vector<std::string> records, size_t recl,
                                int count) {
    std::vector<int32_t> values(count, -1);
    start(format, std::move(records), recl);
    EXPECT_EQ(readfmt(UNIT_INTERNAL, "%Ad", int64_t{count}, values.data()), 1);
    return values;
  }

  size_t recl_ = 0;
  std::vector<char> bytes_;
};

TEST_F(FormatTest, DescriptorFieldsDefaultsAndPositionEdits) {
  for (const auto& c : readCases("format_descriptors.txt")) {
    unit_record* unit = start(c.fields[0].c_str(), {"abcdefghij"}, 10);
    edit_descriptor d = next(unit);
    EXPECT_EQ(std::string(1, d.code), c.fields[1]) << c.where();
    EXPECT_EQ(std::vector<int>({d.width, d.digits, d.exponent}),
              std::vector<int>({c.integer(2), c.integer(3), c.integer(4)}))
        << c.where();
    EXPECT_EQ(unit->cursor - unit->record + 1, c.integer(5)) << c.where();
  }
}

TEST_F(FormatTest, DiagnosticsOfMalformedFormats) {
  auto cases = readCases("format_diagnostics.txt", '\t');
  EXPECT_GE(cases.size(), 25u);
  for (const auto& c : cases) {
    nuvex::testing::units::DiagnosticsCapture capture;
    next(start(c.fields[0].c_str(), {"12345678901234567890"}));
    EXPECT_EQ(capture.text(), std::regex_replace(c.fields.at(1), std::regex(R"(\\n)"), "\n"))
        << c.where();
  }
}

// Also covers huge repeat counts of control edits, which must end as quickly as one repetition.
TEST_F(FormatTest, ControlEditsOnOutput) {
  for (const auto& c : readCases("format_output_walk.txt")) {
    unit_record* unit = start(c.fields[0].c_str(), {""}, c.integer(1), true);
    next(unit, 1);
    EXPECT_EQ(std::string(unit->record, unit->recl), c.fields[2]) << c.where();
    EXPECT_EQ(unit->iostat, c.integer(3)) << c.where();
  }
}

TEST_F(FormatTest, RepeatedDescriptorIsReadOnceAndCopiedWithinTheRecord) {
  unit_record* unit = start("(3I4)", {"1", "2"});
  next(unit);
  const char* afterText = unit->format->fcursor;
  for (int copy = 0; copy < 2; ++copy) {
    EXPECT_EQ(next(unit).width, 4);
    EXPECT_EQ(unit->format->fcursor, afterText);
    EXPECT_EQ(unit->record, record(0)) << "a copy must not advance the record";
  }
  next(unit);  // the fourth item reverts to the next record
  EXPECT_EQ(unit->record, record(1));
}

TEST_F(FormatTest, ReversionAndSlashReadFurtherRecords) {
  const std::vector<std::string> records = {"   11", "   22", "   33"};
  EXPECT_EQ(readInts("(I5)", records, 5, 3), (std::vector<int32_t>{11, 22, 33}));
  EXPECT_EQ(readInts("(I5/I5//)", records, 5, 2), (std::vector<int32_t>{11, 22}));
  EXPECT_EQ(f_unit(UNIT_INTERNAL)->iostat, 0);
  // The 1X applies to the first record only: reversion resumes at 2(I3,I2), twice again.
  EXPECT_EQ(readInts("(1X,2(I3,I2))", {"X 12 1 34 2", " 56 3 78 4"}, 11, 8),
            (std::vector<int32_t>{12, 1, 34, 2, 56, 3, 78, 4}));
  format_state* format = f_unit(UNIT_INTERNAL)->format;
  EXPECT_EQ(format->reversion_level, 1);
  EXPECT_EQ(format->reversion_repeat, 2);
  EXPECT_EQ(*format->reversion, '(');
}

TEST_F(FormatTest, SevenLevelsAreAcceptedAndAnEighthIsPassedOver) {
  EXPECT_EQ(readInts("((((((( I3 )))))))", {"123"}, 20, 1)[0], 123);
  EXPECT_EQ(diagnostics(), "");
  // The eighth level, (I1), has no slot: it is reported and skipped whole, and I3 follows.
  EXPECT_EQ(readInts("((((((((I1),I3)))))))", {"123"}, 20, 1)[0], 123);
  EXPECT_EQ(diagnostics(),
            "VOKS ERROR: ()'s in format nested too deeply\n(((((((<<?>>(I1),I3)))))))\n");
  EXPECT_EQ(f_unit(UNIT_INTERNAL)->format->level, 6);
}

TEST_F(FormatTest, FormatWithoutDataDescriptorStopsAfterOneReversion) {
  advance_format(start("(1X)", {"a", "b", "c", "d"}, 4), 0, 0);
  EXPECT_EQ(f_unit(UNIT_INTERNAL)->record, record(1)) << "one reversion, one record";
  EXPECT_EQ(diagnostics(), "VOKS ERROR: no data edit descriptor in format\n(1X<<?>>)\n");
}

TEST_F(FormatTest, SignBlankAndScaleModesApplyUntilChanged) {
  unit_record* unit = start("(SP,F8.2,SS,F8.2,SP,BZ,I1,bn,-2P,S,F3.1,P,F3.1)", {""}, 20, true);
  std::string modes;  // per data descriptor: sign mode, blank mode, scale factor
  for (int item = 0; item < 5; ++item) {
    next(unit, 1);
    modes += (unit->format->edit_flags & FORMAT_FLAG_SP) ? "+" : "-";
    modes += (unit->format->edit_flags & FORMAT_FLAG_BZ) ? "z" : "b";
    modes += std::to_string(unit->format->scale) + " ";
  }
  EXPECT_EQ(modes, "+b0 -b0 +z0 -b-2 -b0 ");
  unit->mode |= UNIT_MODE_BLANK_ZERO;  // the initial blank mode follows the unit
  init_format(UNIT_INTERNAL, "(I1)");
  EXPECT_EQ(unit->format->edit_flags, static_cast<uint32_t>(FORMAT_FLAG_BZ));
}

TEST_F(FormatTest, ColonStopsAFinishingWalkAndTheFinishClearsTheLabel) {
  for (const char* format : {"(I5,:,'end')", "(I5,'end')"}) {
    unit_record* unit = start(format, {""}, 12, true);
    next(unit, 1);
    unit->cursor += 5;  // the item's field
    f_current_format_label = 10;
    advance_format(unit, 1, 1);
    EXPECT_EQ(std::string(unit->record, 12), format[4] == ':' ? "            " : "     end    ");
    if (format[4] != ':') {
      EXPECT_EQ(f_current_format_label, 0) << "the finished walk clears it";
    }
  }
}

TEST_F(FormatTest, LookupByLabelAndStartChecks) {
  format_table_entry table[] = {{100, "(I0)"}, {200, "(F8.2)"}, {0, nullptr}};
  EXPECT_STREQ(find_format(200, table), "(F8.2)");
  EXPECT_EQ(f_current_format_label, 200);
  next(start(find_format(100, table)));
  EXPECT_EQ(diagnostics(), "VOKS ERROR: field width must be > 0\n100 FORMAT(I<<?>>0)\n");
  EXPECT_RUNTIME_FATAL(find_format(300, table), "format reference wasn't found for '300'");
  for (const char* missing : {"   ", static_cast<const char*>(nullptr)}) {
    EXPECT_RUNTIME_FATAL(start(missing),
                         "missing format in read/write initialization for unit 100");
  }
  EXPECT_RUNTIME_FATAL(start("  I5,F8.2,I5,F8.2,I5,F8.2)"),
                       "expecting '(' for format beginning: I5,F8.2,I5,F8.2,I5,F");
}

}  // namespace
