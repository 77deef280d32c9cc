// The conversion grammar shared by the binary packing routines and the unformatted reader:
// '%', an optional size letter, a conversion letter, and the byte widths of the fixed items.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "nuvex/host.h"

namespace nuvex::runtime {

inline constexpr char kConversionMark = '%';
inline constexpr char kSizeLong = 'l';        // doubles and two-double complexes
inline constexpr char kSizeShort = 'h';       // 16-bit integers
inline constexpr char kSizeLongDouble = 'L';  // refused for reals

// Blanks and tabs in conversion strings carry no meaning.
inline bool isIgnoredBlank(char c) {
  return c == ' ' || c == '\t';
}

inline const char* skipBlanks(const char* text) {
  while (isIgnoredBlank(*text)) ++text;
  return text;
}

// One conversion: its size letter (0 when none) and its letter (0 at the end of the string).
struct Conversion {
  char size;
  char letter;
};

// Reads the size letter and the conversion letter after '%'; advances past them, but never past
// the terminating NUL.
inline Conversion readConversion(const char*& cursor) {
  Conversion conversion{0, 0};
  if (*cursor == kSizeLong || *cursor == kSizeShort || *cursor == kSizeLongDouble) {
    conversion.size = *cursor++;
  }
  conversion.letter = *cursor;
  if (*cursor != '\0') ++cursor;
  return conversion;
}

inline bool isLongDoubleReal(Conversion c) {
  return c.letter == 'f' && c.size == kSizeLongDouble;
}
inline bool isByteBlock(Conversion c) {
  return c.letter == 'A' || c.letter == '&';
}

// Bytes of the items whose width the conversion fixes (bytes in the record).
struct FixedItemWidth {
  char letter;
  std::size_t plain;      // no size letter, or one that does not apply
  std::size_t withShort;  // size letter h
  std::size_t withLong;   // size letter l
};

inline constexpr FixedItemWidth kFixedItemWidths[] = {
    {'c', 1, 1, 1},   // one character
    {'d', 4, 2, 4},   // 32-bit integer, 16-bit with h
    {'i', 4, 2, 4},   // the same
    {'f', 4, 4, 8},   // float, double with l
    {'z', 8, 8, 16},  // two floats, two doubles with l
};

// The table above indexed by letter, in bytes, so that a record walk finds a width in one step
// from a table that stays in the cache.
struct ItemWidths {
  std::uint8_t plain, withShort, withLong;
};
inline constexpr auto kItemWidthsByLetter = [] {
  std::array<ItemWidths, 256> byLetter{};
  for (const FixedItemWidth& item : kFixedItemWidths) {
    byLetter[static_cast<unsigned char>(item.letter)] = {static_cast<std::uint8_t>(item.plain),
                                                         static_cast<std::uint8_t>(item.withShort),
                                                         static_cast<std::uint8_t>(item.withLong)};
  }
  return byLetter;
}();

// The record width of a fixed-width item, 0 for every other conversion.
inline std::size_t fixedItemWidth(Conversion c) {
  const ItemWidths& item = kItemWidthsByLetter[static_cast<unsigned char>(c.letter)];
  if (c.size == kSizeShort) return item.withShort;
  if (c.size == kSizeLong) return item.withLong;
  return item.plain;
}

// The text, source and line with which a routine refuses a long double conversion.
struct LongDoubleRefusal {
  const char* text;
  const char* file;
  int line;
};

inline constexpr int kLongDoubleRefusalCode = 1;

// The refusal goes to standard output and to the host. A host whose reportFailure returns lets
// the routine go on with the next character: the item is passed over, nothing else is lost.
inline void refuseLongDouble(const LongDoubleRefusal& refusal) {
  std::puts(refusal.text);
  DllExit(kLongDoubleRefusalCode, refusal.file, refusal.line);
}

}  // namespace nuvex::runtime
