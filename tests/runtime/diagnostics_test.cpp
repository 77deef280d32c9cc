// Runtime diagnostics: the texts of warnings, fatal and memory errors and format-context
// reports, and what a fatal error does to the units before the host hears of it.
#include <cstdlib>

#include "runtime/runtime_session.h"
#include "support/scratch_directory.h"

namespace nuvex::testing::units {
namespace {

constexpr const char* kFailedText = "PELORA-Calculation Failed (exit Called)!";

class RuntimeDiagnostics : public RuntimeSession {};

TEST_F(RuntimeDiagnostics, WarningWritesOneLineAndGoesOn) {
  f_warning("careful");
  EXPECT_EQ(diagnostics(), "VOKS WARNING: careful\n");
  EXPECT_TRUE(seen().failures.empty());
}

TEST_F(RuntimeDiagnostics, NullStreamMeansStandardOutput) {
  f_diagnostics = nullptr;
  f_warning("to standard output");
  EXPECT_EQ(f_diagnostics, stdout);
}

TEST_F(RuntimeDiagnostics, FatalErrorReportsLine90AndAborts) {
  EXPECT_THROW(f_error("boom"), CCalcAbortException);
  EXPECT_EQ(diagnostics(), "VOKS ERROR: boom\n");
  ASSERT_EQ(seen().failures.size(), 1u);
  const FailureReport& failure = seen().failures[0];
  EXPECT_EQ(failure.text, kFailedText);
  EXPECT_EQ(failure.code, 1);
  EXPECT_EQ(failure.reserved, nullptr);
  EXPECT_EQ(failure.file, "calc/VOKS/F77INI");
  EXPECT_EQ(failure.line, 90);
}

TEST_F(RuntimeDiagnostics, HostThatThrowsEndsTheCalculationItself) {
  seen().throwOnFailure = true;
  EXPECT_THROW(f_error("boom"), HostFailure);
  EXPECT_THROW(f_mem_error("boom"), HostFailure);
}

// What the units looked like when the host heard of the failure.
struct UnitsAtFailure {
  bool externalClosed = false;
  bool standardOutputKept = false;
  bool internalKept = false;
};
UnitsAtFailure unitsAtFailure;

void inspectUnitsOnFailure(const char* text, int code, const void* reserved, const char* file,
                           int line) {
  unitsAtFailure.externalClosed = f_unit(7)->stream == nullptr && f_unit(5)->stream == nullptr;
  unitsAtFailure.standardOutputKept =
      f_unit(UNIT_STDIN)->stream == stdin && f_unit(UNIT_STDOUT)->stream == stdout;
  unitsAtFailure.internalKept = (f_unit(UNIT_INTERNAL)->mode & UNIT_MODE_INTERNAL) != 0;
  recordFailure(text, code, reserved, file, line);
}

TEST_F(RuntimeDiagnostics, FatalErrorClosesExternalUnitsBeforeReporting) {
  ScratchDirectory directory;
  ASSERT_EQ(open_unit(7, "work.txt", "NEW", "", "", 0), 1);
  std::fputs("kept", f_unit(7)->stream);
  DLLCallbacks record = recordingCallbacks();
  record.reportFailure = inspectUnitsOnFailure;
  SetNuvexCallbacks(record);
  unitsAtFailure = {};

  EXPECT_THROW(f_error("boom"), CCalcAbortException);
  EXPECT_TRUE(unitsAtFailure.externalClosed);
  EXPECT_TRUE(unitsAtFailure.standardOutputKept);
  EXPECT_TRUE(unitsAtFailure.internalKept);
  EXPECT_EQ(std::fflush(stdout), 0) << "standard output must survive the close";
  FILE* file = std::fopen("work.txt", "r");
  ASSERT_NE(file, nullptr);
  char text[8] = {};
  EXPECT_NE(std::fgets(text, sizeof text, file), nullptr);
  std::fclose(file);
  EXPECT_STREQ(text, "kept") << "the unit's output was flushed by the close";
}

TEST_F(RuntimeDiagnostics, MemoryErrorReportsLine165AndLeavesUnitsOpen) {
  ScratchDirectory directory;
  ASSERT_EQ(open_unit(7, "work.txt", "NEW", "", "", 0), 1);
  EXPECT_THROW(f_mem_error("no room"), CCalcAbortException);
  EXPECT_EQ(diagnostics(), "MEM ERROR: no room\n");
  ASSERT_EQ(seen().failures.size(), 1u);
  EXPECT_EQ(seen().failures[0].text, kFailedText);
  EXPECT_EQ(seen().failures[0].code, 1);
  EXPECT_EQ(seen().failures[0].line, 165);
  EXPECT_NE(f_unit(7)->stream, nullptr);
  close_unit(7);
}

TEST_F(RuntimeDiagnostics, CheckAllocReportsEveryNullThenAbortsOnce) {
  int a = 0, b = 0;
  void* allFine[] = {&a, &b};
  f_check_alloc(allFine, 2, "demo");
  f_check_alloc(nullptr, 0, "demo");
  EXPECT_TRUE(seen().failures.empty());

  void* twoMissing[] = {nullptr, &a, nullptr};
  EXPECT_THROW(f_check_alloc(twoMissing, 3, "demo"), CCalcAbortException);
  EXPECT_EQ(diagnostics(),
            "MEM ERROR: unable to allocate space in demo()\n"
            "MEM ERROR: unable to allocate space in demo()\n");
  ASSERT_EQ(seen().failures.size(), 2u);
  EXPECT_EQ(seen().failures[1].line, 165);
}

TEST_F(RuntimeDiagnostics, FreeAllReleasesAndForgetsEveryBlock) {
  void* blocks[] = {std::malloc(8), nullptr, std::malloc(16)};
  f_free_all(blocks, 3);
  EXPECT_EQ(blocks[0], nullptr);
  EXPECT_EQ(blocks[2], nullptr);
  f_free_all(blocks, 3);  // a second release is harmless
}

// Format-context reports: label, format text, error position (offset into the text, -1 for a
// pointer elsewhere), expected stream contents.
struct FormatContextCase {
  int label;
  const char* format;
  int position;
  bool error;
  const char* expected;
};

constexpr FormatContextCase kFormatContextCases[] = {
    {100, "(I0)", 2, true, "VOKS ERROR: field width must be > 0\n100 FORMAT(I<<?>>0)\n"},
    {0, "(I0)", 2, false, "VOKS WARNING: field width must be > 0\n(I<<?>>0)\n"},
    {0, "(I0)", 0, true, "VOKS ERROR: field width must be > 0\n<<?>>(I0)\n"},
    {7, "(I0)", 4, true, "VOKS ERROR: field width must be > 0\n7 FORMAT(I0)\n"},
    {0, "(I0)", -1, false, "VOKS WARNING: field width must be > 0\n(I0)\n"},
    {0, "", 0, true, "VOKS ERROR: field width must be > 0\n\n"},
};

TEST_F(RuntimeDiagnostics, FormatContextMarksThePosition) {
  for (const FormatContextCase& c : kFormatContextCases) {
    DiagnosticsCapture capture;
    const std::string format = c.format;
    const char* elsewhere = "elsewhere";
    f_current_format_label = c.label;
    f_current_format_text = format.c_str();
    const char* position = c.position < 0 ? elsewhere : format.c_str() + c.position;
    if (c.error) {
      f_format_error("field width must be > 0", position);
    } else {
      f_format_warning("field width must be > 0", position);
    }
    EXPECT_EQ(capture.text(), c.expected) << c.format << " at " << c.position;
  }
  EXPECT_TRUE(seen().failures.empty()) << "format reports are not fatal";
}

TEST_F(RuntimeDiagnostics, FormatContextWithoutTextStartsAtThePosition) {
  const char* format = "(2X,Q)";
  f_current_format_text = nullptr;
  f_format_context("unknown edit descriptor", format + 4);
  EXPECT_EQ(diagnostics(), "unknown edit descriptor\n<<?>>Q)\n");
}

}  // namespace
}  // namespace nuvex::testing::units
