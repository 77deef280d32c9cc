// Test fixture pieces for the runtime's first layer: a captured diagnostics stream and a session
// with a recording host and the standard units pre-opened.
#pragma once

#include <gtest/gtest.h>  // also std::string

#include <memory>

#include "nuvex/runtime.h"  // FILE, the diagnostics stream, the unit table
#include "support/recording_host.h"

namespace nuvex::testing::units {

// Points the runtime's diagnostics stream at a temporary file for the lifetime of the object.
class DiagnosticsCapture {
  FILE* previous_ = f_diagnostics;
  std::unique_ptr<FILE, int (*)(FILE*)> file_{std::tmpfile(), &std::fclose};  // not copyable

 public:
  DiagnosticsCapture() { f_diagnostics = file_.get(); }
  ~DiagnosticsCapture() { f_diagnostics = previous_; }

  // Everything written so far (rewinding flushes the pending output first).
  std::string text() const {
    std::rewind(file_.get());
    std::string out;
    for (int c; (c = std::fgetc(file_.get())) != EOF;) out.push_back(char(c));
    return out;
  }
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

// Expects `statement` to end the calculation through the fatal path with `text`, reported to the
// host from line 90 (no report at all reads as line 0).
#define EXPECT_RUNTIME_FATAL(statement, text)                                              \
  do {                                                                                     \
    EXPECT_THROW(statement, CCalcAbortException);                                          \
    EXPECT_PRED_FORMAT2(::testing::IsSubstring, "VOKS ERROR: " + std::string(text) + "\n", \
                        diagnostics());                                                    \
    EXPECT_EQ(seen().failures.empty() ? 0 : seen().failures.back().line, 90);              \
  } while (0)

}  // namespace nuvex::testing::units
