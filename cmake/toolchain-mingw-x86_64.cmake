# Cross-compiles for 64-bit Windows (PE32+, x86-64) with Debian's mingw-w64 compilers.
# Usage: cmake -S . -B build-win64 -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-mingw-x86_64.cmake
set(CMAKE_SYSTEM_PROCESSOR AMD64)
set(TESSALOOM_MINGW_PREFIX x86_64-w64-mingw32)
set(TESSALOOM_WINE_NAMES wine64 wine)
include(${CMAKE_CURRENT_LIST_DIR}/toolchain-mingw-common.cmake)
