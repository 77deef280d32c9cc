// The unit table: the records of units 0 to 102, connecting a unit's record, the connection
// check, pre-opening of the standard units and f77ini.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "nuvex/runtime/diagnostics.h"
#include "nuvex/runtime/strings.h"
#include "runtime/allocation.h"
#include "runtime/unit_table_internal.h"

extern "C" {
int f_carriage_control_on_stdout = 1;
int f_output_after_eof_allowed = 0;
}

namespace {

constexpr char kBlank = ' ';
constexpr uint32_t kUnformattedSequentialRecl = 1;
constexpr uint32_t kInternalSequentialRecl = 0;  // the caller's storage sets the real length
constexpr int kInputUnit = 5;
constexpr int kOutputUnit = 6;

// Zero at load: every unit unconnected until f77ini or an open.
unit_record unitTable[UNIT_COUNT];

void setBit(uint32_t& bits, uint32_t bit, bool on) {
  if (on) {
    bits |= bit;
  } else {
    bits &= ~bit;
  }
}

void storeName(unit_record& record, const char* name) {
  std::free(record.name);
  record.name = nullptr;
  const char* text = name != nullptr ? name : "";
  const std::size_t length = std::strlen(text);
  char* copy = static_cast<char*>(nuvex::runtime::allocate(length + 1));
  if (copy == nullptr) f_error("unable to save string");
  std::memcpy(copy, text, length + 1);
  record.name = copy;
}

// Form and access keywords; false (with iostat set) when one is not recognised.
bool applyFormAndAccess(int unit, unit_record& record, const char* form, const char* access,
                        int32_t recl) {
  using nuvex::runtime::isEmptyKeyword;
  using nuvex::runtime::keywordIs;
  const bool defaultForm = isEmptyKeyword(form);
  if (keywordIs(form, "FORMATTED")) {
    setBit(record.mode, UNIT_MODE_UNFORMATTED, false);
  } else if (keywordIs(form, "UNFORMATTED")) {
    setBit(record.mode, UNIT_MODE_UNFORMATTED, true);
  } else if (!defaultForm) {
    record.iostat = nuvex::runtime::kIostatBadForm;
    return false;
  }

  if (isEmptyKeyword(access) || keywordIs(access, "SEQUENTIAL") || keywordIs(access, "APPEND")) {
    record.access = keywordIs(access, "APPEND") ? UNIT_ACCESS_APPEND : UNIT_ACCESS_SEQUENTIAL;
    if (defaultForm) setBit(record.mode, UNIT_MODE_UNFORMATTED, false);
    if (unit == UNIT_INTERNAL) {
      record.recl = kInternalSequentialRecl;
    } else {
      record.recl = (record.mode & UNIT_MODE_UNFORMATTED) ? kUnformattedSequentialRecl
                                                          : uint32_t{UNIT_RECL_FORMATTED};
    }
  } else if (keywordIs(access, "DIRECT")) {
    record.access = UNIT_ACCESS_DIRECT;
    if (recl < 1) {
      record.iostat = nuvex::runtime::kIostatBadDirectRecl;
      return false;
    }
    record.recl = static_cast<uint32_t>(recl);
    if (defaultForm) setBit(record.mode, UNIT_MODE_UNFORMATTED, true);
  } else {
    record.iostat = nuvex::runtime::kIostatBadAccess;
    return false;
  }
  return true;
}

// A blank record of recl columns with its NUL; false (iostat 12) when it cannot be allocated.
bool allocateRecordBuffer(unit_record& record) {
  std::free(record.record);
  record.record = record.cursor = record.record_end = nullptr;
  char* buffer =
      static_cast<char*>(nuvex::runtime::allocate(static_cast<std::size_t>(record.recl) + 1));
  if (buffer == nullptr) {
    record.iostat = nuvex::runtime::kIostatNoRecordBuffer;
    return false;
  }
  std::memset(buffer, kBlank, record.recl);
  buffer[record.recl] = '\0';
  record.record = record.cursor = buffer;
  record.record_end = buffer + record.recl;
  record.fresh = 0;
  return true;
}

// Formatted units own a zeroed format state (calloc; released with free); false (iostat 13)
// when it cannot be allocated.
bool allocateFormatState(unit_record& record) {
  std::free(record.format);
  record.format = nullptr;
  if (record.mode & UNIT_MODE_UNFORMATTED) return true;
  record.format = static_cast<format_state*>(nuvex::runtime::allocateZeroed(sizeof(format_state)));
  if (record.format == nullptr) {
    record.iostat = nuvex::runtime::kIostatNoFormatState;
    return false;
  }
  return true;
}

void resetModeForNewConnection(int unit, unit_record& record) {
  setBit(record.state, UNIT_STATE_EOF, false);
  record.action = UNIT_ACTION_READWRITE;
  setBit(record.mode, UNIT_MODE_BLANK_ZERO | UNIT_MODE_CARRIAGE, false);
  setBit(record.mode, UNIT_MODE_PAD, true);
  if (unit != UNIT_INTERNAL) setBit(record.mode, UNIT_MODE_INTERNAL, false);
}

// One standard unit on a standard stream. A stale iostat from earlier I/O (say an end of file
// on standard input) must not stop a second f77ini from reconnecting the unit.
void preopenStandardUnit(int unit, FILE* stream, uint8_t status, bool carriageControl,
                         const char* allocationFailure) {
  unit_record& record = unitTable[unit];
  record.iostat = 0;
  record.stream = stream;
  record.status = status;
  connect_unit(unit, "", "", "", 0);
  if (record.iostat == nuvex::runtime::kIostatNoRecordBuffer ||
      record.iostat == nuvex::runtime::kIostatNoFormatState) {
    record.stream = nullptr;  // a unit without its buffers must not pass for a connected one
    f_error(allocationFailure);
  }
  if (carriageControl) setBit(record.mode, UNIT_MODE_CARRIAGE, true);
}

void setUpInternalUnit() {
  unit_record& record = unitTable[UNIT_INTERNAL];
  record.stream = nullptr;
  record.status = UNIT_STATUS_UNKNOWN;
  record.access = UNIT_ACCESS_SEQUENTIAL;
  record.iostat = 0;
  setBit(record.mode, UNIT_MODE_UNFORMATTED, false);
  setBit(record.mode, UNIT_MODE_INTERNAL, true);
}

}  // namespace

namespace nuvex::runtime {

bool isEmptyKeyword(const char* keyword) {
  return keyword == nullptr || f_strcmpi(keyword, "") == 0;
}

bool keywordIs(const char* keyword, const char* expected) {
  return keyword != nullptr && f_strcmpi(keyword, expected) == 0;
}

void preopenStandardUnits() {
  preopenStandardUnit(UNIT_STDIN, stdin, UNIT_STATUS_OLD, false, "allocating space for STDIN_UNIT");
  preopenStandardUnit(UNIT_STDOUT, stdout, UNIT_STATUS_NEW, f_carriage_control_on_stdout != 0,
                      "allocating space for STDOUT_UNIT");
  setUpInternalUnit();
  if (unitTable[UNIT_STDIN].iostat != 0 || unitTable[UNIT_STDOUT].iostat != 0) {
    f_error("initializing std input/output/internal units");
  }
}

}  // namespace nuvex::runtime

extern "C" {

unit_record* f_unit(int unit) {
  return (unit >= 0 && unit < UNIT_COUNT) ? &unitTable[unit] : nullptr;
}

void check_unit_number(int unit) {
  if (nuvex::runtime::isExternalUnit(unit)) return;
  char message[128];
  std::snprintf(message, sizeof message, "bad unit number used (%d), valid units: 1 to %d", unit,
                UNIT_LAST_EXTERNAL);
  f_error(message);
}

int unit_is_open(int unit) {
  if (unit == -1) return 0;
  if (unit != UNIT_STDIN && unit != UNIT_STDOUT) check_unit_number(unit);
  if (unitTable[unit].stream != nullptr) return 1;
  if (unit == UNIT_STDIN || unit == UNIT_STDOUT) {
    f_warning("failure to pre-open STDIN/OUT_UNIT - missing f77ini() call");
  }
  return 0;
}

void connect_unit(int unit, const char* name, const char* form, const char* access, int32_t recl) {
  unit_record* record = f_unit(unit);
  if (record == nullptr) {
    check_unit_number(unit);
    return;
  }
  if (record->iostat != 0) return;
  storeName(*record, name);
  if (!applyFormAndAccess(unit, *record, form, access, recl)) return;
  // The internal unit's record is the caller's character storage and its format state the
  // statement code's own: neither is allocated or freed here.
  if (unit == UNIT_INTERNAL) {
    record->record = record->cursor = record->record_end = nullptr;
  } else if (!allocateRecordBuffer(*record) || !allocateFormatState(*record)) {
    return;
  }
  resetModeForNewConnection(unit, *record);
}

void auto_open_unit(int unit) {
  if (unit == UNIT_STDIN || unit == UNIT_STDOUT) {
    f_warning("pre-opening STDIN/OUT_UNIT - since missing f77ini() call");
    nuvex::runtime::preopenStandardUnits();
    return;
  }
  char message[128];
  std::snprintf(message, sizeof message, "opening temp seq., formatted file on UNopened unit %d",
                unit);
  f_warning(message);
  if (open_unit_once(unit, "", "", "FORMATTED", "", 0) != 1) {
    std::snprintf(message, sizeof message, "can't open temp. file for unit %d", unit);
    f_error(message);
  }
}

void f77ini(void) {
  f_carriage_control_on_stdout = 1;
  nuvex::runtime::preopenStandardUnits();
  preopenStandardUnit(kInputUnit, stdin, UNIT_STATUS_OLD, false, "allocating space for IN_UNIT");
  preopenStandardUnit(kOutputUnit, stdout, UNIT_STATUS_NEW, f_carriage_control_on_stdout != 0,
                      "allocating space for OUT_UNIT");
  if (unitTable[kInputUnit].iostat != 0 || unitTable[kOutputUnit].iostat != 0) {
    f_error("initializing pre-opened input/output units");
  }
  f_output_after_eof_allowed = 1;
}

}  // extern "C"
