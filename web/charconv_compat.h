// What the C++ library of the WebAssembly toolchain (Emscripten 3.1.6, an early libc++) lacks of
// C++20 and the library relies on: std::bit_cast, and std::from_chars and std::to_chars for
// doubles. Included before every source of the web build (-include); the native builds never see
// it. The numbers read and written are those of the native converter: musl's strtod is correctly
// rounded and its printf exact, as from_chars and to_chars are, and the rules of from_chars (no
// plus sign or blank before the number, "inf" and "nan", out of range on overflow and on an
// underflow to zero) are kept here; the page's tests compare its output byte for byte with the
// native converter's.
#pragma once

#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <system_error>
#include <version>

#ifndef __cpp_lib_bit_cast
namespace std {
template <class To, class From>
constexpr To bit_cast(const From& from) noexcept {
  return __builtin_bit_cast(To, from);
}
}  // namespace std
#endif

#ifndef __cpp_lib_to_chars
namespace nuvex_web_compat {

inline bool startsWithWord(const char* first, const char* last, const char* word) {
  const std::size_t length = std::strlen(word);
  if (static_cast<std::size_t>(last - first) < length) return false;
  for (std::size_t i = 0; i < length; ++i) {
    const char c = first[i];
    if ((c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c) != word[i]) return false;
  }
  return true;
}

inline bool isDigit(char c) {
  return c >= '0' && c <= '9';
}

inline constexpr int kExactDigits = 15;  // any 15-digit whole number is below 2^53
inline constexpr int kExactPower = 22;   // 1e22 is the largest power of ten a double holds exactly

inline std::from_chars_result readDouble(const char* first, const char* last, double& value,
                                         std::chars_format format) {
  const char* at = first;
  bool negative = false;
  if (at != last && *at == '-') {
    negative = true;
    ++at;
  }
  if (startsWithWord(at, last, "inf")) {
    at += startsWithWord(at, last, "infinity") ? 8 : 3;
    value = negative ? -HUGE_VAL : HUGE_VAL;
    return {at, std::errc{}};
  }
  if (startsWithWord(at, last, "nan")) {
    at += 3;
    if (at != last && *at == '(') {
      const char* close = at + 1;
      while (close != last && (isDigit(*close) || (*close >= 'a' && *close <= 'z') ||
                               (*close >= 'A' && *close <= 'Z') || *close == '_')) {
        ++close;
      }
      if (close != last && *close == ')') at = close + 1;
    }
    value = negative ? -std::nan("") : std::nan("");
    return {at, std::errc{}};
  }
  // The digits as a whole number and a power of ten, while they fit a double exactly.
  bool anyDigit = false;
  bool nonZero = false;
  unsigned long long digits = 0;
  int significant = 0;
  int scale = 0;  // power of ten of the last digit taken
  const auto take = [&](char c, bool fraction) {
    anyDigit = true;
    nonZero = nonZero || c != '0';
    if (significant < kExactDigits) {
      digits = digits * 10 + static_cast<unsigned>(c - '0');
      if (digits != 0) ++significant;
      if (fraction) --scale;
    } else {
      significant = kExactDigits + 1;  // too many: strtod reads it
    }
  };
  while (at != last && isDigit(*at)) take(*at++, false);
  if (at != last && *at == '.') {
    ++at;
    while (at != last && isDigit(*at)) take(*at++, true);
  }
  if (!anyDigit) return {first, std::errc::invalid_argument};
  int power = 0;
  bool powerFits = true;
  if (format != std::chars_format::fixed && at != last && (*at == 'e' || *at == 'E')) {
    const char* exponent = at + 1;
    bool negativePower = false;
    if (exponent != last && (*exponent == '+' || *exponent == '-')) {
      negativePower = *exponent == '-';
      ++exponent;
    }
    if (exponent != last && isDigit(*exponent)) {
      while (exponent != last && isDigit(*exponent)) {
        if (power < 100000)
          power = power * 10 + (*exponent - '0');
        else
          powerFits = false;
        ++exponent;
      }
      if (negativePower) power = -power;
      at = exponent;
    } else if (format == std::chars_format::scientific) {
      return {first, std::errc::invalid_argument};
    }
  } else if (format == std::chars_format::scientific) {
    return {first, std::errc::invalid_argument};
  }
  // Clinger's fast path: a whole number below 2^53 times or divided by an exact power of ten
  // (at most 1e22) is one correctly rounded operation. Survey coordinates are nearly all so.
  const int exponent10 = scale + power;
  if (significant <= kExactDigits && powerFits && exponent10 >= -kExactPower &&
      exponent10 <= kExactPower) {
    static constexpr double kPowers[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                         1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                         1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
    double read = static_cast<double>(digits);
    read = exponent10 < 0 ? read / kPowers[-exponent10] : read * kPowers[exponent10];
    value = negative ? -read : read;
    return {at, std::errc{}};
  }
  const std::size_t length = static_cast<std::size_t>(at - first);
  char small[128];
  char* text = length < sizeof small ? small : static_cast<char*>(std::malloc(length + 1));
  if (text == nullptr) return {first, std::errc::not_enough_memory};
  std::memcpy(text, first, length);
  text[length] = '\0';
  const double read = std::strtod(text, nullptr);
  if (text != small) std::free(text);
  if (std::isinf(read) || (read == 0.0 && nonZero)) return {at, std::errc::result_out_of_range};
  value = read;
  return {at, std::errc{}};
}

inline std::to_chars_result writeText(char* first, char* last, const char* text, int length) {
  if (length < 0 || length > last - first) return {last, std::errc::value_too_large};
  std::memcpy(first, text, static_cast<std::size_t>(length));
  return {first + length, std::errc{}};
}

inline std::to_chars_result writeSpecial(char* first, char* last, double value) {
  const char* text =
      std::isnan(value) ? (std::signbit(value) ? "-nan" : "nan") : (value < 0 ? "-inf" : "inf");
  return writeText(first, last, text, static_cast<int>(std::strlen(text)));
}

inline std::to_chars_result writeFixed(char* first, char* last, double value, int precision) {
  if (!std::isfinite(value)) return writeSpecial(first, last, value);
  const int length = std::snprintf(nullptr, 0, "%.*f", precision, value);
  if (length < 0 || length > last - first) return {last, std::errc::value_too_large};
  char* text = static_cast<char*>(std::malloc(static_cast<std::size_t>(length) + 1));
  if (text == nullptr) return {last, std::errc::value_too_large};
  std::snprintf(text, static_cast<std::size_t>(length) + 1, "%.*f", precision, value);
  const std::to_chars_result result = writeText(first, last, text, length);
  std::free(text);
  return result;
}

// The fewest significant digits that read back as the value, written without an exponent.
inline std::to_chars_result writeShortestFixed(char* first, char* last, double value) {
  if (!std::isfinite(value)) return writeSpecial(first, last, value);
  // From 2^53 on every double is a whole number, written with all its digits.
  if (std::fabs(value) >= 9007199254740992.0) return writeFixed(first, last, value, 0);
  char scientific[40];
  int digits = 1;
  for (; digits <= 17; ++digits) {
    std::snprintf(scientific, sizeof scientific, "%.*e", digits - 1, value);
    if (std::strtod(scientific, nullptr) == value) break;
  }
  // scientific: [-]d[.ddd]e[+-]xx
  const char* at = scientific;
  const bool negative = *at == '-';
  if (negative) ++at;
  char mantissa[24];
  int count = 0;
  for (; *at != 'e'; ++at) {
    if (*at != '.') mantissa[count++] = *at;
  }
  const int exponent = std::atoi(at + 1);
  char text[400];
  int length = 0;
  if (negative) text[length++] = '-';
  if (value == 0.0) {
    text[length++] = '0';
  } else if (exponent >= 0) {
    for (int i = 0; i <= exponent || i < count; ++i) {
      if (i == exponent + 1) text[length++] = '.';
      text[length++] = i < count ? mantissa[i] : '0';
    }
  } else {
    text[length++] = '0';
    text[length++] = '.';
    for (int i = 0; i < -exponent - 1; ++i) text[length++] = '0';
    for (int i = 0; i < count; ++i) text[length++] = mantissa[i];
  }
  return writeText(first, last, text, length);
}


}  // namespace nuvex_web_compat

namespace std {
inline from_chars_result from_chars(const char* first, const char* last, double& value,
                                    chars_format format = chars_format::general) {
  return nuvex_web_compat::readDouble(first, last, value, format);
}
inline to_chars_result to_chars(char* first, char* last, double value, chars_format format,
                                int precision) {
  if (format != chars_format::fixed) return {last, errc::invalid_argument};
  return nuvex_web_compat::writeFixed(first, last, value, precision);
}
inline to_chars_result to_chars(char* first, char* last, double value, chars_format format) {
  if (format != chars_format::fixed) return {last, errc::invalid_argument};
  return nuvex_web_compat::writeShortestFixed(first, last, value);
}
inline to_chars_result to_chars(char* first, char* last, double value) {
  return nuvex_web_compat::writeShortestFixed(first, last, value);
}
}  // namespace std
#endif
