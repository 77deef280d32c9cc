#include "platform/conversion_lock.h"

#include <atomic>
#include <mutex>

namespace nuvex::platform {
namespace {

// std::recursive_mutex is constant-initialised, so the lock itself needs no set-up; the flag
// records whether the host has installed its callbacks and thereby allowed conversions.
std::recursive_mutex conversionMutex;
std::atomic<bool> initialized{false};

}  // namespace

void CriticalSection::initialize() { initialized.store(true, std::memory_order_release); }
bool CriticalSection::isInitialized() const {
  return initialized.load(std::memory_order_acquire);
}
void CriticalSection::enter() { conversionMutex.lock(); }
void CriticalSection::leave() { conversionMutex.unlock(); }

CriticalSection& conversionLock() {
  static CriticalSection lock;
  return lock;
}

}  // namespace nuvex::platform
