// The shared library as a host loads it: three decorated exports and nothing else, usable with
// nothing but the record layout and the names.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <set>
#include <string>

#include "nuvex/host.h"

namespace {

const std::set<std::string> kExports = {
    "_Z17SetNuvexCallbacksR12DLLCallbacks",
    "_Z16NuvexConvertToLLddPdS_iPii",
    "_Z18NuvexConvertFromLLddPdS_iPiii",
};

std::set<std::string> definedDynamicSymbols(const char* library) {
  std::set<std::string> symbols;
  const std::string command = std::string("nm -D --defined-only ") + library;
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return symbols;
  char line[1024];
  while (std::fgets(line, sizeof line, pipe) != nullptr) {
    char name[1024];
    char type = 0;
    unsigned long long address = 0;
    if (std::sscanf(line, "%llx %c %1023s", &address, &type, name) == 3) symbols.insert(name);
  }
  pclose(pipe);
  return symbols;
}

TEST(SharedLibrary, ExportsExactlyTheThreeDecoratedEntryPoints) {
  EXPECT_EQ(definedDynamicSymbols(NUVEX_SHARED_LIBRARY_PATH), kExports);
}

int failuresSeen = 0;
void countFailure(const char*, int, const void*, const char*, int) {
  ++failuresSeen;
}

TEST(SharedLibrary, LoadsRefusesBeforeInstallationAndConvertsAfter) {
  void* library = dlopen(NUVEX_SHARED_LIBRARY_PATH, RTLD_NOW | RTLD_LOCAL);
  ASSERT_NE(library, nullptr) << dlerror();
  using SetFn = int (*)(DLLCallbacks&);
  using ToLLFn = int (*)(double, double, double*, double*, int, int*, int);
  using FromLLFn = int (*)(double, double, double*, double*, int, int*, int, int);
  auto set = reinterpret_cast<SetFn>(dlsym(library, "_Z17SetNuvexCallbacksR12DLLCallbacks"));
  auto toLL = reinterpret_cast<ToLLFn>(dlsym(library, "_Z16NuvexConvertToLLddPdS_iPii"));
  auto fromLL = reinterpret_cast<FromLLFn>(dlsym(library, "_Z18NuvexConvertFromLLddPdS_iPiii"));
  ASSERT_TRUE(set && toLL && fromLL);

  double easting = -7, northing = -7;
  int zone = 0;
  EXPECT_NE(fromLL(10.0, 50.0, &easting, &northing, 3, &zone, 1, 0), 0);
  EXPECT_EQ(easting, -7);  // refused before installation: nothing written
  EXPECT_EQ(zone, 0);

  DLLCallbacks record{};
  record.structSize = sizeof record;
  record.reportFailure = countFailure;
  EXPECT_EQ(set(record), 0);
  EXPECT_EQ(failuresSeen, 0);
  ASSERT_EQ(fromLL(10.0, 50.0, &easting, &northing, 3, &zone, 1, 0), 0);
  EXPECT_NEAR(easting, 571666.448, 1e-3);
  EXPECT_NEAR(northing, 5539109.815, 1e-3);
  EXPECT_EQ(zone, 32);
  double longitude = 0, latitude = 0;
  ASSERT_EQ(toLL(easting, northing, &longitude, &latitude, 3, &zone, 1), 0);
  EXPECT_NEAR(longitude, 10.0, 1e-8);
  EXPECT_NEAR(latitude, 50.0, 1e-8);
  dlclose(library);
}

}  // namespace
