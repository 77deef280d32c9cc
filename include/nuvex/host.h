// nuvex host interface: the callback record a host installs, the three entry points it calls,
// and the callback layer through which everything the library says reaches the host.
//
// A host loads the library (Nuvex64.dll on Windows, libnuvex.so elsewhere), installs its record
// once with SetNuvexCallbacks (while no conversion runs), and then converts one point per call
// from any thread. Every trace, message and failure report leaves the library through the
// installed copy of the record; the library reads no result from any slot.
#pragma once

#include <cstddef>
#include <cstdint>
#include <exception>

// Host callback slots. Texts handed to the slots that take a format are finished texts: the
// library passes them as the argument of a "%s" format so that a percent sign reaches the host
// literally.
using NuvexLogMessageFn = void (*)(int level, const char* format, ...);
using NuvexReportFailureFn = void (*)(const char* text, int code, const void* reserved,
                                      const char* file, int line);
using NuvexShowMessageFn = void (*)(const char* format, ...);
using NuvexReportFn = void (*)(int kind, int code, int a3, std::uint16_t sub, int extra, int a6,
                               const char* a7, int a8, double a9, void* a10, int a11,
                               const char* text);

// The host callback record: 784 bytes, a 64-bit size followed by 97 pointer-sized slots. The
// offsets are a contract with hosts compiled against the same layout; a slot left zero is skipped.
struct DLLCallbacks {
  std::uint64_t structSize;            // offset 0: must be 784
  NuvexLogMessageFn logMessage;        // offset 8: traces (level 2) and unit diagnostics (-1)
  NuvexReportFailureFn reportFailure;  // offset 16: assertion failures and fatal reports
  NuvexShowMessageFn showMessage;      // offset 24: messages meant for the user
  void* hostOnly32[4];                 // offsets 32-56: host functions the library never calls
  void* unreferenced64[2];             // offsets 64-72: not referenced by the library
  NuvexReportFn report;                // offset 80: structured reports
  void* hostOnly88[6];                 // offsets 88-128: host functions the library never calls
  void* unreferenced136[81];           // offsets 136-783: not referenced by the library
};

// The contract is one of 64-bit hosts; a 32-bit build (the WebAssembly page) is loaded by none.
#if UINTPTR_MAX > 0xFFFFFFFFu
static_assert(sizeof(DLLCallbacks) == 784, "DLLCallbacks is a 784-byte contract with the host");
static_assert(offsetof(DLLCallbacks, structSize) == 0);
static_assert(offsetof(DLLCallbacks, logMessage) == 8);
static_assert(offsetof(DLLCallbacks, reportFailure) == 16);
static_assert(offsetof(DLLCallbacks, showMessage) == 24);
static_assert(offsetof(DLLCallbacks, report) == 80);
#endif

// Thrown to abort a calculation: by the runtime when the user gives up a file that cannot be
// opened, and by any fatal report whose host reportFailure returns instead of ending the
// calculation. Nothing in the library catches it. what() is the text the library reported (the
// runtime's error line, the engine's stop line), so that a program that dies of it says why. The
// text is kept in the object itself (cut at kReasonCapacity - 1 characters): copies cannot throw,
// and the header needs nothing beyond <exception>, as a host of any compiler includes it.
class CCalcAbortException : public std::exception {
 public:
  static constexpr std::size_t kReasonCapacity = 512;

  CCalcAbortException() noexcept : CCalcAbortException("calculation aborted") {}
  explicit CCalcAbortException(const char* reason) noexcept {
    std::size_t length = 0;
    for (; reason != nullptr && reason[length] != '\0' && length + 1 < kReasonCapacity; ++length) {
      reason_[length] = reason[length];
    }
    reason_[length] = '\0';
  }
  const char* what() const noexcept override { return reason_; }

 private:
  char reason_[kReasonCapacity];
};

// ---- The three exported entry points (C++ linkage, global namespace) -------------------------

// Installs a copy of the host's record and readies the conversion lock. Always returns 0; a record
// whose structSize is not 784 is installed all the same and the failed size check is reported
// through its own reportFailure.
int SetNuvexCallbacks(DLLCallbacks& callBacks);

// Grid point of `system` (easting x and northing y in metres, zone in *zone if zone is non-null)
// to WGS84 longitude (*xOut) and latitude (*yOut) in decimal degrees. With writeZone non-zero the
// zone used is written back through zone. Returns 0, or -1 when the point has no transformation
// path (or the library has no callbacks installed yet).
int NuvexConvertToLL(double x, double y, double* xOut, double* yOut, int system, int* zone,
                     int writeZone);

// WGS84 longitude x and latitude y (decimal degrees) to the grid of `system`: easting *xOut and
// northing *yOut in metres. With computeZone non-zero the zone is chosen from the longitude and
// written through zone, otherwise *zone is used. With zonePrefix non-zero a system-3 easting
// carries the zone in its millions. Returns 0, or -1 as NuvexConvertToLL does.
int NuvexConvertFromLL(double x, double y, double* xOut, double* yOut, int system, int* zone,
                       int computeZone, int zonePrefix);

// ---- Callback layer (static library; used by the engine and the calculation runtime) ---------

// Text the library passes to reportFailure when it ends a calculation.
inline constexpr const char* kCalculationFailedText = "PELORA-Calculation Failed (exit Called)!";

// Copies 784 bytes from callBacks into the installed record; reports a wrong structSize through
// the newly installed reportFailure.
void InstallCallbacks(const DLLCallbacks& callBacks);
// Resets the installed record to all zero with structSize 784; returns it.
DLLCallbacks* ResetCallbacks();
// The installed record (read-only view).
const DLLCallbacks& InstalledCallbacks();
// Reports the record-size assertion unconditionally.
void DllCheckRecordSize();

void DllLog(int level, const char* format, ...) __attribute__((format(printf, 2, 3)));
void DllMessage(const char* format, ...) __attribute__((format(printf, 1, 2)));
void DllAssertFailed(const char* expression, std::int64_t code, const char* file, int line);
void DllFail(int code, const char* file, int line);
void DllExit(int code, const char* file, int line);
void DllReportRaw(int kind, int code, int a3, std::uint16_t sub, int extra, int a6, const char* a7,
                  int a8, double a9, void* a10, int a11, const char* format, ...)
    __attribute__((format(printf, 12, 13)));
void DllReportFull(int kind, int code, int a3, std::uint16_t sub, int extra, int a6, const char* a7,
                   int a8, const char* format, ...) __attribute__((format(printf, 9, 10)));
void DllReport(int code, const char* format, ...) __attribute__((format(printf, 2, 3)));
void DllReportSub(int code, std::uint16_t sub, int extra, const char* format, ...)
    __attribute__((format(printf, 4, 5)));

// The fatal end of a calculation: reportFailure with kCalculationFailedText, then, because a host
// whose reportFailure returns must not see the failed operation go on, CCalcAbortException.
// reason: what() of the exception (the report's text; kCalculationFailedText when null).
[[noreturn]] void DllExitFatal(int code, const char* file, int line, const char* reason = nullptr);
