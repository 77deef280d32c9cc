// The list-directed scanner: one module-level state, the reading of lines, separators and value
// texts (list_scanner.cpp), and the conversion of values into items (list_values.cpp).
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

namespace nuvex::runtime::list {

// Buffer sizes in bytes and value lengths in characters.
constexpr std::size_t kLineBufferSize = 256;  // one line or piece of a line, newline and NUL
constexpr std::size_t kSavedValueSize = 80;   // the value a repeat factor applies to, and NUL
constexpr std::size_t kSavedValueLength = kSavedValueSize - 1;
constexpr std::size_t kNumericValueLength = 35;  // characters of a numeric or logical value kept
constexpr std::size_t kComplexPartLength = 34;   // characters of either part of a complex value
constexpr std::size_t kUnlimited = SIZE_MAX;     // "s" items: the whole value

struct Scanner {
  char line[kLineBufferSize];
  const char* position;      // next input character, in `line` or in the caller's string
  std::FILE* stream;         // null while scanning a string
  std::int32_t status;       // 0 or the SCANLST_* code that stopped the scan
  std::int32_t repeatCount;  // items still to receive `saved`
  char saved[kSavedValueSize];
  bool savedIsComplex;  // `complexResult` holds the saved value converted as a complex constant
  double complexResult[2];
};

Scanner& scanner();

// Records the first error of a scan; later ones do not replace it.
void raiseStatus(std::int32_t code);

// Starts a scan of a NUL-terminated string.
void beginStringScan(const char* text);
// Starts a scan of a stream by reading its next line.
void beginStreamScan(std::FILE* stream);

char currentChar();
void advance();
// Consumes `c` when it is the next input character.
bool consumeIf(char c);

// Steps over blanks, tabs and line ends, reading further lines of a stream.
void skipWhiteSpace();
// Steps over blanks and tabs within the current line.
void skipBlanks();
// "r*" before a value: r (clamped to the 32-bit range), or 1 when there is no repeat factor.
std::int32_t readRepeatFactor();
// An unquoted value text of at most `maxLength` characters into `destination` (NUL-terminated);
// the rest of the value is consumed.
void readUnquotedText(char* destination, std::size_t maxLength);

// Reads one value into `destination` (room for maxLength characters and a NUL). With `keep` a
// null value leaves the destination unchanged; a slash always empties it.
void readValue(char* destination, std::size_t maxLength, bool keep);

// The next value read where it lies, for a conversion that needs no copy: true, with the value
// text in [begin, end), when it is unquoted, of at most `maxLength` characters and not preceded
// by a repeat factor (a pending one included). Consumes only white space before the value.
bool peekPlainValue(std::size_t maxLength, const char*& begin, const char*& end);
// Consumes the value that peekPlainValue found, as readValue would have.
void finishPlainValue(const char* end);

// A conversion of the control string: "%", optional "A", optional size letter, letter.
struct Conversion {
  bool array = false;
  char size = '\0';
  char letter = '\0';
};

enum class ItemArguments { kNone, kAddress, kAddressAndLength };

// Parses a conversion whose "%" lies just before `cursor`; false when the control string ends
// first. Advances `cursor` past the conversion.
bool parseConversion(const char*& cursor, Conversion& conversion);
// The arguments that follow the element count (if any) for a conversion letter.
ItemArguments itemArguments(char letter);

}  // namespace nuvex::runtime::list
