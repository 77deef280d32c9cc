#include "number_text.h"

#include <array>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>

namespace nuvex::cli {
namespace {

constexpr char kPlusSign = '+';
constexpr char kMinusSign = '-';
// Characters of the widest double in fixed notation (309 digits) with room for sign, point and
// the decimals the command line allows.
constexpr std::size_t kFixedTextCapacity = 400;
// A field longer than this is no number the converter could use; it is read from a copy only
// when a decimal comma has to be replaced.
constexpr std::size_t kLongestCommaNumber = 128;

// from_chars takes no plus sign; a single one before a digit or point is common in survey data.
std::string_view withoutPlusSign(std::string_view field) {
  if (field.size() > 1 && field[0] == kPlusSign && field[1] != kMinusSign &&
      field[1] != kPlusSign) {
    field.remove_prefix(1);
  }
  return field;
}

constexpr std::uint32_t kHundred = 100;
constexpr std::uint32_t kTenThousand = 10000;
constexpr std::uint64_t kEightDigits = 100000000;
constexpr std::size_t kMostDigits = 16;  // of a scaled value below kLargestScaled
// "00" to "99": the digits of a number are written two at a time.
constexpr char kDigitPairs[] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
    "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
    "8081828384858687888990919293949596979899";

// Eight decimal digits of value (below 10^8), leading zeros included: two independent halves of
// four digits, each two pairs.
void writeEightDigits(char* text, std::uint32_t value) {
  const std::uint32_t high = value / kTenThousand;
  const std::uint32_t low = value % kTenThousand;
  std::memcpy(text, &kDigitPairs[2 * (high / kHundred)], 2);
  std::memcpy(text + 2, &kDigitPairs[2 * (high % kHundred)], 2);
  std::memcpy(text + 4, &kDigitPairs[2 * (low / kHundred)], 2);
  std::memcpy(text + 6, &kDigitPairs[2 * (low % kHundred)], 2);
}

// Powers of ten for the decimals a fixed text can have.
constexpr std::array<double, 16> kPowersOfTen = {1e0, 1e1, 1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                                 1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};
// Below this a scaled value is a whole number of at most 16 digits, exact in a double and a
// long long.
constexpr double kLargestScaled = 4.0e15;
// A scaled value this close (relative to its size) to a half-way point might round otherwise in
// exact decimal arithmetic: ten times the rounding error of one multiplication.
constexpr double kHalfWayMargin = 2.5e-15;

// The fixed text of value in the common case, as the value scaled to a whole number: the same
// digits as std::to_chars wherever the scaled value is clearly not half-way between two whole
// numbers. False where that is not sure (the caller then asks std::to_chars).
bool appendFixedFast(std::string& out, double value, int decimals, char decimalMark) {
  if (decimals < 0 || decimals >= static_cast<int>(kPowersOfTen.size())) return false;
  const double scaled = std::fabs(value) * kPowersOfTen[static_cast<std::size_t>(decimals)];
  if (!(scaled < kLargestScaled)) return false;
  // Truncation is the floor of a non-negative value (and, unlike std::floor on a plain x86-64
  // build, no library call).
  const auto truncated = static_cast<unsigned long long>(scaled);
  const auto whole = static_cast<double>(truncated);
  const double fraction = scaled - whole;
  if (std::fabs(fraction - 0.5) <= scaled * kHalfWayMargin + kHalfWayMargin) return false;
  const unsigned long long digits = fraction > 0.5 ? truncated + 1 : truncated;
  const bool negative = digits != 0 && value < 0.0;
  // All 16 digits at once (two independent halves of eight), then the leading zeros dropped
  // down to one before the decimal mark.
  std::array<char, kMostDigits> all;
  writeEightDigits(all.data(), static_cast<std::uint32_t>(digits / kEightDigits));
  writeEightDigits(all.data() + kMostDigits / 2, static_cast<std::uint32_t>(digits % kEightDigits));
  const auto fractionDigits = static_cast<std::size_t>(decimals);
  std::size_t first = 0;
  while (first + fractionDigits + 1 < kMostDigits && all[first] == '0') ++first;
  constexpr std::size_t kRoom = kMostDigits + 2;  // digits, sign and mark
  std::array<char, kRoom> text;
  char* at = text.data();
  if (negative) *at++ = kMinusSign;
  const std::size_t wholeDigits = kMostDigits - fractionDigits - first;
  std::memcpy(at, all.data() + first, wholeDigits);
  at += wholeDigits;
  if (fractionDigits > 0) {
    *at++ = decimalMark;
    std::memcpy(at, all.data() + kMostDigits - fractionDigits, fractionDigits);
    at += fractionDigits;
  }
  out.append(text.data(), static_cast<std::size_t>(at - text.data()));
  return true;
}

}  // namespace

NumberReading readDecimal(std::string_view text, char decimalMark) {
  std::array<char, kLongestCommaNumber> copy;  // filled only where it is read
  if (decimalMark != kDecimalPoint && text.find(decimalMark) != std::string_view::npos) {
    if (text.size() > copy.size()) return {};
    for (std::size_t i = 0; i < text.size(); ++i) {
      copy[i] = text[i] == decimalMark ? kDecimalPoint : text[i];
    }
    text = std::string_view(copy.data(), text.size());
  }
  const std::string_view digits = withoutPlusSign(text);
  NumberReading reading;
  const char* end = digits.data() + digits.size();
  const auto result = std::from_chars(digits.data(), end, reading.value);
  if (result.ptr != end) return {};
  reading.error = result.ec;
  return reading;
}

std::errc readWhole(std::string_view text, int& value) {
  const std::string_view digits = withoutPlusSign(text);
  const char* end = digits.data() + digits.size();
  const auto result = std::from_chars(digits.data(), end, value);
  if (result.ptr != end) return std::errc::invalid_argument;
  return result.ec;
}

void appendFixed(std::string& out, double value, int decimals, char decimalMark) {
  if (appendFixedFast(out, value, decimals, decimalMark)) return;
  std::array<char, kFixedTextCapacity> buffer;
  char* const first = buffer.data();
  auto result =
      std::to_chars(first, first + buffer.size(), value, std::chars_format::fixed, decimals);
  if (result.ec != std::errc{}) result = std::to_chars(first, first + buffer.size(), value);
  const char* begin = first;
  // "-0.000" says nothing that "0.000" does not, and would look like a real sign.
  if (*begin == kMinusSign) {
    bool zero = true;
    for (const char* c = begin + 1; c != result.ptr && zero; ++c) zero = *c == '0' || *c == '.';
    if (zero && result.ptr - begin > 1) ++begin;
  }
  if (decimalMark != kDecimalPoint) {
    if (char* point = static_cast<char*>(std::memchr(first, kDecimalPoint, result.ptr - first))) {
      *point = decimalMark;
    }
  }
  out.append(begin, static_cast<std::size_t>(result.ptr - begin));
}

std::string formatFixed(double value, int decimals) {
  std::string text;
  appendFixed(text, value, decimals);
  return text;
}

std::string formatShortest(double value) {
  std::array<char, kFixedTextCapacity> buffer{};
  const auto result =
      std::to_chars(buffer.data(), buffer.data() + buffer.size(), value, std::chars_format::fixed);
  return std::string(buffer.data(), result.ptr);
}

}  // namespace nuvex::cli
