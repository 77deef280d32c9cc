// File existence and removal through the C runtime.
#include "platform/file_system.h"

#include <io.h>

#include <cstdio>

namespace nuvex::platform {

constexpr int kExistenceOnly = 0;  // _access mode: test existence, not permissions

bool fileExists(const char* path) {
  return path != nullptr && *path != '\0' && _access(path, kExistenceOnly) == 0;
}

bool removeFile(const char* path) {
  return path != nullptr && std::remove(path) == 0;
}

}  // namespace nuvex::platform
