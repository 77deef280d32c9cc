// Polynomial and linear datum shifts.
#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <string>

#include "engine/polynomial_shifts.h"
#include "nuvex/engine.h"
#include "support/case_file.h"

namespace nuvex {
namespace {

using testing::readCases;

TEST(Polterms, TermsInFixedOrderForDegreeFive) {
  PolyVector terms{};
  POLTERMS(2.0, 3.0, terms);
  const double expected[] = {1, 2, 4, 8, 16, 3, 6, 12, 24, 9, 18, 36, 27, 54, 81};
  ASSERT_EQ(engine::kPolyTermCount, 15);
  for (int k = 1; k <= engine::kPolyTermCount; ++k) EXPECT_EQ(terms[k], expected[k - 1]) << k;
  EXPECT_EQ(terms[0], 0.0);   // element 0 is not part of the vector
  EXPECT_EQ(terms[16], 0.0);  // nor anything beyond the terms
}

TEST(Poleval, SumsBelowTheNoiseFloorAreExactlyZero) {
  struct Case {
    double constant;  // coefficient of term 1 (the constant term)
    double expected;
  };
  const Case cases[] = {
      {0.0, 0.0}, {9.9e-39, 0.0}, {-9.9e-39, 0.0}, {1e-38, 1e-38}, {-1e-38, -1e-38}, {2.5, 2.5},
  };
  for (const Case& c : cases) {
    PolyVector coefficients{};
    coefficients[1] = c.constant;
    const double value = POLEVAL(7.0, 11.0, coefficients);
    EXPECT_EQ(value, c.expected) << c.constant;
    if (c.expected == 0.0) {
      EXPECT_FALSE(std::signbit(value)) << c.constant;
    }
  }
}

TEST(Poleval, WeighsEachTermByItsCoefficient) {
  PolyVector coefficients{};
  coefficients[5] = 1.0;   // x^4
  coefficients[12] = 2.0;  // x^2 y^2
  coefficients[15] = 0.5;  // y^4
  EXPECT_EQ(POLEVAL(2.0, 3.0, coefficients), 16.0 + 72.0 + 40.5);
}

using ShiftRoutine = void (*)(const double&, const double&, double&, double&);

TEST(DatumShifts, WorkedValues) {
  const std::map<std::string, ShiftRoutine> routines = {
      {"SHIFT12", SHIFT12}, {"SHIFT23", SHIFT23}, {"LIN14", LIN14}, {"LIN34", LIN34}};
  for (const auto& line : readCases("engine_shifts.txt")) {
    SCOPED_TRACE(line.where());
    const ShiftRoutine routine = routines.at(line.fields.at(0));
    const double tolerance = 0.5 * std::pow(10.0, -line.integer(5));
    double latShift = 0.0, lonShift = 0.0;
    routine(line.number(1), line.number(2), latShift, lonShift);
    EXPECT_NEAR(latShift, line.number(3), tolerance);
    EXPECT_NEAR(lonShift, line.number(4), tolerance);
  }
}

TEST(DatumShifts, Shift23AtItsOriginIsExactlyTheConstantTerms) {
  double latShift = 0.0, lonShift = 0.0;
  SHIFT23(52.0, 10.0, latShift, lonShift);
  EXPECT_EQ(latShift, -2.65261);
  EXPECT_EQ(lonShift, -4.13447);
}

TEST(DatumShifts, OutputsMayShareStorageWithInputs) {
  double latitude = 51.0, longitude = 10.0, expectedLat = 0.0, expectedLon = 0.0;
  SHIFT12(51.0, 10.0, expectedLat, expectedLon);
  SHIFT12(latitude, longitude, latitude, longitude);
  EXPECT_EQ(latitude, expectedLat);
  EXPECT_EQ(longitude, expectedLon);
}

}  // namespace
}  // namespace nuvex
