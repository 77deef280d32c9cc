# Installs the Python package as the README tells Python users to, offline, into a scratch virtual
# environment, converts a point with it, and builds a wheel. Arguments: -DSOURCE_DIR= -DPYTHON=
# (the interpreter the environment is made from) -DWORK_DIR= -DCMAKE_BUILD_DIR= (the package's
# CMake build, kept between runs so that a second run only links).
file(REMOVE_RECURSE ${WORK_DIR})
file(MAKE_DIRECTORY ${WORK_DIR})
set(ENV{NUVEX_CMAKE_BUILD_DIR} ${CMAKE_BUILD_DIR})
set(ENV{PIP_NO_INDEX} 1)  # offline: everything comes from the machine's packages
set(ENV{PIP_DISABLE_PIP_VERSION_CHECK} 1)
unset(ENV{PYTHONPATH})

function(run what)
  execute_process(COMMAND ${ARGN} WORKING_DIRECTORY ${WORK_DIR} RESULT_VARIABLE status
    OUTPUT_VARIABLE output ERROR_VARIABLE output)
  if(status)
    message(FATAL_ERROR "${what} failed:\n${output}")
  endif()
endfunction()

run("making the environment" ${PYTHON} -m venv --system-site-packages ${WORK_DIR}/venv)
run("pip install" ${WORK_DIR}/venv/bin/pip install --no-build-isolation ${SOURCE_DIR})
set(check [=[
import sys, numpy, nuvex
assert nuvex.__file__.startswith(sys.prefix), nuvex.__file__
x, y, zone, status = nuvex.Transformer("G:3", "E:3").transform(numpy.array([10.0]), [50.0])
assert abs(x[0] - 571666.448) < 1e-3 and abs(y[0] - 5539109.815) < 1e-3, (x, y)
assert zone[0] == 32 and status[0] == 0
import nuvex.dataframe, nuvex.geopandas, nuvex.shapely
]=])
run("converting with the installed package" ${WORK_DIR}/venv/bin/python -c "${check}")

run("building a wheel" ${PYTHON} -m build --no-isolation --wheel --outdir ${WORK_DIR}/dist
  ${SOURCE_DIR})
set(wheel_check [=[
import glob, sys, zipfile
wheels = glob.glob(sys.argv[1] + "/nuvex-*.whl")
assert len(wheels) == 1, wheels
names = zipfile.ZipFile(wheels[0]).namelist()
for wanted in ("nuvex/__init__.py", "nuvex/_nuvex", "nuvex/geopandas.py"):
    assert any(name.startswith(wanted) for name in names), (wanted, names)
]=])
run("checking the wheel" ${PYTHON} -c "${wheel_check}" ${WORK_DIR}/dist)
file(REMOVE_RECURSE ${WORK_DIR})
