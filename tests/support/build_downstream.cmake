# Script helper for the tests of the installed package: installs the build tree BUILD_DIR into a
# scratch prefix under WORK_DIR, then configures and builds the project SOURCE_DIR against it with
# find_package(nuvex), in WORK_DIR/build. Stops the script with a message at the first failure.
function(nuvex_build_downstream what)
  file(REMOVE_RECURSE ${WORK_DIR})
  execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${WORK_DIR}/prefix
    RESULT_VARIABLE status OUTPUT_QUIET)
  if(status)
    message(FATAL_ERROR "install failed")
  endif()
  execute_process(COMMAND ${CMAKE_COMMAND} -S ${SOURCE_DIR} -B ${WORK_DIR}/build
    -DCMAKE_PREFIX_PATH=${WORK_DIR}/prefix -DCMAKE_BUILD_TYPE=Release
    RESULT_VARIABLE status OUTPUT_QUIET)
  if(status)
    message(FATAL_ERROR "${what} configure failed")
  endif()
  execute_process(COMMAND ${CMAKE_COMMAND} --build ${WORK_DIR}/build RESULT_VARIABLE status)
  if(status)
    message(FATAL_ERROR "${what} build failed")
  endif()
endfunction()
