#include "host/c_api/boundary.h"

#include <cstring>

namespace nuvex::c_api {
namespace {

// Bytes a UTF-8 character takes at most; the bytes after its first are 10xxxxxx.
constexpr std::size_t kLongestCharacter = 4;

bool continuesCharacter(char byte) {
  return (static_cast<unsigned char>(byte) & 0xC0U) == 0x80U;
}

// The length of message cut to at most `room` bytes without splitting a character: a cut before
// a continuation byte moves back to the start of its character.
std::size_t cutLength(const char* message, std::size_t room) {
  const std::size_t length = std::strlen(message);
  if (length <= room) return length;
  std::size_t cut = room;
  for (std::size_t back = 1;
       back < kLongestCharacter && cut > 0 && continuesCharacter(message[cut]); ++back) {
    --cut;
  }
  return continuesCharacter(message[cut]) ? room : cut;  // no character: bytes that are no UTF-8
}

}  // namespace

int report(nuvex_error* error, int code, const char* message) noexcept {
  if (error == nullptr) return code;
  error->code = code;
  const std::size_t length = cutLength(message, sizeof(error->message) - 1);
  std::memcpy(error->message, message, length);
  error->message[length] = '\0';
  return code;
}

void requirePointer(const void* pointer, const char* name) {
  if (pointer == nullptr) throw Failure(NUVEX_ERROR_ARGUMENT, std::string(name) + " is NULL");
}

}  // namespace nuvex::c_api
