// Result arrays of the Python module. Large results are numpy arrays over memory blocks that the
// module keeps for reuse when numpy frees them: a fresh block of several megabytes costs a page
// fault per 4 KiB on its first write, which for a million points takes as long as converting
// them, and the C library hands such blocks back to the system as soon as they are freed.
#pragma once

#include <pybind11/numpy.h>

#include <cstddef>
#include <vector>

namespace nuvex::python {

// Blocks smaller than this come from numpy's own allocator (no reuse needed: they stay on the
// heap).
inline constexpr std::size_t kSmallestReusedBlock = std::size_t{1} << 20;  // bytes
// The kept blocks together never exceed this; beyond it freed blocks go back to the system.
inline constexpr std::size_t kMostKeptBytes = std::size_t{192} << 20;  // bytes

// A new uninitialised C-contiguous array of the given shape and element type.
template <typename T>
pybind11::array_t<T> emptyArray(const std::vector<pybind11::ssize_t>& shape);

// Bytes currently kept for reuse (for tests of the bound).
std::size_t keptBytes();

}  // namespace nuvex::python
