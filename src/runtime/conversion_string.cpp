// Shared pieces of the formatted READ and WRITE entries; see conversion_string.h.
#include "runtime/conversion_string.h"

#include "nuvex/runtime/diagnostics.h"
#include "runtime/io_status.h"

namespace nuvex::runtime {

Conversion parseConversion(const char*& position) {
  Conversion conversion;
  if (*position == 'A') {
    conversion.array = true;
    ++position;
  }
  if (*position == 'h' || *position == 'l' || *position == 'L') conversion.modifier = *position++;
  conversion.letter = *position;
  if (*position != '\0') ++position;
  return conversion;
}

unit_record* continuedStatementUnit(int unit, int standardUnit, const char* missingFormat) {
  if (!(isExternalUnit(unit) || unit == UNIT_INTERNAL || unit == standardUnit)) {
    check_unit_number(unit);
    return nullptr;
  }
  unit_record* record = f_unit(unit);
  if (record->iostat != 0) return nullptr;
  if (record->stream == nullptr && (record->mode & UNIT_MODE_INTERNAL) == 0) {
    record->iostat = kIostatNotOpened;
    return nullptr;
  }
  if ((record->mode & UNIT_MODE_UNFORMATTED) != 0) {
    record->iostat = kIostatNotFormatted;
    return nullptr;
  }
  if (record->format == nullptr || record->format->start == nullptr) f_error(missingFormat);
  return record;
}

}  // namespace nuvex::runtime
