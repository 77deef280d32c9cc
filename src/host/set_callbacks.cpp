// SetNuvexCallbacks: installation of the host record and readying of the conversion lock.
#include "nuvex/host.h"
#include "platform/conversion_lock.h"

__attribute__((visibility("default"))) int SetNuvexCallbacks(DLLCallbacks& callBacks) {
  nuvex::platform::conversionLock().initialize();
  InstallCallbacks(callBacks);
  return 0;
}
