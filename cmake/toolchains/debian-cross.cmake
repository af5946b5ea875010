# Cross-compiling with one of Debian's cross toolchains, running what is built
# under qemu-user. Included by the per-target toolchain files, which set
# PORTSLOT_TRIPLET (the toolchain's prefix, as in arm-linux-gnueabihf) and
# PORTSLOT_QEMU (the emulator, as in qemu-arm).
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_C_COMPILER ${PORTSLOT_TRIPLET}-gcc)
set(CMAKE_CXX_COMPILER ${PORTSLOT_TRIPLET}-g++)
set(CMAKE_LIBRARY_ARCHITECTURE ${PORTSLOT_TRIPLET})

# The target's libraries and headers only; programs are the build machine's.
set(CMAKE_FIND_ROOT_PATH /usr/${PORTSLOT_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Tests and test discovery run the target's programs through this, with the
# target's C library from its Debian sysroot.
find_program(PORTSLOT_QEMU_PATH ${PORTSLOT_QEMU} REQUIRED)
set(CMAKE_CROSSCOMPILING_EMULATOR "${PORTSLOT_QEMU_PATH};-L;/usr/${PORTSLOT_TRIPLET}")
