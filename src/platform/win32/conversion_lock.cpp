// The conversion lock as a Windows critical section.
#include "platform/conversion_lock.h"

#include <windows.h>

#include <atomic>

namespace nuvex::platform {
namespace {

// Static storage, initialised by the first SetNuvexCallbacks and never deleted: the process may
// end while another thread still converts. A critical section must not be initialised twice, so
// later installations keep the one section. Until it is ready, no conversion enters it (entering
// an uninitialised section can block for ever).
CRITICAL_SECTION conversionSection;
INIT_ONCE sectionInitialization = INIT_ONCE_STATIC_INIT;
std::atomic<bool> initialized{false};

BOOL CALLBACK initializeSection(PINIT_ONCE, PVOID, PVOID*) {
  InitializeCriticalSection(&conversionSection);
  return TRUE;
}

}  // namespace

void CriticalSection::initialize() {
  InitOnceExecuteOnce(&sectionInitialization, initializeSection, nullptr, nullptr);
  initialized.store(true, std::memory_order_release);
}
bool CriticalSection::isInitialized() const {
  return initialized.load(std::memory_order_acquire);
}
void CriticalSection::enter() {
  EnterCriticalSection(&conversionSection);
}
void CriticalSection::leave() {
  LeaveCriticalSection(&conversionSection);
}

CriticalSection& conversionLock() {
  static CriticalSection lock;
  return lock;
}

}  // namespace nuvex::platform
