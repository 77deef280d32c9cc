// The pause between attempts to open a file.
#include "platform/pause.h"

#include <chrono>
#include <thread>

namespace nuvex::platform {
namespace {

void sleepFor(unsigned milliseconds) {
  std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
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
