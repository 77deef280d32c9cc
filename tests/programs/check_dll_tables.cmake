cmake_minimum_required(VERSION 3.25)
# The export and import tables of the Windows build.
# Exports: exactly the three entry points under the names that Microsoft's ABI gives the public
# declarations of include/nuvex/host.h, computed here by clang (not read from the .def file), in
# the DLL and in its import library. Imports: the DLL and the programs need nothing but DLLs
# that every 64-bit Windows has (the compiler's runtime is linked statically).

# Windows' own DLLs; api-ms-win-* are the system's API sets.
set(system_dlls kernel32.dll user32.dll msvcrt.dll advapi32.dll ntdll.dll ucrtbase.dll)
set(failures "")

# Names a host compiled for Microsoft's ABI imports.
set(include_options "")
foreach(dir IN LISTS CXX_INCLUDES)
  list(APPEND include_options -isystem ${dir})
endforeach()
execute_process(COMMAND ${CLANGXX} --target=x86_64-pc-windows-msvc -std=c++20 -w -nostdinc++
    ${include_options} -I${HEADERS} -c ${SOURCE} -o ${WORK_DIR}/decorated_names.obj
  RESULT_VARIABLE status ERROR_VARIABLE errors)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "clang could not compile ${SOURCE}:\n${errors}")
endif()
execute_process(COMMAND ${LLVM_NM} --undefined-only --format=just-symbols
    ${WORK_DIR}/decorated_names.obj
  OUTPUT_VARIABLE expected)
string(REGEX MATCHALL "[^\n]+" expected "${expected}")
list(SORT expected)
list(LENGTH expected count)
if(NOT count EQUAL 3)
  message(FATAL_ERROR "expected three entry points from clang, got: ${expected}")
endif()

# The DLL's export table: the "[Ordinal/Name Pointer] Table" lines of objdump -p.
execute_process(COMMAND ${OBJDUMP} -p ${DLL} OUTPUT_VARIABLE dump)
string(REGEX MATCH "\\[Ordinal/Name Pointer\\] Table\n[^\n]*(\n[^\n]+)*" table "${dump}")
string(REGEX MATCHALL "\n\t\\[ *[0-9]+\\] [^\n]+" rows "${table}")
set(exported "")
foreach(row IN LISTS rows)
  string(REGEX REPLACE ".*\\] " "" name "${row}")
  list(APPEND exported "${name}")
endforeach()
list(SORT exported)
if(NOT exported STREQUAL expected)
  string(APPEND failures "DLL exports\n  ${exported}\ninstead of\n  ${expected}\n")
endif()

# The import library: the __imp_ symbols through which a host linked at build time calls.
execute_process(COMMAND ${LLVM_NM} --defined-only --format=just-symbols ${IMPORT_LIBRARY}
  OUTPUT_VARIABLE symbols)
string(REGEX MATCHALL "__imp_[^\n]+" imports "${symbols}")
list(TRANSFORM imports REPLACE "^__imp_" "")
list(SORT imports)
if(NOT imports STREQUAL expected)
  string(APPEND failures "import library offers\n  ${imports}\ninstead of\n  ${expected}\n")
endif()

# Import tables: system DLLs only.
foreach(binary ${DLL} ${PROGRAMS})
  execute_process(COMMAND ${OBJDUMP} -p ${binary} OUTPUT_VARIABLE dump)
  string(REGEX MATCHALL "DLL Name: [^\n]+" names "${dump}")
  foreach(entry IN LISTS names)
    string(REPLACE "DLL Name: " "" dll "${entry}")
    string(TOLOWER "${dll}" dll)
    if(NOT dll IN_LIST system_dlls AND NOT dll MATCHES "^api-ms-win-")
      string(APPEND failures "${binary} imports ${dll}, which Windows does not have\n")
    endif()
  endforeach()
endforeach()

if(failures)
  message(FATAL_ERROR "${failures}")
endif()
message(STATUS "exports: ${exported}")
