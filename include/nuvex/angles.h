// Angles in degrees, minutes and seconds as every interface of the library writes them: the parts
// are those of the angle's magnitude, the sign belongs to the whole angle, and seconds rounded to
// the decimals asked for carry into the minutes and degrees (never 60 seconds or 60 minutes).
#pragma once

namespace nuvex {

inline constexpr int kMostSecondDecimals = 10;  // decimals of the seconds an angle is split to

struct AngleParts {
  bool negative;  // the angle is below zero and does not round to zero
  int degrees;
  int minutes;
  double seconds;  // rounded to the decimals asked for
};

// Splits angle (deg, finite, |angle| well within the int range) with its seconds rounded to
// `decimals` (0 to kMostSecondDecimals) decimals.
AngleParts splitAngle(double angle, int decimals);

}  // namespace nuvex
