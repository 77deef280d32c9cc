// Unit status codes (iostat) of statement control and formatted editing.
#pragma once

#include <cstdint>

namespace nuvex::runtime {

inline constexpr int16_t kIostatEndOfFile = -1;
inline constexpr int16_t kIostatNotOpened = 31;
inline constexpr int16_t kIostatNotSequential = 34;
inline constexpr int16_t kIostatNotDirect = 35;
inline constexpr int16_t kIostatNotFormatted = 36;
inline constexpr int16_t kIostatListDirectedDirect = 42;
inline constexpr int16_t kIostatBadRecord = 43;
inline constexpr int16_t kIostatWriteFailed = 51;
inline constexpr int16_t kIostatRecordOverflow = 53;
inline constexpr int16_t kIostatWriteOnReadOnly = 54;
inline constexpr int16_t kIostatReadFailed = 61;
inline constexpr int16_t kIostatEndOfRecord = 62;
inline constexpr int16_t kIostatBadLogical = 63;
inline constexpr int16_t kIostatBadDecimal = 64;
inline constexpr int16_t kIostatBadReal = 65;
inline constexpr int16_t kIostatBadHexadecimal = 66;
inline constexpr int16_t kIostatBadOctalOrBinary = 67;
inline constexpr int16_t kIostatReadOnWriteOnly = 70;

}  // namespace nuvex::runtime
