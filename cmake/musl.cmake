# portslot linked statically against musl, with the same g++: every compile
# and link of a musl target goes through Debian's musl-gcc wrapper, which
# points the compiler at musl's headers, start files and libc.a. The tool's
# sources need nothing but the C library, so no C++ library is involved. The
# rest of the build (portslot-audit, the tests) stays on the system's C
# library.
if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
  message(FATAL_ERROR "PORTSLOT_MUSL needs g++, which Debian's musl-gcc wrapper drives")
endif()
find_program(PORTSLOT_MUSL_GCC musl-gcc REQUIRED)

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
