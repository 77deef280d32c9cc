// Unit status codes (iostat): connection, statement control and formatted editing.
#pragma once

#include <cstdint>

namespace nuvex::runtime {

inline constexpr int16_t kIostatEndOfFile = -1;
inline constexpr int16_t kIostatOpenOldFailed = 1;      // OLD, RO, READ
inline constexpr int16_t kIostatOpenNewFailed = 2;      // NEW, WO, WRITE
inline constexpr int16_t kIostatOpenScratchFailed = 3;  // SCRATCH
inline constexpr int16_t kIostatOpenUnknownFailed = 4;  // UNKNOWN
inline constexpr int16_t kIostatBadStatus = 5;
inline constexpr int16_t kIostatBadForm = 6;
inline constexpr int16_t kIostatBadDirectRecl = 7;
inline constexpr int16_t kIostatBadAccess = 8;
inline constexpr int16_t kIostatBadBlank = 9;
inline constexpr int16_t kIostatSeekEndFailed = 10;
inline constexpr int16_t kIostatNoRecordBuffer = 12;
inline constexpr int16_t kIostatNoFormatState = 13;
inline constexpr int16_t kIostatCloseFailed = 21;
inline constexpr int16_t kIostatRemoveFailed = 22;
inline constexpr int16_t kIostatRewindFailed = 71;
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
