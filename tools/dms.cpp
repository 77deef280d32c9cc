#include "dms.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>

#include "number_text.h"
#include "nuvex/angles.h"
#include "nuvex/engine.h"

namespace nuvex::cli {
namespace {

enum class Part { Degrees, Minutes, Seconds };
constexpr int kPartCount = 3;

constexpr double kSexagesimalBase = 60.0;  // minutes per degree, seconds per minute
// Larger degree values are no angle; they stay far below the range of an int.
constexpr double kLargestDegreeValue = 1.0e6;

// Marks in UTF-8: degree sign U+00B0, masculine ordinal U+00BA (typed for it on many keyboards),
// prime U+2032 and double prime U+2033.
constexpr std::string_view kDegreeSign = "\xC2\xB0";
constexpr std::string_view kOrdinalSign = "\xC2\xBA";
constexpr std::string_view kPrime = "\xE2\x80\xB2";
constexpr std::string_view kDoublePrime = "\xE2\x80\xB3";
constexpr std::string_view kTwoApostrophes = "''";
// The degree sign and the masculine ordinal in Latin-1 and cp1252 (German Excel's default).
constexpr std::string_view kLatin1DegreeSign = "\xB0";
constexpr std::string_view kLatin1OrdinalSign = "\xBA";

struct Mark {
  std::string_view text;
  Part part;
};
// Longer texts first: "''" before "'", UTF-8 before Latin-1.
constexpr std::array<Mark, 13> kMarks = {{
    {kDegreeSign, Part::Degrees},
    {kOrdinalSign, Part::Degrees},
    {kLatin1DegreeSign, Part::Degrees},
    {kLatin1OrdinalSign, Part::Degrees},
    {"d", Part::Degrees},
    {"D", Part::Degrees},
    {kPrime, Part::Minutes},
    {kTwoApostrophes, Part::Seconds},
    {"'", Part::Minutes},
    {"m", Part::Minutes},
    {kDoublePrime, Part::Seconds},
    {"\"", Part::Seconds},
    {"s", Part::Seconds},
}};

bool isSpaceOrTab(char c) {
  return c == ' ' || c == '\t';
}
bool isDigit(char c) {
  return c >= '0' && c <= '9';
}

// Hemisphere letters: N/S for latitude, E/W and O (Ost) for longitude; 0 for no letter.
int hemisphereSign(char c) {
  return c == 'N' || c == 'E' || c == 'O' ? 1 : c == 'S' || c == 'W' ? -1 : 0;
}
Axis hemisphereAxis(char c) {
  return c == 'N' || c == 'S' ? Axis::Latitude : Axis::Longitude;
}

const char* partName(Part part) {
  switch (part) {
    case Part::Degrees:
      return "degrees";
    case Part::Minutes:
      return "minutes";
    case Part::Seconds:
      return "seconds";
  }
  return "";
}

// Walks the field once; any fault ends the walk with a reason.
class SexagesimalScanner {
 public:
  SexagesimalScanner(std::string_view text, Axis axis, char decimalMark)
      : rest_(text), axis_(axis), decimalMark_(decimalMark) {}

  DmsReading scan() {
    DmsReading reading;
    readHemisphere();
    if (rest_.empty() && hemisphere_ != 0 && failure_.empty()) return fail("no degrees");
    if (!rest_.empty() && (rest_.front() == '-' || rest_.front() == '+')) {
      sign_ = rest_.front() == '-' ? -1 : 1;
      rest_.remove_prefix(1);
    }
    while (failure_.empty() && !rest_.empty() && !isHemisphereNext()) readPart();
    skipBlanks();
    if (failure_.empty() && !rest_.empty()) readHemisphere();
    if (failure_.empty() && !rest_.empty()) unexpected();
    if (!failure_.empty()) {
      if (!sexagesimal()) return reading;
      return fail(failure_);
    }
    if (!sexagesimal()) return reading;
    if (parts_ == 0) return fail("no degrees");
    return finish();
  }

 private:
  // The field shows one of the forms: a mark, a colon, a hemisphere letter, or three parts.
  bool sexagesimal() const { return marked_ || hemisphere_ != 0 || parts_ == kPartCount; }

  DmsReading fail(const std::string& reason) {
    DmsReading reading;
    reading.outcome = DmsOutcome::Malformed;
    reading.problem = reason;
    return reading;
  }

  bool isHemisphereNext() const { return hemisphereSign(rest_.front()) != 0; }

  void skipBlanks() {
    while (!rest_.empty() && isSpaceOrTab(rest_.front())) rest_.remove_prefix(1);
  }

  void unexpected() { failure_ = "unexpected \"" + std::string(rest_.substr(0, 1)) + "\""; }

  void readHemisphere() {
    skipBlanks();
    if (rest_.empty() || hemisphereSign(rest_.front()) == 0) return;
    const char letter = rest_.front();
    rest_.remove_prefix(1);
    skipBlanks();
    if (hemisphere_ != 0) {
      failure_ = "two hemisphere letters";
    } else if (hemisphereAxis(letter) != axis_) {
      failure_ = std::string(1, letter) + " is a hemisphere of " +
                 (axis_ == Axis::Latitude ? "longitude" : "latitude");
    }
    hemisphere_ = hemisphereSign(letter);
  }

  // A number, then a mark, a colon or blanks.
  void readPart() {
    if (parts_ == kPartCount) {
      failure_ = "more than degrees, minutes and seconds";
      return;
    }
    std::size_t length = 0;
    bool fraction = false;
    while (length < rest_.size() && (isDigit(rest_[length]) || rest_[length] == kDecimalPoint ||
                                     rest_[length] == decimalMark_)) {
      fraction = fraction || !isDigit(rest_[length]);
      ++length;
    }
    if (length == 0) return unexpected();
    const NumberReading number = readDecimal(rest_.substr(0, length), decimalMark_);
    if (number.error != std::errc{}) {
      failure_ = std::string(partName(nextPart())) + " \"" + std::string(rest_.substr(0, length)) +
                 "\" are not a number";
      return;
    }
    if (lastHadFraction_) {
      failure_ = "only the last part may have decimals";
      return;
    }
    lastHadFraction_ = fraction;
    values_[static_cast<std::size_t>(parts_)] = number.value;
    ++parts_;
    rest_.remove_prefix(length);
    readSeparator();
  }

  Part nextPart() const { return static_cast<Part>(parts_); }

  void readSeparator() {
    const Part part = static_cast<Part>(parts_ - 1);
    for (const Mark& mark : kMarks) {
      if (!rest_.starts_with(mark.text)) continue;
      marked_ = true;
      if (mark.part != part) {
        failure_ = "\"" + std::string(mark.text) + "\" marks " + partName(mark.part) +
                   " but follows the " + partName(part);
        return;
      }
      rest_.remove_prefix(mark.text.size());
      skipBlanks();
      return;
    }
    if (!rest_.empty() && rest_.front() == ':') {
      rest_.remove_prefix(1);
      marked_ = true;
      if (rest_.empty() || !isDigit(rest_.front())) failure_ = "nothing after \":\"";
      return;
    }
    skipBlanks();
  }

  DmsReading finish() {
    if (hemisphere_ != 0 && sign_ != 0) return fail("a sign and a hemisphere letter");
    const double degrees = values_[0];
    if (degrees > kLargestDegreeValue) return fail("degrees out of range");
    for (int part = 1; part < parts_; ++part) {
      if (values_[static_cast<std::size_t>(part)] >= kSexagesimalBase) {
        return fail(std::string(partName(static_cast<Part>(part))) + " must be below 60");
      }
    }
    double angle = degrees;
    if (parts_ > 1) {
      const int whole = static_cast<int>(degrees);
      const int minutes = parts_ == kPartCount ? static_cast<int>(values_[1]) : 0;
      const double seconds = parts_ == kPartCount ? values_[2] : values_[1] * kSexagesimalBase;
      angle = DMS2DEG(whole, minutes, seconds);
    }
    DmsReading reading;
    reading.outcome = DmsOutcome::Read;
    reading.degrees = (hemisphere_ < 0 || sign_ < 0) ? -angle : angle;
    return reading;
  }

  std::string_view rest_;
  Axis axis_;
  char decimalMark_;
  int hemisphere_ = 0;
  int sign_ = 0;
  int parts_ = 0;
  bool marked_ = false;
  bool lastHadFraction_ = false;
  std::array<double, kPartCount> values_{};
  std::string failure_;
};

// Seconds of two integer digits: "05.25". The leading zero goes by the rounded text, as 9.96 at
// one decimal is "10.0".
void appendSeconds(std::string& out, double seconds, int decimals, char decimalMark) {
  const std::size_t start = out.size();
  appendFixed(out, seconds, decimals, decimalMark);
  const std::size_t mark = out.find(decimalMark, start);
  if ((mark == std::string::npos ? out.size() : mark) - start < 2) out.insert(start, 1, '0');
}

void appendTwoDigits(std::string& out, int value) {
  out.push_back(static_cast<char>('0' + value / 10));
  out.push_back(static_cast<char>('0' + value % 10));
}

}  // namespace

bool isHemisphereLetter(char c) {
  return hemisphereSign(c) != 0;
}

bool hasAngleMark(std::string_view text) {
  // The marks' texts start with these bytes: the UTF-8 signs' lead bytes C2 and E2 (for B0, BA,
  // 2032 and 2033) and Latin-1's B0 and BA. A table: this looks at the fields of every line.
  static constexpr auto kStartsMark = [] {
    std::array<bool, 256> table{};
    for (const char c : std::string_view("'\":\xC2\xE2\xB0\xBA")) {
      table[static_cast<unsigned char>(c)] = true;
    }
    return table;
  }();
  return std::any_of(text.begin(), text.end(),
                     [](char c) { return kStartsMark[static_cast<unsigned char>(c)]; });
}

DmsReading readSexagesimal(std::string_view text, Axis axis, char decimalMark) {
  return SexagesimalScanner(text, axis, decimalMark).scan();
}

std::optional<MarkedParts> markedParts(std::string_view token) {
  std::optional<MarkedParts> parts;
  bool afterNumber = false;
  for (std::size_t at = 0; at < token.size();) {
    if (isDigit(token[at]) || token[at] == kDecimalPoint) {
      afterNumber = true;
      ++at;
      continue;
    }
    const Mark* found = nullptr;
    if (afterNumber) {
      for (const Mark& mark : kMarks) {
        if (token.substr(at).starts_with(mark.text)) {
          found = &mark;
          break;
        }
      }
    }
    afterNumber = false;
    if (found == nullptr) {
      ++at;
      continue;
    }
    const int part = static_cast<int>(found->part);
    if (!parts) parts = MarkedParts{part, part};
    parts->last = part;
    at += found->text.size();
  }
  return parts;
}

void appendDms(std::string& out, double angle, Axis axis, int decimals, char decimalMark) {
  const AngleParts parts = splitAngle(angle, decimals);
  const int degrees = parts.degrees, minutes = parts.minutes;
  const bool negative = parts.negative;
  std::string secondsText;
  appendSeconds(secondsText, parts.seconds, decimals, decimalMark);
  std::array<char, 16> degreeText{};
  const auto result =
      std::to_chars(degreeText.data(), degreeText.data() + degreeText.size(), degrees);
  out.append(degreeText.data(), result.ptr);
  out.append(kDegreeSign);
  appendTwoDigits(out, minutes);
  out.push_back('\'');
  out.append(secondsText);
  out.push_back('"');
  if (axis == Axis::Latitude) {
    out.push_back(negative ? 'S' : 'N');
  } else {
    out.push_back(negative ? 'W' : 'E');
  }
}

}  // namespace nuvex::cli
