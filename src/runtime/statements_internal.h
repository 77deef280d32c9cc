// Statement control shared by the runtime's own sources, the tests and the fuzz targets.
#pragma once

#include "nuvex/runtime/units.h"

namespace nuvex::runtime {

// Whether the internal unit's storage holds a record after the current one: always for the
// unbounded set-ups, whose caller vouches for its storage.
bool internalRecordFollows(const unit_record* unit);

// Steps the internal unit to its next record (one NUL byte after the current one). False when
// the bounded storage has no further record: end of file (iostat -1) on input, iostat 53 with a
// "VOKS WARNING" line on output.
bool advanceInternalRecord(unit_record* unit, int writing);

// An output record that ends on the last record of bounded storage leaves the advance to the
// next output of the statement, which then fails as advanceInternalRecord says.
void deferInternalAdvance();
bool internalAdvanceIsDeferred();

// The format state the internal unit uses.
format_state* internalFormatState();

}  // namespace nuvex::runtime
