// The retry question on the controlling terminal.
#include "platform/retry_question.h"

#include <cctype>
#include <cstdio>

namespace nuvex::platform {
namespace {

constexpr const char* kTerminalDevice = "/dev/tty";
constexpr int kAnswerLineSize = 64;

RetryAnswer readAnswer(std::FILE* terminal) {
  char line[kAnswerLineSize];
  if (std::fgets(line, sizeof line, terminal) == nullptr) return RetryAnswer::Cancel;
  for (const char* c = line; *c != '\0'; ++c) {
    if (std::isspace(static_cast<unsigned char>(*c))) continue;
    return std::tolower(static_cast<unsigned char>(*c)) == 'r' ? RetryAnswer::Retry
                                                               : RetryAnswer::Cancel;
  }
  return RetryAnswer::Cancel;
}

RetryAnswer askOnTerminal(const char* caption, const char* text) {
  std::FILE* terminal = std::fopen(kTerminalDevice, "r+");
  if (terminal == nullptr) return RetryAnswer::Cancel;
  std::fprintf(terminal, "\n%s: %s\n[R]etry or [C]ancel? ", caption, text);
  std::fflush(terminal);
  const RetryAnswer answer = readAnswer(terminal);
  std::fclose(terminal);
  return answer;
}

RetryQuestionFn installedQuestion = askOnTerminal;

}  // namespace

RetryAnswer askRetryOrCancel(const char* caption, const char* text) {
  return installedQuestion(caption != nullptr ? caption : "", text != nullptr ? text : "");
}

void setRetryQuestionForTesting(RetryQuestionFn replacement) {
  installedQuestion = replacement != nullptr ? replacement : askOnTerminal;
}

}  // namespace nuvex::platform
