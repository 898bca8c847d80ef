# Cross-compiles for 32-bit Windows (PE32, i386) with Debian's mingw-w64 compilers.
# Usage: cmake -S . -B build-win32 -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-mingw-i686.cmake
set(CMAKE_SYSTEM_PROCESSOR x86)
set(TESSALOOM_MINGW_PREFIX i686-w64-mingw32)
set(TESSALOOM_WINE_NAMES wine)
include(${CMAKE_CURRENT_LIST_DIR}/toolchain-mingw-common.cmake)
