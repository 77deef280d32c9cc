#include "host/c_api/boundary.h"

#include <algorithm>
#include <cstring>

namespace nuvex::c_api {

int report(nuvex_error* error, int code, const char* message) noexcept {
  if (error == nullptr) return code;
  error->code = code;
  const std::size_t length = std::min(std::strlen(message), sizeof(error->message) - 1);
  std::memcpy(error->message, message, length);
  error->message[length] = '\0';
  return code;
}

void requirePointer(const void* pointer, const char* name) {
  if (pointer == nullptr) throw Failure(NUVEX_ERROR_ARGUMENT, std::string(name) + " is NULL");
}

}  // namespace nuvex::c_api
