# Installs the Python package into a scratch prefix and converts a numpy array with it, as the
# README tells a user to. Arguments: -DBUILD_DIR= -DPYTHON= -DPACKAGE_DIR= (relative to the
# prefix) -DWORK_DIR=
file(REMOVE_RECURSE ${WORK_DIR})
execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD_DIR} --component python
  --prefix ${WORK_DIR}/prefix RESULT_VARIABLE status OUTPUT_QUIET)
if(status)
  message(FATAL_ERROR "install failed")
endif()
set(check [=[
import sys, numpy, nuvex
assert nuvex.__file__.startswith(sys.argv[1]), nuvex.__file__
x, y, zone, status = nuvex.Transformer("G:3", "E:3").transform(numpy.array([10.0]), [50.0])
assert abs(x[0] - 571666.448) < 1e-3 and abs(y[0] - 5539109.815) < 1e-3, (x, y)
assert zone[0] == 32 and status[0] == 0
import nuvex.dataframe
]=])
execute_process(COMMAND ${CMAKE_COMMAND} -E env PYTHONPATH=${WORK_DIR}/prefix/${PACKAGE_DIR}
  ${PYTHON} -c "${check}" ${WORK_DIR}/prefix WORKING_DIRECTORY ${WORK_DIR} RESULT_VARIABLE status)
if(status)
  message(FATAL_ERROR "the installed package does not convert")
endif()
file(REMOVE_RECURSE ${WORK_DIR})
