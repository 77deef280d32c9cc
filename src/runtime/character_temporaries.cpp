// Character temporaries: the buffers that concatenations and substrings are built in.
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "nuvex/runtime/diagnostics.h"
#include "nuvex/runtime/strings.h"
#include "runtime/allocation.h"
#include "runtime/bounded_text.h"

namespace {

using nuvex::runtime::boundedLength;

constexpr char kBlank = ' ';

void requireTemporary(const CHRTMP* temporary) {
  if (temporary == nullptr) f_error("NULL CHRTMP pointer in f_concat() or f_subs()");
}

// Lengths beyond what a temporary holds are all equally fatal; clamping keeps them in int32.
int32_t clampedLength(int64_t length) {
  if (length < 0) return 0;
  return length > CHRTMP_MAX_LENGTH ? CHRTMP_MAX_LENGTH + 1 : static_cast<int32_t>(length);
}

// A buffer is kept while it is large enough but less than the slack larger than needed, so
// repeated evaluations of slightly varying length do not reallocate each time.
bool keepsBuffer(const CHRTMP* temporary, int32_t length) {
  return temporary->buf != nullptr && length <= temporary->size &&
         temporary->size < length + CHRTMP_REUSE_SLACK;
}

char* bufferFor(CHRTMP* temporary, int32_t length) {
  if (!keepsBuffer(temporary, length)) f_tmpalloc(temporary, length);
  return temporary->buf;
}

bool liesInBuffer(const CHRTMP* temporary, const char* s) {
  if (temporary->buf == nullptr) return false;
  const auto address = reinterpret_cast<std::uintptr_t>(s);
  const auto start = reinterpret_cast<std::uintptr_t>(temporary->buf);
  return address >= start && address <= start + static_cast<std::uintptr_t>(temporary->size);
}

char* allocateText(int32_t length) {
  char* text = static_cast<char*>(nuvex::runtime::allocate(static_cast<std::size_t>(length) + 1));
  if (text == nullptr) f_error("unable to allocate space for str temp");
  text[0] = '\0';
  return text;
}

char* appendAll(char* out, const char* first, std::va_list strings) {
  for (const char* s = first; s != nullptr; s = va_arg(strings, const char*)) {
    const std::size_t n = std::strlen(s);
    std::memcpy(out, s, n);
    out += n;
  }
  *out = '\0';
  return out;
}

}  // namespace

extern "C" {

void f_tmpinit(CHRTMP* temporaries, int32_t count) {
  for (int32_t i = 0; temporaries != nullptr && i < count; ++i) {
    temporaries[i].size = -1;
    temporaries[i].buf = nullptr;
  }
}

void f_tmpfree(CHRTMP* temporaries, int32_t count) {
  for (int32_t i = 0; temporaries != nullptr && i < count; ++i) {
    std::free(temporaries[i].buf);
    temporaries[i].size = -1;
    temporaries[i].buf = nullptr;
  }
}

char* f_tmpalloc(CHRTMP* temporary, int32_t length) {
  requireTemporary(temporary);
  if (length > CHRTMP_MAX_LENGTH) f_error("temp string requires too much space");
  if (length < 0) length = 0;
  std::free(temporary->buf);
  temporary->buf = nullptr;
  temporary->size = -1;
  temporary->buf = allocateText(length);
  temporary->buf[length] = '\0';
  temporary->size = length;
  return temporary->buf;
}

char* f_concat(CHRTMP* temporary, ...) {
  requireTemporary(temporary);
  std::va_list strings;
  va_start(strings, temporary);
  int64_t total = 0;
  bool aliased = false;
  for (const char* s = va_arg(strings, const char*); s != nullptr;
       s = va_arg(strings, const char*)) {
    total += static_cast<int64_t>(std::strlen(s));
    aliased = aliased || liesInBuffer(temporary, s);
    if (total > CHRTMP_MAX_LENGTH) break;
  }
  va_end(strings);
  const int32_t length = clampedLength(total);
  if (length > CHRTMP_MAX_LENGTH) f_error("temp string requires too much space");

  // An empty result fits any buffer: only a temporary without one gets one.
  if (length == 0 && temporary->buf != nullptr) {
    temporary->buf[0] = '\0';
    return temporary->buf;
  }
  // Building in place would overwrite a source that lives in the buffer, so such a result goes
  // to a new buffer that replaces the old one afterwards.
  char* out = aliased ? allocateText(length) : bufferFor(temporary, length);
  va_start(strings, temporary);
  // The first string is taken before the list is handed on: where va_list is a plain pointer
  // (Windows x64) the callee gets a copy, made in unspecified order with this va_arg.
  const char* first = va_arg(strings, const char*);
  appendAll(out, first, strings);
  va_end(strings);
  if (aliased) {
    std::free(temporary->buf);
    temporary->buf = out;
    temporary->size = length;
  }
  return temporary->buf;
}

char* f_subs(CHRTMP* temporary, const char* s, int32_t first, int32_t last) {
  requireTemporary(temporary);
  if (s == nullptr) return nullptr;
  if (first < 0) first = 0;
  const int32_t length = clampedLength(static_cast<int64_t>(last) - first + 1);
  if (length > CHRTMP_MAX_LENGTH) f_error("temp string requires too much space");
  // A substring of the temporary's own text must be read before its buffer is replaced.
  const bool replacesSource = liesInBuffer(temporary, s) && !keepsBuffer(temporary, length);
  char* out = replacesSource ? allocateText(length) : bufferFor(temporary, length);
  // strnlen never looks past the NUL, so a start beyond the end just yields blanks.
  const std::size_t available = boundedLength(s, static_cast<std::size_t>(first));
  std::size_t copied = 0;
  if (available == static_cast<std::size_t>(first)) {
    copied = boundedLength(s + first, static_cast<std::size_t>(length));
    std::memmove(out, s + first, copied);
  }
  std::memset(out + copied, kBlank, static_cast<std::size_t>(length) - copied);
  out[length] = '\0';
  if (replacesSource) {
    std::free(temporary->buf);
    temporary->buf = out;
    temporary->size = length;
  }
  return out;
}

}  // extern "C"
