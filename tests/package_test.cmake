# Builds the Debian packages as the "package" preset does (for /usr, with
# Debian's hardening flags), checks what each one holds, and runs lintian on
# them: any error or warning fails.
#   cmake -DSOURCE=dir -DWORK=dir -P package_test.cmake
file(REMOVE_RECURSE "${WORK}")
include("${CMAKE_CURRENT_LIST_DIR}/run_checked.cmake")

run(${CMAKE_COMMAND} -S "${SOURCE}" --preset package -B "${WORK}/build")
run(${CMAKE_COMMAND} --build "${WORK}/build" -j2)
run(cpack -G DEB -B "${WORK}/packages" --config "${WORK}/build/CPackConfig.cmake")

set(libdir lib/x86_64-linux-gnu)
function(expect_contents glob)
  file(GLOB deb "${WORK}/packages/${glob}")
  if(NOT deb)
    message(FATAL_ERROR "no package ${glob}")
  endif()
  run(dpkg-deb -c "${deb}")
  foreach(path IN LISTS ARGN)
    string(FIND "${out}" " ./usr/${path}" at)
    if(at EQUAL -1)
      message(FATAL_ERROR "${deb} lacks /usr/${path}:\n${out}")
    endif()
  endforeach()
endfunction()

expect_contents("portslot_*.deb" bin/portslot bin/portslot-audit share/man/man1/portslot.1.gz
                share/man/man1/portslot-audit.1.gz share/bash-completion/completions/portslot
                share/bash-completion/completions/portslot-audit
                share/zsh/vendor-completions/_portslot-audit
                share/fish/vendor_completions.d/portslot-audit.fish share/doc/portslot/copyright
                share/doc/portslot/changelog.gz)
expect_contents("libportslot-dev_*.deb" include/portslot/port_derivation.h include/portslot/options.h
                include/portslot/portslot.h ${libdir}/libportslot.a ${libdir}/pkgconfig/portslot.pc
                ${libdir}/cmake/portslot/portslotConfig.cmake share/man/man3/portslot_compute_port.3.gz
                share/doc/libportslot-dev/copyright share/doc/libportslot-dev/changelog.gz)

# The tunnel's package: an SSH client recommended, and the maintainer
# scripts that reload systemd, stop the unit on removal and remove its links
# on purge.
file(GLOB tool_deb "${WORK}/packages/portslot_*.deb")
run(dpkg-deb -f "${tool_deb}" Recommends)
if(NOT out STREQUAL "openssh-client | dropbear-bin\n")
  message(FATAL_ERROR "portslot recommends '${out}'")
endif()
run(dpkg-deb -I "${tool_deb}")
foreach(script postinst prerm postrm)
  if(NOT out MATCHES " ${script} ")
    message(FATAL_ERROR "portslot has no ${script}:\n${out}")
  endif()
endforeach()

# Its scripts through install, enable, remove, reinstall and purge.
execute_process(COMMAND sh "${CMAKE_CURRENT_LIST_DIR}/package_cycle.sh" "${tool_deb}" "${WORK}"
                OUTPUT_VARIABLE cycle ERROR_VARIABLE cycle RESULT_VARIABLE status)
message(STATUS "${cycle}")
if(NOT status EQUAL 0)
  message(FATAL_ERROR "the package's cycle failed")
endif()

find_program(LINTIAN lintian)
if(NOT LINTIAN)
  message(FATAL_ERROR "lintian is not installed; scripts/install-deps installs it")
endif()
file(GLOB debs "${WORK}/packages/*.deb")
execute_process(COMMAND "${LINTIAN}" --fail-on error,warning ${debs} OUTPUT_VARIABLE tags
                RESULT_VARIABLE status)
if(NOT status EQUAL 0 OR tags MATCHES "(^|\n)[EW]: ")
  message(FATAL_ERROR "lintian:\n${tags}")
endif()
message(STATUS "lintian reports no error and no warning")
