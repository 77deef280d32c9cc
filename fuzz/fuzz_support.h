// Harness pieces shared by the FORMAT fuzz targets: a quiet runtime, a bounded internal file,
// the guard against fatal runtime errors, the split of an input into FORMAT text and data, and
// the READ items of every conversion kind.
#pragma once

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "nuvex/host.h"
#include "nuvex/runtime.h"

namespace nuvex::fuzz {

constexpr int kMaxFormatLength = 200;
constexpr size_t kStringRoom = 4096 + 300 + 1;  // the largest capped width plus a whole record

// The diagnostics texts are not what the targets look at: they go nowhere.
inline void quietRuntime() {
  f_diagnostics = std::fopen("/dev/null", "w");
  f77ini();
}

// `records` internal records of `length` columns, each followed by its NUL, filled from
// `contents`. The storage is heap-allocated to its exact size and its record count handed to
// the bounded set-ups, so a walk past the last record is caught by the runtime or by the
// sanitizer.
class BoundedInternalFile {
 public:
  BoundedInternalFile(int length, int records, const std::string& contents = "")
      : last_(static_cast<uint32_t>(length - 1)),
        records_(static_cast<uint32_t>(records)),
        bytes_(size_t(length + 1) * records, '\0') {
    for (size_t i = 0; i < contents.size() && i < bytes_.size(); ++i) {
      if ((i + 1) % size_t(length + 1) != 0) bytes_[i] = contents[i];
    }
  }

  size_t size() const { return bytes_.size(); }
  void beginRead(const std::string& format, bool pad) {
    begin_read_internal_bounded(bytes_.data(), 0, last_, records_, format.c_str());
    if (pad) f_unit(UNIT_INTERNAL)->mode |= UNIT_MODE_PAD;
  }
  void beginWrite(const std::string& format) {
    begin_write_internal_bounded(bytes_.data(), 0, last_, records_, format.c_str());
  }

 private:
  uint32_t last_;
  uint32_t records_;
  std::vector<char> bytes_;
};

// A fatal runtime error ends the calculation; the next input starts a new statement.
template <typename Statement>
void guarded(Statement statement) {
  try {
    statement();
  } catch (const CCalcAbortException&) {
  }
}

// The FORMAT text comes from the front of the input, its length from the end. The runtime walks
// the text in place, so it must outlive the statement.
inline std::string consumeFormat(FuzzedDataProvider& data) {
  return data.ConsumeBytesAsString(data.ConsumeIntegralInRange(0, kMaxFormatLength));
}

constexpr int kReadItemKinds = 12;

// One READ item list of the given kind; a %S item takes its length from the data when there is
// any left (length 1 is the fatal limit 0).
inline void readItem(int kind, FuzzedDataProvider& data) {
  int32_t ints[4];
  int16_t shorts[2];
  int8_t byte;
  double doubles[4];
  float floats[2];
  std::vector<char> text(kStringRoom);
  switch (kind) {
    case 0:
      readfmt(UNIT_INTERNAL, "%d", ints);
      break;
    case 1:
      readfmt(UNIT_INTERNAL, "%hd %c", shorts, &byte);
      break;
    case 2:
      readfmt(UNIT_INTERNAL, "%lf %f", doubles, floats);
      break;
    case 3:
      readfmt(UNIT_INTERNAL, "%lt %t %T", ints, shorts, &byte);
      break;
    case 4: {
      int size = data.remaining_bytes() > 0 ? data.ConsumeIntegralInRange(1, 40) : 7;
      readfmt(UNIT_INTERNAL, "%S", text.data(), size);
      break;
    }
    case 5:
      readfmt(UNIT_INTERNAL, "%s", text.data());
      break;
    case 6:
      readfmt(UNIT_INTERNAL, "%Ad", int64_t{4}, ints);
      break;
    case 7:
      readfmt(UNIT_INTERNAL, "%z %Alz", floats, int64_t{2}, doubles);
      break;
    case 8:
      readfmt(UNIT_INTERNAL, "%AS", int64_t{3}, text.data(), 5);
      break;
    case 9:
      readfmt(UNIT_INTERNAL, "%q %");
      break;
    case 10:
      readfmt(UNIT_INTERNAL, "%Ahd\n", int64_t{2}, shorts);
      break;
    default:
      readfmt(UNIT_INTERNAL, "%As", int64_t{2}, text.data());
      break;
  }
}

}  // namespace nuvex::fuzz
