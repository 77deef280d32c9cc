// Runtime diagnostics: the texts of warnings, fatal and memory errors and format-context reports,
// what the host is told and what a fatal error does to the units first. The cases are
// tests/data/diagnostics_reports.txt.
#include <cstdlib>
#include <regex>

#include "runtime/runtime_session.h"
#include "support/case_file.h"
#include "support/scratch_directory.h"

namespace nuvex::testing::units {
namespace {

// The failure reports as the data file spells them, unit 7 as it stood when each was made.
std::string failureReports;

void recordWithUnit7(const char* text, int code, const void* reserved, const char* file, int line) {
  failureReports += std::string(reserved ? "reserved! " : "") + text + " (" + std::to_string(code) +
                    ") " + file + ":" + std::to_string(line) +
                    (f_unit(7)->stream ? ", unit 7 open;" : ", unit 7 closed;");
  recordFailure(text, code, reserved, file, line);
}

// Makes the report a data line names; true when it aborted the calculation.
bool report(const std::string& name, const char* text, const char* position) try {
  void* blocks[] = {nullptr, &blocks, nullptr};  // of three, the middle one allocated
  if (name == "warning") f_warning(text);
  if (name == "error") f_error(text);
  if (name == "mem_error") f_mem_error(text);
  if (name == "check_alloc") f_check_alloc(blocks, 3, text);
  if (name == "format_error") f_format_error(text, position);
  if (name == "format_warning") f_format_warning(text, position);
  if (name == "format_context") f_format_context(text, position);
  return false;
} catch (const CCalcAbortException&) {
  return true;
}

using RuntimeDiagnostics = RuntimeSession;

TEST_F(RuntimeDiagnostics, Reports) {
  ScratchDirectory directory;
  DLLCallbacks record = recordingCallbacks();
  record.reportFailure = recordWithUnit7;
  SetNuvexCallbacks(record);
  for (const TestCase& c : readCases("diagnostics_reports.txt")) {
    DiagnosticsCapture capture;
    failureReports.clear();
    ASSERT_EQ(open_unit(7, "work.txt", "UNKNOWN", "", "", 0), 1);
    std::string format = c.fields[3];
    const std::size_t marker = format.find('^');
    if (marker != std::string::npos) format.erase(marker, 1);
    f_current_format_label = c.integer(2);
    f_current_format_text = c.fields[0] == "format_context" ? nullptr : format.c_str();
    const char* position = marker == std::string::npos ? "elsewhere" : &format[marker];
    EXPECT_EQ(report(c.fields[0], c.fields[1].c_str(), position), !c.fields[5].empty())
        << c.where();
    EXPECT_EQ(std::regex_replace(capture.text(), std::regex("\n"), "\\n"), c.fields[4])
        << c.where();
    EXPECT_EQ(failureReports, c.fields[5]) << c.where();
  }
  f_current_format_text = nullptr;
}

TEST_F(RuntimeDiagnostics, CheckAllocQuietWhenAllThereAndFreeAllForgets) {
  void* blocks[] = {std::malloc(8), std::malloc(16)};
  f_check_alloc(blocks, 2, "demo");
  f_check_alloc(nullptr, 0, "demo");
  f_free_all(blocks, 2);
  EXPECT_TRUE(blocks[0] == nullptr && blocks[1] == nullptr);
  f_free_all(blocks, 2);  // a second release is harmless
  EXPECT_TRUE(diagnostics().empty() && seen().failures.empty());
}

// A calculation that dies of the abort says why: what() is the text the runtime reported.
TEST_F(RuntimeDiagnostics, TheAbortCarriesTheReportedText) {
  DiagnosticsCapture capture;
  const auto whatOf = [](auto call) -> std::string {
    try {
      call();
    } catch (const CCalcAbortException& abort) {
      return abort.what();
    }
    return "no abort";
  };
  void* blocks[] = {nullptr};
  EXPECT_EQ(whatOf([] { f_error("expecting '(' for format beginning: I5)"); }),
            "VOKS ERROR: expecting '(' for format beginning: I5)");
  EXPECT_EQ(whatOf([] { f_mem_error("no room"); }), "MEM ERROR: no room");
  EXPECT_EQ(whatOf([&] { f_check_alloc(blocks, 1, "sprtunf"); }),
            "MEM ERROR: unable to allocate space in sprtunf()");
  EXPECT_EQ(whatOf([] { init_format(6, "I5)"); }),
            "VOKS ERROR: expecting '(' for format beginning: I5)");
  EXPECT_STREQ(CCalcAbortException().what(), "calculation aborted");
}

// A host whose reportFailure throws ends the calculation itself; a null stream means stdout.
TEST_F(RuntimeDiagnostics, ThrowingHostAndNullStream) {
  seen().throwOnFailure = true;
  EXPECT_THROW(f_error("boom"), HostFailure);
  EXPECT_THROW(f_mem_error("boom"), HostFailure);
  f_diagnostics = nullptr;
  f_warning("to standard output");
  EXPECT_EQ(f_diagnostics, stdout);
}

}  // namespace
}  // namespace nuvex::testing::units
