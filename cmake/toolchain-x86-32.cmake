# 32-bit x86 Linux build on an x86-64 machine with g++-multilib: -m32 everywhere (the SSE2 maths flags come from the
# project). Where the kernel does not run 32-bit programs, the tests run under QEMU's user-mode emulator (qemu-i386,
# Debian's qemu-user, with this machine's own multilib folders as its library root).
set(CMAKE_C_FLAGS_INIT -m32)
set(CMAKE_CXX_FLAGS_INIT -m32)
set(CMAKE_EXE_LINKER_FLAGS_INIT -m32)
set(CMAKE_SHARED_LINKER_FLAGS_INIT -m32)
set(CMAKE_MODULE_LINKER_FLAGS_INIT -m32)

include(${CMAKE_CURRENT_LIST_DIR}/RunsI386.cmake)
if(NOT TESSALOOM_RUNS_I386)
  find_program(TESSALOOM_QEMU_I386 qemu-i386)
  if(TESSALOOM_QEMU_I386)
    set(CMAKE_CROSSCOMPILING_EMULATOR ${TESSALOOM_QEMU_I386} -L /)
  endif()
endif()
