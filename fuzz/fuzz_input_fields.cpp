// Input fields of any content under the I, F, E, D, G, L, Z, O, A and Q descriptors.
//
// The descriptor (letter, width, precision, exponent width, a BZ or scale prefix), the item kind
// and PAD come from the end of the input; the rest is the record, NUL bytes and all. The real
// field conversion is also driven directly with the raw bytes, and the decimal conversion of
// input texts is checked against strtod bit for bit.
#include <cstring>

#include "fuzz_support.h"
#include "runtime/decimal_text.h"
#include "runtime/input_editing.h"

namespace {

constexpr char kLetters[] = "IFEDGLZOAQBX";
constexpr const char* kPrefixes[] = {"", "BZ,", "BN,", "2P,", "-3P,", "SP,", "1X,", "T3,"};
constexpr int kMaxWidth = 90;  // beyond the kept length of a field
constexpr int kMaxDigits = 30;
constexpr size_t kMaxRecordLength = 256;

std::string descriptorFormat(FuzzedDataProvider& data) {
  std::string format = "(";
  format += kPrefixes[data.ConsumeIntegralInRange<size_t>(0, std::size(kPrefixes) - 1)];
  format += kLetters[data.ConsumeIntegralInRange<size_t>(0, sizeof kLetters - 2)];
  if (data.ConsumeBool()) format += std::to_string(data.ConsumeIntegralInRange(0, kMaxWidth));
  if (data.ConsumeBool())
    format += "." + std::to_string(data.ConsumeIntegralInRange(0, kMaxDigits));
  if (data.ConsumeBool()) format += "E" + std::to_string(data.ConsumeIntegralInRange(0, 4));
  return format + ")";
}

// The characters of the record that can make up a decimal text, as the input rules build them:
// the fast conversion must give strtod's double for every such text.
void checkDecimalConversion(const std::string& record) {
  constexpr size_t kMaxText = 120;
  std::string text;
  for (char c : record) {
    if (c != '\0' && std::strchr("0123456789.eE+-", c) != nullptr && text.size() < kMaxText) {
      text += c;
    }
  }
  const double fast = nuvex::runtime::decimalValue(text.c_str(), text.size());
  const double reference = std::strtod(text.c_str(), nullptr);
  if (std::memcmp(&fast, &reference, sizeof fast) != 0) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  nuvex::fuzz::quietRuntime();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
  FuzzedDataProvider data(bytes, size);
  std::string format = descriptorFormat(data);
  const int kind = data.ConsumeIntegralInRange(0, nuvex::fuzz::kReadItemKinds - 1);
  const bool pad = data.ConsumeBool();
  const int items = data.ConsumeIntegralInRange(1, 3);
  std::string record = data.ConsumeRemainingBytesAsString();
  if (record.empty()) record = " ";
  if (record.size() > kMaxRecordLength) record.resize(kMaxRecordLength);

  nuvex::runtime::input::convertRealField(record, format[1], static_cast<int32_t>(record.size()));
  checkDecimalConversion(record);

  // One record and its NUL, then room for nothing more: reversion must stop at the bound.
  nuvex::fuzz::guarded([&] {
    nuvex::fuzz::BoundedInternalFile file(static_cast<int>(record.size()), 1, record);
    file.beginRead(format, pad);
    for (int i = 0; i < items; ++i) nuvex::fuzz::readItem(kind, data);
  });
  return 0;
}
