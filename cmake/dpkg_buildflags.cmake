# Debian's build flags (hardening among them: stack protector, fortified
# functions, read-only relocations, immediate binding), as a Debian package
# build would pass them. The packages are built with these.
if(NOT PORTSLOT_DPKG_BUILDFLAGS)
  return()
endif()
find_program(PORTSLOT_DPKG_BUILDFLAGS_COMMAND dpkg-buildflags REQUIRED)
function(portslot_dpkg_flag name out)
  execute_process(COMMAND ${CMAKE_COMMAND} -E env DEB_BUILD_MAINT_OPTIONS=hardening=+all
                          "${PORTSLOT_DPKG_BUILDFLAGS_COMMAND}" --get ${name}
                  WORKING_DIRECTORY "${PROJECT_SOURCE_DIR}" OUTPUT_VARIABLE value
                  OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
  set(${out} "${value}" PARENT_SCOPE)
endfunction()
portslot_dpkg_flag(CPPFLAGS cppflags)
portslot_dpkg_flag(CFLAGS cflags)
portslot_dpkg_flag(CXXFLAGS cxxflags)
portslot_dpkg_flag(LDFLAGS ldflags)
string(APPEND CMAKE_C_FLAGS " ${cppflags} ${cflags}")
string(APPEND CMAKE_CXX_FLAGS " ${cppflags} ${cxxflags}")
foreach(kind EXE SHARED MODULE)
  string(APPEND CMAKE_${kind}_LINKER_FLAGS " ${ldflags}")
endforeach()
