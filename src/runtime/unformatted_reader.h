// Internals of the unformatted record reader: the item walk with its arguments taken from any
// source (fscanunf takes them from its variable arguments; the fuzz target from tables), and a
// read-only view of the record buffer for tests.
#pragma once

#include <cstddef>
#include <cstdio>

namespace nuvex::runtime {

// Where the walk takes the arguments of its conversions from.
class ItemArguments {
 public:
  virtual void* nextPointer() = 0;
  virtual std::size_t nextCount() = 0;  // the byte count of "%A" and "%&"

 protected:
  ~ItemArguments() = default;
};

// fscanunf with its arguments taken from `items`; same results.
int scanUnformatted(FILE* stream, const char* control, ItemArguments& items);

// Record buffer sizes (bytes): allocated on first use, returned to after a large record.
inline constexpr std::size_t kRecordBufferInitialSize = 4096;

// Current allocation of the record buffer in bytes (0 before the first fscanunf).
std::size_t unformattedBufferSize();

// Frees the record buffer and forgets the current record and stream: the state before the first
// fscanunf. For tests that need a known starting point.
void resetUnformattedReader();

}  // namespace nuvex::runtime
