// Test fixture pieces for the runtime's first layer: a captured diagnostics stream and a session
// with a recording host and the standard units pre-opened.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "nuvex/runtime/diagnostics.h"
#include "nuvex/runtime/units.h"
#include "support/recording_host.h"

namespace nuvex::testing::units {

// Points the runtime's diagnostics stream at a temporary file for the lifetime of the object.
class DiagnosticsCapture {
 public:
  DiagnosticsCapture() : previous_(f_diagnostics), file_(std::tmpfile()) { f_diagnostics = file_; }
  ~DiagnosticsCapture() {
    f_diagnostics = previous_;
    if (file_ != nullptr) std::fclose(file_);
  }
  DiagnosticsCapture(const DiagnosticsCapture&) = delete;
  DiagnosticsCapture& operator=(const DiagnosticsCapture&) = delete;

  // Everything written so far.
  std::string text() const {
    std::fflush(file_);
    std::rewind(file_);
    std::string out;
    for (int c = std::fgetc(file_); c != EOF; c = std::fgetc(file_)) out.push_back(char(c));
    return out;
  }

 private:
  FILE* previous_;
  FILE* file_;
};

// Recording host (whose reportFailure returns), captured diagnostics and f77ini; every external
// unit closed again afterwards, so no test sees another's files.
class RuntimeSession : public ::testing::Test {
 protected:
  void SetUp() override {
    f_current_format_label = 0;
    f_current_format_text = nullptr;
    f77ini();
  }
  void TearDown() override { close_all_units(); }

  HostRecorder& seen() { return host_.seen(); }
  std::string diagnostics() const { return capture_.text(); }

  RecordingHost host_;
  DiagnosticsCapture capture_;
};

// Expects `statement` to end the calculation through the fatal path with `text`.
#define EXPECT_RUNTIME_FATAL(statement, text)                                                     \
  do {                                                                                            \
    EXPECT_THROW(statement, CCalcAbortException);                                                 \
    EXPECT_NE(diagnostics().find(std::string("VOKS ERROR: ") + (text) + "\n"), std::string::npos) \
        << diagnostics();                                                                         \
    ASSERT_FALSE(seen().failures.empty());                                                        \
    EXPECT_EQ(seen().failures.back().line, 90);                                                   \
  } while (0)

}  // namespace nuvex::testing::units
