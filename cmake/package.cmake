# Debian packages with CPack: "portslot" (the program, its manual page and
# completion) and "libportslot-dev" (the library for other programs).
set(CPACK_PACKAGE_NAME portslot)
set(CPACK_PACKAGE_VENDOR "portslot developers")
set(CPACK_PACKAGE_CONTACT "${PORTSLOT_MAINTAINER}")
# Each package's description starts with its own one-line summary. CPack
# prepends the shared summary to both unless it is left at CPack's default.
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${CPACK_PACKAGE_NAME} built using CMake")
set(CPACK_DEBIAN_TOOL_DESCRIPTION
"fixed port numbers for devices, derived from their MAC addresses
portslot prints the port that a network device is given out of a port range,
derived from the last three octets of its MAC address. The same device always
gets the same even ports, two apart, so provisioning scripts and the devices
themselves agree on them without keeping any record.")
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_GENERATOR DEB)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)

set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL tool dev)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION net)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_TOOL_PACKAGE_NAME portslot)
# portslot-tunnel runs an SSH client, and its unit is handled as
# dh_installsystemd would: systemd reloaded, the unit stopped and disabled on
# removal, never enabled before it is configured.
set(CPACK_DEBIAN_TOOL_PACKAGE_RECOMMENDS "openssh-client | dropbear-bin")
set(CPACK_DEBIAN_TOOL_PACKAGE_CONTROL_EXTRA "${CMAKE_CURRENT_LIST_DIR}/debian/postinst"
                                            "${CMAKE_CURRENT_LIST_DIR}/debian/prerm"
                                            "${CMAKE_CURRENT_LIST_DIR}/debian/postrm")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_DEBIAN_DEV_PACKAGE_NAME libportslot-dev)
set(CPACK_DEBIAN_DEV_PACKAGE_SECTION libdevel)
# The static library calls the C library, so a program that links it needs
# the C library's development files; the tool's own dependency (libc6) is
# found by dpkg-shlibdeps.
set(CPACK_DEBIAN_DEV_PACKAGE_DEPENDS "libc6-dev | libc-dev")
set(CPACK_DEBIAN_DEV_DESCRIPTION
"static library and headers of portslot's port derivation
The derivation of portslot (compute_port) and its option scanner as a static
library with no dependencies: a C++17 interface, a C interface in
<portslot/portslot.h> for C programs and other languages, a CMake package
(find_package(portslot), portslot::portslot) and a pkg-config file.")

include(CPack)
