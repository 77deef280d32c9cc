// Conversion of the decimal texts that list-directed and formatted input build from their fields.
#pragma once

#include <cstddef>
#include <cstdint>

namespace nuvex::runtime {

// The value of a NUL-terminated decimal text (optional sign, digits with at most one point,
// optional "e" exponent), correctly rounded: the same double as strtod in the C locale, by the
// faster std::from_chars wherever that takes the whole text and the value is in range.
double decimalValue(const char* text, std::size_t length);

// The leading integer of a NUL-terminated text as strtoll reads it (saturating at the 64-bit
// limits), by std::from_chars where that reads the same.
long long decimalInteger(const char* text, std::size_t length);

}  // namespace nuvex::runtime
