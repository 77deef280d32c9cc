// What a C transformer converts: the systems named by source and target with the caller's
// options, checked and resolved with the library's rules for zones.
#pragma once

#include <limits>
#include <optional>
#include <string>

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
  bool officialDatum = false;     // the official datum shifts instead of the polynomial ones
  std::string grid;               // official only: an NTv2 file; empty: the built-in grid
  HeightChoice heights;           // the options' kinds, else the names'
  // Between system 5 (ITRF2020) and another system: the points need an epoch, the options' or
  // the names' (NaN: none; the points then bring their own).
  bool needsEpoch = false;
  double epoch = std::numeric_limits<double>::quiet_NaN();
};

// Throws Failure: NUVEX_ERROR_SYSTEM for a null or unknown system name, NUVEX_ERROR_OPTIONS_SIZE
// for options smaller than their first version, NUVEX_ERROR_ARGUMENT for an option out of range
// or against the systems (a height kind other than a name's, heights on one side only or with
// the polynomial datum shifts, system 5 with them, an epoch out of range, against a name's or
// where none is used).
Conversion resolveConversion(const char* source, const char* target, const nuvex_options* options);

}  // namespace nuvex::c_api
