# 64-bit ARM: Debian's aarch64-linux-gnu toolchain, tests under qemu-aarch64.
set(CMAKE_SYSTEM_PROCESSOR aarch64)
set(PORTSLOT_TRIPLET aarch64-linux-gnu)
set(PORTSLOT_QEMU qemu-aarch64)
include(${CMAKE_CURRENT_LIST_DIR}/debian-cross.cmake)
