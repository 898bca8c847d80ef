# The Windows test binaries run under wine (included by tests/CMakeLists.txt in the mingw builds). One 64-bit prefix
# in build-wine/ serves both DLLs' builds (it runs 32-bit programs where 32-bit wine is installed); the fixture "wine"
# makes it once and keeps one wine server running for all tests, otherwise each test waits for wine's services to
# start and stop. wine's 32-bit loader needs a kernel that runs 32-bit programs (not an emulator): where it cannot
# run, every 32-bit test is reported as skipped with the reason.
set(TESSALOOM_WINE_PREFIX ${PROJECT_SOURCE_DIR}/build-wine/prefix)
set(skip "")
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  set(loader /usr/lib/wine/wine64)
else()
  set(loader /usr/lib/wine/wine)
  include(${PROJECT_SOURCE_DIR}/cmake/RunsI386.cmake)
  if(NOT TESSALOOM_RUNS_I386)
    set(skip "the 32-bit DLL's tests need wine's 32-bit loader, which needs a kernel that runs 32-bit programs; here ${TESSALOOM_I386_REASON}")
  endif()
endif()
if(NOT skip AND NOT EXISTS ${loader})
  set(skip "no wine loader ${loader} (Debian: wine64, or wine32:i386 for 32-bit DLLs; scripts/setup.sh windows wine32)")
endif()

if(skip)
  message(STATUS "Windows tests will be skipped: ${skip}")
  # The reason, kept in a file: it may hold characters that a command line would take apart.
  file(WRITE ${CMAKE_BINARY_DIR}/wine-skip-reason.txt "skipped: ${skip}\n")
  set(CMAKE_CROSSCOMPILING_EMULATOR sh -c "cat ${CMAKE_BINARY_DIR}/wine-skip-reason.txt && exit 77" skip)
  return()
endif()

# No display, no .NET or HTML engine in the prefix (nothing to offer to download), no debug chatter.
set(CMAKE_CROSSCOMPILING_EMULATOR env -u DISPLAY -u WAYLAND_DISPLAY WINEPREFIX=${TESSALOOM_WINE_PREFIX}
    WINEARCH=win64 WINEDEBUG=-all WINEDLLOVERRIDES=mscoree,mshtml= ${loader})
add_test(NAME WinePrefix COMMAND bash ${PROJECT_SOURCE_DIR}/tests/host/wine-prefix.sh)
set_tests_properties(WinePrefix PROPERTIES FIXTURES_SETUP wine LABELS windows TIMEOUT 300
                     ENVIRONMENT WINEPREFIX=${TESSALOOM_WINE_PREFIX})
add_test(NAME WineServerStop COMMAND env WINEPREFIX=${TESSALOOM_WINE_PREFIX} /usr/lib/wine/wineserver64 -k)
set_tests_properties(WineServerStop PROPERTIES FIXTURES_CLEANUP wine LABELS windows)
set(TESSALOOM_TEST_FIXTURES wine)
