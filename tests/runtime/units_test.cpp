// The unit table and file connection. Naming, statuses, reopening, closing, inquiries and setters
// are scenarios in tests/data/units_*.txt run step by step; the retrying open, the fatal paths
// and failing devices are tested here. Every test runs in a private directory.
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <regex>
#include <sstream>
#include <utility>

#include "platform/pause.h"
#include "platform/retry_question.h"
#include "platform/system_services.h"
#include "runtime/runtime_session.h"
#include "runtime/unit_table_internal.h"
#include "support/case_file.h"
#include "support/scratch_directory.h"

namespace nuvex::testing::units {
namespace {

namespace fs = std::filesystem;
constexpr bool kWindows = NUVEX_TEST_ON_WINDOWS;  // set by the build
using platform::RetryAnswer;

// A file's whole text, or "-" when there is no such file.
std::string contents(const std::string& path) {
  std::ifstream in(path);
  return in ? std::string(std::istreambuf_iterator<char>(in), {}) : "-";
}

// A unit as the scenarios spell it: stream, name, keyword inquiries, recl, STATUS, ACTION, flags.
std::string describe(int unit) {
  const unit_record& u = *f_unit(unit);
  const char* stream = u.stream == stdin ? "stdin" : u.stream == stdout ? "stdout" : "file";
  std::ostringstream out;
  out << (u.stream ? stream : "none") << (u.name ? " '" + std::string(u.name) + "'" : " -");
  for (auto inquire : {inquire_form, inquire_access, inquire_direct, inquire_sequential,
                       inquire_formatted, inquire_unformatted, inquire_blank}) {
    char answer[UNIT_ANSWER_FORM_SIZE] = "?";
    inquire(unit, answer);
    out << ' ' << answer;
  }
  const char* statuses[] = {"OLD", "NEW", "SCRATCH", "UNKNOWN"};
  const char* actions[] = {"READWRITE", "READ", "WRITE"};
  out << ' ' << u.recl << ' ' << statuses[u.status] << ' ' << actions[u.action]
      << (u.mode & UNIT_MODE_CARRIAGE ? " CARRIAGE" : "") << (u.mode & UNIT_MODE_PAD ? " PAD" : "");
  return out.str();
}

// Line ends spelt out as "\n", so that a data field can hold several lines.
std::string spelt(const std::string& text) {
  return std::regex_replace(text, std::regex("\n"), "\\n");
}

// The replaced platform services: pauses are counted, questions answered from a script and
// recorded among the host's messages, so that their order shows.
struct PlatformScript {
  std::vector<unsigned> pauses;
  int retries = 0;  // Retry answers before the first Cancel
  void (*beforeAnswer)() = nullptr;
} script;

RetryAnswer scriptedAnswer(const char* caption, const char* text) {
  recorder().messages.push_back(std::string("question ") + caption + ": " + text);
  if (script.beforeAnswer != nullptr) script.beforeAnswer();
  return script.retries-- > 0 ? RetryAnswer::Retry : RetryAnswer::Cancel;
}

class UnitTable : public RuntimeSession {
 protected:
  void SetUp() override {
    RuntimeSession::SetUp();
    script = {};
    platform::setPauseForTesting([](unsigned ms) { script.pauses.push_back(ms); });
    platform::setRetryQuestionForTesting(scriptedAnswer);
  }
  void TearDown() override {
    RuntimeSession::TearDown();
    platform::setPauseForTesting(nullptr);
    platform::setRetryQuestionForTesting(nullptr);
  }
  // What the host was told since the last look: the log lines (all level -1), then the
  // messages, each with a line end.
  std::string takeHostTexts() {
    std::string texts;
    for (const LogLine& line : std::exchange(seen().logs, {}))
      texts += (line.level == -1 ? "" : "[level?]") + line.text;
    for (const std::string& message : std::exchange(seen().messages, {}))
      texts += "message: " + message + "\n";
    return texts;
  }
  // One scenario step (see the data files): what it gave, as the data spells it.
  std::string step(const std::vector<std::string>& f) {
    const std::string& op = f[0];
    auto arg = [&](std::size_t i) { return f[i] == "~" ? nullptr : f[i].c_str(); };
    auto str = [](long value) { return std::to_string(value); };
    const int n = std::atoi(f.at(1).c_str());  // the unit, where the first argument is one
    if (op == "scenario") {
      close_all_units();
      f77ini();
      directory_.emplace();
      warnings_.emplace();
      seen().clear();
      return f.back();
    }
    if (op == "open")
      return str(open_unit_once(n, arg(2), arg(3), arg(4), arg(5), std::stoi(f[6])));
    if (op == "open_pos") return str(open_unit_pos(n, arg(2), arg(3), arg(4), arg(5)));
    if (op == "close") return str(close_unit(n));
    if (op == "_cls") return str(_cls_unit(n));
    if (op == "create") std::ofstream(f[1]) << f[2];
    if (op == "remove") fs::remove(f[1]);
    if (op == "write") std::fputs(f[2].c_str(), f_unit(n)->stream);
    if (op == "tell") return str(std::ftell(f_unit(n)->stream));
    if (op == "file") return contents(f[1]);
    if (op == "number") return str(inquire_number(f[1].c_str()));
    char name[UNIT_ANSWER_NAME_SIZE] = "stale";
    if (op == "named") inquire_name(n, name);
    if (op == "named")
      return str(inquire_named(n)) + " " + str(inquire_opened(n)) + " '" + name + "'";
    if (op == "blank") return str(set_unit_blank(n, arg(2)));
    if (op == "action") set_unit_action(n, arg(2));
    if (op == "pad") set_unit_pad(n, arg(2));
    if (op == "carriage") set_unit_carriage_control(n, arg(2));
    if (op == "iostat") return str(f_unit(n)->iostat);
    if (op == "unit") return describe(n);
    if (op == "host") return spelt(takeHostTexts());
    if (op == "warnings") return spelt(warnings_->text());
    if (op == "is_open") return str(unit_is_open(n));
    if (op == "auto_open") auto_open_unit(n);
    if (op == "forget") f_unit(n)->stream = nullptr;
    const std::string actions = " create remove write action pad carriage auto_open forget ";
    return actions.find(" " + op + " ") != std::string::npos ? "" : "unknown step " + op;
  }
  // Scenarios marked "POSIX only" need what Windows lacks: removing an open file, /dev/full.
  void runScenarios(const char* file) {
    bool skipped = false;
    for (const TestCase& c : readCases(file)) {
      if (c.fields[0] == "scenario") skipped = kWindows && c.fields[1].rfind("POSIX only", 0) == 0;
      if (skipped) continue;
      EXPECT_EQ(step(c.fields), c.fields.back()) << c.where();
    }
  }
  unit_record& unit(int n) { return *f_unit(n); }

  std::optional<ScratchDirectory> directory_{std::in_place};
  std::optional<DiagnosticsCapture> warnings_;  // of the current scenario
};

TEST_F(UnitTable, Scenarios) {
  runScenarios("units_scenarios.txt");
}

// Regression: APPEND with UNKNOWN opened an existing file at its start and overwrote it.
TEST_F(UnitTable, AppendAccessWritesAtTheEnd) {
  runScenarios("units_append_regression.txt");
}

TEST_F(UnitTable, InternalUnitAndBadUnitNumbers) {
  EXPECT_EQ(unit(UNIT_INTERNAL).mode & (UNIT_MODE_INTERNAL | UNIT_MODE_UNFORMATTED),
            unsigned{UNIT_MODE_INTERNAL});
  connect_unit(UNIT_INTERNAL, "", "", "", 0);
  EXPECT_EQ(unit(UNIT_INTERNAL).record, nullptr) << "the internal record is the caller's storage";
  EXPECT_EQ(f_carriage_control_on_stdout + f_output_after_eof_allowed, 2);
  EXPECT_TRUE(f_unit(103) == nullptr && f_unit(-1) == nullptr);
  const char* const badUnit = "bad unit number used (100), valid units: 1 to 99";
  EXPECT_RUNTIME_FATAL(unit_is_open(UNIT_INTERNAL), badUnit);
  EXPECT_RUNTIME_FATAL(open_unit(100, "x", "", "", "", 0), badUnit);
  EXPECT_RUNTIME_FATAL(set_unit_carriage_control(100, "FORTRAN"), badUnit);
  fs::create_directory("scr13.dat");  // a directory cannot be opened as the file
  EXPECT_RUNTIME_FATAL(auto_open_unit(13), "can't open temp. file for unit 13");
}

// Regression: a unit connected to the same file with an end of file pending was retried 31
// times and the user asked, because the loop looked at iostat instead of the open's result.
TEST_F(UnitTable, RetryingOpenDoesNotRetryAKeptConnection) {
  ASSERT_EQ(open_unit(7, "data.txt", "NEW", "", "", 0), 1);
  unit(7).iostat = -1;
  EXPECT_EQ(open_unit(7, "data.txt", "NEW", "", "", 0), 1);
  EXPECT_TRUE(script.pauses.empty());
}

// 31 silent attempts with 30 pauses of 500 ms, then the question; Cancel ends the calculation,
// Retry buys exactly one more attempt before the question comes again.
TEST_F(UnitTable, RetryingOpenAsksAfterThirtyPauses) {
  for (const int retries : {0, 1}) {
    script = {{}, retries};
    EXPECT_THROW(open_unit(7, "no/x", "OLD", "", "", 0), CCalcAbortException);
    EXPECT_EQ(script.pauses, std::vector<unsigned>(30, 500u));
    std::string told;
    for (int retry = 0; retry <= 30 + retries; ++retry) {
      told += "open_unit 7 failed at calc/VOKS/OPNCLS 569 with status 1 file no/x\nopen_unit 7 ";
      told += "failed with status 1 retry " + std::to_string(retry) + " for file no/x\n";
    }
    for (int retry = 30; retry <= 30 + retries; ++retry) {
      told += "message: Unable to Open File no/x\nmessage: question PELORA: Unable to Open File \n";
      told += "    no/x\nafter " + std::to_string(retry) + " trials.\nCheck if file is in use by ";
      told += "another application and check disk free space.\n";
    }
    EXPECT_EQ(takeHostTexts(), told);
  }
}

#if !NUVEX_TEST_ON_WINDOWS  // there the question is a message box
// The question's terminal form: only a line that starts (after blanks) with R or r retries.
TEST(RetryQuestion, TheTerminalAnswerRetriesOnlyOnR) {
  const std::pair<std::string, RetryAnswer> kAnswers[] = {
      {"r\n", RetryAnswer::Retry},    {"R\n", RetryAnswer::Retry},  {"retry\n", RetryAnswer::Retry},
      {" \tR", RetryAnswer::Retry},   {"c\n", RetryAnswer::Cancel}, {"\n", RetryAnswer::Cancel},
      {"x r\n", RetryAnswer::Cancel}, {"", RetryAnswer::Cancel}};  // "": the end of the input
  for (auto [typed, expected] : kAnswers) {
    typed += '\n';  // fmemopen needs a byte; it is read away below for the end of the input
    FILE* terminal = fmemopen(typed.data(), typed.size(), "r");
    ASSERT_NE(terminal, nullptr);
    if (typed == "\n") std::fgetc(terminal);
    EXPECT_EQ(platform::readTerminalAnswer(terminal), expected) << typed;
    std::fclose(terminal);
  }
}
#endif

TEST_F(UnitTable, RetrySucceedsOnceTheFileIsThere) {
  script.retries = 1;
  script.beforeAnswer = [] {
    fs::create_directory("no");
    std::ofstream("no/x.dat") << "now here";
  };
  EXPECT_EQ(open_unit(7, "no/x.dat", "OLD", "", "", 0), 1);
  EXPECT_EQ(seen().messages.size(), 2u) << "one message, one question";
  EXPECT_EQ(unit(7).iostat, 0);
}

// Closing all units goes on past a failure (the failed-close texts are in the scenarios) and
// leaves the standard streams open.
TEST_F(UnitTable, CloseAllReportsFailuresOnStandardError) {
  if (kWindows) {
    GTEST_SKIP() << "Windows has no device that is always full (/dev/full)";
  }
  ASSERT_EQ(open_unit(7, "/dev/full", "OLD", "", "", 0), 1);
  ASSERT_EQ(open_unit(8, "fine.txt", "NEW", "", "", 0), 1);
  ::testing::internal::CaptureStderr();  // flushes every stream: write the doomed data after it
  std::fputs("lost", unit(7).stream);
  close_all_units();
  EXPECT_EQ(::testing::internal::GetCapturedStderr(),
            "unable to properly close one or more units\n");
  EXPECT_TRUE(!unit(8).stream && unit(UNIT_STDOUT).stream == stdout && !std::fflush(stdout))
      << "closing goes on past the failure; standard output outlives unit 6, unit 102 is kept";
  unit(7).iostat = 0;
}

}  // namespace
}  // namespace nuvex::testing::units
