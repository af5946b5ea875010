# portslot linked statically against musl, with the same g++: musl's headers,
# start files and libc.a, through the option file that Debian's musl-tools
# gives gcc (the one its musl-gcc wrapper uses). The tool's sources need
# nothing but the C library, so no C++ library is involved. The rest of the
# build (portslot-audit, the tests) stays on the system's C library.
if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
  message(FATAL_ERROR "PORTSLOT_MUSL needs g++, whose option file for musl it uses")
endif()
find_file(PORTSLOT_MUSL_GCC_OPTIONS musl-gcc.specs
  PATHS /usr/lib/${CMAKE_SYSTEM_PROCESSOR}-linux-musl /usr/lib/musl/lib /usr/local/musl/lib
  NO_DEFAULT_PATH REQUIRED)
set(musl_gcc_options "-specs=${PORTSLOT_MUSL_GCC_OPTIONS}")
add_library(portslot_musl_options INTERFACE)
# No unwind tables: nothing unwinds through the tool, and they are a fifth of it.
target_compile_options(portslot_musl_options INTERFACE ${musl_gcc_options} -fno-asynchronous-unwind-tables)
target_link_options(portslot_musl_options INTERFACE ${musl_gcc_options} -static)
