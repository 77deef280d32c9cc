// The pause between attempts to open a file.
#include "platform/pause.h"

#include <windows.h>

namespace nuvex::platform {
namespace {

void sleepFor(unsigned milliseconds) {
  Sleep(milliseconds);
}

PauseFn installedPause = sleepFor;

}  // namespace

void pause(unsigned milliseconds) {
  installedPause(milliseconds);
}

void setPauseForTesting(PauseFn replacement) {
  installedPause = replacement != nullptr ? replacement : sleepFor;
}

}  // namespace nuvex::platform
