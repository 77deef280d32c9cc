// The formatted WRITE entries: the driver that walks a conversion string, fetches one data edit
// descriptor per item from the unit's FORMAT and places the edited characters into the record.
//
// Every character reaches the record through one placing rule that stops at record_end, so a
// FORMAT asking for more columns than the record has loses the tail (iostat 53) but never writes
// past the buffer.
#include "nuvex/runtime/formatted_output.h"

#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "nuvex/runtime/diagnostics.h"
#include "nuvex/runtime/format.h"
#include "nuvex/runtime/statements.h"
#include "nuvex/runtime/units.h"
#include "runtime/conversion_string.h"
#include "runtime/io_status.h"
#include "runtime/statements_internal.h"

namespace {

using nuvex::runtime::Conversion;
using nuvex::runtime::isExternalUnit;
using nuvex::runtime::isLong;
using nuvex::runtime::isShort;
using nuvex::runtime::kIostatRecordOverflow;
using nuvex::runtime::kIostatWriteOnReadOnly;

constexpr int kLargestEditWidth = 127;                  // characters of the work buffer
constexpr int kWorkBufferSize = kLargestEditWidth + 1;  // and its NUL
constexpr int kRealBytes = sizeof(double);              // a real under A shows its 8 bytes
constexpr int kShortIntegerBytes = sizeof(int16_t);     // an h integer under A
constexpr int kIntegerBytes = sizeof(int32_t);          // any other integer under A
constexpr int kMessageSize = 96;                        // one diagnostic line
constexpr char kBlank = ' ';
constexpr char kOverflowMark = '*';

// The descriptor of the item being edited; fpedit normalises it in place.
edit_descriptor currentDescriptor = {};

// ---- Placing characters -------------------------------------------------------------------

void placeCharacter(unit_record* unit, char c) {
  if (unit->cursor < unit->record_end) {
    *unit->cursor++ = c;
  } else {
    unit->iostat = kIostatRecordOverflow;
  }
}

// `count` copies of c; what does not fit is dropped at once rather than one by one, which is
// the same outcome for the record and iostat.
void placeRepeated(unit_record* unit, char c, int64_t count) {
  const int64_t room = unit->record_end - unit->cursor;
  const int64_t placed = count < room ? count : room;
  for (int64_t i = 0; i < placed; ++i) *unit->cursor++ = c;
  if (count > placed) unit->iostat = kIostatRecordOverflow;
}

void placeText(unit_record* unit, const char* text, int64_t limit) {
  for (int64_t i = 0; i < limit && text[i] != '\0'; ++i) placeCharacter(unit, text[i]);
}

void prepareRecord(unit_record* unit) {
  if (unit->fresh) clear_record(unit);
}

// False when the walk failed on the way (a record advance the file cannot take): the item then
// has no descriptor and is not edited.
bool fetchDescriptor(unit_record* unit) {
  advance_format(unit, 0, 1);
  if (unit->iostat != 0) return false;
  next_edit_descriptor(unit, &currentDescriptor);
  // A record advance on the way leaves the buffer to be cleared before anything is placed.
  prepareRecord(unit);
  return true;
}

const char* formatPosition(const unit_record* unit) {
  return unit->format->fcursor;
}
int scaleFactor(const unit_record* unit) {
  return unit->format->scale;
}
int plusFlag(const unit_record* unit) {
  return (unit->format->edit_flags & FORMAT_FLAG_SP) != 0 ? 1 : 0;
}
int64_t width() {
  return currentDescriptor.width > 0 ? currentDescriptor.width : 0;
}
int code() {
  return currentDescriptor.code;
}

// The leading blanks of character and logical fields: w - 1 when w >= 2.
void placeLeadingBlanks(unit_record* unit) {
  if (width() >= 2) placeRepeated(unit, kBlank, width() - 1);
}

// ---- Item rules ---------------------------------------------------------------------------

bool isIntegerEdit(int letter) {
  // B is edited too: the integer diagnostic names it among the expected letters.
  return letter == 'I' || letter == 'O' || letter == 'Z' || letter == 'B';
}

void placeBytes(unit_record* unit, const void* bytes, int count, int64_t limit) {
  placeText(unit, ntstr(static_cast<const char*>(bytes), count), limit);
}

void editIntegerField(unit_record* unit, int value) {
  if (width() > kLargestEditWidth) {
    // The field keeps its columns so that the rest of the record stays in place.
    f_format_error("I edit width is too big", formatPosition(unit));
    placeRepeated(unit, kOverflowMark, width());
    return;
  }
  char field[kWorkBufferSize];
  intedit(value, code(), int(width()), currentDescriptor.digits, plusFlag(unit), field);
  placeText(unit, field, kWorkBufferSize);
}

void editInteger(unit_record* unit, int value, int bytes) {
  if (!fetchDescriptor(unit)) return;
  if (isIntegerEdit(code())) return editIntegerField(unit, value);
  if (code() == 'A') {
    const int32_t wide = value;  // the item's own bytes: the low ones of a 2-byte item
    const int16_t narrow = int16_t(value);
    const int64_t limit = width() < bytes ? width() : bytes;
    return bytes == kShortIntegerBytes ? placeBytes(unit, &narrow, bytes, limit)
                                       : placeBytes(unit, &wide, bytes, limit);
  }
  if (code() == 'Q') return;
  char message[kMessageSize];
  std::snprintf(message, sizeof message,
                "expecting 'I', 'B', 'O', 'Z', 'Q', or 'A' edit field - not %c", char(code()));
  f_format_error(message, formatPosition(unit));
}

void editReal(unit_record* unit, double value) {
  if (!fetchDescriptor(unit)) return;
  switch (code()) {
    case 'D':
    case 'E':
    case 'F':
    case 'G': {
      if (currentDescriptor.width > kLargestEditWidth) currentDescriptor.width = kLargestEditWidth;
      const int64_t limit = width();
      char field[kWorkBufferSize];
      fpedit(value, &currentDescriptor, scaleFactor(unit), plusFlag(unit), field);
      return placeText(unit, field, limit);
    }
    case 'A':
      if (width() < kRealBytes) return placeRepeated(unit, kOverflowMark, width());
      placeRepeated(unit, kBlank, width() - kRealBytes);
      return placeBytes(unit, &value, kRealBytes, kRealBytes);
    default:
      f_format_error("expecting 'D', 'E', 'F', or 'G' edit field", formatPosition(unit));
  }
}

void editCharacter(unit_record* unit, signed char value) {
  if (!fetchDescriptor(unit)) return;
  if (isIntegerEdit(code())) return editIntegerField(unit, value);
  placeLeadingBlanks(unit);
  if (code() == 'A' || code() == 'L') return placeCharacter(unit, char(value));
  if (code() == 'Q') return;
  f_warning("unknown field descriptor w/char output");
}

void editLogical(unit_record* unit, int value) {
  if (!fetchDescriptor(unit)) return;
  placeLeadingBlanks(unit);
  if (code() == 'L') return placeCharacter(unit, value != 0 ? 'T' : 'F');
  if (code() == 'Q') return;
  f_warning("unknown field descriptor w/logical output");
}

void editString(unit_record* unit, const char* text) {
  if (!fetchDescriptor(unit)) return;
  if (code() != 'A') f_format_error("expecting 'A' edit field", formatPosition(unit));
  if (text == nullptr) text = "";
  const int64_t length = int64_t(std::strlen(text));
  if (width() == 0) {
    for (const char* c = text; *c != '\0' && unit->iostat == 0; ++c) placeCharacter(unit, *c);
    return;
  }
  if (width() > length) placeRepeated(unit, kBlank, width() - length);
  placeText(unit, text, width());
}

// ---- Conversions --------------------------------------------------------------------------

// Element `i` of an array item of the conversion's element type, widened for editing.
int integerElement(const Conversion& c, const void* base, int64_t i) {
  if (isShort(c)) return static_cast<const int16_t*>(base)[i];
  return static_cast<const int32_t*>(base)[i];
}
int logicalElement(const Conversion& c, const void* base, int64_t i) {
  if (c.letter == 'T') return static_cast<const signed char*>(base)[i];
  return integerElement(c, base, i);
}
double realElement(const Conversion& c, const void* base, int64_t i) {
  if (isLong(c)) return static_cast<const double*>(base)[i];
  return static_cast<const float*>(base)[i];
}

int integerBytes(const Conversion& c) {
  return isShort(c) ? kShortIntegerBytes : kIntegerBytes;
}

int scalarInteger(const Conversion& c, va_list* args) {
  const int value = va_arg(*args, int);
  return isShort(c) ? int16_t(value) : value;
}

void editScalar(unit_record* unit, const Conversion& c, va_list* args) {
  switch (c.letter) {
    case 's':
    case 'S':
      return editString(unit, va_arg(*args, const char*));
    case 'c':
      return editCharacter(unit, static_cast<signed char>(va_arg(*args, int)));
    case 'T':
      return editLogical(unit, static_cast<signed char>(va_arg(*args, int)));
    case 't':
      return editLogical(unit, scalarInteger(c, args));
    case 'd':
    case 'i':
      return editInteger(unit, scalarInteger(c, args), integerBytes(c));
    case 'f':
    case 'g':
      return editReal(unit, va_arg(*args, double));
    default:
      return;  // counted, nothing consumed, nothing written
  }
}

void editArrayElement(unit_record* unit, const Conversion& c, const void* base, int64_t i) {
  switch (c.letter) {
    case 'c':
      return editCharacter(unit, static_cast<const signed char*>(base)[i]);
    case 'T':
    case 't':
      return editLogical(unit, logicalElement(c, base, i));
    case 'd':
    case 'i':
      return editInteger(unit, integerElement(c, base, i), integerBytes(c));
    case 'f':
    case 'g':
      return editReal(unit, realElement(c, base, i));
    default:
      return;
  }
}

bool consumesArgument(char letter) {
  return std::strchr("sScTtdifg", letter) != nullptr;
}

void editArray(unit_record* unit, const Conversion& c, va_list* args) {
  if (c.letter == 's' || c.letter == 'S') f_error("array of strings isn't supported");
  if (!consumesArgument(c.letter)) return;
  const int64_t count = va_arg(*args, int64_t);
  const void* base = va_arg(*args, const void*);
  // After a failure the walk hands out empty descriptors: later elements would only draw
  // diagnostics about them.
  for (int64_t i = 0; i < count && base != nullptr && unit->iostat == 0; ++i) {
    editArrayElement(unit, c, base, i);
  }
}

// ---- Records and the driver ---------------------------------------------------------------

// The newline of the conversion string: the FORMAT's trailing literals and positioning, then the
// record goes to the file (or the internal file moves to its next element).
void endRecord(unit_record* unit) {
  prepareRecord(unit);
  advance_format(unit, 1, 1);
  prepareRecord(unit);
  const bool internal = (unit->mode & UNIT_MODE_INTERNAL) != 0;
  if (unit->access == UNIT_ACCESS_SEQUENTIAL && internal) {
    if (!nuvex::runtime::internalRecordFollows(unit)) {
      // The statement ends on the last record of the storage, which is normal; only a later
      // item of the same statement would leave it, so the record is left full instead.
      unit->cursor = unit->record_end;
      unit->fresh = 0;
      nuvex::runtime::deferInternalAdvance();
      return;
    }
    nuvex::runtime::advanceInternalRecord(unit, 1);
  } else {
    put_record(unit);
  }
  unit->fresh = 1;
}

int runDriver(unit_record* unit, const char* conv, va_list* args) {
  if (conv == nullptr || *conv == '\0') return 0;
  int processed = 0;
  for (const char* p = conv; *p != '\0';) {
    currentDescriptor = edit_descriptor{};
    if (unit->iostat != 0) break;
    const char character = *p++;
    if ((character == '\n' || character == '%') && (unit->mode & UNIT_MODE_INTERNAL) != 0 &&
        nuvex::runtime::internalAdvanceIsDeferred()) {
      nuvex::runtime::advanceInternalRecord(unit, 1);  // fails: the storage has no more records
      break;
    }
    if (character == '\n') {
      endRecord(unit);
      break;
    }
    if (character != '%') continue;
    prepareRecord(unit);
    const Conversion conversion = nuvex::runtime::parseConversion(p);
    if (conversion.letter == '\0') break;
    if (conversion.array) {
      editArray(unit, conversion, args);
    } else {
      editScalar(unit, conversion, args);
    }
    ++processed;
    if (unit->iostat != 0) break;
  }
  return processed;
}

// The unit of a start entry, or null after the refusal (fatal for a bad number).
unit_record* startUnit(int unit, bool standardOutputAllowed) {
  if (!isExternalUnit(unit) && !(standardOutputAllowed && unit == UNIT_STDOUT)) {
    check_unit_number(unit);
    return nullptr;
  }
  unit_record* record = f_unit(unit);
  if (record->action == UNIT_ACTION_READ) {
    record->iostat = kIostatWriteOnReadOnly;
    return nullptr;
  }
  return record;
}

constexpr const char* kMissingFormat = "missing format in wrtfmt()";

void requireFormat(const unit_record* unit) {
  if (unit->format == nullptr || unit->format->start == nullptr) f_error(kMissingFormat);
}

// A statement-starting entry: the unit checks, `begin` (which positions the unit and takes the
// FORMAT), then the items of the conversion string.
template <typename Begin>
int writeStatement(unit_record* unit, Begin begin, const char* conv, va_list* args) {
  if (unit == nullptr) return 0;
  begin();
  if (unit->iostat != 0) return 0;
  requireFormat(unit);
  return runDriver(unit, conv, args);
}

}  // namespace

extern "C" {

int wrtfmt_rec(int unit, int rec, const char* format, const char* conv, ...) {
  // A negative record number must not wrap to a huge one: it is "below 1" like 0 (iostat 43).
  const auto begin = [&] { begin_write_direct(unit, rec < 1 ? 0u : uint32_t(rec), format); };
  unit_record* record = startUnit(unit, false);
  va_list args;
  va_start(args, conv);
  const int processed = writeStatement(record, begin, conv, &args);
  va_end(args);
  return processed;
}

int wrtfmt_seq(int unit, const char* format, const char* conv, ...) {
  const auto begin = [&] { begin_write_seq(unit, format); };
  unit_record* record = startUnit(unit, true);
  va_list args;
  va_start(args, conv);
  const int processed = writeStatement(record, begin, conv, &args);
  va_end(args);
  return processed;
}

int wrtfmt(int unit, const char* conv, ...) {
  unit_record* record = nuvex::runtime::continuedStatementUnit(unit, UNIT_STDOUT, kMissingFormat);
  if (record == nullptr) return 0;
  va_list args;
  va_start(args, conv);
  const int processed = runDriver(record, conv, &args);
  va_end(args);
  return processed;
}

void set_unit_carriage_flag(int unit, int on) {
  if (!isExternalUnit(unit)) {
    check_unit_number(unit);
    return;
  }
  unit_record* record = f_unit(unit);
  if (on != 0) {
    record->mode |= UNIT_MODE_CARRIAGE;
  } else {
    record->mode &= ~uint32_t(UNIT_MODE_CARRIAGE);
  }
}

}  // extern "C"
