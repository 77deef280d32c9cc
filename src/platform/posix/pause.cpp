// The pause between attempts to open a file.
#include <chrono>
#include <thread>

#include "platform/system_services.h"

namespace nuvex::platform {

void systemPause(unsigned milliseconds) {
  std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

}  // namespace nuvex::platform
