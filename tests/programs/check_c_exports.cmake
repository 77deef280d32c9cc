cmake_minimum_required(VERSION 3.25)
# The export table of the C interface's library: exactly the functions declared in
# include/nuvex/nuvex.h, under their plain C names. Linux: the dynamic symbols of libnuvex_c.so
# (NM). Windows: the export table of nuvex_c.dll (OBJDUMP) and the __imp_ symbols of its import
# library (LLVM_NM). Arguments: -DHEADER=... -DLIBRARY=... [-DNM=...] [-DOBJDUMP=...
# -DLLVM_NM=... -DIMPORT_LIBRARY=...]

file(READ ${HEADER} header)
# A name in parentheses ("void(nuvex_options_init)(") is declared beside a macro of its name.
string(REGEX MATCHALL "NUVEX_C_API[a-z_ *]*[ *(]nuvex_[a-z0-9_]+\\)?\\(" declarations "${header}")
set(expected "")
foreach(declaration IN LISTS declarations)
  string(REGEX REPLACE ".*[ *(](nuvex_[a-z0-9_]+)\\)?\\($" "\\1" name "${declaration}")
  list(APPEND expected ${name})
endforeach()
list(SORT expected)
list(LENGTH expected count)
if(count LESS 7)
  message(FATAL_ERROR "found only ${count} functions in ${HEADER}: ${expected}")
endif()

set(failures "")
function(compare what names)
  list(SORT names)
  if(NOT names STREQUAL expected)
    set(failures "${failures}${what}\n  ${names}\ninstead of\n  ${expected}\n" PARENT_SCOPE)
  endif()
endfunction()

if(NM)
  execute_process(COMMAND ${NM} -D --defined-only -P ${LIBRARY} OUTPUT_VARIABLE dump
    RESULT_VARIABLE status)
  if(status)
    message(FATAL_ERROR "${NM} cannot read ${LIBRARY}")
  endif()
  string(REGEX MATCHALL "(^|\n)[^ \n]+" rows "${dump}")
  list(TRANSFORM rows STRIP)
  compare("${LIBRARY} exports" "${rows}")
endif()
if(OBJDUMP)
  execute_process(COMMAND ${OBJDUMP} -p ${LIBRARY} OUTPUT_VARIABLE dump)
  string(REGEX MATCH "\\[Ordinal/Name Pointer\\] Table\n[^\n]*(\n[^\n]+)*" table "${dump}")
  string(REGEX MATCHALL "\n\t\\[ *[0-9]+\\] [^\n]+" rows "${table}")
  list(TRANSFORM rows REPLACE ".*\\] " "")
  compare("${LIBRARY} exports" "${rows}")
  execute_process(COMMAND ${LLVM_NM} --defined-only --format=just-symbols ${IMPORT_LIBRARY}
    OUTPUT_VARIABLE symbols)
  string(REGEX MATCHALL "__imp_[^\n]+" imports "${symbols}")
  list(TRANSFORM imports REPLACE "^__imp_" "")
  compare("${IMPORT_LIBRARY} offers" "${imports}")
endif()

if(failures)
  message(FATAL_ERROR "${failures}")
endif()
message(STATUS "exports: ${expected}")
