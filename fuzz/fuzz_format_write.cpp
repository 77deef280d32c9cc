// FORMAT texts of any content driving formatted WRITE statements on an internal file.
//
// The input is split by FuzzedDataProvider: record length and count and the item kinds come from
// its end, the FORMAT text and the item values from its front. The internal file's storage is
// bounded and heap-allocated to its exact size, so any write past its records is caught.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "nuvex/host.h"
#include "nuvex/runtime.h"
#include "runtime/statements_internal.h"

namespace {

constexpr int kMaxRecordLength = 300;
constexpr int kMaxRecords = 4;
constexpr int kMaxItems = 64;
constexpr const char* kStrings[] = {"", "a", "abc", "a somewhat longer text of characters"};

void writeItem(FuzzedDataProvider& data) {
  switch (data.ConsumeIntegralInRange(0, 12)) {
    case 0:
      wrtfmt(UNIT_INTERNAL, "%d", data.ConsumeIntegral<int32_t>());
      break;
    case 1:
      wrtfmt(UNIT_INTERNAL, "%hd", int(data.ConsumeIntegral<int16_t>()));
      break;
    case 2:
      wrtfmt(UNIT_INTERNAL, "%lf", data.ConsumeFloatingPoint<double>());
      break;
    case 3:
      wrtfmt(UNIT_INTERNAL, "%f", data.ConsumeProbability<double>() * 2e6 - 1e6);
      break;
    case 4:
      wrtfmt(UNIT_INTERNAL, "%s", kStrings[data.ConsumeIntegralInRange(0, 3)]);
      break;
    case 5:
      wrtfmt(UNIT_INTERNAL, "%c", int(data.ConsumeIntegral<char>()));
      break;
    case 6:
      wrtfmt(UNIT_INTERNAL, "%t %T", int(data.ConsumeBool()), int(data.ConsumeBool()));
      break;
    case 7: {
      const int32_t values[] = {data.ConsumeIntegral<int32_t>(), -1, 0};
      wrtfmt(UNIT_INTERNAL, "%Ad", int64_t(3), values);
      break;
    }
    case 8: {
      const double values[] = {data.ConsumeFloatingPoint<double>(), 0.5};
      const float floats[] = {data.ConsumeFloatingPoint<float>(), -2.5f};
      wrtfmt(UNIT_INTERNAL, "%Alf %Af", int64_t(2), values, int64_t(2), floats);
      break;
    }
    case 9: {
      const int16_t shorts[] = {data.ConsumeIntegral<int16_t>(), 7};
      const char chars[] = {'x', data.ConsumeIntegral<char>()};
      wrtfmt(UNIT_INTERNAL, "%Ahd %Ac %Aht", int64_t(2), shorts, int64_t(2), chars, int64_t(2),
             shorts);
      break;
    }
    case 10:
      wrtfmt(UNIT_INTERNAL, "%z %q");
      break;
    case 11:
      wrtfmt(UNIT_INTERNAL, "\n");
      break;
    default:
      wrtfmt(UNIT_INTERNAL, "%As", int64_t(1), kStrings);  // refused: fatal
      break;
  }
}

void runStatement(FuzzedDataProvider& data) {
  const int length = data.ConsumeIntegralInRange(1, kMaxRecordLength);
  const int records = data.ConsumeIntegralInRange(1, kMaxRecords);
  std::string format = data.ConsumeBytesAsString(data.ConsumeIntegralInRange(0, 200));
  std::vector<char> storage(std::size_t(length + 1) * records);
  nuvex::runtime::setInternalStorageEnd(storage.data() + storage.size());
  begin_write_internal(storage.data(), 0, uint32_t(length - 1), format.c_str());
  for (int i = 0; i < kMaxItems && data.remaining_bytes() > 0; ++i) writeItem(data);
  wrtfmt(UNIT_INTERNAL, "\n");
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  f_diagnostics = std::fopen("/dev/null", "w");
  f77ini();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
  FuzzedDataProvider data(bytes, size);
  try {
    runStatement(data);
  } catch (const CCalcAbortException&) {
    // A fatal runtime error ends the calculation; the next input starts a new statement.
  }
  nuvex::runtime::setInternalStorageEnd(nullptr);
  return 0;
}
