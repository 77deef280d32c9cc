// FORMAT texts of any content driving formatted READ statements (and the output side of the
// format walk) on an internal file.
//
// The input is split by FuzzedDataProvider: record length and count, PAD and the item kinds come
// from its end, the FORMAT text and the records from its front. Numbers in the FORMAT are capped
// so that one input stays cheap: a width is the number of characters an unlimited string item
// may receive.
#include <cctype>

#include "fuzz_support.h"

namespace {

constexpr int kMaxRecordLength = 160;
constexpr int kMaxRecords = 6;
constexpr int kMaxItems = 48;
constexpr long kMaxFormatNumber = 4096;

// Digit runs above kMaxFormatNumber make the input too expensive to be worth running.
bool numbersWithinCap(const std::string& format) {
  long value = 0;
  for (char c : format) {
    value = std::isdigit(static_cast<unsigned char>(c)) ? value * 10 + (c - '0') : 0;
    if (value > kMaxFormatNumber) return false;
  }
  return true;
}

// The output side of the walk without the editing: each field just moves the cursor on.
void walkForOutput(FuzzedDataProvider& data, unit_record* unit) {
  for (int i = 0; i < kMaxItems && data.remaining_bytes() > 0 && unit->iostat == 0; ++i) {
    if (unit->fresh) clear_record(unit);
    advance_format(unit, 0, 1);
    edit_descriptor descriptor;
    next_edit_descriptor(unit, &descriptor);
    if (unit->fresh) clear_record(unit);
    int64_t room = unit->record_end - unit->cursor;
    unit->cursor += descriptor.width < room ? descriptor.width : room;
    data.ConsumeIntegral<uint8_t>();
  }
  if (unit->fresh) clear_record(unit);
  advance_format(unit, 1, 1);
}

void runStatement(FuzzedDataProvider& data) {
  const int length = data.ConsumeIntegralInRange(1, kMaxRecordLength);
  const int records = data.ConsumeIntegralInRange(1, kMaxRecords);
  const bool pad = data.ConsumeBool();
  const bool writing = data.ConsumeBool();
  std::string format = nuvex::fuzz::consumeFormat(data);
  if (!numbersWithinCap(format)) return;
  const size_t size = static_cast<size_t>(length + 1) * records;
  nuvex::fuzz::BoundedInternalFile file(length, records, data.ConsumeBytesAsString(size));
  if (writing) {
    file.beginWrite(format);
    walkForOutput(data, f_unit(UNIT_INTERNAL));
    return;
  }
  file.beginRead(format, pad);
  for (int i = 0; i < kMaxItems && data.remaining_bytes() > 0; ++i) {
    nuvex::fuzz::readItem(data.ConsumeIntegralInRange(0, nuvex::fuzz::kReadItemKinds - 1), data);
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  nuvex::fuzz::quietRuntime();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
  FuzzedDataProvider data(bytes, size);
  nuvex::fuzz::guarded([&] { runStatement(data); });
  return 0;
}
