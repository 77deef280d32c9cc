// The one way the runtime takes memory: every buffer the runtime owns (temporaries, ntstr texts,
// unit names, record buffers, format states, the unformatted reader's buffer) comes from here,
// so that a test can make any single allocation fail and walk every failure path.
#pragma once

#include <cstddef>
#include <cstdint>

namespace nuvex::runtime {

// malloc, calloc (zeroed) and realloc, or null when the memory is not there (or the failure
// hook says so). Released with std::free.
void* allocate(std::size_t bytes);
void* allocateZeroed(std::size_t bytes);
void* reallocate(void* block, std::size_t bytes);

// Test hook: the n-th allocation from now (1 the next one) fails, once; 0 fails none.
void failNthAllocation(std::uint64_t n);
// Allocations attempted since the program started (the failed one included).
std::uint64_t allocationsAttempted();

}  // namespace nuvex::runtime
