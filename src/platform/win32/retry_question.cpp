// The retry question as a Windows message box.
#include "platform/retry_question.h"

#include "platform/win32/message_box.h"

namespace nuvex::platform {
namespace {

// Retry and Cancel buttons, error icon, task-modal, brought to the foreground and kept on top.
constexpr UINT kQuestionStyle =
    MB_RETRYCANCEL | MB_ICONERROR | MB_TASKMODAL | MB_SETFOREGROUND | MB_TOPMOST;
static_assert(kQuestionStyle == 0x52015, "the style word hosts have always seen");

MessageBoxFn installedMessageBox = MessageBoxA;

// Only Retry retries: Cancel, closing the box and a box that could not be shown all cancel.
RetryAnswer askWithMessageBox(const char* caption, const char* text) {
  return installedMessageBox(nullptr, text, caption, kQuestionStyle) == IDRETRY
             ? RetryAnswer::Retry
             : RetryAnswer::Cancel;
}

RetryQuestionFn installedQuestion = askWithMessageBox;

}  // namespace

RetryAnswer askRetryOrCancel(const char* caption, const char* text) {
  return installedQuestion(caption != nullptr ? caption : "", text != nullptr ? text : "");
}

void setRetryQuestionForTesting(RetryQuestionFn replacement) {
  installedQuestion = replacement != nullptr ? replacement : askWithMessageBox;
}

void setMessageBoxForTesting(MessageBoxFn replacement) {
  installedMessageBox = replacement != nullptr ? replacement : MessageBoxA;
}

}  // namespace nuvex::platform
