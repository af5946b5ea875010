# Install rules. Two components: "tool" (the programs, their manual pages and
# their bash, zsh and fish completions) and "dev" (the library, its headers,
# its manual page, the CMake package that lets other projects
# find_package(portslot) and link portslot::portslot, and portslot.pc for
# pkg-config). Each component carries the licence (as a Debian copyright
# file) and the changelog in its own documentation folder.
include(CMakePackageConfigHelpers)

set(PORTSLOT_CMAKE_DIR "${CMAKE_INSTALL_LIBDIR}/cmake/portslot")

# Manual pages are installed compressed, as Debian packages carry them.
set(portslot_man_pages portslot.1 portslot-audit.1 portslot-tunnel.1 portslot_compute_port.3)
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
install(PROGRAMS "${PROJECT_BINARY_DIR}/portslot-tunnel" DESTINATION "${CMAKE_INSTALL_BINDIR}" COMPONENT tool)
# The device side's unit, where systemd looks for a package's units; it names
# the script where it is installed (cmake --install --prefix included).
install(CODE "set(PORTSLOT_TUNNEL_BINDIR \"${CMAKE_INSTALL_BINDIR}\")
  cmake_path(ABSOLUTE_PATH PORTSLOT_TUNNEL_BINDIR BASE_DIRECTORY \"\${CMAKE_INSTALL_PREFIX}\")
  configure_file(\"${PROJECT_SOURCE_DIR}/src/tunnel/portslot-tunnel.service.in\"
    \"${PROJECT_BINARY_DIR}/portslot-tunnel.service\" @ONLY)"
  COMPONENT tool)
install(FILES "${PROJECT_BINARY_DIR}/portslot-tunnel.service" DESTINATION lib/systemd/system
        COMPONENT tool)
list(POP_BACK portslot_man_gz library_page)
install(FILES ${portslot_man_gz} DESTINATION "${CMAKE_INSTALL_MANDIR}/man1" COMPONENT tool)
# The second function of the C interface has the first one's page.
file(MAKE_DIRECTORY "${PROJECT_BINARY_DIR}/man")
file(CREATE_LINK portslot_compute_port.3.gz "${PROJECT_BINARY_DIR}/man/portslot_block_count.3.gz" SYMBOLIC)
install(FILES "${library_page}" "${PROJECT_BINARY_DIR}/man/portslot_block_count.3.gz"
        DESTINATION "${CMAKE_INSTALL_MANDIR}/man3" COMPONENT dev)
# Completions where Debian's bash, zsh and fish look for them.
foreach(program portslot portslot-audit portslot-tunnel)
  install(FILES completion/${program}.bash RENAME ${program}
          DESTINATION "${CMAKE_INSTALL_DATADIR}/bash-completion/completions" COMPONENT tool)
  install(FILES completion/_${program}
          DESTINATION "${CMAKE_INSTALL_DATADIR}/zsh/vendor-completions" COMPONENT tool)
  install(FILES completion/${program}.fish
          DESTINATION "${CMAKE_INSTALL_DATADIR}/fish/vendor_completions.d" COMPONENT tool)
endforeach()

install(TARGETS portslot_lib EXPORT portslotTargets
        ARCHIVE DESTINATION "${CMAKE_INSTALL_LIBDIR}" COMPONENT dev
        LIBRARY DESTINATION "${CMAKE_INSTALL_LIBDIR}" COMPONENT dev NAMELINK_COMPONENT dev
        INCLUDES DESTINATION "${CMAKE_INSTALL_INCLUDEDIR}")
install(FILES ${portslot_public_headers} DESTINATION "${CMAKE_INSTALL_INCLUDEDIR}/portslot" COMPONENT dev)
install(EXPORT portslotTargets NAMESPACE portslot:: DESTINATION "${PORTSLOT_CMAKE_DIR}" COMPONENT dev)

configure_package_config_file(cmake/portslotConfig.cmake.in
  "${PROJECT_BINARY_DIR}/portslotConfig.cmake" INSTALL_DESTINATION "${PORTSLOT_CMAKE_DIR}")
write_basic_package_version_file("${PROJECT_BINARY_DIR}/portslotConfigVersion.cmake"
  COMPATIBILITY SameMajorVersion)
install(FILES "${PROJECT_BINARY_DIR}/portslotConfig.cmake" "${PROJECT_BINARY_DIR}/portslotConfigVersion.cmake"
        DESTINATION "${PORTSLOT_CMAKE_DIR}" COMPONENT dev)

# pkg-config: the prefix is the one installed into (cmake --install --prefix
# included), so it is filled in at install time.
foreach(dir LIBDIR INCLUDEDIR)
  if(IS_ABSOLUTE "${CMAKE_INSTALL_${dir}}")
    set(PORTSLOT_PC_${dir} "${CMAKE_INSTALL_${dir}}")
  else()
    set(PORTSLOT_PC_${dir} "\${prefix}/${CMAKE_INSTALL_${dir}}")
  endif()
endforeach()
set(PORTSLOT_PC_PREFIX "@PORTSLOT_PC_PREFIX@")
configure_file(cmake/portslot.pc.in "${PROJECT_BINARY_DIR}/portslot.pc.in" @ONLY)
install(CODE "set(PORTSLOT_PC_PREFIX \"\${CMAKE_INSTALL_PREFIX}\")
  configure_file(\"${PROJECT_BINARY_DIR}/portslot.pc.in\" \"${PROJECT_BINARY_DIR}/portslot.pc\" @ONLY)"
  COMPONENT dev)
install(FILES "${PROJECT_BINARY_DIR}/portslot.pc" DESTINATION "${CMAKE_INSTALL_LIBDIR}/pkgconfig"
        COMPONENT dev)

# The licence and the changelog, in the form Debian asks of every package.
set(changelog_gz "${PROJECT_BINARY_DIR}/changelog.gz")
add_custom_command(OUTPUT "${changelog_gz}"
  COMMAND gzip -9 -n -c "${portslot_debian_changelog}" > "${changelog_gz}"
  DEPENDS "${portslot_debian_changelog}" VERBATIM)
add_custom_target(portslot_changelog ALL DEPENDS "${changelog_gz}")
foreach(component_package tool:portslot dev:libportslot-dev)
  string(REPLACE ":" ";" component_package "${component_package}")
  list(GET component_package 0 component)
  list(GET component_package 1 package)
  install(FILES cmake/debian/copyright "${changelog_gz}"
          DESTINATION "${CMAKE_INSTALL_DATAROOTDIR}/doc/${package}" COMPONENT ${component})
endforeach()
