// A host callback record that records every call, for tests of what the library tells its host.
#pragma once

#include <cstdarg>
#include <cstdio>
#include <string>
#include <vector>

#include "nuvex/host.h"

namespace nuvex::testing {

struct FailureReport {
  bool hasText;
  std::string text;
  int code;
  const void* reserved;
  std::string file;
  int line;
};

struct LogLine {
  int level;
  std::string text;
};

struct StructuredReport {
  int kind, code, a3;
  unsigned sub;
  int extra, a6;
  std::string a7;
  int a8;
  double a9;
  void* a10;
  int a11;
  std::string text;
};

// What the recording host saw. One global instance: the callback slots are plain functions.
struct HostRecorder {
  std::vector<LogLine> logs;
  std::vector<FailureReport> failures;
  std::vector<std::string> messages;
  std::vector<StructuredReport> reports;
  bool throwOnFailure = false;  // a real host ends the calculation by throwing

  void clear() { *this = HostRecorder{}; }
};

inline HostRecorder& recorder() {
  static HostRecorder instance;
  return instance;
}

struct HostFailure {};  // what the recording host throws from reportFailure when asked to

inline std::string formatArgs(const char* format, std::va_list args) {
  char text[4096];
  std::vsnprintf(text, sizeof text, format, args);
  return text;
}

inline void recordLog(int level, const char* format, ...) {
  std::va_list args;
  va_start(args, format);
  recorder().logs.push_back({level, formatArgs(format, args)});
  va_end(args);
}

inline void recordFailure(const char* text, int code, const void* reserved, const char* file,
                          int line) {
  recorder().failures.push_back(
      {text != nullptr, text ? text : "", code, reserved, file ? file : "", line});
  if (recorder().throwOnFailure) throw HostFailure{};
}

inline void recordMessage(const char* format, ...) {
  std::va_list args;
  va_start(args, format);
  recorder().messages.push_back(formatArgs(format, args));
  va_end(args);
}

inline void recordReport(int kind, int code, int a3, std::uint16_t sub, int extra, int a6,
                         const char* a7, int a8, double a9, void* a10, int a11, const char* text) {
  recorder().reports.push_back(
      {kind, code, a3, sub, extra, a6, a7 ? a7 : "", a8, a9, a10, a11, text ? text : ""});
}

// A record with every slot the library calls filled by the recorder.
inline DLLCallbacks recordingCallbacks() {
  DLLCallbacks record{};
  record.structSize = sizeof(DLLCallbacks);
  record.logMessage = recordLog;
  record.reportFailure = recordFailure;
  record.showMessage = recordMessage;
  record.report = recordReport;
  return record;
}

// Installs the recording host (fresh recorder) for the lifetime of the object.
class RecordingHost {
 public:
  explicit RecordingHost(bool throwOnFailure = false) {
    recorder().clear();
    recorder().throwOnFailure = throwOnFailure;
    DLLCallbacks record = recordingCallbacks();
    SetNuvexCallbacks(record);
  }
  ~RecordingHost() { ResetCallbacks(); }
  HostRecorder& seen() { return recorder(); }
};

}  // namespace nuvex::testing
