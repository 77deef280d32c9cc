// The pause and the retry question go through a replaceable function each, so that tests run
// retry loops without waiting and answer the question without a terminal or a window.
#include "platform/pause.h"
#include "platform/retry_question.h"
#include "platform/system_services.h"

namespace nuvex::platform {
namespace {

PauseFn installedPause = systemPause;
RetryQuestionFn installedQuestion = systemRetryQuestion;

}  // namespace

void pause(unsigned milliseconds) {
  installedPause(milliseconds);
}

void setPauseForTesting(PauseFn replacement) {
  installedPause = replacement != nullptr ? replacement : systemPause;
}

RetryAnswer askRetryOrCancel(const char* caption, const char* text) {
  return installedQuestion(caption != nullptr ? caption : "", text != nullptr ? text : "");
}

void setRetryQuestionForTesting(RetryQuestionFn replacement) {
  installedQuestion = replacement != nullptr ? replacement : systemRetryQuestion;
}

}  // namespace nuvex::platform
