// Numeric, bit and integer intrinsics: the defined edge cases, wrap-around without undefined
// behaviour, out-of-range arguments, and the bit field operations against gfortran's results.
#include "nuvex/runtime/intrinsics.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <limits>
#include <sstream>
#include <string>

namespace {

constexpr const char* kSipowWarning = "WARNING: integer truncation in sipow()\n\n";

std::string sipowOutput(int16_t x, int16_t n, int16_t* result) {
  std::fflush(stdout);
  testing::internal::CaptureStdout();
  *result = sipow(x, n);
  return testing::internal::GetCapturedStdout();
}

TEST(Powers, IntegerPowersFollowTheZeroAndReciprocalRules) {
  struct Case {
    int32_t x, n, expected;
  };
  const Case cases[] = {
      {0, 0, 0},    {0, -3, 0},         {5, 0, 1},          {2, -1, 0},
      {-1, -3, -1}, {-1, -4, 1},        {1, -7, 1},         {-2, -2, 0},
      {3, 4, 81},   {-3, 3, -27},       {2, 31, INT32_MIN},  // wraps
      {2, 32, 0},   {-1, INT32_MIN, 1}, {7, INT32_MIN, 0},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(iipow(c.x, c.n), c.expected) << c.x << "**" << c.n;
  }
}

TEST(Powers, RealPowers) {
  EXPECT_EQ(dipow(0.0, -1), 0.0);
  EXPECT_EQ(dipow(-0.0, 0), 0.0);
  EXPECT_EQ(dipow(2.0, -2), 0.25);
  EXPECT_EQ(dipow(-2.0, 3), -8.0);
  EXPECT_EQ(dipow(1.5, 0), 1.0);
  EXPECT_EQ(dipow(2.0, 10), 1024.0);
  EXPECT_EQ(dipow(2.0, INT32_MIN), 0.0);  // 2**-(2**31) underflows; the exponent is not negated
}

TEST(Powers, SixteenBitPowersWarnOnlyWhenTheFinalProductIsCut) {
  struct Case {
    int16_t x, n, expected;
    bool warns;
  };
  const Case cases[] = {
      {2, 15, -32768, true},  {3, 10, -6487, true},    {182, 2, -32412, false}, {2, 16, 0, false},
      {2, 14, 16384, false},  {-2, 15, -32768, false}, {0, -1, 0, false},       {5, -1, 0, false},
      {-1, -32768, 1, false}, {10, 4, 10000, false},
  };
  for (const Case& c : cases) {
    int16_t result = 0;
    const std::string output = sipowOutput(c.x, c.n, &result);
    EXPECT_EQ(result, c.expected) << c.x << "**" << c.n;
    EXPECT_EQ(output, c.warns ? kSipowWarning : "") << c.x << "**" << c.n;
  }
}

TEST(Rounding, HalvesGoAwayFromZeroWithoutTheAddHalfErrors) {
  struct Case {
    double x, nearest, truncated;
  };
  const Case cases[] = {
      {2.5, 3.0, 2.0},
      {-2.5, -3.0, -2.0},
      {-0.5, -1.0, -0.0},
      {-1.7, -2.0, -1.0},
      {0.49999999999999994, 0.0, 0.0},                               // x + 0.5 would round up to 1
      {4503599627370497.0, 4503599627370497.0, 4503599627370497.0},  // odd, above 2**52
  };
  for (const Case& c : cases) {
    EXPECT_EQ(danint(c.x), c.nearest) << c.x;
    EXPECT_EQ(daint(c.x), c.truncated) << c.x;
  }
  EXPECT_EQ(nint(-0.5), -1);
  EXPECT_EQ(nint(2.5), 3);
  EXPECT_EQ(idnint(-2.5), -3);
  EXPECT_EQ(nint(0.49999999999999994), 0);
  EXPECT_EQ(nint(2147483647.4), INT32_MAX);
  EXPECT_EQ(nint(-2147483648.4), INT32_MIN);
}

TEST(Rounding, UnrepresentableIntegersGiveTheIndefiniteValue) {
  for (double x : {2147483647.5, -2147483649.0, 1e300, std::numeric_limits<double>::quiet_NaN(),
                   std::numeric_limits<double>::infinity()}) {
    EXPECT_EQ(nint(x), INT32_MIN) << x;
    EXPECT_EQ(idnint(x), INT32_MIN) << x;
  }
}

TEST(SignTransfer, MagnitudeTakesTheSignOfTheSecondArgument) {
  EXPECT_EQ(sisign(-5, 0), 5);
  EXPECT_EQ(sisign(5, -1), -5);
  EXPECT_EQ(sisign(-32768, 1), 32768);  // widened before the magnitude is taken
  EXPECT_EQ(iisign(-7, 3), 7);
  EXPECT_EQ(iisign(7, -3), -7);
  EXPECT_EQ(iisign(INT32_MIN, 1), INT32_MIN);  // wraps to itself
  EXPECT_EQ(iisign(INT32_MIN, -1), INT32_MIN);
  EXPECT_EQ(dsign(3.0, -0.0), 3.0);
  EXPECT_FALSE(std::signbit(dsign(-3.0, 0.0)));
  EXPECT_EQ(dsign(-3.0, -1.0), -3.0);
  EXPECT_EQ(dsign(3.0, -2.0), -3.0);
}

// ---- Bit operations against gfortran (tests/data/bit_intrinsics.txt) -----------------------

int64_t bitOperation(const std::string& op, int width, const int64_t a[6]) {
  const auto s = [](int64_t v) { return static_cast<int16_t>(v); };
  const auto w = [](int64_t v) { return static_cast<int32_t>(v); };
  if (width == 16) {
    if (op == "ibits") return ibits16(s(a[0]), s(a[1]), s(a[2]));
    if (op == "ishftc") return ishftc16(s(a[0]), s(a[1]), s(a[2]));
    if (op == "ibset") return ibset16(s(a[0]), s(a[1]));
    if (op == "ibclr") return ibclr16(s(a[0]), s(a[1]));
    if (op == "btest") return btest16(s(a[0]), s(a[1]));
    int16_t to = s(a[3]);
    mvbits16(s(a[0]), s(a[1]), s(a[2]), &to, s(a[4]));
    return to;
  }
  if (op == "ibits") return ibits32(w(a[0]), w(a[1]), w(a[2]));
  if (op == "ishftc") return ishftc32(w(a[0]), w(a[1]), w(a[2]));
  if (op == "ibset") return ibset32(w(a[0]), w(a[1]));
  if (op == "ibclr") return ibclr32(w(a[0]), w(a[1]));
  if (op == "btest") return btest32(w(a[0]), w(a[1]));
  int32_t to = w(a[3]);
  mvbits32(w(a[0]), w(a[1]), w(a[2]), &to, w(a[4]));
  return to;
}

int argumentCount(const std::string& op) {
  if (op == "mvbits") return 5;
  return (op == "ibits" || op == "ishftc") ? 3 : 2;
}

TEST(BitIntrinsics, AgreeWithGfortranOnEveryGeneratedCase) {
  std::ifstream data(NUVEX_TEST_DATA_DIR "/bit_intrinsics.txt");
  ASSERT_TRUE(data) << "missing bit_intrinsics.txt";
  std::string line;
  int checked = 0;
  while (std::getline(data, line)) {
    if (line.empty() || line[0] == '#') continue;
    std::istringstream fields(line);
    std::string op;
    int width = 0;
    int64_t args[6] = {};
    fields >> op >> width;
    for (int i = 0; i < argumentCount(op); ++i) fields >> args[i];
    int64_t expected = 0;
    fields >> expected;
    ASSERT_FALSE(fields.fail()) << line;
    EXPECT_EQ(bitOperation(op, width, args), expected) << line;
    ++checked;
  }
  EXPECT_GT(checked, 4000);
}

TEST(BitIntrinsics, PositionsOutsideTheWidthChangeNothing) {
  EXPECT_EQ(ibset16(5, 16), 5);
  EXPECT_EQ(ibset16(5, -1), 5);
  EXPECT_EQ(ibclr32(-1, 32), -1);
  EXPECT_EQ(ibclr32(-1, INT32_MIN), -1);
  EXPECT_EQ(btest32(-1, 32), 0);
  EXPECT_EQ(btest16(-1, -3), 0);
  EXPECT_EQ(ibset32(0, 31), INT32_MIN);
}

TEST(BitIntrinsics, ShiftsAreArithmeticAndSaturateAtTheWidth) {
  struct Case {
    int32_t value, shift, expected16, expected32;
  };
  const Case cases[] = {
      {-8, -1, -4, -4},      {1, 15, INT16_MIN, 32768},
      {1, 16, 0, 65536},     {1, 31, 0, INT32_MIN},
      {1, 32, 0, 0},         {3, 100, 0, 0},
      {-5, -40, -1, -1},     {5, -40, 0, 0},
      {-1, -15, -1, -1},     {12345, 0, 12345, 12345},
      {-32768, -15, -1, -1}, {0x4000, 1, INT16_MIN, 0x8000},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ishft16(static_cast<int16_t>(c.value), static_cast<int16_t>(c.shift)), c.expected16)
        << c.value << " by " << c.shift;
    EXPECT_EQ(ishft32(c.value, c.shift), c.expected32) << c.value << " by " << c.shift;
  }
  EXPECT_EQ(ishft32(INT32_MIN, -31), -1);
  EXPECT_EQ(ishft32(1, INT32_MIN), 0);
  EXPECT_EQ(ishft32(-1, INT32_MIN), -1);
}

TEST(BitIntrinsics, FieldsOutsideTheWidthGiveZero) {
  EXPECT_EQ(ibits16(-1, 10, 7), 0);
  EXPECT_EQ(ibits32(-1, 30, 3), 0);
  EXPECT_EQ(ibits32(-1, -1, 2), 0);
  EXPECT_EQ(ibits32(-1, 3, -1), 0);
  EXPECT_EQ(ibits32(-1, 32, 0), 0);
  EXPECT_EQ(ibits32(-1, 0, 32), -1);
  EXPECT_EQ(ibits32(INT32_MIN, 31, 1), 1);  // zero-extended, not sign-extended
  EXPECT_EQ(ishftc16(7, 1, 0), 0);
  EXPECT_EQ(ishftc16(7, 1, 17), 0);
  EXPECT_EQ(ishftc32(7, 4, 3), 0);
  EXPECT_EQ(ishftc32(7, -4, 3), 0);
  EXPECT_EQ(ishftc32(7, 0, 99), 7);  // shift 0 comes first
  EXPECT_EQ(ishftc32(INT32_MIN, 1, 32), 1);
}

TEST(BitIntrinsics, MoveBitsOnlyWhereBothEndsExist) {
  int32_t to32 = 0;
  mvbits32(11, 1, 2, &to32, 4);
  EXPECT_EQ(to32, 16);
  to32 = 0;
  mvbits32(-1, 30, 5, &to32, 0);  // bits 32.. of the source do not exist
  EXPECT_EQ(to32, 3);
  to32 = 0;
  mvbits32(-1, 0, 40, &to32, 28);
  EXPECT_EQ(to32, static_cast<int32_t>(0xF0000000u));
  int16_t to16 = 0x1234;
  mvbits16(-1, 0, 0, &to16, 0);
  EXPECT_EQ(to16, 0x1234);
  mvbits16(-1, -2, 4, &to16, 0);  // only source bits 0 and 1 exist, they go to bits 2 and 3
  EXPECT_EQ(to16, 0x123C);
  mvbits16(0, 0, 16, nullptr, 0);
}

// ---- Minimum, absolute value, remainder, substring position -------------------------------

TEST(IntegerIntrinsics, MinimaOfPairsAndSentinelLists) {
  EXPECT_EQ(imin16(-3, 2), -3);
  EXPECT_EQ(imin32(INT32_MIN, INT32_MAX), INT32_MIN);
  EXPECT_EQ(dmin2(1.0, 2.0), 1.0);
  EXPECT_EQ(dmin2(2.0, 1.0), 1.0);
  EXPECT_EQ(dminv(3.0, -2.5, F_DMINV_SENTINEL), -2.5);
  EXPECT_EQ(dminv(F_DMINV_SENTINEL, -1.0), 0.0);
  EXPECT_EQ(dminv(4.0, F_DMINV_SENTINEL, -9.0), 4.0);  // nothing after the sentinel counts
  EXPECT_EQ(iminv32(F_IMINV32_SENTINEL), 0);
  EXPECT_EQ(iminv32(5, -7, 3, F_IMINV32_SENTINEL), -7);
  EXPECT_EQ(iminv32(2147483647, F_IMINV32_SENTINEL), 2147483647);
  EXPECT_EQ(iminv16(F_IMINV16_SENTINEL, 1), 0);
  EXPECT_EQ(iminv16(int16_t{9}, int16_t{-32768}, int16_t{4}, F_IMINV16_SENTINEL), -32768);
}

TEST(IntegerIntrinsics, AbsoluteValueAndRemainderWrapWithoutTrapping) {
  EXPECT_EQ(iabs16(-5), 5);
  EXPECT_EQ(iabs16(INT16_MIN), INT16_MIN);
  EXPECT_EQ(imod32(7, 3), 1);
  EXPECT_EQ(imod32(-7, 3), -1);
  EXPECT_EQ(imod32(7, -3), 1);
  EXPECT_EQ(imod16(-7, -2), -1);
  EXPECT_EQ(imod32(5, 0), 0);
  EXPECT_EQ(imod16(5, 0), 0);
  EXPECT_EQ(imod32(INT32_MIN, -1), 0);
  EXPECT_EQ(imod16(INT16_MIN, -1), 0);
  EXPECT_EQ(dmul(1.5, -4.0), -6.0);
}

TEST(IntegerIntrinsics, SubstringPositionsCountFromOne) {
  EXPECT_EQ(f_index("abcabc", "ca"), 3);
  EXPECT_EQ(f_index("abcabc", "abc"), 1);
  EXPECT_EQ(f_index("abc", ""), 4);
  EXPECT_EQ(f_index("abc", nullptr), 4);
  EXPECT_EQ(f_index("abc", "x"), 0);
  EXPECT_EQ(f_index("abc", "abcd"), 0);
  EXPECT_EQ(f_index(nullptr, "a"), 0);
  EXPECT_EQ(f_index(nullptr, nullptr), 1);
}

}  // namespace
