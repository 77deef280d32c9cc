// The retry question as a Windows message box.
#include "platform/system_services.h"
#include "platform/win32/message_box.h"

namespace nuvex::platform {
namespace {

// Retry and Cancel buttons, error icon, task-modal, brought to the foreground and kept on top.
constexpr UINT kQuestionStyle =
    MB_RETRYCANCEL | MB_ICONERROR | MB_TASKMODAL | MB_SETFOREGROUND | MB_TOPMOST;
static_assert(kQuestionStyle == 0x52015, "the style word hosts have always seen");

MessageBoxFn installedMessageBox = MessageBoxA;

}  // namespace

// Only Retry retries: Cancel, closing the box and a box that could not be shown all cancel.
RetryAnswer systemRetryQuestion(const char* caption, const char* text) {
  return installedMessageBox(nullptr, text, caption, kQuestionStyle) == IDRETRY
             ? RetryAnswer::Retry
             : RetryAnswer::Cancel;
}

void setMessageBoxForTesting(MessageBoxFn replacement) {
  installedMessageBox = replacement != nullptr ? replacement : MessageBoxA;
}

}  // namespace nuvex::platform
