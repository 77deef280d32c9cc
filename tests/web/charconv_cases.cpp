// Numbers read and written by std::from_chars and std::to_chars, one line each: built natively
// (the C++ library of the native converter) and for WebAssembly (with web/charconv_compat.h, which
// supplies them there), the two outputs must be the same (tests/web/check_charconv.sh). The texts
// are drawn from a fixed seed: every form the converter's fields take, signs, leading zeros,
// exponents, digits beyond a double's, overflow and underflow, and what from_chars refuses.
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>
int main() {
  std::mt19937_64 rng(12345);
  auto pick = [&](int n) { return (int)(rng() % n); };
  const char* specials[] = {"inf",
                            "-inf",
                            "nan",
                            "infinity",
                            "INF",
                            "nan(abc)",
                            "-0",
                            "0",
                            ".",
                            "-",
                            "e5",
                            "1e",
                            "1e+",
                            ".e1",
                            "1.e1",
                            "+1",
                            " 1",
                            "0x10",
                            "1e400",
                            "1e-400",
                            "4.9e-324",
                            "2.4703282292062327e-324",
                            "1.7976931348623157e308",
                            "1.7976931348623159e308",
                            "9007199254740993",
                            "0.1",
                            "123456789012345678901234567890"};
  for (int i = 0; i < 600000; ++i) {
    std::string s;
    if (i < (int)(sizeof specials / sizeof *specials))
      s = specials[i];
    else {
      if (pick(4) == 0) s += '-';
      int a = pick(20), b = pick(20);
      for (int k = 0; k < a; ++k) s += char('0' + (k == 0 && pick(3) ? 1 + pick(9) : pick(10)));
      if (pick(3)) {
        s += '.';
        for (int k = 0; k < b; ++k) s += char('0' + pick(10));
      }
      if (pick(5) == 0) {
        s += "eE"[pick(2)];
        if (pick(2)) s += "+-"[pick(2)];
        s += std::to_string(pick(340));
      }
      if (pick(10) == 0) s += "x ,"[pick(3)];
    }
    double v = -12345.0;
    auto r = std::from_chars(s.data(), s.data() + s.size(), v);
    std::uint64_t bits;
    std::memcpy(&bits, &v, 8);
    if (v != v) bits = 0x7ff8000000000000ull | (bits & 0x8000000000000000ull);
    char line[128];
    std::snprintf(line, sizeof line, "%s %d %d %016llx", s.c_str(),
                  r.ec == std::errc{}                      ? 0
                  : r.ec == std::errc::invalid_argument    ? 1
                  : r.ec == std::errc::result_out_of_range ? 2
                                                           : 3,
                  (int)(r.ptr - s.data()), (unsigned long long)bits);
    if (i < 200000 || bits % 97 == 0) std::puts(line);
    // formatting
    if (r.ec == std::errc{} && v == v && v < 1e300 && v > -1e300) {
      char out[400];
      int prec = pick(16);
      auto w = std::to_chars(out, out + sizeof out, v, std::chars_format::fixed, prec);
      *w.ptr = 0;
      if (w.ec == std::errc{} && (i < 200000 || bits % 97 == 0)) std::printf("F%d %s\n", prec, out);
      auto w2 = std::to_chars(out, out + sizeof out, v, std::chars_format::fixed);
      *w2.ptr = 0;
      if (w2.ec == std::errc{} && (i < 200000 || bits % 97 == 0)) std::printf("S %s\n", out);
    }
  }
}
