// Checks of the command line that need more than one option, and what the EPSG codes of the two
// sides fix: a combination that cannot be meant is a usage error, with its reason.
#pragma once

#include <optional>
#include <string>

#include "column_selection.h"
#include "converter.h"
#include "nuvex/systems.h"
#include "options.h"
#include "point_reader.h"

namespace nuvex::cli {

// Nothing when the combination is sound, else the message for a usage error.
std::optional<std::string> checkOutputZone(const ConversionSettings& settings);
std::optional<std::string> checkInputZone(const InputColumns& columns, const char* optionName);
std::optional<std::string> checkZonePrefix(const ConversionSettings& settings);

// One side of a conversion as the command line names it.
struct NamedSide {
  NamedSystem named;
  std::string text;  // as given, for messages
};

// Applies the zones and zone width the EPSG codes of the two sides fix; a usage error when an
// option contradicts them. inputZoneOption names the option that gives the input zone.
void applyNamedSides(const NamedSide& from, const NamedSide& to, const Options& options,
                     const char* inputZoneOption, ConversionSettings& settings,
                     InputColumns& columns);
// The heights of the two sides: a side's EPSG code's (a 3D or compound code), or else what
// --height-from or --height-to says, with --geoid. An option that contradicts its side's code is a
// usage error; whatever else the library cannot convert it refuses itself (see
// makeBlockConverter in conversion_setup.h).
HeightChoice heightChoice(const NamedSide& from, const NamedSide& to, const Options& options);
// Heights on both sides need the official datum transformations: nothing when they have them (or
// when a side has no height, which the library refuses with its own reason), else the message.
std::optional<std::string> checkHeightDatum(const ConversionSettings& settings);
// --axis lat-lon: the geographic sides' columns are latitude first.
void applyAxisOrder(const Options& options, const ConversionSettings& settings,
                    InputColumns& columns);
// An option that changes nothing for the systems asked for is a mistake to point out.
std::optional<std::string> checkZoneWidth(const ConversionSettings& settings,
                                          const Options& options);
// Checks of the columns and output options against the conversion; nothing when they are sound.
std::optional<std::string> checkLayout(const ConversionSettings& settings,
                                       const InputColumns& columns, const Options& options,
                                       const std::optional<ColumnSelection>& selection);
// The datum choice of --datum and --grid; refused as a usage error where it cannot serve (system
// 2 has no official transformation, system 5 no other; a grid the conversion does not use). The
// grid file itself is read once, by the converter (see makeConverter in main.cpp).
nuvex::DatumChoice datumChoice(const Options& options, const ConversionSettings& settings);

// An epoch the command line gives every point, and what gives it (for messages).
struct GivenEpoch {
  double value;
  std::string givenBy;  // "--epoch 2026.9" or the name that carries it, "EPSG:9990@2026.9"
};
// The epoch of --epoch or of a side's name; two that differ are a usage error.
std::optional<GivenEpoch> givenEpoch(const NamedSide& from, const NamedSide& to,
                                     const Options& options);
// The epochs of a conversion between system 5 and another system: the given one, or each point's
// from --epoch-column (settings.pointEpochs). Neither, or both, is a usage error. Where the
// conversion needs no epoch, what was given is left unused: the warning for it is returned.
std::optional<std::string> applyEpoch(const std::optional<GivenEpoch>& given,
                                      const Options& options, ConversionSettings& settings);

}  // namespace nuvex::cli
