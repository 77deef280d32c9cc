// Unlocked stream reading on Windows. The C runtime the build links (msvcrt) has no
// _fread_nolock; its _getc_nolock serves short reads, and longer ones go through fread.
#include "platform/stream_reading.h"

namespace nuvex::platform {
namespace {

// Reads this short (a record's length word) are taken byte by byte from the stream's buffer.
constexpr std::size_t kLargestBytewiseRead = 8;  // bytes

}  // namespace

std::size_t readUnlocked(FILE* stream, void* into, std::size_t count) {
  if (count > kLargestBytewiseRead) return std::fread(into, 1, count, stream);
  auto* bytes = static_cast<unsigned char*>(into);
  for (std::size_t i = 0; i < count; ++i) {
    const int c = _getc_nolock(stream);
    if (c == EOF) return i;
    bytes[i] = static_cast<unsigned char>(c);
  }
  return count;
}

}  // namespace nuvex::platform
