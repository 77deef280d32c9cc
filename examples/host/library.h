// Loading the coordinate library at run time: the one part of the host that differs between
// Windows (LoadLibraryA, GetProcAddress) and POSIX systems (dlopen, dlsym).
#pragma once

#include <string>

struct HostCallbacks;

// The three entry points, looked up by their exported names.
struct EntryPoints {
  int (*setCallbacks)(HostCallbacks& callBacks);
  int (*convertToLL)(double x, double y, double* xOut, double* yOut, int system, int* zone,
                     int writeZone);
  int (*convertFromLL)(double x, double y, double* xOut, double* yOut, int system, int* zone,
                       int computeZone, int zonePrefix);
};

// The library's file name on this platform.
extern const char* const kLibraryName;

// Loads the library at `path` and finds the three functions; on failure returns false and says
// why in `error`. The library stays loaded until the process ends.
bool loadEntryPoints(const char* path, EntryPoints& entry, std::string& error);
