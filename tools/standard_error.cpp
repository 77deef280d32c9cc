#include "standard_error.h"

namespace nuvex::cli {

std::unique_lock<std::mutex> lockStandardError() {
  static std::mutex mutex;
  return std::unique_lock<std::mutex>(mutex);
}

}  // namespace nuvex::cli
