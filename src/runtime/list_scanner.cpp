// Reading list-directed input: lines of a stream, separators, repeat factors and value texts.
#include "runtime/list_scanner.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>

#include "nuvex/runtime/list_input.h"
#include "runtime/bounded_text.h"

namespace nuvex::runtime::list {
namespace {

using nuvex::runtime::boundedLength;

Scanner moduleScanner{};

// Backslash escapes inside quoted values: the letter after the backslash and the character code
// it stands for (ASCII control codes). Any other letter stands for itself.
struct Escape {
  char letter;
  char code;
};
constexpr Escape kEscapes[] = {{'a', 7},  {'b', 8}, {'f', 12}, {'n', 10},
                               {'r', 13}, {'t', 9}, {'v', 11}};

char unescape(char letter) {
  for (const Escape& escape : kEscapes) {
    if (escape.letter == letter) return escape.code;
  }
  return letter;
}

// Carriage returns count as blanks so that text files with CR LF line ends read as they do
// through a text-mode stream.
bool isBlank(char c) {
  return c == ' ' || c == '\t' || c == '\r';
}

bool isDigit(char c) {
  return c >= '0' && c <= '9';
}

// The characters that end an unquoted value, as a table: values are scanned a character at a
// time and this test is the scanner's innermost loop.
constexpr auto kEndsUnquotedValue = [] {
  std::array<bool, 256> table{};
  for (unsigned char c : {'\0', ',', '\n', '/', '(', ')', ' ', '\t', '\r'}) table[c] = true;
  return table;
}();

bool endsUnquotedValue(char c) {
  return kEndsUnquotedValue[static_cast<unsigned char>(c)];
}

// Reads the stream's next line (or the next piece of a long one) into the line buffer. At end
// of file or on a read error the status is set and the buffer left empty.
bool readNextLine() {
  Scanner& s = moduleScanner;
  if (s.stream == nullptr || s.status != 0) return false;
  s.position = s.line;
  if (std::fgets(s.line, sizeof s.line, s.stream) != nullptr) return true;
  s.line[0] = '\0';
  raiseStatus(std::ferror(s.stream) ? SCANLST_READ_ERROR : SCANLST_END_OF_FILE);
  return false;
}

// Collects a value text: up to maxLength characters into the destination and, for a repeat
// factor, its first 79 characters whatever the destination keeps.
class ValueSink {
 public:
  ValueSink(char* destination, std::size_t maxLength, bool forRepeats = false)
      : destination_(destination),
        maxLength_(maxLength),
        captureLimit_(forRepeats ? kSavedValueLength : 0) {}

  void put(char c) {
    if (stored_ < maxLength_) destination_[stored_++] = c;
    if (captured_ < captureLimit_) capture_[captured_++] = c;
  }
  // `count` characters at once, cut like `count` calls of put.
  void putRun(const char* run, std::size_t count) {
    const std::size_t stored = std::min(count, maxLength_ - stored_);
    std::memcpy(destination_ + stored_, run, stored);
    stored_ += stored;
    if (captureLimit_ == 0) return;  // no repeat factor: nothing to keep
    const std::size_t captured = std::min(count, captureLimit_ - captured_);
    std::memcpy(capture_ + captured_, run, captured);
    captured_ += captured;
  }
  void terminate() { destination_[stored_] = '\0'; }
  std::size_t stored() const { return stored_; }
  void saveForRepeats(Scanner& s) const {
    std::memcpy(s.saved, capture_, captured_);
    s.saved[captured_] = '\0';
    s.savedIsComplex = false;
  }

 private:
  char* destination_;
  std::size_t maxLength_;
  std::size_t captureLimit_;
  std::size_t stored_ = 0;
  char capture_[kSavedValueLength];
  std::size_t captured_ = 0;
};

// At a line end inside a quoted value: a stream goes on with its next line; a string goes on
// after a newline and ends at its NUL.
bool continueAfterLineEnd(char lineEnd) {
  Scanner& s = moduleScanner;
  if (s.stream != nullptr) return readNextLine();
  return lineEnd == '\n';
}

void readUnquoted(ValueSink& sink) {
  Scanner& s = moduleScanner;
  const char* end = s.position;
  while (!endsUnquotedValue(*end)) ++end;
  sink.putRun(s.position, static_cast<std::size_t>(end - s.position));
  s.position = end;
}

// Characters up to the closing quote; a doubled quote stands for one, a backslash escapes the
// next character, and line ends inside the quotes are dropped.
void readQuoted(ValueSink& sink, char quote) {
  Scanner& s = moduleScanner;
  ++s.position;
  for (;;) {
    const char c = *s.position;
    if (c == '\0' || c == '\n') {
      if (c == '\n') ++s.position;
      if (!continueAfterLineEnd(c)) return;
    } else if (c == quote) {
      ++s.position;
      if (*s.position != quote) return;
      sink.put(quote);
      ++s.position;
    } else if (c == '\\') {
      ++s.position;
      const char next = *s.position;
      if (next == '\0' || next == '\n') {
        // A backslash joins the lines; the new line's first character is the escaped one.
        if (next == '\n') ++s.position;
        if (!continueAfterLineEnd(next)) return;
        if (*s.position == '\0') continue;
      }
      sink.put(unescape(*s.position++));
    } else {
      sink.put(c);
      ++s.position;
    }
  }
}

// A value after a repeat factor has run out: the saved value goes to the item.
void deliverSaved(char* destination, std::size_t maxLength, bool keep) {
  Scanner& s = moduleScanner;
  if (s.saved[0] != '\0' || !keep) {
    const std::size_t length = boundedLength(s.saved, std::min(maxLength, kSavedValueLength));
    std::memcpy(destination, s.saved, length);
    destination[length] = '\0';
  }
  if (--s.repeatCount == 0) {
    s.saved[0] = '\0';
    s.savedIsComplex = false;
  }
}

void clearRepeatState() {
  Scanner& s = moduleScanner;
  s.repeatCount = 0;
  s.saved[0] = '\0';
  s.savedIsComplex = false;
}

}  // namespace

Scanner& scanner() {
  return moduleScanner;
}

void raiseStatus(std::int32_t code) {
  if (moduleScanner.status == 0) moduleScanner.status = code;
}

void beginStringScan(const char* text) {
  Scanner& s = moduleScanner;
  s.status = 0;
  s.stream = nullptr;
  s.line[0] = '\0';
  s.position = text;
  clearRepeatState();
}

void beginStreamScan(std::FILE* stream) {
  Scanner& s = moduleScanner;
  s.stream = stream;
  s.status = 0;
  clearRepeatState();
  readNextLine();
}

char currentChar() {
  return *moduleScanner.position;
}

void advance() {
  ++moduleScanner.position;
}

bool consumeIf(char c) {
  if (*moduleScanner.position != c) return false;
  ++moduleScanner.position;
  return true;
}

void skipWhiteSpace() {
  Scanner& s = moduleScanner;
  for (;;) {
    const char c = *s.position;
    if (isBlank(c) || c == '\n') {
      ++s.position;
    } else if (c != '\0' || !readNextLine()) {
      // A stream's line (or a piece of a long line) ends at its NUL: go on with the next one.
      return;
    }
  }
}

void skipBlanks() {
  Scanner& s = moduleScanner;
  while (isBlank(*s.position)) ++s.position;
}

std::int32_t readRepeatFactor() {
  Scanner& s = moduleScanner;
  const char* end = s.position;
  while (isDigit(*end)) ++end;
  if (end == s.position || *end != '*') return 1;
  std::int32_t repeat = 0;
  for (const char* digit = s.position; digit != end; ++digit) {
    const std::int32_t value = *digit - '0';
    repeat = repeat > (INT32_MAX - value) / 10 ? INT32_MAX : repeat * 10 + value;
  }
  s.position = end + 1;
  return repeat;
}

void readUnquotedText(char* destination, std::size_t maxLength) {
  ValueSink sink(destination, maxLength);
  readUnquoted(sink);
  sink.terminate();
}

void readValue(char* destination, std::size_t maxLength, bool keep) {
  Scanner& s = moduleScanner;
  if (s.repeatCount > 0) {
    deliverSaved(destination, maxLength, keep);
    return;
  }
  skipWhiteSpace();
  const std::int32_t repeat = readRepeatFactor();
  if (*s.position == '/') {
    // The slash stays unread, so every later value is null as well.
    destination[0] = '\0';
    return;
  }
  ValueSink sink(destination, maxLength, repeat > 1);
  const char first = *s.position;
  if (first == '\'' || first == '"') {
    readQuoted(sink, first);
    sink.terminate();
  } else {
    readUnquoted(sink);
    if (sink.stored() > 0 || !keep) sink.terminate();
  }
  skipBlanks();
  if (repeat > 1) sink.saveForRepeats(s);
  s.repeatCount = repeat - 1;
  consumeIf(',');
}

bool peekPlainValue(std::size_t maxLength, const char*& begin, const char*& end) {
  Scanner& s = moduleScanner;
  if (s.repeatCount > 0) return false;
  skipWhiteSpace();
  begin = s.position;
  end = begin;
  while (!endsUnquotedValue(*end)) ++end;
  const std::size_t length = static_cast<std::size_t>(end - begin);
  // A repeat factor's "*" and a quote stay inside the run and fail the conversion.
  return length > 0 && length <= maxLength;
}

void finishPlainValue(const char* end) {
  Scanner& s = moduleScanner;
  s.position = end;
  skipBlanks();
  s.repeatCount = 0;
  consumeIf(',');
}

bool parseConversion(const char*& cursor, Conversion& conversion) {
  conversion = Conversion{};
  if (*cursor == 'A') {
    conversion.array = true;
    ++cursor;
  }
  if (*cursor == 'h' || *cursor == 'l' || *cursor == 'L') conversion.size = *cursor++;
  if (*cursor == '\0') return false;
  conversion.letter = *cursor++;
  return true;
}

ItemArguments itemArguments(char letter) {
  switch (letter) {
    case 'd':
    case 'i':
    case 'b':
    case 'f':
    case 'c':
    case 's':
    case 't':
    case 'T':
    case 'z':
      return ItemArguments::kAddress;
    case 'B':
    case 'S':
      return ItemArguments::kAddressAndLength;
    default:
      return ItemArguments::kNone;
  }
}

}  // namespace nuvex::runtime::list
