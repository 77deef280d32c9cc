#include "output_arrays.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <mutex>
#include <new>

namespace py = pybind11;

namespace nuvex::python {
namespace {

// Each block starts with its capacity; the array's data follow one cache line later, aligned.
constexpr std::size_t kHeaderBytes = 64;
// A kept block serves a request of at least this fraction of its capacity, so that a small result
// does not pin a large block.
constexpr std::size_t kMostWasteFactor = 2;
constexpr std::size_t kMostKeptBlocks = 16;

std::size_t roundedUp(std::size_t bytes) {
  return (bytes + kHeaderBytes - 1) / kHeaderBytes * kHeaderBytes;
}

class BlockCache {
 public:
  // The data of a block of at least `bytes`.
  void* take(std::size_t bytes) {
    {
      const std::lock_guard lock(mutex_);
      auto best = blocks_.end();
      for (auto it = blocks_.begin(); it != blocks_.end(); ++it) {
        if (capacity(*it) >= bytes && capacity(*it) <= bytes * kMostWasteFactor &&
            (best == blocks_.end() || capacity(*it) < capacity(*best))) {
          best = it;
        }
      }
      if (best != blocks_.end()) {
        void* data = *best;
        kept_ -= capacity(data);
        blocks_.erase(best);
        return data;
      }
    }
    const std::size_t size = roundedUp(bytes);
    auto* block =
        static_cast<unsigned char*>(std::aligned_alloc(kHeaderBytes, size + kHeaderBytes));
    if (block == nullptr) throw std::bad_alloc();
    *reinterpret_cast<std::size_t*>(block) = size;
    return block + kHeaderBytes;
  }

  // Keeps the block for reuse, or frees it (and the oldest ones) when the cache would be too big.
  void give(void* data) noexcept {
    const std::lock_guard lock(mutex_);
    if (capacity(data) > kMostKeptBytes) {
      release(data);
      return;
    }
    while (!blocks_.empty() &&
           (kept_ + capacity(data) > kMostKeptBytes || blocks_.size() >= kMostKeptBlocks)) {
      kept_ -= capacity(blocks_.front());
      release(blocks_.front());
      blocks_.erase(blocks_.begin());
    }
    kept_ += capacity(data);
    blocks_.push_back(data);
  }

  std::size_t kept() {
    const std::lock_guard lock(mutex_);
    return kept_;
  }

 private:
  static unsigned char* start(void* data) {
    return static_cast<unsigned char*>(data) - kHeaderBytes;
  }
  static std::size_t capacity(void* data) { return *reinterpret_cast<std::size_t*>(start(data)); }
  static void release(void* data) { std::free(start(data)); }

  std::mutex mutex_;
  std::vector<void*> blocks_;  // oldest first
  std::size_t kept_ = 0;
};

// Never destroyed: arrays may be freed while the interpreter shuts down, after static destructors.
BlockCache& cache() {
  static auto* const instance = new BlockCache;
  return *instance;
}

}  // namespace

template <typename T>
py::array_t<T> emptyArray(const std::vector<py::ssize_t>& shape) {
  std::size_t count = 1;
  for (const py::ssize_t extent : shape) count *= static_cast<std::size_t>(extent);
  const std::size_t bytes = count * sizeof(T);
  if (bytes < kSmallestReusedBlock) return py::array_t<T>(shape);
  void* data = cache().take(bytes);
  py::capsule owner(data, [](void* block) { cache().give(block); });
  return py::array_t<T>(shape, static_cast<T*>(data), owner);
}

std::size_t keptBytes() {
  return cache().kept();
}

template py::array_t<double> emptyArray<double>(const std::vector<py::ssize_t>&);
template py::array_t<int> emptyArray<int>(const std::vector<py::ssize_t>&);

}  // namespace nuvex::python
