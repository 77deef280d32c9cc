#include "host_callbacks.h"

#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <iostream>
#include <string>

#include "nuvex/host.h"
#include "standard_error.h"

namespace nuvex::cli {
namespace {

std::string formatted(const char* format, std::va_list args) {
  std::va_list copy;
  va_copy(copy, args);
  const int length = std::vsnprintf(nullptr, 0, format, copy);
  va_end(copy);
  if (length <= 0) return {};
  std::string text(static_cast<std::size_t>(length) + 1, '\0');
  std::vsnprintf(text.data(), text.size(), format, args);
  text.resize(static_cast<std::size_t>(length));
  while (!text.empty() && text.back() == '\n') text.pop_back();
  return text;
}

void logToStandardError(int level, const char* format, ...) {
  std::va_list args;
  va_start(args, format);
  const std::string text = formatted(format, args);
  const auto lock = lockStandardError();
  std::cerr << "nuvex: engine log (level " << level << "): " << text << '\n';
  va_end(args);
}

void messageToStandardError(const char* format, ...) {
  std::va_list args;
  va_start(args, format);
  const std::string text = formatted(format, args);
  const auto lock = lockStandardError();
  std::cerr << "nuvex: engine message: " << text << '\n';
  va_end(args);
}

// Returning lets the library abort the calculation with CCalcAbortException, which the
// converter catches for the point concerned.
void failureToStandardError(const char* text, int code, const void* /*reserved*/, const char* file,
                            int line) {
  const auto lock = lockStandardError();
  std::cerr << "nuvex: engine failure: " << (text != nullptr ? text : "(no text)") << " ("
            << (file != nullptr ? file : "?") << ':' << line << ", code " << code << ")\n";
}

void reportToStandardError(int kind, int code, int, std::uint16_t, int, int, const char*, int,
                           double, void*, int, const char* text) {
  const auto lock = lockStandardError();
  std::cerr << "nuvex: engine report " << kind << '/' << code << ": "
            << (text != nullptr ? text : "") << '\n';
}

}  // namespace

void installHostCallbacks() {
  DLLCallbacks callbacks{};
  callbacks.structSize = sizeof(DLLCallbacks);
  callbacks.logMessage = logToStandardError;
  callbacks.reportFailure = failureToStandardError;
  callbacks.showMessage = messageToStandardError;
  callbacks.report = reportToStandardError;
  SetNuvexCallbacks(callbacks);
}

}  // namespace nuvex::cli
