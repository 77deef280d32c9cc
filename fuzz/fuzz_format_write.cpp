// FORMAT texts of any content driving formatted WRITE statements on an internal file.
//
// The input is split by FuzzedDataProvider: record length and count and the item kinds come from
// its end, the FORMAT text and the item values from its front.
#include "fuzz_support.h"

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

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  nuvex::fuzz::quietRuntime();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
  FuzzedDataProvider data(bytes, size);
  nuvex::fuzz::guarded([&] {
    const int length = data.ConsumeIntegralInRange(1, kMaxRecordLength);
    nuvex::fuzz::BoundedInternalFile file(length, data.ConsumeIntegralInRange(1, kMaxRecords));
    const std::string format = nuvex::fuzz::consumeFormat(data);  // lives as long as the statement
    file.beginWrite(format);
    for (int i = 0; i < kMaxItems && data.remaining_bytes() > 0; ++i) writeItem(data);
    wrtfmt(UNIT_INTERNAL, "\n");
  });
  return 0;
}
