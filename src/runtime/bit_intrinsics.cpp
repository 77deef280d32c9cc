// Bit and integer intrinsics on 16-bit and 32-bit values: one template per rule, instantiated
// for both widths.
//
// All bit work happens on the zero-extended unsigned pattern in a 32-bit word, so shifts never
// reach the sign bit of a signed type and never shift by the word's width or more. Positions,
// shifts and lengths are checked against the value's width before any shift is built from them.
#include <algorithm>
#include <cstdarg>
#include <cstdint>
#include <cstring>
#include <limits>
#include <type_traits>

#include "nuvex/runtime/intrinsics.h"

namespace {

using Word = std::uint32_t;

template <typename Int>
constexpr int kWidth = std::numeric_limits<std::make_unsigned_t<Int>>::digits;

constexpr int kWordWidth = std::numeric_limits<Word>::digits;

// The bit pattern of a value, zero-extended.
template <typename Int>
Word toWord(Int value) {
  return static_cast<std::make_unsigned_t<Int>>(value);
}

// The low bits of a word as a value of the width (two's complement).
template <typename Int>
Int fromWord(Word word) {
  return static_cast<Int>(static_cast<std::make_unsigned_t<Int>>(word));
}

// A mask of the `count` lowest bits, count in 0..32.
Word lowBits(std::int64_t count) {
  return count >= kWordWidth ? ~Word{0} : (Word{1} << count) - 1;
}

template <typename Int>
bool isBitPosition(std::int64_t position) {
  return position >= 0 && position < kWidth<Int>;
}

template <typename Int>
Int setBit(Int value, Int position) {
  if (!isBitPosition<Int>(position)) return value;
  return fromWord<Int>(toWord(value) | (Word{1} << position));
}

template <typename Int>
Int clearBit(Int value, Int position) {
  if (!isBitPosition<Int>(position)) return value;
  return fromWord<Int>(toWord(value) & ~(Word{1} << position));
}

template <typename Int>
Int testBit(Int value, Int position) {
  if (!isBitPosition<Int>(position)) return 0;
  return static_cast<Int>((toWord(value) >> position) & 1u);
}

template <typename Int>
Int shiftArithmetic(Int value, Int shift) {
  const std::int64_t distance = shift;
  if (distance >= kWidth<Int>) return 0;
  if (distance >= 0) return fromWord<Int>(toWord(value) << distance);
  const std::int64_t right = -distance;
  const bool negative = value < 0;
  if (right >= kWidth<Int>) return negative ? Int{-1} : Int{0};
  Word shifted = toWord(value) >> right;
  if (negative) shifted |= lowBits(kWidth<Int>) & ~lowBits(kWidth<Int> - right);  // sign fill
  return fromWord<Int>(shifted);
}

template <typename Int>
void moveBits(Int source, Int sourcePosition, Int length, Int* destination,
              Int destinationPosition) {
  if (destination == nullptr || length < 1) return;
  const std::int64_t from = sourcePosition;
  const std::int64_t to = destinationPosition;
  // Only the offsets at which both bits exist are moved.
  const std::int64_t first = std::max<std::int64_t>({0, -from, -to});
  const std::int64_t last = std::min<std::int64_t>({length, kWidth<Int> - from, kWidth<Int> - to});
  Word result = toWord(*destination);
  for (std::int64_t i = first; i < last; ++i) {
    const Word bit = (toWord(source) >> (from + i)) & 1u;
    result = (result & ~(Word{1} << (to + i))) | (bit << (to + i));
  }
  *destination = fromWord<Int>(result);
}

template <typename Int>
Int extractBits(Int value, Int position, Int length) {
  const std::int64_t from = position;
  const std::int64_t count = length;
  if (from < 0 || count < 1 || from + count > kWidth<Int>) return 0;
  return fromWord<Int>((toWord(value) >> from) & lowBits(count));
}

template <typename Int>
Int rotateLowBits(Int value, Int shift, Int size) {
  if (shift == 0) return value;
  const std::int64_t bits = size;
  const std::int64_t distance = shift;
  if (bits < 1 || bits > kWidth<Int> || distance > bits || -distance > bits) return 0;
  const std::int64_t left = (distance + bits) % bits;  // a right rotation is a left one
  if (left == 0) return value;
  const Word mask = lowBits(bits);
  const Word field = toWord(value) & mask;
  const Word rotated = ((field << left) | (field >> (bits - left))) & mask;
  return fromWord<Int>((toWord(value) & ~mask) | rotated);
}

// The smallest of a sentinel-terminated list; the values arrive as int (promoted).
template <typename Int>
Int smallestBeforeSentinel(Int first, Int sentinel, std::va_list& values) {
  if (first == sentinel) return 0;
  Int smallest = first;
  for (auto next = static_cast<Int>(va_arg(values, int)); next != sentinel;
       next = static_cast<Int>(va_arg(values, int))) {
    smallest = std::min(smallest, next);
  }
  return smallest;
}

template <typename Int>
Int remainderOrZero(Int a, Int b) {
  // A zero divisor has no remainder, and -1 divides everything (also the most negative value,
  // whose quotient would overflow).
  if (b == 0 || b == -1) return 0;
  return static_cast<Int>(a % b);
}

}  // namespace

int16_t ibset16(int16_t value, int16_t position) {
  return setBit(value, position);
}
int32_t ibset32(int32_t value, int32_t position) {
  return setBit(value, position);
}
int16_t ibclr16(int16_t value, int16_t position) {
  return clearBit(value, position);
}
int32_t ibclr32(int32_t value, int32_t position) {
  return clearBit(value, position);
}
int16_t btest16(int16_t value, int16_t position) {
  return testBit(value, position);
}
int32_t btest32(int32_t value, int32_t position) {
  return testBit(value, position);
}
int16_t ishft16(int16_t value, int16_t shift) {
  return shiftArithmetic(value, shift);
}
int32_t ishft32(int32_t value, int32_t shift) {
  return shiftArithmetic(value, shift);
}

void mvbits16(int16_t source, int16_t source_position, int16_t length, int16_t* destination,
              int16_t destination_position) {
  moveBits(source, source_position, length, destination, destination_position);
}

void mvbits32(int32_t source, int32_t source_position, int32_t length, int32_t* destination,
              int32_t destination_position) {
  moveBits(source, source_position, length, destination, destination_position);
}

int16_t ibits16(int16_t value, int16_t position, int16_t length) {
  return extractBits(value, position, length);
}

int32_t ibits32(int32_t value, int32_t position, int32_t length) {
  return extractBits(value, position, length);
}

int16_t ishftc16(int16_t value, int16_t shift, int16_t size) {
  return rotateLowBits(value, shift, size);
}

int32_t ishftc32(int32_t value, int32_t shift, int32_t size) {
  return rotateLowBits(value, shift, size);
}

int16_t imin16(int16_t a, int16_t b) {
  return std::min(a, b);
}
int32_t imin32(int32_t a, int32_t b) {
  return std::min(a, b);
}
double dmin2(double a, double b) {
  return b > a ? a : b;
}

double dminv(double first, ...) {
  if (first == F_DMINV_SENTINEL) return 0.0;
  std::va_list values;
  va_start(values, first);
  double smallest = first;
  for (double next = va_arg(values, double); next != F_DMINV_SENTINEL;
       next = va_arg(values, double)) {
    if (next < smallest) smallest = next;
  }
  va_end(values);
  return smallest;
}

int32_t iminv32(int32_t first, ...) {
  std::va_list values;
  va_start(values, first);
  const int32_t smallest = smallestBeforeSentinel<int32_t>(first, F_IMINV32_SENTINEL, values);
  va_end(values);
  return smallest;
}

int16_t iminv16(int first, ...) {
  std::va_list values;
  va_start(values, first);
  const int16_t smallest =
      smallestBeforeSentinel<int16_t>(static_cast<int16_t>(first), F_IMINV16_SENTINEL, values);
  va_end(values);
  return smallest;
}

int16_t iabs16(int16_t a) {
  const auto word = static_cast<std::uint16_t>(a);
  return static_cast<int16_t>(a < 0 ? static_cast<std::uint16_t>(0u - word) : word);
}

int16_t imod16(int16_t a, int16_t b) {
  return remainderOrZero(a, b);
}
int32_t imod32(int32_t a, int32_t b) {
  return remainderOrZero(a, b);
}

double dmul(double a, double b) {
  return a * b;
}

int32_t f_index(const char* string, const char* substring) {
  const char* text = string == nullptr ? "" : string;
  if (substring == nullptr || *substring == '\0') {
    return static_cast<int32_t>(std::strlen(text) + 1);
  }
  const char* found = std::strstr(text, substring);
  return found == nullptr ? 0 : static_cast<int32_t>(found - text + 1);
}
