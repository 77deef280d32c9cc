// Blank-padded comparison and assignment of character values, and keyword normalisation.
#include "nuvex/runtime/strings.h"

#include <cstring>

#include "runtime/bounded_text.h"

namespace {

using nuvex::runtime::boundedLength;

constexpr char kBlank = ' ';
constexpr int kMaxKeywordLength = F_KEYWORD_BUFFER_SIZE - 1;

// Shared by f_lowtrim and f_trim for the whole run; each call replaces its contents.
char keywordBuffer[F_KEYWORD_BUFFER_SIZE];

char lowerAscii(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}
char sameChar(char c) {
  return c;
}

bool isTrimmed(char c) {
  return c == ' ' || c == '\t' || c == '\n';
}

// Walks both strings together; an ended string yields blanks, as Fortran compares texts of
// unequal length.
template <char (*Fold)(char)>
int compareBlankPadded(const char* a, const char* b) {
  for (;;) {
    if (*a == '\0' && *b == '\0') return 0;
    const signed char ca = static_cast<signed char>(Fold(*a != '\0' ? *a : kBlank));
    const signed char cb = static_cast<signed char>(Fold(*b != '\0' ? *b : kBlank));
    if (ca != cb) return ca - cb;
    if (*a != '\0') ++a;
    if (*b != '\0') ++b;
  }
}

// Stores `count` characters of source from destination on, blanks once the source has ended.
void storePadded(char* destination, const char* source, std::size_t count) {
  const std::size_t copied = boundedLength(source, count);
  std::memmove(destination, source, copied);
  std::memset(destination + copied, kBlank, count - copied);
}

void trimKeywordBuffer() {
  std::size_t start = 0;
  while (isTrimmed(keywordBuffer[start])) ++start;
  std::size_t length = std::strlen(keywordBuffer + start);
  std::memmove(keywordBuffer, keywordBuffer + start, length + 1);
  while (length > 0 && isTrimmed(keywordBuffer[length - 1])) --length;
  keywordBuffer[length] = '\0';
}

}  // namespace

extern "C" {

int f_strcmp(const char* a, const char* b) {
  if (a == nullptr) return b == nullptr ? 0 : -1;
  if (b == nullptr) return 1;
  return compareBlankPadded<sameChar>(a, b);
}

int f_strcmpi(const char* a, const char* b) {
  if (a == b) return 0;
  if (a == nullptr) return 1;
  if (b == nullptr) return -1;
  return compareBlankPadded<lowerAscii>(a, b);
}

char* f_assign(char* destination, const char* source, int32_t length) {
  if (destination == nullptr || source == nullptr || length < 1) return nullptr;
  storePadded(destination, source, static_cast<std::size_t>(length));
  destination[length] = '\0';
  return destination;
}

char* f_assign_sub(char* destination, int32_t first, int32_t last, int32_t length,
                   const char* source) {
  if (destination == nullptr || source == nullptr || length < 0) return nullptr;
  if (last < 0 || last >= length - 1) last = length - 1;
  if (first < 0) first = 0;
  if (first > length) first = length;  // nothing may be written past the declared length
  const int32_t count = last >= first ? last - first + 1 : 0;

  // The variable's old text may end early; what lies past that end is blanked rather than left
  // as whatever the buffer held.
  const std::size_t oldLength = boundedLength(destination, static_cast<std::size_t>(length));
  if (oldLength < static_cast<std::size_t>(length)) {
    std::memset(destination + oldLength, kBlank, static_cast<std::size_t>(length) - oldLength);
  }
  if (count > 0) storePadded(destination + first, source, static_cast<std::size_t>(count));
  destination[length] = '\0';
  return destination;
}

char* f_pad(char* s, int32_t length) {
  if (s == nullptr) return nullptr;
  if (length < 0) length = 0;
  const std::size_t present = boundedLength(s, static_cast<std::size_t>(length));
  std::memset(s + present, kBlank, static_cast<std::size_t>(length) - present);
  s[length] = '\0';
  return s;
}

char* f_append(char* destination, const char* source) {
  if (destination == nullptr) return nullptr;
  char* end = destination + std::strlen(destination);
  if (source == nullptr) return end;
  const std::size_t n = std::strlen(source);
  std::memmove(end, source, n);
  end[n] = '\0';
  return end + n;
}

void f_endelems(char* base, int32_t elementLength, int32_t count) {
  if (base == nullptr || elementLength < 1) return;
  for (int32_t i = 0; i < count; ++i) {
    base[static_cast<std::size_t>(i) * elementLength + (elementLength - 1)] = '\0';
  }
}

char* f_lowtrim(const char* s) {
  if (s != nullptr) {
    const std::size_t n = boundedLength(s, kMaxKeywordLength);
    std::memmove(keywordBuffer, s, n);  // s may be the buffer itself (f_lowtrim(f_trim()))
    keywordBuffer[n] = '\0';
  }
  trimKeywordBuffer();
  for (char* c = keywordBuffer; *c != '\0'; ++c) *c = lowerAscii(*c);
  return keywordBuffer;
}

char* f_trim(void) {
  trimKeywordBuffer();
  return keywordBuffer;
}

char* f_copyname(char* result, const char* source, char* destination) {
  if (source == nullptr || destination == nullptr) return nullptr;
  const std::size_t n = boundedLength(source, kMaxKeywordLength);
  std::memmove(destination, source, n);
  destination[n] = '\0';
  return result;
}

}  // extern "C"
