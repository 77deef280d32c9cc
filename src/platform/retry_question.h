// Asking the user whether to retry an operation that keeps failing.
#pragma once

namespace nuvex::platform {

enum class RetryAnswer { Retry, Cancel };

// Shows `text` under `caption` and waits for Retry or Cancel. On Windows the question is a
// message box (only its Retry button retries); elsewhere it is asked on the controlling terminal,
// and without one (a service, a test runner) the answer is Cancel, because nobody could ever free
// the file.
RetryAnswer askRetryOrCancel(const char* caption, const char* text);

using RetryQuestionFn = RetryAnswer (*)(const char* caption, const char* text);
// Replaces the question by a scripted answer; null restores the terminal question. For tests
// only; not visible to hosts of the shared library.
void setRetryQuestionForTesting(RetryQuestionFn replacement);

}  // namespace nuvex::platform
