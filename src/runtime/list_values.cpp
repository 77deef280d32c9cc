// Converting list-directed values into the items of a control string, and the entry points.
#include <algorithm>
#include <cstdarg>
#include <cstdint>
#include <cstring>

#include "nuvex/runtime/list_input.h"
#include "nuvex/runtime/strings.h"
#include "runtime/decimal_text.h"
#include "runtime/list_scanner.h"

namespace {

using namespace nuvex::runtime::list;

// A value text of a numeric or logical item, and its NUL.
using NumericText = char[kNumericValueLength + 1];

// va_list wrapped so that it can be passed by reference between the item readers.
struct Arguments {
  std::va_list list;
};

bool isDigit(char c) {
  return c >= '0' && c <= '9';
}
bool isSign(char c) {
  return c == '+' || c == '-';
}

// ---- integers ----

// The leading digits as an integer, clamped to the 32-bit range (atoi without its undefined
// overflow); a non-digit after the optional sign is reported.
std::int32_t integerValue(const char* text) {
  const char* digit = text + (isSign(*text) ? 1 : 0);
  for (; *digit != '\0'; ++digit) {
    if (!isDigit(*digit)) {
      raiseStatus(SCANLST_BAD_INTEGER);
      break;
    }
  }
  const long long value = nuvex::runtime::decimalInteger(text, std::strlen(text));
  if (value > INT32_MAX) return INT32_MAX;
  if (value < INT32_MIN) return INT32_MIN;
  return static_cast<std::int32_t>(value);
}

// Narrower items keep the low-order bits, as the assignment of an int to them does.
template <typename Integer>
void readInteger(Integer& item) {
  NumericText text;
  readValue(text, kNumericValueLength, false);
  if (text[0] != '\0') item = static_cast<Integer>(integerValue(text));
}

// ---- reals ----

// Room for a real value text of a complex repeat (79 characters) with an "e" inserted.
constexpr std::size_t kRealTextSize = kSavedValueSize + 1;

class RealText {
 public:
  void append(char c) {
    if (length_ + 1 < kRealTextSize) text_[length_++] = c;
  }
  double value() {
    text_[length_] = '\0';
    return nuvex::runtime::decimalValue(text_, length_);
  }

 private:
  char text_[kRealTextSize];
  std::size_t length_ = 0;
};

const char* copyDigits(const char* from, RealText& to) {
  for (; isDigit(*from); ++from) to.append(*from);
  return from;
}

const char* skipDigits(const char* from) {
  while (isDigit(*from)) ++from;
  return from;
}

// The end of a text that is already a decimal constant as it is converted (sign, digits with a
// point, an exponent after E or e with digits), or null when it needs the general road.
const char* plainConstantEnd(const char* text) {
  const char* rest = text + (isSign(*text) ? 1 : 0);
  rest = skipDigits(rest);
  if (*rest == '.') rest = skipDigits(rest + 1);
  if (*rest == 'e' || *rest == 'E') {
    const char* digits = rest + 1 + (isSign(rest[1]) ? 1 : 0);
    rest = skipDigits(digits);
    if (rest == digits) return nullptr;
  }
  return *rest == '\0' ? rest : nullptr;
}

// Copies the exponent starter in the form strtod reads; null when `from` holds none.
const char* copyExponentStarter(const char* from, RealText& to) {
  switch (*from) {
    case 'D':
    case 'd':
    case 'E':
    case 'e':
      to.append('e');
      ++from;
      if (isSign(*from)) to.append(*from++);
      return from;
    case '+':
      to.append('e');
      return from + 1;
    case '-':
      to.append('e');
      to.append('-');
      return from + 1;
    default:
      return nullptr;
  }
}

// The everyday real constant [text, end) converted in one pass, without a copy of its text:
// digits that exactDecimal takes and a short exponent. False for any other text.
bool shortRealValue(const char* text, const char* end, double& value) {
  const bool negative = *text == '-';
  const char* rest = text + (isSign(*text) ? 1 : 0);
  std::uint64_t mantissa = 0;
  const char* integerStart = rest;
  if (!nuvex::runtime::accumulateExactDigits(rest, end, mantissa)) return false;
  std::int64_t digits = rest - integerStart;
  std::int64_t fractionDigits = 0;
  if (rest < end && *rest == '.') {
    const char* fractionStart = ++rest;
    if (!nuvex::runtime::accumulateExactDigits(rest, end, mantissa)) return false;
    fractionDigits = rest - fractionStart;
    digits += fractionDigits;
  }
  std::int64_t exponent = 0;
  if (digits == 0 || !nuvex::runtime::fortranExponent(rest, end, exponent)) return false;
  return nuvex::runtime::exactDecimal(mantissa, exponent - fractionDigits, negative, value);
}

// A Fortran real constant (optional sign, digits with one point, optional exponent with D, E, a
// bare sign, or none) converted as strtod would. Only that constant is converted, so trailing
// text cannot turn it into something else (a hexadecimal or an infinity); such text is reported.
// A plus sign is left out: it changes nothing and the faster conversion does not take it.
double realValue(const char* text) {
  if (double value = 0.0; shortRealValue(text, text + std::strlen(text), value)) return value;
  if (const char* end = plainConstantEnd(text)) {
    const char* start = text + (*text == '+' ? 1 : 0);
    return nuvex::runtime::decimalValue(start, static_cast<std::size_t>(end - start));
  }
  RealText constant;
  const char* rest = text;
  if (*rest == '-') constant.append(*rest);
  if (isSign(*rest)) ++rest;
  rest = copyDigits(rest, constant);
  if (*rest == '.') {
    constant.append(*rest++);
    rest = copyDigits(rest, constant);
  }
  if (*rest != '\0') {
    const char* exponent = copyExponentStarter(rest, constant);
    rest = exponent != nullptr ? copyDigits(exponent, constant) : rest;
    if (*rest != '\0') raiseStatus(SCANLST_BAD_REAL);
  }
  return constant.value();
}

template <typename Real>
void readReal(Real& item) {
  const char* begin = nullptr;
  const char* end = nullptr;
  if (double value = 0.0;
      peekPlainValue(kNumericValueLength, begin, end) && shortRealValue(begin, end, value)) {
    item = static_cast<Real>(value);
    finishPlainValue(end);
    return;
  }
  NumericText text;
  readValue(text, kNumericValueLength, false);
  if (text[0] != '\0') item = static_cast<Real>(realValue(text));
}

// ---- complex ----

template <typename Real>
void storeComplex(Real* pair, const double (&parts)[2]) {
  pair[0] = static_cast<Real>(parts[0]);
  pair[1] = static_cast<Real>(parts[1]);
}

// The rest of a repeat factor: the saved constant again, or the saved text of another item as
// the real part. A repeated null value leaves the item unchanged.
template <typename Real>
void repeatComplex(Real* pair) {
  Scanner& s = scanner();
  --s.repeatCount;
  if (!s.savedIsComplex) {
    if (s.saved[0] == '\0') return;
    s.complexResult[0] = realValue(s.saved);
    s.complexResult[1] = 0.0;
    s.savedIsComplex = true;
  }
  storeComplex(pair, s.complexResult);
}

// "(re, im)" with blanks and line ends allowed around either part.
void readParenthesised(char* imaginary) {
  Scanner& s = scanner();
  skipWhiteSpace();
  readUnquotedText(s.saved, kComplexPartLength);
  skipWhiteSpace();
  consumeIf(',');
  skipWhiteSpace();
  readUnquotedText(imaginary, kComplexPartLength);
  skipWhiteSpace();
  consumeIf(')');
}

// What may follow the white space (and a repeat factor) where a complex constant is expected
// and mean a null value: a separator, a slash, a line end, or the end of the input.
bool isNullValue(char next) {
  return next == ',' || next == '/' || next == ' ' || next == '\t' || next == '\r' ||
         next == '\n' || next == '\0';
}

template <typename Real>
void readComplex(Real* pair) {
  Scanner& s = scanner();
  if (s.repeatCount > 0) {
    repeatComplex(pair);
    return;
  }
  s.complexResult[0] = s.complexResult[1] = 0.0;
  s.saved[0] = '\0';
  s.savedIsComplex = false;
  skipWhiteSpace();
  const std::int32_t repeat = readRepeatFactor();
  char imaginary[kComplexPartLength + 1] = "";
  const char next = currentChar();
  if (next == '(') {
    advance();
    readParenthesised(imaginary);
  } else if (!isNullValue(next)) {
    raiseStatus(SCANLST_BAD_COMPLEX);
    readUnquotedText(s.saved, kComplexPartLength);
  }
  if (s.saved[0] != '\0') {
    s.complexResult[0] = realValue(s.saved);
    s.complexResult[1] = realValue(imaginary);
    s.savedIsComplex = true;
    storeComplex(pair, s.complexResult);
  }
  skipBlanks();
  consumeIf(',');
  s.repeatCount = repeat - 1;
}

// ---- logicals and characters ----

// 1 for a value starting with T or t (after an optional point), else 0; a first letter other
// than T or F is reported.
int logicalValue(const char* text) {
  const char first = text[text[0] == '.' ? 1 : 0];
  const bool isTrue = first == 'T' || first == 't';
  if (!isTrue && first != 'F' && first != 'f') raiseStatus(SCANLST_BAD_LOGICAL);
  return isTrue ? 1 : 0;
}

template <typename Logical>
void readLogical(Logical& item) {
  NumericText text;
  readValue(text, kNumericValueLength, false);
  if (text[0] != '\0') item = static_cast<Logical>(logicalValue(text));
}

void readCharacter(char& item) {
  char text[2];
  readValue(text, 1, false);
  if (text[0] != '\0') item = text[0];
}

void readString(char* item) {
  readValue(item, kUnlimited, true);
}

// A fixed-length character element of `length` bytes: length - 1 characters, blank-padded.
void readFixedLength(char* item, std::int64_t length) {
  if (length < 1) {
    char nothing[1];
    readValue(nothing, 0, true);  // no room even for the NUL: the value is passed over
    return;
  }
  const std::int32_t characters =
      static_cast<std::int32_t>(std::min<std::int64_t>(length - 1, INT32_MAX));
  item[characters] = '\0';  // f_pad measures the old text, which may not be terminated
  readValue(item, static_cast<std::size_t>(characters), true);
  f_pad(item, characters);
}

// ---- the control string ----

template <typename Element, typename Read>
void readElements(Arguments& args, std::int64_t count, Read read) {
  Element* elements = va_arg(args.list, Element*);
  for (std::int64_t i = 0; i < count && scanner().status == 0; ++i) read(elements[i]);
}

template <typename Real>
void readComplexElements(Arguments& args, std::int64_t count) {
  Real* pairs = va_arg(args.list, Real*);
  for (std::int64_t i = 0; i < count && scanner().status == 0; ++i) readComplex(pairs + 2 * i);
}

void readFixedLengthElements(Arguments& args, std::int64_t count) {
  char* elements = va_arg(args.list, char*);
  const std::int64_t length = va_arg(args.list, std::int64_t);
  const std::int64_t stride = std::max<std::int64_t>(length, 0);  // no element to step over
  for (std::int64_t i = 0; i < count && scanner().status == 0; ++i) {
    readFixedLength(elements + i * stride, length);
  }
}

// A letter the control string does not know as a conversion: the input must show it next.
void matchLetter(char letter) {
  skipBlanks();
  if (!consumeIf(letter)) raiseStatus(SCANLST_CONTROL_MISMATCH);
}

bool isLong(char size) {
  return size == 'l' || size == 'L';
}

void readItem(const Conversion& conversion, Arguments& args) {
  const std::int64_t count = conversion.array ? va_arg(args.list, std::int64_t) : 1;
  const bool wide = isLong(conversion.size);
  switch (conversion.letter) {
    case 'd':
    case 'i':
      if (conversion.size == 'h')
        return readElements<std::int16_t>(args, count, readInteger<std::int16_t>);
      return readElements<std::int32_t>(args, count, readInteger<std::int32_t>);
    case 'b':
      return readElements<std::int8_t>(args, count, readInteger<std::int8_t>);
    case 'f':
      if (wide) return readElements<double>(args, count, readReal<double>);
      return readElements<float>(args, count, readReal<float>);
    case 'c':
      return readElements<char>(args, count, readCharacter);
    case 's':
      // Strings have no element length, so an array of them cannot be laid out.
      if (conversion.array) return raiseStatus(SCANLST_CONTROL_MISMATCH);
      return readString(va_arg(args.list, char*));
    case 'B':
    case 'S':
      return readFixedLengthElements(args, count);
    case 't':
      if (wide) return readElements<std::int32_t>(args, count, readLogical<std::int32_t>);
      return readElements<std::int16_t>(args, count, readLogical<std::int16_t>);
    case 'T':
      return readElements<std::int8_t>(args, count, readLogical<std::int8_t>);
    case 'z':
      if (wide) return readComplexElements<double>(args, count);
      return readComplexElements<float>(args, count);
    default:
      return matchLetter(conversion.letter);
  }
}

// A character of the control string outside a conversion: the next value must start with it.
void matchLiteral(char literal) {
  char text[2];
  readValue(text, 1, false);
  if (text[0] != literal) raiseStatus(SCANLST_CONTROL_MISMATCH);
}

bool isControlBlank(char c) {
  return c == ' ' || c == '\t';
}

int scanControl(const char* control, Arguments& args) {
  int done = 0;
  const char* cursor = control != nullptr ? control : "";
  for (;;) {
    while (isControlBlank(*cursor)) ++cursor;
    if (*cursor == '\0') return done;
    if (*cursor != '%') {
      matchLiteral(*cursor);
      return done;
    }
    ++cursor;
    Conversion conversion;
    if (!parseConversion(cursor, conversion)) {
      raiseStatus(SCANLST_CONTROL_MISMATCH);
      return done;
    }
    readItem(conversion, args);
    if (scanner().status != 0) return done;
    ++done;
  }
}

bool continuesPreviousRead(const char* control) {
  return control != nullptr && control[0] == '%' && control[1] == '+';
}

}  // namespace

extern "C" {

int fscanlst(FILE* stream, const char* control, ...) {
  Scanner& s = scanner();
  if (stream == nullptr) {
    s.status = SCANLST_NO_STREAM;
    return 0;
  }
  if (continuesPreviousRead(control)) {
    if (stream != s.stream) {
      s.status = SCANLST_READ_ERROR;
      return 0;
    }
    if (s.status != 0) return 0;
  } else {
    beginStreamScan(stream);
    if (s.status != 0) return 0;
  }
  const char* items = continuesPreviousRead(control) ? control + 2 : control;
  Arguments args;
  va_start(args.list, control);
  const int done = scanControl(items, args);
  va_end(args.list);
  return done;
}

int64_t sscanlst(const char* string, const char* control, ...) {
  Scanner& s = scanner();
  if (string == nullptr) {
    s.status = SCANLST_READ_ERROR;
    return 0;
  }
  beginStringScan(string);
  Arguments args;
  va_start(args.list, control);
  scanControl(control, args);
  va_end(args.list);
  return s.position - string;
}

int scanlst_status(void) {
  return scanner().status;
}

}  // extern "C"
