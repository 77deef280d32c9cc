// I/O statement control: the checks and set-up at the start of a formatted statement, record
// input, the record advance that "/" and format reversion ask for, and record output.
#include "nuvex/runtime/statements.h"

#include <sys/types.h>

#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "nuvex/runtime/diagnostics.h"
#include "nuvex/runtime/format.h"
#include "runtime/allocation.h"
#include "runtime/bounded_text.h"
#include "runtime/io_status.h"
#include "runtime/statements_internal.h"
#include "runtime/unit_table_internal.h"

using namespace nuvex::runtime;

namespace {

constexpr char kLineFeed = '\n';
constexpr char kCarriageReturn = '\r';
constexpr char kFormFeed = '\f';
constexpr int kNtstrSlots = 255;  // results of ntstr stay valid for this many further calls

format_state internalFormat;
// End of the caller's storage behind the internal unit, set by the bounded set-ups for their
// statement; null when the caller vouches for its storage instead.
const char* internalStorageEnd = nullptr;
uint32_t internalRecordCount = 0;  // of the bounded statement, for its warning
// A record of the internal file was ended at the last record of bounded storage: the next output
// of the statement needs a record that is not there.
bool internalAdvanceDeferred = false;

unit_record* unitOrFatal(int unit) {
  unit_record* record = f_unit(unit);
  if (record == nullptr) {
    check_unit_number(unit);
    f_error("bad unit number");  // not reached: check_unit_number ends the calculation
  }
  return record;
}

// A failed check: the warning line with the unit number and the unit's iostat.
bool refuse(unit_record* record, int unit, const char* warning, int16_t iostat) {
  char message[128];
  std::snprintf(message, sizeof message, warning, unit);
  record->iostat = iostat;
  f_warning(message);
  return false;
}

bool checkConnected(unit_record* record, int unit) {
  return record->stream != nullptr ||
         refuse(record, unit, "Unit %d is NOT opened", kIostatNotOpened);
}
bool checkFormatted(unit_record* record, int unit) {
  return (record->mode & UNIT_MODE_UNFORMATTED) == 0 ||
         refuse(record, unit, "Unit %d is not opened for FORMATTED I/O", kIostatNotFormatted);
}
bool checkDirect(unit_record* record, int unit) {
  return record->access == UNIT_ACCESS_DIRECT ||
         refuse(record, unit, "Unit %d is not opened for DIRECT I/O", kIostatNotDirect);
}
bool checkSequential(unit_record* record, int unit) {
  return record->access == UNIT_ACCESS_SEQUENTIAL ||
         refuse(record, unit, "Unit %d is not opened for SEQUENTIAL I/O", kIostatNotSequential);
}

// Byte offset of a direct record (from 1): a 64-bit product, as large files need.
off_t directRecordOffset(uint32_t record_number, uint32_t recl) {
  return static_cast<off_t>(record_number - 1) * static_cast<off_t>(recl);
}

bool isInternal(const unit_record* record) {
  return (record->mode & UNIT_MODE_INTERNAL) != 0;
}

// Unit 100 on the caller's storage, as both internal set-ups and attach_internal leave it.
unit_record* setUpInternal(char* start, uint32_t length) {
  unit_record* record = f_unit(UNIT_INTERNAL);
  record->stream = nullptr;
  record->iostat = 0;
  record->status = UNIT_STATUS_UNKNOWN;
  record->access = UNIT_ACCESS_SEQUENTIAL;
  record->fresh = 0;
  record->recl = length;
  record->record = start;
  record->cursor = start;
  record->record_end = start + length;
  record->state &= ~static_cast<uint32_t>(UNIT_STATE_EOF);
  // Formatted and internal, BLANK=NULL, no PAD: every internal statement starts alike.
  record->mode = UNIT_MODE_INTERNAL;
  internalFormat.edit_flags &= ~static_cast<uint32_t>(FORMAT_FLAG_BZ | FORMAT_FLAG_SP);
  internalFormat.scale = 0;
  record->format = &internalFormat;
  internalStorageEnd = nullptr;
  internalAdvanceDeferred = false;
  return record;
}

void warnInternalOverflow() {
  char message[96];
  std::snprintf(message, sizeof message, "WRITE past the end of an internal file of %u records",
                static_cast<unsigned>(internalRecordCount));
  f_warning(message);
}

// No record where the statement needs one: end of file on input; on output iostat 53 with its
// warning.
void refuseInternalRecord(unit_record* unit, bool writing) {
  if (writing) {
    unit->iostat = kIostatRecordOverflow;
    warnInternalOverflow();
  } else {
    unit->state |= UNIT_STATE_EOF;
    unit->iostat = kIostatEndOfFile;
  }
}

unit_record* beginInternal(char* base, uint32_t first, uint32_t last) {
  if (last < first) f_error("illegal substr bounds in internal I/O");
  return setUpInternal(base + first, last - first + 1);
}

// The bound of `records` records, each of recl characters and a NUL, from the record start. An
// internal file without records ends the statement before anything is read or written.
bool boundInternal(unit_record* record, uint32_t records, bool writing) {
  internalRecordCount = records;
  const size_t stride = static_cast<size_t>(record->recl) + 1;
  internalStorageEnd = record->record + stride * records;
  if (records > 0) return true;
  refuseInternalRecord(record, writing);
  return false;
}

// One line of a sequential external file. fgets leaves the rest of a longer line for the next
// record; a line of exactly recl - 1 characters has only its line end left, which belongs to it
// and must not read as an empty record of its own.
void readLine(unit_record* record) {
  std::memset(record->record, 0, static_cast<size_t>(record->recl) + 1);
  int size = static_cast<int>(record->recl);
  if (size < 2) {  // no room for even one character of a line
    record->iostat = kIostatReadFailed;
    return;
  }
  if (std::fgets(record->record, size, record->stream) == nullptr) {
    if (std::feof(record->stream)) {
      record->state |= UNIT_STATE_EOF;
      record->iostat = kIostatEndOfFile;
    } else {
      record->iostat = kIostatReadFailed;
    }
    return;
  }
  char* lineEnd = std::strchr(record->record, kLineFeed);
  if (lineEnd != nullptr) {
    *lineEnd = '\0';
  } else if (std::strlen(record->record) == static_cast<size_t>(size - 1)) {
    int next = std::fgetc(record->stream);
    if (next != kLineFeed && next != EOF) std::ungetc(next, record->stream);
  }
  record->cursor = record->record;
}

bool writeBytes(unit_record* record, const char* bytes, size_t count) {
  if (count == 0 || std::fwrite(bytes, 1, count, record->stream) == count) return true;
  record->iostat = kIostatWriteFailed;
  return false;
}

int writeDirectRecord(unit_record* record) {
  *record->record_end = '\0';
  if (!writeBytes(record, record->record, record->recl)) return -1;
  record->cursor = record->record;
  return 1;
}

// The record of a sequential unit as one line. The line end goes at the cursor and the NUL after
// it while the buffer has room; a record filled to its last column keeps its NUL slot for the
// line end and is written by length, so nothing is stored beyond the buffer.
int writeSequentialRecord(unit_record* record) {
  if ((record->state & UNIT_STATE_EOF) != 0 && f_output_after_eof_allowed == 0) return 1;
  bool carriage = (record->mode & UNIT_MODE_CARRIAGE) != 0 && record->recl > 0;
  char terminator = kLineFeed;
  if (carriage) {
    char control = record->record[0];
    if (control == '$') terminator = '\0';
    if (control == '+') terminator = kCarriageReturn;
    char before = control == '0' ? kLineFeed : control == '1' ? kFormFeed : '\0';
    if (before != '\0' && !writeBytes(record, &before, 1)) return -1;
  }
  if (terminator == kLineFeed && record->cursor == record->record &&
      record->cursor < record->record_end) {
    *record->cursor++ = ' ';
  }
  char* first = record->record + (carriage ? 1 : 0);
  if (record->cursor < first) first = record->cursor;
  size_t length = boundedLength(first, static_cast<size_t>(record->cursor - first));
  bool contiguous = first + length == record->cursor;
  if (terminator != '\0' && contiguous) {
    *record->cursor = terminator;
    if (record->cursor < record->record_end) record->cursor[1] = '\0';
    ++length;
  } else if (record->cursor <= record->record_end) {
    *record->cursor = '\0';
  }
  bool written = writeBytes(record, first, length) &&
                 (contiguous || terminator == '\0' || writeBytes(record, &terminator, 1));
  *record->record_end = '\0';
  if (!written) return -1;
  record->cursor = record->record;
  return 1;
}

}  // namespace

namespace nuvex::runtime {

bool internalRecordFollows(const unit_record* unit) {
  size_t stride = static_cast<size_t>(unit->recl) + 1;  // the characters and their NUL
  return internalStorageEnd == nullptr ||
         internalStorageEnd - unit->record >= static_cast<ptrdiff_t>(2 * stride);
}

void deferInternalAdvance() {
  internalAdvanceDeferred = true;
}

bool internalAdvanceIsDeferred() {
  return internalAdvanceDeferred;
}

bool advanceInternalRecord(unit_record* unit, int writing) {
  internalAdvanceDeferred = false;
  if (!internalRecordFollows(unit)) {
    refuseInternalRecord(unit, writing != 0);
    return false;
  }
  size_t stride = static_cast<size_t>(unit->recl) + 1;
  char* next = unit->record + stride;
  unit->record = next;
  unit->record_end = next + unit->recl;
  unit->cursor = next;
  return true;
}

format_state* internalFormatState() {
  return &internalFormat;
}

}  // namespace nuvex::runtime

extern "C" {

void begin_read_direct(int unit, uint32_t record_number, const char* format) {
  unit_record* record = unitOrFatal(unit);
  record->iostat = 0;
  if (!checkConnected(record, unit) || !checkFormatted(record, unit) ||
      !checkDirect(record, unit)) {
    return;
  }
  if (format != nullptr && format[0] == '*') {
    refuse(record, unit, "Unit %d; List Directed DIRECT READ attempted", kIostatListDirectedDirect);
    return;
  }
  if (position_direct(unit, record_number, format) == 0) read_direct_record(record);
}

void begin_read_seq(int unit, const char* format) {
  unit_record* record = unitOrFatal(unit);
  record->iostat = 0;
  if (!checkConnected(record, unit) || !checkFormatted(record, unit) ||
      !checkSequential(record, unit)) {
    return;
  }
  init_format(unit, format);
  read_seq_record(record);
}

void begin_write_direct(int unit, uint32_t record_number, const char* format) {
  unit_record* record = unitOrFatal(unit);
  record->iostat = 0;
  if (!checkConnected(record, unit) || !checkDirect(record, unit) ||
      !checkFormatted(record, unit)) {
    return;
  }
  record->fresh = 1;
  position_direct(unit, record_number, format);
}

void begin_write_seq(int unit, const char* format) {
  unit_record* record = unitOrFatal(unit);
  record->iostat = 0;
  if (record->stream == nullptr) auto_open_unit(unit);
  if (!checkFormatted(record, unit) || !checkSequential(record, unit)) return;
  record->fresh = 1;
  init_format(unit, format);
}

void begin_read_internal(char* base, uint32_t first, uint32_t last, const char* format) {
  beginInternal(base, first, last);
  init_format(UNIT_INTERNAL, format);
}

void begin_write_internal(char* base, uint32_t first, uint32_t last, const char* format) {
  unit_record* record = beginInternal(base, first, last);
  std::memset(record->record, ' ', record->recl);
  init_format(UNIT_INTERNAL, format);
}

void begin_read_internal_bounded(char* base, uint32_t first, uint32_t last, uint32_t records,
                                 const char* format) {
  boundInternal(beginInternal(base, first, last), records, false);
  init_format(UNIT_INTERNAL, format);
}

void begin_write_internal_bounded(char* base, uint32_t first, uint32_t last, uint32_t records,
                                  const char* format) {
  unit_record* record = beginInternal(base, first, last);
  if (boundInternal(record, records, true)) std::memset(record->record, ' ', record->recl);
  init_format(UNIT_INTERNAL, format);
}

void attach_internal(char* storage, uint32_t length) {
  setUpInternal(storage, length);
}

int position_direct(int unit, uint32_t record_number, const char* format) {
  unit_record* record = unitOrFatal(unit);
  if (record_number < 1 || record->stream == nullptr ||
      fseeko(record->stream, directRecordOffset(record_number, record->recl), SEEK_SET) != 0) {
    record->iostat = kIostatBadRecord;
  }
  init_format(unit, format);
  return record->iostat;
}

void read_seq_record(unit_record* unit) {
  if (unit->iostat != 0) return;
  if ((unit->state & UNIT_STATE_EOF) != 0) {
    // Every read after an end of file meets it again rather than the stale record.
    unit->iostat = kIostatEndOfFile;
    return;
  }
  if (isInternal(unit)) {
    advanceInternalRecord(unit, 0);
  } else if (unit->stream != nullptr) {
    readLine(unit);
  }
}

void read_direct_record(unit_record* unit) {
  unit->cursor = unit->record;
  std::memset(unit->record, 0, unit->recl);
  if (unit->iostat != 0) return;
  if (std::fread(unit->record, 1, unit->recl, unit->stream) < unit->recl) {
    unit->iostat = kIostatReadFailed;
  }
}

void next_record(unit_record* unit, int writing) {
  if (writing && unit->fresh) clear_record(unit);
  bool sequential = unit->access != UNIT_ACCESS_DIRECT;
  if (!writing) {
    if (sequential)
      read_seq_record(unit);
    else
      read_direct_record(unit);
    return;
  }
  if (sequential && isInternal(unit)) {
    if (advanceInternalRecord(unit, 1)) unit->fresh = 1;
    return;
  }
  put_record(unit);
  unit->fresh = 1;
}

void clear_record(unit_record* unit) {
  std::memset(unit->record, ' ', unit->recl);
  unit->cursor = unit->record;
  *unit->record_end = '\0';
  unit->fresh = 0;
}

int put_record(unit_record* unit) {
  if (unit->stream == nullptr) {
    unit->iostat = kIostatWriteFailed;
    return -1;
  }
  return unit->access == UNIT_ACCESS_DIRECT ? writeDirectRecord(unit) : writeSequentialRecord(unit);
}

char* ntstr(const char* characters, int32_t n) {
  static char empty[1] = {'\0'};
  static char* ring[kNtstrSlots] = {};
  static int next = 0;
  if (characters == nullptr) return empty;
  size_t length = n > 0 ? static_cast<size_t>(n) : 0;
  char*& slot = ring[next];
  next = (next + 1) % kNtstrSlots;
  std::free(slot);
  slot = static_cast<char*>(allocate(length + 1));
  if (slot == nullptr) f_error("ntstr: can't allocate space");
  for (size_t i = 0; i < length; ++i) slot[i] = characters[i] == '\0' ? ' ' : characters[i];
  slot[length] = '\0';
  return slot;
}

}  // extern "C"
