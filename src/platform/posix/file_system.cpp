// File existence and removal.
#include "platform/file_system.h"

#include <cstdio>
#include <filesystem>
#include <system_error>

namespace nuvex::platform {

bool fileExists(const char* path) {
  if (path == nullptr || *path == '\0') return false;
  std::error_code error;
  return std::filesystem::exists(std::filesystem::path(path), error);
}

bool removeFile(const char* path) {
  return path != nullptr && std::remove(path) == 0;
}

}  // namespace nuvex::platform
