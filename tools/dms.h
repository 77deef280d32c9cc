// Degrees, minutes and seconds: reading the forms surveyors and GIS exports write, and writing
// geographic output that way through the engine's DEG2DMS (with its carry of seconds that would
// show as 60).
//
// Read forms (one field; a hemisphere letter N/S for latitude, E/W (or O, Ost) for longitude
// before or after, or a sign; degree, prime and double prime signs in UTF-8 or Latin-1/cp1252):
//   50°30'15.25"N   50d30m15.25s   50:30:15.25   N50 30 15.25   50°30.5'   -50 30 15.25
// Blanks may stand between the parts and before a hemisphere letter: 10° 30' 00" E. Only the last
// part may have decimals (10° 30.5': decimal minutes); minutes and seconds are below 60. Three
// parts separated by blanks alone are read as degrees, minutes and seconds; two ("5 50") are not,
// because a decimal comma file split at the comma gives such fields.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "nuvex/angles.h"

namespace nuvex::cli {

enum class Axis { Longitude, Latitude };

enum class DmsOutcome {
  NotSexagesimal,  // no sign of the degree-minute-second forms: the field is simply no number
  Read,
  Malformed,  // a degree-minute-second field with a fault; the reason says which
};

struct DmsReading {
  DmsOutcome outcome = DmsOutcome::NotSexagesimal;
  double degrees = 0.0;  // decimal degrees, signed by the hemisphere
  std::string problem;   // for Malformed: what is wrong, e.g. "minutes must be below 60"
};

// Hemisphere letters: N, S, E, W and O (Ost, east).
bool isHemisphereLetter(char c);
// Whether the text holds a mark of the degree-minute-second forms: a degree, minute or second
// sign (UTF-8 or Latin-1), an apostrophe, a double quote or a colon.
bool hasAngleMark(std::string_view text);

// Reads a field that is not a plain decimal number. decimalMark ',' reads a decimal comma in the
// seconds (or the last part).
DmsReading readSexagesimal(std::string_view text, Axis axis, char decimalMark);

// The parts one blank-separated token of an angle marks, 0 degrees, 1 minutes, 2 seconds: "10°"
// 0 to 0, "10°30'" 0 to 1, "00\"E" 2 to 2. Nothing for a token with no mark after a number.
struct MarkedParts {
  int first;
  int last;
};
std::optional<MarkedParts> markedParts(std::string_view token);

// Decimals of the seconds written by default.
inline constexpr int kDefaultDmsDecimals = 5;  // 1e-5" ~ 0.3 mm, as 1e-8 deg ~ 1 mm
inline constexpr int kMostDmsDecimals = kMostSecondDecimals;

// Appends the angle (deg) as 50°30'15.25000"N (degrees, minutes and seconds of two digits, the
// hemisphere letter of the axis).
void appendDms(std::string& out, double angle, Axis axis, int decimals, char decimalMark);

}  // namespace nuvex::cli
