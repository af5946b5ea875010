# Install rules. Two components: "tool" (the programs, their manual pages and
# bash completion) and "dev" (the library, its headers and the CMake package
# that lets other projects find_package(portslot) and link portslot::portslot).
include(CMakePackageConfigHelpers)

set(PORTSLOT_CMAKE_DIR "${CMAKE_INSTALL_LIBDIR}/cmake/portslot")

# Manual pages are installed compressed, as Debian packages carry them.
set(portslot_man_pages portslot.1 portslot-audit.1)
set(portslot_man_gz "")
foreach(page IN LISTS portslot_man_pages)
  set(gz "${PROJECT_BINARY_DIR}/man/${page}.gz")
  add_custom_command(OUTPUT "${gz}"
    COMMAND ${CMAKE_COMMAND} -E make_directory "${PROJECT_BINARY_DIR}/man"
    COMMAND gzip -9 -n -c "${PROJECT_SOURCE_DIR}/man/${page}" > "${gz}"
    DEPENDS "${PROJECT_SOURCE_DIR}/man/${page}" VERBATIM)
  list(APPEND portslot_man_gz "${gz}")
endforeach()
add_custom_target(portslot_man ALL DEPENDS ${portslot_man_gz})

install(TARGETS portslot portslot-audit RUNTIME DESTINATION "${CMAKE_INSTALL_BINDIR}" COMPONENT tool)
install(FILES ${portslot_man_gz} DESTINATION "${CMAKE_INSTALL_MANDIR}/man1" COMPONENT tool)
foreach(program portslot portslot-audit)
  install(FILES completion/${program}.bash RENAME ${program}
          DESTINATION "${CMAKE_INSTALL_DATADIR}/bash-completion/completions" COMPONENT tool)
endforeach()

install(TARGETS portslot_lib EXPORT portslotTargets
        ARCHIVE DESTINATION "${CMAKE_INSTALL_LIBDIR}" COMPONENT dev
        INCLUDES DESTINATION "${CMAKE_INSTALL_INCLUDEDIR}")
install(FILES ${portslot_public_headers} DESTINATION "${CMAKE_INSTALL_INCLUDEDIR}/portslot" COMPONENT dev)
install(EXPORT portslotTargets NAMESPACE portslot:: DESTINATION "${PORTSLOT_CMAKE_DIR}" COMPONENT dev)

configure_package_config_file(cmake/portslotConfig.cmake.in
  "${PROJECT_BINARY_DIR}/portslotConfig.cmake" INSTALL_DESTINATION "${PORTSLOT_CMAKE_DIR}")
write_basic_package_version_file("${PROJECT_BINARY_DIR}/portslotConfigVersion.cmake"
  COMPATIBILITY SameMajorVersion)
install(FILES "${PROJECT_BINARY_DIR}/portslotConfig.cmake" "${PROJECT_BINARY_DIR}/portslotConfigVersion.cmake"
        DESTINATION "${PORTSLOT_CMAKE_DIR}" COMPONENT dev)
