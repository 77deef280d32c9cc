// Input fields of any content under the I, F, E, D, G, L, Z, O, A and Q descriptors.
//
// The descriptor (letter, width, precision, exponent width, a BZ or scale prefix), the item kind
// and PAD come from the end of the input; the rest is the record, NUL bytes and all. The real
// field conversion is also driven directly with the raw bytes.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "nuvex/host.h"
#include "nuvex/runtime.h"
#include "runtime/input_editing.h"
#include "runtime/statements_internal.h"

namespace {

constexpr char kLetters[] = "IFEDGLZOAQBX";
constexpr const char* kPrefixes[] = {"", "BZ,", "BN,", "2P,", "-3P,", "SP,", "1X,", "T3,"};
constexpr int kMaxWidth = 90;  // beyond the kept length of a field
constexpr int kMaxDigits = 30;
constexpr size_t kStringRoom = kMaxWidth + 1;

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

void readItem(int kind) {
  switch (kind) {
    case 0: {
      int32_t value;
      readfmt(UNIT_INTERNAL, "%d", &value);
      break;
    }
    case 1: {
      int16_t value;
      readfmt(UNIT_INTERNAL, "%hd", &value);
      break;
    }
    case 2: {
      int8_t value;
      readfmt(UNIT_INTERNAL, "%c", &value);
      break;
    }
    case 3: {
      double value;
      readfmt(UNIT_INTERNAL, "%lf", &value);
      break;
    }
    case 4: {
      float value;
      readfmt(UNIT_INTERNAL, "%f", &value);
      break;
    }
    case 5: {
      int32_t value;
      readfmt(UNIT_INTERNAL, "%lt", &value);
      break;
    }
    case 6: {
      char text[7];
      readfmt(UNIT_INTERNAL, "%S", text, 7);
      break;
    }
    default: {
      char text[kStringRoom + 256];
      readfmt(UNIT_INTERNAL, "%s", text);
      break;
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  f_diagnostics = std::fopen("/dev/null", "w");
  f77ini();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
  FuzzedDataProvider data(bytes, size);
  std::string format = descriptorFormat(data);
  const int kind = data.ConsumeIntegralInRange(0, 7);
  const bool pad = data.ConsumeBool();
  const int items = data.ConsumeIntegralInRange(1, 3);
  std::string record = data.ConsumeRemainingBytesAsString();
  if (record.empty()) record = " ";
  if (record.size() > 256) record.resize(256);

  nuvex::runtime::input::convertRealField(record, format[1], static_cast<int32_t>(record.size()));

  // The record and its NUL, then room for nothing more: reversion must stop at the bound.
  std::vector<char> storage(record.begin(), record.end());
  storage.push_back('\0');
  nuvex::runtime::setInternalStorageEnd(storage.data() + storage.size());
  try {
    begin_read_internal(storage.data(), 0, static_cast<uint32_t>(record.size() - 1),
                        format.c_str());
    if (pad) f_unit(UNIT_INTERNAL)->mode |= UNIT_MODE_PAD;
    for (int i = 0; i < items; ++i) readItem(kind);
  } catch (const CCalcAbortException&) {
    // A fatal runtime error (a character item of limit 0 cannot occur here) ends the statement.
  }
  nuvex::runtime::setInternalStorageEnd(nullptr);
  return 0;
}
