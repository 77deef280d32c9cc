# Runs the converter on a file with Windows line ends (CRLF) and compares what it prints, line
# ends aside, with the reference results.
# -DCONVERTER=<command> -DINPUT=<points> -DEXPECTED=<results> -DWORK_DIR=<dir>
file(READ ${INPUT} points)
string(REGEX REPLACE "(^|\n)#[^\n]*" "" points "${points}")  # provenance comments
string(STRIP "${points}" points)
string(REPLACE "\n" "\r\n" points "${points}\n")
file(WRITE ${WORK_DIR}/points_crlf.txt "${points}")

# A relative name: on Windows an argument that starts with a slash reads as an option.
execute_process(COMMAND ${CONVERTER} from-ll --system 1 points_crlf.txt
  WORKING_DIRECTORY ${WORK_DIR}
  OUTPUT_VARIABLE output ERROR_VARIABLE errors RESULT_VARIABLE status)
string(REPLACE "\r\n" "\n" output "${output}")

file(READ ${EXPECTED} expected)
string(REGEX REPLACE "(^|\n)#[^\n]*" "" expected "${expected}")
string(STRIP "${expected}" expected)
string(STRIP "${output}" output)
if(NOT status EQUAL 1 OR NOT output STREQUAL expected)
  message(FATAL_ERROR "converter exit status ${status} (expected 1: one line cannot be read)\n"
    "output:\n${output}\nexpected:\n${expected}\nstandard error:\n${errors}")
endif()
