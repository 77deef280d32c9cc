// The process-wide conversion lock: a re-entrant lock with the semantics of a Windows critical
// section. The same thread may enter again; every enter is matched by one leave.
#pragma once

namespace nuvex::platform {

class CriticalSection {
 public:
  // Readies the lock. Called by SetNuvexCallbacks, while no conversion runs; calling it again is
  // harmless. Until then conversions refuse to run (isInitialized() is false).
  void initialize();
  bool isInitialized() const;
  void enter();
  void leave();
};

// The one conversion lock of the library (static storage, never deleted).
CriticalSection& conversionLock();

// Holds the conversion lock for its lifetime, also while an exception unwinds through it.
class ScopedConversionLock {
 public:
  explicit ScopedConversionLock(CriticalSection* lock) : lock_(lock) { lock_->enter(); }
  ~ScopedConversionLock() { lock_->leave(); }
  ScopedConversionLock(const ScopedConversionLock&) = delete;
  ScopedConversionLock& operator=(const ScopedConversionLock&) = delete;

 private:
  CriticalSection* lock_;
};

}  // namespace nuvex::platform
