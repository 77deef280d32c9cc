// Standard error is shared: the calling thread writes the messages of the lines and the progress
// line, and the library's host callbacks may write from any thread that converts. Every write to
// it holds this one lock.
#pragma once

#include <mutex>

namespace nuvex::cli {

// Held until the returned lock goes out of scope.
[[nodiscard]] std::unique_lock<std::mutex> lockStandardError();

}  // namespace nuvex::cli
