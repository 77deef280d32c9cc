// Statement control shared by the runtime's own sources, the tests and the fuzz targets.
#pragma once

#include "nuvex/runtime/units.h"

namespace nuvex::runtime {

// Optional end of the caller's storage behind the internal unit (null: unbounded, the caller
// guarantees its storage). With a bound, a record advance that would leave the storage ends the
// statement instead: end of file (iostat -1) on input, iostat 53 on output.
void setInternalStorageEnd(const char* end);

// Steps the internal unit to its next record (one NUL byte after the current one); false, with
// iostat set, when that record would leave the bounded storage.
bool advanceInternalRecord(unit_record* unit, int writing);

// The format state the internal unit uses.
format_state* internalFormatState();

}  // namespace nuvex::runtime
