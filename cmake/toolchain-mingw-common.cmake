# Shared part of the mingw-w64 toolchain files: set CMAKE_SYSTEM_PROCESSOR and TESSALOOM_MINGW_PREFIX, then include
# this. The -posix compilers are named explicitly: with both thread models installed, the plain name may be the
# win32-thread one, under which GoogleTest does not compile.
set(CMAKE_SYSTEM_NAME Windows)

set(CMAKE_C_COMPILER ${TESSALOOM_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TESSALOOM_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${TESSALOOM_MINGW_PREFIX}-windres)
set(CMAKE_AR ${TESSALOOM_MINGW_PREFIX}-ar CACHE FILEPATH "Archiver")
set(CMAKE_RANLIB ${TESSALOOM_MINGW_PREFIX}-ranlib CACHE FILEPATH "Archive indexer")
set(CMAKE_NM ${TESSALOOM_MINGW_PREFIX}-nm CACHE FILEPATH "Symbol lister")
set(CMAKE_OBJDUMP ${TESSALOOM_MINGW_PREFIX}-objdump CACHE FILEPATH "Object dumper")

set(CMAKE_FIND_ROOT_PATH /usr/${TESSALOOM_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# The Windows test binaries run under wine: the loader named in TESSALOOM_WINE_NAMES by the including file. The plain
# launcher "wine" may pick the 32-bit loader, which needs the kernel's 32-bit support, so 64-bit binaries name
# wine64 first.
find_program(TESSALOOM_WINE NAMES ${TESSALOOM_WINE_NAMES} PATHS /usr/lib/wine)
if(TESSALOOM_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${TESSALOOM_WINE})
endif()
