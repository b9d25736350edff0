# SPDX-License-Identifier: GPL-3.0-or-later
# Cross build for 64-bit ARM Linux with Debian's cross compilers (g++-aarch64-linux-gnu); the
# tests run under user-mode QEMU (qemu-user). Only the signal core can be built this way:
#   cmake -S . -B build-arm64 -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/aarch64-linux-gnu.cmake \
#         -DSONLET_CORE_ONLY=ON
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR aarch64)

set(SONLET_CROSS_TRIPLE aarch64-linux-gnu)
set(CMAKE_C_COMPILER ${SONLET_CROSS_TRIPLE}-gcc)    # GoogleTest's projects enable C as well
set(CMAKE_CXX_COMPILER ${SONLET_CROSS_TRIPLE}-g++)
# GCC notes that passing std::pair changed ABI in GCC 10.1; everything here is built by the one
# compiler, so the note only clutters the log.
set(CMAKE_CXX_FLAGS_INIT "-Wno-psabi")

# Libraries, headers and packages come from the target's tree only; programs from the host.
set(SONLET_CROSS_ROOT /usr/${SONLET_CROSS_TRIPLE})
set(CMAKE_FIND_ROOT_PATH ${SONLET_CROSS_ROOT})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# add_test(), ctest and gtest_discover_tests() run the target's programs through this.
find_program(SONLET_QEMU_AARCH64 qemu-aarch64 REQUIRED)
set(CMAKE_CROSSCOMPILING_EMULATOR ${SONLET_QEMU_AARCH64} -L ${SONLET_CROSS_ROOT})
