// The unit table and file connection: naming, reopening, statuses, closing, inquiries, setters,
// the retrying open and the texts the host is told. Every test runs in a private directory.
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "nuvex/runtime/strings.h"
#include "platform/pause.h"
#include "platform/retry_question.h"
#include "runtime/runtime_session.h"
#include "runtime/unit_table_internal.h"
#include "support/scratch_directory.h"

namespace nuvex::testing::units {
namespace {

namespace fs = std::filesystem;
using platform::RetryAnswer;

std::string contents(const char* path) {
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

void writeFile(const char* path, const char* text) {
  std::ofstream(path) << text;
}

// The replaced platform services: pauses are counted, questions answered from a script.
struct PlatformScript {
  std::vector<unsigned> pauses;
  std::vector<std::string> captions, questions;
  std::vector<RetryAnswer> answers;  // consumed in order; Cancel once exhausted
  void (*beforeAnswer)() = nullptr;
};
PlatformScript script;

void countPause(unsigned milliseconds) {
  script.pauses.push_back(milliseconds);
}

RetryAnswer scriptedAnswer(const char* caption, const char* text) {
  script.captions.push_back(caption);
  script.questions.push_back(text);
  if (script.beforeAnswer != nullptr) script.beforeAnswer();
  const std::size_t asked = script.questions.size();
  return asked <= script.answers.size() ? script.answers[asked - 1] : RetryAnswer::Cancel;
}

class UnitTable : public RuntimeSession {
 protected:
  void SetUp() override {
    RuntimeSession::SetUp();
    script = {};
    platform::setPauseForTesting(countPause);
    platform::setRetryQuestionForTesting(scriptedAnswer);
  }
  void TearDown() override {
    RuntimeSession::TearDown();
    platform::setPauseForTesting(nullptr);
    platform::setRetryQuestionForTesting(nullptr);
  }
  std::vector<std::string> logTexts() {
    std::vector<std::string> texts;
    for (const LogLine& line : seen().logs) {
      EXPECT_EQ(line.level, -1);
      texts.push_back(line.text);
    }
    return texts;
  }
  unit_record& unit(int n) { return *f_unit(n); }

  ScratchDirectory directory_;
};

TEST_F(UnitTable, EmptyNamesGiveScratchNames) {
  ASSERT_EQ(open_unit(7, "", "", "", "", 0), 1);
  ASSERT_EQ(open_unit(8, "   ", "", "", "", 0), 1);
  ASSERT_EQ(open_unit(9, nullptr, "", "", "", 0), 1);
  EXPECT_TRUE(fs::exists("scr7.dat"));
  EXPECT_TRUE(fs::exists("scr8,dat"));
  EXPECT_TRUE(fs::exists("scr9.dat"));
  char name[UNIT_ANSWER_NAME_SIZE];
  inquire_name(8, name);
  EXPECT_STREQ(name, "scr8,dat");
}

TEST_F(UnitTable, ReopenUnderTheSameNameKeepsEverything) {
  ASSERT_EQ(open_unit(7, "data.txt", "UNKNOWN", "", "", 0), 1);
  FILE* stream = unit(7).stream;
  std::fputs("abc", stream);
  EXPECT_EQ(open_unit(7, "  Data.TXT ", "NEW", "", "", 0), 1);
  EXPECT_EQ(unit(7).stream, stream);
  EXPECT_EQ(std::ftell(stream), 3);
  EXPECT_EQ(unit(7).status, UNIT_STATUS_UNKNOWN);
  EXPECT_EQ(logTexts(), std::vector<std::string>{"open_unit 7 OK at calc/VOKS/OPNCLS 467 with "
                                                 "inqu_opened status 0 file   Data.TXT \n"});
}

TEST_F(UnitTable, ReopenUnderAnotherNameClosesTheFirstFile) {
  ASSERT_EQ(open_unit(7, "first.txt", "NEW", "", "", 0), 1);
  std::fputs("one", unit(7).stream);
  ASSERT_EQ(open_unit(7, "second.txt", "NEW", "", "", 0), 1);
  EXPECT_EQ(contents("first.txt"), "one");
  EXPECT_EQ(inquire_number("first.txt"), -1);
  EXPECT_EQ(inquire_number("second.txt"), 7);
}

TEST_F(UnitTable, UnknownCreatesOrKeeps) {
  ASSERT_EQ(open_unit(7, "new.txt", "UNKNOWN", "", "", 0), 1);
  EXPECT_TRUE(fs::exists("new.txt"));
  writeFile("old.txt", "keep me");
  ASSERT_EQ(open_unit(8, "old.txt", "", "", "", 0), 1);
  EXPECT_EQ(close_unit(8), 1);
  EXPECT_EQ(contents("old.txt"), "keep me");
}

// Regression: APPEND with UNKNOWN opened an existing file at its start and overwrote it.
TEST_F(UnitTable, AppendAccessWritesAtTheEnd) {
  for (const char* status : {"OLD", "UNKNOWN"}) {
    writeFile("log.txt", "abc");
    ASSERT_EQ(open_unit(7, "log.txt", status, "", "APPEND", 0), 1) << status;
    EXPECT_EQ(unit(7).access, UNIT_ACCESS_SEQUENTIAL);
    std::fputs("def", unit(7).stream);
    close_unit(7);
    EXPECT_EQ(contents("log.txt"), "abcdef") << status;
  }
}

TEST_F(UnitTable, ScratchFilesVanishOnClose) {
  ASSERT_EQ(open_unit(7, "temp.dat", "SCRATCH", "", "", 0), 1);
  EXPECT_TRUE(fs::exists("temp.dat"));
  EXPECT_EQ(_cls_unit(7), 1);
  EXPECT_FALSE(fs::exists("temp.dat"));
  EXPECT_EQ(unit(7).name, nullptr);
  EXPECT_EQ(unit(7).record, nullptr);
}

TEST_F(UnitTable, ClosingStandardUnitsKeepsTheStandardStreams) {
  EXPECT_EQ(_cls_unit(5), 1);
  EXPECT_EQ(_cls_unit(6), 1);
  EXPECT_EQ(unit(6).stream, nullptr);
  EXPECT_EQ(std::fflush(stdout), 0);
  EXPECT_NE(std::fputs("", stdout), EOF);
  EXPECT_EQ(close_unit(6), -1) << "no longer connected";
  EXPECT_EQ(close_unit(UNIT_STDOUT), -1);
  EXPECT_EQ(close_unit(-4), -1);
}

TEST_F(UnitTable, FormAndRecordLengthDefaultByAccess) {
  ASSERT_EQ(open_unit(7, "direct.bin", "NEW", "", "DIRECT", 20), 1);
  ASSERT_EQ(open_unit(8, "seq.txt", "NEW", "", "", 0), 1);
  ASSERT_EQ(open_unit(9, "seq.bin", "NEW", "UNFORMATTED", "", 0), 1);
  char form[UNIT_ANSWER_FORM_SIZE], access[UNIT_ANSWER_ACCESS_SIZE], yes[UNIT_ANSWER_KEYWORD_SIZE];
  inquire_form(7, form);
  inquire_access(7, access);
  inquire_direct(7, yes);
  EXPECT_STREQ(form, "UNFORMATTED");
  EXPECT_STREQ(access, "DIRECT");
  EXPECT_STREQ(yes, "YES");
  EXPECT_EQ(unit(7).recl, 20u);
  EXPECT_EQ(unit(7).format, nullptr);
  inquire_form(8, form);
  inquire_sequential(8, yes);
  EXPECT_STREQ(form, "FORMATTED");
  EXPECT_STREQ(yes, "YES");
  EXPECT_EQ(unit(8).recl, 256u);
  EXPECT_NE(unit(8).format, nullptr);
  EXPECT_EQ(std::string(unit(8).record), std::string(256, ' '));
  EXPECT_EQ(unit(8).record_end, unit(8).record + 256);
  EXPECT_EQ(unit(8).mode & (UNIT_MODE_PAD | UNIT_MODE_BLANK_ZERO), unsigned{UNIT_MODE_PAD});
  EXPECT_EQ(unit(9).recl, 1u);
}

TEST_F(UnitTable, RefusedKeywordsSetTheirIostat) {
  struct Case {
    const char *status, *form, *access;
    int recl;
    int iostat, line;
  };
  const Case cases[] = {
      {"OLD", "", "", 0, 1, 569},      {"MAYBE", "", "", 0, 5, 569},
      {"NEW", "TEXT", "", 0, 6, 486},  {"NEW", "", "DIRECT", 0, 7, 486},
      {"NEW", "", "KEYED", 0, 8, 486},
  };
  for (const Case& c : cases) {
    seen().logs.clear();
    EXPECT_EQ(open_unit_once(7, "missing.txt", c.status, c.form, c.access, c.recl), -1);
    EXPECT_EQ(unit(7).iostat, c.iostat) << c.status << c.form << c.access;
    EXPECT_EQ(logTexts(), std::vector<std::string>{
                              "open_unit 7 failed at calc/VOKS/OPNCLS " + std::to_string(c.line) +
                              " with status " + std::to_string(c.iostat) + " file missing.txt\n"});
    unit(7).iostat = 0;
  }
}

TEST_F(UnitTable, InquireNumberNormalisesTheName) {
  ASSERT_EQ(open_unit(9, "Data.txt", "NEW", "", "", 0), 1);
  ASSERT_EQ(open_unit(3, "data.txt", "OLD", "", "", 0), 1);
  EXPECT_EQ(inquire_number("DATA.TXT  "), 3);
  EXPECT_EQ(inquire_number("other.txt"), -1);
  EXPECT_EQ(inquire_number("   "), -1) << "the unnamed standard units are no match";
  EXPECT_EQ(inquire_named(3), 1);
  EXPECT_EQ(inquire_opened(3), 1);
  close_unit(3);
  EXPECT_EQ(inquire_opened(3), 0);
  EXPECT_EQ(inquire_named(3), 0);
  char name[UNIT_ANSWER_NAME_SIZE] = "stale";
  inquire_name(3, name);
  EXPECT_STREQ(name, "");
}

TEST_F(UnitTable, InquiriesOfAClosedUnitReportItsLastFields) {
  ASSERT_EQ(open_unit(7, "d.bin", "NEW", "", "DIRECT", 8), 1);
  close_unit(7);
  char access[UNIT_ANSWER_ACCESS_SIZE];
  inquire_access(7, access);
  EXPECT_STREQ(access, "DIRECT");
}

TEST_F(UnitTable, BlankKeywordsSetTheMode) {
  ASSERT_EQ(open_unit(7, "b.txt", "NEW", "", "", 0), 1);
  char blank[UNIT_ANSWER_KEYWORD_SIZE];
  EXPECT_EQ(set_unit_blank(7, "zero "), 1);
  inquire_blank(7, blank);
  EXPECT_STREQ(blank, "ZERO");
  EXPECT_EQ(set_unit_blank(7, "Null"), 1);
  inquire_blank(7, blank);
  EXPECT_STREQ(blank, "NULL");
  EXPECT_EQ(set_unit_blank(7, "ZEROS"), -1);
  EXPECT_EQ(unit(7).iostat, 9);
  EXPECT_EQ(set_unit_blank(7, "ZERO"), -1) << "an unfinished error blocks the setter";
  EXPECT_EQ(set_unit_blank(8, "ZERO"), -1) << "not connected";
}

TEST_F(UnitTable, ModeSetters) {
  ASSERT_EQ(open_unit(7, "m.txt", "NEW", "", "", 0), 1);
  set_unit_action(7, "read");
  EXPECT_EQ(unit(7).action, UNIT_ACTION_READ);
  set_unit_action(7, "sideways");
  EXPECT_EQ(unit(7).action, UNIT_ACTION_READ);
  set_unit_action(7, "WRITE");
  EXPECT_EQ(unit(7).action, UNIT_ACTION_WRITE);
  set_unit_pad(7, "NO");
  EXPECT_EQ(unit(7).mode & UNIT_MODE_PAD, 0u);
  set_unit_pad(7, "yes");
  EXPECT_NE(unit(7).mode & UNIT_MODE_PAD, 0u);
  set_unit_carriage_control(7, "fortran");
  EXPECT_NE(unit(7).mode & UNIT_MODE_CARRIAGE, 0u);
  set_unit_carriage_control(7, "LIST");
  EXPECT_EQ(unit(7).mode & UNIT_MODE_CARRIAGE, 0u);
  set_unit_pad(UNIT_STDOUT, "NO");
  EXPECT_NE(unit(UNIT_STDOUT).mode & UNIT_MODE_PAD, 0u) << "only units 0 to 99";
  EXPECT_RUNTIME_FATAL(set_unit_carriage_control(100, "FORTRAN"),
                       "bad unit number used (100), valid units: 1 to 99");
}

TEST_F(UnitTable, F77iniPreopensTheStandardAndInternalUnits) {
  EXPECT_EQ(unit(5).stream, stdin);
  EXPECT_EQ(unit(6).stream, stdout);
  EXPECT_EQ(unit(UNIT_STDIN).stream, stdin);
  EXPECT_EQ(unit(UNIT_STDOUT).stream, stdout);
  EXPECT_EQ(unit(5).status, UNIT_STATUS_OLD);
  EXPECT_EQ(unit(6).status, UNIT_STATUS_NEW);
  EXPECT_NE(unit(6).mode & UNIT_MODE_CARRIAGE, 0u);
  EXPECT_NE(unit(UNIT_STDOUT).mode & UNIT_MODE_CARRIAGE, 0u);
  EXPECT_EQ(unit(5).mode & UNIT_MODE_CARRIAGE, 0u);
  const unit_record& internal = unit(UNIT_INTERNAL);
  EXPECT_EQ(internal.stream, nullptr);
  EXPECT_EQ(internal.status, UNIT_STATUS_UNKNOWN);
  EXPECT_EQ(internal.mode & (UNIT_MODE_INTERNAL | UNIT_MODE_UNFORMATTED),
            unsigned{UNIT_MODE_INTERNAL});
  EXPECT_EQ(f_carriage_control_on_stdout, 1);
  EXPECT_EQ(f_output_after_eof_allowed, 1);
  EXPECT_EQ(f_unit(103), nullptr);
  EXPECT_EQ(f_unit(-1), nullptr);
}

TEST_F(UnitTable, ConnectingTheInternalUnitAllocatesNoRecord) {
  connect_unit(UNIT_INTERNAL, "", "", "", 0);
  EXPECT_EQ(unit(UNIT_INTERNAL).record, nullptr);
  EXPECT_EQ(unit(UNIT_INTERNAL).recl, 0u);
  EXPECT_NE(unit(UNIT_INTERNAL).mode & UNIT_MODE_INTERNAL, 0u);
}

TEST_F(UnitTable, ConnectionCheck) {
  EXPECT_EQ(unit_is_open(-1), 0);
  EXPECT_EQ(unit_is_open(UNIT_STDIN), 1);
  EXPECT_EQ(unit_is_open(42), 0);
  EXPECT_TRUE(diagnostics().empty());
  unit(UNIT_STDOUT).stream = nullptr;
  EXPECT_EQ(unit_is_open(UNIT_STDOUT), 0);
  EXPECT_EQ(diagnostics(),
            "VOKS WARNING: failure to pre-open STDIN/OUT_UNIT - missing f77ini() call\n");
  EXPECT_RUNTIME_FATAL(unit_is_open(UNIT_INTERNAL),
                       "bad unit number used (100), valid units: 1 to 99");
  EXPECT_RUNTIME_FATAL(open_unit(100, "x", "", "", "", 0),
                       "bad unit number used (100), valid units: 1 to 99");
}

TEST_F(UnitTable, AutoOpenOnAScratchName) {
  auto_open_unit(12);
  EXPECT_EQ(diagnostics(), "VOKS WARNING: opening temp seq., formatted file on UNopened unit 12\n");
  EXPECT_TRUE(fs::exists("scr12.dat"));
  EXPECT_EQ(unit(12).mode & UNIT_MODE_UNFORMATTED, 0u);
  fs::create_directory("scr13.dat");  // a directory cannot be opened as the file
  EXPECT_RUNTIME_FATAL(auto_open_unit(13), "can't open temp. file for unit 13");
}

TEST_F(UnitTable, AutoOpenOfStandardOutputPreopens) {
  unit(UNIT_STDOUT).stream = nullptr;
  auto_open_unit(UNIT_STDOUT);
  EXPECT_EQ(diagnostics(),
            "VOKS WARNING: pre-opening STDIN/OUT_UNIT - since missing f77ini() call\n");
  EXPECT_EQ(unit(UNIT_STDOUT).stream, stdout);
}

TEST_F(UnitTable, OpenWithPosition) {
  writeFile("p.txt", "hello");
  ASSERT_EQ(open_unit_pos(7, "p.txt", "OLD", "", "APPEND"), 1);
  EXPECT_EQ(std::ftell(unit(7).stream), 5);
  ASSERT_EQ(open_unit_pos(7, "P.TXT", "WRITE", "", "REWIND"), 1);
  EXPECT_EQ(std::ftell(unit(7).stream), 0);
  EXPECT_EQ(unit(7).action, UNIT_ACTION_WRITE);
  EXPECT_EQ(unit(7).status, UNIT_STATUS_NEW);
  EXPECT_EQ(contents("p.txt"), "hello") << "the same file is not reopened";
  unit(7).iostat = -1;
  EXPECT_EQ(open_unit_pos(7, "p.txt", "OLD", "", "ASIS"), -1);
  EXPECT_EQ(open_unit_pos(8, "q.txt", "PERHAPS", "", ""), -1);
  EXPECT_EQ(unit(8).iostat, 5);
  EXPECT_TRUE(seen().logs.empty()) << "the positioned open logs nothing";
}

// Regression: a unit connected to the same file with an end of file pending was retried 31
// times and the user asked, because the loop looked at iostat instead of the open's result.
TEST_F(UnitTable, RetryingOpenDoesNotRetryAKeptConnection) {
  ASSERT_EQ(open_unit(7, "data.txt", "NEW", "", "", 0), 1);
  unit(7).iostat = -1;
  EXPECT_EQ(open_unit(7, "data.txt", "NEW", "", "", 0), 1);
  EXPECT_TRUE(script.pauses.empty());
}

std::vector<std::string> retryLogs(int count) {
  std::vector<std::string> lines;
  for (int retry = 0; retry < count; ++retry) {
    lines.push_back("open_unit 7 failed at calc/VOKS/OPNCLS 569 with status 1 file no/x.dat\n");
    lines.push_back("open_unit 7 failed with status 1 retry " + std::to_string(retry) +
                    " for file no/x.dat\n");
  }
  return lines;
}

std::string question(int trials) {
  return "Unable to Open File \n    no/x.dat\nafter " + std::to_string(trials) +
         " trials.\nCheck if file is in use by another application and check disk free space.";
}

TEST_F(UnitTable, RetryingOpenGivesUpOnCancel) {
  EXPECT_THROW(open_unit(7, "no/x.dat", "OLD", "", "", 0), CCalcAbortException);
  EXPECT_EQ(script.pauses, std::vector<unsigned>(30, 500u));
  EXPECT_EQ(logTexts(), retryLogs(31));
  EXPECT_EQ(seen().messages, std::vector<std::string>{"Unable to Open File no/x.dat"});
  EXPECT_EQ(script.captions, std::vector<std::string>{"PELORA"});
  EXPECT_EQ(script.questions, std::vector<std::string>{question(30)});
}

TEST_F(UnitTable, RetryGivesExactlyOneMoreAttempt) {
  script.answers = {RetryAnswer::Retry};
  EXPECT_THROW(open_unit(7, "no/x.dat", "OLD", "", "", 0), CCalcAbortException);
  EXPECT_EQ(script.pauses.size(), 30u);
  EXPECT_EQ(logTexts(), retryLogs(32));
  EXPECT_EQ(script.questions, (std::vector<std::string>{question(30), question(31)}));
  EXPECT_EQ(seen().messages.size(), 2u);
}

TEST_F(UnitTable, RetrySucceedsOnceTheFileIsThere) {
  script.answers = {RetryAnswer::Retry};
  script.beforeAnswer = [] {
    fs::create_directory("no");
    writeFile("no/x.dat", "now here");
  };
  EXPECT_EQ(open_unit(7, "no/x.dat", "OLD", "", "", 0), 1);
  EXPECT_EQ(script.questions.size(), 1u);
  EXPECT_EQ(unit(7).iostat, 0);
}

TEST_F(UnitTable, FailedScratchRemovalIsLoggedAndBlocksTheReopen) {
  ASSERT_EQ(open_unit(7, "s.tmp", "SCRATCH", "", "", 0), 1);
  fs::remove("s.tmp");
  EXPECT_EQ(open_unit_once(7, "other.txt", "NEW", "", "", 0), -1);
  EXPECT_EQ(logTexts(), (std::vector<std::string>{
                            "_cls_unit 7 failed at calc/VOKS/OPNCLS 206 with status 22 file "
                            "s.tmp; exists = 0\n",
                            "open_unit 7 failed at calc/VOKS/OPNCLS 477 with status 22 file "
                            "other.txt\n"}));
  EXPECT_TRUE(seen().messages.empty()) << "no message for a file that is gone";
  EXPECT_EQ(open_unit_once(7, "other.txt", "NEW", "", "", 0), 1) << "the unit is free again";
}

TEST_F(UnitTable, FailedCloseIsLoggedAndShown) {
  if (!fs::exists("/dev/full")) GTEST_SKIP() << "needs a device that refuses writes";
  ASSERT_EQ(open_unit(7, "/dev/full", "OLD", "", "", 0), 1);
  std::fputs("lost", unit(7).stream);
  EXPECT_EQ(_cls_unit(7), -1);
  EXPECT_EQ(unit(7).iostat, 21);
  EXPECT_EQ(logTexts(), std::vector<std::string>{"_cls_unit 7 failed at calc/VOKS/OPNCLS 176 "
                                                 "with status 21 file /dev/full; exists = 1\n"});
  EXPECT_EQ(seen().messages,
            std::vector<std::string>{"_cls_unit Unable to close File 7 /dev/full"});
  EXPECT_EQ(unit(7).stream, nullptr) << "a closed stream is never closed twice";
  EXPECT_EQ(_cls_unit(7), 1);
}

TEST_F(UnitTable, CloseAllReportsFailuresOnStandardError) {
  if (!fs::exists("/dev/full")) GTEST_SKIP() << "needs a device that refuses writes";
  ASSERT_EQ(open_unit(7, "/dev/full", "OLD", "", "", 0), 1);
  ASSERT_EQ(open_unit(8, "fine.txt", "NEW", "", "", 0), 1);
  ::testing::internal::CaptureStderr();  // flushes every stream: write the doomed data after it
  std::fputs("lost", unit(7).stream);
  close_all_units();
  EXPECT_EQ(unit(7).iostat, 21);
  EXPECT_EQ(::testing::internal::GetCapturedStderr(),
            "unable to properly close one or more units\n");
  EXPECT_EQ(unit(8).stream, nullptr) << "closing goes on after a failure";
  unit(7).iostat = 0;
}

}  // namespace
}  // namespace nuvex::testing::units
