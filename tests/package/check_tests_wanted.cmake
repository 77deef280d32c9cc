# Configures nuvex three ways and checks where its tests would be built: not under a project that
# adds it with add_subdirectory (whose own BUILD_TESTING is on), not with -DBUILD_TESTING=OFF (as
# the package preset of `make install`), and by default when it is the project being built.
# Arguments: -DSOURCE_DIR=<nuvex's sources> -DWORK_DIR=<scratch directory>
file(REMOVE_RECURSE ${WORK_DIR})
file(MAKE_DIRECTORY ${WORK_DIR}/consumer)
file(WRITE ${WORK_DIR}/consumer/CMakeLists.txt
  "cmake_minimum_required(VERSION 3.25)\n"
  "project(consumer LANGUAGES C CXX)\n"
  "include(CTest)\n"
  "add_subdirectory(\"${SOURCE_DIR}\" nuvex)\n")

# Configures SOURCE into BINARY (with ARGN) and fails unless NUVEX_BUILD_TESTS comes out as WANTED
# and nuvex's test directory is generated exactly then.
function(check_tests what source binary nuvex_binary wanted)
  execute_process(COMMAND ${CMAKE_COMMAND} -S ${source} -B ${binary} -DCMAKE_BUILD_TYPE=Release
    ${ARGN} RESULT_VARIABLE status OUTPUT_QUIET)
  if(status)
    message(FATAL_ERROR "${what}: configure failed")
  endif()
  file(STRINGS ${binary}/CMakeCache.txt setting REGEX "^NUVEX_BUILD_TESTS:BOOL=")
  if(EXISTS ${nuvex_binary}/tests/Makefile)
    set(generated ON)
  else()
    set(generated OFF)
  endif()
  if(NOT setting STREQUAL "NUVEX_BUILD_TESTS:BOOL=${wanted}" OR NOT generated STREQUAL wanted)
    message(FATAL_ERROR "${what}: ${setting}, test directory generated: ${generated}; "
      "expected ${wanted}")
  endif()
endfunction()

check_tests("add_subdirectory" ${WORK_DIR}/consumer ${WORK_DIR}/consumer-build
  ${WORK_DIR}/consumer-build/nuvex OFF)
check_tests("-DBUILD_TESTING=OFF" ${SOURCE_DIR} ${WORK_DIR}/off ${WORK_DIR}/off OFF
  -DBUILD_TESTING=OFF)
check_tests("top level" ${SOURCE_DIR} ${WORK_DIR}/top ${WORK_DIR}/top ON)
file(REMOVE_RECURSE ${WORK_DIR})
