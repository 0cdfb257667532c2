# Cross build for Windows with MinGW-w64 (posix thread model: GoogleTest needs std::thread).
# QR_ARCH picks the set: x86_64 (the default, the one that runs and is tested here) or i686.
if(NOT QR_ARCH)
  set(QR_ARCH x86_64)
endif()
set(QR_ARCH ${QR_ARCH} CACHE STRING "Windows target: x86_64 or i686")
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR ${QR_ARCH})
set(TOOLCHAIN_PREFIX ${QR_ARCH}-w64-mingw32)

set(CMAKE_C_COMPILER   ${TOOLCHAIN_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TOOLCHAIN_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER  ${TOOLCHAIN_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${TOOLCHAIN_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)

# Tests run through Wine's 64-bit loader; the wrapper sets up the build tree's own prefix. The
# 32-bit set is cross-built only: our machines run no 32-bit code.
if(QR_ARCH STREQUAL x86_64)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-exec)
endif()
