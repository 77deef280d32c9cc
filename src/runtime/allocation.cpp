// The runtime's allocation functions and their failure hook.
#include "runtime/allocation.h"

#include <cstdlib>

namespace nuvex::runtime {
namespace {

std::uint64_t attempted = 0;
std::uint64_t failingAttempt = 0;  // the attempt number that fails; 0 none

// Counts the attempt; true when the hook wants this one to fail.
bool failsNow() {
  ++attempted;
  if (failingAttempt == 0 || attempted != failingAttempt) return false;
  failingAttempt = 0;
  return true;
}

}  // namespace

void* allocate(std::size_t bytes) {
  return failsNow() ? nullptr : std::malloc(bytes);
}

void* allocateZeroed(std::size_t bytes) {
  return failsNow() ? nullptr : std::calloc(1, bytes);
}

void* reallocate(void* block, std::size_t bytes) {
  return failsNow() ? nullptr : std::realloc(block, bytes);
}

void failNthAllocation(std::uint64_t n) {
  failingAttempt = n == 0 ? 0 : attempted + n;
}

std::uint64_t allocationsAttempted() {
  return attempted;
}

}  // namespace nuvex::runtime
