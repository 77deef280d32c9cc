// Numeric, bit and integer intrinsics: the edge cases of tests/data/intrinsics_edge_cases.txt and
// the bit field operations against gfortran's results (tests/data/bit_intrinsics.txt), both run
// through one table of the intrinsics, then the sentinel-terminated minima.
#include "nuvex/runtime/intrinsics.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <map>
#include <sstream>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

#include "support/case_file.h"

namespace {

using Arguments = std::vector<std::string>;
struct Operation {
  std::function<std::string(const Arguments&)> run;
  bool real;  // the result is a real, compared in its 17-digit form
};

constexpr const char* kSipowWarning = "WARNING: integer truncation in sipow()\n\n";

template <typename T>
T parse(const std::string& text) {
  if constexpr (std::is_pointer_v<T>) {
    return text == "NULL" ? nullptr : text.c_str();
  } else if constexpr (std::is_integral_v<T>) {
    return static_cast<T>(std::stoll(text));
  } else {
    return std::strtod(text.c_str(), nullptr);
  }
}

// Reals with 17 digits, so that every bit and the sign of zero count.
template <typename T>
std::string text(T value) {
  if constexpr (std::is_integral_v<T>) return std::to_string(value);
  char digits[40];
  std::snprintf(digits, sizeof digits, "%.17g", static_cast<double>(value));
  return digits;
}

template <typename R, typename... P, std::size_t... I>
std::string call(R (*f)(P...), const Arguments& a, std::index_sequence<I...>) {
  return text(f(parse<P>(a.at(I))...));
}
template <typename R, typename... P>
Operation wrap(R (*f)(P...)) {
  return {[f](const Arguments& a) { return call(f, a, std::index_sequence_for<P...>{}); },
          std::is_floating_point_v<R>};
}
// mvbits as a function of the destination's old value, giving its new value.
template <typename Int>
Operation wrapMove(void (*f)(Int, Int, Int, Int*, Int)) {
  return {[f](const Arguments& a) {
            Int to = parse<Int>(a.at(3));
            f(parse<Int>(a.at(0)), parse<Int>(a.at(1)), parse<Int>(a.at(2)), &to,
              parse<Int>(a.at(4)));
            return text(to);
          },
          false};
}

const std::map<std::string, Operation>& intrinsics() {
  // clang-format off
  static const std::map<std::string, Operation> table = {
      {"iipow", wrap(iipow)},       {"dipow", wrap(dipow)},       {"sipow", wrap(sipow)},
      {"danint", wrap(danint)},     {"daint", wrap(daint)},       {"nint", wrap(nint)},
      {"idnint", wrap(idnint)},     {"sisign", wrap(sisign)},     {"iisign", wrap(iisign)},
      {"dsign", wrap(dsign)},       {"ibset16", wrap(ibset16)},   {"ibset32", wrap(ibset32)},
      {"ibclr16", wrap(ibclr16)},   {"ibclr32", wrap(ibclr32)},   {"btest16", wrap(btest16)},
      {"btest32", wrap(btest32)},   {"ishft16", wrap(ishft16)},   {"ishft32", wrap(ishft32)},
      {"ibits16", wrap(ibits16)},   {"ibits32", wrap(ibits32)},   {"ishftc16", wrap(ishftc16)},
      {"ishftc32", wrap(ishftc32)}, {"imin16", wrap(imin16)},     {"imin32", wrap(imin32)},
      {"dmin2", wrap(dmin2)},       {"iabs16", wrap(iabs16)},     {"imod16", wrap(imod16)},
      {"imod32", wrap(imod32)},     {"dmul", wrap(dmul)},         {"f_index", wrap(f_index)},
      {"mvbits16", wrapMove(mvbits16)}, {"mvbits32", wrapMove(mvbits32)}};
  // clang-format on
  return table;
}

// Runs one intrinsic and returns its result and what it wrote to standard output; the expected
// result is brought to the same form.
struct Outcome {
  std::string result, output, expected;
};
Outcome run(const std::string& name, const Arguments& arguments, const std::string& expected) {
  const auto operation = intrinsics().find(name);
  if (operation == intrinsics().end()) return {"unknown intrinsic " + name, "", expected};
  std::fflush(stdout);
  testing::internal::CaptureStdout();
  std::string result = operation->second.run(arguments);
  return {result, testing::internal::GetCapturedStdout(),
          operation->second.real ? text(parse<double>(expected)) : expected};
}

TEST(Intrinsics, EdgeCases) {
  for (const auto& c : nuvex::testing::readCases("intrinsics_edge_cases.txt")) {
    Arguments arguments;
    std::istringstream list(c.fields.at(1) + ",");
    for (std::string argument; std::getline(list, argument, ',');) arguments.push_back(argument);
    const Outcome out = run(c.fields[0], arguments, c.fields.at(2));
    EXPECT_EQ(out.result, out.expected) << c.where();
    EXPECT_EQ(out.output, c.fields.size() > 3 ? kSipowWarning : "") << c.where();
  }
}

TEST(Intrinsics, BitOperationsAgreeWithGfortran) {
  const auto cases = nuvex::testing::readCases("bit_intrinsics.txt", ' ');
  ASSERT_GT(cases.size(), 4000u);
  for (const auto& c : cases) {
    const Arguments arguments(c.fields.begin() + 2, c.fields.end() - 1);
    const Outcome out = run(c.fields[0] + c.fields[1], arguments, c.fields.back());
    EXPECT_EQ(out.result, out.expected) << c.where();
  }
}

TEST(Intrinsics, MinimaOfSentinelTerminatedLists) {
  EXPECT_EQ(dminv(3.0, -2.5, F_DMINV_SENTINEL), -2.5);
  EXPECT_EQ(dminv(F_DMINV_SENTINEL, -1.0), 0.0);
  EXPECT_EQ(dminv(4.0, F_DMINV_SENTINEL, -9.0), 4.0);  // nothing after the sentinel counts
  EXPECT_EQ(iminv32(F_IMINV32_SENTINEL), 0);
  EXPECT_EQ(iminv32(5, -7, 3, F_IMINV32_SENTINEL), -7);
  EXPECT_EQ(iminv32(2147483647, F_IMINV32_SENTINEL), 2147483647);
  EXPECT_EQ(iminv16(F_IMINV16_SENTINEL, 1), 0);
  EXPECT_EQ(iminv16(int16_t{9}, int16_t{-32768}, int16_t{4}, F_IMINV16_SENTINEL), -32768);
}

}  // namespace
