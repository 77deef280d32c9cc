// FORMAT texts of any content driving formatted READ statements (and the output side of the
// format walk) on an internal file.
//
// The input is split by FuzzedDataProvider: record length and count, PAD and the item kinds come
// from its end, the FORMAT text and the records from its front. The internal file's storage is
// heap-allocated to its exact size and bounded, so a walk past its records is caught. Numbers in
// the FORMAT are capped so that one input stays cheap: a width is the number of characters an
// unlimited string item may receive.
#include <fuzzer/FuzzedDataProvider.h>

#include <cctype>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "nuvex/host.h"
#include "nuvex/runtime.h"
#include "runtime/statements_internal.h"

namespace {

constexpr int kMaxRecordLength = 160;
constexpr int kMaxRecords = 6;
constexpr int kMaxItems = 48;
constexpr int kMaxFormatLength = 200;
constexpr long kMaxFormatNumber = 4096;
constexpr size_t kStringRoom = kMaxFormatNumber + kMaxRecordLength + 1;

// Digit runs above kMaxFormatNumber make the input too expensive to be worth running.
bool numbersWithinCap(const std::string& format) {
  long value = 0;
  for (char c : format) {
    if (std::isdigit(static_cast<unsigned char>(c))) {
      value = value * 10 + (c - '0');
      if (value > kMaxFormatNumber) return false;
    } else {
      value = 0;
    }
  }
  return true;
}

void readItem(FuzzedDataProvider& data) {
  switch (data.ConsumeIntegralInRange(0, 11)) {
    case 0: {
      int32_t value;
      readfmt(UNIT_INTERNAL, "%d", &value);
      break;
    }
    case 1: {
      int16_t shortValue;
      int8_t byteValue;
      readfmt(UNIT_INTERNAL, "%hd %c", &shortValue, &byteValue);
      break;
    }
    case 2: {
      double value;
      float single;
      readfmt(UNIT_INTERNAL, "%lf %f", &value, &single);
      break;
    }
    case 3: {
      int32_t wide;
      int16_t narrow;
      int8_t tiny;
      readfmt(UNIT_INTERNAL, "%lt %t %T", &wide, &narrow, &tiny);
      break;
    }
    case 4: {
      int size = data.ConsumeIntegralInRange(1, 40);  // 1 is the fatal limit 0
      std::vector<char> text(size);
      readfmt(UNIT_INTERNAL, "%S", text.data(), size);
      break;
    }
    case 5: {
      std::vector<char> text(kStringRoom);
      readfmt(UNIT_INTERNAL, "%s", text.data());
      break;
    }
    case 6: {
      int32_t values[4];
      readfmt(UNIT_INTERNAL, "%Ad", int64_t{4}, values);
      break;
    }
    case 7: {
      float single[2];
      double pair[4];
      readfmt(UNIT_INTERNAL, "%z %Alz", single, int64_t{2}, pair);
      break;
    }
    case 8: {
      char names[3][5];
      readfmt(UNIT_INTERNAL, "%AS", int64_t{3}, &names[0][0], 5);
      break;
    }
    case 9:
      readfmt(UNIT_INTERNAL, "%q %");
      break;
    case 10: {
      int16_t shorts[2];
      readfmt(UNIT_INTERNAL, "%Ahd\n", int64_t{2}, shorts);
      break;
    }
    default: {
      std::vector<char> text(kStringRoom);
      readfmt(UNIT_INTERNAL, "%As", int64_t{2}, text.data());
      break;
    }
  }
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
  std::string format = data.ConsumeBytesAsString(data.ConsumeIntegralInRange(0, kMaxFormatLength));
  if (!numbersWithinCap(format)) return;
  std::vector<char> storage(static_cast<size_t>(length + 1) * records, '\0');
  std::string contents = data.ConsumeBytesAsString(storage.size());
  for (size_t i = 0; i < contents.size(); ++i) {
    if ((i + 1) % static_cast<size_t>(length + 1) != 0) storage[i] = contents[i];
  }
  nuvex::runtime::setInternalStorageEnd(storage.data() + storage.size());
  if (writing) {
    begin_write_internal(storage.data(), 0, uint32_t(length - 1), format.c_str());
    walkForOutput(data, f_unit(UNIT_INTERNAL));
    return;
  }
  begin_read_internal(storage.data(), 0, uint32_t(length - 1), format.c_str());
  if (pad) f_unit(UNIT_INTERNAL)->mode |= UNIT_MODE_PAD;
  for (int i = 0; i < kMaxItems && data.remaining_bytes() > 0; ++i) readItem(data);
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
