// The retry question on the controlling terminal.
#include <cctype>
#include <cstdio>

#include "platform/system_services.h"

namespace nuvex::platform {
namespace {

constexpr const char* kTerminalDevice = "/dev/tty";
constexpr int kAnswerLineSize = 64;

}  // namespace

RetryAnswer readTerminalAnswer(std::FILE* terminal) {
  char line[kAnswerLineSize];
  if (std::fgets(line, sizeof line, terminal) == nullptr) return RetryAnswer::Cancel;
  for (const char* c = line; *c != '\0'; ++c) {
    if (std::isspace(static_cast<unsigned char>(*c))) continue;
    return std::tolower(static_cast<unsigned char>(*c)) == 'r' ? RetryAnswer::Retry
                                                               : RetryAnswer::Cancel;
  }
  return RetryAnswer::Cancel;
}

RetryAnswer systemRetryQuestion(const char* caption, const char* text) {
  std::FILE* terminal = std::fopen(kTerminalDevice, "r+");
  if (terminal == nullptr) return RetryAnswer::Cancel;
  std::fprintf(terminal, "\n%s: %s\n[R]etry or [C]ancel? ", caption, text);
  std::fflush(terminal);
  const RetryAnswer answer = readTerminalAnswer(terminal);
  std::fclose(terminal);
  return answer;
}

}  // namespace nuvex::platform
