// Runtime diagnostics: fatal errors, warnings, memory errors and format-context reports.
//
// Fatal reports hand the end of the calculation to the host's reportFailure. A host whose
// reportFailure returns must still not see the failed operation go on, so every fatal path ends
// in CCalcAbortException (DllExitFatal) and the declared [[noreturn]] holds.
#include "nuvex/runtime/diagnostics.h"

#include <cstdio>
#include <cstdlib>
#include <string>

#include "nuvex/host.h"
#include "nuvex/runtime/units.h"

namespace {

constexpr const char* kRuntimeSourceFile = "calc/VOKS/F77INI";
constexpr int kFatalErrorLine = 90;
constexpr int kMemoryErrorLine = 165;
constexpr int kRuntimeExitCode = 1;
constexpr const char* kFormatMarker = "<<?>>";
constexpr std::size_t kMessageBufferSize = 512;  // one diagnostic line, longer texts are cut

// Every writer finds the stream set: a caller may have cleared it to mean standard output.
FILE* diagnosticsStream() {
  if (f_diagnostics == nullptr) f_diagnostics = stdout;
  return f_diagnostics;
}

const char* textOrEmpty(const char* text) {
  return text != nullptr ? text : "";
}

void writeMemoryErrorLine(const char* text) {
  std::fprintf(diagnosticsStream(), "MEM ERROR: %s\n", textOrEmpty(text));
}

void writeFormatText(const char* formatText, const char* position) {
  FILE* out = diagnosticsStream();
  for (const char* c = formatText; c != nullptr && *c != '\0'; ++c) {
    if (c == position) std::fputs(kFormatMarker, out);
    std::fputc(*c, out);
  }
  std::fputc('\n', out);
}

void formatReport(const char* prefix, const char* text, const char* position) {
  std::fputs(prefix, diagnosticsStream());
  f_format_context(text, position);
}

}  // namespace

extern "C" {

void f_error(const char* text) {
  std::fprintf(diagnosticsStream(), "VOKS ERROR: %s\n", textOrEmpty(text));
  std::fflush(diagnosticsStream());
  close_all_units();
  const std::string reason = std::string("VOKS ERROR: ") + textOrEmpty(text);
  DllExitFatal(kRuntimeExitCode, kRuntimeSourceFile, kFatalErrorLine, reason.c_str());
}

void f_warning(const char* text) {
  std::fprintf(diagnosticsStream(), "VOKS WARNING: %s\n", textOrEmpty(text));
}

void f_mem_error(const char* text) {
  writeMemoryErrorLine(text);
  std::fflush(diagnosticsStream());
  const std::string reason = std::string("MEM ERROR: ") + textOrEmpty(text);
  DllExitFatal(kRuntimeExitCode, kRuntimeSourceFile, kMemoryErrorLine, reason.c_str());
}

void f_check_alloc(void** pointers, uint32_t count, const char* routine) {
  if (pointers == nullptr) return;
  bool anyMissing = false;
  for (uint32_t i = 0; i < count; ++i) {
    if (pointers[i] != nullptr) continue;
    anyMissing = true;
    char message[kMessageBufferSize];
    std::snprintf(message, sizeof message, "unable to allocate space in %s()",
                  textOrEmpty(routine));
    writeMemoryErrorLine(message);
    // A real host throws here; a host that returns hears about every missing block first.
    DllExit(kRuntimeExitCode, kRuntimeSourceFile, kMemoryErrorLine);
  }
  if (anyMissing) {
    const std::string reason =
        std::string("MEM ERROR: unable to allocate space in ") + textOrEmpty(routine) + "()";
    throw CCalcAbortException(reason.c_str());
  }
}

void f_free_all(void** pointers, uint32_t count) {
  if (pointers == nullptr) return;
  for (uint32_t i = 0; i < count; ++i) {
    std::free(pointers[i]);
    pointers[i] = nullptr;  // a second f_free_all of the same array is then harmless
  }
}

void f_format_context(const char* text, const char* position) {
  FILE* out = diagnosticsStream();
  std::fprintf(out, "%s\n", textOrEmpty(text));
  if (f_current_format_label > 0) std::fprintf(out, "%ld FORMAT", (long)f_current_format_label);
  const char* formatText = f_current_format_text != nullptr ? f_current_format_text : position;
  writeFormatText(formatText, position);
}

void f_format_error(const char* text, const char* position) {
  formatReport("VOKS ERROR: ", text, position);
}

void f_format_warning(const char* text, const char* position) {
  formatReport("VOKS WARNING: ", text, position);
}

}  // extern "C"
