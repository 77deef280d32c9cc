cmake_minimum_required(VERSION 3.25)
# The Windows binaries hold no aligned 32-byte (ymm) move that addresses the stack. Windows keeps
# the stack at 16 bytes and GCC cannot realign it there, so such a move faults whenever its slot
# lands on an odd 16 bytes (Wine on Linux may not show it). The build has the assembler write the
# vector objects' aligned moves as unaligned ones; this check reads the disassembly of what ships.
# BINARIES: the DLL, the programs and the static library; OBJDUMP: binutils' objdump for them.

set(failures "")
set(vector_instructions 0)
foreach(binary IN LISTS BINARIES)
  get_filename_component(name ${binary} NAME)
  set(listing ${WORK_DIR}/${name}.disassembly)
  execute_process(COMMAND ${OBJDUMP} -d --no-show-raw-insn ${binary}
    OUTPUT_FILE ${listing} RESULT_VARIABLE status ERROR_VARIABLE errors)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "${OBJDUMP} could not disassemble ${binary}:\n${errors}")
  endif()
  # Function headers ("<name>:") and every instruction with a ymm register.
  file(STRINGS ${listing} lines REGEX "^[0-9a-f]+ <.*>:$|%ymm")
  set(function "?")
  foreach(line IN LISTS lines)
    if(line MATCHES "^[0-9a-f]+ <(.*)>:$")
      set(function "${CMAKE_MATCH_1}")
      continue()
    endif()
    math(EXPR vector_instructions "${vector_instructions} + 1")
    # vmovaps, vmovapd, vmovdqa (and the AVX-512 vmovdqa32/64) with a ymm register and a memory
    # operand based on rsp or rbp, in either direction.
    if(line MATCHES "\tvmov(ap[sd]|dqa(32|64)?)[ \t]+[^\n]*%ymm" AND
       line MATCHES "\\(%r[sb]p[,)]")
      string(APPEND failures "${name}: ${function}:\n  ${line}\n")
    endif()
  endforeach()
endforeach()

if(failures)
  message(FATAL_ERROR "aligned ymm moves on the stack:\n${failures}")
endif()
if(EXPECT_VECTOR_CODE AND vector_instructions EQUAL 0)
  message(FATAL_ERROR "no ymm instruction in ${BINARIES}: the vector path is not built in")
endif()
message(STATUS "${vector_instructions} ymm instructions, none an aligned move on the stack")
