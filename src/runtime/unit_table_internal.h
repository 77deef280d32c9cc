// Module state and helpers of the unit table shared by the runtime's own sources.
#pragma once

#include "nuvex/runtime/units.h"
#include "runtime/io_status.h"

NUVEX_EXTERN_C_BEGIN

// 1: standard output units get the carriage-control bit when pre-opened (initially 1).
extern int f_carriage_control_on_stdout;
// Set by f77ini; put_record lets output follow an end of file only when it is set (initially 0).
extern int f_output_after_eof_allowed;

NUVEX_EXTERN_C_END

namespace nuvex::runtime {

// Source path and lines reported to the host for unit diagnostics.
inline constexpr const char* kOpenCloseSourceFile = "calc/VOKS/OPNCLS";

inline bool isExternalUnit(int unit) {
  return unit >= 0 && unit <= UNIT_LAST_EXTERNAL;
}

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
