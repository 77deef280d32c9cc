// Loading Nuvex64.dll: the entry points are exported under Microsoft's decorated names.
#include <windows.h>

#include "library.h"

const char* const kLibraryName = "Nuvex64.dll";

namespace {

template <typename Function>
bool find(HMODULE library, const char* name, Function& function, std::string& error) {
  function = reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(library, name)));
  if (function == nullptr) error = std::string("no export ") + name;
  return function != nullptr;
}

}  // namespace

bool loadEntryPoints(const char* path, EntryPoints& entry, std::string& error) {
  HMODULE library = LoadLibraryA(path);
  if (library == nullptr) {
    error = "LoadLibraryA failed with error " + std::to_string(GetLastError());
    return false;
  }
  return find(library, "?SetNuvexCallbacks@@YAHAEAUDLLCallbacks@@@Z", entry.setCallbacks, error) &&
         find(library, "?NuvexConvertToLL@@YAHNNPEAN0HPEAHH@Z", entry.convertToLL, error) &&
         find(library, "?NuvexConvertFromLL@@YAHNNPEAN0HPEAHHH@Z", entry.convertFromLL, error);
}
