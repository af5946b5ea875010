# portslot linked statically against musl, with the same g++ (or cross g++):
# every compile and link of a musl target goes through cmake/with-musl, which
# points the compiler at the headers, start files and libc.a of Debian's
# musl-dev for its target. The tool's sources need nothing but the C library, so no
# C++ library is involved. The rest of the build (portslot-audit, the tests)
# stays on the system's C library.
if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
  message(FATAL_ERROR "PORTSLOT_MUSL needs g++, whose start files cmake/with-musl links")
endif()
execute_process(COMMAND ${CMAKE_CXX_COMPILER} -dumpmachine OUTPUT_VARIABLE target
                OUTPUT_STRIP_TRAILING_WHITESPACE)
string(REPLACE "-gnu" "-musl" musl_target "${target}")
if(NOT EXISTS "/usr/lib/${musl_target}/libc.a")
  message(FATAL_ERROR "PORTSLOT_MUSL: no musl for ${target}; install musl-dev for its architecture")
endif()

# Builds and links `target` against musl, statically.
function(portslot_use_musl target)
  set(launcher "${PROJECT_SOURCE_DIR}/cmake/with-musl")
  set_target_properties(${target} PROPERTIES
    C_COMPILER_LAUNCHER "${launcher}" CXX_COMPILER_LAUNCHER "${launcher}"
    C_LINKER_LAUNCHER "${launcher}" CXX_LINKER_LAUNCHER "${launcher}")
  # No unwind tables: nothing unwinds through the tool, and they are a fifth of it.
  target_compile_options(${target} PRIVATE -fno-asynchronous-unwind-tables)
  target_link_options(${target} PRIVATE -static)
endfunction()
