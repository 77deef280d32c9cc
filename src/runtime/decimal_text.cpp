// Decimal conversion of input texts; see decimal_text.h.
#include "runtime/decimal_text.h"

#include <charconv>
#include <cstdlib>
#include <system_error>

namespace nuvex::runtime {
namespace {

// The powers of ten that a double holds exactly: 10^0 to 10^22.
constexpr double kExactPowersOfTen[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                        1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                        1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
constexpr int kLargestExactPower = 22;
constexpr std::uint64_t kDecimalBase = 10;
constexpr int kExponentCap = 10000;  // beyond any double: such texts take the general road

bool isDigit(char c) {
  return c >= '0' && c <= '9';
}

// The short texts of everyday input: a mantissa of at most 2^53 and a power of ten that a
// double holds exactly. Then mantissa and power are both exact and one IEEE multiplication or
// division rounds correctly (Clinger's fast path), so the result is strtod's to the last bit.
// False for any other text, which the general conversion then takes.
bool convertShortText(const char* p, const char* end, double& out) {
  const bool negative = p < end && *p == '-';
  if (negative) ++p;
  std::uint64_t mantissa = 0;
  const char* integerStart = p;
  if (!accumulateExactDigits(p, end, mantissa)) return false;
  bool anyDigit = p != integerStart;
  int exponent = 0;
  if (p < end && *p == '.') {
    const char* fractionStart = ++p;
    if (!accumulateExactDigits(p, end, mantissa)) return false;
    anyDigit = anyDigit || p != fractionStart;
    exponent = -static_cast<int>(p - fractionStart);
  }
  if (!anyDigit) return false;
  if (p < end && (*p == 'e' || *p == 'E')) {
    ++p;
    const bool negativeExponent = p < end && *p == '-';
    if (p < end && (*p == '-' || *p == '+')) ++p;
    if (p == end) return false;
    int written = 0;
    for (; p < end && isDigit(*p); ++p) {
      written = written * 10 + (*p - '0');
      if (written > kExponentCap) return false;
    }
    exponent += negativeExponent ? -written : written;
  }
  if (p != end) return false;
  return exactDecimal(mantissa, exponent, negative, out);
}

}  // namespace

bool exactDecimal(std::uint64_t mantissa, std::int64_t exponent, bool negative, double& out) {
  double value = static_cast<double>(mantissa);
  if (mantissa != 0) {
    if (mantissa > kLargestExactMantissa) return false;
    if (exponent > kLargestExactPower || exponent < -kLargestExactPower) return false;
    value =
        exponent >= 0 ? value * kExactPowersOfTen[exponent] : value / kExactPowersOfTen[-exponent];
  }
  out = negative ? -value : value;
  return true;
}

// strtod and strtoll stay as the reference for every text from_chars does not take whole or
// cannot represent: a leading "+" or blank, a missing mantissa, overflow and underflow (where
// from_chars leaves the value alone but strtod gives infinity, zero or a subnormal).
double decimalValue(const char* text, std::size_t length) {
  double value = 0.0;
  if (convertShortText(text, text + length, value)) return value;
  const std::from_chars_result parsed =
      std::from_chars(text, text + length, value, std::chars_format::general);
  if (parsed.ec == std::errc{} && parsed.ptr == text + length) return value;
  return std::strtod(text, nullptr);
}

long long decimalInteger(const char* text, std::size_t length) {
  long long value = 0;
  const std::from_chars_result parsed = std::from_chars(text, text + length, value, 10);
  if (parsed.ec == std::errc{}) return value;
  return std::strtoll(text, nullptr, 10);
}

}  // namespace nuvex::runtime
