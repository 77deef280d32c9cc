// List-directed input on arbitrary bytes with arbitrary control strings.
// Input layout: one parameter byte, the control string up to the first NUL, then the input text
// (which may hold further NULs). The harness walks the control string with the scanner's own
// conversion parser and passes every item a buffer of exactly the size the item may fill, so
// any write past it is caught.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "nuvex/runtime/list_input.h"
#include "runtime/list_scanner.h"

namespace {

using nuvex::runtime::list::Conversion;
using nuvex::runtime::list::ItemArguments;
using nuvex::runtime::list::kSavedValueLength;

constexpr std::size_t kMaxSlots = 24;           // arguments passed to every call
constexpr std::size_t kMaxControlLength = 96;   // bytes of control string used
constexpr std::int64_t kMaxCount = 5;           // elements of an array item
constexpr std::int64_t kMaxElementLength = 12;  // bytes of a fixed-length character element

std::size_t elementSize(const Conversion& c) {
  const bool wide = c.size == 'l' || c.size == 'L';
  switch (c.letter) {
    case 'd':
    case 'i':
      return c.size == 'h' ? 2 : 4;
    case 'f':
      return wide ? 8 : 4;
    case 't':
      return wide ? 4 : 2;
    case 'z':
      return wide ? 16 : 8;
    default:
      return 1;  // b, c, T
  }
}

// The argument list of a control string, with buffers for the items.
struct Plan {
  std::string control;
  std::vector<std::uintptr_t> slots;
  std::vector<std::vector<char>> buffers;

  bool room(std::size_t needed) const { return slots.size() + needed <= kMaxSlots; }
  void addBuffer(std::size_t size, char fill) {
    buffers.emplace_back(size == 0 ? 1 : size, fill);
    slots.push_back(reinterpret_cast<std::uintptr_t>(buffers.back().data()));
  }
};

Plan makePlan(const std::string& control, std::uint8_t parameter, std::size_t textLength) {
  Plan plan;
  plan.buffers.reserve(kMaxSlots);
  const char* cursor = control.c_str();
  const std::size_t stringSize = std::max(textLength, kSavedValueLength) + 1;
  for (unsigned index = 0;; ++index) {
    while (*cursor == ' ' || *cursor == '\t') ++cursor;
    const char* start = cursor;
    if (*cursor != '%') break;  // end, or a literal that ends the scan
    ++cursor;
    Conversion conversion;
    if (!nuvex::runtime::list::parseConversion(cursor, conversion)) break;
    const ItemArguments arguments = nuvex::runtime::list::itemArguments(conversion.letter);
    const std::size_t needed =
        (conversion.array ? 1 : 0) + (arguments == ItemArguments::kAddressAndLength ? 2
                                      : arguments == ItemArguments::kAddress        ? 1
                                                                                    : 0);
    if (!plan.room(needed)) {
      plan.control.assign(control.c_str(), start);
      return plan;
    }
    const std::int64_t count =
        conversion.array ? static_cast<std::int64_t>((parameter + index * 3) % kMaxCount) : 1;
    if (conversion.array) plan.slots.push_back(static_cast<std::uintptr_t>(count));
    if (arguments == ItemArguments::kAddressAndLength) {
      const std::int64_t length = (parameter / 5 + index) % kMaxElementLength;
      plan.addBuffer(static_cast<std::size_t>(count * length), '#');  // unterminated old text
      plan.slots.push_back(static_cast<std::uintptr_t>(length));
    } else if (arguments == ItemArguments::kAddress) {
      plan.addBuffer(conversion.letter == 's'
                         ? stringSize
                         : static_cast<std::size_t>(count) * elementSize(conversion),
                     '\0');
    }
  }
  plan.control = control;
  return plan;
}

template <typename Call>
void callWithSlots(const Plan& plan, Call call) {
  std::uintptr_t s[kMaxSlots] = {};
  std::copy(plan.slots.begin(), plan.slots.end(), s);
  call(s);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  const std::uint8_t parameter = data[0];
  const char* rest = reinterpret_cast<const char*>(data + 1);
  const std::size_t restSize = size - 1;
  const char* separator = static_cast<const char*>(std::memchr(rest, '\0', restSize));
  const std::size_t controlLength =
      std::min(separator != nullptr ? static_cast<std::size_t>(separator - rest) : restSize,
               kMaxControlLength);
  const std::string control(rest, controlLength);
  std::string text;
  if (separator != nullptr) text.assign(separator + 1, rest + restSize);

  const Plan plan = makePlan(control, parameter, text.size());
  const char* c = plan.control.c_str();

  callWithSlots(plan, [&](const std::uintptr_t* s) {
    sscanlst(text.c_str(), c, s[0], s[1], s[2], s[3], s[4], s[5], s[6], s[7], s[8], s[9], s[10],
             s[11], s[12], s[13], s[14], s[15], s[16], s[17], s[18], s[19], s[20], s[21], s[22],
             s[23]);
  });
  scanlst_status();

  FILE* stream = fmemopen(text.data(), text.size(), "r");
  callWithSlots(plan, [&](const std::uintptr_t* s) {
    fscanlst(stream, c, s[0], s[1], s[2], s[3], s[4], s[5], s[6], s[7], s[8], s[9], s[10], s[11],
             s[12], s[13], s[14], s[15], s[16], s[17], s[18], s[19], s[20], s[21], s[22], s[23]);
  });
  // Go on in the same stream: once after the previous read, once with a fresh line.
  const std::string continued = "%+" + plan.control;
  callWithSlots(plan, [&](const std::uintptr_t* s) {
    fscanlst(stream, continued.c_str(), s[0], s[1], s[2], s[3], s[4], s[5], s[6], s[7], s[8], s[9],
             s[10], s[11], s[12], s[13], s[14], s[15], s[16], s[17], s[18], s[19], s[20], s[21],
             s[22], s[23]);
    fscanlst(stream, c, s[0], s[1], s[2], s[3], s[4], s[5], s[6], s[7], s[8], s[9], s[10], s[11],
             s[12], s[13], s[14], s[15], s[16], s[17], s[18], s[19], s[20], s[21], s[22], s[23]);
  });
  if (stream != nullptr) std::fclose(stream);
  return 0;
}
