# Installs the build tree into a scratch prefix, then configures, builds and runs the downstream
# project against it. Arguments: -DBUILD_DIR=... -DSOURCE_DIR=... -DWORK_DIR=...
include(${CMAKE_CURRENT_LIST_DIR}/../support/build_downstream.cmake)
nuvex_build_downstream(downstream)
foreach(program host_consumer calc_consumer transform_consumer c_consumer)
  execute_process(COMMAND ${WORK_DIR}/build/${program} RESULT_VARIABLE status)
  if(status)
    message(FATAL_ERROR "${program} failed")
  endif()
endforeach()
file(REMOVE_RECURSE ${WORK_DIR})
