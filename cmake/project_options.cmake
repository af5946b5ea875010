# Compiler settings shared by every target of the project, attached to targets
# through an INTERFACE target rather than set globally.
add_library(portslot_project_options INTERFACE)
target_compile_options(portslot_project_options INTERFACE -Wall -Wextra -Wpedantic -Werror)
