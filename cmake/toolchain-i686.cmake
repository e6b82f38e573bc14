# Cross build for 32-bit x86 with Debian's i686-linux-gnu compilers (the
# build selects SSE2 arithmetic for it):
#   cmake -S . -B build-i686 -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-i686.cmake
set(ZARN_CROSS_TRIPLE i686-linux-gnu)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(ZARN_CROSS_QEMU qemu-i386)
set(ZARN_CROSS_MULTIARCH i386-linux-gnu)
# Linked statically: under qemu-i386 the forked child of a dynamically linked
# program hangs or crashes, and the death tests fork.
set(CMAKE_EXE_LINKER_FLAGS_INIT -static)
include(${CMAKE_CURRENT_LIST_DIR}/cross-linux-gnu.cmake)
