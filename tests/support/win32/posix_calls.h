// The POSIX calls the tests make beyond what the Windows C runtime offers: a pipe (a stream that
// can be neither positioned nor sized), a private temporary directory and a read-only stream over
// text in memory. Included ahead of every test source of the Windows build only.
#pragma once

#include <direct.h>
#include <fcntl.h>
#include <io.h>
#include <process.h>
#include <sys/stat.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>

constexpr unsigned kTestPipeBufferSize = 1u << 16;  // bytes: more than any test writes at once

inline int pipe(int ends[2]) {
  return _pipe(ends, kTestPipeBufferSize, _O_BINARY);
}

inline char* mkdtemp(char* pattern) {
  if (_mktemp_s(pattern, std::strlen(pattern) + 1) != 0) return nullptr;
  return _mkdir(pattern) == 0 ? pattern : nullptr;
}

// Reading only (the one use in the tests): a temporary file holding a copy of the text. Not
// std::tmpfile: under Wine, with test programs run side by side, a test was seen to read text
// that was not its own. The name here holds the process id and is created exclusively; the file
// goes when it is closed.
inline std::FILE* fmemopen(void* text, std::size_t size, const char* /*mode "r"*/) {
  static std::atomic<unsigned> count{0};
  const char* directory = std::getenv("TEMP");
  for (int attempt = 0; attempt < 100; ++attempt) {
    char name[512];
    std::snprintf(name, sizeof name, "%s\\nuvex_test_%d_%u.tmp",
                  directory != nullptr ? directory : ".", _getpid(), count++);
    const int fd = _open(name, _O_CREAT | _O_EXCL | _O_RDWR | _O_BINARY | _O_TEMPORARY,
                         _S_IREAD | _S_IWRITE);
    if (fd < 0) continue;
    std::FILE* file = _fdopen(fd, "w+b");
    if (file == nullptr) {
      _close(fd);
      return nullptr;
    }
    if (std::fwrite(text, 1, size, file) != size) {
      std::fclose(file);
      return nullptr;
    }
    std::rewind(file);
    return file;
  }
  return nullptr;
}
