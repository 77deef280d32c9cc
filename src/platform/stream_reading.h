// Reading bytes from a stdio stream without taking the stream's lock. The runtime is used from
// one thread at a time, and so are the streams that calculation code hands to it; the per-call
// locking of fread is pure cost on the path that reads unformatted records.
#pragma once

#include <cstddef>
#include <cstdio>

namespace nuvex::platform {

// Reads up to `count` bytes from `stream` into `into`; returns the number of bytes read (fewer
// at the end of the file or on an error, as fread). The caller must be the only thread using
// the stream during the call.
std::size_t readUnlocked(FILE* stream, void* into, std::size_t count);

}  // namespace nuvex::platform
