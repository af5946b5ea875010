# Builds the Debian packages with CPack and checks what each one holds.
#   cmake -DBUILD=dir -DWORK=dir -DLIBDIR=lib -P package_test.cmake
file(REMOVE_RECURSE "${WORK}")
execute_process(COMMAND cpack -G DEB -B "${WORK}" --config "${BUILD}/CPackConfig.cmake"
                WORKING_DIRECTORY "${BUILD}" COMMAND_ERROR_IS_FATAL ANY)

function(expect_contents glob)
  file(GLOB deb "${WORK}/${glob}")
  if(NOT deb)
    message(FATAL_ERROR "no package ${glob}")
  endif()
  execute_process(COMMAND dpkg-deb -c "${deb}" OUTPUT_VARIABLE contents COMMAND_ERROR_IS_FATAL ANY)
  foreach(path IN LISTS ARGN)
    string(FIND "${contents}" " ./usr/${path}\n" at)
    if(at EQUAL -1)
      message(FATAL_ERROR "${deb} lacks /usr/${path}:\n${contents}")
    endif()
  endforeach()
  execute_process(COMMAND dpkg-deb -f "${deb}" Package Depends Maintainer Description
                  OUTPUT_VARIABLE fields COMMAND_ERROR_IS_FATAL ANY)
  message(STATUS "${deb}:\n${fields}")
endfunction()

expect_contents("portslot_*.deb" bin/portslot bin/portslot-audit share/man/man1/portslot.1.gz
                share/man/man1/portslot-audit.1.gz share/bash-completion/completions/portslot
                share/bash-completion/completions/portslot-audit)
expect_contents("libportslot-dev_*.deb" include/portslot/port_derivation.h
                include/portslot/options.h ${LIBDIR}/libportslot.a
                ${LIBDIR}/cmake/portslot/portslotConfig.cmake)
