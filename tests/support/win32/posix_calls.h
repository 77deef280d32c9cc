// The POSIX calls the tests make beyond what the Windows C runtime offers: a pipe (a stream that
// can be neither positioned nor sized), a private temporary directory and a read-only stream over
// text in memory. Included ahead of every test source of the Windows build only.
#pragma once

#include <direct.h>
#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <cstring>

constexpr unsigned kTestPipeBufferSize = 1u << 16;  // bytes: more than any test writes at once

inline int pipe(int ends[2]) {
  return _pipe(ends, kTestPipeBufferSize, _O_BINARY);
}

inline char* mkdtemp(char* pattern) {
  if (_mktemp_s(pattern, std::strlen(pattern) + 1) != 0) return nullptr;
  return _mkdir(pattern) == 0 ? pattern : nullptr;
}

// Reading only (the one use in the tests): a temporary file holding a copy of the text.
inline std::FILE* fmemopen(void* text, std::size_t size, const char* /*mode "r"*/) {
  std::FILE* file = std::tmpfile();
  if (file == nullptr) return nullptr;
  if (std::fwrite(text, 1, size, file) != size) {
    std::fclose(file);
    return nullptr;
  }
  std::rewind(file);
  return file;
}
