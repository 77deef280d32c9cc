// The polynomial datum shifts' sizes and coefficient tables, read by SHIFT12 and SHIFT23 and by the
// vector path alike.
#pragma once

#include <array>

#include "nuvex/engine.h"

namespace nuvex::engine {

// Module degree n: powers 0..n-1 of each variable, complete up to total degree n-1.
inline constexpr int kPolyDegree = 5;
inline constexpr int kPolyTermCount = kPolyDegree * (kPolyDegree + 1) / 2;
static_assert(kPolyTermCount <= POLY_CAPACITY, "the term vector must hold every term");

// A sum this small is noise of cancellation; the shift is then exactly zero.
inline constexpr double kNegligibleSum = 1e-38;

// SHIFT12 coefficients (arc seconds per degree^power) in POLTERMS order (1-based) with
// x = latitude, y = longitude (deg). They describe the shift with the opposite sign; SHIFT12
// negates.
extern const PolyVector kShift12Latitude;
extern const PolyVector kShift12Longitude;

// SHIFT23: u = (latitude - 52) * scale, v = (longitude - 10) * scale, scale the stored value of
// three degrees in radians (8 decimals). Terms are (power of u, power of v, arc seconds).
inline constexpr double kShift23OriginLatitude = 52.0;   // deg
inline constexpr double kShift23OriginLongitude = 10.0;  // deg
inline constexpr double kShift23Scale = 0.05235988;      // per deg
inline constexpr int kShift23MaxPower = 9;

struct SparseTerm {
  int uPower;
  int vPower;
  double coefficient;  // arc seconds
};

extern const std::array<SparseTerm, 15> kShift23Latitude;
extern const std::array<SparseTerm, 30> kShift23Longitude;

}  // namespace nuvex::engine
