// Field rules of formatted input: each reads one item from the unit's current record under the
// data edit descriptor just fetched from the FORMAT.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "nuvex/runtime/format_types.h"
#include "nuvex/runtime/units.h"

namespace nuvex::runtime::input {

// Kept lengths of a collected field: reals leave room in their work text for what normalising
// inserts (the point and the exponent letter).
inline constexpr size_t kRealFieldKept = 78;
inline constexpr size_t kOtherFieldKept = 79;

// Runs the format walk to the item's descriptor. False when the statement has already failed
// (iostat non-zero), in which case the item takes the value of an empty field.
bool startItem(unit_record* unit, edit_descriptor* descriptor);

// The characters of a field as the collection rule keeps them (at most kOtherFieldKept).
class Field {
 public:
  bool empty() const { return size_ == 0; }
  std::size_t size() const { return size_; }
  std::size_t room() const { return kOtherFieldKept - size_; }
  char operator[](std::size_t i) const { return text_[i]; }
  std::string_view view() const { return {text_, size_}; }
  void append(char c) { text_[size_++] = c; }
  // For collection loops that keep the size in a register: the storage, then the new size.
  char* storage() { return text_; }
  void resize(std::size_t size) { size_ = size; }

 private:
  char text_[kOtherFieldKept];
  std::size_t size_ = 0;
};

// Collects a field of `width` positions, keeping at most `kept` (<= kOtherFieldKept) characters.
void collectField(unit_record* unit, int32_t width, std::size_t kept, Field& field);

// Character rule into dest. limit > 0: at most limit characters; limit < 0: no limit (A without
// a width then stops at the end of the record); limit 0 is fatal. False when dest was left as it
// was because the statement had already failed.
bool readCharacters(unit_record* unit, edit_descriptor* descriptor, char* dest, int64_t limit);

// Integer rule for an item of `size` bytes (1, 2 or 4); the value before truncation to the size.
uint64_t readInteger(unit_record* unit, edit_descriptor* descriptor, int size);

// Logical rule: 1 true, 0 false, or a Q count.
uint64_t readLogical(unit_record* unit, edit_descriptor* descriptor);

// Real rule (D, E, F, G).
double readReal(unit_record* unit, edit_descriptor* descriptor);

// The conversion of a collected real field: its value, and whether it is malformed.
struct RealField {
  double value;
  bool malformed;
  bool exponent;  // an exponent was given, so the scale factor does not apply
};
// `field` holds at most kRealFieldKept characters (the rest is not looked at).
RealField convertRealField(std::string_view field, char code, int32_t digits);

}  // namespace nuvex::runtime::input
