// Field rules of formatted input: character, integer, logical and real items.
#include "runtime/input_editing.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstring>

#include "nuvex/runtime/diagnostics.h"
#include "nuvex/runtime/format.h"
#include "runtime/decimal_text.h"
#include "runtime/io_status.h"

namespace nuvex::runtime::input {
namespace {

constexpr int kBytesPerIntegerA = 4;  // an integer under Aw takes at most 4 characters
// Exponents are accumulated up to here; a larger one overflows or underflows any double anyway.
constexpr int64_t kExponentLimit = 1000000000000;
// Scale steps beyond this many cannot change a double further (it is 0 or infinite by then).
constexpr int32_t kScaleStepLimit = 1000;
constexpr double kScaleStep = 10.0;
// The decimal text of a real field: sign, "0", the mantissa, "e", the exponent (at most 20
// characters) and the NUL.
constexpr size_t kRealTextSize = kRealFieldKept + 32;

constexpr bool isWhiteSpace(char c) {
  // The white space of the C locale (blank, \t \n \v \f \r), whatever locale the caller set.
  return c == ' ' || (c >= '\t' && c <= '\r');
}
bool isDigit(char c) {
  return c >= '0' && c <= '9';
}

// What a character of the record means to field collection, as a table: the test runs for
// every character of every numeric field.
enum class FieldCharacter : uint8_t { kOrdinary, kRecordEnd, kComma, kBlank };
constexpr auto kFieldCharacters = [] {
  std::array<FieldCharacter, 256> table{};
  for (int c = 0; c < 256; ++c) {
    if (isWhiteSpace(static_cast<char>(c))) table[c] = FieldCharacter::kBlank;
  }
  table['\0'] = table['\n'] = FieldCharacter::kRecordEnd;
  table[','] = FieldCharacter::kComma;
  return table;
}();

FieldCharacter fieldCharacter(char c) {
  return kFieldCharacters[static_cast<unsigned char>(c)];
}

void setStatus(unit_record* unit, int16_t iostat) {
  if (unit->iostat == 0) unit->iostat = iostat;
}

const char* formatPosition(const unit_record* unit) {
  return unit->format != nullptr ? unit->format->fcursor : nullptr;
}

bool atRecordEnd(const unit_record* unit) {
  return unit->cursor >= unit->record_end || *unit->cursor == '\0' || *unit->cursor == '\n';
}

bool padsWithBlanks(const unit_record* unit) {
  return (unit->mode & UNIT_MODE_PAD) != 0 && (unit->mode & UNIT_MODE_UNFORMATTED) == 0;
}

// At the end of a record that yields blanks from here on.
bool inBlankPadding(const unit_record* unit) {
  return unit->iostat == 0 && atRecordEnd(unit) && padsWithBlanks(unit);
}

// One character of the record; at its end a blank (PAD), NUL (PAD on an unformatted unit) or
// NUL with iostat 62 (no PAD).
char takeCharacter(unit_record* unit) {
  if (unit->iostat != 0) return '\0';
  if (!atRecordEnd(unit)) return *unit->cursor++;
  if ((unit->mode & UNIT_MODE_PAD) != 0) return padsWithBlanks(unit) ? ' ' : '\0';
  unit->iostat = kIostatEndOfRecord;
  return '\0';
}

// Takes up to `count` characters into dest and NUL-terminates it; stops at a NUL result.
void takeInto(unit_record* unit, char* dest, int64_t count) {
  int64_t taken = 0;
  while (taken < count) {
    if (inBlankPadding(unit)) {
      std::memset(dest + taken, ' ', static_cast<size_t>(count - taken));
      taken = count;
      break;
    }
    char c = takeCharacter(unit);
    if (c == '\0') break;
    dest[taken++] = c;
  }
  dest[taken] = '\0';
}

// Discards up to `count` characters; false when the record ended without PAD.
bool skipCharacters(unit_record* unit, int64_t count) {
  for (int64_t i = 0; i < count && !inBlankPadding(unit); ++i) {
    takeCharacter(unit);
    if (unit->iostat != 0) return false;
  }
  return true;
}

// The Q rule: characters left in the record; nothing is consumed.
uint64_t charactersLeft(const unit_record* unit) {
  uint64_t count = 0;
  for (const char* p = unit->cursor; p < unit->record_end && *p != '\0' && *p != '\n'; ++p) {
    ++count;
  }
  return count;
}

int digitValue(char c) {
  if (isDigit(c)) return c - '0';
  char lower = (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
  return (lower >= 'a' && lower <= 'f') ? lower - 'a' + 10 : -1;
}

int radixOf(int32_t code) {
  switch (code) {
    case 'O':
      return 8;
    case 'Z':
      return 16;
    case 'B':
      return 2;
    default:
      return 10;
  }
}

int16_t badDigitStatus(int32_t code) {
  switch (code) {
    case 'O':
    case 'B':
      return kIostatBadOctalOrBinary;
    case 'Z':
      return kIostatBadHexadecimal;
    default:
      return kIostatBadDecimal;
  }
}

bool isSign(char c) {
  return c == '+' || c == '-';
}

// Every character after one leading sign must be a digit of the radix.
void checkDigits(unit_record* unit, const Field& field, int32_t code) {
  int radix = radixOf(code);
  for (size_t i = (!field.empty() && isSign(field[0])) ? 1 : 0; i < field.size(); ++i) {
    int digit = digitValue(field[i]);
    if (digit < 0 || digit >= radix) setStatus(unit, badDigitStatus(code));
  }
}

// Sign and digits as far as they go. Accumulated modulo 2^64: an item receives the low bytes of
// the value, so a field with more digits than the item holds wraps instead of overflowing.
uint64_t convertDigits(const Field& field, int radix) {
  size_t i = 0;
  bool negative = false;
  if (!field.empty() && isSign(field[0])) {
    negative = field[0] == '-';
    ++i;
  }
  uint64_t value = 0;
  for (; i < field.size(); ++i) {
    int digit = digitValue(field[i]);
    if (digit < 0 || digit >= radix) break;
    value = value * static_cast<uint64_t>(radix) + static_cast<uint64_t>(digit);
  }
  return negative ? 0 - value : value;
}

// An integer item under Aw (w up to 4): the characters' bytes in memory order, blank-padded.
uint64_t integerFromCharacters(unit_record* unit, int32_t width, int size) {
  if (width <= 1) {
    return static_cast<uint64_t>(static_cast<int64_t>(static_cast<int8_t>(takeCharacter(unit))));
  }
  char bytes[kBytesPerIntegerA + 1];
  std::memset(bytes, ' ', kBytesPerIntegerA);
  takeInto(unit, bytes, width);
  for (int i = static_cast<int>(std::strlen(bytes)); i < kBytesPerIntegerA; ++i) bytes[i] = ' ';
  if (size == 1) return static_cast<uint64_t>(static_cast<int64_t>(static_cast<int8_t>(bytes[0])));
  if (size == 2) {
    int16_t value;
    std::memcpy(&value, bytes, sizeof value);
    return static_cast<uint64_t>(static_cast<int64_t>(value));
  }
  int32_t value;
  std::memcpy(&value, bytes, sizeof value);
  return static_cast<uint64_t>(static_cast<int64_t>(value));
}

// The decimal text of a real field, built without allocating: [-]0<mantissa>[e<exponent>].
class RealText {
 public:
  explicit RealText(bool negative) {
    if (negative) text_[length_++] = '-';
    text_[length_++] = '0';  // "-.5" and "" must convert too
  }
  void append(std::string_view part) {
    std::memcpy(text_ + length_, part.data(), part.size());
    length_ += part.size();
  }
  void appendExponent(int64_t exponent) {
    text_[length_++] = 'e';
    length_ = static_cast<size_t>(std::to_chars(text_ + length_, end(), exponent).ptr - text_);
  }
  double value() {
    text_[length_] = '\0';
    return decimalValue(text_, length_);
  }

 private:
  char* end() { return text_ + sizeof text_ - 1; }
  char text_[kRealTextSize];
  size_t length_ = 0;
};

// [sign] digits [. digits]: the number a malformed field starts with.
double leadingNumber(std::string_view field) {
  size_t start = (!field.empty() && isSign(field[0])) ? 1 : 0;
  size_t end = start;
  while (end < field.size() && isDigit(field[end])) ++end;
  if (end < field.size() && field[end] == '.') {
    ++end;
    while (end < field.size() && isDigit(field[end])) ++end;
  }
  RealText text(start > 0 && field[0] == '-');
  text.append(field.substr(start, end - start));
  return text.value();
}

// The exponent part after the mantissa, from its starter at field[i]; sets malformed when it
// has no digit or is followed by anything.
int64_t exponentPart(std::string_view field, size_t i, bool* malformed) {
  char starter = field[i++];
  bool negative = starter == '-';
  if (!isSign(starter) && i < field.size() && isSign(field[i])) negative = field[i++] == '-';
  int64_t exponent = 0;
  bool digits = false;
  for (; i < field.size() && isDigit(field[i]); ++i) {
    exponent = std::min<int64_t>(exponent * 10 + (field[i] - '0'), kExponentLimit);
    digits = true;
  }
  if (!digits || i < field.size()) *malformed = true;
  return negative ? -exponent : exponent;
}

double applyScale(double value, int32_t scale) {
  int32_t steps = std::min(scale < 0 ? -scale : scale, kScaleStepLimit);
  for (int32_t i = 0; i < steps; ++i) value = scale > 0 ? value / kScaleStep : value * kScaleStep;
  return value;
}

// The everyday field ([sign] digits [. digits] [exponent], digits as exactDecimal takes them)
// converted straight from the field, without building the decimal text. False for anything
// else, malformed fields included, which the general conversion below then takes.
bool convertPlainField(std::string_view field, char code, int32_t digits, RealField& result) {
  const char* p = field.data();
  const char* end = p + field.size();
  const bool negative = *p == '-';
  if (isSign(*p)) ++p;
  const char* mantissaStart = p;
  uint64_t mantissa = 0;
  if (!accumulateExactDigits(p, end, mantissa)) return false;
  const char* integerEnd = p;
  const bool point = p < end && *p == '.';
  if (point && !accumulateExactDigits(++p, end, mantissa)) return false;
  const int64_t fractionDigits = point ? p - integerEnd - 1 : 0;
  const bool atEnd = p == end;
  if (!atEnd && p == mantissaStart) return false;  // an exponent without a mantissa: malformed
  int64_t exponent = 0;
  if (!fortranExponent(p, end, exponent)) return false;
  const int64_t impliedShift = (!point && (code != 'F' || atEnd) && digits > 0) ? digits : 0;
  if (!exactDecimal(mantissa, exponent - impliedShift - fractionDigits, negative, result.value)) {
    return false;
  }
  result.exponent = !atEnd;
  return true;
}

}  // namespace

bool startItem(unit_record* unit, edit_descriptor* descriptor) {
  if (unit->iostat != 0) return false;
  advance_format(unit, 0, 0);
  if (unit->iostat != 0) return false;
  next_edit_descriptor(unit, descriptor);
  return true;
}

void collectField(unit_record* unit, int32_t width, size_t kept, Field& field) {
  kept = std::min(kept, kOtherFieldKept);
  bool blankAsZero = unit->format != nullptr && (unit->format->edit_flags & FORMAT_FLAG_BZ) != 0;
  int32_t position = 0;
  // The part of the field that lies in the record, taken without the end-of-record rules; the
  // loop below takes over at the end of the record.
  if (unit->iostat == 0 && width > 0) {
    // A local cursor: the unit's would be reloaded after every character stored.
    char* start = unit->cursor;
    const char* limit = start + std::min<int64_t>(width, unit->record_end - start);
    char* p = start;
    // The size in a local too: a store into the text could otherwise change the field's own.
    char* text = field.storage();
    std::size_t size = field.size();
    for (; p < limit; ++p) {
      char c = *p;
      const FieldCharacter kind = fieldCharacter(c);
      if (kind == FieldCharacter::kRecordEnd) break;
      if (kind == FieldCharacter::kComma) break;
      if (kind == FieldCharacter::kBlank) {
        if (size == 0 || !blankAsZero) continue;
        c = '0';
      }
      if (size < kept) text[size++] = c;
    }
    field.resize(size);
    if (p < limit && fieldCharacter(*p) == FieldCharacter::kComma) {
      unit->cursor = p + 1;
      return;
    }
    unit->cursor = p;
    position = static_cast<int32_t>(p - start);
  }
  for (; position < width; ++position) {
    if (inBlankPadding(unit)) {  // the rest of the field is blanks
      if (blankAsZero && !field.empty()) {
        size_t zeros = std::min(static_cast<size_t>(width - position), kept - field.size());
        for (size_t i = 0; i < zeros; ++i) field.append('0');
      }
      break;
    }
    char c = takeCharacter(unit);
    if (unit->iostat != 0 || c == '\0' || c == ',') break;
    if (isWhiteSpace(c)) {
      if (field.empty() || !blankAsZero) continue;
      c = '0';
    }
    if (field.size() < kept) field.append(c);
  }
}

bool readCharacters(unit_record* unit, edit_descriptor* descriptor, char* dest, int64_t limit) {
  if (limit == 0) f_error("input str length must be >0");
  if (descriptor->width == 0 && limit > 0) descriptor->width = static_cast<int32_t>(limit);
  if (descriptor->code != 'A') f_format_error("expecting 'A' edit field", formatPosition(unit));
  if (unit->iostat != 0) return false;
  int64_t width = descriptor->width;
  if (limit < 0 && width == 0) {  // no limit and no width: the rest of the record
    int64_t taken = 0;
    while (!atRecordEnd(unit)) dest[taken++] = *unit->cursor++;
    dest[taken] = '\0';
  } else if (limit < 0 || width < limit) {
    takeInto(unit, dest, width);
  } else {
    if (!skipCharacters(unit, width - limit)) return true;
    takeInto(unit, dest, limit);
  }
  return true;
}

uint64_t readInteger(unit_record* unit, edit_descriptor* descriptor, int size) {
  Field field;
  switch (descriptor->code) {
    case 'I':
    case 'O':
    case 'Z':
    case 'B':
      collectField(unit, descriptor->width, kOtherFieldKept, field);
      break;
    case 'A':
      if (descriptor->width <= kBytesPerIntegerA) {
        return integerFromCharacters(unit, descriptor->width, size);
      }
      f_format_error("unsupported 'A' format width with integer input", formatPosition(unit));
      break;
    case 'Q':
      return charactersLeft(unit);
    default:
      f_format_error("expecting 'I', 'B', 'O', 'Z', 'Q', or 'A' edit field", formatPosition(unit));
      break;
  }
  checkDigits(unit, field, descriptor->code);
  return convertDigits(field, radixOf(descriptor->code));
}

uint64_t readLogical(unit_record* unit, edit_descriptor* descriptor) {
  if (descriptor->code == 'Q') return charactersLeft(unit);
  if (descriptor->code != 'L') f_format_error("expecting 'L' edit field", formatPosition(unit));
  Field field;
  collectField(unit, descriptor->width, kOtherFieldKept, field);
  size_t decisive = (field.size() > 1 && field[0] == '.') ? 1 : 0;
  char c = field.empty() ? '\0' : field[decisive];
  if (c == 'T' || c == 't') return 1;
  if (c != 'F' && c != 'f') setStatus(unit, kIostatBadLogical);
  return 0;
}

RealField convertRealField(std::string_view field, char code, int32_t digits) {
  RealField result{0.0, false, false};
  field = field.substr(0, kRealFieldKept);
  if (field.empty() || convertPlainField(field, code, digits, result)) return result;
  size_t i = isSign(field[0]) ? 1 : 0;
  size_t mantissaStart = i;
  int points = 0;
  for (; i < field.size() && (isDigit(field[i]) || field[i] == '.'); ++i) {
    if (field[i] == '.' && ++points > 1) break;
  }
  std::string_view mantissa = field.substr(mantissaStart, i - mantissaStart);
  bool atEnd = i == field.size();
  if (points > 1 || (!atEnd && (std::strchr("eEdD-+", field[i]) == nullptr || mantissa.empty()))) {
    result.malformed = true;
    result.value = leadingNumber(field);
    return result;
  }
  // Implied decimal point: d digits from the right of a mantissa written without one, taken as
  // a power of ten so that a d larger than the digits needs no zeros in the text.
  int64_t impliedShift = (points == 0 && (code != 'F' || atEnd) && digits > 0) ? digits : 0;
  int64_t exponent = atEnd ? 0 : exponentPart(field, i, &result.malformed);
  result.exponent = !atEnd;
  RealText text(field[0] == '-');
  text.append(mantissa);
  text.appendExponent(exponent - impliedShift);
  result.value = text.value();
  return result;
}

double readReal(unit_record* unit, edit_descriptor* descriptor) {
  if (descriptor->code == 'G') descriptor->code = 'F';
  int32_t code = descriptor->code;
  if (code != 'D' && code != 'E' && code != 'F') {
    f_format_error("expecting 'D', 'E', 'F', or 'G' edit field", formatPosition(unit));
  }
  Field field;
  collectField(unit, descriptor->width, kRealFieldKept, field);
  RealField converted = convertRealField(field.view(), static_cast<char>(code), descriptor->digits);
  if (converted.malformed) setStatus(unit, kIostatBadReal);
  if (converted.exponent || unit->format == nullptr) return converted.value;
  return applyScale(converted.value, unit->format->scale);
}

}  // namespace nuvex::runtime::input
