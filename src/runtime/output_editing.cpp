// Editing of one real (D, E, F, G) or one integer (I, O, Z, B) into a fixed-width field.
//
// The real editing keeps its own arithmetic on purpose: rounding by adding half a unit of the
// last digit and digits by repeated multiplication, with powers of ten by repeated squaring.
// Fields written by earlier calculations were produced that way, and reports compare against
// them character for character, so a correctly rounded conversion would be a change of results.
#include <cctype>
#include <cmath>
#include <cstdint>

#include "nuvex/runtime/diagnostics.h"
#include "nuvex/runtime/formatted_output.h"

namespace {

// ---- Constants of the editing, in one place -------------------------------------------------

constexpr double kNoRoundingThreshold = 1e-14;  // values below this are edited unrounded
constexpr double kLargestIntegerPart = 1e20;    // integer parts above this are out of range
constexpr int kDefaultExponentDigits = 2;       // e of Ew.d
constexpr int kDefaultFractionDigits = 3;       // d when a descriptor has none
constexpr int kExponentLetterAndSign = 2;       // the exponent part is letter, sign, e digits
constexpr int kLargestExponentPart = 7;         // letter, sign and at most 5 digits
constexpr int kDecimalRadix = 10;
// 10^n for n at or above this is infinite in double arithmetic; no finite value reaches it.
constexpr int kFirstInfinitePowerOfTen = 309;
// The largest power of ten a single factor may carry when scaling the smallest values.
constexpr int kLargestFinitePowerOfTen = 308;
constexpr char kDigitTable[] = "0123456789abcdef";
constexpr int kMagnitudeDigitsCapacity = 33;  // 32 binary digits and a NUL

constexpr char kBlank = ' ';
constexpr char kOverflowMark = '*';

// 10^exponent by repeated squaring of 10.0 (of 0.1 for negative exponents).
double powerOfTen(std::int64_t exponent) {
  double base = exponent >= 0 ? 10.0 : 0.1;
  std::uint64_t remaining = exponent >= 0 ? std::uint64_t(exponent) : std::uint64_t(-exponent);
  double result = 1.0;
  while (remaining != 0) {
    if (remaining & 1u) result *= base;
    base *= base;
    remaining >>= 1;
  }
  return result;
}

// Writes into a field of fixed width; never past it, whatever the counts say.
class FieldWriter {
 public:
  FieldWriter(char* out, std::int64_t width) : out_(out), width_(width < 0 ? 0 : width) {}
  void put(char c) {
    if (length_ < width_) out_[length_++] = c;
  }
  void repeat(char c, std::int64_t count) {
    for (std::int64_t i = 0; i < count; ++i) put(c);
  }
  void text(const char* s) {
    for (; *s != '\0'; ++s) put(*s);
  }
  // Pads to the full width (only a fault in the counts could leave it short) and ends it.
  void finish() {
    repeat(kBlank, width_ - length_);
    out_[length_] = '\0';
  }

 private:
  char* out_;
  std::int64_t width_;
  std::int64_t length_ = 0;
};

void fillWith(char c, std::int64_t width, char* out) {
  FieldWriter field(out, width);
  field.repeat(c, width);
  field.finish();
}

// ---- Real editing ---------------------------------------------------------------------------

// The parts of an edited real, in the order they are written.
struct RealField {
  std::int64_t blanks = 0;
  const char* sign = "";
  std::int64_t integerDigits = 0;
  std::int64_t fractionDigits = 0;
  double value = 0.0;                            // rounded and scaled; its digits are written
  char exponent[kLargestExponentPart + 1] = {};  // E and D forms
  std::int64_t trailingBlanks = 0;               // G in F form
};

bool integerPartInRange(double integerPart) {
  // Written so that a NaN is out of range as well: no digits can be taken from it.
  return integerPart <= kLargestIntegerPart;
}

double integerPartOf(double x) {
  double integerPart = 0.0;
  std::modf(x, &integerPart);
  return integerPart;
}

// Number of decimal digits of a non-negative integral value; 0 below 1.
std::int64_t decimalDigitCount(double integerPart) {
  std::int64_t count = 0;
  for (double place = 1.0; place <= integerPart; place *= kDecimalRadix) ++count;
  return count;
}

// Zero digits right after the decimal point of 0 < x < 1, found by repeated multiplication.
std::int64_t leadingFractionZeros(double x) {
  std::int64_t zeros = 0;
  for (double rest = x * kDecimalRadix; rest < 1.0; rest *= kDecimalRadix) ++zeros;
  return zeros;
}

// x * 10^exponent; for the smallest values the power alone would overflow, so it is applied in
// two factors there (the ordinary range keeps the single product).
double scaledByPowerOfTen(double x, std::int64_t exponent) {
  if (exponent <= kLargestFinitePowerOfTen) return x * powerOfTen(exponent);
  return x * powerOfTen(kLargestFinitePowerOfTen) * powerOfTen(exponent - kLargestFinitePowerOfTen);
}

// Sign and leading zero, shared by the F and E forms. Zero has no sign, not even under SP.
void placeSignAndLeadingZero(RealField& field, bool negative, bool positive, bool plus) {
  if (negative) {
    field.sign = "-";
    --field.blanks;
  } else if (plus && positive && field.blanks > 0) {
    field.sign = "+";
    --field.blanks;
  }
  if (field.blanks > 0 && field.integerDigits == 0) {
    field.integerDigits = 1;
    --field.blanks;
  }
}

// G: the first k = 0..d with 10^(d-k-1) <= x < 10^(d-k) gives the F form with d = k. Larger
// powers than 10^308 are infinite and can never bound a finite x from below, so the search
// starts where they end.
bool chooseGFixedForm(double x, edit_descriptor* d) {
  const std::int64_t digits = d->digits;
  std::int64_t k = digits - kFirstInfinitePowerOfTen;
  if (k < 0) k = 0;
  for (; k <= digits; ++k) {
    const std::int64_t integerDigits = digits - k;
    if (powerOfTen(integerDigits - 1) <= x && x < powerOfTen(integerDigits)) {
      d->digits = int32_t(k);
      return true;
    }
  }
  return false;
}

// F form (also G that chose it). Returns false when the value is out of range.
bool layoutFixed(double x, const edit_descriptor& d, int scale, std::int64_t fieldWidth,
                 RealField& field) {
  if (d.code == 'F' && scale != 0) x *= powerOfTen(scale);
  if (!(x < kNoRoundingThreshold)) x += 0.5 * powerOfTen(-std::int64_t(d.digits));
  const double integerPart = integerPartOf(x);
  if (!integerPartInRange(integerPart)) return false;
  field.integerDigits = decimalDigitCount(integerPart);
  field.fractionDigits = d.digits;
  field.blanks = fieldWidth - d.digits - 1 - field.integerDigits;
  field.value = x;
  return true;
}

// Exponent text: letter, sign, e digits filled from the right. False when it needs more digits.
bool formatExponent(char letter, std::int64_t exponent, int exponentDigits, char* text) {
  text[0] = letter;
  text[1] = exponent < 0 ? '-' : '+';
  std::uint64_t magnitude = exponent < 0 ? std::uint64_t(-exponent) : std::uint64_t(exponent);
  for (int position = exponentDigits + 1; position >= kExponentLetterAndSign; --position) {
    text[position] = char('0' + magnitude % kDecimalRadix);
    magnitude /= kDecimalRadix;
  }
  text[exponentDigits + kExponentLetterAndSign] = '\0';
  return magnitude == 0;
}

enum class Layout { kDone, kOverflow, kOutOfRange };

// E and D forms (also G that fell back to E). The mantissa is brought to 0.1 <= m < 1, rounded
// at d + P significant places and then scaled by 10^P.
Layout layoutExponential(double x, edit_descriptor* d, int scale, std::int64_t fieldWidth,
                         RealField& field) {
  const double integerPart = integerPartOf(x);
  if (!integerPartInRange(integerPart)) return Layout::kOutOfRange;
  std::int64_t decimalExponent = decimalDigitCount(integerPart);
  if (0 < scale && scale < std::int64_t(d->digits) + 2) d->digits = d->digits - scale + 1;
  const int exponentPart = d->exponent + kExponentLetterAndSign;
  if (exponentPart > kLargestExponentPart) f_error("fpedit: str size");

  if (0 < x && x < 1) decimalExponent -= leadingFractionZeros(x);
  double mantissa = scaledByPowerOfTen(x, -decimalExponent);
  if (!(mantissa < kNoRoundingThreshold)) {
    mantissa += 0.5 * powerOfTen(-(std::int64_t(d->digits) + scale));
    if (mantissa >= 1.0) {
      mantissa *= 0.1;
      ++decimalExponent;
    }
  }
  field.value = mantissa * powerOfTen(scale);
  field.integerDigits = scale > 0 ? scale : 0;
  field.fractionDigits = d->digits;
  field.blanks = fieldWidth - d->digits - exponentPart - field.integerDigits - 1;
  const bool fits =
      formatExponent(char(d->code), decimalExponent - scale, d->exponent, field.exponent);
  return fits ? Layout::kDone : Layout::kOverflow;
}

// Integer digits most significant first, then the fraction digits by repeated multiplication.
void writeDigits(const RealField& field, FieldWriter& out) {
  double integerPart = 0.0;
  double fraction = std::modf(field.value, &integerPart);
  double place = powerOfTen(field.integerDigits - 1);
  for (std::int64_t i = 0; i < field.integerDigits; ++i) {
    int digit = int(std::fmin(std::fmax(integerPart / place, 0.0), 9.0));
    out.put(kDigitTable[digit]);
    integerPart -= digit * place;
    place /= kDecimalRadix;
  }
  out.put('.');
  for (std::int64_t i = 0; i < field.fractionDigits; ++i) {
    fraction *= kDecimalRadix;
    int digit = int(std::fmin(std::fmax(fraction, 0.0), 9.0));
    out.put(kDigitTable[digit]);
    fraction -= digit;
  }
}

void writeRealField(const RealField& field, std::int64_t width, char* out) {
  FieldWriter writer(out, width);
  writer.repeat(kBlank, field.blanks);
  writer.text(field.sign);
  writeDigits(field, writer);
  writer.text(field.exponent);
  writer.repeat(kBlank, field.trailingBlanks);
  writer.finish();
}

void normaliseRealDescriptor(edit_descriptor* d) {
  d->code = std::toupper(static_cast<unsigned char>(d->code));
  if (d->exponent < 1) d->exponent = kDefaultExponentDigits;
  if (d->digits < 0) d->digits = kDefaultFractionDigits;
}

bool scaleInRange(const edit_descriptor& d, int scale) {
  if (d.digits < 1) return true;
  return -std::int64_t(d.digits) < scale && scale <= std::int64_t(d.digits) + 2;
}

// ---- Integer editing ------------------------------------------------------------------------

struct IntegerEdit {
  int code;
  int radix;
};
constexpr IntegerEdit kIntegerEdits[] = {{'I', 10}, {'O', 8}, {'Z', 16}, {'B', 2}};

int radixOf(int code) {
  for (const IntegerEdit& edit : kIntegerEdits) {
    if (edit.code == code) return edit.radix;
  }
  f_error("unknown integer edit (intedit)");
}

// Digits of the magnitude, most significant first; the magnitude is taken in 64 bits so that the
// most negative integer keeps its true digits.
int magnitudeDigits(int value, int radix, char* digits) {
  std::uint64_t magnitude = value < 0 ? std::uint64_t(-std::int64_t(value)) : std::uint64_t(value);
  char reversed[kMagnitudeDigitsCapacity];
  int count = 0;
  do {
    reversed[count++] = kDigitTable[magnitude % unsigned(radix)];
    magnitude /= unsigned(radix);
  } while (magnitude != 0);
  for (int i = 0; i < count; ++i) digits[i] = reversed[count - 1 - i];
  digits[count] = '\0';
  return count;
}

}  // namespace

extern "C" {

void fpedit(double x, edit_descriptor* d, int scale, int plus, char* out) {
  const std::int64_t width = d->width < 0 ? 0 : d->width;
  normaliseRealDescriptor(d);
  std::int64_t fieldWidth = width;
  const std::int64_t exponentPart = std::int64_t(d->exponent) + kExponentLetterAndSign;
  if (!scaleInRange(*d, scale)) {
    f_warning("scale factor out of range");
    fillWith(kOverflowMark, width, out);
    return;
  }
  const bool negative = x < 0;
  const bool positive = x > 0;
  if (negative) x = -x;

  RealField field;
  bool fixedForm = d->code == 'F';
  if (d->code == 'G') {
    fixedForm = chooseGFixedForm(x, d);
    if (fixedForm) {
      fieldWidth = width - exponentPart;
      field.trailingBlanks = exponentPart;
    } else {
      d->code = 'E';
    }
  }
  Layout layout = Layout::kDone;
  if (fixedForm) {
    if (!layoutFixed(x, *d, scale, fieldWidth, field)) layout = Layout::kOutOfRange;
  } else {
    layout = layoutExponential(x, d, scale, fieldWidth, field);
  }
  if (layout == Layout::kOutOfRange) {
    f_warning("number out of range");
    fillWith(kOverflowMark, width, out);
    return;
  }
  placeSignAndLeadingZero(field, negative, positive, plus != 0);
  if (layout == Layout::kOverflow || field.blanks < 0) {
    fillWith(kOverflowMark, width, out);
    return;
  }
  writeRealField(field, width, out);
}

void intedit(int value, int code, int width, int min_digits, int plus, char* out) {
  const int radix = radixOf(code);
  char digits[kMagnitudeDigitsCapacity];
  const std::int64_t digitCount = magnitudeDigits(value, radix, digits);
  const char* sign = value < 0 ? "-" : (value > 0 && plus != 0 ? "+" : "");
  const std::int64_t signWidth = *sign != '\0' ? 1 : 0;
  std::int64_t zeros = 0;
  if (min_digits >= 1 && min_digits > digitCount) zeros = min_digits - digitCount;
  const std::int64_t blanks = std::int64_t(width) - signWidth - zeros - digitCount;

  if (blanks < 0) return fillWith(kOverflowMark, width, out);
  if (min_digits == 0 && value == 0) return fillWith(kBlank, width, out);
  FieldWriter field(out, width);
  field.repeat(kBlank, blanks);
  field.text(sign);
  field.repeat('0', zeros);
  field.text(digits);
  field.finish();
}

}  // extern "C"
