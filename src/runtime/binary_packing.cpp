// Packing items into binary records and back (sprtunf, sscanunf), and block transfers of such
// records at file offsets (f_putblock, f_getblock).
#include <climits>
#include <cstdarg>
#include <cstring>

#include "nuvex/runtime/binary.h"
#include "runtime/binary_items.h"

namespace {

using nuvex::runtime::Conversion;

constexpr nuvex::runtime::LongDoubleRefusal kPackRefusal{
    "sprtunf() compiled withOUT long double support", "calc/VOKS/SPRTUNF", 194};
constexpr nuvex::runtime::LongDoubleRefusal kUnpackRefusal{
    "sscanunf() compiled withOUT long double support", "calc/VOKS/SSCANUNF", 197};

constexpr int kBlockDone = 0;
constexpr int kBlockNotPositioned = -1;
constexpr int kBlockShort = -2;

// Bytes moved by the last block write and the last block read.
int lastPutCount = 0;
int lastGetCount = 0;

char* appendBytes(char* out, const void* bytes, std::size_t count) {
  if (count == 0) return out;
  if (bytes == nullptr) {
    std::memset(out, 0, count);
  } else {
    std::memcpy(out, bytes, count);
  }
  return out + count;
}

char* packInteger(char* out, Conversion c, int value) {
  if (c.size == nuvex::runtime::kSizeShort) {
    const auto low = static_cast<std::int16_t>(value);
    return appendBytes(out, &low, sizeof low);
  }
  const std::int32_t word = value;
  return appendBytes(out, &word, sizeof word);
}

char* packReal(char* out, Conversion c, double value) {
  if (c.size == nuvex::runtime::kSizeLong) return appendBytes(out, &value, sizeof value);
  const auto single = static_cast<float>(value);
  return appendBytes(out, &single, sizeof single);
}

char* packString(char* out, const char* text) {
  if (text == nullptr) return appendBytes(out, "", 1);
  return appendBytes(out, text, std::strlen(text) + 1);
}

// Appends the bytes of one conversion's item and takes its argument(s).
char* packItem(char* out, Conversion c, std::va_list& args) {
  if (nuvex::runtime::isLongDoubleReal(c)) {
    nuvex::runtime::refuseLongDouble(kPackRefusal);
    static_cast<void>(va_arg(args, long double));  // keeps the later items on their arguments
    return out;
  }
  if (nuvex::runtime::isByteBlock(c)) {
    const std::size_t count = va_arg(args, std::size_t);
    return appendBytes(out, va_arg(args, const void*), count);
  }
  switch (c.letter) {
    case 'c':
      *out = static_cast<char>(va_arg(args, int));
      return out + 1;
    case 'd':
    case 'i':
      return packInteger(out, c, va_arg(args, int));
    case 'f':
      return packReal(out, c, va_arg(args, double));
    case 'z':
      return appendBytes(out, va_arg(args, const void*), nuvex::runtime::fixedItemWidth(c));
    case 's':
      return packString(out, va_arg(args, const char*));
    default:  // an unknown conversion letter stands for itself
      *out = c.letter;
      return out + 1;
  }
}

void storeBytes(void* destination, const char* bytes, std::size_t count) {
  if (destination != nullptr && count > 0) std::memcpy(destination, bytes, count);
}

// Takes the bytes of one conversion's item from `in` into its storage. False when a literal
// does not match (its byte is consumed all the same).
bool unpackItem(const char*& in, Conversion c, std::va_list& args) {
  if (nuvex::runtime::isLongDoubleReal(c)) {
    nuvex::runtime::refuseLongDouble(kUnpackRefusal);
    static_cast<void>(va_arg(args, void*));  // keeps the later items on their arguments
    return true;
  }
  std::size_t count = nuvex::runtime::fixedItemWidth(c);
  if (nuvex::runtime::isByteBlock(c)) {
    count = va_arg(args, std::size_t);
  } else if (c.letter == 's') {
    count = std::strlen(in) + 1;
  } else if (count == 0) {
    return *in++ == c.letter;
  }
  storeBytes(va_arg(args, void*), in, count);
  in += count;
  return true;
}

int clampedCount(std::size_t count) {
  return count > static_cast<std::size_t>(INT_MAX) ? INT_MAX : static_cast<int>(count);
}

bool positionFile(FILE* file, int offset) {
  return offset < 0 || std::fseek(file, offset, SEEK_SET) == 0;
}

// Walks the conversion string; returns the end of the packed bytes.
char* packRecord(char* out, const char* conv, std::va_list& args) {
  for (const char* cursor = conv; *cursor != '\0';) {
    const char current = *cursor++;
    if (nuvex::runtime::isIgnoredBlank(current)) continue;
    if (current != nuvex::runtime::kConversionMark) {
      *out++ = current;
      continue;
    }
    const Conversion conversion = nuvex::runtime::readConversion(cursor);
    if (conversion.letter == '\0') break;
    out = packItem(out, conversion, args);
  }
  return out;
}

// Walks the conversion string; returns the end of the consumed bytes.
const char* unpackRecord(const char* in, const char* conv, std::va_list& args) {
  for (const char* cursor = nuvex::runtime::skipBlanks(conv); *cursor != '\0';) {
    const char current = *cursor++;
    if (nuvex::runtime::isIgnoredBlank(current)) continue;
    if (current != nuvex::runtime::kConversionMark) {
      if (*in++ != current) break;
      continue;
    }
    const Conversion conversion = nuvex::runtime::readConversion(cursor);
    if (conversion.letter == '\0' || !unpackItem(in, conversion, args)) break;
  }
  return in;
}

}  // namespace

int64_t sprtunf(char* buf, const char* conv, ...) {
  if (buf == nullptr || conv == nullptr) return 0;
  std::va_list args;
  va_start(args, conv);
  const char* end = buf;
  try {
    end = packRecord(buf, conv, args);
  } catch (...) {  // the host ended the calculation from its failure report
    va_end(args);
    throw;
  }
  va_end(args);
  return end - buf;
}

int64_t sscanunf(const char* buf, const char* conv, ...) {
  if (buf == nullptr || conv == nullptr) return 0;
  std::va_list args;
  va_start(args, conv);
  const char* end = buf;
  try {
    end = unpackRecord(buf, conv, args);
  } catch (...) {  // the host ended the calculation from its failure report
    va_end(args);
    throw;
  }
  va_end(args);
  return end - buf;
}

int f_putblock(FILE* file, int offset, size_t n, char* buf) {
  if (file == nullptr || !positionFile(file, offset)) {
    lastPutCount = 0;
    return kBlockNotPositioned;
  }
  const std::size_t written = (buf == nullptr || n == 0) ? 0 : std::fwrite(buf, 1, n, file);
  lastPutCount = clampedCount(written);
  if (written < n) return kBlockShort;
  if (n > 0) std::memset(buf, 0, n);  // ready for the next record
  return kBlockDone;
}

int f_putcount(void) {
  return lastPutCount;
}

int f_getblock(FILE* file, int offset, size_t n, char* buf) {
  if (file == nullptr || !positionFile(file, offset)) {
    lastGetCount = 0;
    return kBlockNotPositioned;
  }
  std::size_t read = 0;
  if (buf != nullptr && n > 0) {
    std::memset(buf, 0, n);
    read = std::fread(buf, 1, n, file);
  }
  lastGetCount = clampedCount(read);
  return read < n ? kBlockShort : kBlockDone;
}

int f_getcount(void) {
  return lastGetCount;
}
