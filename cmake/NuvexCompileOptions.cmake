# Warning and sanitizer flags shared by every target of the project.
add_library(nuvex_compile_options INTERFACE)
target_compile_options(nuvex_compile_options INTERFACE -Wall -Wextra)
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
  # GCC 12 reports false -Wrestrict positives inside libstdc++'s string code at -O2 and above.
  target_compile_options(nuvex_compile_options INTERFACE -Wno-restrict)
endif()
if(NUVEX_WARNINGS_AS_ERRORS)
  target_compile_options(nuvex_compile_options INTERFACE -Werror)
endif()
if(NUVEX_SANITIZE)
  target_compile_options(nuvex_compile_options INTERFACE
    -fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer)
  target_link_options(nuvex_compile_options INTERFACE -fsanitize=address,undefined)
  if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
    # The instrumentation makes GCC 12 see uninitialised reads inside libstdc++ (std::regex).
    target_compile_options(nuvex_compile_options INTERFACE -Wno-maybe-uninitialized)
  endif()
endif()
if(NUVEX_SANITIZE_THREAD)
  target_compile_options(nuvex_compile_options INTERFACE -fsanitize=thread -fno-omit-frame-pointer)
  target_link_options(nuvex_compile_options INTERFACE -fsanitize=thread)
endif()
