# run(COMMAND...): runs a command, fails the script with its output unless it
# succeeds, and leaves its output in `out`.
function(run)
  execute_process(COMMAND ${ARGN} OUTPUT_VARIABLE out ERROR_VARIABLE out RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    list(JOIN ARGN " " command)
    message(FATAL_ERROR "${command}: ${status}\n${out}")
  endif()
  set(out "${out}" PARENT_SCOPE)
endfunction()
