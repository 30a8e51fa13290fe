# Cross-building for 64-bit ARM with Debian's cross compilers against an arm64 Debian root
# (scripts/arm64-root.sh); the programs built run under qemu-user, tests included.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR aarch64)
set(CMAKE_C_COMPILER aarch64-linux-gnu-gcc)
set(CMAKE_CXX_COMPILER aarch64-linux-gnu-g++)

if(NOT VELTORA_ARM64_ROOT)
  set(VELTORA_ARM64_ROOT "$ENV{VELTORA_ARM64_ROOT}")
endif()
if(NOT IS_DIRECTORY "${VELTORA_ARM64_ROOT}/usr/lib/aarch64-linux-gnu")
  message(FATAL_ERROR "VELTORA_ARM64_ROOT must name an arm64 Debian root (scripts/arm64-root.sh makes one)")
endif()
# Try-compiles run in a fresh CMake that knows only what is passed on.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES VELTORA_ARM64_ROOT)
set(CMAKE_SYSROOT "${VELTORA_ARM64_ROOT}")
set(CMAKE_FIND_ROOT_PATH "${VELTORA_ARM64_ROOT}")
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
set(ENV{PKG_CONFIG_SYSROOT_DIR} "${VELTORA_ARM64_ROOT}")
set(ENV{PKG_CONFIG_LIBDIR} "${VELTORA_ARM64_ROOT}/usr/lib/aarch64-linux-gnu/pkgconfig:${VELTORA_ARM64_ROOT}/usr/share/pkgconfig")

# ctest and gtest_discover_tests run the test programs through qemu, with the root's own
# loader and libraries.
find_program(VELTORA_QEMU qemu-aarch64-static REQUIRED)
set(CMAKE_CROSSCOMPILING_EMULATOR "${VELTORA_QEMU};-L;${VELTORA_ARM64_ROOT}")
# Debian's name for the processor, for the package built here.
set(VELTORA_DEB_ARCH arm64)
