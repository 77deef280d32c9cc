// What each operating system's layer provides beneath the replaceable services of pause.h and
// retry_question.h (posix/ or win32/, chosen by the build).
#pragma once

#include <cstdio>

#include "platform/retry_question.h"

namespace nuvex::platform {

// Blocks the calling thread for `milliseconds`.
void systemPause(unsigned milliseconds);
// Asks the user the retry question the system's way (terminal or message box).
RetryAnswer systemRetryQuestion(const char* caption, const char* text);

// The answer typed on a terminal (POSIX systems): Retry when the line's first character that is
// not blank is R or r, Cancel for any other line, an empty one or the end of the input.
RetryAnswer readTerminalAnswer(std::FILE* terminal);

}  // namespace nuvex::platform
