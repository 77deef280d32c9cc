# Installs the build tree into a scratch prefix, builds the example against it, runs it on
# stations.txt and compares its report with expected_report.txt byte for byte.
# Arguments: -DBUILD_DIR=... -DSOURCE_DIR=... -DWORK_DIR=...
include(${CMAKE_CURRENT_LIST_DIR}/../../tests/support/build_downstream.cmake)
nuvex_build_downstream(example)
file(MAKE_DIRECTORY ${WORK_DIR}/run)
file(COPY ${SOURCE_DIR}/stations.txt DESTINATION ${WORK_DIR}/run)
execute_process(COMMAND ${WORK_DIR}/build/survey WORKING_DIRECTORY ${WORK_DIR}/run
  RESULT_VARIABLE status)
if(status)
  message(FATAL_ERROR "survey failed")
endif()
execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files ${WORK_DIR}/run/report.txt
  ${SOURCE_DIR}/expected_report.txt RESULT_VARIABLE status)
if(status)
  message(FATAL_ERROR "report.txt differs from expected_report.txt (kept in ${WORK_DIR}/run)")
endif()
file(REMOVE_RECURSE ${WORK_DIR})
