// Unlocked stream reading on POSIX systems: getc_unlocked, and fread_unlocked (glibc, musl and the
// BSDs have it).
#include "platform/stream_reading.h"

namespace nuvex::platform {
namespace {

// Reads this short (a record's length word) are taken byte by byte from the stream's buffer:
// getc_unlocked is inline and costs a few instructions a byte, fread's call chain far more.
constexpr std::size_t kLargestBytewiseRead = 8;  // bytes

}  // namespace

std::size_t readUnlocked(FILE* stream, void* into, std::size_t count) {
  if (count > kLargestBytewiseRead) return fread_unlocked(into, 1, count, stream);
  auto* bytes = static_cast<unsigned char*>(into);
  for (std::size_t i = 0; i < count; ++i) {
    const int c = getc_unlocked(stream);
    if (c == EOF) return i;
    bytes[i] = static_cast<unsigned char>(c);
  }
  return count;
}

}  // namespace nuvex::platform
