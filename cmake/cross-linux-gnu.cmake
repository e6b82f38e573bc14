# Shared part of the toolchain files: Debian's cross compilers for
# ZARN_CROSS_TRIPLE, that architecture's libraries from /usr/TRIPLE only, and
# the built programs run through qemu-user, since this machine cannot start a
# foreign binary by itself. Included by toolchain-*.cmake, which set
# ZARN_CROSS_TRIPLE, CMAKE_SYSTEM_PROCESSOR and ZARN_CROSS_QEMU first.

set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_C_COMPILER ${ZARN_CROSS_TRIPLE}-gcc)
set(CMAKE_CXX_COMPILER ${ZARN_CROSS_TRIPLE}-g++)

# Nothing of the host's may end up in a target binary: the host's x86-64
# libpng or libgtest would be found first and fail only at link time.
set(CMAKE_FIND_ROOT_PATH /usr/${ZARN_CROSS_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# A library the cross packages lack is unpacked into that root from Debian's
# package for the target (dpkg-deb -x libogg-dev_*_arm64.deb
# /usr/aarch64-linux-gnu, as .ci/run does), whose files lie in
# usr/lib/MULTIARCH (the triple but for 32-bit x86, i386-linux-gnu). The
# package is not installed: it would bring the architecture's C library,
# which the root's loader takes up under qemu, and whose version need not be
# the root's. The folders that use such a library find it through these
# pkg-config files alone.
if(NOT ZARN_CROSS_MULTIARCH)
  set(ZARN_CROSS_MULTIARCH ${ZARN_CROSS_TRIPLE})
endif()
set(ZARN_CROSS_PKG_CONFIG_LIBDIR /usr/${ZARN_CROSS_TRIPLE}/usr/lib/${ZARN_CROSS_MULTIARCH}/pkgconfig)

# CMake starts target programs through this at build time (the sample input,
# test discovery) and ctest for every test; the tests use it for the
# programs they start. A -DCMAKE_CROSSCOMPILING_EMULATOR=... given on the
# command line wins.
if(NOT CMAKE_CROSSCOMPILING_EMULATOR)
  find_program(ZARN_QEMU_PROGRAM ${ZARN_CROSS_QEMU})
  if(NOT ZARN_QEMU_PROGRAM)
    message(FATAL_ERROR "${ZARN_CROSS_QEMU} not found: install qemu-user")
  endif()
  set(CMAKE_CROSSCOMPILING_EMULATOR ${ZARN_QEMU_PROGRAM} -L /usr/${ZARN_CROSS_TRIPLE})
endif()
