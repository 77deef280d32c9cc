// File existence and removal for the unit table.
#pragma once

namespace nuvex::platform {

// True when something exists under `path` (relative to the working directory).
bool fileExists(const char* path);
// Removes the file; true on success.
bool removeFile(const char* path);

}  // namespace nuvex::platform
