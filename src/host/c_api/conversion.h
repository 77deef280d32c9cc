// What a C transformer converts: the systems named by source and target with the caller's
// options, checked and resolved with the library's rules for zones.
#pragma once

#include <optional>

#include "nuvex/nuvex.h"
#include "nuvex/systems.h"
#include "nuvex/transform.h"

namespace nuvex::c_api {

struct Conversion {
  CoordinateSystem from;
  CoordinateSystem to;
  ZoneChoice zones;
  std::optional<int> sourceZone;  // the source's name fixes the zone of every input point
  bool zonePrefix = false;        // UTM output eastings carry the zone in their millions
};

// Throws Failure: NUVEX_ERROR_SYSTEM for a null or unknown system name, NUVEX_ERROR_OPTIONS_SIZE
// for options smaller than their first version, NUVEX_ERROR_ARGUMENT for an option out of range
// or against the systems, NUVEX_ERROR_UNAVAILABLE for a datum mode this build does not have.
Conversion resolveConversion(const char* source, const char* target, const nuvex_options* options);

}  // namespace nuvex::c_api
