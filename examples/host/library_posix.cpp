// Loading libnuvex.so: the entry points are exported under the Itanium C++ ABI's names.
#include <dlfcn.h>

#include "library.h"

const char* const kLibraryName = "libnuvex.so";

namespace {

template <typename Function>
bool find(void* library, const char* name, Function& function, std::string& error) {
  function = reinterpret_cast<Function>(dlsym(library, name));
  if (function == nullptr) error = std::string("no export ") + name;
  return function != nullptr;
}

}  // namespace

bool loadEntryPoints(const char* path, EntryPoints& entry, std::string& error) {
  void* library = dlopen(path, RTLD_NOW | RTLD_LOCAL);
  if (library == nullptr) {
    error = dlerror();
    return false;
  }
  return find(library, "_Z17SetNuvexCallbacksR12DLLCallbacks", entry.setCallbacks, error) &&
         find(library, "_Z16NuvexConvertToLLddPdS_iPii", entry.convertToLL, error) &&
         find(library, "_Z18NuvexConvertFromLLddPdS_iPiii", entry.convertFromLL, error);
}
