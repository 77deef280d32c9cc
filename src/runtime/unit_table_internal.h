// Module state and helpers of the unit table shared by the runtime's own sources.
#pragma once

#include "nuvex/runtime/units.h"

NUVEX_EXTERN_C_BEGIN

// 1: standard output units get the carriage-control bit when pre-opened (initially 1).
extern int f_carriage_control_on_stdout;
// Set by f77ini; put_record lets output follow an end of file only when it is set (initially 0).
extern int f_output_after_eof_allowed;

NUVEX_EXTERN_C_END

namespace nuvex::runtime {

// Unit iostat codes set by connecting, opening, closing and the setters.
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

// Source path and lines reported to the host for unit diagnostics.
inline constexpr const char* kOpenCloseSourceFile = "calc/VOKS/OPNCLS";

// The caller's file argument as it may be printed ("%s" must never see a null pointer).
inline const char* printableName(const char* name) {
  return name != nullptr ? name : "";
}

// A keyword argument that is null, empty or all blanks selects the default.
bool isEmptyKeyword(const char* keyword);
// Case-insensitive, blank-padded keyword equality.
bool keywordIs(const char* keyword, const char* expected);

// Pre-opens units 101 and 102 on the standard streams and sets up the internal unit 100.
void preopenStandardUnits();

}  // namespace nuvex::runtime
