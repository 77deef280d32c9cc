// What the library reports through the host callbacks (log, failures, messages, reports) goes to
// standard error. The library may call them from any thread that converts: each line is written
// under the lock of standard error (standard_error.h).
#pragma once

namespace nuvex::cli {

void installHostCallbacks();

}  // namespace nuvex::cli
