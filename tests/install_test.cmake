# Installs the library and programs into a fresh prefix, checks the installed
# files, then builds and runs programs outside the project against the install:
# a C++17 CMake project with find_package, and a C and a C++17 program through
# pkg-config. With -DSHARED=ON it first builds the project afresh with a shared
# library, and checks that library's SONAME and exports, and that portslot
# still loads nothing but the C library.
#   cmake -DBUILD=dir -DWORK=dir -DSOURCE=dir -DTESTS=dir [-DSHARED=ON] -DBINDIR=bin
#         -DLIBDIR=lib -DINCLUDEDIR=include -DMANDIR=share/man -DDATADIR=share -P install_test.cmake
file(REMOVE_RECURSE "${WORK}")
set(prefix "${WORK}/prefix")

include("${CMAKE_CURRENT_LIST_DIR}/run_checked.cmake")

function(expect_port program)
  run(${CMAKE_COMMAND} -E env "LD_LIBRARY_PATH=${prefix}/${LIBDIR}" ${program} --port-num 1 aa:bb:cc:dd:ee:ff)
  if(NOT out MATCHES "^40556\n?$")
    message(FATAL_ERROR "${program} printed '${out}', not 40556")
  endif()
endfunction()

if(SHARED)
  set(BUILD "${WORK}/build")
  run(${CMAKE_COMMAND} -S "${SOURCE}" -B "${BUILD}" -DBUILD_SHARED_LIBS=ON -DPORTSLOT_WERROR=ON)
  run(${CMAKE_COMMAND} --build "${BUILD}" -j2)
endif()
run(${CMAKE_COMMAND} --install "${BUILD}" --prefix "${prefix}")

if(SHARED)
  set(library "${LIBDIR}/libportslot.so.1")
else()
  set(library "${LIBDIR}/libportslot.a")
endif()
foreach(path
    "${BINDIR}/portslot"
    "${BINDIR}/portslot-audit"
    "${MANDIR}/man1/portslot.1.gz"
    "${MANDIR}/man1/portslot-audit.1.gz"
    "${MANDIR}/man3/portslot_compute_port.3.gz"
    "${MANDIR}/man3/portslot_block_count.3.gz"
    "${DATADIR}/bash-completion/completions/portslot"
    "${DATADIR}/bash-completion/completions/portslot-audit"
    "${DATADIR}/zsh/vendor-completions/_portslot"
    "${DATADIR}/zsh/vendor-completions/_portslot-audit"
    "${DATADIR}/fish/vendor_completions.d/portslot.fish"
    "${DATADIR}/fish/vendor_completions.d/portslot-audit.fish"
    "${BINDIR}/portslot-tunnel"
    "${MANDIR}/man1/portslot-tunnel.1.gz"
    "${DATADIR}/bash-completion/completions/portslot-tunnel"
    "${DATADIR}/zsh/vendor-completions/_portslot-tunnel"
    "${DATADIR}/fish/vendor_completions.d/portslot-tunnel.fish"
    "lib/systemd/system/portslot-tunnel.service"
    "${DATADIR}/doc/portslot/copyright"
    "${INCLUDEDIR}/portslot/port_derivation.h"
    "${INCLUDEDIR}/portslot/options.h"
    "${INCLUDEDIR}/portslot/portslot.h"
    "${library}"
    "${LIBDIR}/pkgconfig/portslot.pc"
    "${LIBDIR}/cmake/portslot/portslotConfig.cmake"
    "${LIBDIR}/cmake/portslot/portslotConfigVersion.cmake"
    "${LIBDIR}/cmake/portslot/portslotTargets.cmake")
  if(NOT EXISTS "${prefix}/${path}")
    message(FATAL_ERROR "not installed: ${path}")
  endif()
endforeach()

# The device side: the script knows its version, and its unit names it where
# it is installed, which systemd checks.
run("${prefix}/${BINDIR}/portslot-tunnel" --version)
if(NOT out MATCHES "^portslot-tunnel [0-9]+\\.[0-9]+\\.[0-9]+\n$")
  message(FATAL_ERROR "portslot-tunnel --version printed '${out}'")
endif()
find_program(SYSTEMD_ANALYZE systemd-analyze)
if(SYSTEMD_ANALYZE)
  run(${SYSTEMD_ANALYZE} verify --man=no "${prefix}/lib/systemd/system/portslot-tunnel.service")
  file(STRINGS "${prefix}/lib/systemd/system/portslot-tunnel.service" exec REGEX "^ExecStart=")
  if(NOT exec STREQUAL "ExecStart=${prefix}/${BINDIR}/portslot-tunnel --identity %d/identity $PORTSLOT_TUNNEL_OPTIONS")
    message(FATAL_ERROR "the unit runs '${exec}'")
  endif()
  # Confined (systemd's own score, below 3.0 is "OK"), and a usage error is
  # no reason to restart.
  run(${SYSTEMD_ANALYZE} security --offline=yes "${prefix}/lib/systemd/system/portslot-tunnel.service")
  if(NOT out MATCHES "Overall exposure level for portslot-tunnel.service: ([0-9.]+)"
     OR CMAKE_MATCH_1 GREATER_EQUAL 3.0)
    message(FATAL_ERROR "the unit is not confined:\n${out}")
  endif()
  message(STATUS "systemd-analyze security: ${CMAKE_MATCH_1}")
  file(STRINGS "${prefix}/lib/systemd/system/portslot-tunnel.service" restart
       REGEX "^RestartPreventExitStatus=2$")
  if(NOT restart)
    message(FATAL_ERROR "the unit restarts after a usage error")
  endif()
else()
  message(STATUS "systemd-analyze: not found, the unit is not checked")
endif()

if(SHARED)
  run(readelf -d "${prefix}/${library}")
  if(NOT out MATCHES "Library soname: \\[libportslot\\.so\\.1\\]")
    message(FATAL_ERROR "no SONAME libportslot.so.1:\n${out}")
  endif()
  # Only the documented interface is exported: the C functions and the C++
  # ones, not the derivation's helpers.
  run(nm -D -C --defined-only "${prefix}/${library}")
  string(REGEX REPLACE "[0-9a-f]+ T ([^\n]*)\n" "\\1;" exported "${out}")
  foreach(symbol IN LISTS exported)
    if(symbol AND NOT symbol MATCHES "^(portslot_compute_port|portslot_block_count|portslot::(compute_port|port_block_count|getopt)\\(.*\\))$")
      message(FATAL_ERROR "exports more than the interface: ${symbol}\n${out}")
    endif()
  endforeach()
  run(readelf -d "${prefix}/${BINDIR}/portslot")
  string(REGEX MATCHALL "Shared library: \\[[^]]*\\]" needed "${out}")
  if(NOT needed STREQUAL "Shared library: [libc.so.6]")
    message(FATAL_ERROR "portslot needs more than the C library: ${needed}")
  endif()
endif()

# A C++17 project that finds the installed package.
set(consumer "${WORK}/consumer")
run(${CMAKE_COMMAND} -S "${TESTS}/consumer" -B "${consumer}" "-DCMAKE_PREFIX_PATH=${prefix}")
run(${CMAKE_COMMAND} --build "${consumer}")
expect_port("${consumer}/consumer")

# A C program and a C++17 program built with nothing but what pkg-config says.
set(ENV{PKG_CONFIG_PATH} "${prefix}/${LIBDIR}/pkgconfig")
run(pkg-config --cflags --libs portslot)
separate_arguments(flags UNIX_COMMAND "${out}")
run(cc -std=c99 -Wall -Wextra -Wpedantic -Werror "${TESTS}/c_interface_test.c" ${flags}
    -o "${WORK}/c_program")
run(${CMAKE_COMMAND} -E env "LD_LIBRARY_PATH=${prefix}/${LIBDIR}" "${WORK}/c_program")
run(c++ -std=c++17 -Wall -Wextra -Wpedantic -Werror "${TESTS}/consumer/main.cpp" ${flags}
    -o "${WORK}/cxx_program")
expect_port("${WORK}/cxx_program")
message(STATUS "installed tree, CMake package and pkg-config consumers: 40556")
