// List-directed input on arbitrary bytes with arbitrary control strings.
// Input layout: one parameter byte, the control string up to the first NUL, then the input text
// (which may hold further NULs). The harness walks the control string with the scanner's own
// conversion parser and passes every item a buffer of exactly the size the item may fill, so
// any write past it is caught.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "nuvex/runtime/list_input.h"
#include "runtime/list_scanner.h"

namespace {

using nuvex::runtime::list::Conversion;
using nuvex::runtime::list::ItemArguments;
using nuvex::runtime::list::kSavedValueLength;

constexpr std::size_t kMaxSlots = 16;           // arguments passed to every call
constexpr std::size_t kMaxControlLength = 96;   // bytes of control string used
constexpr std::int64_t kMaxCount = 5;           // elements of an array item
constexpr std::int64_t kMaxElementLength = 12;  // bytes of a fixed-length character element

std::size_t elementSize(const Conversion& c) {
  const bool wide = c.size == 'l' || c.size == 'L';
  if (c.letter == 'd' || c.letter == 'i') return c.size == 'h' ? 2 : 4;
  if (c.letter == 'f') return wide ? 8 : 4;
  if (c.letter == 't') return wide ? 4 : 2;
  if (c.letter == 'z') return wide ? 16 : 8;
  return 1;  // b, c, T
}

// The argument list of a control string, with buffers for the items.
struct Plan {
  std::string control;
  std::vector<std::uintptr_t> slots;
  std::vector<std::vector<char>> buffers;

  void addBuffer(std::size_t size, char fill) {
    buffers.emplace_back(size == 0 ? 1 : size, fill);
    slots.push_back(reinterpret_cast<std::uintptr_t>(buffers.back().data()));
  }
};

Plan makePlan(const std::string& control, std::uint8_t parameter, std::size_t textLength) {
  Plan plan{control, {}, {}};
  plan.buffers.reserve(kMaxSlots);
  const char* cursor = control.c_str();
  for (unsigned index = 0;; ++index) {
    while (*cursor == ' ' || *cursor == '\t') ++cursor;
    const char* start = cursor;
    Conversion conversion;
    // the end, or a literal that ends the scan
    if (*cursor++ != '%' || !nuvex::runtime::list::parseConversion(cursor, conversion)) break;
    const ItemArguments arguments = nuvex::runtime::list::itemArguments(conversion.letter);
    const bool withLength = arguments == ItemArguments::kAddressAndLength;
    const bool withAddress = withLength || arguments == ItemArguments::kAddress;
    if (plan.slots.size() + conversion.array + withAddress + withLength > kMaxSlots) {
      plan.control.assign(control.c_str(), start);
      break;
    }
    const std::int64_t count =
        conversion.array ? static_cast<std::int64_t>((parameter + index * 3) % kMaxCount) : 1;
    if (conversion.array) plan.slots.push_back(static_cast<std::uintptr_t>(count));
    if (withLength) {
      const std::int64_t length = (parameter / 5 + index) % kMaxElementLength;
      plan.addBuffer(static_cast<std::size_t>(count * length), '#');  // unterminated old text
      plan.slots.push_back(static_cast<std::uintptr_t>(length));
    } else if (withAddress) {
      plan.addBuffer(conversion.letter == 's'
                         ? std::max(textLength, kSavedValueLength) + 1
                         : static_cast<std::size_t>(count) * elementSize(conversion),
                     '\0');
    }
  }
  return plan;
}

// sscanlst over `text` when `fromText`, else fscanlst on `stream`, with the plan's arguments.
void scan(const Plan& plan, const std::string& control, bool fromText, const std::string& text,
          FILE* stream) {
  std::uintptr_t s[kMaxSlots] = {};
  std::copy(plan.slots.begin(), plan.slots.end(), s);
  const char* c = control.c_str();
  if (fromText) {
    sscanlst(text.c_str(), c, s[0], s[1], s[2], s[3], s[4], s[5], s[6], s[7], s[8], s[9], s[10],
             s[11], s[12], s[13], s[14], s[15]);
  } else {
    fscanlst(stream, c, s[0], s[1], s[2], s[3], s[4], s[5], s[6], s[7], s[8], s[9], s[10], s[11],
             s[12], s[13], s[14], s[15]);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  const std::string input(reinterpret_cast<const char*>(data + 1), size - 1);
  const std::size_t separator = input.find('\0');
  const std::string control = input.substr(0, std::min(separator, kMaxControlLength));
  std::string text = separator == std::string::npos ? "" : input.substr(separator + 1);
  const Plan plan = makePlan(control, data[0], text.size());
  scan(plan, plan.control, true, text, nullptr);
  scanlst_status();
  FILE* stream = fmemopen(text.data(), text.size(), "r");
  scan(plan, plan.control, false, text, stream);
  // Go on in the same stream: once after the previous read, once with a fresh line.
  scan(plan, "%+" + plan.control, false, text, stream);
  scan(plan, plan.control, false, text, stream);
  if (stream != nullptr) std::fclose(stream);
  return 0;
}
