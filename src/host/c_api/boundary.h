// The C boundary: every call of the C interface runs its body through guarded(), which turns
// each C++ exception into an error code and message, so that nothing is thrown into C callers.
#pragma once

#include <exception>
#include <new>
#include <stdexcept>
#include <string>
#include <utility>

#include "nuvex/nuvex.h"

namespace nuvex::c_api {

// A refusal with its C error code and the message the caller reads.
class Failure : public std::runtime_error {
 public:
  Failure(int code, const std::string& message) : std::runtime_error(message), code_(code) {}
  int code() const { return code_; }

 private:
  int code_;
};

// Fills error (when given) with code and message, the message cut to fit between two UTF-8
// characters (file names in messages may have any letters); returns code.
int report(nuvex_error* error, int code, const char* message) noexcept;

// Throws Failure(NUVEX_ERROR_ARGUMENT, "<name> is NULL") when pointer is null.
void requirePointer(const void* pointer, const char* name);

// Runs body(); returns NUVEX_OK with error cleared, or the code of what it threw with error filled.
template <typename Body>
int guarded(nuvex_error* error, Body&& body) noexcept {
  try {
    std::forward<Body>(body)();
    return report(error, NUVEX_OK, "");
  } catch (const Failure& failure) {
    return report(error, failure.code(), failure.what());
  } catch (const std::invalid_argument& invalid) {
    return report(error, NUVEX_ERROR_ARGUMENT, invalid.what());
  } catch (const std::bad_alloc&) {
    return report(error, NUVEX_ERROR_OUT_OF_MEMORY, "out of memory");
  } catch (const std::exception& unexpected) {
    return report(error, NUVEX_ERROR_INTERNAL, unexpected.what());
  } catch (...) {
    return report(error, NUVEX_ERROR_INTERNAL, "an unknown failure inside the library");
  }
}

}  // namespace nuvex::c_api
