// Numbers as the converter reads and writes them: std::from_chars and std::to_chars, with the
// forms survey data brings (a plus sign, a decimal comma) and without locale or allocation.
#pragma once

#include <string>
#include <string_view>
#include <system_error>

namespace nuvex::cli {

inline constexpr char kDecimalPoint = '.';
inline constexpr char kDecimalComma = ',';

// Outcome of reading a decimal number: std::errc{} when the whole text is one finite or infinite
// number, invalid_argument when it is not a number, result_out_of_range when it is too large.
struct NumberReading {
  double value = 0.0;
  std::errc error = std::errc::invalid_argument;
};

// Reads a whole field as a decimal number. One leading plus sign is allowed (from_chars takes
// none); with decimalMark ',' a decimal comma is read as the point.
NumberReading readDecimal(std::string_view text, char decimalMark = kDecimalPoint);

// Reads a whole field as a whole number, with the same plus sign; nothing else is allowed.
std::errc readWhole(std::string_view text, int& value);

// Appends the value with a fixed number of decimals, without a sign on a value that rounds to
// zero, the decimal point written as decimalMark.
void appendFixed(std::string& out, double value, int decimals, char decimalMark = kDecimalPoint);
// The same as a string (for tables and messages).
std::string formatFixed(double value, int decimals);
// The shortest plain decimal text that reads back as the value (bounds named in messages).
std::string formatShortest(double value);

}  // namespace nuvex::cli
