# Runs the C client, then checks what it wrote against the C++ engine. Arguments: -DCLIENT=...
# -DCHECKER=... (each a command list, with the emulator of a cross build) -DRESULTS=...
execute_process(COMMAND ${CLIENT} ${RESULTS} RESULT_VARIABLE status)
if(status)
  message(FATAL_ERROR "the C client failed (${status})")
endif()
execute_process(COMMAND ${CHECKER} ${RESULTS} RESULT_VARIABLE status)
file(REMOVE ${RESULTS})
if(status)
  message(FATAL_ERROR "the C client's results differ from the C++ engine (${status})")
endif()
