# Compiler settings shared by every target of the project, attached to targets
# through an INTERFACE target rather than set globally.
add_library(portslot_project_options INTERFACE)
target_compile_options(portslot_project_options INTERFACE -Wall -Wextra -Wpedantic)

# Fatal in the presets and in CI; off for a plain configure, so that a newer
# compiler's new warning cannot break a user's or a packager's build.
option(PORTSLOT_WERROR "Treat compiler warnings as errors" OFF)
if(PORTSLOT_WERROR)
  target_compile_options(portslot_project_options INTERFACE -Werror)
endif()

set(PORTSLOT_SANITIZE "" CACHE STRING "Sanitizers to build every target with, e.g. address,undefined")
option(PORTSLOT_COVERAGE "Build with clang source-based coverage" OFF)
option(PORTSLOT_FUZZ "Build the libFuzzer targets (clang)" OFF)

foreach(needs_clang PORTSLOT_COVERAGE PORTSLOT_FUZZ)
  if(${needs_clang} AND NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
    message(FATAL_ERROR "${needs_clang} needs clang++ (use its preset)")
  endif()
endforeach()

# Sanitizers on every target. Any finding ends the run: a signed overflow
# fails a test instead of printing a warning. The fuzz build instruments
# everything for the fuzzer too, under AddressSanitizer and UBSan.
set(sanitizers "${PORTSLOT_SANITIZE}")
set(instrument "${PORTSLOT_SANITIZE}")
if(PORTSLOT_FUZZ)
  set(sanitizers "address,undefined")
  set(instrument "fuzzer-no-link,address,undefined")
endif()
if(sanitizers)
  target_compile_options(portslot_project_options INTERFACE
    -fsanitize=${instrument} -fno-sanitize-recover=all -fno-omit-frame-pointer -g)
  target_link_options(portslot_project_options INTERFACE -fsanitize=${sanitizers})
endif()

# Source-based coverage: every program writes a profile that the coverage
# gate test merges and checks.
if(PORTSLOT_COVERAGE)
  target_compile_options(portslot_project_options INTERFACE -fprofile-instr-generate -fcoverage-mapping)
  # (A program that a signal ends writes its profile first: PORTSLOT_COVERAGE.)
  target_compile_definitions(portslot_project_options INTERFACE PORTSLOT_COVERAGE=1)
  target_link_options(portslot_project_options INTERFACE -fprofile-instr-generate)
endif()
