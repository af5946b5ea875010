# 32-bit ARM, little-endian, hard float: Debian's arm-linux-gnueabihf toolchain, tests under qemu-arm.
set(CMAKE_SYSTEM_PROCESSOR arm)
set(PORTSLOT_TRIPLET arm-linux-gnueabihf)
set(PORTSLOT_QEMU qemu-arm)
include(${CMAKE_CURRENT_LIST_DIR}/debian-cross.cmake)
