#include "host/c_api/conversion.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstddef>
#include <cstring>
#include <stdexcept>
#include <string>

#include "host/c_api/boundary.h"

namespace nuvex::c_api {
namespace {

// Bytes of the first version of nuvex_options, which ends with `grid`. Later versions only
// append fields; a caller's smaller struct is no version at all.
constexpr std::size_t kFirstOptionsSize = offsetof(nuvex_options, grid) + sizeof(const char*);

// Whether a caller's struct of `size` bytes holds the field at `offset` of `bytes` bytes: one
// built before the field was added ends before it, and keeps its default.
constexpr bool holds(std::size_t size, std::size_t offset, std::size_t bytes) {
  return size >= offset + bytes;
}

constexpr int kDefaultZoneWidth = 0;  // option value asking for the default, 3 deg zones
constexpr int kPolynomialDatum = 0;
constexpr int kOfficialDatum = 1;

// The caller's options as far as this version knows them, or the defaults.
nuvex_options readOptions(const nuvex_options* given) {
  nuvex_options options;
  nuvex_options_init(&options);
  if (given == nullptr) return options;
  if (given->size < kFirstOptionsSize) {
    throw Failure(NUVEX_ERROR_OPTIONS_SIZE,
                  "options.size " + std::to_string(given->size) +
                      " is smaller than the first version of nuvex_options (" +
                      std::to_string(kFirstOptionsSize) +
                      " bytes): set it to sizeof(nuvex_options)");
  }
  std::memcpy(&options, given, kFirstOptionsSize);
  // Field by field: the struct's padding may leave a caller's size between two of them.
  if (holds(given->size, offsetof(nuvex_options, height_from), sizeof(int))) {
    options.height_from = given->height_from;
  }
  if (holds(given->size, offsetof(nuvex_options, height_to), sizeof(int))) {
    options.height_to = given->height_to;
  }
  if (holds(given->size, offsetof(nuvex_options, geoid), sizeof(const char*))) {
    options.geoid = given->geoid;
  }
  if (holds(given->size, offsetof(nuvex_options, epoch), sizeof(double))) {
    options.epoch = given->epoch;
  }
  return options;
}

NamedSystem parseName(const char* text, const char* role) {
  if (text == nullptr) {
    throw Failure(NUVEX_ERROR_SYSTEM, std::string(role) +
                                          " is NULL: name a coordinate system, e.g. 'E:1' or "
                                          "'G:3', or an EPSG code, e.g. 'EPSG:31467'");
  }
  try {
    return parseSystemName(text, role);
  } catch (const std::invalid_argument& unknown) {
    throw Failure(NUVEX_ERROR_SYSTEM, unknown.what());
  }
}

[[noreturn]] void refuse(const std::string& message) {
  throw Failure(NUVEX_ERROR_ARGUMENT, message);
}

// The zone width: the option, or what the name of a system 4 side fixes (they must agree), or
// 3 deg.
int resolveZoneWidth(int option, const NamedSystem& from, const NamedSystem& to, const char* source,
                     const char* target) {
  if (option != kDefaultZoneWidth && option != kThreeDegreeZones && option != kSixDegreeZones) {
    refuse("zone_width " + std::to_string(option) + " is not 3 or 6 (degrees)");
  }
  int width = option;
  const char* fixedBy = nullptr;  // the name that fixed the width so far
  for (const auto& [named, text] : {std::pair{&from, source}, std::pair{&to, target}}) {
    if (named->system.system != kLastSystem || !named->zoneWidth) continue;
    const std::string widthText = std::to_string(*named->zoneWidth) + " deg zones";
    if (fixedBy != nullptr && width != *named->zoneWidth) {
      refuse(std::string(fixedBy) + " has " + std::to_string(width) + " deg zones and " + text +
             " " + widthText + ": convert through G:4 in two steps");
    }
    if (width != kDefaultZoneWidth && width != *named->zoneWidth) {
      refuse("zone_width " + std::to_string(width) + ": " + text + " has " + widthText);
    }
    width = *named->zoneWidth;
    fixedBy = text;
  }
  return width == kDefaultZoneWidth ? kThreeDegreeZones : width;
}

// The output zone: the option, or what the target's name fixes (the two must agree).
ZoneChoice resolveZones(int zoneOption, int width, const NamedSystem& to, const char* target) {
  int zone = zoneOption;
  if (to.zone) {
    if (zone != 0 && zone != *to.zone) {
      refuse("zone " + std::to_string(zone) + ": " + target + " is zone " +
             std::to_string(*to.zone));
    }
    zone = *to.zone;
  }
  if (zone == 0) return {width, true, 0};
  if (to.system.type != CoordinateType::Grid) {
    refuse("zone " + std::to_string(zone) + ": the target " + target +
           " is geographic and has no zone");
  }
  const ZoneRange range = outputZoneRange(to.system.system, width);
  if (!range.contains(zone)) {
    refuse("zone " + std::to_string(zone) + ": zones of " + systemTitle(to.system.system, width) +
           " are " + std::to_string(range.lowest) + " to " + std::to_string(range.highest));
  }
  return {width, false, zone};
}

// The datum shifts: 0 polynomial, 1 official (with an NTv2 file, or NULL: the built-in grid).
void resolveDatum(const nuvex_options& options, Conversion& conversion) {
  if (options.datum != kPolynomialDatum && options.datum != kOfficialDatum) {
    refuse("datum " + std::to_string(options.datum) + " is not 0 (polynomial) or 1 (official)");
  }
  if (options.datum == kPolynomialDatum && options.grid != nullptr) {
    refuse("grid: an NTv2 file is read only with datum 1 (official)");
  }
  conversion.officialDatum = options.datum == kOfficialDatum;
  if (options.grid != nullptr) conversion.grid = options.grid;
}

HeightKind heightKindOf(int option) {
  return option == NUVEX_HEIGHT_ELLIPSOIDAL ? HeightKind::Ellipsoidal
         : option == NUVEX_HEIGHT_DHHN2016  ? HeightKind::Normal
                                            : HeightKind::None;
}

// A kind as the options write it.
const char* heightOptionText(HeightKind kind) {
  switch (kind) {
    case HeightKind::Ellipsoidal:
      return "1 (ellipsoidal)";
    case HeightKind::Normal:
      return "2 (DHHN2016)";
    case HeightKind::None:
      break;
  }
  return "0 (none)";
}

// One side's kind of heights: the option's (0: none given), which must be the name's when the
// name has one, else the name's.
HeightKind resolveHeight(const char* field, int option, const NamedSystem& named,
                         const char* name) {
  if (option < NUVEX_HEIGHT_NONE || option > NUVEX_HEIGHT_DHHN2016) {
    refuse(std::string(field) + " " + std::to_string(option) +
           " is not 0 (none), 1 (ellipsoidal) or 2 (DHHN2016)");
  }
  const HeightKind kind = heightKindOf(option);
  if (kind == HeightKind::None) return named.height;
  if (named.height != HeightKind::None && kind != named.height) {
    refuse(std::string(field) + " " + heightOptionText(kind) + ": " + name + " has heights " +
           heightOptionText(named.height));
  }
  return kind;
}

// The kinds of heights and the quasigeoid. The rules of the kinds themselves (system 1 has no
// ellipsoidal heights, a geoid only where one is used) are the Transformer's; these are the ones
// of the options.
void resolveHeights(const nuvex_options& options, const NamedSystem& from, const NamedSystem& to,
                    const char* source, const char* target, Conversion& conversion) {
  HeightChoice& heights = conversion.heights;
  heights.from = resolveHeight("height_from", options.height_from, from, source);
  heights.to = resolveHeight("height_to", options.height_to, to, target);
  const bool fromKind = heights.from != HeightKind::None;
  if (fromKind != (heights.to != HeightKind::None)) {
    refuse(std::string("heights: ") + (fromKind ? "the source" : "the target") + " has heights " +
           heightOptionText(fromKind ? heights.from : heights.to) + " and " +
           (fromKind ? "the target" : "the source") + " none: give " +
           (fromKind ? "height_to" : "height_from") + " (or name a compound CRS)");
  }
  if (fromKind && !conversion.officialDatum) {
    refuse("heights are converted with datum 1 (official) only");
  }
  if (options.geoid != nullptr) {
    if (!fromKind) refuse("geoid: a quasigeoid is read only where heights are converted");
    heights.geoid = options.geoid;
  }
}

// The shortest text that reads back as the number: "2026.9".
std::string numberText(double number) {
  std::array<char, 32> text{};
  const auto written = std::to_chars(text.data(), text.data() + text.size(), number);
  return std::string(text.data(), written.ptr);
}

// System 5 is joined to the others by EPSG:10586 alone, an official transformation.
void checkFrameDatum(const NamedSystem& from, const NamedSystem& to, const Conversion& conversion) {
  const bool frame = from.system.system == kItrf2020System || to.system.system == kItrf2020System;
  if (frame && !conversion.officialDatum) {
    refuse("system 5 (ITRF2020) is converted with datum 1 (official) only: EPSG:10586 at an epoch");
  }
}

// The points' epoch: options.epoch (0 or NaN: none) or the names' ("EPSG:9990@2026.9"), which
// must agree, kept where the conversion needs one. An option that changes nothing is refused, as
// grid and geoid are; a name's epoch only says when its coordinates hold.
void resolveEpoch(double option, const NamedSystem& from, const NamedSystem& to, const char* source,
                  const char* target, Conversion& conversion) {
  const bool given = option != 0.0 && !std::isnan(option);
  if (given && !isAcceptableEpoch(option)) {
    refuse("epoch " + numberText(option) + " is no decimal year from 1990 to 2100 (0: none)");
  }
  if (from.epoch && to.epoch && *from.epoch != *to.epoch) {
    refuse(std::string(source) + " and " + target + " name different epochs");
  }
  const std::optional<double> named = from.epoch ? from.epoch : to.epoch;
  if (given && named && *named != option) {
    refuse("epoch " + numberText(option) + ": " + (from.epoch ? source : target) +
           " names the epoch " + numberText(*named));
  }
  conversion.needsEpoch = conversionNeedsEpoch(from.system.system, to.system.system);
  if (given && !conversion.needsEpoch) {
    refuse("epoch: read only between system 5 (ITRF2020) and another system");
  }
  if (conversion.needsEpoch && (given || named)) conversion.epoch = given ? option : *named;
}

}  // namespace

Conversion resolveConversion(const char* source, const char* target, const nuvex_options* given) {
  const NamedSystem from = parseName(source, "source");
  const NamedSystem to = parseName(target, "target");
  const nuvex_options options = readOptions(given);
  Conversion conversion{from.system, to.system, {}, std::nullopt, false, false, {}, {}};
  const int width = resolveZoneWidth(options.zone_width, from, to, source, target);
  conversion.zones = resolveZones(options.zone, width, to, target);
  if (options.zone_prefix != 0 && options.zone_prefix != 1) {
    refuse("zone_prefix " + std::to_string(options.zone_prefix) + " is not 0 or 1");
  }
  if (options.zone_prefix == 1 && to.system.type != CoordinateType::Grid) {
    refuse(std::string("zone_prefix: the target ") + target + " is geographic and has no easting");
  }
  conversion.zonePrefix = options.zone_prefix == 1 && !isGaussKrueger(to.system.system);
  if (conversion.zonePrefix && to.zone) {
    refuse(std::string("zone_prefix: eastings of ") + target + " carry no zone in their millions");
  }
  if (from.system.type == CoordinateType::Grid) conversion.sourceZone = from.zone;
  resolveDatum(options, conversion);
  checkFrameDatum(from, to, conversion);
  resolveEpoch(options.epoch, from, to, source, target, conversion);
  resolveHeights(options, from, to, source, target, conversion);
  return conversion;
}

}  // namespace nuvex::c_api

void nuvex_options_init_sized(nuvex_options* options, size_t size) {
  if (options == nullptr) return;
  // The caller's struct may be older and smaller than this one: nothing beyond it is written.
  const std::size_t known = std::min<std::size_t>(size, sizeof(nuvex_options));
  const nuvex_options defaults{};
  std::memcpy(static_cast<void*>(options), &defaults, known);
  if (known >= sizeof options->size) {
    const std::size_t written = known;
    std::memcpy(static_cast<void*>(options), &written, sizeof written);
  }
}

void(nuvex_options_init)(nuvex_options* options) {
  constexpr std::size_t kFirstVersion = offsetof(nuvex_options, grid) + sizeof options->grid;
  nuvex_options_init_sized(options, kFirstVersion);
}
