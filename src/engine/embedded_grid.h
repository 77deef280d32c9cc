// The BeTA2007 grid's bytes, built into the library from data/BETA2007.gsb (a source generated
// by CMake at build time, see cmake/EmbedFile.cmake).
#pragma once

#include <cstddef>

namespace nuvex::engine {

extern const unsigned char kBeta2007Bytes[];
extern const std::size_t kBeta2007Size;

}  // namespace nuvex::engine
