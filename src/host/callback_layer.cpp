// The installed host record and the Dll* layer that formats texts and hands them to its slots.
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "nuvex/host.h"

namespace {

constexpr std::uint64_t kRecordSize = sizeof(DLLCallbacks);
constexpr std::size_t kTextBufferSize = 1024;  // every text handed to the host fits 1023 chars
constexpr const char* kRecordSizeAssertion = "callBacks.structSize == sizeof(DLLCallbacks)";
constexpr const char* kCallbackLayerFile = "Shared/DllCallBack";
constexpr int kRecordSizeAssertionLine = 18;

DLLCallbacks makeEmptyRecord() {
  DLLCallbacks record{};
  record.structSize = kRecordSize;
  return record;
}

// Zero-initialised at load, size field set: a conversion before installation finds empty slots.
DLLCallbacks installedRecord = makeEmptyRecord();

struct FormattedText {
  char text[kTextBufferSize];
};

FormattedText formatText(const char* format, std::va_list args) {
  FormattedText out;
  if (format == nullptr) {
    out.text[0] = '\0';
    return out;
  }
  std::vsnprintf(out.text, sizeof out.text, format, args);
  return out;
}

void reportFailure(const char* text, int code, const char* file, int line) {
  if (installedRecord.reportFailure != nullptr) {
    installedRecord.reportFailure(text, code, nullptr, file, line);
  }
}

void reportRecordSize() {
  reportFailure(kRecordSizeAssertion, 0, kCallbackLayerFile, kRecordSizeAssertionLine);
}

}  // namespace

void InstallCallbacks(const DLLCallbacks& callBacks) {
  std::memcpy(&installedRecord, &callBacks, sizeof installedRecord);
  if (callBacks.structSize != kRecordSize) reportRecordSize();
}

DLLCallbacks* ResetCallbacks() {
  installedRecord = makeEmptyRecord();
  return &installedRecord;
}

const DLLCallbacks& InstalledCallbacks() {
  return installedRecord;
}

void DllCheckRecordSize() {
  reportRecordSize();
}

void DllLog(int level, const char* format, ...) {
  if (installedRecord.logMessage == nullptr) return;  // nobody listens: skip the formatting
  std::va_list args;
  va_start(args, format);
  const FormattedText message = formatText(format, args);
  va_end(args);
  installedRecord.logMessage(level, "%s", message.text);
}

void DllMessage(const char* format, ...) {
  if (installedRecord.showMessage == nullptr) return;
  std::va_list args;
  va_start(args, format);
  const FormattedText message = formatText(format, args);
  va_end(args);
  installedRecord.showMessage("%s", message.text);
}

void DllAssertFailed(const char* expression, std::int64_t code, const char* file, int line) {
  reportFailure(expression, static_cast<int>(code), file, line);
}

void DllFail(int code, const char* file, int line) {
  reportFailure(nullptr, code, file, line);
}

void DllExit(int code, const char* file, int line) {
  reportFailure(kCalculationFailedText, code, file, line);
}

[[noreturn]] void DllExitFatal(int code, const char* file, int line, const char* reason) {
  DllExit(code, file, line);
  throw CCalcAbortException(reason != nullptr ? reason : kCalculationFailedText);
}

namespace {

void reportText(int kind, int code, int a3, std::uint16_t sub, int extra, int a6, const char* a7,
                int a8, double a9, void* a10, int a11, const char* text) {
  if (installedRecord.report != nullptr) {
    installedRecord.report(kind, code, a3, sub, extra, a6, a7, a8, a9, a10, a11, text);
  }
}

constexpr int kReportKind = 2;
constexpr double kReportA9 = 0.0;
constexpr int kReportA11 = 9;

}  // namespace

void DllReportRaw(int kind, int code, int a3, std::uint16_t sub, int extra, int a6, const char* a7,
                  int a8, double a9, void* a10, int a11, const char* format, ...) {
  std::va_list args;
  va_start(args, format);
  const FormattedText message = formatText(format, args);
  va_end(args);
  reportText(kind, code, a3, sub, extra, a6, a7, a8, a9, a10, a11, message.text);
}

void DllReportFull(int kind, int code, int a3, std::uint16_t sub, int extra, int a6, const char* a7,
                   int a8, const char* format, ...) {
  std::va_list args;
  va_start(args, format);
  const FormattedText message = formatText(format, args);
  va_end(args);
  reportText(kind, code, a3, sub, extra, a6, a7, a8, kReportA9, nullptr, kReportA11, message.text);
}

void DllReport(int code, const char* format, ...) {
  std::va_list args;
  va_start(args, format);
  const FormattedText message = formatText(format, args);
  va_end(args);
  reportText(kReportKind, code, 0, 0, 0, 0, "", 0, kReportA9, nullptr, kReportA11, message.text);
}

void DllReportSub(int code, std::uint16_t sub, int extra, const char* format, ...) {
  std::va_list args;
  va_start(args, format);
  const FormattedText message = formatText(format, args);
  va_end(args);
  reportText(kReportKind, code, 0, sub, extra, 0, "", 0, kReportA9, nullptr, kReportA11,
             message.text);
}
