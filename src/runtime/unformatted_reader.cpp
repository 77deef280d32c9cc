// Reading sequential unformatted files: records framed by a 32-bit little-endian length before
// and after the data, read into one runtime-owned buffer and handed out item by item.
//
// The files come from outside, so nothing in a record is trusted: a length word may be garbage.
// The buffer size is computed in 64 bits, a record longer than what is left of a seekable file
// is refused before anything is allocated, and a stream that cannot tell its size (a pipe) gets
// its buffer grown only as the data actually arrives.
#include "runtime/unformatted_reader.h"

#include <algorithm>
#include <array>
#include <climits>
#include <cstdarg>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <optional>

#include "nuvex/runtime/binary.h"
#include "nuvex/runtime/diagnostics.h"
#include "platform/stream_reading.h"
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
  if (nuvex::platform::readUnlocked(stream, bytes, sizeof bytes) != sizeof bytes) return false;
  length = 0;
  for (std::size_t i = kLengthWordBytes; i-- > 0;) length = (length << kBitsPerByte) | bytes[i];
  return true;
}

bool readExactly(FILE* stream, char* into, std::size_t count) {
  return nuvex::platform::readUnlocked(stream, into, count) == count;
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

// A control string is decoded into steps, one per item or literal, and the walk runs over the
// steps: a record's items then cost a dispatch and a copy each. The steps of the last control
// string are kept with a copy of its text, so that a statement reading record after record with
// the same string decodes it once. The copy is compared by content, never by address: a buffer
// that the caller fills with another string gets that string's steps.
enum class StepKind : std::uint8_t {
  end,   // the end of the string, or '%' at its end: the walk is over (zero, see KeptControl)
  more,  // the steps decoded so far end here; the string goes on
  take1,
  take2,
  take4,
  take8,
  take16,          // fixed-width items of these many bytes
  byteBlock,       // "%A", "%&": a count, then a pointer
  string,          // "%s": bytes up to and including a NUL
  countedNothing,  // "%+"
  literal,         // a byte that must equal the next one of the record
  longDouble,      // "%Lf": refused
};

// Consecutive items of one width make one step, so that the walk checks the record once for
// all of them. No default member values: a walk's steps are written by decoding, never cleared.
struct Step {
  StepKind kind;
  char literal;
  std::uint16_t repeat;  // items of a fixed-width step
};

constexpr std::uint16_t kLongestRepeat = UINT16_MAX;

Step stepOf(StepKind kind, char literal = 0) {
  return {kind, literal, 1};
}

bool isFixedWidth(StepKind kind) {
  return kind >= StepKind::take1 && kind <= StepKind::take16;
}

constexpr std::size_t kStepsAtATime = 64;       // steps decoded before they are run
constexpr std::size_t kKeptControlBytes = 256;  // longest control string kept, NUL included

constexpr bool hasFixedWidthStep(std::size_t width) {
  return width == 1 || width == 2 || width == 4 || width == 8 || width == 16;
}
static_assert(std::ranges::all_of(nuvex::runtime::kFixedItemWidths,
                                  [](const nuvex::runtime::FixedItemWidth& item) {
                                    return hasFixedWidthStep(item.plain) &&
                                           hasFixedWidthStep(item.withShort) &&
                                           hasFixedWidthStep(item.withLong);
                                  }),
              "every item width needs its step kind");

StepKind fixedWidthStep(std::size_t width) {
  switch (width) {
    case 1:
      return StepKind::take1;
    case 2:
      return StepKind::take2;
    case 4:
      return StepKind::take4;
    case 8:
      return StepKind::take8;
    default:
      return StepKind::take16;
  }
}

Step decodeConversion(Conversion c) {
  if (nuvex::runtime::isLongDoubleReal(c)) return stepOf(StepKind::longDouble);
  const std::size_t width = nuvex::runtime::fixedItemWidth(c);
  if (width > 0) return stepOf(fixedWidthStep(width));
  if (c.letter == kCountedNothing) return stepOf(StepKind::countedNothing);
  if (nuvex::runtime::isByteBlock(c)) return stepOf(StepKind::byteBlock);
  if (c.letter == 's') return stepOf(StepKind::string);
  return stepOf(StepKind::literal, c.letter);
}

// Steps decoded from a control string: at most kStepsAtATime, then `end` or `more`.
struct DecodedSteps {
  std::array<Step, kStepsAtATime + 1> steps;
  const char* rest = nullptr;  // where decoding stopped
  bool complete = true;        // the steps end with `end`
  bool refuses = false;        // holds a long double step
};

void decodeSteps(const char* control, DecodedSteps& decoded) {
  std::size_t count = 0;
  const char* cursor = control;
  decoded.refuses = false;
  while (count < kStepsAtATime) {
    const char current = *cursor;
    if (current == '\0') break;
    ++cursor;
    if (nuvex::runtime::isIgnoredBlank(current)) continue;
    if (current != nuvex::runtime::kConversionMark) {
      decoded.steps[count++] = stepOf(StepKind::literal, current);
      continue;
    }
    const Conversion conversion = nuvex::runtime::readConversion(cursor);
    if (conversion.letter == '\0') break;
    const Step step = decodeConversion(conversion);
    Step* previous = count > 0 ? &decoded.steps[count - 1] : nullptr;
    if (previous != nullptr && isFixedWidth(step.kind) && previous->kind == step.kind &&
        previous->repeat < kLongestRepeat) {
      ++previous->repeat;
      continue;
    }
    decoded.steps[count++] = step;
    decoded.refuses |= step.kind == StepKind::longDouble;
  }
  decoded.complete = count < kStepsAtATime || *cursor == '\0';
  decoded.steps[count] = stepOf(decoded.complete ? StepKind::end : StepKind::more);
  decoded.rest = cursor;
}

// The last control string that was decoded in one piece, and its steps. Zero-initialised, it is
// the empty string, whose only step is the end.
struct KeptControl {
  std::array<char, kKeptControlBytes> text{};
  DecodedSteps decoded;
};

KeptControl keptControl;

// Keeps the steps of a control string that fits, unless they refuse a long double: the host
// sees that refusal and might start another read before the walk goes on.
void keepControl(const char* control, const DecodedSteps& decoded) {
  const std::size_t length = std::strlen(control);
  if (length >= kKeptControlBytes || decoded.refuses) return;
  std::memcpy(keptControl.text.data(), control, length + 1);
  keptControl.decoded = decoded;
}

// Takes the items of a fixed-width step that the record holds; false when it holds fewer.
template <std::size_t width, typename Arguments>
bool takeFixedRun(RecordCursor& record, std::size_t repeat, Arguments& items, int& stored) {
  const std::size_t fitting = std::min(repeat, record.left() / width);
  const char* at = record.at;  // a local: the stores through the item pointers cannot reach it
  for (const char* end = at + fitting * width; at != end; at += width) {
    void* destination = items.nextPointer();
    if (destination != nullptr) std::memcpy(destination, at, width);
  }
  record.at = at;
  stored += static_cast<int>(fitting);
  return fitting == repeat;
}

// Records have no alignment: items are copied out byte-wise.
template <typename Arguments>
bool takeSized(RecordCursor& record, std::size_t count, Arguments& items) {
  if (count > record.left()) return false;
  void* destination = items.nextPointer();
  if (destination != nullptr && count > 0) std::memcpy(destination, record.at, count);
  record.at += count;
  return true;
}

template <typename Arguments>
bool takeString(RecordCursor& record, Arguments& items) {
  const void* nul = std::memchr(record.at, '\0', record.left());
  if (nul == nullptr) return false;  // an unterminated string is not handed out
  return takeSized(record, static_cast<const char*>(nul) - record.at + 1, items);
}

bool takeLiteral(RecordCursor& record, char expected) {
  if (record.left() == 0 || *record.at != expected) return false;
  ++record.at;
  return true;
}

// Runs steps until one cannot be taken or the steps end; true when the string goes on after
// them. `stored` counts the items stored.
template <typename Arguments>
bool runSteps(const Step* step, RecordCursor& record, Arguments& items, int& stored) {
  for (;; ++step) {
    switch (step->kind) {
      case StepKind::end:
        return false;
      case StepKind::more:
        return true;
      case StepKind::take1:
        if (!takeFixedRun<1>(record, step->repeat, items, stored)) return false;
        continue;
      case StepKind::take2:
        if (!takeFixedRun<2>(record, step->repeat, items, stored)) return false;
        continue;
      case StepKind::take4:
        if (!takeFixedRun<4>(record, step->repeat, items, stored)) return false;
        continue;
      case StepKind::take8:
        if (!takeFixedRun<8>(record, step->repeat, items, stored)) return false;
        continue;
      case StepKind::take16:
        if (!takeFixedRun<16>(record, step->repeat, items, stored)) return false;
        continue;
      case StepKind::byteBlock:
        if (!takeSized(record, items.nextCount(), items)) return false;
        break;
      case StepKind::string:
        if (!takeString(record, items)) return false;
        break;
      case StepKind::countedNothing:
        break;
      case StepKind::literal:
        if (!takeLiteral(record, step->literal)) return false;
        continue;  // matched, not counted
      case StepKind::longDouble:
        record.writeBack();
        nuvex::runtime::refuseLongDouble(kReaderRefusal);
        items.nextPointer();  // keeps the later items on their arguments
        continue;             // passed over, not counted
    }
    ++stored;
  }
}

// A template on the argument source, so that fscanunf's own walk takes its variable arguments
// without a virtual call per item.
template <typename Arguments>
int walkItems(const char* control, Arguments& items) {
  DecodedSteps decoded;
  const Step* steps = keptControl.decoded.steps.data();
  if (std::strcmp(control, keptControl.text.data()) != 0) {
    decodeSteps(control, decoded);
    if (decoded.complete) keepControl(control, decoded);
    steps = decoded.steps.data();
  }
  RecordCursor record;
  int stored = 0;
  while (runSteps(steps, record, items, stored)) {  // a string of more steps than one decoding
    decodeSteps(decoded.rest, decoded);
    steps = decoded.steps.data();
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
  const bool continuation = control[0] == kContinuation[0] && control[1] == kContinuation[1];
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
  keptControl = KeptControl{};
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
