# CLI11 for the cross build: header-only, so Debian's headers serve, copied apart from the host's
# /usr/include (whose C library headers must not reach the cross compiler).
if(NOT TARGET CLI11::CLI11)
  file(COPY /usr/include/CLI DESTINATION ${CMAKE_BINARY_DIR}/cli11/include)
  add_library(CLI11::CLI11 INTERFACE IMPORTED)
  set_target_properties(CLI11::CLI11 PROPERTIES
    INTERFACE_INCLUDE_DIRECTORIES ${CMAKE_BINARY_DIR}/cli11/include)
endif()
set(CLI11_FOUND TRUE)
