# 64-bit Windows with Debian's MinGW-w64 cross compilers. The posix thread model is chosen on
# purpose: std::thread and std::mutex (tests, host example) need it.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(NUVEX_MINGW_TARGET x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${NUVEX_MINGW_TARGET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${NUVEX_MINGW_TARGET}-g++-posix)
set(CMAKE_RC_COMPILER ${NUVEX_MINGW_TARGET}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${NUVEX_MINGW_TARGET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# pkg-config must not hand the host's libraries (SLEEF, PROJ) to the cross build.
set(ENV{PKG_CONFIG_LIBDIR} /usr/${NUVEX_MINGW_TARGET}/lib/pkgconfig)
set(ENV{PKG_CONFIG_PATH} "")

# 64-bit off_t, fseeko and ftello as on 64-bit Linux: MinGW's default 32-bit off_t would wrap the
# offsets of direct-access records beyond 2 GiB.
set(CMAKE_C_FLAGS_INIT -D_FILE_OFFSET_BITS=64)
set(CMAKE_CXX_FLAGS_INIT -D_FILE_OFFSET_BITS=64)

# libgcc, libstdc++ and winpthread are linked statically, so that the DLL and the programs need
# nothing on a Windows machine but its system DLLs.
set(CMAKE_EXE_LINKER_FLAGS_INIT -static)
set(CMAKE_SHARED_LINKER_FLAGS_INIT -static)

# Packages the cross build takes from Debian's sources and headers rather than the host's
# libraries (see cmake/windows/).
set(GTest_DIR ${CMAKE_CURRENT_LIST_DIR}/../windows CACHE PATH "GoogleTest built for the target")
set(CLI11_DIR ${CMAKE_CURRENT_LIST_DIR}/../windows CACHE PATH "CLI11 headers for the target")

# Test programs run under Wine, in a private prefix inside the build directory.
set(CMAKE_CROSSCOMPILING_EMULATOR
  ${CMAKE_CURRENT_LIST_DIR}/../../scripts/wine-run.sh ${CMAKE_BINARY_DIR}/wineprefix)
