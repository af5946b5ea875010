# Installs the build into a fresh prefix, checks the installed files, then
# builds and runs a consumer project against it with find_package.
#   cmake -DBUILD=dir -DWORK=dir -DSOURCE=dir -DBINDIR=bin -DLIBDIR=lib
#         -DINCLUDEDIR=include -DMANDIR=share/man -DDATADIR=share -P install_test.cmake
file(REMOVE_RECURSE "${WORK}")
set(prefix "${WORK}/prefix")
execute_process(COMMAND ${CMAKE_COMMAND} --install "${BUILD}" --prefix "${prefix}" COMMAND_ERROR_IS_FATAL ANY)

foreach(path
    "${BINDIR}/portslot"
    "${BINDIR}/portslot-audit"
    "${MANDIR}/man1/portslot.1.gz"
    "${MANDIR}/man1/portslot-audit.1.gz"
    "${DATADIR}/bash-completion/completions/portslot"
    "${DATADIR}/bash-completion/completions/portslot-audit"
    "${INCLUDEDIR}/portslot/port_derivation.h"
    "${INCLUDEDIR}/portslot/options.h"
    "${LIBDIR}/libportslot.a"
    "${LIBDIR}/cmake/portslot/portslotConfig.cmake"
    "${LIBDIR}/cmake/portslot/portslotConfigVersion.cmake"
    "${LIBDIR}/cmake/portslot/portslotTargets.cmake")
  if(NOT EXISTS "${prefix}/${path}")
    message(FATAL_ERROR "not installed: ${path}")
  endif()
endforeach()

set(consumer "${WORK}/consumer")
execute_process(COMMAND ${CMAKE_COMMAND} -S "${SOURCE}" -B "${consumer}" "-DCMAKE_PREFIX_PATH=${prefix}"
                COMMAND_ERROR_IS_FATAL ANY)
execute_process(COMMAND ${CMAKE_COMMAND} --build "${consumer}" COMMAND_ERROR_IS_FATAL ANY)
execute_process(COMMAND "${consumer}/consumer" --port-num 1 aa:bb:cc:dd:ee:ff
                OUTPUT_VARIABLE port COMMAND_ERROR_IS_FATAL ANY)
if(NOT port STREQUAL "40556\n")
  message(FATAL_ERROR "consumer printed '${port}', not 40556")
endif()
message(STATUS "installed tree and consumer: 40556")
