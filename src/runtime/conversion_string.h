// The conversion string of the formatted READ and WRITE entries ("%d %Ahd %lf\n"): the parsing of
// one "%[A][h|l|L]x" conversion, and the checks of an entry that continues a started statement.
// Both directions share them so that a conversion string means the same to READ and WRITE.
#pragma once

#include "nuvex/runtime/units.h"
#include "runtime/unit_table_internal.h"

namespace nuvex::runtime {

struct Conversion {
  bool array = false;    // 'A': an element count and a base address instead of one value
  char modifier = '\0';  // 'h', 'l', 'L' or none
  char letter = '\0';    // NUL: the string ended inside the conversion
};

// Parses the conversion that follows a '%'; `position` points just after the '%' and is left
// after the conversion letter (or on the terminating NUL).
Conversion parseConversion(const char*& position);

inline bool isShort(const Conversion& c) {
  return c.modifier == 'h';
}
inline bool isLong(const Conversion& c) {
  return c.modifier == 'l' || c.modifier == 'L';
}

// The unit of an entry that continues the statement started on it, or null after a refusal
// (iostat set). A unit number other than an external one, the internal unit or `standardUnit`
// is fatal, and so is a unit without a started FORMAT (`missingFormat` names the entry).
unit_record* continuedStatementUnit(int unit, int standardUnit, const char* missingFormat);

}  // namespace nuvex::runtime
