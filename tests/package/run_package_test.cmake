# Installs the build tree into a scratch prefix, then configures, builds and runs the downstream
# project against it. Arguments: -DBUILD_DIR=... -DSOURCE_DIR=... -DWORK_DIR=...
file(REMOVE_RECURSE ${WORK_DIR})
execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${WORK_DIR}/prefix
  RESULT_VARIABLE status OUTPUT_QUIET)
if(status)
  message(FATAL_ERROR "install failed")
endif()
execute_process(COMMAND ${CMAKE_COMMAND} -S ${SOURCE_DIR} -B ${WORK_DIR}/build
  -DCMAKE_PREFIX_PATH=${WORK_DIR}/prefix -DCMAKE_BUILD_TYPE=Release
  RESULT_VARIABLE status)
if(status)
  message(FATAL_ERROR "downstream configure failed")
endif()
execute_process(COMMAND ${CMAKE_COMMAND} --build ${WORK_DIR}/build RESULT_VARIABLE status)
if(status)
  message(FATAL_ERROR "downstream build failed")
endif()
foreach(program host_consumer calc_consumer transform_consumer)
  execute_process(COMMAND ${WORK_DIR}/build/${program} RESULT_VARIABLE status)
  if(status)
    message(FATAL_ERROR "${program} failed")
  endif()
endforeach()
file(REMOVE_RECURSE ${WORK_DIR})
