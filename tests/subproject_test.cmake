# Builds a project that takes portslot in with FetchContent from this source
# tree: the library links, the programs build, and portslot adds no install
# rules, tests or packaging to it.
#   cmake -DSOURCE=dir -DTESTS=dir -DWORK=dir -P subproject_test.cmake
file(REMOVE_RECURSE "${WORK}")
include("${CMAKE_CURRENT_LIST_DIR}/run_checked.cmake")

run(${CMAKE_COMMAND} -S "${TESTS}/subproject" -B "${WORK}/build" -DPORTSLOT_SOURCE=${SOURCE})
run(${CMAKE_COMMAND} --build "${WORK}/build" -j2 --target consumer portslot portslot-audit)
run("${WORK}/build/consumer" --port-num 1 aa:bb:cc:dd:ee:ff)
if(NOT out STREQUAL "40556\n")
  message(FATAL_ERROR "the consumer printed '${out}', not 40556")
endif()
run("${WORK}/build/_deps/portslot-build/portslot" --port-num 1 aa:bb:cc:dd:ee:ff)
if(NOT out STREQUAL "40556")
  message(FATAL_ERROR "the subproject's portslot printed '${out}'")
endif()

run(${CMAKE_COMMAND} --install "${WORK}/build" --prefix "${WORK}/prefix")
file(GLOB_RECURSE installed RELATIVE "${WORK}/prefix" "${WORK}/prefix/*")
if(NOT installed STREQUAL "bin/consumer")
  message(FATAL_ERROR "installing the host project installed ${installed}")
endif()
run(ctest --test-dir "${WORK}/build" -N)
if(NOT out MATCHES "Total Tests: 0")
  message(FATAL_ERROR "portslot added tests to the host project:\n${out}")
endif()
if(EXISTS "${WORK}/build/CPackConfig.cmake" OR EXISTS "${WORK}/build/_deps/portslot-build/CPackConfig.cmake")
  message(FATAL_ERROR "portslot added packaging to the host project")
endif()
message(STATUS "as a subproject: portslot::portslot links, the programs build, nothing else is added")
