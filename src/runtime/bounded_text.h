// Length of a text that may be longer than what the caller will look at.
#pragma once

#include <cstddef>

namespace nuvex::runtime {

// Characters before the NUL, but at most `limit`: never reads past the NUL nor past `limit`.
inline std::size_t boundedLength(const char* s, std::size_t limit) {
  std::size_t n = 0;
  while (n < limit && s[n] != '\0') ++n;
  return n;
}

}  // namespace nuvex::runtime
