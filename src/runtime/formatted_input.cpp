// Formatted READ: the three entries and the driver that walks the conversion string, handing
// each item (or each element of an array) to its field rule.
#include "nuvex/runtime/formatted_input.h"

#include <cfloat>
#include <cmath>
#include <cstdarg>
#include <cstring>

#include "nuvex/runtime/diagnostics.h"
#include "nuvex/runtime/statements.h"
#include "nuvex/runtime/strings.h"
#include "nuvex/runtime/units.h"
#include "runtime/conversion_string.h"
#include "runtime/input_editing.h"
#include "runtime/io_status.h"

using namespace nuvex::runtime;

namespace {

// The READ in progress and the descriptor of its current item.
unit_record* currentReadUnit = nullptr;
edit_descriptor currentReadDescriptor{};

template <typename T>
void storeAt(void* base, int64_t index, T value) {
  std::memcpy(static_cast<char*>(base) + index * static_cast<int64_t>(sizeof(T)), &value,
              sizeof(T));
}

// A float item cannot hold every double: out of range becomes infinite rather than undefined.
float narrowToFloat(double value) {
  if (value > FLT_MAX) return HUGE_VALF;
  if (value < -FLT_MAX) return -HUGE_VALF;
  return static_cast<float>(value);
}

uint64_t integerItem(unit_record* unit, int size) {
  if (!input::startItem(unit, &currentReadDescriptor)) return 0;
  return input::readInteger(unit, &currentReadDescriptor, size);
}

uint64_t logicalItem(unit_record* unit) {
  if (!input::startItem(unit, &currentReadDescriptor)) return 0;
  return input::readLogical(unit, &currentReadDescriptor);
}

double realItem(unit_record* unit) {
  if (!input::startItem(unit, &currentReadDescriptor)) return 0.0;
  return input::readReal(unit, &currentReadDescriptor);
}

void readStrings(unit_record* unit, char* base, int64_t elements, int32_t size) {
  int64_t limit = static_cast<int64_t>(size) - 1;
  for (int64_t i = 0; i < elements; ++i) {
    char* element = base + i * static_cast<int64_t>(size);
    if (input::startItem(unit, &currentReadDescriptor) &&
        input::readCharacters(unit, &currentReadDescriptor, element, limit)) {
      f_pad(element, static_cast<int32_t>(limit));
    }
  }
}

void readConversion(unit_record* unit, const Conversion& c, int64_t elements, va_list* args) {
  switch (c.letter) {
    case 'S': {
      char* base = va_arg(*args, char*);
      int32_t size = va_arg(*args, int);
      readStrings(unit, base, elements, size);
      return;
    }
    case 's': {
      char* dest = va_arg(*args, char*);
      if (input::startItem(unit, &currentReadDescriptor)) {
        input::readCharacters(unit, &currentReadDescriptor, dest, -1);
      }
      return;
    }
    default:
      break;
  }
  void* base = va_arg(*args, void*);
  for (int64_t i = 0; i < elements; ++i) {
    switch (c.letter) {
      case 'T':
        storeAt(base, i, static_cast<int8_t>(logicalItem(unit)));
        break;
      case 't':
        if (isLong(c))
          storeAt(base, i, static_cast<int32_t>(logicalItem(unit)));
        else
          storeAt(base, i, static_cast<int16_t>(logicalItem(unit)));
        break;
      case 'c':
        storeAt(base, i, static_cast<int8_t>(integerItem(unit, 1)));
        break;
      case 'd':
      case 'i':
        if (isShort(c))
          storeAt(base, i, static_cast<int16_t>(integerItem(unit, 2)));
        else
          storeAt(base, i, static_cast<int32_t>(integerItem(unit, 4)));
        break;
      case 'f':
        if (isLong(c))
          storeAt(base, i, realItem(unit));
        else
          storeAt(base, i, narrowToFloat(realItem(unit)));
        break;
      case 'z':
        for (int64_t part = 2 * i; part < 2 * i + 2; ++part) {
          if (c.modifier == 'l')
            storeAt(base, part, realItem(unit));
          else
            storeAt(base, part, narrowToFloat(realItem(unit)));
        }
        break;
      default:
        return;
    }
  }
}

bool isKnownConversion(char letter) {
  switch (letter) {
    case 'S':
    case 's':
    case 'T':
    case 't':
    case 'c':
    case 'd':
    case 'i':
    case 'f':
    case 'z':
      return true;
    default:
      return false;
  }
}

int readItems(unit_record* unit, const char* conv, va_list* args) {
  if (conv == nullptr) return 0;
  int count = 0;
  for (const char* p = conv; *p != '\0';) {
    if (unit->iostat != 0) break;
    if (*p++ != '%') continue;
    const Conversion c = parseConversion(p);
    const int64_t elements = c.array ? va_arg(*args, int64_t) : 1;
    if (c.letter == '\0') break;
    if (isKnownConversion(c.letter)) readConversion(unit, c, elements, args);
    ++count;
  }
  return count;
}

// A unit number outside the entry's range ends the calculation.
bool acceptUnit(int unit, bool accepted) {
  if (!accepted) check_unit_number(unit);
  return accepted;
}

// The checks shared by the two statement-starting entries.
unit_record* startingUnit(int unit) {
  unit_record* record = f_unit(unit);
  if (record->action == UNIT_ACTION_WRITE) {
    record->iostat = kIostatReadOnWriteOnly;
    return nullptr;
  }
  currentReadUnit = record;
  return record;
}

// A statement-starting entry after its unit checks: `begin` positions the unit and takes the
// FORMAT, then the items of the conversion string are read.
template <typename Begin>
int readStatement(unit_record* unit, Begin begin, const char* conv, va_list* args) {
  if (unit == nullptr) return 0;
  begin();
  if (unit->iostat != 0) return 0;
  return readItems(unit, conv, args);
}

}  // namespace

extern "C" {

int readfmt_rec(int unit, int rec, const char* format, const char* conv, ...) {
  if (!acceptUnit(unit, isExternalUnit(unit))) return 0;
  const auto begin = [&] { begin_read_direct(unit, rec < 1 ? 0u : uint32_t(rec), format); };
  unit_record* record = startingUnit(unit);
  va_list args;
  va_start(args, conv);
  const int count = readStatement(record, begin, conv, &args);
  va_end(args);
  return count;
}

int readfmt_seq(int unit, const char* format, const char* conv, ...) {
  if (!acceptUnit(unit, isExternalUnit(unit) || unit == UNIT_STDIN)) return 0;
  const auto begin = [&] { begin_read_seq(unit, format); };
  unit_record* record = startingUnit(unit);
  va_list args;
  va_start(args, conv);
  const int count = readStatement(record, begin, conv, &args);
  va_end(args);
  return count;
}

int readfmt(int unit, const char* conv, ...) {
  unit_record* record = continuedStatementUnit(unit, UNIT_STDIN, "missing format in readfmt()");
  if (record == nullptr) return 0;
  currentReadUnit = record;
  va_list args;
  va_start(args, conv);
  int count = readItems(record, conv, &args);
  va_end(args);
  return count;
}

}  // extern "C"
