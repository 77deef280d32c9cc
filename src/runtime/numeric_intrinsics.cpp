// Powers with integer exponents, rounding and sign transfer.
//
// Integer arithmetic that may overflow is done on unsigned words, where it wraps by definition;
// the wrapped bit pattern is the two's-complement result calculation code expects.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <limits>

#include "nuvex/runtime/intrinsics.h"

namespace {

constexpr const char* kSipowTruncationWarning = "WARNING: integer truncation in sipow()\n";

// The value the hardware's double-to-integer conversion gives for anything it cannot represent.
constexpr std::int32_t kIntegerIndefinite = std::numeric_limits<std::int32_t>::min();

// |n| as an unsigned word; exact for the most negative value too.
std::uint32_t unsignedMagnitude(std::int32_t n) {
  const auto word = static_cast<std::uint32_t>(n);
  return n < 0 ? 0u - word : word;
}

// Binary powering: the result starts as the base for an odd exponent; each halving of the
// exponent squares the base, and an odd remainder multiplies it in. `Square` turns the base into
// its square, `Multiply` accumulates, both in the caller's arithmetic.
template <typename Value, typename Square, typename Multiply>
Value binaryPower(Value base, std::uint32_t exponent, Square square, Multiply multiply) {
  Value result = (exponent & 1u) != 0 ? base : Value{1};
  for (std::uint32_t m = exponent >> 1; m != 0; m >>= 1) {
    base = square(base);
    if ((m & 1u) != 0) result = multiply(result, base);
  }
  return result;
}

std::uint32_t wrappingProduct(std::uint32_t a, std::uint32_t b) {
  return a * b;
}

// The base that replaces x for a negative exponent: the integer quotient 1/x (x is not 0).
std::int32_t integerReciprocal(std::int32_t x) {
  return x == 1 ? 1 : (x == -1 ? -1 : 0);
}

bool fitsSixteenBits(std::int32_t value) {
  return value >= std::numeric_limits<std::int16_t>::min() &&
         value <= std::numeric_limits<std::int16_t>::max();
}

}  // namespace

double dipow(double x, int32_t n) {
  if (x == 0.0) return 0.0;
  const double base = n < 0 ? 1.0 / x : x;
  return binaryPower(
      base, unsignedMagnitude(n), [](double b) { return b * b; },
      [](double r, double b) { return r * b; });
}

int32_t iipow(int32_t x, int32_t n) {
  if (x == 0) return 0;
  if (n < 0 && x > 1) return 0;
  const std::int32_t base = n < 0 ? integerReciprocal(x) : x;
  const std::uint32_t power = binaryPower(
      static_cast<std::uint32_t>(base), unsignedMagnitude(n), [](std::uint32_t b) { return b * b; },
      wrappingProduct);
  return static_cast<std::int32_t>(power);
}

int16_t sipow(int16_t x, int16_t n) {
  if (x == 0) return 0;
  if (n < 0 && x > 1) return 0;
  const std::int32_t base = n < 0 ? integerReciprocal(x) : x;
  // Each square is cut to 16 bits silently; only the accumulated product is checked.
  const auto cutSquare = [](std::uint32_t b) {
    const auto value = static_cast<std::int16_t>(b);
    return static_cast<std::uint32_t>(static_cast<std::int16_t>(value * value));
  };
  const auto product = static_cast<std::int32_t>(binaryPower(
      static_cast<std::uint32_t>(base), unsignedMagnitude(n), cutSquare, wrappingProduct));
  if (!fitsSixteenBits(product)) std::puts(kSipowTruncationWarning);
  return static_cast<std::int16_t>(product);
}

namespace {

// Rounding to nearest with halves away from zero. Adding 0.5 before truncating would round
// 0.49999999999999994 up and break odd values above 2^52; so does MinGW-w64's std::round. The
// fraction x - trunc(x) is exact, so comparing it with one half decides correctly.
double roundHalfAway(double x) {
  const double whole = std::trunc(x);
  return std::abs(x - whole) >= 0.5 ? whole + std::copysign(1.0, x) : whole;
}

}  // namespace

double danint(double x) {
  return roundHalfAway(x);
}

int32_t nint(double x) {
  const double rounded = roundHalfAway(x);
  constexpr auto kLowest = static_cast<double>(std::numeric_limits<std::int32_t>::min());
  constexpr auto kHighest = static_cast<double>(std::numeric_limits<std::int32_t>::max());
  if (!(rounded >= kLowest && rounded <= kHighest)) return kIntegerIndefinite;
  return static_cast<std::int32_t>(rounded);
}

int32_t idnint(double x) {
  return nint(x);
}

double daint(double x) {
  return std::trunc(x);
}

int32_t sisign(int16_t a, int16_t b) {
  const std::int32_t magnitude = a < 0 ? -std::int32_t{a} : std::int32_t{a};
  return b < 0 ? -magnitude : magnitude;
}

int32_t iisign(int32_t a, int32_t b) {
  const std::uint32_t magnitude = unsignedMagnitude(a);
  return static_cast<std::int32_t>(b < 0 ? 0u - magnitude : magnitude);
}

double dsign(double a, double b) {
  const double magnitude = std::fabs(a);
  return b < 0.0 ? -magnitude : magnitude;
}
