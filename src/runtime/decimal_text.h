// Conversion of the decimal texts that list-directed and formatted input build from their fields.
#pragma once

#include <cstddef>
#include <cstdint>

namespace nuvex::runtime {

// The largest mantissa exactDecimal takes: digits may be accumulated while they stay below it.
inline constexpr std::uint64_t kLargestExactMantissa = std::uint64_t{1} << 53;

// The value mantissa * 10^exponent (negated when `negative`) when both factors are exact in a
// double (mantissa <= 2^53, |exponent| <= 22): then one IEEE multiplication or division rounds
// correctly and the result is strtod's to the last bit. False, with `out` untouched, otherwise.
// A zero mantissa gives a zero of the sign whatever the exponent.
bool exactDecimal(std::uint64_t mantissa, std::int64_t exponent, bool negative, double& out);

// Digits from `p` accumulated into `mantissa` while it stays within kLargestExactMantissa; `p` is
// left after the last digit read. False once the mantissa would pass it.
// Inline: both run for every digit of the everyday input values.
inline bool accumulateExactDigits(const char*& p, const char* end, std::uint64_t& mantissa) {
  for (; p < end && *p >= '0' && *p <= '9'; ++p) {
    mantissa = mantissa * 10 + static_cast<std::uint64_t>(*p - '0');
    if (mantissa > kLargestExactMantissa) return false;
  }
  return true;
}

// The exponent of a Fortran real constant, from just after its mantissa to `end`: nothing (0), or
// D or E in either case with an optional sign, or a bare sign, followed by digits. False for any
// other text and for exponents too long to matter to a double, which the general conversion then
// takes.
inline bool fortranExponent(const char* p, const char* end, std::int64_t& exponent) {
  constexpr std::int64_t kExponentCap = 10000;  // beyond any double: the general road takes it
  exponent = 0;
  if (p == end) return true;
  bool negative = *p == '-';
  if (*p == 'e' || *p == 'E' || *p == 'd' || *p == 'D') {
    ++p;
    if (p < end && (*p == '+' || *p == '-')) negative = *p++ == '-';
  } else if (*p == '+' || *p == '-') {
    ++p;
  } else {
    return false;
  }
  if (p == end || *p < '0' || *p > '9') return false;
  for (; p < end && *p >= '0' && *p <= '9'; ++p) {
    exponent = exponent * 10 + (*p - '0');
    if (exponent > kExponentCap) return false;
  }
  if (negative) exponent = -exponent;
  return p == end;
}

// The value of a NUL-terminated decimal text (optional sign, digits with at most one point,
// optional "e" exponent), correctly rounded: the same double as strtod in the C locale, by the
// faster std::from_chars wherever that takes the whole text and the value is in range.
double decimalValue(const char* text, std::size_t length);

// The leading integer of a NUL-terminated text as strtoll reads it (saturating at the 64-bit
// limits), by std::from_chars where that reads the same.
long long decimalInteger(const char* text, std::size_t length);

}  // namespace nuvex::runtime
