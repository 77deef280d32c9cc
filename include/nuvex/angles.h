// Angles in degrees, minutes and seconds as every interface of the library writes them: the parts
// are those of the angle's magnitude, the sign belongs to the whole angle, and seconds that would
// show as 60 at the decimals asked for carry into the minutes and degrees.
#pragma once

namespace nuvex {

inline constexpr int kMostSecondDecimals = 10;  // decimals of the seconds an angle is split to

struct AngleParts {
  bool negative;  // the angle is below zero and does not round to zero
  int degrees;
  int minutes;
  double seconds;  // to be shown with the decimals asked for: below 60 when shown, not rounded
};

// Splits angle (deg, finite, |angle| well within the int range) for showing its seconds with
// `decimals` (0 to kMostSecondDecimals) decimals.
AngleParts splitAngle(double angle, int decimals);

}  // namespace nuvex
