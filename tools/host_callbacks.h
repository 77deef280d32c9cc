// What the library reports through the host callbacks (log, failures, messages, reports) goes to
// standard error.
#pragma once

namespace nuvex::cli {

void installHostCallbacks();

}  // namespace nuvex::cli
