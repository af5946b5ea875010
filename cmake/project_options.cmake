# Compiler settings shared by every target of the project, attached to targets
# through an INTERFACE target rather than set globally.
add_library(portslot_project_options INTERFACE)
target_compile_options(portslot_project_options INTERFACE -Wall -Wextra -Wpedantic -Werror)

# Sanitizers for every target, e.g. "address,undefined". Any finding ends the
# run: a signed overflow fails a test instead of printing a warning.
set(PORTSLOT_SANITIZE "" CACHE STRING "Sanitizers to build every target with")
if(PORTSLOT_SANITIZE)
  target_compile_options(portslot_project_options INTERFACE
    -fsanitize=${PORTSLOT_SANITIZE} -fno-sanitize-recover=all -fno-omit-frame-pointer -g)
  target_link_options(portslot_project_options INTERFACE -fsanitize=${PORTSLOT_SANITIZE})
endif()

# Source-based coverage (clang): every program writes a profile that the
# coverage gate test merges and checks.
option(PORTSLOT_COVERAGE "Build with clang source-based coverage" OFF)
if(PORTSLOT_COVERAGE)
  if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
    message(FATAL_ERROR "PORTSLOT_COVERAGE needs clang++ (use the coverage preset)")
  endif()
  target_compile_options(portslot_project_options INTERFACE -fprofile-instr-generate -fcoverage-mapping)
  target_link_options(portslot_project_options INTERFACE -fprofile-instr-generate)
endif()

# libFuzzer targets (clang): the library is instrumented for the fuzzer, with
# AddressSanitizer and UndefinedBehaviorSanitizer on every target.
option(PORTSLOT_FUZZ "Build the libFuzzer targets (clang)" OFF)
if(PORTSLOT_FUZZ)
  if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
    message(FATAL_ERROR "PORTSLOT_FUZZ needs clang++ (use the fuzz preset)")
  endif()
  target_compile_options(portslot_project_options INTERFACE
    -fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer -g)
  target_link_options(portslot_project_options INTERFACE -fsanitize=address,undefined)
endif()
