# 32-bit MIPS, big-endian: Debian's mips-linux-gnu toolchain, tests under qemu-mips.
set(CMAKE_SYSTEM_PROCESSOR mips)
set(PORTSLOT_TRIPLET mips-linux-gnu)
set(PORTSLOT_QEMU qemu-mips)
include(${CMAKE_CURRENT_LIST_DIR}/debian-cross.cmake)
