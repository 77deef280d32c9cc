// The pause between attempts to open a file.
#include <windows.h>

#include "platform/system_services.h"

namespace nuvex::platform {

void systemPause(unsigned milliseconds) {
  Sleep(milliseconds);
}

}  // namespace nuvex::platform
