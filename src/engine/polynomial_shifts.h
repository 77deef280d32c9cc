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

// In the header, so that the vector path can unfold the sums at compile time.
inline constexpr std::array<SparseTerm, 15> kShift23Latitude{{
    {0, 0, -2.65261},
    {1, 0, 2.06392},
    {0, 1, 0.77921},
    {2, 0, 0.26743},
    {1, 1, 0.10706},
    {3, 0, 0.76407},
    {2, 1, -0.9543},
    {4, 0, 0.17197},
    {4, 1, 1.04974},
    {5, 2, -0.22899},
    {0, 8, -0.05401},
    {9, 0, -0.78909},
    {2, 7, -0.10572},
    {1, 9, 0.05283},
    {3, 9, 0.02445},
}};

inline constexpr std::array<SparseTerm, 30> kShift23Longitude{{
    {0, 0, -4.13447}, {1, 0, -1.50572}, {0, 1, 1.94075},  {2, 0, -1.376},    {1, 1, 1.98425},
    {0, 2, 0.30068},  {3, 0, -2.31939}, {4, 0, -1.70401}, {1, 3, -5.48711},  {5, 0, 7.41956},
    {2, 3, -1.61351}, {1, 4, 5.92923},  {0, 5, -1.97974}, {6, 0, 1.57701},   {3, 3, -6.52522},
    {2, 4, 16.85976}, {1, 5, -1.79701}, {7, 0, -3.08344}, {6, 1, -14.32516}, {4, 4, 4.49096},
    {8, 1, 9.9875},   {7, 2, 7.80215},  {2, 7, -2.26917}, {0, 9, 0.16438},   {4, 6, -17.45428},
    {9, 2, -8.25844}, {8, 3, 5.28734},  {5, 7, 8.87141},  {9, 4, -3.48015},  {4, 9, 0.71041},
}};

}  // namespace nuvex::engine
