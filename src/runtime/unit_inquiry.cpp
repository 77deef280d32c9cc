// Inquiries about a unit and the setters of its BLANK, PAD, action and carriage-control modes.
#include <cstring>

#include "nuvex/runtime/strings.h"
#include "runtime/unit_table_internal.h"

namespace {

using nuvex::runtime::isEmptyKeyword;
using nuvex::runtime::keywordIs;

// The unit's record after the connection check (which stops on a bad number), or null for unit
// -1, which names no unit at all.
const unit_record* inquiredUnit(int unit, char* answer) {
  const bool connected = unit_is_open(unit) == 1;
  if (answer != nullptr && !connected) answer[0] = '\0';
  return f_unit(unit);
}

// A keyword answer: the record's fields are reported even for a closed unit, whose fields keep
// the values of its last connection.
void answerKeyword(int unit, char* answer, const char* (*choose)(const unit_record&)) {
  const unit_record* record = inquiredUnit(unit, answer);
  if (answer == nullptr || record == nullptr) return;
  std::strcpy(answer, choose(*record));
}

bool isUnformatted(const unit_record& record) {
  return (record.mode & UNIT_MODE_UNFORMATTED) != 0;
}

const char* yesNo(bool yes) {
  return yes ? "YES" : "NO";
}

void setModeBit(unit_record& record, uint32_t bit, bool on) {
  if (on) {
    record.mode |= bit;
  } else {
    record.mode &= ~bit;
  }
}

unit_record* externalUnit(int unit) {
  return (unit >= 0 && unit <= UNIT_LAST_EXTERNAL) ? f_unit(unit) : nullptr;
}

}  // namespace

extern "C" {

void inquire_access(int unit, char* answer) {
  answerKeyword(unit, answer, [](const unit_record& r) {
    return r.access == UNIT_ACCESS_DIRECT ? "DIRECT" : "SEQUENTIAL";
  });
}

void inquire_blank(int unit, char* answer) {
  answerKeyword(unit, answer, [](const unit_record& r) {
    return (r.mode & UNIT_MODE_BLANK_ZERO) ? "ZERO" : "NULL";
  });
}

void inquire_direct(int unit, char* answer) {
  answerKeyword(unit, answer,
                [](const unit_record& r) { return yesNo(r.access == UNIT_ACCESS_DIRECT); });
}

void inquire_sequential(int unit, char* answer) {
  answerKeyword(unit, answer,
                [](const unit_record& r) { return yesNo(r.access == UNIT_ACCESS_SEQUENTIAL); });
}

void inquire_form(int unit, char* answer) {
  answerKeyword(unit, answer, [](const unit_record& r) {
    return isUnformatted(r) ? "UNFORMATTED" : "FORMATTED";
  });
}

void inquire_formatted(int unit, char* answer) {
  answerKeyword(unit, answer, [](const unit_record& r) { return yesNo(!isUnformatted(r)); });
}

void inquire_unformatted(int unit, char* answer) {
  answerKeyword(unit, answer, [](const unit_record& r) { return yesNo(isUnformatted(r)); });
}

int inquire_opened(int unit) {
  return unit_is_open(unit);
}

void inquire_name(int unit, char* answer) {
  const unit_record* record = inquiredUnit(unit, answer);
  if (answer == nullptr) return;
  answer[0] = '\0';
  if (record != nullptr && record->stream != nullptr && record->name != nullptr) {
    f_copyname(answer, record->name, answer);
  }
}

int inquire_named(int unit) {
  const unit_record* record = inquiredUnit(unit, nullptr);
  return record != nullptr && record->stream != nullptr && record->name != nullptr &&
                 record->name[0] != '\0'
             ? 1
             : 0;
}

int inquire_number(const char* file) {
  if (isEmptyKeyword(file)) return -1;
  char name[F_KEYWORD_BUFFER_SIZE];
  f_copyname(nullptr, f_lowtrim(file), name);
  // Only a connected unit is connected to the file; a failed open leaves a name but no file.
  for (int unit = 0; unit <= UNIT_LAST_EXTERNAL; ++unit) {
    const unit_record* record = f_unit(unit);
    if (record->stream != nullptr && record->name != nullptr &&
        f_strcmpi(record->name, name) == 0) {
      return unit;
    }
  }
  return -1;
}

void set_unit_action(int unit, const char* keyword) {
  unit_record* record = externalUnit(unit);
  if (record == nullptr) return;
  if (keywordIs(keyword, "READ")) {
    record->action = UNIT_ACTION_READ;
  } else if (keywordIs(keyword, "WRITE")) {
    record->action = UNIT_ACTION_WRITE;
  } else if (keywordIs(keyword, "READWRITE")) {
    record->action = UNIT_ACTION_READWRITE;
  }
}

int set_unit_blank(int unit, const char* keyword) {
  if (unit_is_open(unit) != 1) return -1;
  unit_record* record = f_unit(unit);
  if (record->iostat != 0) return -1;
  if (keywordIs(keyword, "NULL") || keywordIs(keyword, "ZERO")) {
    setModeBit(*record, UNIT_MODE_BLANK_ZERO, keywordIs(keyword, "ZERO"));
    return 1;
  }
  record->iostat = nuvex::runtime::kIostatBadBlank;
  return -1;
}

void set_unit_carriage_control(int unit, const char* keyword) {
  check_unit_number(unit);
  setModeBit(*f_unit(unit), UNIT_MODE_CARRIAGE, keywordIs(keyword, "FORTRAN"));
}

void set_unit_pad(int unit, const char* keyword) {
  unit_record* record = externalUnit(unit);
  if (record != nullptr) setModeBit(*record, UNIT_MODE_PAD, keywordIs(keyword, "YES"));
}

}  // extern "C"
