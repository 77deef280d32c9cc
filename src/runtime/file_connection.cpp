// Opening and closing units: the single and the retrying open, the open with a position, and
// closing one or all units.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "nuvex/host.h"
#include "nuvex/runtime/diagnostics.h"
#include "nuvex/runtime/strings.h"
#include "platform/file_system.h"
#include "platform/pause.h"
#include "platform/retry_question.h"
#include "runtime/unit_table_internal.h"

namespace {

using namespace nuvex::runtime;  // keyword helpers, iostat codes, source path

constexpr int kUnitLogLevel = -1;
constexpr int kLineReopenSameName = 467;
constexpr int kLineOpenRefused = 477;
constexpr int kLineConnectFailed = 486;
constexpr int kLineOpenFailed = 569;
constexpr int kLineCloseFailed = 176;
constexpr int kLineReleaseFailed = 206;

constexpr int kSilentRetries = 30;       // attempts before the user is asked
constexpr unsigned kRetryPauseMs = 500;  // between silent attempts (milliseconds)
constexpr std::size_t kQuestionBufferSize = 1024;
constexpr const char* kRetryCaption = "PELORA";
constexpr const char* kRetryQuestion =
    "Unable to Open File \n    %s\nafter %d trials.\nCheck if file is in use by another "
    "application and check disk free space.";

// How a STATUS keyword opens the file. Modes with a fallback try the second when the first
// fails (UNKNOWN: an existing file is kept, a missing one created).
struct StatusRule {
  const char* keyword;
  uint8_t status;
  const char* mode;
  const char* fallbackMode;
  uint8_t action;
  int16_t openFailure;
};

constexpr StatusRule kOpenStatusRules[] = {
    {"OLD", UNIT_STATUS_OLD, "r+", nullptr, UNIT_ACTION_READWRITE, kIostatOpenOldFailed},
    {"RO", UNIT_STATUS_OLD, "r", nullptr, UNIT_ACTION_READ, kIostatOpenOldFailed},
    {"NEW", UNIT_STATUS_NEW, "w+", nullptr, UNIT_ACTION_READWRITE, kIostatOpenNewFailed},
    {"WO", UNIT_STATUS_NEW, "w", nullptr, UNIT_ACTION_READWRITE, kIostatOpenNewFailed},
    {"SCRATCH", UNIT_STATUS_SCRATCH, "w+", nullptr, UNIT_ACTION_READWRITE,
     kIostatOpenScratchFailed},
    {"UNKNOWN", UNIT_STATUS_UNKNOWN, "r+", "w+", UNIT_ACTION_READWRITE, kIostatOpenUnknownFailed},
};

// open_unit_pos knows READ and WRITE besides, and its write-only keywords set the action.
constexpr StatusRule kPositionedStatusRules[] = {
    {"OLD", UNIT_STATUS_OLD, "r+", nullptr, UNIT_ACTION_READWRITE, kIostatOpenOldFailed},
    {"RO", UNIT_STATUS_OLD, "r", nullptr, UNIT_ACTION_READ, kIostatOpenOldFailed},
    {"READ", UNIT_STATUS_OLD, "r", nullptr, UNIT_ACTION_READ, kIostatOpenOldFailed},
    {"NEW", UNIT_STATUS_NEW, "w+", nullptr, UNIT_ACTION_READWRITE, kIostatOpenNewFailed},
    {"WO", UNIT_STATUS_NEW, "w", nullptr, UNIT_ACTION_WRITE, kIostatOpenNewFailed},
    {"WRITE", UNIT_STATUS_NEW, "w", nullptr, UNIT_ACTION_WRITE, kIostatOpenNewFailed},
    {"SCRATCH", UNIT_STATUS_SCRATCH, "w+", nullptr, UNIT_ACTION_READWRITE,
     kIostatOpenScratchFailed},
    {"UNKNOWN", UNIT_STATUS_UNKNOWN, "r+", "w+", UNIT_ACTION_READWRITE, kIostatOpenUnknownFailed},
};

template <std::size_t N>
const StatusRule* findStatusRule(const StatusRule (&rules)[N], const char* keyword) {
  if (isEmptyKeyword(keyword)) return &rules[N - 1];  // UNKNOWN is the last rule of both tables
  for (const StatusRule& rule : rules) {
    if (keywordIs(keyword, rule.keyword)) return &rule;
  }
  return nullptr;
}

struct UnitFileName {
  char text[F_KEYWORD_BUFFER_SIZE];
};

// No name gives the scratch name; a name of blanks only its variant with a comma.
UnitFileName unitFileName(int unit, const char* file) {
  UnitFileName name;
  if (file == nullptr || *file == '\0') {
    std::snprintf(name.text, sizeof name.text, "scr%d.dat", unit);
    return name;
  }
  f_copyname(nullptr, f_lowtrim(file), name.text);
  if (name.text[0] == '\0') std::snprintf(name.text, sizeof name.text, "scr%d,dat", unit);
  return name;
}

bool hasName(const unit_record& record, const char* name) {
  return record.name != nullptr && std::strcmp(record.name, name) == 0;
}

void logOpenKept(int unit, const unit_record& record, const char* file) {
  DllLog(kUnitLogLevel, "open_unit %d OK at %s %d with inqu_opened status %d file %s\n", unit,
         kOpenCloseSourceFile, kLineReopenSameName, record.iostat, printableName(file));
}

void logOpenFailed(int unit, int line, const unit_record& record, const char* file) {
  DllLog(kUnitLogLevel, "open_unit %d failed at %s %d with status %d file %s\n", unit,
         kOpenCloseSourceFile, line, record.iostat, printableName(file));
}

std::FILE* openWithMode(const char* name, const char* mode, bool binary) {
  char fullMode[4] = {};
  std::snprintf(fullMode, sizeof fullMode, "%s%s", mode, binary ? "b" : "");
  return std::fopen(name, fullMode);
}

// Opens the connected record's file as the status rule says; iostat tells the outcome.
void openFile(unit_record& record, const char* name, const StatusRule* rule) {
  if (rule == nullptr) {
    record.iostat = kIostatBadStatus;
    return;
  }
  record.status = rule->status;
  record.action = rule->action;
  const bool binary = (record.mode & UNIT_MODE_UNFORMATTED) != 0;
  record.stream = openWithMode(name, rule->mode, binary);
  if (record.stream == nullptr && rule->fallbackMode != nullptr) {
    record.stream = openWithMode(name, rule->fallbackMode, binary);
  }
  if (record.stream == nullptr) record.iostat = rule->openFailure;
}

// APPEND access positions at the end whatever the status: an existing file opened with "r+"
// would otherwise be overwritten from its start.
void positionForAppend(unit_record& record) {
  if (record.access != UNIT_ACCESS_APPEND) return;
  if (record.stream != nullptr && std::fseek(record.stream, 0, SEEK_END) != 0) {
    record.iostat = kIostatSeekEndFailed;
  }
  record.access = UNIT_ACCESS_SEQUENTIAL;
}

bool isStandardStream(const std::FILE* stream) {
  return stream == stdin || stream == stdout || stream == stderr;
}

// The standard streams stay open for the life of the process, whichever unit held them.
bool closeStream(std::FILE* stream) {
  if (!isStandardStream(stream)) return std::fclose(stream) == 0;
  if (stream != stdin) std::fflush(stream);
  return true;
}

void reportCloseFailure(int unit, int line, const unit_record& record) {
  const char* name = printableName(record.name);
  const bool exists = nuvex::platform::fileExists(record.name);
  DllLog(kUnitLogLevel, "_cls_unit %d failed at %s %d with status %d file %s; exists = %d\n", unit,
         kOpenCloseSourceFile, line, record.iostat, name, exists ? 1 : 0);
  if (exists) DllMessage("_cls_unit Unable to close File %d %s", unit, name);
}

void releaseUnit(int unit, unit_record& record) {
  if (unit < 0 || unit > UNIT_LAST_EXTERNAL) return;
  std::free(record.name);
  std::free(record.record);
  std::free(record.format);
  record.name = nullptr;
  record.record = record.cursor = record.record_end = nullptr;
  record.format = nullptr;
}

bool askToRetry(const char* file, int retry) {
  DllMessage("Unable to Open File %s", printableName(file));
  char question[kQuestionBufferSize];
  std::snprintf(question, sizeof question, kRetryQuestion, printableName(file), retry);
  return nuvex::platform::askRetryOrCancel(kRetryCaption, question) ==
         nuvex::platform::RetryAnswer::Retry;
}

void applyPosition(unit_record& record, const char* position) {
  if (record.stream == nullptr) return;
  if (keywordIs(position, "REWIND") || keywordIs(position, "START")) {
    if (std::fseek(record.stream, 0, SEEK_SET) != 0) record.iostat = kIostatRewindFailed;
    std::clearerr(record.stream);
  } else if (keywordIs(position, "APPEND") || keywordIs(position, "END")) {
    if (std::fseek(record.stream, 0, SEEK_END) != 0) record.iostat = kIostatSeekEndFailed;
  }
}

// A connected unit under another name is closed first; an unconnected one starts clean.
void prepareForNewFile(int unit, unit_record& record) {
  if (record.stream != nullptr) {
    _cls_unit(unit);
  } else {
    record.iostat = 0;
  }
}

}  // namespace

extern "C" {

int open_unit_once(int unit, const char* file, const char* status, const char* form,
                   const char* access, int32_t recl) {
  const UnitFileName name = unitFileName(unit, file);
  check_unit_number(unit);
  unit_record& record = *f_unit(unit);
  if (record.stream != nullptr && hasName(record, name.text)) {
    logOpenKept(unit, record, file);
    return 1;
  }
  prepareForNewFile(unit, record);
  if (record.iostat != 0) {
    logOpenFailed(unit, kLineOpenRefused, record, file);
    return -1;
  }
  connect_unit(unit, name.text, form, access, recl);
  if (record.iostat != 0) {
    logOpenFailed(unit, kLineConnectFailed, record, file);
    return -1;
  }
  record.action = UNIT_ACTION_READWRITE;
  openFile(record, name.text, findStatusRule(kOpenStatusRules, status));
  positionForAppend(record);
  if (record.iostat != 0) {
    logOpenFailed(unit, kLineOpenFailed, record, file);
    return -1;
  }
  return 1;
}

int open_unit(int unit, const char* file, const char* status, const char* form, const char* access,
              int32_t recl) {
  int result = open_unit_once(unit, file, status, form, access, recl);
  // Driven by the result, not by iostat: a unit that is already connected to this very file
  // keeps an iostat from its last statement (say an end of file) and must not be retried.
  for (int retry = 0; result != 1; ++retry) {
    DllLog(kUnitLogLevel, "open_unit %d failed with status %d retry %d for file %s\n", unit,
           f_unit(unit)->iostat, retry, printableName(file));
    if (retry < kSilentRetries) {
      nuvex::platform::pause(kRetryPauseMs);
    } else if (!askToRetry(file, retry)) {
      const std::string reason =
          std::string("file ") + printableName(file) + " could not be opened, and the user gave up";
      throw CCalcAbortException(reason.c_str());
    }
    result = open_unit_once(unit, file, status, form, access, recl);
  }
  return result;
}

int open_unit_pos(int unit, const char* file, const char* status, const char* form,
                  const char* position) {
  const UnitFileName name = unitFileName(unit, file);
  check_unit_number(unit);
  unit_record& record = *f_unit(unit);
  const StatusRule* rule = findStatusRule(kPositionedStatusRules, status);
  if (record.stream != nullptr && hasName(record, name.text)) {
    // Same file: the stream stays; the record is set up afresh and the status noted.
    if (record.iostat != 0) return -1;
    connect_unit(unit, name.text, form, "", 0);
    if (record.iostat != 0) return -1;
    if (rule == nullptr) {
      record.iostat = kIostatBadStatus;
      return -1;
    }
    record.status = rule->status;
    record.action = rule->action;
  } else {
    prepareForNewFile(unit, record);
    if (record.iostat != 0) return -1;
    connect_unit(unit, name.text, form, "", 0);
    if (record.iostat != 0) return -1;
    openFile(record, name.text, rule);
    if (record.iostat != 0) return -1;
  }
  applyPosition(record, position);
  return record.iostat != 0 ? -1 : 1;
}

int _cls_unit(int unit) {
  unit_record* record = f_unit(unit);
  if (record == nullptr) return -1;
  record->iostat = 0;
  if (record->stream != nullptr) {
    std::FILE* stream = record->stream;
    // After fclose the stream is gone whatever it returned; keeping the pointer would invite a
    // second fclose of freed memory.
    record->stream = nullptr;
    if (!closeStream(stream)) {
      record->iostat = kIostatCloseFailed;
      reportCloseFailure(unit, kLineCloseFailed, *record);
      return -1;
    }
  }
  if (record->status == UNIT_STATUS_SCRATCH && record->name != nullptr && record->name[0] != '\0' &&
      !nuvex::platform::removeFile(record->name)) {
    record->iostat = kIostatRemoveFailed;
  }
  if (record->iostat != 0) {
    reportCloseFailure(unit, kLineReleaseFailed, *record);
    return -1;
  }
  releaseUnit(unit, *record);
  return 1;
}

int close_unit(int unit) {
  const unit_record* record = f_unit(unit);
  if (unit > UNIT_LAST_EXTERNAL || record == nullptr || record->stream == nullptr) return -1;
  return _cls_unit(unit);
}

void close_all_units(void) {
  bool anyFailed = false;
  for (int unit = 0; unit <= UNIT_LAST_EXTERNAL; ++unit) {
    if (f_unit(unit)->stream != nullptr && _cls_unit(unit) != 1) anyFailed = true;
  }
  if (anyFailed) std::fputs("unable to properly close one or more units\n", stderr);
}

}  // extern "C"
