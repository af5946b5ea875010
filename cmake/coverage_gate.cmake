# Merges the profiles that the test run left and fails when the line or
# branch coverage of the sources falls below the thresholds.
#   cmake -DPROFDATA=... -DCOV=... -DPROFILES=dir -DOBJECTS="a;b" -DSOURCES=dir
#         -DMIN_LINES=100 -DMIN_BRANCHES=97 -P coverage_gate.cmake
# The table and the verdict are also left in <profiles>/summary.txt.
file(GLOB raw "${PROFILES}/*.profraw")
if(NOT raw)
  message(FATAL_ERROR "no coverage profiles in ${PROFILES}")
endif()
set(merged "${PROFILES}/merged.profdata")
execute_process(COMMAND "${PROFDATA}" merge -sparse ${raw} -o "${merged}" COMMAND_ERROR_IS_FATAL ANY)

# The first program is named plainly, the others with -object.
list(POP_FRONT OBJECTS object_args)
foreach(object IN LISTS OBJECTS)
  list(APPEND object_args -object "${object}")
endforeach()
execute_process(COMMAND "${COV}" report -show-branch-summary -instr-profile "${merged}" ${object_args}
                        "${SOURCES}" OUTPUT_VARIABLE table COMMAND_ERROR_IS_FATAL ANY)
execute_process(COMMAND "${COV}" export -summary-only -instr-profile "${merged}" ${object_args} "${SOURCES}"
                OUTPUT_VARIABLE summary COMMAND_ERROR_IS_FATAL ANY)

string(JSON lines GET "${summary}" data 0 totals lines percent)
string(JSON branches GET "${summary}" data 0 totals branches percent)
set(verdict "coverage of ${SOURCES}: lines ${lines}%, branches ${branches}%")
file(WRITE "${PROFILES}/summary.txt" "${table}${verdict}\n")
message("${table}${verdict}")
if(lines LESS MIN_LINES OR branches LESS MIN_BRANCHES)
  message(FATAL_ERROR "coverage below ${MIN_LINES}% of lines or ${MIN_BRANCHES}% of branches")
endif()
