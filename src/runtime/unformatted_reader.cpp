// Reading sequential unformatted files: records framed by a 32-bit little-endian length before
// and after the data, read into one runtime-owned buffer and handed out item by item.
//
// The files come from outside, so nothing in a record is trusted: a length word may be garbage.
// The buffer size is computed in 64 bits, a record longer than what is left of a seekable file
// is refused before anything is allocated, and a stream that cannot tell its size (a pipe) gets
// its buffer grown only as the data actually arrives.
#include "runtime/unformatted_reader.h"

#include <algorithm>
#include <climits>
#include <cstdarg>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <optional>

#include "nuvex/runtime/binary.h"
#include "nuvex/runtime/diagnostics.h"
#include "runtime/allocation.h"
#include "runtime/binary_items.h"

namespace {

using nuvex::runtime::Conversion;
using nuvex::runtime::ItemArguments;
using nuvex::runtime::kRecordBufferInitialSize;

constexpr const char* kAllocationFailure = "unable to allocate buffer for fscanunf()";
constexpr const char* kGrowthFailure = "unable to reallocate fscanunf() buffer for large record";
constexpr const char* kShrinkFailure = "unable to downsize fscanunf() buffer";
constexpr const char* kContinuationError =
    "ERROR: fscanunf() read continuation without prior read\n";
constexpr nuvex::runtime::LongDoubleRefusal kReaderRefusal{
    "fscanunf() compiled withOUT long double support", "calc/VOKS/FSCANUNF", 193};

constexpr std::size_t kLengthWordBytes = 4;  // each record length word, little-endian
constexpr unsigned kBitsPerByte = 8;
constexpr char kContinuation[] = "%+";  // continue in the current record
constexpr std::size_t kContinuationLength = 2;
constexpr char kCountedNothing = '+';  // "%+" inside a control string
constexpr int kScanRefused = -2;       // null stream, continuation on another stream
constexpr int kSkipFailed = -1;

struct ReaderState {
  char* buffer = nullptr;
  std::size_t size = 0;  // bytes allocated
  const char* cursor = nullptr;
  const char* end = nullptr;
  FILE* lastStream = nullptr;
  std::uint32_t lastLength = 0;
};

ReaderState reader;

// Whatever happens to a read, a later "%+" must find an empty record, never freed memory.
void forgetRecord() {
  reader.cursor = reader.end = reader.buffer;
}

void allocateBufferOnFirstUse() {
  if (reader.buffer != nullptr) return;
  reader.buffer = static_cast<char*>(nuvex::runtime::allocate(kRecordBufferInitialSize));
  if (reader.buffer == nullptr) f_mem_error(kAllocationFailure);
  reader.size = kRecordBufferInitialSize;
  forgetRecord();
}

// On failure the old buffer stays allocated and the calculation is aborted.
void resizeBuffer(std::size_t size, const char* failure) {
  forgetRecord();
  void* resized = nuvex::runtime::reallocate(reader.buffer, size);
  if (resized == nullptr) f_mem_error(failure);
  reader.buffer = static_cast<char*>(resized);
  reader.size = size;
  forgetRecord();
}

bool readLengthWord(FILE* stream, std::uint32_t& length) {
  unsigned char bytes[kLengthWordBytes];
  if (std::fread(bytes, 1, sizeof bytes, stream) != sizeof bytes) return false;
  length = 0;
  for (std::size_t i = kLengthWordBytes; i-- > 0;) length = (length << kBitsPerByte) | bytes[i];
  return true;
}

bool readExactly(FILE* stream, char* into, std::size_t count) {
  return std::fread(into, 1, count, stream) == count;
}

// Bytes between the current position and the end of a seekable stream; nothing for a stream
// that cannot tell (pipes, terminals).
std::optional<std::uint64_t> bytesLeftIn(FILE* stream) {
  const long here = std::ftell(stream);
  if (here < 0 || std::fseek(stream, 0, SEEK_END) != 0) return std::nullopt;
  const long last = std::ftell(stream);
  if (std::fseek(stream, here, SEEK_SET) != 0 || last < here) return std::nullopt;
  return static_cast<std::uint64_t>(last - here);
}

std::size_t grownSize(std::size_t needed) {
  return reader.size > needed / 2 ? needed : reader.size * 2;
}

// A stream of unknown size: the buffer grows by doubling, and only when the bytes read so far
// have filled it, so a false length costs no more memory than the data that is really there.
bool readGrowingWithData(FILE* stream, std::size_t needed) {
  std::size_t have = 0;
  while (have < needed) {
    if (have == reader.size) resizeBuffer(grownSize(needed), kGrowthFailure);
    const std::size_t wanted = std::min(needed, reader.size) - have;
    if (!readExactly(stream, reader.buffer + have, wanted)) return false;
    have += wanted;
  }
  return true;
}

bool readLargeRecord(FILE* stream, std::uint64_t needed) {
  if (needed > SIZE_MAX) f_mem_error(kGrowthFailure);
  const std::optional<std::uint64_t> left = bytesLeftIn(stream);
  if (!left.has_value()) return readGrowingWithData(stream, static_cast<std::size_t>(needed));
  if (*left < needed) {
    std::fseek(stream, 0, SEEK_END);  // as far as a short read would have taken it
    return false;
  }
  resizeBuffer(static_cast<std::size_t>(needed), kGrowthFailure);
  return readExactly(stream, reader.buffer, reader.size);
}

// Reads the next record (data and trailing length word) into the buffer.
bool readRecord(FILE* stream) {
  forgetRecord();
  std::uint32_t length = 0;
  if (!readLengthWord(stream, length)) return false;
  reader.lastLength = length;
  const std::uint64_t needed = std::uint64_t{length} + kLengthWordBytes;
  if (needed > reader.size) {
    if (!readLargeRecord(stream, needed)) return false;
  } else {
    if (needed < kRecordBufferInitialSize && reader.size > kRecordBufferInitialSize) {
      resizeBuffer(kRecordBufferInitialSize, kShrinkFailure);
    }
    if (!readExactly(stream, reader.buffer, static_cast<std::size_t>(needed))) return false;
  }
  reader.cursor = reader.buffer;
  reader.end = reader.buffer + length;
  return true;
}

std::size_t bytesLeftInRecord() {
  return static_cast<std::size_t>(reader.end - reader.cursor);
}

// The walk's own copy of the record position: kept in registers while items are copied out
// (a store through an item pointer could otherwise alias the module state), written back when
// the walk ends.
struct RecordCursor {
  const char* at = reader.cursor;
  const char* end = reader.end;

  std::size_t left() const { return static_cast<std::size_t>(end - at); }
  void writeBack() const { reader.cursor = at; }
};

// Records have no alignment: items are copied out byte-wise. The common widths get copies of a
// fixed size, which compile to single moves.
void takeBytes(RecordCursor& record, void* destination, std::size_t count) {
  if (destination != nullptr) {
    switch (count) {
      case 4:
        std::memcpy(destination, record.at, 4);
        break;
      case 8:
        std::memcpy(destination, record.at, 8);
        break;
      default:
        if (count > 0) std::memcpy(destination, record.at, count);
        break;
    }
  }
  record.at += count;
}

bool takeLiteral(RecordCursor& record, char expected) {
  if (record.left() == 0 || *record.at != expected) return false;
  ++record.at;
  return true;
}

enum class ItemOutcome { stored, passedOver, stop };

template <typename Arguments>
ItemOutcome takeSizedItem(RecordCursor& record, std::size_t count, Arguments& items) {
  if (count > record.left()) return ItemOutcome::stop;
  takeBytes(record, items.nextPointer(), count);
  return ItemOutcome::stored;
}

template <typename Arguments>
ItemOutcome takeString(RecordCursor& record, Arguments& items) {
  const void* nul = std::memchr(record.at, '\0', record.left());
  if (nul == nullptr) return ItemOutcome::stop;  // an unterminated string is not handed out
  return takeSizedItem(record, static_cast<const char*>(nul) - record.at + 1, items);
}

template <typename Arguments>
ItemOutcome takeItem(RecordCursor& record, Conversion c, Arguments& items) {
  const std::size_t width = nuvex::runtime::fixedItemWidth(c);
  if (width > 0 && !nuvex::runtime::isLongDoubleReal(c)) {
    return takeSizedItem(record, width, items);
  }
  if (nuvex::runtime::isLongDoubleReal(c)) {
    record.writeBack();
    nuvex::runtime::refuseLongDouble(kReaderRefusal);
    items.nextPointer();  // keeps the later items on their arguments
    return ItemOutcome::passedOver;
  }
  if (c.letter == kCountedNothing) return ItemOutcome::stored;
  if (nuvex::runtime::isByteBlock(c)) return takeSizedItem(record, items.nextCount(), items);
  if (c.letter == 's') return takeString(record, items);
  return takeLiteral(record, c.letter) ? ItemOutcome::passedOver : ItemOutcome::stop;
}

// A template on the argument source, so that fscanunf's own walk takes its variable arguments
// without a virtual call per item.
template <typename Arguments>
int walkItems(const char* control, Arguments& items) {
  RecordCursor record;
  int stored = 0;
  for (const char* cursor = control; *cursor != '\0';) {
    const char current = *cursor++;
    if (nuvex::runtime::isIgnoredBlank(current)) continue;
    if (current != nuvex::runtime::kConversionMark) {
      if (!takeLiteral(record, current)) break;
      continue;
    }
    const Conversion conversion = nuvex::runtime::readConversion(cursor);
    if (conversion.letter == '\0') break;
    const ItemOutcome outcome = takeItem(record, conversion, items);
    if (outcome == ItemOutcome::stop) break;
    if (outcome == ItemOutcome::stored) ++stored;
  }
  record.writeBack();
  return stored;
}

// Skips `distance` bytes in steps that fit the offset type of fseek.
bool seekForward(FILE* stream, std::uint64_t distance) {
  constexpr auto kLargestStep = static_cast<std::uint64_t>(LONG_MAX);
  while (distance > 0) {
    const std::uint64_t step = std::min(distance, kLargestStep);
    if (std::fseek(stream, static_cast<long>(step), SEEK_CUR) != 0) return false;
    distance -= step;
  }
  return true;
}

class VariableArguments final : public ItemArguments {
 public:
  explicit VariableArguments(std::va_list& args) : args_(args) {}
  void* nextPointer() override { return va_arg(args_, void*); }
  std::size_t nextCount() override { return va_arg(args_, std::size_t); }

 private:
  std::va_list& args_;
};

template <typename Arguments>
int scan(FILE* stream, const char* control, Arguments& items) {
  allocateBufferOnFirstUse();
  control = nuvex::runtime::skipBlanks(control == nullptr ? "" : control);
  if (stream == nullptr) return kScanRefused;
  const bool continuation = std::strncmp(control, kContinuation, kContinuationLength) == 0;
  if (continuation && stream != reader.lastStream) {
    std::fputs(kContinuationError, stderr);
    return kScanRefused;
  }
  reader.lastStream = stream;
  if (continuation) {
    control += kContinuationLength;
    if (bytesLeftInRecord() == 0) return 0;
  } else if (!readRecord(stream)) {
    return 0;
  }
  return walkItems(control, items);
}

}  // namespace

namespace nuvex::runtime {

int scanUnformatted(FILE* stream, const char* control, ItemArguments& items) {
  return scan(stream, control, items);
}

std::size_t unformattedBufferSize() {
  return reader.size;
}

void resetUnformattedReader() {
  std::free(reader.buffer);
  reader = ReaderState{};
}

}  // namespace nuvex::runtime

int fscanunf(FILE* stream, const char* control, ...) {
  std::va_list args;
  va_start(args, control);
  VariableArguments items(args);
  int result = 0;
  try {
    result = scan(stream, control, items);
  } catch (...) {  // a memory error or the host ends the calculation
    va_end(args);
    throw;
  }
  va_end(args);
  return result;
}

int fskipunf(FILE* stream) {
  std::uint32_t length = 0;
  if (stream == nullptr || !readLengthWord(stream, length)) return kSkipFailed;
  reader.lastLength = length;
  const std::uint64_t distance = std::uint64_t{length} + kLengthWordBytes;
  // A seek past the end succeeds on most files; a record that is not all there is no record.
  const std::optional<std::uint64_t> left = bytesLeftIn(stream);
  if (left.has_value() && *left < distance) {
    std::fseek(stream, 0, SEEK_END);
    return kSkipFailed;
  }
  return seekForward(stream, distance) ? 0 : kSkipFailed;
}

int32_t lenunf(void) {
  return static_cast<int32_t>(reader.lastLength);
}
