// Fuzzes the unformatted record reader with arbitrary files and control strings.
//
// Input layout: byte 0 = n, the control string's length; bytes 1..n = the control string (cut
// at a NUL); byte n + 1 = a script of operations; the rest = the file. The file is read through
// a seekable memory stream, or through a pipe (a stream that cannot tell its size) when the
// script's top bit is set. Each script bit chooses fscanunf or fskipunf for one step; every
// fscanunf is followed by a continuation ("%+" and the control string).
//
// No host is installed, so failure reports go nowhere; a memory error still aborts the call with
// CCalcAbortException, which is caught here.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "nuvex/host.h"
#include "nuvex/runtime/binary.h"
#include "runtime/unformatted_reader.h"

namespace {

constexpr std::size_t kPipeCapacity = 60000;  // bytes a pipe takes without a reader (Linux: 64 KiB)
constexpr int kSteps = 7;                     // script bits used for operations
constexpr unsigned kPipeBit = 0x80;

// Every pointer names the same scratch area, large enough for any item of the record (a string
// or block is never longer than the file). Counts come from the input so that "%A" both fits and
// overruns.
struct ScratchArguments final : nuvex::runtime::ItemArguments {
  ScratchArguments(std::size_t size, unsigned seed)
      : scratch(size + 32), fileSize(size), seed(seed) {}
  void* nextPointer() override { return scratch.data(); }
  std::size_t nextCount() override {
    seed = seed * 1103515245u + 12345u;
    return seed % (fileSize + 2);
  }
  std::vector<char> scratch;
  std::size_t fileSize;
  unsigned seed;
};

// A control string of at most 255 bytes names at most 127 items ("%z"), each taking at most a
// count and a pointer.
constexpr std::size_t kMostArguments = 256;

template <std::size_t... Index>
void scanWithPointers(FILE* stream, const char* control, void* p, std::index_sequence<Index...>) {
  fscanunf(stream, control, ((void)Index, p)...);
}

FILE* openStream(const std::uint8_t* data, std::size_t size, bool asPipe) {
  if (!asPipe) return fmemopen(const_cast<std::uint8_t*>(data), size, "rb");
  int ends[2];
  if (size > kPipeCapacity || pipe(ends) != 0) return nullptr;
  const bool written = write(ends[1], data, size) == static_cast<ssize_t>(size);
  close(ends[1]);
  FILE* stream = written ? fdopen(ends[0], "rb") : nullptr;
  if (stream == nullptr) close(ends[0]);
  return stream;
}

void runScript(FILE* stream, const std::string& control, unsigned script, std::size_t fileSize) {
  const std::string continuation = "%+" + control;
  ScratchArguments items(fileSize, script);
  void* p = items.nextPointer();
  for (int step = 0; step < kSteps; ++step) {
    if ((script >> step) & 1u) {
      fskipunf(stream);
      continue;
    }
    // The public entry takes pointers only; a count slot then receives an address, which is
    // always larger than the record. A variadic call cannot tell how many arguments it was given:
    // every item the control string can name must have one.
    scanWithPointers(stream, control.c_str(), p, std::make_index_sequence<kMostArguments>());
    nuvex::runtime::scanUnformatted(stream, continuation.c_str(), items);
  }
  nuvex::runtime::scanUnformatted(stream, control.c_str(), items);
  lenunf();
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  std::freopen("/dev/null", "w", stdout);  // long double refusals would flood the log
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::size_t controlLength = size > 0 ? data[0] : size;
  if (size < controlLength + 2) return 0;
  const std::string control(reinterpret_cast<const char*>(data + 1), controlLength);
  const unsigned script = data[controlLength + 1];
  const std::uint8_t* file = data + controlLength + 2;
  const std::size_t fileSize = size - controlLength - 2;

  nuvex::runtime::resetUnformattedReader();
  FILE* stream = openStream(file, fileSize, (script & kPipeBit) != 0);
  if (stream == nullptr) return 0;
  try {
    runScript(stream, control, script, fileSize);
  } catch (const CCalcAbortException&) {
    // a record too large to allocate: the calculation is over, the reader stays usable
  }
  std::fclose(stream);
  return 0;
}
